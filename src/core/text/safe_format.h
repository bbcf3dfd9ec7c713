// Formatting of texts that come from data files (language files are edited by users).
// Only the one expected conversion is substituted; every other '%' sequence is printed
// literally, so a stray %s or %n can never read or write memory.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace vantrel::text {

// Substitutes the first integer conversion (%d, %i, %u, %x, %X, with optional flags,
// width and the length modifiers h, l, ll) with value; "%%" gives '%'.
std::string FormatWithNumber(std::string_view format, std::int64_t value);
// Substitutes the first %s (or %ls / %S) with text; "%%" gives '%'.
std::string FormatWithString(std::string_view format, std::string_view text);
// Substitutes the first string conversions with texts, in order, in one pass (a text that
// itself holds "%s" is never formatted again); conversions beyond the texts print literally.
std::string FormatWithStrings(std::string_view format, std::span<const std::string_view> texts);
std::string FormatWithStrings(std::string_view format, std::initializer_list<std::string_view> texts);

}  // namespace vantrel::text
