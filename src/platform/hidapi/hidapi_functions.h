// Every call that the hidapi service makes into hidapi and libudev, as a table of
// functions. The real table wraps the libraries; tests put a fake keyboard behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vantrel::platform {

// One entry of an enumeration. On the hidraw backend one device node (one USB
// interface) is listed once per top-level collection, so the same path and interface
// number can appear several times with different usages.
struct HidInterfaceInfo {
  std::string path;  // "/dev/hidrawN" on Linux
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t usagePage = 0;
  std::uint16_t usage = 0;
  int interfaceNumber = -1;
  std::wstring serialNumber;
};

// An open device as the library hands it out (hid_device*); opaque to the service.
using HidHandle = void*;

struct HidOpenResult {
  HidHandle handle = nullptr;
  int error = 0;  // errno-style code when handle is null (EACCES: no permission)
};

struct HidapiFunctions {
  // 0 on success, like hid_init / hid_exit.
  std::function<int()> init;
  std::function<int()> exit;
  std::function<std::vector<HidInterfaceInfo>(std::uint16_t vendorId, std::uint16_t productId)> enumerate;
  std::function<HidOpenResult(const std::string& path)> open;
  std::function<void(HidHandle)> close;
  // hid_write: data[0] is the report id. Bytes written, or -1.
  std::function<int(HidHandle, const std::uint8_t* data, std::size_t length)> write;
  // hid_read_timeout: bytes read (report id first for numbered reports), 0 when nothing
  // arrived within timeoutMs, -1 on error (the device is gone).
  std::function<int(HidHandle, std::uint8_t* buffer, std::size_t capacity, int timeoutMs)> read;

  // Device-node watcher for hidraw add/change/remove. monitorOpen returns false when no
  // watcher is available; the service then polls the enumeration.
  std::function<bool()> monitorOpen;
  // Waits up to timeoutMs: 1 when events are ready, 0 on time-out or after monitorWake,
  // -1 when the watcher failed.
  std::function<int(int timeoutMs)> monitorWait;
  // Takes the ready events; the number of hidraw events among them.
  std::function<int()> monitorReceive;
  // Makes a pending or the next monitorWait return at once. Callable from any thread.
  std::function<void()> monitorWake;
  std::function<void()> monitorClose;
};

// The table over hidapi (hidraw backend) and, where built with it, libudev.
HidapiFunctions RealHidapiFunctions();

}  // namespace vantrel::platform
