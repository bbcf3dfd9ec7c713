// What reading back a write found. After a write bracket the writers read the records
// they wrote with the keyboard's read commands and compare what the write set: key tables
// and the macro area byte for byte, the device state's and lighting records' fields by
// their meaning; every difference (or a read that failed) becomes one line in words, so
// the windows and vantrelctl show the same list.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <initializer_list>
#include <string_view>

#include "core/device/commands.h"
#include "core/device/tracing_service.h"  // HexBytes
#include "core/text/text_source.h"

namespace vantrel::device {

struct Verification {
  bool checked = false;                  // a read-back was made
  std::vector<std::string> differences;  // one line per difference or failed read

  // The keyboard holds something other than what was written, or could not be read.
  bool Failed() const { return !differences.empty(); }
  void Add(Verification other);
  void Note(std::string line) { differences.push_back(std::move(line)); }
};

// The lines are in the language in force: each is a text of the language file with its
// parts substituted safely (a macro name holding "%s" prints as it is).
std::string Phrase(const text::TextSource& texts, std::string_view key, std::initializer_list<std::string_view> parts = {});
// "WHAT: written A, the keyboard holds B".
std::string DifferenceLine(const text::TextSource& texts, std::string_view what, std::string_view written,
                           std::string_view held);
// A device result in words.
std::string ResultWords(const text::TextSource& texts, DeviceResult result);
// "WHAT could not be read back: RESULT IN WORDS".
std::string ReadFailure(const text::TextSource& texts, std::string_view what, DeviceResult result);

// The device state record as written and as read back: one line per differing byte,
// byte 10 named as the active profile and byte 11 as the macro capacity.
std::vector<std::string> CompareDeviceState(std::span<const std::uint8_t, kDeviceStateSize> written,
                                            std::span<const std::uint8_t, kDeviceStateSize> read,
                                            const text::TextSource& texts);

// Reads the device state back and compares the bytes the write set (`bytesSet`: a profile
// switch sets the active profile only) with what was written. The record's other bytes
// are sent back as they were read, and the keyboard may change them meanwhile (bytes it
// counts or flags with, its effect list): they are not the write's to check.
Verification ReadBackDeviceState(CommandSet& commands, std::span<const std::uint8_t, kDeviceStateSize> written,
                                 std::initializer_list<std::size_t> bytesSet, const text::TextSource& texts);

}  // namespace vantrel::device
