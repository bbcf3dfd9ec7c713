// Answers for the windows' questions and file dialogs in tests: records every text shown
// and gives the answers queued beforehand (No and Cancel when none is left).
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ui/app/ui_services.h"

namespace vantrel::ui::test {

class FakeMessageSink final : public text::MessageSink {
 public:
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  bool AskYesNo(std::string_view text, bool) override {
    questions.emplace_back(text);
    if (answers.empty()) return false;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  // Three-way questions take `choices` first, then `answers` (Yes/No); No when neither has one.
  text::Answer AskYesNoCancel(std::string_view text, text::Answer) override {
    questions.emplace_back(text);
    if (!choices.empty()) {
      const text::Answer c = choices.front();
      choices.pop_front();
      return c;
    }
    if (answers.empty()) return text::Answer::No;
    const bool answer = answers.front();
    answers.pop_front();
    return answer ? text::Answer::Yes : text::Answer::No;
  }
  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::deque<bool> answers;
  std::deque<text::Answer> choices;
};

class FakeFileChooser final : public FileChooser {
 public:
  std::optional<QString> ChooseOpen(QWidget*, const FileChoice& choice) override { return Next(choice); }
  std::optional<QString> ChooseSave(QWidget*, const FileChoice& choice) override { return Next(choice); }
  std::vector<FileChoice> asked;
  std::deque<std::optional<QString>> answers;

 private:
  std::optional<QString> Next(const FileChoice& choice) {
    asked.push_back(choice);
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace vantrel::ui::test
