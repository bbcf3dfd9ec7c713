// Windows only: the keyboard maker's HID service library, "HidServ.dll", loaded at run
// time and offered as a HidService, as an alternative to the hidapi service.
//
// Not built or tested outside Windows. The calling convention (__stdcall) and the
// argument types of the exports are assumptions about the library: the selector is
// passed as a pointer to its 16 bytes, callbacks and handles as 32-bit words.
#pragma once

#ifdef _WIN32

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>

#include "core/device/hid_service.h"

namespace vantrel::platform {

class HidServLibrary final : public device::HidService {
 public:
  // Loads "HidServ.dll" beside the program and looks up all twelve exports; nullptr
  // when the library or any export is missing. Only one instance may exist at a time:
  // the library calls back into one process-wide function.
  static std::unique_ptr<HidServLibrary> Load();
  ~HidServLibrary() override;
  HidServLibrary(const HidServLibrary&) = delete;
  HidServLibrary& operator=(const HidServLibrary&) = delete;

  int Init(int reserved) override;
  int RequestGetDeviceCount(const device::DeviceSelector& selector, std::uint32_t callbackWord, std::uint32_t tag,
                            std::uint32_t check, device::ServiceHandle* handle) override;
  int RequestWriteOne(const device::DeviceSelector& selector, std::uint32_t callbackWord, std::uint32_t tag,
                      const std::uint8_t* data, std::uint32_t length, std::uint32_t check,
                      device::ServiceHandle* handle) override;
  int RequestAsyncRead(const device::DeviceSelector& selector, device::ServiceCallback* callback, std::uint32_t tag,
                       std::uint32_t check, device::ServiceHandle* handle) override;
  int RequestStatusWrite(const device::DeviceSelector& selector, device::ServiceCallback* callback,
                         std::uint32_t tag, const std::uint8_t* data, std::uint32_t length, std::uint32_t check,
                         device::ServiceHandle* handle) override;
  int DeleteRequestFromUnitId(device::ServiceHandle handle) override;

 private:
  struct Exports;
  HidServLibrary(void* module, std::unique_ptr<Exports> exports);
  static int __stdcall Notify(const std::uint8_t* record);
  // The check value the library expects for the trampoline, when the caller's check was
  // right for its own callback object; a wrong one stays wrong.
  std::uint32_t Recheck(const device::DeviceSelector& selector, device::ServiceCallback* callback, std::uint32_t tag,
                        std::span<const std::uint8_t> data, std::uint32_t check) const;
  void Remember(device::ServiceHandle handle, std::uint32_t tag, device::ServiceCallback* callback);

  void* module_;
  std::unique_ptr<Exports> exports_;
};

}  // namespace vantrel::platform

#endif  // _WIN32
