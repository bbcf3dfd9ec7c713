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

// Qt reads a settings file as soon as a QSettings object is made over it, and again at
// every sync: a FIFO in its place blocks the program, and every later start waits behind
// the blocked one. These make and sync a QSettings only while its file is absent or a
// regular file.
//
// The file behind the native settings of an organisation (and application) for the
// current user; empty where they are not kept in a file (the Windows registry, macOS).
QString NativeSettingsFile(const QString& organisation, const QString& application = {});
// False when the file exists and is not a regular file.
bool SettingsFileUsable(const QString& file);
// The native settings, or null when their file is not usable.
std::unique_ptr<QSettings> OpenNativeSettings(const QString& organisation, const QString& application = {});
// Settings in an INI file of its own, or null when the file is not usable.
std::unique_ptr<QSettings> OpenIniSettings(const QString& file);
// sync() unless the file has stopped being usable; false then or when the sync failed.
bool SyncSettings(QSettings& settings);

class QSettingsStore : public text::SettingsStore {
 public:
  // The program's own settings key.
  QSettingsStore();
  // An INI file of its own (tests, portable setups).
  explicit QSettingsStore(const QString& iniFile);
  ~QSettingsStore() override;

  // Values written by another process are seen: the store is synchronised before each read.
  // While the file is not usable nothing is read (absent values) and nothing is written
  // (false).
  std::optional<std::uint32_t> ReadDword(std::string_view name) const override;
  bool WriteDword(std::string_view name, std::uint32_t value) override;
  // Writes of this process; another process's are seen at the reader's next check.
  std::optional<std::uint64_t> Writes() const override;

 private:
  mutable std::mutex mutex_;
  std::unique_ptr<QSettings> settings_;
  std::uint64_t writes_ = 0;
};

// The system's default language from the locale: LC_ALL, LC_MESSAGES or LANG (the first
// that is set and not empty), else QLocale::system().
class LocaleSystemLanguage : public text::SystemLanguage {
 public:
  std::uint32_t DefaultLanguageId() const override;
};

}  // namespace vantrel::platform
