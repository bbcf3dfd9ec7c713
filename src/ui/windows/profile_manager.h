// The profile manager: one row per on-board profile (and per file the user adds or lists),
// single-choice check boxes for the profile to make active, Apply/OK to record the list,
// switch the keyboard and read its configuration again.
#pragma once

#include <QString>

#include <atomic>
#include <memory>
#include <string>
#include <string_view>

#include "core/profiles/profile_service.h"
#include "core/text/text_source.h"
#include "ui/skin/base_dialog.h"
#include "ui/windows/control_ids.h"

class QSettings;

namespace vantrel::ui {

class CPngButton;
class CReportCtrl;
class DeviceWorker;
class FileChooser;
class ProfileWindowsHost;

// Section "PROFILES" of the application settings, where Apply records the list.
class ProfileListSettings {
 public:
  virtual ~ProfileListSettings() = default;
  virtual bool WriteValue(std::string_view key, const QString& value) = 0;
};

// Over QSettings under the application's registry key name "Vantrel_Morvane" (Windows:
// HKEY_CURRENT_USER\Software\Vantrel_Morvane\Vantrel\PROFILES; elsewhere Qt's settings
// file of that name).
class QtProfileListSettings final : public ProfileListSettings {
 public:
  QtProfileListSettings();
  // An INI file of its own (tests, portable set-ups).
  explicit QtProfileListSettings(const QString& iniFile);
  ~QtProfileListSettings() override;
  bool WriteValue(std::string_view key, const QString& value) override;

 private:
  std::unique_ptr<QSettings> settings_;
};

// "PROFILE00" (the count) and "PROFILE01", "PROFILE02", ... (the rows from 1).
QString ProfileSettingsKey(int number);
// The row of a file: its name without folder and extension, and its folder ending with a
// separator (native separators).
QString ProfileRowName(const QString& path);
QString ProfileRowFolder(const QString& path);
// The language key of on-board profile `slot` (0 to 2): "PROFILE_1" to "PROFILE_3".
std::string OnBoardProfileKey(int slot);

class CVantrel_DlgProfile final : public CBaseDialog {
  Q_OBJECT
 public:
  struct Services {
    profiles::ProfileService& profiles;  // used on the device worker only
    const text::TextSource& texts;
    text::MessageSink& sink;
    FileChooser& files;
    ProfileListSettings& settings;
    DeviceWorker& worker;
    ProfileWindowsHost& host;
  };
  // iniPath: "Skins/Profile.ini"; skinFolder: the folder of its pictures.
  CVantrel_DlgProfile(const Services& services, const QString& iniPath, const QString& skinFolder,
                      QWidget* parent = nullptr);
  ~CVantrel_DlgProfile() override;

  // Opens the manager (the main window's profiles button, 1005): initialises it anew and
  // shows it modally without a nested event loop.
  void Open();
  // Closes an open manager as Cancel does (keyboard removed, main window closing).
  void CloseProfileManager();

  // Read by the profile switch on any thread.
  int openCount() const { return openCount_; }
  bool unsaved() const { return unsaved_; }
  // A switch made elsewhere: row `row` becomes the checked one and `unsaved` is cleared.
  // Safe from any thread; the widgets change on the UI thread.
  void CheckProfileRow(int row);

  // The control actions (also reached through the buttons).
  void FillProfileList(bool clear);
  void AddProfileFile();
  void LoadProfileRow();
  void DeleteProfileRow();
  // False when the question about the main window's edits was cancelled: nothing written.
  bool ApplyProfiles();
  void OnOK();
  void OnCancel();

  // Column headers, captions and the on-board rows' names in the language in force.
  void Retranslate();
  // The file name (without folder and extension) that row `row` stands for; the on-board
  // rows show their profile's name instead.
  QString RowFileName(int row) const;

  CReportCtrl* list() const { return list_; }
  CPngButton* button(int controlId) const;
  // True from Apply until the keyboard has been switched and read again.
  bool applying() const { return applying_; }

 protected:
  void OnInitDialog() override;
  void reject() override;

 private:
  void PlaceControls();
  void AppendRow(const QString& path);
  void SetUnsaved(bool unsaved);
  void CheckRowQuietly(int row);
  void CloseDialog(int result);
  QString Text(std::string_view key) const;

  Services s_;
  CReportCtrl* list_ = nullptr;
  CPngButton* ok_ = nullptr;
  CPngButton* cancel_ = nullptr;
  CPngButton* add_ = nullptr;
  CPngButton* load_ = nullptr;
  CPngButton* delete_ = nullptr;
  CPngButton* apply_ = nullptr;
  int openCount_ = 0;     // UI thread only; the session keeps the count for the switch rules
  bool unsaved_ = false;
  bool quiet_ = false;  // the list's checks are being set by the program, not the user
  bool applying_ = false;
  // Bumped by every opening and closing: a late active-profile answer for an earlier
  // opening is ignored.
  int generation_ = 0;
};

}  // namespace vantrel::ui
