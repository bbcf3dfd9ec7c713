#include "platform/desktop_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include <utility>

namespace vantrel::platform {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
// The key of the one action; the service passes it back in ActionInvoked.
const QString kActionKey = QStringLiteral("write-again");
// Stays until the user acts or closes it: the keyboard stays out of step until then.
constexpr int kNeverExpires = 0;

// Services may read the body as markup: the three characters that start markup or an
// entity are written as entities, so key names such as "<" or "&" show as they are.
QString BodyText(const QString& body) {
  QString out;
  out.reserve(body.size());
  for (const QChar c : body) {
    if (c == u'&') out += QStringLiteral("&amp;");
    else if (c == u'<') out += QStringLiteral("&lt;");
    else if (c == u'>') out += QStringLiteral("&gt;");
    else out += c;
  }
  return out;
}

}  // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus, QString appName, QString icon, Fallback fallback,
                                 QObject* parent)
    : QObject(parent),
      bus_(std::move(bus)),
      appName_(std::move(appName)),
      icon_(std::move(icon)),
      fallback_(std::move(fallback)) {
  if (bus_.isConnected()) {
    listening_ = bus_.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                              SLOT(OnActionInvoked(quint32, QString)));
    listening_ = bus_.connect(QString(), kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                              SLOT(OnNotificationClosed(quint32, quint32))) &&
                 listening_;
    // Whether the service reads the body as markup decides how the body is written.
    QDBusMessage caps = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
    auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(caps), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
      w->deleteLater();
      QDBusPendingReply<QStringList> reply = *w;
      if (!reply.isError()) markup_ = reply.value().contains(QStringLiteral("body-markup"));
    });
  }
}

DesktopNotifier::~DesktopNotifier() = default;

void DesktopNotifier::Show(const Notice& notice, std::function<void()> action) {
  action_ = std::move(action);
  const unsigned generation = ++generation_;
  if (!bus_.isConnected() || !listening_) {
    ToFallback(notice);
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  QVariantMap hints;
  hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(1));
  call << appName_ << id_ << icon_ << notice.summary << (markup_ ? BodyText(notice.body) : notice.body)
       << QStringList{kActionKey, notice.actionLabel} << hints << kNeverExpires;
  auto* pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(pending, &QDBusPendingCallWatcher::finished, this, [this, notice, generation](QDBusPendingCallWatcher* w) {
    w->deleteLater();
    if (generation != generation_) return;  // a newer Show or a Withdraw came meanwhile
    QDBusPendingReply<quint32> reply = *w;
    if (reply.isError()) {
      // No notification service on this desktop: the fallback shows it.
      id_ = 0;
      ToFallback(notice);
      return;
    }
    id_ = reply.value();
    emit shown(true);
  });
}

void DesktopNotifier::Withdraw() {
  ++generation_;
  action_ = nullptr;
  if (id_ == 0) return;
  if (bus_.isConnected()) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("CloseNotification"));
    call << id_;
    bus_.asyncCall(call);
  }
  id_ = 0;
}

void DesktopNotifier::ToFallback(const Notice& notice) {
  if (fallback_) {
    // The fallback's action runs only while this notice is the newest one.
    const unsigned generation = generation_;
    fallback_(notice, [this, generation] {
      if (generation != generation_ || !action_) return;
      auto action = std::exchange(action_, nullptr);
      action();
    });
  }
  emit shown(false);
}

void DesktopNotifier::OnActionInvoked(quint32 id, const QString& actionKey) {
  if (id == 0 || id != id_ || actionKey != kActionKey || !action_) return;
  auto action = std::exchange(action_, nullptr);
  action();
}

void DesktopNotifier::OnNotificationClosed(quint32 id, quint32 reason) {
  (void)reason;
  if (id == 0 || id != id_) return;
  // Closed by the user, expired or replaced: nothing is left to act on. An action invoked
  // just before reached OnActionInvoked first (the service sends it first).
  id_ = 0;
  action_ = nullptr;
}

}  // namespace vantrel::platform
