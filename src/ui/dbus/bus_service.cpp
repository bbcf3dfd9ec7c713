#include "ui/dbus/bus_service.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>

#include "platform/bus_connection_limits.h"
#include "ui/dbus/keyboard_adaptor.h"
#include "ui/dbus/testing_adaptor.h"
#include "ui/app/app_core.h"
#include "ui/app/device_worker.h"

namespace vantrel::ui {

std::unique_ptr<BusService> BusService::Start(AppCore& core, BusHooks hooks, QString* error) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    *error = bus.lastError().message();
    return nullptr;
  }
  // Before anything can be called: a large call must not stop the connection's reading.
  if (!platform::RaiseBusReceiveLimit(bus)) {
    qWarning("the bus connection keeps its limit of received messages; calls of %ld MiB or more stop it",
             platform::kDefaultBusReceiveLimit >> 20);
  }
  std::unique_ptr<BusService> service(new BusService);
  service->core_ = &core;
  service->object_ = std::make_unique<QObject>();
  // Each interface is an adaptor owned by the object; a further interface is one more
  // line here, before the object is registered.
  new KeyboardAdaptor(service->object_.get(), core, std::move(hooks));
  // On the virtual keyboard only: what test scripts need of the windows.
  if (!core.SimStateFile().empty()) new TestingAdaptor(service->object_.get(), core);

  if (!bus.registerObject(QString::fromLatin1(kBusPath), service->object_.get(), QDBusConnection::ExportAdaptors)) {
    *error = bus.lastError().message();
    return nullptr;
  }
  // The name is not queued for: a second owner would only ever wait.
  const auto reply = bus.interface()->registerService(QString::fromLatin1(kBusName),
                                                      QDBusConnectionInterface::DontQueueService,
                                                      QDBusConnectionInterface::DontAllowReplacement);
  if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
    *error = reply.isValid() ? QString::fromLatin1(kBusName) : reply.error().message();
    bus.unregisterObject(QString::fromLatin1(kBusPath));
    return nullptr;
  }
  service->nameOwned_ = true;
  return service;
}

BusService::~BusService() {
  // A call whose work finished while the program was closing (SIGTERM during a restore)
  // is answered with its result, not left to the caller's timeout.
  if (core_) core_->Worker().DeliverWaitingFirst();
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (nameOwned_) bus.unregisterService(QString::fromLatin1(kBusName));
  bus.unregisterObject(QString::fromLatin1(kBusPath));
  object_.reset();
}

}  // namespace vantrel::ui
