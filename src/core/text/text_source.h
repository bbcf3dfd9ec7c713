// Where core code gets its user-visible texts and shows its messages. The language
// lookup implements TextSource; the GUI and vantrelctl implement MessageSink; tests use
// in-memory versions.
#pragma once

#include <string>
#include <string_view>

namespace vantrel::text {

class TextSource {
 public:
  virtual ~TextSource() = default;
  // Section "TEXT" of the current language file; "#Error" when missing.
  virtual std::string Text(std::string_view key) const = 0;
  // Section "LIGHT".
  virtual std::string LightText(std::string_view key) const = 0;
  // Section "MODE" (key: the lighting mode's code in decimal).
  virtual std::string ModeText(std::string_view key) const = 0;
};

enum class Answer { Yes, No, Cancel };

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // A plain message box with an OK button.
  virtual void ShowMessage(std::string_view text) = 0;
  // A Yes/No question; true for Yes. defaultYes chooses the preselected button.
  virtual bool AskYesNo(std::string_view text, bool defaultYes) = 0;
  // A Yes/No/Cancel question. Without a Cancel button of its own a sink answers Yes or No.
  virtual Answer AskYesNoCancel(std::string_view text, Answer defaultAnswer) {
    return AskYesNo(text, defaultAnswer == Answer::Yes) ? Answer::Yes : Answer::No;
  }
};

}  // namespace vantrel::text
