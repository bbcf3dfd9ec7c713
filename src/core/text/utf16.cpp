#include "core/text/utf16.h"

#include <cstdint>

namespace vantrel::text {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  } else {
    out += static_cast<char16_t>(c);
  }
}

// The code point that starts at s[i], moving i past it. A sequence that is broken off,
// overlong, a surrogate or beyond U+10FFFF gives U+FFFD for its first byte only, so the
// bytes after it are read again (a lead byte before ASCII keeps the ASCII); one cut off by
// the end of the input gives one U+FFFD for its rest.
char32_t DecodeUtf8(std::string_view s, std::size_t& i) {
  const auto b = static_cast<std::uint8_t>(s[i]);
  std::size_t len = 0;
  char32_t c = 0;
  char32_t min = 0;
  if (b < 0x80) {
    len = 1, c = b;
  } else if ((b & 0xE0) == 0xC0) {
    len = 2, c = b & 0x1F, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    len = 3, c = b & 0x0F, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    len = 4, c = b & 0x07, min = 0x10000;
  } else {
    ++i;
    return kReplacement;
  }
  for (std::size_t k = 1; k < len; ++k) {
    if (i + k == s.size()) {  // cut off by the end of the input
      i = s.size();
      return kReplacement;
    }
    const auto cb = static_cast<std::uint8_t>(s[i + k]);
    if ((cb & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    c = (c << 6) | (cb & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
    ++i;
    return kReplacement;
  }
  i += len;
  return c;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) AppendUtf16(out, DecodeUtf8(s, i));
  return out;
}

std::u32string Utf8ToUtf32(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) out += DecodeUtf8(s, i);
  return out;
}

std::string Utf32ToUtf8(std::u32string_view s) {
  std::string out;
  out.reserve(s.size());
  for (const char32_t c : s) AppendUtf8(out, c > 0x10FFFF || (c >= 0xD800 && c < 0xE000) ? kReplacement : c);
  return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

}  // namespace vantrel::text
