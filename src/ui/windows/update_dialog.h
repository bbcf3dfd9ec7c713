// The firmware-update dialog: choose the updater program, switch the keyboard into boot
// mode and start the updater, forget the choice, or back the configuration up.
#pragma once

#include <QString>

#include <filesystem>
#include <string>

#include "core/device/commands.h"
#include "core/profiles/profile_service.h"
#include "ui/skin/base_dialog.h"
#include "ui/windows/control_ids.h"

namespace vantrel::ui {

class ColorStatic;
class CPngButton;
class DeviceWorker;
class FileChooser;

class CVantrel_DlgUpdate final : public CBaseDialog {
  Q_OBJECT
 public:
  struct Services {
    profiles::ProfileService& profiles;  // used on the device worker only
    device::CommandSet& commands;        // used on the device worker only
    profiles::ProgramLauncher& launcher;
    const text::TextSource& texts;
    text::MessageSink& sink;
    FileChooser& files;
    DeviceWorker& worker;
    // The chosen updater, owned by the application so that it outlives the dialog.
    std::string& updaterPath;
    // The folder "Package" beside the program: the chooser starts there.
    std::filesystem::path packageFolder;
  };
  // iniPath: "Skins/UpdateDlg.ini"; skinFolder: the folder of its pictures.
  CVantrel_DlgUpdate(const Services& services, const QString& iniPath, const QString& skinFolder,
                     QWidget* parent = nullptr);
  ~CVantrel_DlgUpdate() override;

  // Command 32780 of the main window: places the controls anew and shows the dialog
  // modally without a nested event loop. The path label starts empty.
  void Open();
  // Closes an open dialog as its close box does, keeping the chosen updater (the main
  // window hides because the keyboard went, or closes).
  void CloseUpdateDialog();

  void ChooseUpdater();
  void StartUpdate();
  void CancelUpdate();
  void BackupFromDialog();
  // The button captions in the language in force (on opening and when it changes).
  void Retranslate();

  // Control 1179: the chosen path (shortened to fit; the whole path is its tooltip).
  ColorStatic* pathLabel() const { return label_; }
  CPngButton* button(int controlId) const;
  // True while the boot request or a backup runs on the worker.
  bool busy() const { return busy_; }

 protected:
  void OnInitDialog() override;

 private:
  void PlaceControls();
  void SetBusy(bool busy);
  void ShowMessage(std::string_view text);
  QString Text(std::string_view key) const;
  void ShowPath(const QString& path);

  Services s_;
  ColorStatic* label_ = nullptr;
  QWidget* combo_ = nullptr;
  CPngButton* open_ = nullptr;
  CPngButton* update_ = nullptr;
  CPngButton* cancelUpdate_ = nullptr;
  CPngButton* backup_ = nullptr;
  bool busy_ = false;
};

}  // namespace vantrel::ui
