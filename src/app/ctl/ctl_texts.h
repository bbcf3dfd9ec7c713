// vantrelctl's language texts: the language files beside the executable, the language id
// from the settings key (or from --language for this run only, never stored) and the
// system language from the locale.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "core/text/language.h"
#include "core/text/settings_store.h"
#include "platform/settings_store_qt.h"

namespace vantrel::ctl {

class CtlTexts {
 public:
  CtlTexts(const std::filesystem::path& programFolder, std::optional<std::uint32_t> languageOverride);

  const text::LanguageTexts& Texts() const { return *texts_; }

 private:
  platform::QSettingsStore stored_;
  text::OverlaySettingsStore settings_{stored_};
  platform::LocaleSystemLanguage system_;
  std::unique_ptr<text::LanguageTexts> texts_;
};

}  // namespace vantrel::ctl
