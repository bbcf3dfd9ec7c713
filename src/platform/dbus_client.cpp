#include "platform/dbus_client.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QStringList>
#include <QVariantMap>

#include <cstdlib>
#include <system_error>

namespace vantrel::platform {

bool SessionBusAddressKnown() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address && *address) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code ec;
  return runtime && *runtime && std::filesystem::exists(std::filesystem::path(runtime) / "bus", ec);
}

namespace {

constexpr char kName[] = "org.vantrel.Vantrel1";
constexpr char kPath[] = "/org/vantrel/Vantrel1";
constexpr char kInterface[] = "org.vantrel.Vantrel1.Keyboard";
constexpr char kErrorPrefix[] = "org.vantrel.Vantrel1.Error.";
// A restore writes every key table and the macro area: well within this.
constexpr int kCallTimeoutMs = 120000;

std::filesystem::path Canonical(const std::filesystem::path& p) {
  std::error_code ec;
  auto c = std::filesystem::weakly_canonical(p, ec);
  return ec ? std::filesystem::absolute(p, ec) : c;
}

QVariant ToVariant(const BusValue& v, bool inDict) {
  if (const auto* b = std::get_if<bool>(&v)) return *b;
  if (const auto* n = std::get_if<long long>(&v)) {
    return inDict ? QVariant(static_cast<uint>(*n)) : QVariant(static_cast<int>(*n));
  }
  if (const auto* s = std::get_if<std::string>(&v)) return QString::fromStdString(*s);
  if (const auto* l = std::get_if<std::vector<std::string>>(&v)) {
    QStringList list;
    for (const auto& s : *l) list.push_back(QString::fromStdString(s));
    return list;
  }
  if (const auto* d = std::get_if<BusDict>(&v)) {
    QVariantMap map;
    for (const auto& [key, value] : *d) {
      map.insert(QString::fromStdString(key), ToVariant(std::visit([](const auto& x) { return BusValue(x); }, value), true));
    }
    return map;
  }
  return {};
}

BusScalar ScalarOf(const QVariant& v) {
  switch (v.metaType().id()) {
    case QMetaType::Bool: return v.toBool();
    case QMetaType::QString: return v.toString().toStdString();
    default: return v.toLongLong();
  }
}

BusValue FromVariant(QVariant v) {
  if (v.canConvert<QDBusVariant>() && v.metaType().id() == qMetaTypeId<QDBusVariant>()) {
    v = v.value<QDBusVariant>().variant();
  }
  if (v.metaType().id() == qMetaTypeId<QDBusArgument>()) {
    const auto arg = v.value<QDBusArgument>();
    const QString signature = arg.currentSignature();
    if (signature == QLatin1String("a{sv}")) {
      QVariantMap map;
      arg >> map;
      BusDict d;
      for (auto it = map.begin(); it != map.end(); ++it) d.emplace_back(it.key().toStdString(), ScalarOf(it.value()));
      return d;
    }
    if (signature == QLatin1String("au") || signature == QLatin1String("ai")) {
      std::vector<std::string> list;
      arg.beginArray();
      while (!arg.atEnd()) {
        QVariant element = arg.asVariant();
        list.push_back(std::to_string(element.toLongLong()));
      }
      arg.endArray();
      return list;
    }
    return std::monostate{};
  }
  switch (v.metaType().id()) {
    case QMetaType::Bool: return v.toBool();
    case QMetaType::QString: return v.toString().toStdString();
    case QMetaType::QStringList: {
      std::vector<std::string> list;
      for (const auto& s : v.toStringList()) list.push_back(s.toStdString());
      return list;
    }
    case QMetaType::QVariantMap: {
      BusDict d;
      const auto map = v.toMap();
      for (auto it = map.begin(); it != map.end(); ++it) d.emplace_back(it.key().toStdString(), ScalarOf(it.value()));
      return d;
    }
    default:
      if (v.canConvert<long long>()) return v.toLongLong();
      return std::monostate{};
  }
}

BusAnswer AnswerOf(const QDBusMessage& reply) {
  BusAnswer a;
  if (reply.type() == QDBusMessage::ErrorMessage) {
    const QString name = reply.errorName();
    a.message = reply.errorMessage().toStdString();
    if (name.startsWith(QLatin1String(kErrorPrefix))) {
      a.answered = true;
      a.error = name.mid(static_cast<int>(std::char_traits<char>::length(kErrorPrefix))).toStdString();
    } else {
      a.message = name.toStdString() + ": " + a.message;
    }
    return a;
  }
  if (reply.type() != QDBusMessage::ReplyMessage) return a;
  a.answered = true;
  for (const QVariant& v : reply.arguments()) a.values.push_back(FromVariant(v));
  return a;
}

}  // namespace

struct ProgramBus::Parts {
  std::unique_ptr<QCoreApplication> app;  // only when the process has none
  std::unique_ptr<QDBusConnection> bus;
};

ProgramBus::ProgramBus() : parts_(std::make_unique<Parts>()) {}
ProgramBus::~ProgramBus() = default;

std::unique_ptr<ProgramBus> ProgramBus::Find(const std::filesystem::path& simStateFile) {
  if (!SessionBusAddressKnown()) return nullptr;
  std::unique_ptr<ProgramBus> program(new ProgramBus);
  if (!QCoreApplication::instance()) {
    static int argc = 1;
    static char name[] = "vantrelctl";
    static char* argv[] = {name, nullptr};
    program->parts_->app = std::make_unique<QCoreApplication>(argc, argv);
  }
  program->parts_->bus = std::make_unique<QDBusConnection>(QDBusConnection::sessionBus());
  QDBusConnection& bus = *program->parts_->bus;
  if (!bus.isConnected() || !bus.interface()) return nullptr;
  const auto owned = bus.interface()->isServiceRegistered(QString::fromLatin1(kName));
  if (!owned.isValid() || !owned.value()) return nullptr;
  // The same keyboard: the same simulated state file, or real hardware on both sides.
  const BusAnswer file = program->Property("SimulatedStateFile");
  const auto* path = file.Ok() && !file.values.empty() ? std::get_if<std::string>(&file.values[0]) : nullptr;
  if (!path) return nullptr;
  if (simStateFile.empty() != path->empty()) return nullptr;
  if (!simStateFile.empty() && Canonical(simStateFile) != Canonical(*path)) return nullptr;
  return program;
}

BusAnswer ProgramBus::Call(const std::string& method, const std::vector<BusValue>& args) {
  QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kName), QString::fromLatin1(kPath),
                                                     QString::fromLatin1(kInterface), QString::fromStdString(method));
  QVariantList arguments;
  for (const auto& a : args) arguments.push_back(ToVariant(a, false));
  call.setArguments(arguments);
  return AnswerOf(parts_->bus->call(call, QDBus::Block, kCallTimeoutMs));
}

BusAnswer ProgramBus::Property(const std::string& name) {
  QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kName), QString::fromLatin1(kPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("Get"));
  call.setArguments({QString::fromLatin1(kInterface), QString::fromStdString(name)});
  return AnswerOf(parts_->bus->call(call, QDBus::Block, kCallTimeoutMs));
}

}  // namespace vantrel::platform
