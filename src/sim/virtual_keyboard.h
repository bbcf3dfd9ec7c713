// The device side of the protocol: a model of the keyboard that answers configuration
// reports the way the real one does. Pure logic without threads; SimulatedHidService
// puts it behind the HID service interface.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "core/device/config_report.h"

namespace vantrel::sim {

class VirtualKeyboard {
 public:
  VirtualKeyboard();

  // Answers one configuration report. No answer (nullopt) for the boot request, which
  // puts the keyboard into boot mode instead.
  std::optional<device::ConfigReport> HandleConfigReport(std::span<const std::uint8_t, device::kReportSize> request);

  // 1 while plugged in and not in boot mode, else 0.
  int DeviceCount() const { return present_ && !bootMode_ ? 1 : 0; }

  bool Present() const { return present_; }
  void SetPresent(bool present) { present_ = present; }
  bool BootMode() const { return bootMode_; }
  void SetBootMode(bool boot) { bootMode_ = boot; }

  // The 2-byte status report last written to the LED interface.
  void StoreLedStatus(std::span<const std::uint8_t> bytes);
  std::array<std::uint8_t, 2> LedStatus() const { return ledStatus_; }

  // Requests answered so far (every configuration report, the boot request included).
  std::uint64_t RequestCount() const { return requests_; }

  void ResetToFactory();

 private:
  bool present_ = true;
  bool bootMode_ = false;
  std::array<std::uint8_t, 2> ledStatus_{0x05, 0x02};
  std::uint64_t requests_ = 0;
};

}  // namespace vantrel::sim
