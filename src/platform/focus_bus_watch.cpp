#include "platform/focus_bus_watch.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <memory>
#include <string>

#include "platform/dbus_client.h"

namespace vantrel::platform {
namespace {

constexpr char kName[] = "org.vantrel.Vantrel1";
constexpr char kPath[] = "/org/vantrel/Vantrel1";
constexpr char kFocus[] = "org.vantrel.Vantrel1.Focus";

}  // namespace

// Receives the program's FocusChanged signals.
class FocusReceiver final : public QObject {
  Q_OBJECT

 public:
  explicit FocusReceiver(std::function<void(const profiles::FocusedWindow&)> report) : report_(std::move(report)) {}

 public slots:
  void FocusChanged(const QString& appId, const QString& appClass, const QString& executable, uint pid,
                    const QString& title) {
    profiles::FocusedWindow window;
    window.appId = appId.toStdString();
    window.appClass = appClass.toStdString();
    window.executable = executable.toStdString();
    window.pid = pid;
    window.title = title.toStdString();
    report_(window);
  }

 private:
  std::function<void(const profiles::FocusedWindow&)> report_;
};

bool WatchProgramFocus(const std::function<void(const profiles::FocusedWindow&)>& report,
                       const std::function<bool()>& stop, std::string* error) {
  std::unique_ptr<QCoreApplication> app;
  if (!QCoreApplication::instance()) {
    static int argc = 1;
    static char name[] = "vantrelctl";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QCoreApplication>(argc, argv);
  }
  if (!SessionBusAddressKnown()) {
    if (error) *error = "there is no session bus";
    return false;
  }
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || !bus.interface()->isServiceRegistered(QString::fromLatin1(kName))) {
    if (error) *error = "vantrel is not running";
    return false;
  }
  FocusReceiver receiver(report);
  bus.connect(QString::fromLatin1(kName), QString::fromLatin1(kPath), QString::fromLatin1(kFocus),
              QStringLiteral("FocusChanged"), &receiver, SLOT(FocusChanged(QString, QString, QString, uint, QString)));
  const QDBusMessage answer = bus.call(
      QDBusMessage::createMethodCall(QString::fromLatin1(kName), QString::fromLatin1(kPath),
                                     QString::fromLatin1(kFocus), QStringLiteral("Watch")),
      QDBus::Block, 5000);
  if (answer.type() != QDBusMessage::ReplyMessage) {
    if (error) *error = "vantrel did not answer: " + answer.errorMessage().toStdString();
    return false;
  }
  while (!stop()) {
    QEventLoop loop;
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
    loop.exec();
    if (!bus.interface()->isServiceRegistered(QString::fromLatin1(kName))) break;  // the program ended
  }
  return true;
}

}  // namespace vantrel::platform

#include "focus_bus_watch.moc"
