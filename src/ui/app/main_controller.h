// The main window's controller, without widgets: the presence logic's port, the session's
// notifications (carried to the UI thread by one queued adapter), the program's lifecycle
// and the automatic-switch controller, switch, Apply, restore default, the dropped-file
// import, reading again what another program changed, the messages of other instances and
// the settings it writes. It asks the session and the device worker and tells the window
// what to show through MainView.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/device/presence.h"
#include "core/device/read_back.h"
#include "core/profiles/other_program_changes.h"
#include "scripting/profile_json.h"
#include "ui/app/app_core.h"
#include "ui/app/key_picture.h"
#include "ui/app/queued_session_view.h"

namespace vantrel::ui {

class AutoSwitchController;

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

// What the controller has the main window show (UI thread).
class MainView {
 public:
  virtual ~MainView() = default;
  // The progress picture while device work the user waits for runs.
  virtual void ShowProgress(bool on) = 0;
  // Apply is offered while edits wait.
  virtual void ShowApplyPending(bool pending) = 0;
  // The key picture usable, or the "no keyboard" plate over it.
  virtual void ShowKeyboardPresent(bool present) = 0;
  // The keyboard's configuration was read after its arrival; it runs `profile` (-1
  // unknown). The lighting and key colours are loaded next.
  virtual void ShowConfigurationRead(int profile) = 0;
  // The session shows `profile` now (a switch from any window). `kept`: a switch the
  // keyboard refused, the profile shown before is shown again.
  virtual void ShowProfileSwitched(int profile, bool kept) = 0;
  virtual void ShowGKeyLayer(int layer) = 0;
  // The profile the profile menu names (its checked item).
  virtual void ShowProfileName(const QString& name) = 0;
  virtual void ShowTrayIcon(int icon) = 0;
  // The keyboard went away: pages end keeping their edits, the window hides.
  virtual void KeyboardGone() = 0;
  // The keyboard came back: a window its removal hid is shown again.
  virtual void KeyboardBack() = 0;
  // The show routine (tray Open, MsgOpenWindow).
  virtual void ShowWindow() = 0;
  // The keyboard's lighting changed or was written: the lighting panel reads it again.
  virtual void LightingChanged() = 0;
  // A profile button: the lighting panel loads `profile`'s lighting and colours (queued
  // ahead of the switch) and closes.
  virtual void LoadProfileLighting(int profile) = 0;
  virtual bool LightingPanelOpen() const = 0;
  // Restore default with the panel open: the default colours and lighting record.
  virtual void RestoreDefaultLighting() = 0;
  // Restores a profile file through the backup menu; false when it cannot now.
  virtual bool RestoreProfileFile(const std::filesystem::path& path, const std::function<bool()>& ask) = 0;
  // The closing routine's windows: hidden, pages ended, tray icon removed.
  virtual void EndWindows() = 0;
};

class MainController final : public QObject, public device::PresencePort, private SessionNotifications {
  Q_OBJECT

 public:
  MainController(AppCore& core, text::MessageSink& messages, MainView& view, QObject* parent = nullptr);
  ~MainController() override;

  AppCore& Core() { return core_; }
  KeyPicture& Picture() { return picture_; }
  const KeyPicture& Picture() const { return picture_; }
  // Null before Start.
  AutoSwitchController* AutoSwitch() const { return autoSwitch_; }

  // Start-up: the presence logic and the session (with this controller as their port
  // and view), the keyboard's generation watch and automatic profile switching.
  void Start();
  // The window handled its init message: the presence logic may show the tray icon and
  // open the window from now on.
  void MarkReady();
  bool Closing() const { return closing_; }
  // The closing routine: the windows end, work already asked for reaches the keyboard,
  // then nothing more runs and both stores are freed.
  void CloseProgram();
  // Asks about unapplied edits before the program ends; false when it does not end now
  // (the user stays, or the edits are applied first and the program ends after).
  bool ConfirmClose();

  // The editing facts the window shows.
  int CurrentProfile() const;
  int ActiveProfile() const;
  bool ApplyPending() const;
  bool ApplyRunning() const { return applyRunning_; }

  // A switch from the profile menu or the tray: questions here, the work on the worker.
  void SwitchFromMenu(int profile);
  // A profile button: the lighting panel loads the new profile first; a switch the
  // keyboard refuses leaves the profile shown before.
  void SwitchFromButton(int profile);
  void Apply();
  // Restore default: asked, the keys of the picture (G keys of the current layer) and
  // with the panel open the lighting, then Apply.
  void RestoreDefault();
  void ToggleSelected(std::size_t keyIndex);
  void MarkEdited();
  // The keys as the store holds them now, through the session's notification.
  void ShowKeys();
  // The profile menu names the active profile again (queued, after the session's own
  // notifications).
  void RebuildProfileMenu() { sessionView_.RebuildProfileMenu(); }
  void EditorOpened();
  void EditorClosed();

  // Undo and Redo of the session's steps, run on the worker. A lighting step's value the
  // keyboard refuses is said as a refused import is, and the step stays.
  void Undo();
  void Redo();
  // What the session offers; the window keeps none of it.
  bool CanUndo() const;
  bool CanRedo() const;
  std::string UndoName() const;
  std::string RedoName() const;

  // A file dropped on the window: a JSON document is offered for import, anything else as
  // a profile file for restore. False when nothing was started.
  bool OfferDroppedFile(const QString& path);
  using DocumentReader = std::function<bool(const std::filesystem::path&, keys::StoreImage&,
                                            scripting::ProfileLightings&, std::string&)>;
  void SetDocumentReader(DocumentReader reader) { documentReader_ = std::move(reader); }

  // A request from another instance; returns the status for its sender at once (what it
  // shows follows queued).
  int HandleInstanceMessage(std::uint32_t message, std::uint32_t param, const QByteArray& payload);

  // Settings: the language (index 0..3 of the language ids; returns the id, 0 when
  // refused) and "Flip".
  std::uint32_t StoreLanguage(int index);
  int Flip() const;
  void ToggleFlip();

  // The tray tooltip's note while automatic switching is paused or failing.
  QString AutoSwitchNote() const;

  // The keyboard's generation changed: reads again what another program changed (after
  // asking, with edits pending).
  void OnGenerationChanged();

  // PresencePort (presence thread).
  void ProfileChanged() override;
  void DeviceGone() override;
  void GKeyLayerChanged(int layer) override;
  void OpenWindow() override;
  void ReloadLighting() override;
  void ShowTrayIcon(int icon) override;
  bool Ready() const override { return core_.Ready(); }

 signals:
  void applyFinished(bool ok);
  void deviceWorkDone();
  void closed();
  void autoSwitchStatusChanged();
  // The session changed: what Undo and Redo offer may have changed with it.
  void stepsChanged();

 private:
  // SessionNotifications (UI thread).
  void SessionChanged() override;
  void KeyLooksRead(const KeyLooks& looks) override;
  void ProfileSwitched(int profile) override;
  void ConfigurationRead(int profile) override;
  void ArrivalWithEdits() override;
  void ProfileMenuChanged() override;

  // Runs `call` on the UI thread after what is queued there; dropped once the controller
  // is gone.
  void Later(std::function<void()> call);
  // Queues device work. False, with nothing queued, once the program is closing.
  bool PostDeviceJob(std::function<void()> job, std::function<void()> done = {});
  enum class AfterApply { Stay, Close };
  void RunApply(AfterApply after);
  void OfferReadAgain();
  void TakeStep(bool undo);
  void ReportApplyFailure(const device::Verification& readBack, const std::function<void()>& writeAgain);
  void OnForeignChanges(std::uint64_t count);
  void FinishForeignCheck();
  void UpdateApplyPending();

  AppCore& core_;
  text::MessageSink& messages_;
  MainView& view_;
  KeyPicture picture_;
  QueuedSessionView sessionView_;
  AutoSwitchController* autoSwitch_ = nullptr;
  DocumentReader documentReader_;
  bool closing_ = false;
  bool applyRunning_ = false;
  bool arrivalQuestionUp_ = false;
  bool keyPageCounted_ = false;  // the key page is counted as an open editor
  profiles::OtherProgramChanges otherPrograms_;
};

// The message after an apply the keyboard refused or read back differently: the
// difference lines (at most `kReadBackLinesShown`, then "(+N)"). Empty when the write
// failed outright (the plain failure text is shown then).
inline constexpr std::size_t kReadBackLinesShown = 12;
std::string ReadBackMessage(const text::TextSource& texts, const device::Verification& readBack);

}  // namespace vantrel::ui
