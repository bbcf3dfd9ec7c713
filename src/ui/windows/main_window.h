// The main window: the keyboard picture (one skinned button per key, drawn from the key
// picture), the profile buttons, Apply, restore default, the view switch, Flip, the lamps
// and the window buttons, and the other windows it opens. What a click asks for goes to
// the main controller; the controller tells the window what to show (MainView).
#pragma once

#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <vector>

#include "core/device/presence.h"
#include "core/profiles/profile_service.h"
#include "platform/lock_keys.h"
#include "scripting/profile_json.h"
#include "ui/skin/base_dialog.h"
#include "ui/skin/color_static.h"
#include "ui/skin/png_button.h"
#include "ui/windows/about_box.h"
#include "ui/app/app_core.h"
#include "ui/app/main_controller.h"
#include "ui/windows/control_ids.h"
#include "ui/windows/key_page.h"
#include "ui/windows/key_picture_view.h"
#include "ui/windows/lighting_panel.h"
#include "ui/windows/profile_manager.h"
#include "ui/windows/profile_windows_host.h"
#include "ui/app/sheet_printer.h"
#include "ui/windows/update_dialog.h"
#include "ui/app/ui_services.h"

class QLabel;
class QMenu;

namespace vantrel::ui {

class ArrowKeyGroup;
class AutoProfilesWindow;
class HistoryWindow;
class AutoSwitchController;
class CTrayIcon;
class FileMenu;
class UndoActions;

class CVantrelDlg final : public CBaseDialog,
                          public MainView,
                          public KeyPageHost,
                          public LightingPanelHost,
                          public ProfileWindowsHost {
  Q_OBJECT

 public:
  CVantrelDlg(AppCore& core, text::MessageSink& messages, FileChooser& files, QWidget* parent = nullptr);
  ~CVantrelDlg() override;

  AppCore& Core() { return core_; }
  MainController& Controller() { return *controller_; }
  // The key button of a control id (key picture, G keys, Fn), or nullptr.
  CPngButton* KeyButton(int controlId) const;
  CPngButton* Button(int controlId) const;
  QList<CPngButton*> KeyButtons() const;

  // Start-up after the skin is applied: the presence logic starts, the init message is
  // posted. `trayAvailable` false: the window is shown at once and closing it ends.
  void Start(CTrayIcon* tray);

  // The show routine (tray Open, MsgOpenWindow).
  void ShowWindowRoutine();
  // The closing routine: pages ended, tray removed, device work finished, stores freed.
  void CloseProgram();
  // Exit from the tray or a close button: asks about unapplied edits first (apply and
  // close, close without applying, stay), then runs the closing routine.
  void RequestExit();
  bool Closing() const { return controller_->Closing(); }

  // The profile menu (commands 9000..9003) and its choice.
  void BuildProfileMenu(QMenu& menu);
  void ChooseProfileFromMenu(int command);
  QString ProfileName() const { return profileName_; }

  // The key page for a key (modal unless SetKeyPageModal(false): tests drive it open).
  void OpenKeyPage(int controlId);
  void SetKeyPageModal(bool modal) { keyPageModal_ = modal; }
  // The profile manager (button 1005) and the backup menu (button 1139).
  void OpenProfileManager();
  void ShowFileMenu();

  // The other windows, once built (the panel from Start on, the rest on first use).
  LightingPanel* Panel() const { return panel_; }
  Vantrel_DlgComposite* KeyPage() const { return keyPage_; }
  CVantrel_DlgProfile* ProfileManager() const { return profileManager_; }
  CVantrel_DlgUpdate* UpdateDialog() const { return updateDialog_; }
  FileMenu* BackupMenu();
  UndoActions* Undo() const { return undo_; }

  // State the tests and the other windows read; the editing facts come from the session.
  int CurrentProfile() const override;
  int ColourView() const { return controller_->Picture().ColourView() ? 1 : 0; }
  bool InitDone() const { return core_.Ready(); }
  struct EditedKey {
    std::uint16_t code = 0;
    int controlId = 0;
    bool isG9 = false;
  };
  EditedKey EditedKeyValue() const { return editedKey_; }
  int Flip() const { return controller_->Flip(); }

  // The lamps: Caps, Num and Scroll Lock from the host's lock states, read now.
  using LockKeySource = std::function<std::optional<platform::LockKeys>()>;
  void SetLockKeySource(LockKeySource source);
  void RefreshLockLamps();
  // Opens a web page or a local file with the desktop's program; false when nothing took
  // it. QDesktopServices by default.
  using UrlOpener = std::function<bool(const QUrl&)>;
  void SetUrlOpener(UrlOpener opener) { urlOpener_ = std::move(opener); }

  // Re-reads every text of the window (MsgLanguageChanged).
  void Retranslate();
  // Chooses and stores a language (index 0..3 of the language ids) and tells every window.
  void ChooseLanguage(int index);
  CAboutBox* AboutBox() const { return about_; }
  void OpenAboutBox();
  // Automatic profile switching (from Start on) and its window (on first use).
  AutoSwitchController* AutoSwitch() const { return controller_->AutoSwitch(); }
  AutoProfilesWindow* AutoProfiles() const;
  void OpenAutoProfiles();
  // The history of the keyboard's configurations (on first use).
  HistoryWindow* History() const;
  void OpenHistory();
  // What the tray's tooltip adds while automatic switching is paused; empty otherwise.
  QString AutoSwitchNote() const { return controller_->AutoSwitchNote(); }

  // "Print key map…": the current profile's key map to the sheet printer (Qt's print
  // dialog by default).
  void PrintKeyMap();
  void SetSheetPrinter(SheetPrinter& printer) { printer_ = &printer; }
  // MainView (UI thread).
  void ShowProgress(bool on) override { SetProgressVisible(on); }
  void ShowApplyPending(bool pending) override;
  void ShowKeyboardPresent(bool present) override { SetNoDeviceLook(!present); }
  void ShowConfigurationRead(int profile) override;
  void ShowProfileSwitched(int profile, bool kept) override;
  void ShowGKeyLayer(int layer) override;
  void ShowProfileName(const QString& name) override;
  void ShowTrayIcon(int icon) override;
  void KeyboardGone() override;
  void KeyboardBack() override;
  void ShowWindow() override { ShowWindowRoutine(); }
  void LightingChanged() override;
  void LoadProfileLighting(int profile) override;
  bool LightingPanelOpen() const override { return panel_ && panel_->IsOpen(); }
  void RestoreDefaultLighting() override;
  bool RestoreProfileFile(const std::filesystem::path& path, const std::function<bool()>& ask) override;
  void EndWindows() override;

  // KeyPageHost (UI thread).
  std::uint16_t KeyCodeOfButton(int controlId) const override;
  QRect ButtonGlobalRect(int controlId) const override;
  int GKeyLayer() const override { return GLayer(); }
  std::optional<keys::KeyButton> ResolveButton(int controlId) const override { return ResolveButton(controlId, GLayer()); }
  std::optional<keys::KeyButton> ResolveButton(int controlId, int layer) const;
  void SetButtonPressed(int controlId, bool pressed) override;
  void KeysEdited() override;
  bool EditKeys(int profile, const std::function<std::string(keys::StoreImage&)>& edit) override;

  // LightingPanelHost (UI thread).
  void SetKeyColour(int controlId, const QColor& colour) override;
  void ShowKeyCaptions() override;
  void RedrawKeyFaces() override;

  // ProfileWindowsHost (UI thread).
  QWidget* HostWindow() override { return this; }
  profiles::EditSession& Session() override { return *core_.Session(); }
  void RefreshKeyButtons() override { controller_->ShowKeys(); }
  void RebuildProfileMenu() override { controller_->RebuildProfileMenu(); }

 signals:
  void languageChanged(quint32 languageId);
  void profileMenuChanged();

 protected:
  void OnInitDialog() override;
  void closeEvent(QCloseEvent* event) override;
  // Escape: hides to the tray when there is one; without a tray it closes as the close
  // button does, so the program is never left running invisible.
  void reject() override;
  void timerEvent(QTimerEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  CPngButton* MakeButton(int controlId, const QString& key, bool keyButton);
  // Keyboard use: the tab chain, and arrow keys between the key buttons by their place.
  void SetUpKeyboardAccess();
  // What a screen reader calls each key button (the key's name; its tooltip, what the key
  // does, is the description).
  void NameKeyButtons();
  void PlaceControls();
  void PlaceFlipKeys();
  // Gives the profile manager and the update dialog their titles in the current language.
  void TitleDialogs();
  void ApplyFlip();
  void ApplyFlipEnabling();
  void BindColourFields();
  void OpenWithDesktop(const QUrl& url);
  void OnButton(int controlId);
  void OnKeyClicked(int controlId);
  void OnProfileButton(int profile);
  void OnSwitchView();
  void OnReportRate(int index);
  void OnInitTray();
  void ShowSwitchedProfile(int profile);
  void BuildLightingPanel();
  void SetProgressVisible(bool visible);
  void SetNoDeviceLook(bool absent);
  void ClosePages(bool keepEdits = false);
  int GLayer() const;

  AppCore& core_;
  text::MessageSink& messages_;
  FileChooser& files_;
  CTrayIcon* tray_ = nullptr;
  QPointer<CAboutBox> about_;
  std::map<int, CPngButton*> buttons_;
  std::map<int, CPngButton*> keyButtons_;
  std::array<QPixmap, 7> faces_;  // normal, over, down, disable, arrow, color0, color1
  std::array<QPixmap, 4> flipFaces_;  // normal, over, down, disable of the six media keys
  QTimer lockTimer_;
  LockKeySource lockSource_;
  UrlOpener urlOpener_;
  CPngButton* leftArrow_ = nullptr;
  CPngButton* rightArrow_ = nullptr;
  ArrowKeyGroup* keyGroup_ = nullptr;
  ColorStatic* version_ = nullptr;
  QLabel* progress_ = nullptr;
  QLabel* noDevice_ = nullptr;
  std::array<QPixmap, 10> progressFrames_;
  int progressFrame_ = 0;
  int progressTimer_ = 0;      // 1050
  QString profileName_;
  QString link_;

  bool noDeviceLook_ = false;
  // The window was on screen when the keyboard went away and hid it: it comes back with
  // the keyboard.
  bool hiddenByUnplug_ = false;
  bool trayAvailable_ = false;
  EditedKey editedKey_;

  // The other windows and what they keep for the program's life.
  LightingPanel* panel_ = nullptr;
  QPointer<Vantrel_DlgComposite> keyPage_;
  bool keyPageModal_ = true;
  QPointer<CVantrel_DlgProfile> profileManager_;
  QPointer<CVantrel_DlgUpdate> updateDialog_;
  FileMenu* fileMenu_ = nullptr;
  UndoActions* undo_ = nullptr;
  QPointer<AutoProfilesWindow> autoProfiles_;
  QPointer<HistoryWindow> history_;
  std::unique_ptr<MainController> controller_;
  KeyPictureView* pictureView_ = nullptr;
  std::string updaterPath_;  // the update dialog's choice, kept across openings
  QtSheetPrinter qtPrinter_;
  SheetPrinter* printer_ = &qtPrinter_;
};

}  // namespace vantrel::ui
