#include "core/device/commands.h"

#include <algorithm>
#include <thread>

#include "core/util/bytes.h"

namespace vantrel::device {

DeviceResult StatusResult(std::uint8_t status) {
  if (status == kStatusFailed) return kDeviceStatusFF;
  if (status == kStatusRejected) return kDeviceStatusFE;
  return kDeviceOk;
}

DeviceResult CommandSet::Single(std::uint8_t command, std::uint8_t length, std::uint16_t offset,
                                std::span<const std::uint8_t> payload, std::span<std::uint8_t> readInto) {
  ConfigReport request = MakeReport(command, length, offset, payload);
  ConfigReport reply{};
  std::uint32_t received = 0;
  const auto result = link_.DeviceTransact(request.data(), kReportSize, reply.data(), kReportSize, received);
  if (result != kDeviceOk) return Noted(command, result);
  const auto status = StatusResult(reply[kStatusByte]);
  if (status != kDeviceOk) return Noted(command, status);
  const auto n = std::min(readInto.size(), kPayloadSize);
  std::copy_n(reply.begin() + kPayloadByte, n, readInto.begin());
  return kDeviceOk;
}

DeviceResult CommandSet::Chunked(std::uint8_t command, std::uint16_t baseOffset, std::size_t count,
                                 std::span<const std::uint8_t> source, std::span<std::uint8_t> destination) {
  // One request buffer for all chunks, cleared once: the tail of a short last chunk
  // still holds bytes of the chunk before (the keyboard ignores bytes past the length).
  ConfigReport request{};
  for (std::size_t offset = 0; offset < count; offset += kPayloadSize) {
    const auto length = static_cast<std::uint8_t>(std::min(kPayloadSize, count - offset));
    if (!source.empty()) std::copy_n(source.begin() + offset, length, request.begin() + kPayloadByte);
    FrameReport(request, command, length, static_cast<std::uint16_t>(baseOffset + offset));
    ConfigReport reply{};
    std::uint32_t received = 0;
    const auto result = link_.DeviceTransact(request.data(), kReportSize, reply.data(), kReportSize, received);
    if (result != kDeviceOk) return Noted(command, result);
    const auto status = StatusResult(reply[kStatusByte]);
    if (status != kDeviceOk) return Noted(command, status);
    if (!destination.empty()) std::copy_n(reply.begin() + kPayloadByte, length, destination.begin() + offset);
  }
  return kDeviceOk;
}

DeviceResult CommandSet::Noted(std::uint8_t command, DeviceResult result) {
  std::lock_guard lock(failureMutex_);
  ++failure_.count;
  failure_.command = command;
  failure_.result = result;
  return result;
}

CommandFailure CommandSet::LastFailure() const {
  std::lock_guard lock(failureMutex_);
  return failure_;
}

std::string CommandName(std::uint8_t command) {
  switch (command) {
    case kCmdBegin: return "begin";
    case kCmdEnd: return "end";
    case kCmdReadDeviceState: return "read device state";
    case kCmdWriteDeviceState: return "write device state";
    case kCmdReadParams: return "read parameters";
    case kCmdWriteParams: return "write parameters";
    case kCmdReadKeyTable: return "read key table";
    case kCmdWriteKeyTable: return "write key table";
    case kCmdReadMacroArea: return "read macro area";
    case kCmdWriteMacroArea: return "write macro area";
    case kCmdTest: return "test";
    case kCmdReadFactoryKeyTable: return "read factory key table";
    case kCmdWriteKeyColours: return "write key colours";
    case kCmdEnterBoot: return "enter boot mode";
    default: break;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  return std::string("command 0x") + kHex[command >> 4] + kHex[command & 0xF];
}

DeviceResult CommandSet::CmdBegin() { return Single(kCmdBegin, 0, 0, {}, {}); }

DeviceResult CommandSet::CmdEnd() {
  std::this_thread::sleep_for(link_.Timing().endPause);
  return Single(kCmdEnd, 0, 0, {}, {});
}

DeviceResult CommandSet::CmdReadDeviceState(std::span<std::uint8_t, kDeviceStateSize> destination) {
  return Single(kCmdReadDeviceState, kDeviceStateSize, 0, {}, destination);
}

DeviceResult CommandSet::CmdWriteDeviceState(std::span<const std::uint8_t, kDeviceStateSize> source) {
  return Single(kCmdWriteDeviceState, kDeviceStateSize, 0, source, {});
}

DeviceResult CommandSet::CmdReadParams(std::span<std::uint8_t, kPayloadSize> destination, int length,
                                       std::uint16_t offset) {
  return Single(kCmdReadParams, static_cast<std::uint8_t>(length), offset, {}, destination);
}

DeviceResult CommandSet::CmdWriteParams(std::span<const std::uint8_t> source, int length, std::uint16_t offset) {
  const auto n = length <= 0 ? 0u : std::min<std::size_t>({static_cast<std::size_t>(length), source.size(), kPayloadSize});
  return Single(kCmdWriteParams, static_cast<std::uint8_t>(length < 0 ? 0 : length), offset, source.first(n), {});
}

DeviceResult CommandSet::CmdReadKeyTable(std::span<std::uint8_t, kKeyTableSize> destination, unsigned tableIndex) {
  if (tableIndex >= kProfileCount) return kDeviceIndexRange;
  return Chunked(kCmdReadKeyTable, static_cast<std::uint16_t>(tableIndex * kKeyTableSize), kKeyTableSize, {},
                 destination);
}

DeviceResult CommandSet::CmdWriteKeyTable(std::span<const std::uint8_t, kKeyTableSize> source, unsigned tableIndex) {
  if (tableIndex >= kProfileCount) return kDeviceIndexRange;
  return Chunked(kCmdWriteKeyTable, static_cast<std::uint16_t>(tableIndex * kKeyTableSize), kKeyTableSize, source,
                 {});
}

DeviceResult CommandSet::CmdReadMacroArea(std::span<std::uint8_t> destination) {
  return Chunked(kCmdReadMacroArea, 0, destination.size(), {}, destination);
}

DeviceResult CommandSet::CmdWriteMacroArea(std::span<const std::uint8_t> source) {
  return Chunked(kCmdWriteMacroArea, 0, source.size(), source, {});
}

DeviceResult CommandSet::CmdTest() { return Single(kCmdTest, 0, 0, {}, {}); }

DeviceResult CommandSet::CmdReadFactoryKeyTable(std::span<std::uint8_t, kKeyTableSize> destination) {
  return Chunked(kCmdReadFactoryKeyTable, 0, kKeyTableSize, {}, destination);
}

DeviceResult CommandSet::CmdWriteKeyColours(std::span<const std::uint8_t> source, int length, unsigned keyIndex,
                                            unsigned profile) {
  const auto n = length <= 0 ? 0u : std::min<std::size_t>({static_cast<std::size_t>(length), source.size(), kPayloadSize});
  const auto offset = static_cast<std::uint16_t>(keyIndex * 3 + profile * kKeyColourPageSize);
  return Single(kCmdWriteKeyColours, static_cast<std::uint8_t>(n), offset, source.first(n), {});
}

int CommandSet::CmdEnterBoot() {
  // The boot request breaks the framing rules: 0xEE in bytes 3 and 4, no checksum.
  ConfigReport request{};
  request[kReportIdByte] = kConfigReportId;
  request[kCommandByte] = kCmdEnterBoot;
  request[kLengthByte] = kCmdEnterBoot;
  return link_.DeviceSendOneWay(request.data(), kReportSize);
}

}  // namespace vantrel::device
