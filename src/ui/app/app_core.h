// Everything the windows are built from: the device stack, the language texts, the two
// stores, the profile service, the presence logic, the lighting state and key colours,
// the device worker and the application settings. The main controller creates the presence
// logic and the profile service through Start(), as it is their port and view.
#pragma once

#include <QObject>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>
#include <functional>

#include "core/device/presence.h"
#include "core/keys/stores.h"
#include "core/lighting/key_colours.h"
#include "core/lighting/lighting.h"
#include "core/lighting/lighting_session.h"
#include "core/profiles/edit_session.h"
#include "core/profiles/history_store.h"
#include "scripting/history_recorder.h"
#include "stack/device_stack.h"
#include "core/text/profile_strings.h"
#include "ui/app/device_worker.h"
#include "ui/app/generation_watch.h"
#include "ui/windows/profile_manager.h"
#include "ui/app/ui_services.h"

namespace vantrel::platform {
class Autostart;
}

namespace vantrel::ui {

struct AppOptions {
  stack::StackOptions stack;
  bool startInTray = false;  // "/Start": do not open the window on arrival
  // Where the language files, skins and help lie; empty: beside the executable.
  std::filesystem::path programFolder;
  // The per-user folder (working file, colour files, "wskb.ini"); empty: the usual one.
  std::filesystem::path userFolder;
  // INI files instead of the settings key and the application settings (tests).
  std::filesystem::path settingsFile;
  std::filesystem::path appSettingsFile;
  device::PresenceTiming presenceTiming{};
};

// Hands messages shown from any thread to the UI thread (posted, never waited for); a
// question from another thread is put through a blocking call, which only the caller may
// make when it holds no lock the UI thread could need.
class UiMessageSink final : public QObject, public text::MessageSink {
 public:
  UiMessageSink(text::MessageSink& inner, QObject* parent = nullptr) : QObject(parent), inner_(&inner) {}
  void SetInner(text::MessageSink& inner) { inner_ = &inner; }
  void ShowMessage(std::string_view text) override;
  bool AskYesNo(std::string_view text, bool defaultYes) override;
  text::Answer AskYesNoCancel(std::string_view text, text::Answer defaultAnswer) override;

 private:
  text::MessageSink* inner_;
};

class AppCore {
 public:
  explicit AppCore(AppOptions options);
  ~AppCore();
  AppCore(const AppCore&) = delete;
  AppCore& operator=(const AppCore&) = delete;

  // Builds the device stack; false with `error` set when it cannot be had.
  bool OpenDevice(std::string* error);
  // Creates the presence logic and the profile service around the main controller; `sink`
  // shows their messages (on the UI thread). Then starts the presence logic.
  void Start(device::PresencePort& port, profiles::ProfileView& view, text::MessageSink& sink);
  // Stops the presence logic and waits for the device worker (closing routine).
  void Stop();

  const AppOptions& Options() const { return options_; }
  const std::filesystem::path& ProgramFolder() const { return programFolder_; }
  QString SkinFolder() const;
  std::filesystem::path WskbIni() const { return paths_.userFolder / "wskb.ini"; }
  const profiles::ProfilePaths& Paths() const { return paths_; }

  stack::DeviceStack& Stack() { return stack_; }
  device::CommandSet& Commands() { return stack_.Commands(); }
  const text::LanguageTexts& Texts() const { return texts_.Texts(); }
  text::SettingsStore& Settings() { return texts_.Settings(); }
  bool LanguageOverridden() const { return texts_.Overridden(); }
  // The application settings; their defaults (kept for this run only) when the settings
  // file is not a regular file.
  QSettings& AppSettings() { return *appSettings_; }
  // The platform adapters the windows use, built here once for the program.
  text::ProfileStrings& ProfileStrings() { return *profileStrings_; }
  ProfileListSettings& ProfileList() { return *profileList_; }
  profiles::ProgramLauncher& Launcher() { return *launcher_; }
  // The desktop session's autostart entry of the current user (the tray's menu item).
  platform::Autostart& Autostart() { return *autostart_; }

  keys::EditingStore& Editing() { return editing_; }
  keys::AppliedStore& Applied() { return applied_; }
  DeviceWorker& Worker() { return *worker_; }
  device::Presence* Presence() { return presence_.get(); }
  profiles::ProfileService* Profiles() { return profiles_.get(); }
  // The editing session every window works through; null before Start().
  profiles::EditSession* Session() { return session_.get(); }
  UiMessageSink* Messages() { return sink_.get(); }
  // The history of the keyboard's configurations (any thread: the store locks itself) and
  // the recorder every write of the program goes through (device worker); null before
  // Start().
  profiles::HistoryStore* History() { return history_.get(); }
  scripting::HistoryRecorder* Recorder() { return recorder_.get(); }

  // The lighting session with its state, and the key colours: touched only by jobs on the
  // device worker (the lighting panel keeps its own copy for display).
  lighting::LightingSession& LightingSession() { return *lighting_; }
  lighting::LightingState& Lighting() { return lighting_->State(); }
  lighting::KeyColourEditor& KeyColours() { return *keyColours_; }

  bool KeyboardPresent() const { return presence_ && presence_->KeyboardPresent(); }
  int GKeyLayer() const { return presence_ ? presence_->GKeyLayer() : 0; }
  // The keyboard's factory key table once it was read from the keyboard.
  std::optional<std::array<std::uint8_t, device::kKeyTableSize>> FactoryKeyTable() const {
    if (!presence_ || !presence_->FactoryKeyTableRead()) return std::nullopt;
    return presence_->FactoryKeyTable();
  }
  // Set once the main window has handled its init message (through its controller); the
  // presence thread waits for it before it changes the tray icon or opens the window.
  void SetReady() { ready_.store(true); }
  bool Ready() const { return ready_.load(); }
  // Set when the closing routine begins: no more device work is queued after it.
  void SetStopping() { stopping_.store(true); }
  bool Stopping() const { return stopping_.load(); }
  bool Simulating() const { return options_.stack.simulate; }
  // Writes the virtual keyboard's state file (by the device worker once its jobs are
  // done, while simulating). Device worker only: it takes the keyboard.
  void PersistSimState();
  // From any thread: has the device worker write the state file after the jobs queued.
  void PersistSimStateSoon();
  // Runs on the device worker when the keyboard has arrived, before its configuration is
  // read into the store (the keyboard check compares it with the last one first). Set it
  // before Start().
  void SetArrivalCheck(std::function<void()> check) { arrivalCheck_ = std::move(check); }
  void RunArrivalCheck() const {
    if (arrivalCheck_) arrivalCheck_();
  }

  // Signals a change of the keyboard's generation file (UI thread); null before
  // OpenDevice succeeded.
  GenerationWatch* Generations() { return generations_.get(); }
  // Device worker: takes the keyboard once, which notices a change another program made
  // since this one last had it, and returns how many such changes were seen so far.
  std::uint64_t ForeignChanges();

  // The canonical path of the virtual keyboard's state file; empty on real hardware.
  std::filesystem::path SimStateFile() const;

  // Calls run on the device worker each time its queue has emptied (after the state file
  // is saved): a view that shows what only the worker may read (the lighting state) takes
  // its copy there and posts it on. Removing waits for a call in progress to end, so after
  // RemoveIdleObserver returns the observer is never called again.
  int AddIdleObserver(std::function<void()> observer);
  void RemoveIdleObserver(int id);

 private:
  AppOptions options_;
  std::filesystem::path programFolder_;
  profiles::ProfilePaths paths_;
  stack::DeviceStack stack_;
  stack::ProgramTexts texts_;
  std::unique_ptr<QTemporaryDir> scratchSettings_;  // only while the settings file is unusable
  std::unique_ptr<QSettings> appSettings_;
  std::unique_ptr<text::ProfileStrings> profileStrings_;
  std::unique_ptr<ProfileListSettings> profileList_;
  std::unique_ptr<profiles::ProgramLauncher> launcher_;
  std::unique_ptr<platform::Autostart> autostart_;
  keys::EditingStore editing_;
  keys::AppliedStore applied_;
  // Declared before the sessions that hold the recorder, so that it outlives them.
  std::unique_ptr<profiles::HistoryStore> history_;
  std::unique_ptr<scripting::HistoryRecorder> recorder_;
  std::unique_ptr<lighting::KeyColourEditor> keyColours_;
  std::unique_ptr<lighting::LightingSession> lighting_;
  std::unique_ptr<UiMessageSink> sink_;
  std::unique_ptr<GenerationWatch> generations_;
  std::unique_ptr<device::Presence> presence_;
  std::unique_ptr<profiles::ProfileService> profiles_;
  std::unique_ptr<profiles::EditSession> session_;
  std::mutex observersMutex_;
  std::vector<std::pair<int, std::function<void()>>> idleObservers_;
  int nextObserverId_ = 1;
  std::atomic<bool> ready_{false};
  std::atomic<bool> stopping_{false};
  std::function<void()> arrivalCheck_;
  std::unique_ptr<DeviceWorker> worker_;
};

}  // namespace vantrel::ui
