#include "core/text/printable_text.h"

namespace vantrel::text {

std::string PrintableText(std::string_view text, std::size_t maxBytes) {
  std::string out;
  out.reserve(text.size() < maxBytes ? text.size() : maxBytes);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    // A cut never splits a character: continuation bytes (10xxxxxx) stay with their lead.
    if (out.size() >= maxBytes && (c & 0xC0) != 0x80) {
      out += "...";
      break;
    }
    if (c == '\t') {
      out += ' ';
    } else if (c < 0x20 || c == 0x7F) {
      out += '?';
    } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      out += '?';
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace vantrel::text
