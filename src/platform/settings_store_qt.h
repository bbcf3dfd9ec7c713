// The settings key over QSettings: on Windows the registry key
// HKEY_CURRENT_USER\Software\PX204-1127, elsewhere Qt's native settings file for the
// organisation "PX204-1127" (Linux: $XDG_CONFIG_HOME/PX204-1127.conf).
#pragma once

#include <QString>
#include <memory>
#include <mutex>

#include "core/text/language.h"
#include "core/text/settings_store.h"

class QSettings;

namespace vantrel::platform {

inline constexpr const char* kSettingsKeyName = "PX204-1127";

class QSettingsStore : public text::SettingsStore {
 public:
  // The program's own settings key.
  QSettingsStore();
  // An INI file of its own (tests, portable setups).
  explicit QSettingsStore(const QString& iniFile);
  ~QSettingsStore() override;

  // Values written by another process are seen: the store is synchronised before each read.
  std::optional<std::uint32_t> ReadDword(std::string_view name) const override;
  bool WriteDword(std::string_view name, std::uint32_t value) override;

 private:
  mutable std::mutex mutex_;
  std::unique_ptr<QSettings> settings_;
};

// The system's default language from the locale: LC_ALL, LC_MESSAGES or LANG (the first
// that is set and not empty), else QLocale::system().
class LocaleSystemLanguage : public text::SystemLanguage {
 public:
  std::uint32_t DefaultLanguageId() const override;
};

}  // namespace vantrel::platform
