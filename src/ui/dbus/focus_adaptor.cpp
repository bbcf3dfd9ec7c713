#include "ui/dbus/focus_adaptor.h"

#include <QDBusConnection>
#include <QDBusReply>

#include <cmath>

#include "platform/x11_focus_source.h"
#include "ui/dbus/bus_service.h"
#include "ui/app/auto_switch_controller.h"

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

namespace {

QDBusMessage CallKWin(const QString& path, const QString& interface, const QString& method, const QList<QVariant>& args,
                      int timeoutMs) {
  QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kKWinService), path, interface, method);
  call.setArguments(args);
  return QDBusConnection::sessionBus().call(call, QDBus::Block, timeoutMs);
}

QDBusMessage CallScripting(const QString& method, const QList<QVariant>& args, int timeoutMs = 5000) {
  return CallKWin(QStringLiteral("/Scripting"), QString::fromLatin1(kKWinScripting), method, args, timeoutMs);
}

}  // namespace

bool LoadKWinFocusScript(const QString& scriptPath, QString* how, QString* error) {
  // A script of an earlier run (the program ended without unloading it) goes first, so
  // that windows are not reported twice.
  (void)CallScripting(QStringLiteral("unloadScript"), {QString::fromLatin1(kScriptName)});
  const QDBusMessage loaded = CallScripting(QStringLiteral("loadScript"), {scriptPath, QString::fromLatin1(kScriptName)});
  if (loaded.type() != QDBusMessage::ReplyMessage || loaded.arguments().isEmpty()) {
    if (error) *error = loaded.errorMessage().isEmpty() ? QStringLiteral("KWin did not load the script") : loaded.errorMessage();
    return false;
  }
  const int id = loaded.arguments().constFirst().toInt();
  if (id < 0) {
    if (error) *error = QStringLiteral("KWin refused the script");
    return false;
  }
  // A loaded script runs only once started. Plasma 6 keeps it at /Scripting/Script<id>,
  // Plasma 5.27 at /<id>; Scripting.start (both) starts every loaded script not running
  // yet, so it comes last.
  QStringList refusals;
  for (const QString& path : {QStringLiteral("/Scripting/Script%1").arg(id), QStringLiteral("/%1").arg(id)}) {
    const QDBusMessage ran = CallKWin(path, QStringLiteral("org.kde.kwin.Script"), QStringLiteral("run"), {}, 5000);
    if (ran.type() == QDBusMessage::ReplyMessage) {
      if (how) *how = path + QStringLiteral(" run");
      return true;
    }
    refusals << path + QStringLiteral(": ") + ran.errorMessage();
  }
  const QDBusMessage started = CallScripting(QStringLiteral("start"), {});
  if (started.type() == QDBusMessage::ReplyMessage) {
    if (how) *how = QStringLiteral("org.kde.kwin.Scripting.start");
    return true;
  }
  refusals << QStringLiteral("start: ") + started.errorMessage();
  // Not left behind loaded: it would run at KWin's next start of scripts, with nobody to
  // take it out again.
  UnloadKWinFocusScript();
  if (error) *error = refusals.join(QStringLiteral("; "));
  return false;
}

void UnloadKWinFocusScript() {
  (void)CallScripting(QStringLiteral("unloadScript"), {QString::fromLatin1(kScriptName)}, 2000);
}

}  // namespace vantrel::ui
