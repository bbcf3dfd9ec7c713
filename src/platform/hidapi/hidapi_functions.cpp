#include "platform/hidapi/hidapi_functions.h"

#include <hidapi/hidapi.h>

#include <cerrno>
#include <memory>
#include <mutex>

#ifndef _WIN32
#include <unistd.h>
#endif

#ifdef VANTREL_HAVE_UDEV
#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#endif

namespace vantrel::platform {
namespace {

// hidapi keeps process-wide state (the library context, the global error string) that
// hid_init, hid_exit, hid_enumerate and hid_open_path all touch.
std::mutex& GlobalHidapiMutex() {
  static std::mutex mutex;
  return mutex;
}

std::vector<HidInterfaceInfo> Enumerate(std::uint16_t vendorId, std::uint16_t productId) {
  std::vector<HidInterfaceInfo> out;
  std::lock_guard lock(GlobalHidapiMutex());
  hid_device_info* list = hid_enumerate(vendorId, productId);
  for (const hid_device_info* d = list; d != nullptr; d = d->next) {
    HidInterfaceInfo info;
    info.path = d->path != nullptr ? d->path : "";
    info.vendorId = d->vendor_id;
    info.productId = d->product_id;
    info.usagePage = d->usage_page;
    info.usage = d->usage;
    info.interfaceNumber = d->interface_number;
    if (d->serial_number != nullptr) info.serialNumber = d->serial_number;
    out.push_back(std::move(info));
  }
  hid_free_enumeration(list);
  return out;
}

HidOpenResult Open(const std::string& path) {
  HidOpenResult result;
  std::lock_guard lock(GlobalHidapiMutex());
  errno = 0;
  result.handle = hid_open_path(path.c_str());
  if (result.handle != nullptr) return result;
  result.error = errno;
#ifndef _WIN32
  // hidapi formats its error message after the failed open(), which may overwrite
  // errno; the access check tells a permission problem apart for certain.
  if (result.error != EACCES && result.error != EPERM && ::access(path.c_str(), R_OK | W_OK) != 0) {
    result.error = errno;
  }
#endif
  if (result.error == 0) result.error = EIO;
  return result;
}

#ifdef VANTREL_HAVE_UDEV
// The udev monitor of hidraw nodes, plus an eventfd that wakes a waiting poll.
struct UdevWatch {
  udev* context = nullptr;
  udev_monitor* monitor = nullptr;
  int wakeFd = -1;

  bool Open() {
    context = udev_new();
    if (context == nullptr) return false;
    // "udev" events come after the rules ran, so the node's access rights are final.
    monitor = udev_monitor_new_from_netlink(context, "udev");
    if (monitor == nullptr || udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
      Close();
      return false;
    }
    wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) {
      Close();
      return false;
    }
    return true;
  }

  int Wait(int timeoutMs) {
    if (monitor == nullptr) return -1;
    pollfd fds[2] = {{udev_monitor_get_fd(monitor), POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int n = poll(fds, 2, timeoutMs);
    if (n < 0) return errno == EINTR ? 0 : -1;
    if (fds[1].revents & POLLIN) {
      eventfd_t value = 0;
      eventfd_read(wakeFd, &value);
    }
    if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return -1;
    return (fds[0].revents & POLLIN) ? 1 : 0;
  }

  int Receive() {
    int events = 0;
    // The monitor socket is non-blocking: this drains what is queued.
    while (udev_device* device = udev_monitor_receive_device(monitor)) {
      ++events;
      udev_device_unref(device);
    }
    return events;
  }

  void Wake() {
    if (wakeFd >= 0) eventfd_write(wakeFd, 1);
  }

  void Close() {
    if (monitor != nullptr) udev_monitor_unref(monitor);
    if (context != nullptr) udev_unref(context);
    if (wakeFd >= 0) ::close(wakeFd);
    monitor = nullptr;
    context = nullptr;
    wakeFd = -1;
  }
};
#endif

}  // namespace

HidapiFunctions RealHidapiFunctions() {
  HidapiFunctions f;
  f.init = [] {
    std::lock_guard lock(GlobalHidapiMutex());
    return hid_init();
  };
  f.exit = [] {
    std::lock_guard lock(GlobalHidapiMutex());
    return hid_exit();
  };
  f.enumerate = Enumerate;
  f.open = Open;
  f.close = [](HidHandle handle) { hid_close(static_cast<hid_device*>(handle)); };
  f.write = [](HidHandle handle, const std::uint8_t* data, std::size_t length) {
    return hid_write(static_cast<hid_device*>(handle), data, length);
  };
  f.read = [](HidHandle handle, std::uint8_t* buffer, std::size_t capacity, int timeoutMs) {
    return hid_read_timeout(static_cast<hid_device*>(handle), buffer, capacity, timeoutMs);
  };
#ifdef VANTREL_HAVE_UDEV
  auto watch = std::make_shared<UdevWatch>();
  f.monitorOpen = [watch] { return watch->Open(); };
  f.monitorWait = [watch](int timeoutMs) { return watch->Wait(timeoutMs); };
  f.monitorReceive = [watch] { return watch->Receive(); };
  f.monitorWake = [watch] { watch->Wake(); };
  f.monitorClose = [watch] { watch->Close(); };
#else
  f.monitorOpen = [] { return false; };
  f.monitorWait = [](int) { return -1; };
  f.monitorReceive = [] { return 0; };
  f.monitorWake = [] {};
  f.monitorClose = [] {};
#endif
  return f;
}

}  // namespace vantrel::platform
