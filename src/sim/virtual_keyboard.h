// The device side of the protocol: a model of the keyboard that answers configuration
// reports the way the real one does. It keeps the keyboard's memory areas, refuses
// out-of-range requests with status 0xFF, checks checksums (status 0xFE), tracks the
// begin/end bracket and goes into boot mode on the boot request. Pure logic without
// threads; SimulatedHidService puts it behind the HID service interface.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/device/commands.h"
#include "core/device/config_report.h"
#include "sim/fault_plan.h"

namespace vantrel::sim {

inline constexpr std::size_t kKeyTablesSize = device::kProfileCount * device::kKeyTableSize;  // 1134
inline constexpr std::size_t kKeyColoursSize = device::kProfileCount * device::kKeyColourPageSize;                 // 1536
// Factory macro capacity: 128 units of 128 bytes (16 KiB).
inline constexpr std::uint8_t kDefaultMacroCapacityUnits = 128;

// Effect codes the keyboard offers: 1..18 and 20.
std::array<std::uint8_t, device::kDeviceStateSize> FactoryDeviceState();
// The factory key table: an entry for every key of the keyboard (108 keys, nine G keys,
// Fn and the device's own function keys) at its matrix position.
std::array<std::uint8_t, device::kKeyTableSize> FactoryKeyTable();
std::array<std::uint8_t, device::kLightingAreaSize> FactoryLighting();
// An empty macro block (magic, size 16, no macros) followed by zeros.
std::vector<std::uint8_t> EmptyMacroArea(std::size_t capacity);

class VirtualKeyboard {
 public:
  VirtualKeyboard();

  // Answers one configuration report. No answer (nullopt) for the boot request, which
  // puts the keyboard into boot mode instead.
  // `corrupt` (the fault corrupt@N): a write is stored with its first byte changed and
  // still answered with success.
  std::optional<device::ConfigReport> HandleConfigReport(std::span<const std::uint8_t, device::kReportSize> request,
                                                         bool corrupt = false);

  // 1 while plugged in and not in boot mode, else 0.
  int DeviceCount() const { return present_ && !bootMode_ ? 1 : 0; }

  bool Present() const { return present_; }
  void SetPresent(bool present) { present_ = present; }
  bool BootMode() const { return bootMode_; }
  void SetBootMode(bool boot) { bootMode_ = boot; }

  // The 2-byte status report last written to the LED interface.
  void StoreLedStatus(std::span<const std::uint8_t> bytes);
  std::array<std::uint8_t, 2> LedStatus() const { return ledStatus_; }

  // Memory areas.
  std::array<std::uint8_t, device::kDeviceStateSize>& DeviceState() { return deviceState_; }
  const std::array<std::uint8_t, device::kDeviceStateSize>& DeviceState() const { return deviceState_; }
  std::array<std::uint8_t, device::kLightingAreaSize>& Lighting() { return lighting_; }
  const std::array<std::uint8_t, device::kLightingAreaSize>& Lighting() const { return lighting_; }
  std::array<std::uint8_t, kKeyTablesSize>& KeyTables() { return keyTables_; }
  const std::array<std::uint8_t, kKeyTablesSize>& KeyTables() const { return keyTables_; }
  std::array<std::uint8_t, device::kKeyTableSize>& FactoryTable() { return factoryTable_; }
  const std::array<std::uint8_t, device::kKeyTableSize>& FactoryTable() const { return factoryTable_; }
  std::vector<std::uint8_t>& MacroArea() { return macroArea_; }
  const std::vector<std::uint8_t>& MacroArea() const { return macroArea_; }
  std::array<std::uint8_t, kKeyColoursSize>& KeyColours() { return keyColours_; }
  const std::array<std::uint8_t, kKeyColoursSize>& KeyColours() const { return keyColours_; }

  // Macro capacity in bytes (device state byte 11 x 128).
  std::size_t MacroCapacity() const { return deviceState_[device::kStateMacroCapacity] * 128u; }

  // Bracket tracking: writes that the host is expected to bracket (lighting, key colours,
  // macro area, key tables) made while no begin is open.
  bool InBracket() const { return inBracket_; }
  std::uint64_t UnbracketedWrites() const { return unbracketedWrites_; }
  // Requests answered so far (every configuration report, the boot request included).
  std::uint64_t RequestCount() const { return requests_; }

  void ResetToFactory();

  // The protocol's freedom this keyboard uses (none by default).
  void SetQuirks(const Quirks& quirks) { quirks_ = quirks; }
  const Quirks& GetQuirks() const { return quirks_; }

 private:
  // lighting-normalised: the records a lighting write touched, in the keyboard's forms.
  void NormaliseLighting(std::size_t offset, std::size_t length);

  // The first byte a successful write stored, flipped (xor 0x01): for a device-state write
  // the active profile, the only byte it stores.
  void CorruptWrite(std::uint8_t command, std::size_t offset);

  std::uint8_t Handle(std::uint8_t command, std::size_t length, std::size_t offset,
                      std::span<const std::uint8_t> payload, std::span<std::uint8_t, device::kPayloadSize> out);

  bool present_ = true;
  bool bootMode_ = false;
  std::array<std::uint8_t, 2> ledStatus_{0x05, 0x02};
  std::array<std::uint8_t, device::kDeviceStateSize> deviceState_{};
  std::array<std::uint8_t, device::kLightingAreaSize> lighting_{};
  std::array<std::uint8_t, kKeyTablesSize> keyTables_{};
  std::array<std::uint8_t, device::kKeyTableSize> factoryTable_{};
  std::vector<std::uint8_t> macroArea_;
  std::array<std::uint8_t, kKeyColoursSize> keyColours_{};

  Quirks quirks_;
  std::uint32_t stateReads_ = 0;  // state-noise: reads of the device state so far
  bool inBracket_ = false;
  std::uint64_t unbracketedWrites_ = 0;
  std::uint64_t requests_ = 0;
};

}  // namespace vantrel::sim
