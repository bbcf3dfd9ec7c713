// Formatting of texts that come from data files (language files are edited by users).
// Only the one expected conversion is substituted; every other '%' sequence is printed
// literally, so a stray %s or %n can never read or write memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel::text {

// Substitutes the first integer conversion (%d, %i, %u, %x, %X, with optional flags,
// width and the length modifiers h, l, ll) with value; "%%" gives '%'.
std::string FormatWithNumber(std::string_view format, std::int64_t value);
// Substitutes the first %s (or %ls / %S) with text; "%%" gives '%'.
std::string FormatWithString(std::string_view format, std::string_view text);

}  // namespace vantrel::text
