#include "core/text/locale_language.h"

#include <string>

namespace vantrel::text {
namespace {

struct LocaleRow {
  const char* language;  // ISO 639-1, lower case
  const char* region;    // ISO 3166-1 alpha-2, upper case; "" for the language's main id
  std::uint32_t id;
};

// For each language the row with an empty region comes last and is its main id.
constexpr LocaleRow kLocales[] = {
    {"en", "US", 0x0409}, {"en", "GB", 0x0809}, {"en", "AU", 0x0C09}, {"en", "CA", 0x1009},
    {"en", "NZ", 0x1409}, {"en", "IE", 0x1809}, {"en", "ZA", 0x1C09}, {"en", "JM", 0x2009},
    {"en", "BZ", 0x2809}, {"en", "TT", 0x2C09}, {"en", "ZW", 0x3009}, {"en", "PH", 0x3409},
    {"en", "IN", 0x4009}, {"en", "MY", 0x4409}, {"en", "SG", 0x4809}, {"en", "", 0x0409},
    {"zh", "CN", 0x0804}, {"zh", "TW", 0x0404}, {"zh", "HK", 0x0C04}, {"zh", "SG", 0x1004},
    {"zh", "MO", 0x1404}, {"zh", "", 0x0804},
    {"fr", "FR", 0x040C}, {"fr", "BE", 0x080C}, {"fr", "CA", 0x0C0C}, {"fr", "CH", 0x100C},
    {"fr", "LU", 0x140C}, {"fr", "MC", 0x180C}, {"fr", "RE", 0x200C}, {"fr", "CD", 0x240C},
    {"fr", "SN", 0x280C}, {"fr", "CM", 0x2C0C}, {"fr", "CI", 0x300C}, {"fr", "ML", 0x340C},
    {"fr", "MA", 0x380C}, {"fr", "HT", 0x3C0C}, {"fr", "", 0x040C},
    {"de", "DE", 0x0407}, {"de", "CH", 0x0807}, {"de", "AT", 0x0C07}, {"de", "LU", 0x1007},
    {"de", "LI", 0x1407}, {"de", "", 0x0407},
    {"es", "ES", 0x0C0A}, {"es", "MX", 0x080A}, {"es", "", 0x0C0A},
    {"pt", "BR", 0x0416}, {"pt", "PT", 0x0816}, {"pt", "", 0x0816},
    {"it", "IT", 0x0410}, {"it", "CH", 0x0810}, {"it", "", 0x0410},
    {"nl", "NL", 0x0413}, {"nl", "BE", 0x0813}, {"nl", "", 0x0413},
    {"ja", "", 0x0411}, {"ko", "", 0x0412}, {"ru", "", 0x0419}, {"pl", "", 0x0415},
    {"cs", "", 0x0405}, {"da", "", 0x0406}, {"fi", "", 0x040B}, {"el", "", 0x0408},
    {"hu", "", 0x040E}, {"nb", "", 0x0414}, {"sv", "", 0x041D}, {"tr", "", 0x041F},
    {"uk", "", 0x0422}, {"ar", "", 0x0401}, {"he", "", 0x040D}, {"th", "", 0x041E},
    {"vi", "", 0x042A}, {"id", "", 0x0421},
};

constexpr std::uint32_t kFallback = 0x0409;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

std::uint32_t WindowsLanguageIdFromLocale(std::string_view name) {
  // Drop the codeset and modifier: "zh_TW.UTF-8@radical" -> "zh_TW".
  name = name.substr(0, name.find_first_of(".@"));

  // Split at '_' or '-' into language, optional script (four letters) and region.
  std::string language, script, region;
  std::size_t part = 0;
  for (std::size_t i = 0; i <= name.size(); ++part) {
    std::size_t end = name.find_first_of("_-", i);
    if (end == std::string_view::npos) end = name.size();
    const std::string_view piece = name.substr(i, end - i);
    i = end + 1;
    if (part == 0) {
      for (char c : piece) language.push_back(Lower(c));
    } else if (piece.size() == 4 && script.empty() && region.empty()) {
      for (char c : piece) script.push_back(Lower(c));
    } else if (piece.size() == 2 && region.empty() && IsAlpha(piece[0]) && IsAlpha(piece[1])) {
      for (char c : piece) region.push_back(Upper(c));
    }
  }
  if (language.empty()) return kFallback;

  // Chinese without a region follows its script: Traditional is Taiwan's.
  if (language == "zh" && region.empty() && script == "hant") return 0x0404;

  for (const auto& row : kLocales) {
    if (language == row.language && region == row.region) return row.id;
  }
  for (const auto& row : kLocales) {
    if (language == row.language && row.region[0] == '\0') return row.id;
  }
  return kFallback;
}

}  // namespace vantrel::text
