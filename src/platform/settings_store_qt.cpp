#include "platform/settings_store_qt.h"

#include <QByteArray>
#include <QLocale>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>
#include <limits>

#include "core/text/locale_language.h"
#include "core/util/regular_file.h"

namespace vantrel::platform {
namespace {

QString Key(std::string_view name) { return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())); }

}  // namespace

QString NativeSettingsFile(const QString& organisation, const QString& application) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
  // Where Qt keeps them on such systems: <config folder>/<organisation>.conf, or
  // <config folder>/<organisation>/<application>.conf.
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return application.isEmpty() ? folder + '/' + organisation + ".conf"
                               : folder + '/' + organisation + '/' + application + ".conf";
#else
  (void)organisation;
  (void)application;
  return {};
#endif
}

bool SettingsFileUsable(const QString& file) {
  if (file.isEmpty()) return true;
  const std::string problem = RegularFileProblem(std::filesystem::path(file.toStdString()));
  return problem.empty() || problem == "does not exist";
}

std::unique_ptr<QSettings> OpenNativeSettings(const QString& organisation, const QString& application) {
  if (!SettingsFileUsable(NativeSettingsFile(organisation, application))) return nullptr;
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, organisation, application);
}

std::unique_ptr<QSettings> OpenIniSettings(const QString& file) {
  if (!SettingsFileUsable(file)) return nullptr;
  return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

bool SyncSettings(QSettings& settings) {
  // (On Windows the name is the registry key's, which is no file: usable.)
  if (!SettingsFileUsable(settings.fileName())) return false;
  settings.sync();
  return settings.status() == QSettings::NoError;
}

QSettingsStore::QSettingsStore() : settings_(OpenNativeSettings(QString::fromLatin1(kSettingsKeyName))) {}

QSettingsStore::QSettingsStore(const QString& iniFile) : settings_(OpenIniSettings(iniFile)) {}

QSettingsStore::~QSettingsStore() = default;

std::optional<std::uint32_t> QSettingsStore::ReadDword(std::string_view name) const {
  std::lock_guard lock(mutex_);
  if (!settings_) return std::nullopt;
  // Values read before the file stopped being usable still count.
  (void)SyncSettings(*settings_);
  const QVariant value = settings_->value(Key(name));
  if (!value.isValid()) return std::nullopt;
  // The registry gives a number for a REG_DWORD value; a settings file gives its text.
  // Anything that is not a whole number from 0 to 2^32-1 counts as "not a 32-bit value".
  switch (value.typeId()) {
    case QMetaType::Int:
#ifdef Q_OS_WIN
      // A REG_DWORD read back as a signed int: its bits are the value.
      return static_cast<std::uint32_t>(value.toInt());
#else
      if (value.toInt() < 0) return std::nullopt;
      return static_cast<std::uint32_t>(value.toInt());
#endif
    case QMetaType::LongLong: {
      const qlonglong v = value.toLongLong();
      if (v < 0 || v > static_cast<qlonglong>(std::numeric_limits<std::uint32_t>::max())) return std::nullopt;
      return static_cast<std::uint32_t>(v);
    }
    case QMetaType::UInt:
      return value.toUInt();
    case QMetaType::ULongLong: {
      const qulonglong v = value.toULongLong();
      if (v > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
      return static_cast<std::uint32_t>(v);
    }
    case QMetaType::QString: {
      const QString text = value.toString().trimmed();
      bool ok = false;
      const qulonglong v = text.toULongLong(&ok, 10);
      if (!ok || text.isEmpty() || text.startsWith(u'+') || text.startsWith(u'-') || v > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
      }
      return static_cast<std::uint32_t>(v);
    }
    default:
      return std::nullopt;
  }
}

bool QSettingsStore::WriteDword(std::string_view name, std::uint32_t value) {
  std::lock_guard lock(mutex_);
  if (!settings_ || !SettingsFileUsable(settings_->fileName())) return false;
  settings_->setValue(Key(name), QVariant::fromValue(static_cast<uint>(value)));
  ++writes_;
  return SyncSettings(*settings_);
}

std::optional<std::uint64_t> QSettingsStore::Writes() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

std::uint32_t LocaleSystemLanguage::DefaultLanguageId() const {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const QByteArray value = qgetenv(variable);
    if (!value.isEmpty()) return text::WindowsLanguageIdFromLocale(value.toStdString());
  }
  return text::WindowsLanguageIdFromLocale(QLocale::system().name().toStdString());
}

}  // namespace vantrel::platform
