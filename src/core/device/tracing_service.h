// A HidService decorator that writes one line per report crossing the boundary:
//   > TAG hh hh ...   what the host sends
//   < TAG hh hh ...   what the host receives
//   ! count N         a new device count reported by the service
// TAG is CTRL, CONS or DEL. Lines go to a sink that is called under a lock, so lines of
// different threads never interleave.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "core/device/hid_service.h"

namespace vantrel::device {

using TraceSink = std::function<void(std::string_view line)>;

// Bytes as two-digit lower-case hex separated by single spaces.
std::string HexBytes(std::span<const std::uint8_t> bytes);

class TracingHidService final : public HidService {
 public:
  TracingHidService(HidService& inner, TraceSink sink);
  ~TracingHidService() override;

  int Init(int reserved) override;
  int RequestGetDeviceCount(const DeviceSelector& selector, std::uint32_t callbackWord, std::uint32_t tag,
                            std::uint32_t check, ServiceHandle* handle) override;
  int RequestWriteOne(const DeviceSelector& selector, std::uint32_t callbackWord, std::uint32_t tag,
                      const std::uint8_t* data, std::uint32_t length, std::uint32_t check,
                      ServiceHandle* handle) override;
  int RequestAsyncRead(const DeviceSelector& selector, ServiceCallback* callback, std::uint32_t tag,
                       std::uint32_t check, ServiceHandle* handle) override;
  int RequestStatusWrite(const DeviceSelector& selector, ServiceCallback* callback, std::uint32_t tag,
                         const std::uint8_t* data, std::uint32_t length, std::uint32_t check,
                         ServiceHandle* handle) override;
  int DeleteRequestFromUnitId(ServiceHandle handle) override;

  void Line(std::string_view line);

 private:
  class Relay;
  ServiceCallback* RelayFor(ServiceCallback* callback, std::string_view name);

  HidService& inner_;
  TraceSink sink_;
  std::mutex sinkMutex_;
  std::mutex relayMutex_;
  std::map<std::pair<ServiceCallback*, std::string>, std::unique_ptr<Relay>> relays_;
};

// A sink that appends to a file and flushes after every line. Returns an empty function
// when the file cannot be opened.
TraceSink FileTraceSink(const std::string& path);

}  // namespace vantrel::device
