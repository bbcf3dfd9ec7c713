// In-memory texts and messages for the key and macro tests.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/text/text_source.h"

namespace vantrel::keys::testing {

class MapTexts final : public text::TextSource {
 public:
  std::map<std::string, std::string, std::less<>> texts{{"MACRO_NEW_PREFIX", "Macro"},
                                                        {"UNKNOWN_KEY", "Key %04X"},
                                                        {"MACRO_ERR_MAX", "At most %d macros"}};
  std::string Text(std::string_view key) const override {
    auto it = texts.find(key);
    return it == texts.end() ? "#Error" : it->second;
  }
  std::string LightText(std::string_view key) const override { return Text(key); }
  std::string ModeText(std::string_view key) const override { return Text(key); }
};

class RecordingSink final : public text::MessageSink {
 public:
  std::vector<std::string> shown;
  std::vector<std::string> asked;
  bool answer = false;
  void ShowMessage(std::string_view text) override { shown.emplace_back(text); }
  bool AskYesNo(std::string_view text, bool defaultYes) override {
    asked.emplace_back(text);
    lastDefaultYes = defaultYes;
    return answer;
  }
  bool lastDefaultYes = true;
};

}  // namespace vantrel::keys::testing
