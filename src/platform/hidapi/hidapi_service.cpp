#include "platform/hidapi/hidapi_service.h"

#include <algorithm>
#include <cerrno>
#include <set>
#include <system_error>
#include <utility>

#include "core/device/config_report.h"

namespace vantrel::platform {

using namespace vantrel::device;

namespace {

// Indexes into bound_: the order of the three selectors the program uses.
constexpr std::array<DeviceSelector, 3> kSelectors = {ConfigInterfaceSelector, ConsumerInterfaceSelector,
                                                      LedInterfaceSelector};
constexpr std::size_t kConfigIndex = 0;

// Input reports of the keyboard are 64 bytes (report id first); the buffer is larger so
// that a longer report is delivered whole rather than cut.
constexpr std::size_t kReadCapacity = 128;

int SelectorIndex(const DeviceSelector& selector) {
  for (std::size_t i = 0; i < kSelectors.size(); ++i) {
    if (kSelectors[i] == selector) return static_cast<int>(i);
  }
  return -1;
}

bool Matches(const HidInterfaceInfo& info, const DeviceSelector& selector) {
  return info.vendorId == selector.vendorId && info.productId == selector.productId &&
         info.usagePage == selector.usagePage && info.usage == selector.usage;
}

// Distinct interfaces (path and interface number) that carry the selector's collection:
// an interface listed once per collection counts once.
int CountMatches(const std::vector<HidInterfaceInfo>& list, const DeviceSelector& selector) {
  std::set<std::pair<std::string, int>> seen;
  for (const auto& info : list) {
    if (Matches(info, selector)) seen.emplace(info.path, info.interfaceNumber);
  }
  return static_cast<int>(seen.size());
}

}  // namespace

struct HidapiService::Interface {
  std::string path;
  int interfaceNumber = -1;
  std::mutex io;               // every call on the handle except the reader's reads
  HidHandle handle = nullptr;  // set before the reader starts, cleared after it ended
  std::atomic<bool> stop{false};
  std::atomic<bool> failed{false};  // a read or write reported the device gone
  std::thread reader;
};

bool AccessProblem::PermissionDenied() const { return error == EACCES || error == EPERM; }

std::string DescribeAccessProblem(const AccessProblem& problem) {
  std::string text = "a keyboard is attached, but its device node " + problem.node + " cannot be opened: ";
  if (problem.PermissionDenied()) {
    text +=
        "permission denied\n"
        "install the udev rule that gives the logged-in user access to the keyboard, then plug it in again:\n"
        "  sudo cp packaging/70-vantrel.rules /etc/udev/rules.d/ && sudo udevadm control --reload && "
        "sudo udevadm trigger";
  } else {
    text += std::generic_category().message(problem.error);
  }
  return text;
}

HidapiService::HidapiService(HidapiFunctions functions, HidapiOptions options)
    : fns_(std::move(functions)), options_(options) {}

HidapiService::~HidapiService() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  hotplugWake_.notify_all();
  if (monitorOpened_) fns_.monitorWake();
  if (hotplugThread_.joinable()) hotplugThread_.join();

  std::vector<std::shared_ptr<Interface>> open;
  {
    std::lock_guard lock(mutex_);
    for (auto& b : bound_) {
      if (b && std::find(open.begin(), open.end(), b) == open.end()) open.push_back(b);
      b.reset();
    }
  }
  // All readers are told first, so their last reads time out together.
  for (const auto& iface : open) iface->stop.store(true);
  for (const auto& iface : open) CloseInterface(iface);
  // Readers may wake the watcher until they have ended, so it closes last.
  if (monitorOpened_) fns_.monitorClose();
  if (initialised_) fns_.exit();
}

int HidapiService::Init(int) {
  std::lock_guard lock(initMutex_);
  if (initialised_) return 1;
  if (fns_.init() != 0) return 0;
  // The watcher starts before the first look at the enumeration, so a change between
  // the two is not missed.
  monitorOpened_.store(fns_.monitorOpen());
  watching_.store(monitorOpened_.load());
  Rescan(false);
  hotplugThread_ = std::thread([this] { HotplugLoop(); });
  initialised_ = true;
  return 1;
}

int HidapiService::RequestGetDeviceCount(const DeviceSelector& selector, std::uint32_t callbackWord,
                                         std::uint32_t tag, std::uint32_t check, ServiceHandle*) {
  if (check != CallCheckValue(selector, callbackWord, tag)) return 0;
  std::lock_guard lock(mutex_);
  return CountMatches(enumeration_, selector);
}

int HidapiService::RequestWriteOne(const DeviceSelector& selector, std::uint32_t callbackWord, std::uint32_t tag,
                                   const std::uint8_t* data, std::uint32_t length, std::uint32_t check,
                                   ServiceHandle*) {
  if (data == nullptr || length != kReportSize) return 0;
  if (check != CallCheckValue(selector, callbackWord, tag, {data, length})) return 0;
  return WriteReport(selector, data, length);
}

int HidapiService::RequestAsyncRead(const DeviceSelector& selector, ServiceCallback* callback, std::uint32_t tag,
                                    std::uint32_t check, ServiceHandle* handle) {
  if (callback == nullptr || check != CallCheckValue(selector, CallbackWord(callback), tag)) return 0;
  std::lock_guard lock(mutex_);
  const auto h = nextHandle_++;
  registrations_[h] = {selector, callback, tag};
  if (handle != nullptr) *handle = h;
  return 1;
}

int HidapiService::RequestStatusWrite(const DeviceSelector& selector, ServiceCallback* callback, std::uint32_t tag,
                                      const std::uint8_t* data, std::uint32_t length, std::uint32_t check,
                                      ServiceHandle* handle) {
  if (data == nullptr || length == 0 || length > kReportSize) return 0;
  if (check != CallCheckValue(selector, CallbackWord(callback), tag, {data, length})) return 0;
  if (WriteReport(selector, data, length) <= 0) return 0;
  if (callback != nullptr) {
    std::lock_guard lock(mutex_);
    const auto h = nextHandle_++;
    registrations_[h] = {selector, callback, tag};
    if (handle != nullptr) *handle = h;
  }
  return 1;
}

int HidapiService::DeleteRequestFromUnitId(ServiceHandle handle) {
  if (handle == 0) return 0;
  std::unique_lock lock(mutex_);
  const int erased = registrations_.erase(handle) > 0 ? 1 : 0;
  // A delivery to that registration on another thread finishes first. One on this
  // thread (the callback deleting its own or a sibling registration) cannot be waited
  // for and is already past the point of use.
  const auto self = std::this_thread::get_id();
  delivered_.wait(lock, [&] {
    auto [first, last] = inFlight_.equal_range(handle);
    return std::all_of(first, last, [&](const auto& entry) { return entry.second == self; });
  });
  return erased;
}

std::vector<AccessProblem> HidapiService::AccessProblems() const {
  std::lock_guard lock(mutex_);
  return problems_;
}

std::shared_ptr<HidapiService::Interface> HidapiService::BoundInterface(const DeviceSelector& selector) const {
  const int index = SelectorIndex(selector);
  if (index < 0) return nullptr;
  std::lock_guard lock(mutex_);
  return bound_[static_cast<std::size_t>(index)];
}

// Byte 0 of every report the program sends is its report id (4 for configuration
// reports, 5 for the LED status), which is what hid_write expects first: the bytes go
// out as they are, with no extra leading zero, so the device receives exactly the
// report that was framed.
int HidapiService::WriteReport(const DeviceSelector& selector, const std::uint8_t* data, std::uint32_t length) {
  const auto iface = BoundInterface(selector);
  if (!iface) return 0;
  int written;
  {
    std::lock_guard io(iface->io);
    if (iface->handle == nullptr || iface->failed.load()) return 0;
    written = fns_.write(iface->handle, data, length);
  }
  if (written < 0) {
    iface->failed.store(true);
    RequestRescan();
    return 0;
  }
  return written > 0 ? 1 : 0;
}

void HidapiService::Rescan(bool notify) {
  auto list = fns_.enumerate(kVendorId, kProductId);
  std::erase_if(list, [](const HidInterfaceInfo& i) { return i.vendorId != kVendorId || i.productId != kProductId; });

  // The interface each selector should use: the first that carries its collection,
  // preferring the configuration interface's serial number when several keyboards are
  // attached.
  std::array<const HidInterfaceInfo*, kSelectorCount> want{};
  for (std::size_t i = 0; i < kSelectorCount; ++i) {
    for (const auto& info : list) {
      if (!Matches(info, kSelectors[i])) continue;
      if (want[i] == nullptr) want[i] = &info;
      if (i != kConfigIndex && want[kConfigIndex] != nullptr && !info.serialNumber.empty() &&
          info.serialNumber == want[kConfigIndex]->serialNumber) {
        want[i] = &info;
        break;
      }
    }
  }

  // bound_ is written only here (and in the destructor after this thread ended), so
  // this thread may read it without the lock.
  std::vector<std::shared_ptr<Interface>> dropped;
  {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < kSelectorCount; ++i) {
      auto& b = bound_[i];
      if (!b) continue;
      const bool keep = !b->failed.load() && want[i] != nullptr && b->path == want[i]->path &&
                        b->interfaceNumber == want[i]->interfaceNumber;
      if (!keep) {
        if (std::find(dropped.begin(), dropped.end(), b) == dropped.end()) dropped.push_back(b);
        b.reset();
      }
    }
  }
  std::erase_if(dropped, [&](const auto& iface) { return std::find(bound_.begin(), bound_.end(), iface) != bound_.end(); });
  for (const auto& iface : dropped) iface->stop.store(true);
  for (const auto& iface : dropped) CloseInterface(iface);

  std::vector<AccessProblem> problems;
  for (std::size_t i = 0; i < kSelectorCount; ++i) {
    if (want[i] == nullptr || bound_[i]) continue;
    // Two selectors on one interface (its collections listed separately) share one handle.
    std::shared_ptr<Interface> iface;
    for (const auto& b : bound_) {
      if (b && b->path == want[i]->path && b->interfaceNumber == want[i]->interfaceNumber) iface = b;
    }
    if (!iface) {
      const bool alreadyRefused = std::any_of(problems.begin(), problems.end(),
                                              [&](const AccessProblem& p) { return p.node == want[i]->path; });
      if (alreadyRefused) continue;
      const HidOpenResult opened = fns_.open(want[i]->path);
      if (opened.handle == nullptr) {
        problems.push_back({want[i]->path, std::string(InterfaceName(kSelectors[i])), opened.error});
        continue;
      }
      iface = std::make_shared<Interface>();
      iface->path = want[i]->path;
      iface->interfaceNumber = want[i]->interfaceNumber;
      iface->handle = opened.handle;
      {
        std::lock_guard lock(mutex_);
        bound_[i] = iface;
      }
      iface->reader = std::thread([this, raw = iface.get()] { ReaderLoop(raw); });
      continue;
    }
    std::lock_guard lock(mutex_);
    bound_[i] = iface;
  }

  int count;
  bool changed;
  {
    std::lock_guard lock(mutex_);
    enumeration_ = std::move(list);
    problems_ = std::move(problems);
    count = CountMatches(enumeration_, ConfigInterfaceSelector);
    changed = count != lastCount_;
    lastCount_ = count;
  }
  if (notify && changed) DeliverCount(count);
}

void HidapiService::CloseInterface(const std::shared_ptr<Interface>& iface) {
  iface->stop.store(true);
  if (iface->reader.joinable()) iface->reader.join();
  std::lock_guard io(iface->io);
  if (iface->handle != nullptr) fns_.close(iface->handle);
  iface->handle = nullptr;
}

void HidapiService::ReaderLoop(Interface* iface) {
  std::array<std::uint8_t, kReadCapacity> buffer{};
  const int timeout = static_cast<int>(options_.readTimeout.count());
  // The handle does not change while this thread runs: it is closed after the join.
  // Reads are the one hidapi call that may run beside the writes of other threads.
  while (!iface->stop.load()) {
    const int n = fns_.read(iface->handle, buffer.data(), buffer.size(), timeout);
    if (n < 0) {
      iface->failed.store(true);
      RequestRescan();
      return;
    }
    if (n == 0) continue;
    DeliverInput(iface, std::span<const std::uint8_t>(buffer.data(), std::min<std::size_t>(n, buffer.size())));
  }
}

void HidapiService::RequestRescan() {
  {
    std::lock_guard lock(mutex_);
    rescanRequested_ = true;
  }
  hotplugWake_.notify_all();
  if (monitorOpened_) fns_.monitorWake();
}

void HidapiService::HotplugLoop() {
  // Rescans asked for by a failed read or write are spaced at least this far apart, so
  // an interface that fails again at once is not reopened in a busy loop.
  constexpr auto kRequestGap = std::chrono::milliseconds(20);
  auto lastRequested = std::chrono::steady_clock::time_point{};
  for (;;) {
    bool due = false;  // a node changed, the watcher broke, or a poll round is up
    if (watching_.load()) {
      const int ready = fns_.monitorWait(static_cast<int>(options_.monitorTimeout.count()));
      if (ready > 0 && fns_.monitorReceive() > 0) due = true;
      if (ready < 0) {
        // The watcher broke: fall back to reading the enumeration once a second. The
        // watcher stays open until the end, since readers may still wake it.
        watching_.store(false);
        due = true;
      }
    } else {
      std::unique_lock lock(mutex_);
      due = !hotplugWake_.wait_for(lock, options_.pollInterval, [this] { return stop_ || rescanRequested_; });
    }
    bool requested;
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
      requested = std::exchange(rescanRequested_, false);
    }
    if (!due && requested) {
      const auto now = std::chrono::steady_clock::now();
      if (now - lastRequested < kRequestGap) std::this_thread::sleep_until(lastRequested + kRequestGap);
      lastRequested = std::chrono::steady_clock::now();
    }
    if (due || requested) Rescan(true);
  }
}

void HidapiService::DeliverInput(const Interface* iface, std::span<const std::uint8_t> report) {
  std::vector<ServiceHandle> targets;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [handle, reg] : registrations_) {
      for (std::size_t i = 0; i < kSelectorCount; ++i) {
        if (bound_[i].get() == iface && reg.selector == kSelectors[i]) {
          targets.push_back(handle);
          break;
        }
      }
    }
  }
  for (auto h : targets) DeliverTo(h, kNotifyInputReport, report, 0);
}

void HidapiService::DeliverCount(int count) {
  std::vector<ServiceHandle> targets;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [handle, reg] : registrations_) {
      if (reg.selector == ConfigInterfaceSelector && reg.tag == kTagCtrl) targets.push_back(handle);
    }
  }
  for (auto h : targets) DeliverTo(h, kNotifyCountChanged, {}, static_cast<std::uint32_t>(count));
}

void HidapiService::DeliverTo(ServiceHandle handle, std::int32_t kind, std::span<const std::uint8_t> bytes,
                              std::uint32_t count) {
  ServiceCallback* callback;
  std::uint32_t tag;
  std::multimap<ServiceHandle, std::thread::id>::iterator entry;
  {
    std::lock_guard lock(mutex_);
    // Looked up again: the registration may have been deleted since the targets were
    // collected, and is then skipped.
    auto it = registrations_.find(handle);
    if (it == registrations_.end()) return;
    callback = it->second.callback;
    tag = it->second.tag;
    entry = inFlight_.emplace(handle, std::this_thread::get_id());
  }

  ConsumerRecord consumer{bytes.data(), static_cast<std::uint32_t>(bytes.size())};
  RequestRecord request;
  request.tag = tag;
  if (kind == kNotifyCountChanged) {
    request.value = count;
  } else {
    request.value = static_cast<std::uint32_t>(bytes.size());
    request.data = bytes.data();
    if (tag == kTagCons) request.consumer = &consumer;
  }
  NotificationRecord record;
  record.kind = kind;
  record.request = &request;
  callback->OnServiceNotify(record);

  {
    std::lock_guard lock(mutex_);
    inFlight_.erase(entry);
  }
  delivered_.notify_all();
}

}  // namespace vantrel::platform
