#include "platform/profile_strings_qt.h"

#include <QSettings>

#include "platform/settings_store_qt.h"

namespace vantrel::platform {
namespace {

QString KeyOf(std::string_view section, std::string_view entry) {
  return QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size())) + '/' +
         QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
}

}  // namespace

// The settings file is opened only while it is absent or a regular file (a FIFO would
// block the program): otherwise nothing is read and nothing is written.
QtProfileStrings::QtProfileStrings()
    : settings_(OpenNativeSettings(QString::fromLatin1(kProfileStringsKeyName), QStringLiteral("Vantrel"))) {}

QtProfileStrings::QtProfileStrings(const QString& iniFile) : settings_(OpenIniSettings(iniFile)) {}

QtProfileStrings::~QtProfileStrings() = default;

std::optional<std::string> QtProfileStrings::Read(std::string_view section, std::string_view entry) const {
  std::lock_guard lock(mutex_);
  if (!settings_) return std::nullopt;
  (void)SyncSettings(*settings_);
  const QVariant v = settings_->value(KeyOf(section, entry));
  if (!v.isValid()) return std::nullopt;
  return v.toString().toStdString();
}

bool QtProfileStrings::Write(std::string_view section, std::string_view entry, std::string_view value) {
  std::lock_guard lock(mutex_);
  if (!settings_ || !SettingsFileUsable(settings_->fileName())) return false;
  settings_->setValue(KeyOf(section, entry), QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
  return SyncSettings(*settings_);
}

}  // namespace vantrel::platform
