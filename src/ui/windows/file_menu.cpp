#include "ui/windows/file_menu.h"

#include "core/profiles/edit_session.h"

#include <QAction>
#include <QMenu>

#include <string>
#include <utility>

#include "core/profiles/atomic_file.h"
#include "core/profiles/profile_file.h"
#include "core/text/safe_format.h"
#include "ui/app/device_worker.h"
#include "ui/windows/profile_windows_host.h"
#include "ui/app/ui_services.h"
#include "ui/windows/update_dialog.h"

namespace vantrel::ui {
namespace {

FileChoice ProfileFileChoice(const text::TextSource& texts) {
  FileChoice choice;
  choice.fileName = QStringLiteral("*.vnp");
  choice.filter = ProfileFileFilter(texts);
  choice.defaultSuffix = QStringLiteral("vnp");
  return choice;
}

std::filesystem::path ToPath(const QString& s) { return std::filesystem::path(s.toStdString()); }

}  // namespace

FileMenu::FileMenu(const Services& services, QObject* parent) : QObject(parent), s_(services) {}

FileMenu::~FileMenu() { delete menu_; }

QString FileMenu::Text(std::string_view key) const {
  const std::string t = s_.texts.Text(key);
  return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

QMenu* FileMenu::Menu() {
  if (!menu_) {
    menu_ = new QMenu();
    menu_->setObjectName(QStringLiteral("menu144"));
    for (int command : {kCmdRestore, kCmdBackup, kCmdUpdateDialog}) {
      QAction* action = menu_->addAction(QString());
      action->setData(command);
      connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
    }
  }
  if (print_ && menu_->actions().size() == 3) {
    QAction* action = menu_->addAction(QString());
    action->setData(kCmdPrintKeyMap);
    connect(action, &QAction::triggered, this, [this] { OnCommand(kCmdPrintKeyMap); });
  }
  UpdateTexts();
  return menu_;
}

void FileMenu::SetPrintAction(std::function<void()> print) { print_ = std::move(print); }

void FileMenu::UpdateTexts() {
  const auto actions = menu_->actions();
  actions[0]->setText(Text("MENU_1"));
  actions[1]->setText(Text("MENU_2"));
  actions[2]->setText(Text("MENU_4"));
  if (actions.size() > 3) actions[3]->setText(Text("MENU_PRINT_KEY_MAP"));
}

void FileMenu::ShowBackupMenu(const QPoint& globalPos) { Menu()->popup(globalPos); }

bool FileMenu::OnCommand(int commandId) {
  switch (commandId) {
    case kCmdRestore: RestoreFromFile(); return true;
    case kCmdBackup: BackupToFile(); return true;
    case kCmdUpdateDialog: s_.updateDialog.Open(); return true;
    case kCmdPrintKeyMap:
      if (!print_) return false;
      print_();
      return true;
    default: return false;
  }
}

void FileMenu::RestoreFromFile() {
  if (restoring_) return;
  const auto chosen = s_.files.ChooseOpen(s_.host.HostWindow(), ProfileFileChoice(s_.texts));
  if (!chosen) return;
  RestoreFile(ToPath(*chosen));
}

void FileMenu::RestoreFile(const std::filesystem::path& path) {
  if (restoring_) return;
  // Checked here first, so that the messages of a refused file come on this thread and
  // nothing at all is sent for it.
  const int validation = profiles::ValidateProfileFile(path, s_.texts, s_.sink);
  if (validation != profiles::kProfileValid) {
    s_.sink.ShowMessage(s_.texts.Text("MAIN_PROMPT_INPORT"));
    emit restoreFinished(validation, false);
    return;
  }
  restoring_ = true;
  s_.host.ShowProgress(true);
  // The session clears the unsaved state only when the whole file loaded and the keyboard
  // took it; otherwise it says what failed and keeps the edits pending.
  auto& session = s_.host.Session();
  s_.worker.Run([&session, path] { return session.Restore(path); }, this,
                [this, path](profiles::RestoreOutcome outcome) {
                  restoring_ = false;
                  s_.host.ShowProgress(false);
                  // A failure was told where it happened (the file refused, the keyboard
                  // not taking it); success is said here, or the user is left guessing.
                  if (outcome.applied)
                    s_.sink.ShowMessage(text::FormatWithString(s_.texts.Text("MAIN_PROMPT_RESTORE_DONE"), path.string()));
                  emit restoreFinished(outcome.validation, outcome.applied);
                });
}

void FileMenu::BackupToFile() {
  const auto chosen = s_.files.ChooseSave(s_.host.HostWindow(), ProfileFileChoice(s_.texts));
  if (!chosen) return;
  auto& service = s_.profiles;
  const std::filesystem::path path = ToPath(*chosen);
  // The write's reason is taken on the worker, right after the write that gave it.
  s_.worker.Run(
      [&service, path] {
        const bool ok = service.BackupToFile(path);
        return std::pair<bool, std::string>(ok, ok ? std::string() : profiles::LastWriteProblem());
      },
      this,
      [this, path](std::pair<bool, std::string> outcome) {
        if (!outcome.first) {
          // The reason is the system's own words, on a line of its own.
          std::string message = text::FormatWithString(s_.texts.Text("MAIN_PROMPT_BACKUP_FAILED"), path.string());
          if (!outcome.second.empty()) message += "\n" + outcome.second;
          s_.sink.ShowMessage(message);
        } else {
          s_.sink.ShowMessage(text::FormatWithString(s_.texts.Text("MAIN_PROMPT_BACKUP_DONE"), path.string()));
        }
        emit backupFinished(outcome.first);
      });
}

}  // namespace vantrel::ui
