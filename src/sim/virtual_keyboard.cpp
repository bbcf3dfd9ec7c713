#include "sim/virtual_keyboard.h"

#include <algorithm>

#include "core/device/commands.h"

namespace vantrel::sim {

using namespace vantrel::device;

VirtualKeyboard::VirtualKeyboard() { ResetToFactory(); }

void VirtualKeyboard::ResetToFactory() {
  present_ = true;
  bootMode_ = false;
  ledStatus_ = {0x05, 0x02};
}

void VirtualKeyboard::StoreLedStatus(std::span<const std::uint8_t> bytes) {
  for (std::size_t i = 0; i < ledStatus_.size(); ++i) ledStatus_[i] = i < bytes.size() ? bytes[i] : 0;
}

std::optional<ConfigReport> VirtualKeyboard::HandleConfigReport(std::span<const std::uint8_t, kReportSize> request) {
  ++requests_;
  const std::uint8_t command = request[kCommandByte];
  if (command == kCmdEnterBoot && request[kLengthByte] == kCmdEnterBoot) {
    bootMode_ = true;
    return std::nullopt;
  }

  // The reply echoes report id, command, length and offset.
  ConfigReport reply{};
  std::copy_n(request.begin(), kStatusByte, reply.begin());
  reply[kStatusByte] = ReportChecksumValid(request) ? 0x00 : kStatusRejected;
  SetReportChecksum(reply);
  return reply;
}

}  // namespace vantrel::sim
