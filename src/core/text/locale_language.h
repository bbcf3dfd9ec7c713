// Maps a POSIX or BCP 47 locale name ("fr_CA.UTF-8", "zh-Hant-TW", "en_GB@euro") to the
// Windows language id of the same language and region, so that the language choice works
// the same way on every system.
#pragma once

#include <cstdint>
#include <string_view>

namespace vantrel::text {

// 0x0409 (English, United States) for "C", "POSIX", an empty name and any language
// without an id here. A known language with an unknown region gives the language's
// main id (e.g. "fr_SN" without its own row gives 0x040C).
std::uint32_t WindowsLanguageIdFromLocale(std::string_view localeName);

}  // namespace vantrel::text
