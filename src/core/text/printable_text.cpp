#include "core/text/printable_text.h"

#include <cstdint>

namespace vantrel::text {
namespace {

// The length of the well-formed UTF-8 sequence at the start of `s` (no overlong forms, no
// surrogates, nothing past U+10FFFF); 0 when there is none.
std::size_t SequenceLength(std::string_view s, std::uint32_t& code) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = 0;
  std::uint32_t min = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1Fu, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0Fu, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07u, min = 0x10000;
  } else {
    return 0;
  }
  if (s.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0u) != 0x80u) return 0;
    code = (code << 6) | (byte(i) & 0x3Fu);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

bool IsControl(std::uint32_t code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }

}  // namespace

std::string PrintableText(std::string_view text, std::size_t maxBytes) {
  std::string out;
  out.reserve(text.size() < maxBytes ? text.size() : maxBytes);
  while (!text.empty()) {
    // A cut falls between characters, never inside one.
    if (out.size() >= maxBytes) {
      out += "...";
      break;
    }
    std::uint32_t code = 0;
    const std::size_t length = SequenceLength(text, code);
    if (length == 1 && code == '\t') {
      out += ' ';
    } else if (length == 0 || IsControl(code)) {
      out += '?';
    } else {
      out.append(text.substr(0, length));
    }
    text.remove_prefix(length == 0 ? 1 : length);
  }
  return out;
}

}  // namespace vantrel::text
