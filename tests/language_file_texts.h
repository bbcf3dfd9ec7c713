// The texts of one of the program's own language files, as the program reads them, for
// tests that check lines in words; a map of extra texts goes first.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "core/text/ini_file.h"
#include "core/text/language.h"

namespace vantrel::test {

class LanguageFileTexts final : public text::TextSource {
 public:
  // code: the file's language id in hex, as in its name ("0409", "040C", ...).
  explicit LanguageFileTexts(const std::string& code = "0409") {
    auto ini = std::make_shared<text::IniSnapshot>();
    ini->Load(std::filesystem::path(VANTREL_SOURCE_DIR) / "data" / ("Lang" + code + ".ini"));
    file_ = text::LanguageSnapshot(std::move(ini));
  }
  std::string Text(std::string_view key) const override {
    auto it = texts.find(key);
    return it != texts.end() ? it->second : file_.Text(key);
  }
  std::string LightText(std::string_view key) const override { return file_.LightText(key); }
  std::string ModeText(std::string_view key) const override { return file_.ModeText(key); }

  std::map<std::string, std::string, std::less<>> texts;

 private:
  text::LanguageSnapshot file_;
};

}  // namespace vantrel::test
