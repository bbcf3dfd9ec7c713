// The automatic-switching rules kept in the application settings (the "AUTO_PROFILES"
// group), read and written by both programs.
#pragma once

#include <QString>

#include <string>
#include <vector>

#include "core/profiles/auto_switch_rules.h"

class QSettings;

namespace vantrel::platform {

// The application settings file both programs share: the native settings of the
// application (Linux: $XDG_CONFIG_HOME/Vantrel_Morvane/Vantrel.conf).
QString AppSettingsFile();

// Reads the rules; what another process wrote is seen (the settings are synchronised
// first). Stored rules that cannot be used are left out and named in `skipped`.
profiles::AutoRuleSet LoadAutoRules(QSettings& settings, std::vector<std::string>* skipped = nullptr);
// Replaces the stored rules with `rules` and writes the file; false when it could not be
// written.
bool SaveAutoRules(QSettings& settings, const profiles::AutoRuleSet& rules);

}  // namespace vantrel::platform
