// Keeps the computer from going to sleep in the middle of a write to the keyboard. While
// the program runs it holds a "delay" inhibitor lock of the login manager
// (org.freedesktop.login1 on the system bus). When the manager announces the sleep
// (PrepareForSleep true), no new device work may start, and the lock is let go as soon as
// the work that is running has finished; after the resume (PrepareForSleep false) the lock
// is taken again, device work goes on and the program checks the keyboard.
//
// Without a system bus or a login manager the program runs without the lock: that is not
// an error, only nothing waits for the writes then.
#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QDBusServiceWatcher;

namespace vantrel::platform {

class SleepInhibitor final : public QObject {
  Q_OBJECT

 public:
  // Stops new device work; `quiet` must be called (on any thread, once) when no device
  // work runs any more.
  using HoldBack = std::function<void(std::function<void()> quiet)>;
  // Lets device work go on.
  using LetGo = std::function<void()>;

  // why: the reason the lock gives (shown by the desktop when something keeps it from
  // sleeping).
  SleepInhibitor(QDBusConnection bus, QString why, HoldBack holdBack, LetGo letGo, QObject* parent = nullptr);
  ~SleepInhibitor() override;
  SleepInhibitor(const SleepInhibitor&) = delete;
  SleepInhibitor& operator=(const SleepInhibitor&) = delete;

  // Listens for the sleep announcements and asks for the lock. False, quietly, when there
  // is no bus to ask on.
  bool Start();
  // The lock is held now.
  bool Holding() const { return lock_.isValid(); }
  // Between PrepareForSleep(true) and PrepareForSleep(false).
  bool Sleeping() const { return sleeping_; }

 signals:
  // The lock was taken (again).
  void lockTaken();
  // The lock was let go because the system is about to sleep.
  void lockReleased();
  // The system is back from a sleep; device work goes on.
  void resumed();

 private slots:
  void OnPrepareForSleep(bool start);

 private:
  void Take();
  void Release();
  void LoginManagerGone();

  QDBusConnection bus_;
  QString why_;
  HoldBack holdBack_;
  LetGo letGo_;
  QDBusUnixFileDescriptor lock_;
  QDBusServiceWatcher* watcher_ = nullptr;
  bool started_ = false;
  bool sleeping_ = false;
  bool taking_ = false;        // an Inhibit call is on its way
  bool quietReached_ = false;  // during this sleep, no device work runs any more
  unsigned sleepCount_ = 0;    // tells one sleep's quiet call from an earlier one's
  // Shared with the quiet calls the worker may make later: they reach this object only
  // while it exists.
  std::shared_ptr<SleepInhibitor*> self_;
};

}  // namespace vantrel::platform
