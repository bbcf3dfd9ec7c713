// The boundary to the keyboard: the operations of the keyboard maker's HID service, as
// an interface that every backend implements (the virtual keyboard, hidapi for real
// hardware, and on Windows the maker's own library).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace vantrel::device {

// 16 bytes on the wire, little-endian: u32 15, u16 vendor, u16 product, u16 usage page,
// u16 usage, u32 0.
struct DeviceSelector {
  std::uint32_t kind = 15;
  std::uint16_t vendorId = 0x0C45;
  std::uint16_t productId = 0x7666;
  std::uint16_t usagePage = 0;
  std::uint16_t usage = 0;
  std::uint32_t reserved = 0;

  std::array<std::uint8_t, 16> Bytes() const;
  friend bool operator==(const DeviceSelector&, const DeviceSelector&) = default;
};

inline constexpr std::uint16_t kVendorId = 0x0C45;
inline constexpr std::uint16_t kProductId = 0x7666;

inline constexpr DeviceSelector ConfigInterfaceSelector{15, kVendorId, kProductId, 0xFF1C, 0x0092, 0};
inline constexpr DeviceSelector ConsumerInterfaceSelector{15, kVendorId, kProductId, 0x000C, 0x0001, 0};
inline constexpr DeviceSelector LedInterfaceSelector{15, kVendorId, kProductId, 0x0008, 0x0089, 0};

// Four-character tags, first character most significant.
inline constexpr std::uint32_t kTagCons = 0x434F4E53;  // 'CONS'
inline constexpr std::uint32_t kTagCtrl = 0x4354524C;  // 'CTRL'
inline constexpr std::uint32_t kTagDel = 0x004C4544;   // 'DEL'

// "CTRL", "CONS" or "DEL" for the interface a selector addresses; "?" otherwise.
std::string_view InterfaceName(const DeviceSelector& selector);

// Registration handle; 0 means none.
using ServiceHandle = std::uint32_t;

// Notification kinds.
inline constexpr std::int32_t kNotifyCountChanged = 0;
inline constexpr std::int32_t kNotifyInputReport = 1;

// The report behind a 'CONS' notification (in the maker's service: the pointer at +0x1c
// of the record at R+0x10). Only its first two bytes are read; the length is ours.
struct ConsumerRecord {
  const std::uint8_t* report = nullptr;
  std::uint32_t length = 0;
};

// R, the request record of the registration a notification belongs to.
struct RequestRecord {
  std::uint32_t tag = 0;                        // R+0
  std::uint32_t value = 0;                      // R+4: byte count (kind 1) or new device count (kind 0)
  const std::uint8_t* data = nullptr;           // R+8: the reply bytes (kind 1 'CTRL')
  const ConsumerRecord* consumer = nullptr;     // R+0x10: the 'CONS' report
};

// N, handed to the callback.
struct NotificationRecord {
  std::int32_t kind = -1;                       // N+0
  std::int32_t reserved = 0;
  const RequestRecord* request = nullptr;       // N+8
};

// The single callback the program hands to the service for all registrations. The
// service calls it on a thread of its own, never on a thread that waits for a reply.
class ServiceCallback {
 public:
  virtual ~ServiceCallback() = default;
  virtual int OnServiceNotify(const NotificationRecord& record) = 0;
};

// Check value passed with every call that carries a selector: the sum of T[b] over the
// bytes of the selector, the callback word, the tag word and the data.
std::uint32_t CallCheckValue(const DeviceSelector& selector, std::uint32_t callbackWord, std::uint32_t tag,
                             std::span<const std::uint8_t> data = {});
// The callback word of a callback object: the low 32 bits of its address (0 for none).
std::uint32_t CallbackWord(const ServiceCallback* callback);

class HidService {
 public:
  virtual ~HidService() = default;

  // > 0 when the service is ready.
  virtual int Init(int reserved) = 0;
  // Number of devices that match the selector.
  virtual int RequestGetDeviceCount(const DeviceSelector& selector, std::uint32_t callbackWord, std::uint32_t tag,
                                    std::uint32_t check, ServiceHandle* handle) = 0;
  // Writes one report; > 0 when accepted.
  virtual int RequestWriteOne(const DeviceSelector& selector, std::uint32_t callbackWord, std::uint32_t tag,
                              const std::uint8_t* data, std::uint32_t length, std::uint32_t check,
                              ServiceHandle* handle) = 0;
  // Every later input report of the interface and every device-count change reaches the
  // callback, tagged with tag.
  virtual int RequestAsyncRead(const DeviceSelector& selector, ServiceCallback* callback, std::uint32_t tag,
                               std::uint32_t check, ServiceHandle* handle) = 0;
  // Writes a status (output) report to the interface.
  virtual int RequestStatusWrite(const DeviceSelector& selector, ServiceCallback* callback, std::uint32_t tag,
                                 const std::uint8_t* data, std::uint32_t length, std::uint32_t check,
                                 ServiceHandle* handle) = 0;
  // Ends a registration (0 = none).
  virtual int DeleteRequestFromUnitId(ServiceHandle handle) = 0;

  // The service offers these too; the program never calls them.
  virtual int Debug(int) { return 0; }
  virtual int End() { return 0; }
  virtual int DeleteRequestFromHandle(ServiceHandle) { return 0; }
  virtual int RequestWrite(const DeviceSelector&, std::uint32_t, std::uint32_t, const std::uint8_t*, std::uint32_t,
                           std::uint32_t, ServiceHandle*) {
    return 0;
  }
  virtual int RequestStatusGet(const DeviceSelector&, std::uint32_t, std::uint32_t, std::uint8_t*, std::uint32_t,
                               std::uint32_t, ServiceHandle*) {
    return 0;
  }
  virtual int RequestStatusSetFeature(const DeviceSelector&, std::uint32_t, std::uint32_t, const std::uint8_t*,
                                      std::uint32_t, std::uint32_t, ServiceHandle*) {
    return 0;
  }
};

}  // namespace vantrel::device
