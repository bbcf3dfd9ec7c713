#include "platform/auto_rules_settings.h"

#include <QSettings>

#include "platform/settings_store_qt.h"

namespace vantrel::platform {

QString AppSettingsFile() {
  return NativeSettingsFile(QStringLiteral("Vantrel_Morvane"), QStringLiteral("Vantrel"));
}

profiles::AutoRuleSet LoadAutoRules(QSettings& settings, std::vector<std::string>* skipped) {
  (void)SyncSettings(settings);
  settings.beginGroup(QString::fromLatin1(profiles::kAutoSwitchGroup));
  auto rules = profiles::RulesFromSettings([&](std::string_view key) -> std::optional<std::string> {
    const QString name = QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
    if (!settings.contains(name)) return std::nullopt;
    const QVariant value = settings.value(name);
    // An INI value with an unquoted comma reads back as a list: join it again.
    if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(QLatin1Char(',')).toStdString();
    return value.toString().toStdString();
  }, skipped);
  settings.endGroup();
  return rules;
}

bool SaveAutoRules(QSettings& settings, const profiles::AutoRuleSet& rules) {
  settings.beginGroup(QString::fromLatin1(profiles::kAutoSwitchGroup));
  settings.remove(QString());  // rules beyond the new count go too
  for (const auto& [key, value] : profiles::RulesToSettings(rules))
    settings.setValue(QString::fromStdString(key), QString::fromStdString(value));
  settings.endGroup();
  return SyncSettings(settings) && settings.status() == QSettings::NoError;
}

}  // namespace vantrel::platform
