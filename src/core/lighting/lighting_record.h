// The 42-byte lighting record, one per on-board profile, at offset 42 x profile of the
// keyboard's 126-byte lighting area (read with command 0x05, written with 0x06).
//
//   0 effect code          1 brightness 0-4        2 speed 0-4 (4 - slider position)
//   3 direction 0xFF/0x00  4 multicolour (0 single colour, else cycling)
//   5..7 red, green, blue  15 report rate 0-3      17 colour choice 0-3 (effect 17)
//   18 effect-7 flag       19 trigger (0 single key, 1 grid)
//   25..27 second colour   28 second colour cycling
//   30..32 third colour    33 third colour cycling
// Bytes 8-14, 16, 20-24, 29 and 34-41 are the keyboard's; the host keeps them as read.
#pragma once

#include "core/text/text_source.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/device/commands.h"
#include "core/lighting/colour.h"

namespace vantrel::lighting {

inline constexpr std::size_t kRecordSize = device::kLightingRecordSize;  // 42
using device::kProfileCount;

inline constexpr std::size_t kRecEffect = 0;
inline constexpr std::size_t kRecBrightness = 1;
inline constexpr std::size_t kRecSpeed = 2;
inline constexpr std::size_t kRecDirection = 3;
inline constexpr std::size_t kRecMulticolour = 4;
inline constexpr std::size_t kRecRed = 5;
inline constexpr std::size_t kRecReportRate = 15;
inline constexpr std::size_t kRecColourChoice = 17;
inline constexpr std::size_t kRecEffect7Flag = 18;
inline constexpr std::size_t kRecTrigger = 19;
inline constexpr std::size_t kRecSecondColour = 25;
inline constexpr std::size_t kRecSecondCycling = 28;
inline constexpr std::size_t kRecThirdColour = 30;
inline constexpr std::size_t kRecThirdCycling = 33;

// The default record writes bytes 0..34.
inline constexpr std::size_t kDefaultRecordLength = 35;

using LightingRecord = std::array<std::uint8_t, kRecordSize>;

// The record's fields as plain values.
struct LightingFields {
  std::uint8_t effect = 0;
  std::uint8_t brightness = 0;
  std::uint8_t speed = 0;
  std::uint8_t direction = 0;
  std::uint8_t multicolour = 0;
  Rgb colour = 0;
  std::uint8_t reportRate = 0;  // raw byte, not clamped
  std::uint8_t colourChoice = 0;
  std::uint8_t effect7Flag = 0;
  std::uint8_t trigger = 0;
  Rgb secondColour = 0;
  std::uint8_t secondCycling = 0;
  Rgb thirdColour = 0;
  std::uint8_t thirdCycling = 0;
};

// Reads the fields of a record; a short span reads its missing bytes as 0.
LightingFields DecodeLightingRecord(std::span<const std::uint8_t> record);
// Writes the fields into a record, leaving the reserved bytes as they are.
void EncodeLightingRecord(const LightingFields& fields, std::span<std::uint8_t, kRecordSize> record);

// One line per field that reads differently in the record as written and as read back,
// named by the field ("profile 1 lighting, brightness: written 3, the keyboard holds 2");
// colours as RRGGBB. Fields are compared by what they mean to the host: a flag is 0 or
// not 0, a report rate above 3 is 3, the effect-7 flag counts only with effect 7, a
// trigger or effect-7 flag other than 0 and 1 is ignored; the reserved bytes are not
// compared.
std::vector<std::string> CompareLightingRecords(int profile, std::span<const std::uint8_t, kRecordSize> written,
                                                std::span<const std::uint8_t, kRecordSize> read,
                                                const text::TextSource& texts);

// The 35 bytes of the default record: effect 1, brightness 4, speed 2, direction 0,
// multicolour 0xFF, white, zeros to byte 34.
std::array<std::uint8_t, kDefaultRecordLength> DefaultLightingBytes();

}  // namespace vantrel::lighting
