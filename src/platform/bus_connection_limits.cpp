#include "platform/bus_connection_limits.h"

#include <QDBusConnection>
#include <QtGlobal>

#include <cstring>

#ifdef Q_OS_UNIX
#include <dlfcn.h>
#endif

namespace vantrel::platform {

bool RaiseBusReceiveLimit(const QDBusConnection& connection) {
#ifdef Q_OS_UNIX
  void* raw = connection.internalPointer();  // the connection's DBusConnection
  if (!raw) return false;
  // libdbus is loaded already (Qt's bus module uses it); its function is looked up there
  // rather than linked, as its headers are not needed for anything else.
  void* symbol = ::dlsym(RTLD_DEFAULT, "dbus_connection_set_max_received_size");
  if (!symbol) return false;
  using SetMaxReceivedSize = void (*)(void* connection, long size);
  SetMaxReceivedSize set = nullptr;
  static_assert(sizeof set == sizeof symbol);
  std::memcpy(&set, &symbol, sizeof set);
  set(raw, kBusReceiveLimit);
  return true;
#else
  (void)connection;
  return false;
#endif
}

}  // namespace vantrel::platform
