// Automatic profile switching in the running program: keeps the rules (read from the
// application settings, and again whenever the settings file changes), takes the focus
// reports of the session's focus source, runs the switcher on the UI thread and hands the
// switches it asks for to the device worker as unattended session switches.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/profiles/auto_switcher.h"
#include "core/profiles/edit_session.h"
#include "core/profiles/focus_source.h"
#include "core/profiles/profile_service.h"

class QSettings;

namespace vantrel::ui {

class DeviceWorker;

class AutoSwitchController final : public QObject, public profiles::ProfileView {
  Q_OBJECT

 public:
  struct Environment {
    std::string sessionType;     // XDG_SESSION_TYPE
    std::string currentDesktop;  // XDG_CURRENT_DESKTOP
    bool display = false;        // DISPLAY is set
    static Environment FromProcess();
  };

  // What a switch needs: the worker that carries it out, the editing session (null before
  // it exists) and whether a switch may be sent now (a keyboard is there, the program is
  // not closing).
  struct Deps {
    DeviceWorker& worker;
    std::function<profiles::EditSession*()> session;
    std::function<bool()> mayWrite;
  };

  // `source` overrides the source the environment picks (tests); null: the environment's.
  AutoSwitchController(Deps deps, QSettings& settings, Environment environment,
                       std::unique_ptr<profiles::FocusSource> source = nullptr,
                       const profiles::MonotonicClock* clock = nullptr, QObject* parent = nullptr);
  ~AutoSwitchController() override;

  // Reads the rules, starts the focus source and follows the session. Call once, after the
  // editing session exists.
  void Start();
  void Stop();

  // Whether a focus source works here; when not, the language key of why.
  bool Available() const { return available_; }
  const char* UnavailableKey() const { return unavailableKey_; }
  profiles::FocusSourceKind SourceKind() const { return choice_.kind; }

  const profiles::AutoRuleSet& Rules() const { return switcher_.Rules(); }
  // Stores the rules and uses them at once; false when the settings could not be written
  // (the rules are used for this run anyway).
  bool SetRules(const profiles::AutoRuleSet& rules);
  // Why switching is paused now (Off when the rules are switched off).
  profiles::PauseReason Paused() const { return switcher_.Paused(); }
  // The keyboard refused the last switch asked for (the status says so until a switch
  // succeeds or the focused window needs none).
  bool Failing() const { return switcher_.Failing(); }
  // The desktop's script or extension has reported a window since the program started:
  // it is loaded and enabled.
  bool DesktopHasReported() const { return desktopReported_; }
  // The language key of the state: on, off, or why paused.
  const char* StatusKey() const;

  // A window gained the focus, as the D-Bus method the desktop's script or extension calls
  // reports it. Any thread. Taken only where that script or extension is the focus source
  // (KDE Plasma, GNOME); elsewhere the program's own source reports and this is ignored.
  void ReportFocus(const profiles::FocusedWindow& window);
  // The next window focused that is not one of ours goes to `picked` (once) instead of
  // only to the rules.
  void PickNextWindow(std::function<void(const profiles::FocusedWindow&)> picked);
  void CancelPick() { pick_ = nullptr; }
  // Watchers of every focus report (vantrelctl focus --watch over the bus), on the UI
  // thread; the number returned takes the watcher off again.
  int AddFocusWatcher(std::function<void(const profiles::FocusedWindow&)> watcher);
  void RemoveFocusWatcher(int id);
  // On KDE Plasma and GNOME (Wayland) the desktop's script or extension reports the focus
  // through the program's bus object: switching works once that object carries the Focus
  // interface (`ready`), and not when KWin did not start the script (false), until a
  // report comes all the same.
  void DesktopReportsReady(bool ready = true);

  // The settings file was changed by another program: read the rules again.
  void ReloadRules();

  // ---- profile view -------------------------------------------------------------------
  void SessionChanged() override;
  void ProfileSwitched(int profile) override;

 signals:
  // The pause state, the rules or the availability changed (UI thread).
  void statusChanged();

 private:
  // The program's own focus source (X11) reports a window. Any thread.
  void ReportSourceFocus(const profiles::FocusedWindow& window);
  void OnFocus(const profiles::FocusedWindow& window);
  void Check();
  void Schedule();
  void WatchSettingsFile();
  profiles::AutoRuleSet LoadRules();
  profiles::SwitchConditions Conditions() const;
  void RequestSwitch(int profile);

  Deps deps_;
  QSettings& settings_;
  Environment environment_;
  profiles::FocusSourceChoice choice_;
  std::unique_ptr<profiles::FocusSource> source_;
  std::unique_ptr<profiles::MonotonicClock> ownClock_;
  const profiles::MonotonicClock& clock_;
  profiles::AutoSwitcher switcher_;
  QTimer timer_;
  QFileSystemWatcher watcher_;
  bool available_ = false;
  const char* unavailableKey_ = nullptr;
  bool started_ = false;
  bool ownFocused_ = false;  // the focused window is one of this program's
  profiles::PauseReason shownPause_ = profiles::PauseReason::None;
  bool shownFailing_ = false;
  bool desktopReported_ = false;
  std::function<void(const profiles::FocusedWindow&)> pick_;
  std::vector<std::pair<int, std::function<void(const profiles::FocusedWindow&)>>> watchers_;
  int nextWatcher_ = 1;
  std::vector<std::string> lastSkipped_;  // the stored rules last found unusable
};

}  // namespace vantrel::ui
