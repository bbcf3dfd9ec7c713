#include "ui/windows/undo_actions.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QWidget>

#include "core/text/safe_format.h"
#include "core/text/text_source.h"
#include "ui/app/main_controller.h"

namespace vantrel::ui {
namespace {

QString Entry(const text::TextSource& texts, const char* named, const char* plain, const std::string& step) {
  if (step.empty()) return QString::fromStdString(texts.Text(plain));
  // A step's name is shown as it is: an ampersand in it is no mnemonic.
  return QString::fromStdString(text::FormatWithString(texts.Text(named), step)).replace('&', QStringLiteral("&&"));
}

}  // namespace

UndoActions::UndoActions(QWidget& window, MainController& controller, const text::TextSource& texts)
    : QObject(&window), controller_(controller), texts_(texts), undo_(new QAction(&window)), redo_(new QAction(&window)) {
  undo_->setObjectName(QStringLiteral("undo"));
  redo_->setObjectName(QStringLiteral("redo"));
  undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  redo_->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
  for (QAction* action : {undo_, redo_}) {
    action->setShortcutContext(Qt::WindowShortcut);
    window.addAction(action);
  }
  connect(undo_, &QAction::triggered, this, [this] { controller_.Undo(); });
  connect(redo_, &QAction::triggered, this, [this] { controller_.Redo(); });
  connect(&controller_, &MainController::stepsChanged, this, &UndoActions::Refresh);
  Refresh();
}

void UndoActions::AddTo(QMenu& menu) {
  if (menu.actions().contains(undo_)) return;
  menu.addSeparator();
  menu.addAction(undo_);
  menu.addAction(redo_);
}

void UndoActions::Refresh() {
  undo_->setText(Entry(texts_, "MENU_UNDO", "MENU_UNDO_NONE", controller_.UndoName()));
  redo_->setText(Entry(texts_, "MENU_REDO", "MENU_REDO_NONE", controller_.RedoName()));
  undo_->setEnabled(controller_.CanUndo());
  redo_->setEnabled(controller_.CanRedo());
}

}  // namespace vantrel::ui
