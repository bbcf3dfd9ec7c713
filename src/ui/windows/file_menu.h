// The main window's menu button (1139): menu 144 with restore from a profile file, backup
// to a profile file and the firmware-update dialog, and the restore and backup flows.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>

#include <filesystem>
#include <functional>
#include <optional>

#include "core/profiles/profile_service.h"
#include "core/text/text_source.h"
#include "ui/windows/control_ids.h"

class QMenu;

namespace vantrel::ui {

class CVantrel_DlgUpdate;
class DeviceWorker;
class FileChooser;
class ProfileWindowsHost;

// The menu's print entry: ours, after the update entry.
inline constexpr int kCmdPrintKeyMap = 32790;

class FileMenu final : public QObject {
  Q_OBJECT
 public:
  struct Services {
    profiles::ProfileService& profiles;  // used on the device worker only
    const text::TextSource& texts;
    text::MessageSink& sink;
    FileChooser& files;
    DeviceWorker& worker;
    ProfileWindowsHost& host;
    CVantrel_DlgUpdate& updateDialog;
  };
  explicit FileMenu(const Services& services, QObject* parent = nullptr);
  ~FileMenu() override;

  // The menu with its item texts taken from the language file now ("MENU_1", "MENU_2",
  // "MENU_4", and "MENU_PRINT_KEY_MAP" once a print action is set); each item's data is
  // its command id.
  QMenu* Menu();
  // What "Print key map…" does (the window prints its current profile); the entry is
  // in the menu from then on.
  void SetPrintAction(std::function<void()> print);
  // The menu button: pops the menu up at `globalPos` (the mouse cursor) without waiting.
  void ShowBackupMenu(const QPoint& globalPos);
  // The main window's commands 32776, 32777 and 32780; false for any other id.
  bool OnCommand(int commandId);

  // Restore: file choice, validation on this thread, then the load, working file and
  // write of all three profiles and the macro area on the worker with the progress
  // picture shown. Nothing is touched unless validation gave 1.
  void RestoreFromFile();
  // The same restore for a file already chosen (a file dropped on the window).
  void RestoreFile(const std::filesystem::path& path);
  // Backup: file choice with overwrite confirmation, the editing store written (on the
  // worker, after any device work asked for before). Silent on success; a failed write
  // says why ("cannot write <path>: <the system's reason>").
  void BackupToFile();

  // True from a restore's start until its result is back.
  bool restoring() const { return restoring_; }

 signals:
  // After a restore ran on the worker: validation result and whether the keyboard took it.
  void restoreFinished(int validation, bool applied);
  void backupFinished(bool ok);

 private:
  void UpdateTexts();
  QString Text(std::string_view key) const;

  Services s_;
  QMenu* menu_ = nullptr;
  std::function<void()> print_;
  bool restoring_ = false;
};

}  // namespace vantrel::ui
