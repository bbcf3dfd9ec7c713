// Windows only; see hidserv_library.h. Compiles to nothing elsewhere.
#ifdef _WIN32

#include "platform/hidserv/hidserv_library.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace vantrel::platform {

using namespace vantrel::device;

namespace {

using NotifyFn = int(__stdcall*)(const std::uint8_t* record);
using InitFn = int(__stdcall*)(int);
using PlainFn = int(__stdcall*)();
using CountFn = int(__stdcall*)(const std::uint8_t* selector, std::uint32_t callback, std::uint32_t tag,
                                std::uint32_t check, std::uint32_t* handle);
using WriteFn = int(__stdcall*)(const std::uint8_t* selector, std::uint32_t callback, std::uint32_t tag,
                                const std::uint8_t* data, std::uint32_t length, std::uint32_t check,
                                std::uint32_t* handle);
using AsyncReadFn = int(__stdcall*)(const std::uint8_t* selector, NotifyFn callback, std::uint32_t tag,
                                    std::uint32_t check, std::uint32_t* handle);
using StatusWriteFn = int(__stdcall*)(const std::uint8_t* selector, NotifyFn callback, std::uint32_t tag,
                                      const std::uint8_t* data, std::uint32_t length, std::uint32_t check,
                                      std::uint32_t* handle);
using DeleteFn = int(__stdcall*)(std::uint32_t handle);

// Which program callback a notification belongs to, found by the tag at R+0; and the
// deliveries under way, so that a delete waits for them.
struct Dispatch {
  std::mutex mutex;
  std::condition_variable idle;
  std::map<std::uint32_t, ServiceCallback*> byTag;
  std::map<ServiceHandle, std::uint32_t> tagOfHandle;
  int active = 0;
};
Dispatch& TheDispatch() {
  static Dispatch d;
  return d;
}
thread_local bool tDelivering = false;

// Reads a pointer stored in the library's own in-memory record (native layout, not
// wire data).
const std::uint8_t* PointerAt(const std::uint8_t* base, std::size_t offset) {
  const std::uint8_t* p = nullptr;
  std::memcpy(&p, base + offset, sizeof p);
  return p;
}
std::uint32_t WordAt(const std::uint8_t* base, std::size_t offset) {
  std::uint32_t v = 0;
  std::memcpy(&v, base + offset, sizeof v);
  return v;
}

}  // namespace

struct HidServLibrary::Exports {
  PlainFn debug, end;
  InitFn init;
  CountFn getDeviceCount;
  DeleteFn deleteFromUnitId, deleteFromHandle;
  WriteFn write, writeOne, statusGet, statusSetFeature;
  StatusWriteFn statusWrite;
  AsyncReadFn asyncRead;
};

std::unique_ptr<HidServLibrary> HidServLibrary::Load() {
  HMODULE module = LoadLibraryW(L"HidServ.dll");
  if (module == nullptr) return nullptr;
  auto e = std::make_unique<Exports>();
  bool complete = true;
  auto get = [&](auto& fn, const char* name) {
    fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(GetProcAddress(module, name));
    if (fn == nullptr) complete = false;
  };
  get(e->debug, "Debug");
  get(e->init, "Init");
  get(e->end, "End");
  get(e->getDeviceCount, "RequestGetDeviceCount");
  get(e->deleteFromUnitId, "DeleteRequestFromUnitId");
  get(e->deleteFromHandle, "DeleteRequestFromHandle");
  get(e->write, "RequestWrite");
  get(e->writeOne, "RequestWriteOne");
  get(e->statusWrite, "RequestStatusWrite");
  get(e->statusGet, "RequestStatusGet");
  get(e->asyncRead, "RequestAsyncRead");
  get(e->statusSetFeature, "RequestStatusSetFeature");
  if (!complete) {
    FreeLibrary(module);
    return nullptr;
  }
  return std::unique_ptr<HidServLibrary>(new HidServLibrary(module, std::move(e)));
}

HidServLibrary::HidServLibrary(void* module, std::unique_ptr<Exports> exports)
    : module_(module), exports_(std::move(exports)) {}

HidServLibrary::~HidServLibrary() { FreeLibrary(static_cast<HMODULE>(module_)); }

// N+0 kind; N+8 the request record R. R+0 tag; R+4 byte count or device count; R+8 the
// reply bytes; R+0x10 a record whose +0x1c points to the 'CONS' report.
int __stdcall HidServLibrary::Notify(const std::uint8_t* n) {
  if (n == nullptr) return 1;
  const std::uint8_t* r = PointerAt(n, 8);
  if (r == nullptr) return 1;
  RequestRecord request;
  request.tag = WordAt(r, 0);
  request.value = WordAt(r, 4);
  request.data = PointerAt(r, 8);
  ConsumerRecord consumer;
  if (request.tag == kTagCons) {
    if (const std::uint8_t* inner = PointerAt(r, 0x10)) {
      consumer.report = PointerAt(inner, 0x1c);
      consumer.length = consumer.report != nullptr ? 2 : 0;  // only the first two bytes are defined
      request.consumer = &consumer;
    }
  }
  NotificationRecord record;
  record.kind = static_cast<std::int32_t>(WordAt(n, 0));
  record.request = &request;

  auto& d = TheDispatch();
  ServiceCallback* target = nullptr;
  {
    std::lock_guard lock(d.mutex);
    auto it = d.byTag.find(request.tag);
    if (it == d.byTag.end()) return 1;
    target = it->second;
    ++d.active;
  }
  tDelivering = true;
  target->OnServiceNotify(record);
  tDelivering = false;
  {
    std::lock_guard lock(d.mutex);
    --d.active;
  }
  d.idle.notify_all();
  return 1;
}

std::uint32_t HidServLibrary::Recheck(const DeviceSelector& selector, ServiceCallback* callback, std::uint32_t tag,
                                      std::span<const std::uint8_t> data, std::uint32_t check) const {
  if (check != CallCheckValue(selector, CallbackWord(callback), tag, data)) return check ^ 1u;
  const auto word = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&Notify) & 0xFFFFFFFFu);
  return CallCheckValue(selector, word, tag, data);
}

void HidServLibrary::Remember(ServiceHandle handle, std::uint32_t tag, ServiceCallback* callback) {
  auto& d = TheDispatch();
  std::lock_guard lock(d.mutex);
  d.byTag[tag] = callback;
  if (handle != 0) d.tagOfHandle[handle] = tag;
}

int HidServLibrary::Init(int reserved) { return exports_->init(reserved); }

int HidServLibrary::RequestGetDeviceCount(const DeviceSelector& selector, std::uint32_t callbackWord,
                                          std::uint32_t tag, std::uint32_t check, ServiceHandle* handle) {
  const auto sel = selector.Bytes();
  return exports_->getDeviceCount(sel.data(), callbackWord, tag, check, handle);
}

int HidServLibrary::RequestWriteOne(const DeviceSelector& selector, std::uint32_t callbackWord, std::uint32_t tag,
                                    const std::uint8_t* data, std::uint32_t length, std::uint32_t check,
                                    ServiceHandle* handle) {
  const auto sel = selector.Bytes();
  return exports_->writeOne(sel.data(), callbackWord, tag, data, length, check, handle);
}

int HidServLibrary::RequestAsyncRead(const DeviceSelector& selector, ServiceCallback* callback, std::uint32_t tag,
                                     std::uint32_t check, ServiceHandle* handle) {
  const auto sel = selector.Bytes();
  Remember(0, tag, callback);
  ServiceHandle h = 0;
  const int result = exports_->asyncRead(sel.data(), &Notify, tag, Recheck(selector, callback, tag, {}, check), &h);
  Remember(h, tag, callback);
  if (handle != nullptr) *handle = h;
  return result;
}

int HidServLibrary::RequestStatusWrite(const DeviceSelector& selector, ServiceCallback* callback, std::uint32_t tag,
                                       const std::uint8_t* data, std::uint32_t length, std::uint32_t check,
                                       ServiceHandle* handle) {
  const auto sel = selector.Bytes();
  std::span<const std::uint8_t> bytes(data, data != nullptr ? length : 0);
  if (callback != nullptr) Remember(0, tag, callback);
  ServiceHandle h = 0;
  const int result = exports_->statusWrite(sel.data(), callback != nullptr ? &Notify : nullptr, tag, data, length,
                                           callback != nullptr ? Recheck(selector, callback, tag, bytes, check) : check,
                                           &h);
  if (callback != nullptr) Remember(h, tag, callback);
  if (handle != nullptr) *handle = h;
  return result;
}

int HidServLibrary::DeleteRequestFromUnitId(ServiceHandle handle) {
  if (handle == 0) return 0;
  const int result = exports_->deleteFromUnitId(handle);
  auto& d = TheDispatch();
  std::unique_lock lock(d.mutex);
  if (auto it = d.tagOfHandle.find(handle); it != d.tagOfHandle.end()) {
    const auto tag = it->second;
    d.tagOfHandle.erase(it);
    const bool tagStillUsed =
        std::any_of(d.tagOfHandle.begin(), d.tagOfHandle.end(), [&](const auto& e) { return e.second == tag; });
    if (!tagStillUsed) d.byTag.erase(tag);
  }
  // Every delivery under way on another thread ends first (the library's own threads
  // call back one process-wide function, so all of them are waited for).
  if (!tDelivering) d.idle.wait(lock, [&] { return d.active == 0; });
  return result;
}

}  // namespace vantrel::platform

#endif  // _WIN32
