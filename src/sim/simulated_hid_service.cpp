#include "sim/simulated_hid_service.h"

#include <algorithm>

#include "core/util/bytes.h"

namespace vantrel::sim {

using namespace vantrel::device;
using Clock = std::chrono::steady_clock;

void PreciseSleepUntil(Clock::time_point until) {
  // Covers the timer slack (50 us for an ordinary thread) and the wake-up itself.
  constexpr auto kSpin = std::chrono::microseconds(150);
  const auto now = Clock::now();
  if (until - now > kSpin) std::this_thread::sleep_until(until - kSpin);
  // Spun without yielding: on a busy machine a yield hands the processor to another
  // program for the rest of its time slice, milliseconds instead of microseconds.
  while (Clock::now() < until) {
  }
}

SimulatedHidService::SimulatedHidService(VirtualKeyboard& keyboard, SimOptions options)
    : keyboard_(keyboard), options_(std::move(options)) {
  lastCount_ = keyboard_.DeviceCount();
  thread_ = std::thread([this] { Run(); });
}

SimulatedHidService::~SimulatedHidService() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

int SimulatedHidService::Init(int) { return 1; }

int SimulatedHidService::RequestGetDeviceCount(const DeviceSelector& selector, std::uint32_t callbackWord,
                                               std::uint32_t tag, std::uint32_t check, ServiceHandle*) {
  if (check != CallCheckValue(selector, callbackWord, tag)) return 0;
  if (selector.vendorId != kVendorId || selector.productId != kProductId) return 0;
  std::lock_guard lock(mutex_);
  return keyboard_.DeviceCount();
}

int SimulatedHidService::RequestWriteOne(const DeviceSelector& selector, std::uint32_t callbackWord,
                                         std::uint32_t tag, const std::uint8_t* data, std::uint32_t length,
                                         std::uint32_t check, ServiceHandle*) {
  if (data == nullptr || length != kReportSize) return 0;
  if (check != CallCheckValue(selector, callbackWord, tag, {data, length})) return 0;
  if (selector != ConfigInterfaceSelector) return 0;
  // The write hands the report over and returns at once; the USB frames are counted in
  // the reply's due time, one frame for the report and one for the reply. The caller so
  // waits for one thing only, the reply. A writer also put to sleep for the report's
  // frame woke up late whenever the machine was busy (a timer wake-up on a busy
  // processor waits for the running program's time slice), and that came on top.
  const auto sent = Clock::now() + options_.latency;
  std::unique_lock lock(mutex_);
  if (keyboard_.DeviceCount() == 0) return 0;
  const auto number = ++configRequests_;
  const auto fault = options_.faults.At(number);
  if (fault == Fault::kUnplug) {
    keyboard_.SetPresent(false);
    CountChanged();
    return 1;
  }
  std::array<std::uint8_t, kReportSize> request{};
  std::copy_n(data, kReportSize, request.begin());
  std::optional<ConfigReport> reply;
  if (fault == Fault::kStatusFF || fault == Fault::kStatusFE) {
    // The keyboard refuses the request: nothing is stored, the reply carries the status.
    reply.emplace();
    std::copy_n(request.begin(), kStatusByte, reply->begin());
    (*reply)[kStatusByte] = fault == Fault::kStatusFF ? kStatusFailed : kStatusRejected;
  } else {
    reply = keyboard_.HandleConfigReport(request, fault == Fault::kCorrupt);
  }
  if (keyboard_.DeviceCount() == 0) CountChanged();  // the boot request
  if (!reply || fault == Fault::kDrop) return 1;
  if (fault == Fault::kEcho) (*reply)[kCommandByte] ^= 0x80;
  if (fault && keyboard_.GetQuirks().offsetZero) StoreU16(*reply, kOffsetByte, 0);
  if (fault) SetReportChecksum(*reply);
  const auto due = sent + (fault == Fault::kSlow ? options_.slowReply : options_.latency);
  Enqueue({due, kNotifyInputReport, ConfigInterfaceSelector, {reply->begin(), reply->end()}, 0}, false);
  // Woken after the lock is released, so the notification thread does not wake only to
  // wait for the lock.
  lock.unlock();
  wake_.notify_all();
  return 1;
}

int SimulatedHidService::RequestAsyncRead(const DeviceSelector& selector, ServiceCallback* callback,
                                          std::uint32_t tag, std::uint32_t check, ServiceHandle* handle) {
  if (check != CallCheckValue(selector, CallbackWord(callback), tag) || callback == nullptr) return 0;
  std::lock_guard lock(mutex_);
  const auto h = nextHandle_++;
  registrations_[h] = {selector, callback, tag};
  if (handle != nullptr) *handle = h;
  return 1;
}

int SimulatedHidService::RequestStatusWrite(const DeviceSelector& selector, ServiceCallback* callback,
                                            std::uint32_t tag, const std::uint8_t* data, std::uint32_t length,
                                            std::uint32_t check, ServiceHandle* handle) {
  std::span<const std::uint8_t> bytes(data, data != nullptr ? length : 0);
  if (check != CallCheckValue(selector, CallbackWord(callback), tag, bytes)) return 0;
  if (selector != LedInterfaceSelector) return 0;
  std::lock_guard lock(mutex_);
  if (keyboard_.DeviceCount() == 0) return 0;
  keyboard_.StoreLedStatus(bytes);
  if (callback != nullptr) {
    const auto h = nextHandle_++;
    registrations_[h] = {selector, callback, tag};
    if (handle != nullptr) *handle = h;
  }
  return 1;
}

int SimulatedHidService::DeleteRequestFromUnitId(ServiceHandle handle) {
  if (handle == 0) return 0;
  std::unique_lock lock(mutex_);
  const int erased = registrations_.erase(handle) > 0 ? 1 : 0;
  // A notification already on its way to that callback finishes first, so the caller may
  // destroy the callback object once this returns.
  if (std::this_thread::get_id() != thread_.get_id()) idle_.wait(lock, [this] { return !delivering_; });
  return erased;
}

void SimulatedHidService::Unplug() {
  std::lock_guard lock(mutex_);
  keyboard_.SetPresent(false);
  CountChanged();
}

void SimulatedHidService::Plug() {
  std::lock_guard lock(mutex_);
  keyboard_.SetPresent(true);
  keyboard_.SetBootMode(false);
  CountChanged();
}

void SimulatedHidService::SendKeyboardEvent(std::uint16_t value) {
  std::lock_guard lock(mutex_);
  std::vector<std::uint8_t> report{static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
  Enqueue({Clock::now() + options_.latency, kNotifyInputReport, ConsumerInterfaceSelector, std::move(report), 0});
}

void SimulatedHidService::ResetKeyboard() {
  std::lock_guard lock(mutex_);
  // The factory state says "plugged in"; a keyboard reset while unplugged stays unplugged
  // until it is plugged in (with its count change).
  const bool present = keyboard_.Present();
  keyboard_.ResetToFactory();
  keyboard_.SetPresent(present);
}

void SimulatedHidService::SendUnsolicitedReply(const ConfigReport& report) {
  std::lock_guard lock(mutex_);
  Enqueue({Clock::now(), kNotifyInputReport, ConfigInterfaceSelector, {report.begin(), report.end()}, 0});
}

void SimulatedHidService::SetFaults(FaultPlan faults) {
  std::lock_guard lock(mutex_);
  options_.faults = std::move(faults);
}

std::uint64_t SimulatedHidService::ConfigRequests() const {
  std::lock_guard lock(mutex_);
  return configRequests_;
}

void SimulatedHidService::Drain() {
  std::unique_lock lock(mutex_);
  drained_.wait(lock, [this] { return queue_.empty() && !delivering_; });
}

// Called with mutex_ held.
void SimulatedHidService::CountChanged() {
  const int count = keyboard_.DeviceCount();
  if (count == lastCount_) return;
  lastCount_ = count;
  Enqueue({Clock::now(), kNotifyCountChanged, ConfigInterfaceSelector, {}, static_cast<std::uint32_t>(count)});
}

// Called with mutex_ held. Keeps the queue ordered by due time, stable for equal times.
void SimulatedHidService::Enqueue(Delivery delivery, bool wake) {
  auto pos = std::upper_bound(queue_.begin(), queue_.end(), delivery.due,
                              [](const Clock::time_point& t, const Delivery& d) { return t < d.due; });
  queue_.insert(pos, std::move(delivery));
  if (wake) wake_.notify_all();
}

void SimulatedHidService::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (stop_) return;
    const auto due = queue_.front().due;
    if (Clock::now() < due) {
      lock.unlock();
      PreciseSleepUntil(std::min(due, Clock::now() + std::chrono::milliseconds(5)));
      lock.lock();
      continue;  // a sooner delivery may have been queued meanwhile
    }
    Delivery d = std::move(queue_.front());
    queue_.pop_front();
    std::vector<Registration> targets;
    for (const auto& [handle, reg] : registrations_) {
      if (reg.selector == d.selector && (d.kind == kNotifyInputReport || reg.tag == kTagCtrl)) targets.push_back(reg);
    }
    delivering_ = true;
    lock.unlock();

    ConsumerRecord consumer{d.bytes.data(), static_cast<std::uint32_t>(d.bytes.size())};
    for (const auto& reg : targets) {
      RequestRecord request;
      request.tag = reg.tag;
      if (d.kind == kNotifyCountChanged) {
        request.value = d.count;
      } else {
        request.value = static_cast<std::uint32_t>(d.bytes.size());
        request.data = d.bytes.data();
        if (reg.tag == kTagCons) request.consumer = &consumer;
      }
      NotificationRecord record;
      record.kind = d.kind;
      record.request = &request;
      reg.callback->OnServiceNotify(record);
    }

    lock.lock();
    delivering_ = false;
    idle_.notify_all();
    if (queue_.empty()) drained_.notify_all();
  }
}

}  // namespace vantrel::sim
