#include "platform/profile_strings_qt.h"

#include <QSettings>

namespace vantrel::platform {
namespace {

QString KeyOf(std::string_view section, std::string_view entry) {
  return QString::fromUtf8(section.data(), static_cast<qsizetype>(section.size())) + '/' +
         QString::fromUtf8(entry.data(), static_cast<qsizetype>(entry.size()));
}

}  // namespace

QtProfileStrings::QtProfileStrings()
    : settings_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            QString::fromLatin1(kProfileStringsKeyName), QStringLiteral("Vantrel"))) {}

QtProfileStrings::QtProfileStrings(const QString& iniFile)
    : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

QtProfileStrings::~QtProfileStrings() = default;

std::optional<std::string> QtProfileStrings::Read(std::string_view section, std::string_view entry) const {
  std::lock_guard lock(mutex_);
  settings_->sync();
  const QVariant v = settings_->value(KeyOf(section, entry));
  if (!v.isValid()) return std::nullopt;
  return v.toString().toStdString();
}

bool QtProfileStrings::Write(std::string_view section, std::string_view entry, std::string_view value) {
  std::lock_guard lock(mutex_);
  settings_->setValue(KeyOf(section, entry), QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size())));
  settings_->sync();
  return settings_->status() == QSettings::NoError;
}

}  // namespace vantrel::platform
