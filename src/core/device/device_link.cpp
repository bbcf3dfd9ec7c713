#include "core/device/device_link.h"

#include <algorithm>
#include <array>
#include <thread>

#include "core/device/config_report.h"
#include "core/util/bytes.h"

namespace vantrel::device {
namespace {


std::array<std::uint8_t, kReportSize> PadOrCut(const std::uint8_t* request, std::uint32_t requestLength) {
  std::array<std::uint8_t, kReportSize> buffer{};
  const auto n = std::min<std::uint32_t>(requestLength, kReportSize);
  if (request != nullptr) std::copy_n(request, n, buffer.begin());
  return buffer;
}

}  // namespace

DeviceLink::DeviceLink(HidService& service, LinkTiming timing) : service_(service), timing_(timing) {}

DeviceLink::~DeviceLink() {
  if (ctrlHandle_ != 0) service_.DeleteRequestFromUnitId(ctrlHandle_);
}

void DeviceLink::RegisterRead(const DeviceSelector& selector, std::uint32_t tag, ServiceHandle* handle) {
  service_.DeleteRequestFromUnitId(*handle);
  *handle = 0;
  const auto check = CallCheckValue(selector, CallbackWord(this), tag);
  service_.RequestAsyncRead(selector, this, tag, check, handle);
}

void DeviceLink::RegisterConfigRead() { RegisterRead(ConfigInterfaceSelector, kTagCtrl, &ctrlHandle_); }

int DeviceLink::DeviceCount() {
  const auto check = CallCheckValue(ConfigInterfaceSelector, 0, 0);
  return service_.RequestGetDeviceCount(ConfigInterfaceSelector, 0, 0, check, nullptr);
}

int DeviceLink::DeviceSendOneWay(const std::uint8_t* request, std::uint32_t requestLength) {
  auto buffer = PadOrCut(request, requestLength);
  const auto check = CallCheckValue(ConfigInterfaceSelector, 0, 0, buffer);
  return service_.RequestWriteOne(ConfigInterfaceSelector, 0, 0, buffer.data(), kReportSize, check, nullptr);
}

DeviceResult DeviceLink::DeviceTransact(const std::uint8_t* request, std::uint32_t requestLength,
                                        std::uint8_t* reply, std::uint32_t replyCapacity, std::uint32_t& received) {
  received = 0;
  if (DeviceCount() == 0) return kDeviceAbsent;

  auto buffer = PadOrCut(request, requestLength);
  const auto check = CallCheckValue(ConfigInterfaceSelector, 0, 0, buffer);

  // Waiting callers queue here instead of pausing and taking the slot by force, so the
  // slot never serves two transactions at once.
  std::lock_guard serial(transactMutex_);

  auto release = [this] {
    std::lock_guard lock(slotMutex_);
    busy_.store(false);
    reply_ = nullptr;
    capacity_ = 0;
  };

  int attempts = 0;
  for (;;) {
    {
      std::lock_guard lock(slotMutex_);
      reply_ = reply;
      capacity_ = replyCapacity;
      received_ = 0;
      replySignalled_ = false;  // reset the event before every write
      replyHint_.store(false, std::memory_order_relaxed);
      busy_.store(true);
    }
    if (service_.RequestWriteOne(ConfigInterfaceSelector, 0, 0, buffer.data(), kReportSize, check, nullptr) <= 0) {
      release();
      return kDeviceWriteRefused;
    }

    // Poll briefly before sleeping. The hint only ends the polling; the reply itself is
    // taken under the slot lock below, exactly as after a sleep.
    const auto pollUntil = std::chrono::steady_clock::now() + timing_.replyPoll;
    while (!replyHint_.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < pollUntil) {
      std::this_thread::yield();
    }
    bool signalled;
    {
      std::unique_lock lock(slotMutex_);
      signalled = replyEvent_.wait_for(lock, timing_.replyTimeout, [this] { return replySignalled_; });
      replySignalled_ = false;  // auto-reset
      if (signalled) {
        const bool echoes = capacity_ > kCommandByte && received_ > kCommandByte &&
                            reply[kCommandByte] == buffer[kCommandByte];
        if (echoes) {
          const bool failureStatus = received_ > kStatusByte &&
                                     (reply[kStatusByte] == kStatusFailed || reply[kStatusByte] == kStatusRejected);
          if (!failureStatus || attempts + 1 >= kMaxAttempts) {
            // Success, or the third failure status: the caller examines the status byte.
            received = received_;
            busy_.store(false);
            reply_ = nullptr;
            capacity_ = 0;
            return kDeviceOk;
          }
        }
        // A foreign echo counts like a lost reply; a failure status is retried.
      }
      busy_.store(false);
      reply_ = nullptr;
      capacity_ = 0;
    }
    if (++attempts >= kMaxAttempts) return kDeviceNoReply;
    std::this_thread::sleep_for(timing_.retryPause);
  }
}

void DeviceLink::AcceptReply(const RequestRecord& request) {
  {
    std::lock_guard lock(slotMutex_);
    if (!busy_.load() || reply_ == nullptr) return;  // nobody waits: the report is dropped
    const auto n = std::min(request.value, capacity_);
    if (request.data != nullptr) std::copy_n(request.data, n, reply_);
    received_ = request.data != nullptr ? n : 0;
    replySignalled_ = true;
    replyHint_.store(true, std::memory_order_release);
  }
  // Signalled after the slot is unlocked, so the woken caller does not block on it again
  // at once. The link outlives this call: its destructor deletes the registration, and
  // the service lets a delivery in progress finish before that returns.
  replyEvent_.notify_one();
}

int DeviceLink::OnServiceNotify(const NotificationRecord& record) {
  const RequestRecord* request = record.request;
  if (request == nullptr) return 1;
  NotifyListener* listener = listener_.load();
  if (record.kind == kNotifyInputReport && request->tag == kTagCtrl) {
    AcceptReply(*request);
  } else if (record.kind == kNotifyInputReport && request->tag == kTagCons) {
    const ConsumerRecord* consumer = request->consumer;
    if (listener != nullptr && consumer != nullptr && consumer->report != nullptr && consumer->length >= 2) {
      listener->OnKeyboardEvent(LoadU16(std::span(consumer->report, consumer->length), 0));
    }
  } else if (record.kind == kNotifyCountChanged && request->tag == kTagCtrl) {
    if (listener != nullptr) listener->OnDeviceCountChanged(static_cast<int>(request->value));
  }
  return 1;
}

}  // namespace vantrel::device
