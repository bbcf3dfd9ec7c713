#include "ui/app/auto_switch_controller.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMetaObject>
#include <QSettings>

#include <algorithm>

#include "platform/auto_rules_settings.h"
#include "platform/x11_focus_source.h"
#include "ui/app/device_worker.h"

namespace vantrel::ui {

using profiles::PauseReason;

AutoSwitchController::Environment AutoSwitchController::Environment::FromProcess() {
  Environment e;
  e.sessionType = qEnvironmentVariable("XDG_SESSION_TYPE").toStdString();
  e.currentDesktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toStdString();
  e.display = !qEnvironmentVariableIsEmpty("DISPLAY");
  return e;
}

AutoSwitchController::AutoSwitchController(Deps deps, QSettings& settings, Environment environment,
                                           std::unique_ptr<profiles::FocusSource> source,
                                           const profiles::MonotonicClock* clock, QObject* parent)
    : QObject(parent),
      deps_(std::move(deps)),
      settings_(settings),
      environment_(std::move(environment)),
      source_(std::move(source)),
      ownClock_(std::make_unique<profiles::SteadyClock>()),
      clock_(clock ? *clock : *ownClock_),
      switcher_(clock_, [this] { return Conditions(); },
                [this](int profile) { RequestSwitch(profile); }) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] { Check(); });
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { ReloadRules(); });
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { ReloadRules(); });
}

AutoSwitchController::~AutoSwitchController() { Stop(); }

void AutoSwitchController::Start() {
  if (started_) return;
  started_ = true;
  if (auto* session = deps_.session()) session->AddView(*this);
  switcher_.SetRules(LoadRules());
  WatchSettingsFile();

  const bool given = source_ != nullptr;
  choice_ = given ? profiles::FocusSourceChoice{profiles::FocusSourceKind::X11, {}}
                  : profiles::ChooseFocusSource(environment_.sessionType, environment_.currentDesktop,
                                                environment_.display);
  switch (choice_.kind) {
    case profiles::FocusSourceKind::X11:
      if (!source_) source_ = platform::MakeX11FocusSource();
      if (!source_) {
        unavailableKey_ = "AUTO_UNAVAILABLE_NO_X11";
        break;
      }
      {
        std::string error;
        // Reports come on the source's thread; they are handed to this object's.
        available_ = source_->Start([this](const profiles::FocusedWindow& w) { ReportSourceFocus(w); }, &error);
        if (!available_) {
          unavailableKey_ = "AUTO_UNAVAILABLE_X11";
          source_.reset();
        }
      }
      break;
    case profiles::FocusSourceKind::KWinScript:
    case profiles::FocusSourceKind::GnomeShell:
      // The desktop's script or extension calls the Focus method on the session bus.
      unavailableKey_ = "AUTO_UNAVAILABLE_BUS";
      break;
    case profiles::FocusSourceKind::None:
      unavailableKey_ = choice_.why == "wayland-other" ? "AUTO_UNAVAILABLE_WAYLAND" : "AUTO_UNAVAILABLE_SESSION";
      break;
  }
  emit statusChanged();
}

void AutoSwitchController::Stop() {
  // The source's thread ends here: no report is on its way afterwards.
  if (source_) source_->Stop();
  timer_.stop();
  if (started_) {
    if (auto* session = deps_.session()) session->RemoveView(*this);
  }
  started_ = false;
}

void AutoSwitchController::WatchSettingsFile() {
  const QString file = settings_.fileName();
  if (file.isEmpty()) return;
  // A writer that replaces the file (write and rename) ends a watch on the file itself;
  // the folder's watch sees the new one, which is then watched again.
  const QString folder = QFileInfo(file).absolutePath();
  if (!watcher_.directories().contains(folder) && QFileInfo(folder).isDir()) watcher_.addPath(folder);
  if (!watcher_.files().contains(file) && QFileInfo(file).isFile()) watcher_.addPath(file);
  // While the folder does not exist (nothing saved settings yet), the nearest folder above
  // it that does is watched, so that the folder is followed from the moment it appears; the
  // watches above it go again once it is there.
  QString nearest = folder;
  while (!QFileInfo(nearest).isDir()) {
    const QString up = QFileInfo(nearest).absolutePath();
    if (up == nearest) break;
    nearest = up;
  }
  for (const QString& watched : watcher_.directories()) {
    if (watched != folder && watched != nearest) watcher_.removePath(watched);
  }
  if (nearest != folder && QFileInfo(nearest).isDir() && !watcher_.directories().contains(nearest)) {
    watcher_.addPath(nearest);
  }
}

profiles::AutoRuleSet AutoSwitchController::LoadRules() {
  std::vector<std::string> skipped;
  profiles::AutoRuleSet rules = platform::LoadAutoRules(settings_, &skipped);
  // Said once for each damaged rule, not again on every later change of the file.
  if (skipped != lastSkipped_) {
    for (const auto& why : skipped) qWarning("automatic profiles: stored %s; it is not used", why.c_str());
    lastSkipped_ = std::move(skipped);
  }
  return rules;
}

void AutoSwitchController::ReloadRules() {
  WatchSettingsFile();
  profiles::AutoRuleSet rules = LoadRules();
  if (rules == switcher_.Rules()) return;
  switcher_.SetRules(std::move(rules));
  Schedule();
  emit statusChanged();
}

bool AutoSwitchController::SetRules(const profiles::AutoRuleSet& rules) {
  const bool saved = platform::SaveAutoRules(settings_, rules);
  WatchSettingsFile();
  switcher_.SetRules(rules);
  Schedule();
  emit statusChanged();
  return saved;
}

const char* AutoSwitchController::StatusKey() const {
  if (!available_) return unavailableKey_ ? unavailableKey_ : "AUTO_UNAVAILABLE_SESSION";
  switch (switcher_.Paused()) {
    case PauseReason::None: return switcher_.Failing() ? "AUTO_SWITCH_FAILED" : "AUTO_STATUS_ON";
    case PauseReason::Off: return "AUTO_STATUS_OFF";
    case PauseReason::UnsavedEdits: return "AUTO_PAUSED_UNSAVED";
    case PauseReason::KeyPageOpen: return "AUTO_PAUSED_KEY_PAGE";
    case PauseReason::ManagerOpen: return "AUTO_PAUSED_MANAGER";
    case PauseReason::OwnWindow: return "AUTO_PAUSED_OWN";
  }
  return "AUTO_STATUS_ON";
}

void AutoSwitchController::ReportSourceFocus(const profiles::FocusedWindow& window) {
  QMetaObject::invokeMethod(this, [this, window] { OnFocus(window); }, Qt::QueuedConnection);
}

void AutoSwitchController::ReportFocus(const profiles::FocusedWindow& window) {
  QMetaObject::invokeMethod(
      this,
      [this, window] {
        // Where the program watches the focus itself (X11), a report over the bus could come
        // from any program on the session bus: only the desktop's script or extension is
        // listened to, where it is the source.
        if (choice_.kind != profiles::FocusSourceKind::KWinScript &&
            choice_.kind != profiles::FocusSourceKind::GnomeShell) {
          return;
        }
        OnFocus(window);
      },
      Qt::QueuedConnection);
}

void AutoSwitchController::PickNextWindow(std::function<void(const profiles::FocusedWindow&)> picked) {
  pick_ = std::move(picked);
}

int AutoSwitchController::AddFocusWatcher(std::function<void(const profiles::FocusedWindow&)> watcher) {
  watchers_.emplace_back(nextWatcher_, std::move(watcher));
  return nextWatcher_++;
}

void AutoSwitchController::RemoveFocusWatcher(int id) {
  std::erase_if(watchers_, [id](const auto& w) { return w.first == id; });
}

void AutoSwitchController::DesktopReportsReady(bool ready) {
  if (choice_.kind != profiles::FocusSourceKind::KWinScript && choice_.kind != profiles::FocusSourceKind::GnomeShell)
    return;
  // A report that came already proves the desktop's side works, whatever the start said.
  available_ = ready || desktopReported_;
  unavailableKey_ = available_ ? nullptr : "AUTO_UNAVAILABLE_KWIN";
  emit statusChanged();
}

void AutoSwitchController::OnFocus(const profiles::FocusedWindow& window) {
  // The focus on its way between two windows: neither the rules, the pick nor a watcher
  // is told (the window clicked next is the one that counts).
  if (window.Empty()) return;
  // A desktop script reports for the whole session: another instance's windows are as
  // much "ours" as this one's only by process, which is what is compared.
  ownFocused_ = window.pid != 0 && static_cast<qint64>(window.pid) == QCoreApplication::applicationPid();
  if (!desktopReported_ && (choice_.kind == profiles::FocusSourceKind::KWinScript ||
                            choice_.kind == profiles::FocusSourceKind::GnomeShell)) {
    desktopReported_ = true;
    available_ = true;
    unavailableKey_ = nullptr;
    emit statusChanged();  // the hint to enable the extension has done its work
  }
  // A copy: a watcher may take itself off.
  const auto watchers = watchers_;
  for (const auto& [id, watcher] : watchers) watcher(window);
  if (pick_ && !ownFocused_) {
    auto picked = std::move(pick_);
    pick_ = nullptr;
    picked(window);
  }
  switcher_.WindowFocused(window);
  Check();
}

profiles::SwitchConditions AutoSwitchController::Conditions() const {
  profiles::SwitchConditions c;
  c.ownWindowFocused = ownFocused_;
  if (auto* session = deps_.session()) {
    const profiles::SessionFacts facts = session->Facts();
    c.activeProfile = facts.activeProfile;
    c.unsavedEdits = facts.Unsaved() || (facts.managersOpen > 0 && facts.managerUnsaved) || facts.arrivalPending;
    c.keyPageOpen = facts.keyPagesOpen > 0;
    c.managerOpen = facts.managersOpen > 0;
  }
  return c;
}

void AutoSwitchController::Check() {
  if (!started_) return;
  switcher_.Check();
  Schedule();
  if (switcher_.Paused() != shownPause_ || switcher_.Failing() != shownFailing_) {
    shownPause_ = switcher_.Paused();
    shownFailing_ = switcher_.Failing();
    emit statusChanged();
  }
}

void AutoSwitchController::Schedule() {
  const auto due = switcher_.NextCheck();
  if (!due) {
    timer_.stop();
    return;
  }
  const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(*due - clock_.Now());
  timer_.start(static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(wait.count() + 1, 0, 60000)));
}

void AutoSwitchController::RequestSwitch(int profile) {
  auto* session = deps_.session();
  if (!session || (deps_.mayWrite && !deps_.mayWrite())) return;
  // The same write and redraw as a profile button's switch, with no question: the session
  // checks the pause conditions again on the worker, where the write happens. A switch the
  // keyboard refused is said in the status and tried again.
  using Unattended = profiles::EditSession::Unattended;
  deps_.worker.Run([session, profile] { return session->SwitchUnattended(profile); }, this,
                   [this, profile](Unattended outcome) {
                     if (outcome != Unattended::Failed) return;
                     switcher_.SwitchFailed(profile);
                     Schedule();
                     emit statusChanged();
                   });
}

void AutoSwitchController::SessionChanged() {
  // May come on the device worker: the check runs on this object's thread.
  QMetaObject::invokeMethod(this, [this] { Check(); }, Qt::QueuedConnection);
}

void AutoSwitchController::ProfileSwitched(int profile) {
  (void)profile;
  QMetaObject::invokeMethod(this, [this] { Check(); }, Qt::QueuedConnection);
}

}  // namespace vantrel::ui
