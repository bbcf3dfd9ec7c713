// The questions and choices a window puts to the user go through these interfaces, so
// the program shows real boxes and dialogs while tests answer them without a modal loop.
#pragma once

#include <QString>
#include <QWidget>

#include <optional>
#include <string_view>

#include "core/text/text_source.h"

namespace vantrel::ui {

struct FileChoice {
  QString title;
  QString folder;          // initial folder; empty for the dialog's own choice
  QString fileName;        // initial text of the file-name field, e.g. "*.vnp"
  QString filter;          // Qt filter, e.g. "Profile files (*.vnp);;All files (*)"
  QString defaultSuffix;   // added to a typed name without one, e.g. "vnp"
};

// One entry of a Qt file filter: the name in the current language (a language key) and
// its pattern, given once: "Profile files (*.vnp)".
QString FileFilterEntry(const text::TextSource& texts, std::string_view nameKey, const QString& pattern);
// Profile files, then every file.
QString ProfileFileFilter(const text::TextSource& texts);

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The chosen existing file, or nothing when cancelled.
  virtual std::optional<QString> ChooseOpen(QWidget* parent, const FileChoice& choice) = 0;
  // The chosen target (an existing one confirmed for overwriting), or nothing.
  virtual std::optional<QString> ChooseSave(QWidget* parent, const FileChoice& choice) = 0;
};

// A window opened a second time: when it is shown already, it comes to the front with the
// focus and true is returned; false when it still has to be shown.
bool RaiseIfShown(QWidget& window);

// Message boxes parented to a window; the caption is empty, as the texts carry it all.
// Yes and No are the toolkit's own (translated with the language); the Cancel of a
// three-way question is the language file's, when texts are given.
class QtMessageSink final : public text::MessageSink {
 public:
  explicit QtMessageSink(QWidget* parent = nullptr, const text::TextSource* texts = nullptr)
      : parent_(parent), texts_(texts) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  void SetTexts(const text::TextSource* texts) { texts_ = texts; }
  void ShowMessage(std::string_view text) override;
  bool AskYesNo(std::string_view text, bool defaultYes) override;
  text::Answer AskYesNoCancel(std::string_view text, text::Answer defaultAnswer) override;

 private:
  QWidget* parent_;
  const text::TextSource* texts_;
};

// QFileDialog: always Qt's own dialog, in the program's look.
class QtFileChooser final : public FileChooser {
 public:
  std::optional<QString> ChooseOpen(QWidget* parent, const FileChoice& choice) override;
  std::optional<QString> ChooseSave(QWidget* parent, const FileChoice& choice) override;
};

}  // namespace vantrel::ui
