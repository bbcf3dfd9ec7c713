// Conversions between the UTF-8 text of core and the UTF-16 strings that records store.
// Invalid sequences become U+FFFD; nothing is ever read past the input.
#pragma once

#include <string>
#include <string_view>

namespace vantrel::text {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace vantrel::text
