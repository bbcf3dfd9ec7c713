// Colours in memory are 24-bit values red | green << 8 | blue << 16; the keyboard and the
// files carry them as the three bytes red, green, blue.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel::lighting {

using Rgb = std::uint32_t;

constexpr Rgb MakeRgb(unsigned red, unsigned green, unsigned blue) {
  return (red & 0xFFu) | ((green & 0xFFu) << 8) | ((blue & 0xFFu) << 16);
}
constexpr std::uint8_t RedOf(Rgb c) { return static_cast<std::uint8_t>(c); }
constexpr std::uint8_t GreenOf(Rgb c) { return static_cast<std::uint8_t>(c >> 8); }
constexpr std::uint8_t BlueOf(Rgb c) { return static_cast<std::uint8_t>(c >> 16); }

inline constexpr Rgb kWhite = 0xFFFFFF;
inline constexpr Rgb kBlack = 0;

// "RRGGBB" (an optional leading '#'), hex digits in either case.
std::optional<Rgb> ParseHexColour(std::string_view text);
// "RRGGBB" in upper case.
std::string HexColour(Rgb colour);

}  // namespace vantrel::lighting
