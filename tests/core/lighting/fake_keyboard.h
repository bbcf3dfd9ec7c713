// A small in-process keyboard for the lighting tests: answers every request at once on
// the caller's thread, keeps the device state, the lighting area and the key-colour area,
// and records every request it was sent.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <set>
#include <vector>

#include "core/device/commands.h"
#include "core/device/config_report.h"
#include "core/device/device_link.h"
#include "core/device/hid_service.h"
#include "core/util/bytes.h"

namespace vantrel::lighting::testing {

struct Op {
  std::uint8_t command = 0;
  std::uint8_t length = 0;
  std::uint16_t offset = 0;
  std::vector<std::uint8_t> bytes;  // the payload's first `length` bytes (writes only)
  friend bool operator==(const Op&, const Op&) = default;
};

inline Op Begin() { return {device::kCmdBegin, 0, 0, {}}; }
inline Op End() { return {device::kCmdEnd, 0, 0, {}}; }
inline Op Write(std::uint16_t offset, std::vector<std::uint8_t> bytes) {
  return {device::kCmdWriteParams, static_cast<std::uint8_t>(bytes.size()), offset, std::move(bytes)};
}
inline Op Colours(std::uint16_t offset, std::vector<std::uint8_t> bytes) {
  return {device::kCmdWriteKeyColours, static_cast<std::uint8_t>(bytes.size()), offset, std::move(bytes)};
}
inline Op Read(std::uint16_t offset) { return {device::kCmdReadParams, 56, offset, {}}; }
inline Op ReadState() { return {device::kCmdReadDeviceState, 44, 0, {}}; }

class FakeKeyboard final : public device::HidService {
 public:
  std::array<std::uint8_t, device::kDeviceStateSize> state{};
  std::array<std::uint8_t, device::kLightingAreaSize> lighting{};
  std::array<std::uint8_t, 3 * 512> keyColours{};
  std::set<std::uint16_t> failReads;  // area offsets whose reads answer status 0xFF
  bool failState = false;
  std::set<std::uint16_t> failWrites;  // area offsets whose parameter writes answer status 0xFF
  bool failKeyColours = false;         // every key-colour write answers status 0xFF
  std::vector<Op> ops;

  int Init(int) override { return 1; }
  int RequestGetDeviceCount(const device::DeviceSelector&, std::uint32_t, std::uint32_t, std::uint32_t,
                            device::ServiceHandle*) override {
    return 1;
  }
  int RequestAsyncRead(const device::DeviceSelector&, device::ServiceCallback* callback, std::uint32_t,
                       std::uint32_t, device::ServiceHandle* handle) override {
    callback_ = callback;
    if (handle) *handle = 1;
    return 1;
  }
  int RequestStatusWrite(const device::DeviceSelector&, device::ServiceCallback*, std::uint32_t, const std::uint8_t*,
                         std::uint32_t, std::uint32_t, device::ServiceHandle*) override {
    return 1;
  }
  int DeleteRequestFromUnitId(device::ServiceHandle) override { return 1; }

  int RequestWriteOne(const device::DeviceSelector&, std::uint32_t, std::uint32_t, const std::uint8_t* data,
                      std::uint32_t length, std::uint32_t, device::ServiceHandle*) override {
    device::ConfigReport request{};
    std::copy_n(data, std::min<std::uint32_t>(length, 64), request.begin());
    device::ConfigReport reply = request;
    const auto cmd = request[device::kCommandByte];
    const auto len = request[device::kLengthByte];
    const auto off = device::ReportOffset(request);
    // A retried request (after a failure status) is recorded once per attempt; the tests
    // that use failures compare only the operations they care about.
    Op op{cmd, len, off, {}};
    std::uint8_t status = 0;
    auto payload = std::span(reply).subspan(device::kPayloadByte);
    switch (cmd) {
      case device::kCmdReadDeviceState:
        if (failState) status = 0xFF;
        std::copy(state.begin(), state.end(), payload.begin());
        break;
      case device::kCmdReadParams:
        if (failReads.count(off)) status = 0xFF;
        std::fill(payload.begin(), payload.end(), 0);
        for (std::size_t i = 0; i < 56 && off + i < lighting.size(); ++i) payload[i] = lighting[off + i];
        break;
      case device::kCmdWriteParams:
        op.bytes.assign(request.begin() + 8, request.begin() + 8 + len);
        if (failWrites.count(off)) {
          status = 0xFF;
          break;
        }
        for (std::size_t i = 0; i < len && off + i < lighting.size(); ++i) lighting[off + i] = request[8 + i];
        break;
      case device::kCmdWriteKeyColours:
        op.bytes.assign(request.begin() + 8, request.begin() + 8 + len);
        if (failKeyColours) {
          status = 0xFF;
          break;
        }
        for (std::size_t i = 0; i < len && off + i < keyColours.size(); ++i) keyColours[off + i] = request[8 + i];
        break;
      default:
        break;
    }
    ops.push_back(op);
    reply[device::kStatusByte] = status;
    device::SetReportChecksum(reply);
    device::RequestRecord record{device::kTagCtrl, 64, reply.data(), nullptr};
    device::NotificationRecord n{device::kNotifyInputReport, 0, &record};
    if (callback_) callback_->OnServiceNotify(n);
    return 1;
  }

  // Operations of the given commands only.
  std::vector<Op> OpsOf(std::initializer_list<std::uint8_t> commands) const {
    std::vector<Op> out;
    for (const auto& op : ops) {
      if (std::find(commands.begin(), commands.end(), op.command) != commands.end()) out.push_back(op);
    }
    return out;
  }

 private:
  device::ServiceCallback* callback_ = nullptr;
};

// The fake with a link (no pauses) and a command set over it.
struct FakeDevice {
  FakeKeyboard keyboard;
  device::DeviceLink link{keyboard, device::LinkTiming{std::chrono::milliseconds(50), std::chrono::milliseconds(0),
                                                       std::chrono::milliseconds(0)}};
  device::CommandSet commands{link};
  FakeDevice() { link.RegisterConfigRead(); }
};

}  // namespace vantrel::lighting::testing
