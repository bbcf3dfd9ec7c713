// What reading back a write found. After a write bracket the writers read the records
// they wrote with the keyboard's read commands and compare them byte for byte; every
// difference (or a read that failed) becomes one line in words, so the windows and
// vantrelctl show the same list.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/device/commands.h"
#include "core/device/tracing_service.h"  // HexBytes

namespace vantrel::device {

struct Verification {
  bool checked = false;                  // a read-back was made
  std::vector<std::string> differences;  // one line per difference or failed read

  // The keyboard holds something other than what was written, or could not be read.
  bool Failed() const { return !differences.empty(); }
  void Add(Verification other);
  void Note(std::string line) { differences.push_back(std::move(line)); }
};

// "what could not be read back: RESULT IN WORDS".
std::string ReadFailure(std::string_view what, DeviceResult result);

// The device state record as written and as read back: one line per differing byte,
// byte 10 named as the active profile and byte 11 as the macro capacity.
std::vector<std::string> CompareDeviceState(std::span<const std::uint8_t, kDeviceStateSize> written,
                                            std::span<const std::uint8_t, kDeviceStateSize> read);

// Reads the device state back and compares it with what was written.
Verification ReadBackDeviceState(CommandSet& commands, std::span<const std::uint8_t, kDeviceStateSize> written);

}  // namespace vantrel::device
