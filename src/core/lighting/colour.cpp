#include "core/lighting/colour.h"

namespace vantrel::lighting {

std::optional<Rgb> ParseHexColour(std::string_view text) {
  if (!text.empty() && text.front() == '#') text.remove_prefix(1);
  if (text.size() != 6) return std::nullopt;
  unsigned v = 0;
  for (char ch : text) {
    unsigned d;
    if (ch >= '0' && ch <= '9') d = static_cast<unsigned>(ch - '0');
    else if (ch >= 'a' && ch <= 'f') d = static_cast<unsigned>(ch - 'a' + 10);
    else if (ch >= 'A' && ch <= 'F') d = static_cast<unsigned>(ch - 'A' + 10);
    else return std::nullopt;
    v = v << 4 | d;
  }
  return MakeRgb(v >> 16, v >> 8, v);
}

std::string HexColour(Rgb colour) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (unsigned byte : {RedOf(colour), GreenOf(colour), BlueOf(colour)}) {
    s += kDigits[byte >> 4];
    s += kDigits[byte & 15];
  }
  return s;
}

}  // namespace vantrel::lighting
