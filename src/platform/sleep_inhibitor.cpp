#include "platform/sleep_inhibitor.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QMetaObject>

#include <utility>

namespace vantrel::platform {
namespace {

const QString kLogin1Service = QStringLiteral("org.freedesktop.login1");
const QString kLogin1Path = QStringLiteral("/org/freedesktop/login1");
const QString kLogin1Manager = QStringLiteral("org.freedesktop.login1.Manager");

}  // namespace

SleepInhibitor::SleepInhibitor(QDBusConnection bus, QString why, HoldBack holdBack, LetGo letGo, QObject* parent)
    : QObject(parent),
      bus_(std::move(bus)),
      why_(std::move(why)),
      holdBack_(std::move(holdBack)),
      letGo_(std::move(letGo)),
      self_(std::make_shared<SleepInhibitor*>(this)) {}

SleepInhibitor::~SleepInhibitor() {
  // Device work must not stay held back by an object that is gone.
  if (sleeping_ && letGo_) letGo_();
}

bool SleepInhibitor::Start() {
  if (started_) return true;
  if (!bus_.isConnected()) return false;
  started_ = true;
  bus_.connect(kLogin1Service, kLogin1Path, kLogin1Manager, QStringLiteral("PrepareForSleep"), this,
               SLOT(OnPrepareForSleep(bool)));
  // A login manager that goes away while the system is said to sleep would hold the device
  // work back for ever; one that comes (back) gets asked for the lock.
  watcher_ = new QDBusServiceWatcher(kLogin1Service, bus_,
                                     QDBusServiceWatcher::WatchForRegistration |
                                         QDBusServiceWatcher::WatchForUnregistration,
                                     this);
  connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, [this] { LoginManagerGone(); });
  connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this, [this] {
    if (!sleeping_) Take();
  });
  Take();
  return true;
}

void SleepInhibitor::Take() {
  if (Holding() || taking_) return;
  taking_ = true;
  QDBusMessage call = QDBusMessage::createMethodCall(kLogin1Service, kLogin1Path, kLogin1Manager,
                                                     QStringLiteral("Inhibit"));
  call << QStringLiteral("sleep") << QStringLiteral("Vantrel") << why_ << QStringLiteral("delay");
  auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    w->deleteLater();
    taking_ = false;
    QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
    // No login manager (or one that refuses): the program runs without the lock.
    if (reply.isError() || !reply.value().isValid()) return;
    // Taken while a sleep's device work had already finished: the sleep must not wait for
    // it.
    if (sleeping_ && quietReached_) return;
    lock_ = reply.value();
    emit lockTaken();
  });
}

void SleepInhibitor::Release() {
  if (!Holding()) return;
  // Closing our copy of the descriptor is what lets the sleep go on.
  lock_ = QDBusUnixFileDescriptor();
  emit lockReleased();
}

void SleepInhibitor::OnPrepareForSleep(bool start) {
  if (start) {
    if (sleeping_) return;
    sleeping_ = true;
    quietReached_ = false;
    const unsigned sleep = ++sleepCount_;
    std::weak_ptr<SleepInhibitor*> self = self_;
    // The quiet call may come on the device worker: it is handed to the UI thread, and
    // reaches this object only while it exists and this sleep is still the current one.
    holdBack_([self, sleep] {
      QMetaObject::invokeMethod(
          QCoreApplication::instance(),
          [self, sleep] {
            const auto alive = self.lock();
            if (!alive) return;
            SleepInhibitor& inhibitor = **alive;
            if (!inhibitor.sleeping_ || inhibitor.sleepCount_ != sleep) return;
            inhibitor.quietReached_ = true;
            inhibitor.Release();
          },
          Qt::QueuedConnection);
    });
    return;
  }
  if (!sleeping_) return;
  sleeping_ = false;
  Take();
  letGo_();
  emit resumed();
}

void SleepInhibitor::LoginManagerGone() {
  lock_ = QDBusUnixFileDescriptor();
  if (!sleeping_) return;
  sleeping_ = false;
  letGo_();
}

}  // namespace vantrel::platform
