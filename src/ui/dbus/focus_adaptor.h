// The Focus interface of the program's bus object: the desktop's KWin script or GNOME Shell
// extension reports each window it activates; vantrelctl focus --watch asks to be told of
// every focus change the program sees. Also loads the KWin script on KDE Plasma (Wayland).
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QString>
#include <QStringList>

#include "core/profiles/auto_switch_rules.h"

namespace vantrel::ui {

class AutoSwitchController;

class FocusAdaptor final : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.vantrel.Vantrel1.Focus")

 public:
  FocusAdaptor(QObject& object, AutoSwitchController& controller);
  ~FocusAdaptor() override;

 public slots:
  // A window was activated (pid 0: unknown). KWin hands a script's number on as an int or
  // a double depending on its release: both are taken besides the unsigned number.
  void WindowActivated(const QString& appId, const QString& title, uint pid);
  void WindowActivated(const QString& appId, const QString& title, int pid);
  void WindowActivated(const QString& appId, const QString& title, double pid);
  // The caller gets FocusChanged for each focus change until it leaves the bus. Sent to
  // it alone: window titles are not broadcast to every program on the bus.
  void Watch(const QDBusMessage& message);

 signals:
  void FocusChanged(const QString& appId, const QString& appClass, const QString& executable, uint pid,
                    const QString& title);

 private:
  void Report(const QString& appId, const QString& title, qint64 pid);
  void Tell(const profiles::FocusedWindow& window);

  AutoSwitchController& controller_;
  int watcherId_ = 0;
  QStringList watchers_;  // unique bus names
  QDBusServiceWatcher gone_;
};

// KDE Plasma: (re)loads the script that reports activated windows, from `scriptPath`, into
// KWin over the session bus and starts it; `how` names the call that started it. False,
// with `error` set, when KWin refused to load or to start it (a script loaded but not
// started is unloaded again).
bool LoadKWinFocusScript(const QString& scriptPath, QString* how, QString* error);
void UnloadKWinFocusScript();

}  // namespace vantrel::ui
