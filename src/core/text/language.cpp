#include "core/text/language.h"

#include <algorithm>
#include <cstdio>

namespace vantrel::text {
namespace {

struct LanguageMapping {
  std::uint32_t systemId;
  std::uint32_t supportedId;
};

// System language ids that stand for a supported one; the first match wins.
constexpr LanguageMapping kSystemLanguageMap[] = {
    {0x0C04, 2052},
    {0x1004, 1028},
    // English: United Kingdom, Australia, Canada, New Zealand, Ireland, South Africa,
    // Jamaica, Caribbean, Belize, Trinidad.
    {0x0809, 1033}, {0x0C09, 1033}, {0x1009, 1033}, {0x1409, 1033}, {0x1809, 1033},
    {0x1C09, 1033}, {0x2009, 1033}, {0x2409, 1033}, {0x2809, 1033}, {0x2C09, 1033},
    // French: Belgium, Côte d'Ivoire, Canada, DR Congo, Senegal, Morocco, Luxembourg,
    // Haiti, Monaco, Mali, North Africa, Réunion, Cameroon, Switzerland, West Indies.
    {0x080C, 1036}, {0x2C0C, 1036}, {0x0C0C, 1036}, {0x240C, 1036}, {0x300C, 1036},
    {0x3C0C, 1036}, {0x140C, 1036}, {0x340C, 1036}, {0x180C, 1036}, {0x380C, 1036},
    {0xE40C, 1036}, {0x200C, 1036}, {0x280C, 1036}, {0x100C, 1036}, {0x1C0C, 1036},
};
static_assert(std::size(kSystemLanguageMap) == 27);

// Only the first four languages are chosen automatically or recognised as current; the
// fifth is reached by its index alone.
constexpr int kChoosableLanguages = 4;

bool IsChoosable(std::uint32_t id) {
  return std::find(kLanguageIds.begin(), kLanguageIds.begin() + kChoosableLanguages, id) !=
         kLanguageIds.begin() + kChoosableLanguages;
}

}  // namespace

std::uint32_t MapSystemLanguage(std::uint32_t systemId) {
  for (const auto& m : kSystemLanguageMap) {
    if (m.systemId == systemId) return m.supportedId;
  }
  return systemId;
}

std::uint32_t CurrentLanguageId(SettingsStore& settings, const SystemLanguage& system) {
  const auto stored = settings.ReadDword(kLanguageIdValue);
  if (!stored) settings.WriteDword(kLanguageIdValue, 0);
  if (stored && *stored != 0) return *stored;

  std::uint32_t id = MapSystemLanguage(system.DefaultLanguageId());
  if (!IsChoosable(id)) id = kDefaultLanguageId;
  settings.WriteDword(kLanguageIdValue, id);
  return id;
}

int CurrentLanguageIndex(SettingsStore& settings, const SystemLanguage& system) {
  const std::uint32_t id = CurrentLanguageId(settings, system);
  for (int i = 0; i < kChoosableLanguages; ++i) {
    if (kLanguageIds[static_cast<std::size_t>(i)] == id) return i;
  }
  return 0;
}

std::filesystem::path LanguageFilePath(const std::filesystem::path& programFolder, int languageIndex) {
  if (languageIndex < 0 || languageIndex >= static_cast<int>(kLanguageIds.size())) languageIndex = 0;
  char name[32];
  std::snprintf(name, sizeof name, "Lang%04X.ini",
                static_cast<unsigned>(kLanguageIds[static_cast<std::size_t>(languageIndex)]));
  return programFolder / name;
}

LanguageTexts::LanguageTexts(std::filesystem::path programFolder, SettingsStore& settings,
                             const SystemLanguage& system, std::chrono::milliseconds checkInterval, SteadyClock clock)
    : programFolder_(std::move(programFolder)),
      settings_(settings),
      system_(system),
      interval_(checkInterval),
      clock_(std::move(clock)) {}

std::uint32_t LanguageTexts::CurrentLanguageId() const { return text::CurrentLanguageId(settings_, system_); }

int LanguageTexts::CurrentLanguageIndex() const { return IndexNow(false); }

int LanguageTexts::IndexNow(bool now) const {
  const auto time = clock_ ? clock_() : std::chrono::steady_clock::now();
  if (!now) {
    const auto writes = settings_.Writes();
    std::lock_guard lock(mutex_);
    if (writes && indexWrites_ == writes && indexRead_ && time - *indexRead_ < interval_) return index_;
  }
  const int index = text::CurrentLanguageIndex(settings_, system_);
  // Taken after the read: a default the read stored is not a change to look at again.
  const auto writes = settings_.Writes();
  std::lock_guard lock(mutex_);
  index_ = index;
  indexWrites_ = writes;
  indexRead_ = time;
  return index;
}

std::filesystem::path LanguageTexts::LanguageFilePath(int languageIndex) const {
  return text::LanguageFilePath(programFolder_, languageIndex);
}

const CachedIniFile& LanguageTexts::File(int languageIndex) const {
  if (languageIndex < 0 || languageIndex >= static_cast<int>(kLanguageIds.size())) languageIndex = 0;
  std::lock_guard lock(mutex_);
  auto& file = files_[languageIndex];
  if (!file) file = std::make_unique<CachedIniFile>(LanguageFilePath(languageIndex), interval_, clock_);
  return *file;
}

std::string LanguageTexts::Lookup(std::string_view section, std::string_view key, int languageIndex) const {
  return File(languageIndex).Read(section, key, kMissingText, kMaxTextChars);
}

LanguageSnapshot LanguageTexts::Snapshot() const { return LanguageSnapshot(File(IndexNow(true)).CurrentNow()); }

std::string LanguageSnapshot::Lookup(std::string_view section, std::string_view key) const {
  const auto value = ini_ ? ini_->Value(section, key) : std::nullopt;
  return CutUtf8(value ? std::string_view(*value) : kMissingText, kMaxTextChars);
}

std::string LanguageSnapshot::Text(std::string_view key) const { return Lookup(kTextSection, key); }
std::string LanguageSnapshot::LightText(std::string_view key) const { return Lookup(kLightSection, key); }
std::string LanguageSnapshot::ModeText(std::string_view key) const { return Lookup(kModeSection, key); }

std::uint64_t LanguageTexts::Parses() const {
  std::lock_guard lock(mutex_);
  std::uint64_t n = 0;
  for (const auto& [index, file] : files_) n += file->Parses();
  return n;
}

std::string LanguageTexts::LookupText(std::string_view key, int languageIndex) const {
  return Lookup(kTextSection, key, languageIndex);
}

std::string LanguageTexts::LookupLightText(std::string_view key, int languageIndex) const {
  return Lookup(kLightSection, key, languageIndex);
}

std::string LanguageTexts::LookupModeText(std::string_view key, int languageIndex) const {
  return Lookup(kModeSection, key, languageIndex);
}

std::string LanguageTexts::LookupModeText(int code, int languageIndex) const {
  return Lookup(kModeSection, std::to_string(code), languageIndex);
}

std::string LanguageTexts::Text(std::string_view key) const { return LookupText(key, CurrentLanguageIndex()); }

std::string LanguageTexts::LightText(std::string_view key) const {
  return LookupLightText(key, CurrentLanguageIndex());
}

std::string LanguageTexts::ModeText(std::string_view key) const {
  return LookupModeText(key, CurrentLanguageIndex());
}

}  // namespace vantrel::text
