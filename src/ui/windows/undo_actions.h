// The main window's Undo and Redo: two actions with their shortcuts (Ctrl+Z; Ctrl+Shift+Z
// and Ctrl+Y), named for the step they would take ("Undo: Caps Lock -> Disabled on
// Profile 2") and disabled when there is none. What they offer is asked of the main
// controller (the session) whenever the session changes; they keep nothing of their own.
// A text field that has the focus keeps the shortcuts for its own undo.
#pragma once

#include <QObject>

class QAction;
class QMenu;
class QWidget;

namespace vantrel::text {
class TextSource;
}

namespace vantrel::ui {

class MainController;

class UndoActions final : public QObject {
  Q_OBJECT

 public:
  UndoActions(QWidget& window, MainController& controller, const text::TextSource& texts);

  QAction* UndoAction() const { return undo_; }
  QAction* RedoAction() const { return redo_; }
  // Puts both entries into `menu` once, after a separator.
  void AddTo(QMenu& menu);
  // Names and enabling from the session, in the language in force.
  void Refresh();

 private:
  MainController& controller_;
  const text::TextSource& texts_;
  QAction* undo_;
  QAction* redo_;
};

}  // namespace vantrel::ui
