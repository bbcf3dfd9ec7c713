// "Type text..." of the macro editor: a text, the keyboard layout to type it for (the
// desktop's chosen, any other selectable), a live preview of the steps that type it and of
// the characters the layout cannot type. OK hands the steps to the editor, which adds them
// to the macro being edited.
//
// Finding the desktop's layout may wait for gsettings, and compiling a layout's keymap
// takes a moment: both run on a thread of the global pool, and their results come back
// queued to the dialog (dropped once it is gone).
#pragma once

#include <QDialog>

#include <cstddef>
#include <optional>
#include <vector>

#include "core/keys/desktop_layout.h"
#include "core/keys/text_macro.h"
#include "core/text/text_source.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace vantrel::ui {

class TypeTextDialog final : public QDialog {
  Q_OBJECT

 public:
  // `stepsInMacro`: the steps the macro being edited holds already; the new steps must fit
  // beside them.
  TypeTextDialog(const text::TextSource& texts, std::size_t stepsInMacro, QWidget* parent = nullptr);
  ~TypeTextDialog() override;

  void Retranslate();
  // The steps that type the text; empty unless every character can be typed.
  const std::vector<keys::MacroAction>& steps() const { return steps_; }
  // The layout chosen, as XKB names it ("de", "us(dvorak)"); empty until the desktop's is known.
  QString layoutName() const;
  // True once the desktop's layout and the list of layouts are in, and the chosen
  // layout's characters are known (or known to be unavailable).
  bool ready() const { return characters_.has_value(); }

  // Controls, for tests.
  QPlainTextEdit* textEdit() const { return text_; }
  QComboBox* layoutBox() const { return layout_; }
  QTreeWidget* preview() const { return preview_; }
  QLabel* problems() const { return problems_; }
  QPushButton* okButton() const { return ok_; }

 signals:
  // The chosen layout's characters arrived and the preview shows them.
  void previewReady();

 private:
  struct Start {
    keys::DesktopLayout desktop;
    std::vector<keys::LayoutChoice> choices;
  };
  void OnStarted(Start start);
  void OnLayoutChosen();
  void Compile(const keys::LayoutName& name);
  void OnCompiled(unsigned request, std::optional<keys::LayoutCharacters> characters);
  void FillLayouts();
  void UpdatePreview();

  const text::TextSource& texts_;
  std::size_t stepsInMacro_;
  QPlainTextEdit* text_;
  QLabel* textLabel_;
  QLabel* layoutLabel_;
  QComboBox* layout_;
  QLabel* stepsLabel_;
  QTreeWidget* preview_;
  QLabel* problems_;
  QLabel* hint_;
  QPushButton* ok_;
  QPushButton* cancel_;

  std::optional<keys::LayoutName> desktop_;
  std::vector<keys::LayoutChoice> choices_;
  // The chosen layout's characters: nullopt while not known, an empty optional inside
  // when the layout cannot be compiled.
  std::optional<std::optional<keys::LayoutCharacters>> characters_;
  unsigned compileRequest_ = 0;
  std::vector<keys::MacroAction> steps_;
};

}  // namespace vantrel::ui
