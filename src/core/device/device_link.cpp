#include "core/device/device_link.h"

#include <algorithm>
#include <array>
#include <thread>

#include "core/device/commands.h"
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

bool ChangesKeyboard(std::uint8_t command) {
  switch (command) {
    case kCmdWriteDeviceState:
    case kCmdWriteParams:
    case kCmdWriteKeyTable:
    case kCmdWriteMacroArea:
    case kCmdWriteKeyColours:
      return true;
    default:
      return false;
  }
}

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

bool DeviceLink::Hold() {
  const auto self = std::this_thread::get_id();
  std::unique_lock lock(holdMutex_);
  if (holder_ == self && holdDepth_ > 0) {
    ++holdDepth_;
    return true;
  }
  const bool mayWait = self != neverWaits_;
  const auto wait = mayWait ? timing_.holdWait : std::chrono::milliseconds(0);
  if (!holdFree_.wait_for(lock, wait, [this] { return holder_ == std::thread::id(); })) return false;
  holder_ = self;
  holdDepth_ = 1;
  wrote_ = false;
  lock.unlock();
  // Other threads see the keyboard as held while this one waits for other programs.
  if (access_ == nullptr || access_->Take(mayWait)) return true;
  lock.lock();
  holder_ = std::thread::id();
  holdDepth_ = 0;
  lock.unlock();
  holdFree_.notify_one();
  return false;
}

void DeviceLink::Unhold() {
  std::unique_lock lock(holdMutex_);
  if (holder_ != std::this_thread::get_id() || holdDepth_ == 0) return;
  if (--holdDepth_ > 0) return;
  bracketsOpen_ = 0;
  const bool wrote = wrote_;
  lock.unlock();
  // holder_ stays set while the access is given back, so no other thread takes it
  // meanwhile.
  if (access_ != nullptr) access_->Give(wrote);
  lock.lock();
  holder_ = std::thread::id();
  lock.unlock();
  holdFree_.notify_one();
}

// Inside a bracket or hold of this thread (every request of an apply, of a reload) a
// request only counts itself in and out, in one pass under the hold mutex each way.
bool DeviceLink::HoldFor(std::uint8_t command) {
  const auto self = std::this_thread::get_id();
  std::unique_lock lock(holdMutex_);
  if (refusedBracket_ == self) {
    // The rest of a bracket whose begin found the keyboard busy is not sent: it would
    // land in the other program's bracket. The end closes the refusal.
    if (command == kCmdEnd) refusedBracket_ = std::thread::id();
    return false;
  }
  if (holder_ != self || holdDepth_ == 0) {
    lock.unlock();
    const bool held = Hold();
    lock.lock();
    if (!held) {
      if (command == kCmdBegin) refusedBracket_ = self;
      return false;
    }
  } else {
    ++holdDepth_;
  }
  if (ChangesKeyboard(command)) wrote_ = true;
  if (command == kCmdWriteKeyTable || command == kCmdWriteMacroArea) ++keyWrites_;
  if (command == kCmdWriteParams || command == kCmdWriteKeyColours) ++lightingWrites_;
  if (command == kCmdBegin) ++bracketsOpen_;  // this hold lasts until the end request
  return true;
}

void DeviceLink::UnholdFor(std::uint8_t command) {
  if (command == kCmdBegin) return;  // kept until the end request
  std::unique_lock lock(holdMutex_);
  if (holder_ != std::this_thread::get_id() || holdDepth_ == 0) return;
  int holds = 1;
  if (command == kCmdEnd && bracketsOpen_ > 0) {
    --bracketsOpen_;
    holds = 2;  // the end's own hold and its begin's
  }
  if (holdDepth_ > holds) {
    holdDepth_ -= holds;
    return;
  }
  // The last of the holds: given back by Unhold, with the shared access.
  holdDepth_ = 1;
  lock.unlock();
  Unhold();
}

int DeviceLink::DeviceSendOneWay(const std::uint8_t* request, std::uint32_t requestLength) {
  auto buffer = PadOrCut(request, requestLength);
  const auto check = CallCheckValue(ConfigInterfaceSelector, 0, 0, buffer);
  const std::uint8_t command = buffer[kCommandByte];
  if (!HoldFor(command)) return kDeviceBusy;
  const int written = service_.RequestWriteOne(ConfigInterfaceSelector, 0, 0, buffer.data(), kReportSize, check, nullptr);
  UnholdFor(command);
  return written;
}

DeviceResult DeviceLink::DeviceTransact(const std::uint8_t* request, std::uint32_t requestLength,
                                        std::uint8_t* reply, std::uint32_t replyCapacity, std::uint32_t& received) {
  received = 0;
  auto buffer = PadOrCut(request, requestLength);
  const auto check = CallCheckValue(ConfigInterfaceSelector, 0, 0, buffer);
  const std::uint8_t command = buffer[kCommandByte];
  // Held before the keyboard is looked for: the end of a bracket must give back the hold
  // its begin took even when the keyboard went in between, or every other thread would
  // wait for a bracket that never ends.
  if (!HoldFor(command)) return kDeviceBusy;
  struct Unholder {
    DeviceLink* link;
    std::uint8_t command;
    ~Unholder() { link->UnholdFor(command); }
  } unholder{this, command};
  if (DeviceCount() == 0) return kDeviceAbsent;

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
      expectCommand_ = command;
      expectOffset_ = ReportOffset(buffer);
      droppedForOffset_ = false;
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
      } else if (droppedForOffset_) {
        offsetEcho_[command] = OffsetEcho::Other;
      }
      busy_.store(false);
      reply_ = nullptr;
      capacity_ = 0;
    }
    if (++attempts >= kMaxAttempts) return kDeviceNoReply;
    std::this_thread::sleep_for(timing_.retryPause);
  }
}

// A reply is matched by its command byte; the keyboard need not echo the offset (one may
// answer every request with offset 0). The offset still tells a reply to another request
// with the same command (a late reply to a request that was given up, another program's
// reply on a shared keyboard) from the reply wanted, but only on a keyboard known to echo
// it: a command whose reply once echoed a non-zero offset has its replies' offsets
// compared from then on, one that answered a non-zero offset with another offset never.
// What was learnt lasts for the connection (a count change forgets it), and an attempt
// that dropped a reply for its offset and then got none unlearns it: that keyboard does
// not echo after all, and the next attempt takes what it answers.
bool DeviceLink::OffsetAnswers(std::uint16_t replyOffset) {
  OffsetEcho& echo = offsetEcho_[expectCommand_];
  if (replyOffset == expectOffset_) {
    if (expectOffset_ != 0 && echo == OffsetEcho::Unknown) echo = OffsetEcho::Echoes;
    return true;
  }
  if (echo == OffsetEcho::Echoes) {
    droppedForOffset_ = true;
    return false;
  }
  if (expectOffset_ != 0) echo = OffsetEcho::Other;
  return true;
}

void DeviceLink::AcceptReply(const RequestRecord& request) {
  {
    std::lock_guard lock(slotMutex_);
    // Nobody waits: the report answers no request that is out (a reply that came after
    // its caller gave up, a report of another program's request) and is dropped. The
    // slot is armed only just before each request is written.
    if (!busy_.load() || reply_ == nullptr) return;
    if (request.data != nullptr && request.value > kOffsetByte + 1 && request.data[kCommandByte] == expectCommand_ &&
        !OffsetAnswers(LoadU16(std::span(request.data, request.value), kOffsetByte))) {
      return;
    }
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
    {
      // Another keyboard may answer differently.
      std::lock_guard lock(slotMutex_);
      offsetEcho_.fill(OffsetEcho::Unknown);
    }
    if (listener != nullptr) listener->OnDeviceCountChanged(static_cast<int>(request->value));
  }
  return 1;
}

}  // namespace vantrel::device
