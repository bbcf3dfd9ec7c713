#include "ui/dbus/focus_adaptor.h"

#include <QDBusConnection>
#include <QDBusReply>

#include <cmath>

#include "platform/x11_focus_source.h"
#include "ui/dbus/bus_service.h"
#include "ui/windows/auto_switch_controller.h"

namespace vantrel::ui {
namespace {

constexpr char kInterface[] = "org.vantrel.Vantrel1.Focus";
constexpr char kKWinService[] = "org.kde.KWin";
constexpr char kKWinScripting[] = "org.kde.kwin.Scripting";
constexpr char kScriptName[] = "vantrel_focus";

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

FocusAdaptor::FocusAdaptor(QObject& object, AutoSwitchController& controller)
    : QDBusAbstractAdaptor(&object), controller_(controller) {
  gone_.setConnection(QDBusConnection::sessionBus());
  gone_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
  connect(&gone_, &QDBusServiceWatcher::serviceUnregistered, this, [this](const QString& name) {
    watchers_.removeAll(name);
    gone_.removeWatchedService(name);
  });
  watcherId_ = controller_.AddFocusWatcher([this](const profiles::FocusedWindow& window) { Tell(window); });
}

FocusAdaptor::~FocusAdaptor() { controller_.RemoveFocusWatcher(watcherId_); }

void FocusAdaptor::WindowActivated(const QString& appId, const QString& title, uint pid) { Report(appId, title, pid); }

void FocusAdaptor::WindowActivated(const QString& appId, const QString& title, int pid) { Report(appId, title, pid); }

void FocusAdaptor::WindowActivated(const QString& appId, const QString& title, double pid) {
  Report(appId, title, std::isfinite(pid) ? static_cast<qint64>(pid) : 0);
}

void FocusAdaptor::Report(const QString& appId, const QString& title, qint64 pid) {
  profiles::FocusedWindow window;
  // Bounded: the caller is any program of the session.
  window.appId = appId.left(static_cast<qsizetype>(profiles::kMaxPatternBytes)).toStdString();
  window.title = title.left(static_cast<qsizetype>(profiles::kMaxTitleBytes)).toStdString();
  window.pid = pid > 0 && pid <= 0x7FFFFFFF ? static_cast<std::uint32_t>(pid) : 0;
  window.executable = platform::ExecutableOfProcess(window.pid);
  controller_.ReportFocus(window);
}

void FocusAdaptor::Watch(const QDBusMessage& message) {
  const QString caller = message.service();
  if (caller.isEmpty() || watchers_.contains(caller)) return;
  watchers_.push_back(caller);
  gone_.addWatchedService(caller);
}

void FocusAdaptor::Tell(const profiles::FocusedWindow& window) {
  for (const QString& watcher : watchers_) {
    QDBusMessage signal = QDBusMessage::createTargetedSignal(watcher, QString::fromLatin1(kBusPath),
                                                             QString::fromLatin1(kInterface),
                                                             QStringLiteral("FocusChanged"));
    signal << Q(window.appId) << Q(window.appClass) << Q(window.executable) << static_cast<uint>(window.pid)
           << Q(window.title);
    QDBusConnection::sessionBus().send(signal);
  }
}

bool LoadKWinFocusScript(const QString& scriptPath, QString* error) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  const auto scripting = [&](const QString& method, const QList<QVariant>& args) {
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kKWinService), QStringLiteral("/Scripting"),
                                                       QString::fromLatin1(kKWinScripting), method);
    call.setArguments(args);
    return bus.call(call, QDBus::Block, 5000);
  };
  // A script of an earlier run (the program ended without unloading it) goes first, so
  // that windows are not reported twice.
  (void)scripting(QStringLiteral("unloadScript"), {QString::fromLatin1(kScriptName)});
  const QDBusMessage loaded = scripting(QStringLiteral("loadScript"), {scriptPath, QString::fromLatin1(kScriptName)});
  if (loaded.type() != QDBusMessage::ReplyMessage || loaded.arguments().isEmpty()) {
    if (error) *error = loaded.errorMessage().isEmpty() ? QStringLiteral("KWin did not load the script") : loaded.errorMessage();
    return false;
  }
  const int id = loaded.arguments().constFirst().toInt();
  if (id < 0) {
    if (error) *error = QStringLiteral("KWin refused the script");
    return false;
  }
  // Plasma 5.27 and 6 both keep a loaded script at /Scripting/Script<id>.
  QDBusMessage run = QDBusMessage::createMethodCall(QString::fromLatin1(kKWinService),
                                                    QStringLiteral("/Scripting/Script%1").arg(id),
                                                    QStringLiteral("org.kde.kwin.Script"), QStringLiteral("run"));
  const QDBusMessage ran = bus.call(run, QDBus::Block, 5000);
  if (ran.type() == QDBusMessage::ErrorMessage) {
    if (error) *error = ran.errorMessage();
    return false;
  }
  return true;
}

void UnloadKWinFocusScript() {
  QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kKWinService), QStringLiteral("/Scripting"),
                                                     QString::fromLatin1(kKWinScripting), QStringLiteral("unloadScript"));
  call << QString::fromLatin1(kScriptName);
  QDBusConnection::sessionBus().call(call, QDBus::Block, 2000);
}

}  // namespace vantrel::ui
