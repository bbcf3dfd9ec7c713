#include "ui/dbus/bus_service.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>

#include "ui/dbus/keyboard_adaptor.h"
#include "ui/dbus/testing_adaptor.h"
#include "ui/windows/app_core.h"

namespace vantrel::ui {

std::unique_ptr<BusService> BusService::Start(AppCore& core, BusHooks hooks, QString* error) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    *error = bus.lastError().message();
    return nullptr;
  }
  std::unique_ptr<BusService> service(new BusService);
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
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (nameOwned_) bus.unregisterService(QString::fromLatin1(kBusName));
  bus.unregisterObject(QString::fromLatin1(kBusPath));
  object_.reset();
}

}  // namespace vantrel::ui
