// Conversions between the UTF-8 text of core and the UTF-16 strings that records store,
// and code points for code that looks at single characters. Invalid sequences become
// U+FFFD; nothing is ever read past the input.
#pragma once

#include <string>
#include <string_view>

namespace vantrel::text {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
std::u32string Utf8ToUtf32(std::string_view utf8);
// Code points that are surrogates or beyond U+10FFFF become U+FFFD.
std::string Utf32ToUtf8(std::u32string_view utf32);

}  // namespace vantrel::text
