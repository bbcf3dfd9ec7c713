// The HID service for real keyboards, over hidapi (hidraw backend on Linux).
//
// The keyboard's three interfaces (configuration, consumer, LED page) are found in the
// enumeration by usage page and usage and opened by path. Each open interface has a
// reader thread that delivers its input reports to the registrations on the selectors
// bound to it; a hotplug thread watches the hidraw nodes (udev, or a poll of the
// enumeration once a second without it), re-opens the interfaces after a replug and
// delivers count changes to the 'CTRL' registrations. Notifications therefore come on
// threads of the service's own, never on a caller's thread.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/device/hid_service.h"
#include "platform/hidapi/hidapi_functions.h"

namespace vantrel::platform {

struct HidapiOptions {
  // Longest blocking read of a reader thread; bounds how long closing an interface takes.
  std::chrono::milliseconds readTimeout{100};
  // Without a device-node watcher: how often the enumeration is read again.
  std::chrono::milliseconds pollInterval{1000};
  // With a watcher: longest wait before the hotplug thread looks round again.
  std::chrono::milliseconds monitorTimeout{1000};
};

// An interface of the keyboard that is listed but could not be opened.
struct AccessProblem {
  std::string node;           // "/dev/hidrawN"
  std::string interfaceName;  // "CTRL", "CONS" or "DEL"
  int error = 0;              // errno-style
  bool PermissionDenied() const;
};

// "a keyboard is attached, but its device node /dev/hidraw3 cannot be opened: ..." with,
// for a permission problem, how to install the udev rule.
std::string DescribeAccessProblem(const AccessProblem& problem);

class HidapiService final : public device::HidService {
 public:
  explicit HidapiService(HidapiFunctions functions = RealHidapiFunctions(), HidapiOptions options = {});
  ~HidapiService() override;
  HidapiService(const HidapiService&) = delete;
  HidapiService& operator=(const HidapiService&) = delete;

  // Initialises hidapi, reads the enumeration, opens the interfaces found and starts the
  // hotplug thread. 1 when ready (also on later calls), 0 when hidapi refused.
  int Init(int reserved) override;
  // Distinct interfaces in the current enumeration that match the selector.
  int RequestGetDeviceCount(const device::DeviceSelector& selector, std::uint32_t callbackWord, std::uint32_t tag,
                            std::uint32_t check, device::ServiceHandle* handle) override;
  // Writes one 64-byte report, report id in byte 0, to the selector's interface.
  int RequestWriteOne(const device::DeviceSelector& selector, std::uint32_t callbackWord, std::uint32_t tag,
                      const std::uint8_t* data, std::uint32_t length, std::uint32_t check,
                      device::ServiceHandle* handle) override;
  int RequestAsyncRead(const device::DeviceSelector& selector, device::ServiceCallback* callback, std::uint32_t tag,
                       std::uint32_t check, device::ServiceHandle* handle) override;
  // Writes a short output report (the 2-byte LED status, report id 5 in byte 0).
  int RequestStatusWrite(const device::DeviceSelector& selector, device::ServiceCallback* callback,
                         std::uint32_t tag, const std::uint8_t* data, std::uint32_t length, std::uint32_t check,
                         device::ServiceHandle* handle) override;
  // Does not return while a notification to that registration is being delivered on
  // another thread, so the caller may destroy the callback afterwards.
  int DeleteRequestFromUnitId(device::ServiceHandle handle) override;

  // Interfaces of the keyboard that the last look at the enumeration could not open.
  std::vector<AccessProblem> AccessProblems() const;
  // True when node changes are watched (udev), false when the enumeration is polled.
  bool WatchesNodes() const { return watching_.load(); }

 private:
  struct Interface;
  struct Registration {
    device::DeviceSelector selector;
    device::ServiceCallback* callback;
    std::uint32_t tag;
  };
  static constexpr std::size_t kSelectorCount = 3;  // configuration, consumer, LED

  std::shared_ptr<Interface> BoundInterface(const device::DeviceSelector& selector) const;
  int WriteReport(const device::DeviceSelector& selector, const std::uint8_t* data, std::uint32_t length);
  // Reads the enumeration, closes what went away or failed, opens what is missing and,
  // when notify is set, reports a new device count.
  void Rescan(bool notify);
  void CloseInterface(const std::shared_ptr<Interface>& iface);
  void ReaderLoop(Interface* iface);
  void HotplugLoop();
  void RequestRescan();
  void DeliverInput(const Interface* iface, std::span<const std::uint8_t> report);
  void DeliverCount(int count);
  void DeliverTo(device::ServiceHandle handle, std::int32_t kind, std::span<const std::uint8_t> bytes,
                 std::uint32_t count);

  HidapiFunctions fns_;
  HidapiOptions options_;

  std::mutex initMutex_;
  bool initialised_ = false;
  std::atomic<bool> monitorOpened_{false};  // set once in Init
  std::atomic<bool> watching_{false};

  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable delivered_;
  std::condition_variable hotplugWake_;
  std::map<device::ServiceHandle, Registration> registrations_;
  // Deliveries under way: registration handle and the thread delivering it.
  std::multimap<device::ServiceHandle, std::thread::id> inFlight_;
  device::ServiceHandle nextHandle_ = 1;
  std::vector<HidInterfaceInfo> enumeration_;
  std::array<std::shared_ptr<Interface>, kSelectorCount> bound_;
  std::vector<AccessProblem> problems_;
  int lastCount_ = 0;
  bool stop_ = false;
  bool rescanRequested_ = false;

  std::thread hotplugThread_;
};

}  // namespace vantrel::platform
