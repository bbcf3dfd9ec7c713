// The macro editor's "Type text...": the dialog opens window-modal over the key page, and
// its steps go into the selected macro after the selected step, as recorded steps do.
#include "core/keys/text_macro.h"
#include "core/text/safe_format.h"
#include "ui/skin/png_button.h"
#include "ui/windows/macro_editor.h"
#include "ui/windows/type_text_dialog.h"

namespace vantrel::ui {

TypeTextDialog* MacroEditor::typeTextDialog() const { return typeText_.data(); }

void MacroEditor::RetranslateTypeText() {
  if (typeText_) typeText_->Retranslate();
}

void MacroEditor::OnTypeText() {
  if (selected_ < 0 || recorder_.recording || typeText_) return;
  if (!FinishCellEdit()) return;
  auto* dialog = new TypeTextDialog(texts_, rows_.actions.size(), button(kIdTypeText)->window());
  dialog->setWindowModality(Qt::WindowModal);
  typeText_ = dialog;
  // Gone once closed, after its accepted() was handled.
  connect(dialog, &QDialog::finished, this, [this, dialog] {
    if (typeText_ == dialog) typeText_.clear();
    dialog->deleteLater();
  });
  connect(dialog, &QDialog::accepted, this, [this, dialog, session = session_, macro = selected_] {
    // The copies may have been reloaded or dropped while the dialog was open.
    if (session != session_ || macro != selected_) return;
    SyncSelectionFromView();
    if (!keys::InsertSteps(rows_, dialog->steps())) {
      if (!dialog->steps().empty()) {
        sink_.ShowMessage(text::FormatWithNumber(texts_.Text("TYPE_TEXT_TOO_MANY"),
                                                 static_cast<std::int64_t>(rows_.actions.size() + dialog->steps().size())));
      }
      return;
    }
    ShowRows();
    SelectRow(static_cast<int>(*rows_.selected));
    MarkChanged();
  });
  dialog->open();
}

}  // namespace vantrel::ui
