// Language choice and text lookup. The language id is kept in the settings value
// "dwLanguageId"; the texts come from "Lang%04X.ini" in the program's folder, sections
// "TEXT", "LIGHT" and "MODE". A missing file, section or key gives "#Error"; a value is
// at most 259 characters.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/text/cached_ini.h"
#include "core/text/settings_store.h"
#include "core/text/text_source.h"

namespace vantrel::text {

inline constexpr std::string_view kLanguageIdValue = "dwLanguageId";
inline constexpr std::string_view kMissingText = "#Error";
inline constexpr std::size_t kMaxTextChars = 259;

inline constexpr std::string_view kTextSection = "TEXT";
inline constexpr std::string_view kLightSection = "LIGHT";
inline constexpr std::string_view kModeSection = "MODE";

// Windows language ids of the supported languages, by language index: English (US),
// Chinese (Simplified), Chinese (Traditional), French, Chinese (Hong Kong).
inline constexpr std::array<std::uint32_t, 5> kLanguageIds = {1033, 2052, 1028, 1036, 3076};
inline constexpr std::uint32_t kDefaultLanguageId = 1033;

// The system's default language as a Windows language id (e.g. 0x0409).
class SystemLanguage {
 public:
  virtual ~SystemLanguage() = default;
  virtual std::uint32_t DefaultLanguageId() const = 0;
};

// A fixed id, for tests and for systems without a notion of a default language.
class FixedSystemLanguage : public SystemLanguage {
 public:
  explicit FixedSystemLanguage(std::uint32_t id) : id_(id) {}
  std::uint32_t DefaultLanguageId() const override { return id_; }

 private:
  std::uint32_t id_;
};

// The supported id a system language id stands for (other English and French variants,
// the two further Chinese ones), or the id itself when it has no mapping.
std::uint32_t MapSystemLanguage(std::uint32_t systemId);

// The stored language id; when none is stored (absent, not a 32-bit value, or 0) one is
// chosen from the system language, stored and returned. A stored id is returned as it is,
// even one that is not supported.
std::uint32_t CurrentLanguageId(SettingsStore& settings, const SystemLanguage& system);
// 0 to 3: the first of the indexes 0 to 3 whose id is the current id; 0 when none is.
int CurrentLanguageIndex(SettingsStore& settings, const SystemLanguage& system);
// programFolder / "Lang%04X.ini" for the index; an index outside 0 to 4 counts as 0.
std::filesystem::path LanguageFilePath(const std::filesystem::path& programFolder, int languageIndex);

// The texts of one language file as they were when the snapshot was taken: lookups read
// memory only. For work that looks up many texts at once (a redraw of the key buttons'
// tooltips, the macro editor's rows, an import or export), which takes one snapshot at
// its start instead of checking the settings and the file for every text.
class LanguageSnapshot final : public TextSource {
 public:
  LanguageSnapshot() = default;
  explicit LanguageSnapshot(std::shared_ptr<const IniSnapshot> ini) : ini_(std::move(ini)) {}

  std::string Text(std::string_view key) const override;
  std::string LightText(std::string_view key) const override;
  std::string ModeText(std::string_view key) const override;

 private:
  std::string Lookup(std::string_view section, std::string_view key) const;
  std::shared_ptr<const IniSnapshot> ini_;
};

// The texts of the language files in one program folder, with the current language taken
// from the settings. A "dwLanguageId" written through the settings object takes effect at
// the next lookup; one written by another process, or an edited language file, within the
// check interval (the settings and the file are looked at no more often than that, so a
// lookup costs no file-system call). Each file is parsed once and parsed again only when
// its size or modification time changes. Thread-safe.
class LanguageTexts : public TextSource {
 public:
  LanguageTexts(std::filesystem::path programFolder, SettingsStore& settings, const SystemLanguage& system,
                std::chrono::milliseconds checkInterval = kFileCheckInterval, SteadyClock clock = {});

  std::uint32_t CurrentLanguageId() const;
  int CurrentLanguageIndex() const;
  std::filesystem::path LanguageFilePath(int languageIndex) const;

  std::string LookupText(std::string_view key, int languageIndex) const;
  std::string LookupLightText(std::string_view key, int languageIndex) const;
  std::string LookupModeText(std::string_view key, int languageIndex) const;
  // The name of lighting mode `code` (key: the code in decimal, no leading zeros).
  std::string LookupModeText(int code, int languageIndex) const;

  // TextSource: the lookups above with the current language index.
  std::string Text(std::string_view key) const override;
  std::string LightText(std::string_view key) const override;
  std::string ModeText(std::string_view key) const override;

  // The current language's texts as they are now (the settings and the file are looked
  // at here, whatever the interval).
  LanguageSnapshot Snapshot() const;

  // How many times language files have been parsed in all (tests and benchmarks).
  std::uint64_t Parses() const;

 private:
  const CachedIniFile& File(int languageIndex) const;
  std::string Lookup(std::string_view section, std::string_view key, int languageIndex) const;
  // The current index, read from the settings when they were written here or the interval
  // has passed (or always, with `now`).
  int IndexNow(bool now) const;

  std::filesystem::path programFolder_;
  SettingsStore& settings_;
  const SystemLanguage& system_;
  std::chrono::milliseconds interval_;
  SteadyClock clock_;
  mutable std::mutex mutex_;
  mutable int index_ = 0;
  mutable std::optional<std::uint64_t> indexWrites_;
  mutable std::optional<std::chrono::steady_clock::time_point> indexRead_;
  // One entry per language index, made at its first lookup and never removed.
  mutable std::map<int, std::unique_ptr<CachedIniFile>> files_;
};

}  // namespace vantrel::text
