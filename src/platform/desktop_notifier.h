// Desktop notifications with one action. The real notifier talks to the desktop's
// notification service (org.freedesktop.Notifications on the session bus); where there is
// none it hands the notice to a fallback (the tray's message, which offers no button, so
// the notice carries a hint saying how to act instead). Tests use a fake Notifier.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>

namespace vantrel::platform {

struct Notice {
  QString summary;
  QString body;
  QString actionLabel;  // the one action's button
  QString hint;         // how to act where no button can be shown
};

class Notifier {
 public:
  virtual ~Notifier() = default;
  // Shows the notice, replacing the one shown before; `action` runs on the UI thread when
  // the user chooses the action, at most once.
  virtual void Show(const Notice& notice, std::function<void()> action) = 0;
  // Takes the notice away (it no longer holds); its action no longer runs.
  virtual void Withdraw() = 0;
};

class DesktopNotifier final : public QObject, public Notifier {
  Q_OBJECT

 public:
  // The fallback shows a notice where the service is missing or refuses it.
  using Fallback = std::function<void(const Notice& notice, std::function<void()> action)>;

  // appName and icon as the service shows them (the icon a name or a file path).
  DesktopNotifier(QDBusConnection bus, QString appName, QString icon, Fallback fallback, QObject* parent = nullptr);
  ~DesktopNotifier() override;

  void Show(const Notice& notice, std::function<void()> action) override;
  void Withdraw() override;

  // The service's id of the notice shown now, 0 when none.
  quint32 ShownId() const { return id_; }

 signals:
  // A notice went to the service (true) or to the fallback (false).
  void shown(bool byService);

 private slots:
  void OnActionInvoked(quint32 id, const QString& actionKey);
  void OnNotificationClosed(quint32 id, quint32 reason);

 private:
  void ToFallback(const Notice& notice);

  QDBusConnection bus_;
  QString appName_;
  QString icon_;
  Fallback fallback_;
  bool listening_ = false;
  bool markup_ = false;  // the service reads the body as markup
  quint32 id_ = 0;
  unsigned generation_ = 0;  // tells the reply to the newest Show from older ones
  std::function<void()> action_;
};

}  // namespace vantrel::platform
