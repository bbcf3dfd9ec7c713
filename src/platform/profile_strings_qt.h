// The application's profile strings over QSettings: on Windows the registry key
// HKEY_CURRENT_USER\Software\Vantrel_Morvane\Vantrel, elsewhere Qt's native settings file
// of that organisation (Linux: $XDG_CONFIG_HOME/Vantrel_Morvane/Vantrel.conf).
#pragma once

#include <QString>
#include <memory>
#include <mutex>

#include "core/text/profile_strings.h"

class QSettings;

namespace vantrel::platform {

inline constexpr const char* kProfileStringsKeyName = "Vantrel_Morvane";

class QtProfileStrings final : public text::ProfileStrings {
 public:
  QtProfileStrings();
  // An INI file of its own (tests, portable setups).
  explicit QtProfileStrings(const QString& iniFile);
  ~QtProfileStrings() override;

  std::optional<std::string> Read(std::string_view section, std::string_view entry) const override;
  bool Write(std::string_view section, std::string_view entry, std::string_view value) override;

 private:
  mutable std::mutex mutex_;
  std::unique_ptr<QSettings> settings_;
};

}  // namespace vantrel::platform
