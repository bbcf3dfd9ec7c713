#include "core/device/tracing_service.h"

#include <fstream>

namespace vantrel::device {

std::string HexBytes(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i != 0) out.push_back(' ');
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 0xF]);
  }
  return out;
}

// Stands between the service and the program's callback for one interface: logs what
// arrives, then hands it on unchanged.
class TracingHidService::Relay final : public ServiceCallback {
 public:
  Relay(TracingHidService& owner, ServiceCallback* target, std::string name)
      : owner_(owner), target_(target), name_(std::move(name)) {}

  int OnServiceNotify(const NotificationRecord& record) override {
    if (const RequestRecord* r = record.request) {
      if (record.kind == kNotifyInputReport) {
        if (r->tag == kTagCons && r->consumer != nullptr && r->consumer->report != nullptr) {
          owner_.Line("< CONS " + HexBytes({r->consumer->report, r->consumer->length}));
        } else if (r->data != nullptr) {
          owner_.Line("< " + name_ + " " + HexBytes({r->data, r->value}));
        }
      } else if (record.kind == kNotifyCountChanged) {
        owner_.Line("! count " + std::to_string(r->value));
      }
    }
    return target_->OnServiceNotify(record);
  }

 private:
  TracingHidService& owner_;
  ServiceCallback* target_;
  std::string name_;
};

TracingHidService::TracingHidService(HidService& inner, TraceSink sink) : inner_(inner), sink_(std::move(sink)) {}
TracingHidService::~TracingHidService() = default;

void TracingHidService::Line(std::string_view line) {
  std::lock_guard lock(sinkMutex_);
  if (sink_) sink_(line);
}

ServiceCallback* TracingHidService::RelayFor(ServiceCallback* callback, std::string_view name) {
  if (callback == nullptr) return nullptr;
  std::lock_guard lock(relayMutex_);
  auto key = std::make_pair(callback, std::string(name));
  auto& relay = relays_[key];
  if (!relay) relay = std::make_unique<Relay>(*this, callback, std::string(name));
  return relay.get();
}

int TracingHidService::Init(int reserved) { return inner_.Init(reserved); }

int TracingHidService::RequestGetDeviceCount(const DeviceSelector& selector, std::uint32_t callbackWord,
                                             std::uint32_t tag, std::uint32_t check, ServiceHandle* handle) {
  return inner_.RequestGetDeviceCount(selector, callbackWord, tag, check, handle);
}

int TracingHidService::RequestWriteOne(const DeviceSelector& selector, std::uint32_t callbackWord, std::uint32_t tag,
                                       const std::uint8_t* data, std::uint32_t length, std::uint32_t check,
                                       ServiceHandle* handle) {
  if (data != nullptr) Line("> " + std::string(InterfaceName(selector)) + " " + HexBytes({data, length}));
  return inner_.RequestWriteOne(selector, callbackWord, tag, data, length, check, handle);
}

// The check value covers the callback word, so a correct one is recomputed for the relay
// that the inner service really receives; a wrong one is passed on still wrong.
int TracingHidService::RequestAsyncRead(const DeviceSelector& selector, ServiceCallback* callback, std::uint32_t tag,
                                        std::uint32_t check, ServiceHandle* handle) {
  ServiceCallback* relay = RelayFor(callback, InterfaceName(selector));
  if (check != CallCheckValue(selector, CallbackWord(callback), tag)) {
    return inner_.RequestAsyncRead(selector, relay, tag, check ^ 1u, handle);  // stays wrong
  }
  return inner_.RequestAsyncRead(selector, relay, tag, CallCheckValue(selector, CallbackWord(relay), tag), handle);
}

int TracingHidService::RequestStatusWrite(const DeviceSelector& selector, ServiceCallback* callback,
                                          std::uint32_t tag, const std::uint8_t* data, std::uint32_t length,
                                          std::uint32_t check, ServiceHandle* handle) {
  if (data != nullptr) Line("> " + std::string(InterfaceName(selector)) + " " + HexBytes({data, length}));
  ServiceCallback* relay = RelayFor(callback, InterfaceName(selector));
  std::span<const std::uint8_t> bytes(data, data != nullptr ? length : 0);
  if (check != CallCheckValue(selector, CallbackWord(callback), tag, bytes)) {
    return inner_.RequestStatusWrite(selector, relay, tag, data, length, check ^ 1u, handle);
  }
  return inner_.RequestStatusWrite(selector, relay, tag, data, length,
                                   CallCheckValue(selector, CallbackWord(relay), tag, bytes), handle);
}

int TracingHidService::DeleteRequestFromUnitId(ServiceHandle handle) { return inner_.DeleteRequestFromUnitId(handle); }

TraceSink FileTraceSink(const std::string& path) {
  auto file = std::make_shared<std::ofstream>(path, std::ios::out | std::ios::trunc);
  if (!*file) return {};
  return [file](std::string_view line) {
    *file << line << '\n';
    file->flush();
  };
}

}  // namespace vantrel::device
