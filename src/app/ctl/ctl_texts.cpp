#include "app/ctl/ctl_texts.h"

namespace vantrel::ctl {

CtlTexts::CtlTexts(const std::filesystem::path& programFolder, std::optional<std::uint32_t> languageOverride) {
  if (languageOverride) settings_.Override(text::kLanguageIdValue, *languageOverride);
  texts_ = std::make_unique<text::LanguageTexts>(programFolder, settings_, system_);
}

}  // namespace vantrel::ctl
