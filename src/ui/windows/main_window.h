// The main window: the keyboard picture (one skinned button per key), the profile
// buttons, Apply, restore default, the view switch, Flip and the window buttons. It is the
// presence logic's port and the profile service's view. Device work it asks for runs on
// the device worker in the order asked; results come back as queued calls.
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
#include "ui/windows/control_ids.h"
#include "ui/windows/key_page.h"
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
class AutoSwitchController;
class CTrayIcon;
class FileMenu;

// Private messages and their fixed parameters.
inline constexpr std::uint32_t MsgOpenWindow = 0x5350, kOpenWindowParam = 0x4F50454E;
inline constexpr std::uint32_t MsgQuit = 0x4D4B, kQuitParam = 0x4C4C494B;
inline constexpr std::uint32_t MsgInitTray = 0x4D4E, kInitTrayParam = 0x494E4954;
inline constexpr std::uint32_t MsgProfileChanged = 0x5452, kProfileChangedParam = 0x50524F46;
inline constexpr std::uint32_t MsgGKeyLayerChanged = 0x5045, kGKeyLayerParam = 0x004C4544;
inline constexpr std::uint32_t MsgDeviceGone = 0x4753;
inline constexpr std::uint32_t MsgLanguageChanged = 0x5041, kLanguageParam = 0x4C414E47;
// Our own message between instances: a virtual-keyboard event by name in the payload.
inline constexpr std::uint32_t MsgSimEvent = 0x5345, kSimEventParam = 0x53494D45;

// Answers of a sim-event request.
inline constexpr int kSimEventDone = 0, kSimEventUnknown = 1, kSimEventNotSimulating = 2;

class CVantrelDlg final : public CBaseDialog,
                          public device::PresencePort,
                          public profiles::ProfileView,
                          public KeyPageHost,
                          public LightingPanelHost,
                          public ProfileWindowsHost {
  Q_OBJECT

 public:
  CVantrelDlg(AppCore& core, text::MessageSink& messages, FileChooser& files, QWidget* parent = nullptr);
  ~CVantrelDlg() override;

  AppCore& Core() { return core_; }
  // The key button of a control id (key picture, G keys, Fn), or nullptr.
  CPngButton* KeyButton(int controlId) const;
  CPngButton* Button(int controlId) const;
  QList<CPngButton*> KeyButtons() const;

  // Start-up after the skin is applied: the presence logic starts, the init message is
  // posted. `trayAvailable` false: the window is shown at once and closing it ends.
  void Start(CTrayIcon* tray);

  // A request from another instance; returns the status for its sender.
  int HandleInstanceMessage(std::uint32_t message, std::uint32_t param, const QByteArray& payload);
  // The show routine (tray Open, MsgOpenWindow).
  void ShowWindowRoutine();
  // The closing routine: pages ended, tray removed, device work finished, stores freed.
  void CloseProgram();
  // Exit from the tray or a close button: asks about unapplied edits first (apply and
  // close, close without applying, stay), then runs the closing routine.
  void RequestExit();
  bool Closing() const { return closing_; }

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
  bool LightingPanelOpen() const { return panel_ && panel_->IsOpen(); }

  // The other windows, once built (the panel from Start on, the rest on first use).
  LightingPanel* Panel() const { return panel_; }
  Vantrel_DlgComposite* KeyPage() const { return keyPage_; }
  CVantrel_DlgProfile* ProfileManager() const { return profileManager_; }
  CVantrel_DlgUpdate* UpdateDialog() const { return updateDialog_; }
  FileMenu* BackupMenu();

  // State the tests and the other windows read; the editing facts come from the session.
  int CurrentProfile() const override;
  int ColourView() const { return colourView_; }
  bool ApplyPending() const;
  bool InitDone() const { return core_.Ready(); }
  bool ApplyRunning() const { return applyRunning_; }
  struct EditedKey {
    std::uint16_t code = 0;
    int controlId = 0;
    bool isG9 = false;
  };
  EditedKey EditedKeyValue() const { return editedKey_; }
  int Flip() const;

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
  AutoSwitchController* AutoSwitch() const { return autoSwitch_; }
  AutoProfilesWindow* AutoProfiles() const;
  void OpenAutoProfiles();
  // What the tray's tooltip adds while automatic switching is paused; empty otherwise.
  QString AutoSwitchNote() const;

  // "Print key map…": the current profile's key map to the sheet printer (Qt's print
  // dialog by default).
  void PrintKeyMap();
  void SetSheetPrinter(SheetPrinter& printer) { printer_ = &printer; }
  // A file dropped on the window: a JSON document is offered for import, anything else as
  // a profile file for restore; the question goes through the message sink and the work
  // to the device worker. False when nothing was started (refused, answered No, not a
  // file that can be offered).
  bool OfferDroppedFile(const QString& path);
  // Reads a JSON profile document into an image and its lighting parts (the program's
  // reader of vantrelctl's format); false with the reason. Without one, documents are not
  // offered.
  using DocumentReader = std::function<bool(const std::filesystem::path&, keys::StoreImage&,
                                            scripting::ProfileLightings&, std::string&)>;
  void SetDocumentReader(DocumentReader reader) { documentReader_ = std::move(reader); }

  // PresencePort (called on the presence thread).
  void ProfileChanged() override;
  void DeviceGone() override;
  void GKeyLayerChanged(int layer) override;
  void OpenWindow() override;
  void ReloadLighting() override;
  void ShowTrayIcon(int icon) override;
  bool Ready() const override { return core_.Ready(); }

  // ProfileView: the session's notifications, from the device worker or the UI thread;
  // each is handed to the UI thread without waiting.
  void SessionChanged() override;
  void ShowKeyButtons(const keys::StoreImage& image, int profile) override;
  void ProfileSwitched(int profile) override;
  void ConfigurationRead(int profile) override;
  void ArrivalWithEdits() override;
  void RebuildProfileMenu() override;

  // KeyPageHost (UI thread).
  std::uint16_t KeyCodeOfButton(int controlId) const override;
  QRect ButtonGlobalRect(int controlId) const override;
  int GKeyLayer() const override { return GLayer(); }
  std::optional<keys::KeyButton> ResolveButton(int controlId) const override { return ResolveButton(controlId, GLayer()); }
  std::optional<keys::KeyButton> ResolveButton(int controlId, int layer) const;
  void SetButtonPressed(int controlId, bool pressed) override;
  void KeysEdited() override;

  // LightingPanelHost (UI thread).
  void SetKeyColour(int controlId, const QColor& colour) override;
  void ShowKeyCaptions() override;
  void RedrawKeyFaces() override;

  // ProfileWindowsHost (UI thread).
  QWidget* HostWindow() override { return this; }
  profiles::EditSession& Session() override { return *core_.Session(); }
  void ShowProgress(bool on) override { SetProgressVisible(on); }
  void RefreshKeyButtons() override { ShowKeysNow(); }

 signals:
  void languageChanged(quint32 languageId);
  void profileMenuChanged();
  void applyFinished(bool ok);
  void deviceWorkDone();
  void closed();

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
  struct KeyLook {
    QString tooltip;
    bool assigned = false;
    bool selected = false;
  };
  struct KeySnapshot {
    std::map<int, KeyLook> looks;  // by control id
  };

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
  void OnApply();
  void OnRestoreDefault();
  void OnSwitchView();
  void OnReportRate(int index);
  void OnInitTray();
  // The keyboard is back: a window its removal hid is shown again.
  void ShowAgainAfterUnplug();
  void RequestSwitch(int profile);
  void ShowSwitchedProfile(int profile);
  void UpdateApplyButton();
  // Asks about unapplied edits before the program ends; false when the user stays.
  bool ConfirmClose();
  void ApplyThenClose();
  // Says why an apply failed; after a read-back difference, lists what differs and offers
  // to write again.
  void ReportApplyFailure(const device::Verification& readBack, const std::function<void()>& writeAgain);
  // Apply found the keyboard's configuration not read: asks whether to read it again, and
  // reads it on the worker (the edits stay either way).
  void OfferReadAgain();
  void BuildLightingPanel();
  void ApplySnapshot(const KeySnapshot& snapshot);
  KeySnapshot TakeSnapshot(const keys::StoreImage& image, int profile, int layer) const;
  void ShowKeysNow();
  void SetProgressVisible(bool visible);
  void SetNoDeviceLook(bool absent);
  void ClosePages(bool keepEdits = false);
  int GLayer() const;
  // Queues device work (the worker keeps the virtual keyboard's state file current). False,
  // with nothing queued, once the program is closing.
  bool PostDeviceJob(std::function<void()> job, std::function<void()> done = {});
  // The keyboard's generation changed: the worker tells whether another program changed
  // it; if so the configuration is read again (after asking, with edits pending).
  void OnGenerationChanged();
  void OnForeignChanges(std::uint64_t count);
  void FinishForeignCheck();

  AppCore& core_;
  text::MessageSink& messages_;
  std::uint64_t viewedForeign_ = 0;    // other programs' changes the window has read
  std::uint64_t foreignDeclined_ = 0;  // ... and the count the user kept the edits against
  bool foreignCheckRunning_ = false;
  bool foreignRecheck_ = false;
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

  int colourView_ = 0;
  bool noDeviceLook_ = false;
  bool applyRunning_ = false;
  bool closing_ = false;
  bool arrivalQuestionUp_ = false;
  // The window was on screen when the keyboard went away and hid it: it comes back with
  // the keyboard.
  bool hiddenByUnplug_ = false;
  bool keyPageCounted_ = false;  // the key page is counted as an open editor
  bool trayAvailable_ = false;
  EditedKey editedKey_;
  KeySnapshot shown_;

  // The other windows and what they keep for the program's life.
  LightingPanel* panel_ = nullptr;
  QPointer<Vantrel_DlgComposite> keyPage_;
  bool keyPageModal_ = true;
  QPointer<CVantrel_DlgProfile> profileManager_;
  QPointer<CVantrel_DlgUpdate> updateDialog_;
  FileMenu* fileMenu_ = nullptr;
  AutoSwitchController* autoSwitch_ = nullptr;
  QPointer<AutoProfilesWindow> autoProfiles_;
  std::string updaterPath_;  // the update dialog's choice, kept across openings
  QtSheetPrinter qtPrinter_;
  SheetPrinter* printer_ = &qtPrinter_;
  DocumentReader documentReader_;
};

}  // namespace vantrel::ui
