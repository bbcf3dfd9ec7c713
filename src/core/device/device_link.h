// The request/reply transaction with the keyboard's configuration interface, the
// one-way send, the presence probe, and the service callback that routes every
// notification.
//
// One transaction is out at a time. Callers queue on a mutex; the notification thread
// sees the slot only through an atomic busy flag and the slot mutex, so a reply is
// copied only into the buffer of the transaction that is waiting for it.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "core/device/device_result.h"
#include "core/device/hid_service.h"

namespace vantrel::device {

// The waits of the transaction. Defaults are the keyboard's; tests shorten them.
struct LinkTiming {
  std::chrono::milliseconds replyTimeout{1000};  // wait for one reply
  std::chrono::milliseconds retryPause{10};      // pause before a repeated write
  std::chrono::milliseconds endPause{10};        // pause before the end-of-bracket command
  // How long the waiting caller polls for the reply before it sleeps on the reply event.
  // A backend that answers at once then hands the reply over without having to wake a
  // sleeping thread; a slow one costs this much polling per attempt.
  std::chrono::microseconds replyPoll{30};
  // How long a thread waits for another thread of this program that holds the keyboard
  // (a bracket, a read sequence); the wait for another program is the access's own.
  std::chrono::milliseconds holdWait{15000};
};

// The keyboard as shared with other programs: taken before a bracket or a read sequence
// that must not meet another program's requests, given back after it. Implemented by
// the device stack (a lock file per keyboard); the link calls it only from the thread
// that holds the keyboard, never from two threads at once.
class SharedAccess {
 public:
  virtual ~SharedAccess() = default;
  // Waits (bounded; not at all unless `mayWait`) until no other program holds the
  // keyboard. False when one still does.
  virtual bool Take(bool mayWait) = 0;
  // `wrote`: a request that changes the keyboard's memory was sent while it was held.
  virtual void Give(bool wrote) = 0;
};

// True for the commands that change the keyboard's memory.
bool ChangesKeyboard(std::uint8_t command);

// Receives the notifications that are not transaction replies: device count changes
// and keyboard ('CONS') events. Called on the service's thread.
class NotifyListener {
 public:
  virtual ~NotifyListener() = default;
  virtual void OnDeviceCountChanged(int count) = 0;
  virtual void OnKeyboardEvent(std::uint16_t value) = 0;
};

class DeviceLink final : public ServiceCallback {
 public:
  static constexpr int kMaxAttempts = 3;

  explicit DeviceLink(HidService& service, LinkTiming timing = {});
  // Ends the standing registration, so no notification reaches a destroyed link.
  ~DeviceLink() override;
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  // Registers the standing 'CTRL' read on the configuration interface (replies and
  // count changes), deleting the previous registration first.
  void RegisterConfigRead();
  // Registers a read with this link as callback; deletes *handle first.
  void RegisterRead(const DeviceSelector& selector, std::uint32_t tag, ServiceHandle* handle);

  // Sends the request (padded with zeros or cut to 64 bytes) and waits for the reply
  // that echoes its command byte; up to three attempts. Returns 1, 0, -1 or -2.
  DeviceResult DeviceTransact(const std::uint8_t* request, std::uint32_t requestLength, std::uint8_t* reply,
                              std::uint32_t replyCapacity, std::uint32_t& received);
  // One write of the request padded or cut to 64 bytes; no probe, no wait, no retry.
  int DeviceSendOneWay(const std::uint8_t* request, std::uint32_t requestLength);
  // Keyboards the service sees on the configuration interface.
  int DeviceCount();

  int OnServiceNotify(const NotificationRecord& record) override;

  // Holds the keyboard for the calling thread: other threads of this program wait for it
  // (bounded), and the shared access keeps other programs out. Holds nest. False (nothing
  // held) when it stayed busy. Every transaction holds it for its own duration; a begin
  // request holds it until its end request, so a bracket is never interleaved.
  bool Hold();
  void Unhold();
  // Set before the link is used from more than one thread; null: this program only.
  void SetSharedAccess(SharedAccess* access) { access_ = access; }
  // A thread that must never wait for the keyboard (the UI thread: a job holding the
  // keyboard may be waiting for it). Its holds only take a free keyboard, else fail as
  // busy. Set before the link is used from more than one thread; none: every thread waits.
  void SetNeverWaitThread(std::thread::id id) { neverWaits_ = id; }

  void SetListener(NotifyListener* listener) { listener_.store(listener); }

  // How many write requests went out to each area so far: the key tables and the macro
  // area, and the lighting area with the key colours. A view of an area is current while
  // its count is the one it was taken at (and no other program changed the keyboard).
  std::uint64_t KeyWrites() const { return keyWrites_.load(); }
  std::uint64_t LightingWrites() const { return lightingWrites_.load(); }
  HidService& Service() { return service_; }
  const LinkTiming& Timing() const { return timing_; }

 private:
  void AcceptReply(const RequestRecord& request);
  // Whether a reply of the expected command that carries `replyOffset` answers the
  // request that is out. Called under slotMutex_.
  bool OffsetAnswers(std::uint16_t replyOffset);
  // Around one request: the hold of the transaction, and of the bracket it opens or
  // closes. False: the keyboard is busy (a begin refused makes its whole bracket busy).
  bool HoldFor(std::uint8_t command);
  void UnholdFor(std::uint8_t command);

  SharedAccess* access_ = nullptr;
  std::thread::id neverWaits_;
  std::mutex holdMutex_;
  std::condition_variable holdFree_;
  std::thread::id holder_;   // the thread that holds the keyboard; none: free
  int holdDepth_ = 0;        // nested holds of holder_; 0 while giving back
  int bracketsOpen_ = 0;     // begin requests of holder_ not yet ended
  std::atomic<std::uint64_t> keyWrites_{0};
  std::atomic<std::uint64_t> lightingWrites_{0};
  bool wrote_ = false;       // a changing request went out under the current hold
  std::thread::id refusedBracket_;  // the thread whose begin found the keyboard busy

  HidService& service_;
  LinkTiming timing_;
  std::atomic<NotifyListener*> listener_{nullptr};
  ServiceHandle ctrlHandle_ = 0;

  std::mutex transactMutex_;  // one transaction at a time; waiting callers queue here

  // The slot shared with the notification thread.
  std::mutex slotMutex_;
  std::condition_variable replyEvent_;
  bool replySignalled_ = false;         // the auto-reset event's state
  std::atomic<bool> replyHint_{false};  // set with replySignalled_; read without the lock
  std::atomic<bool> busy_{false};       // a reply is wanted
  std::uint8_t expectCommand_ = 0;      // the command the reply must echo
  std::uint16_t expectOffset_ = 0;      // the request's offset
  // Whether this keyboard echoes the offset in its replies, learnt per command from the
  // replies of this connection (the protocol leaves the reply's offset open). Only a
  // command seen echoing a non-zero offset has its replies' offsets compared.
  enum class OffsetEcho : std::uint8_t { Unknown, Echoes, Other };
  std::array<OffsetEcho, 256> offsetEcho_{};
  bool droppedForOffset_ = false;       // this attempt dropped a reply for its offset
  std::uint8_t* reply_ = nullptr;
  std::uint32_t capacity_ = 0;
  std::uint32_t received_ = 0;
};

// Holds the keyboard for a sequence of requests that must not meet another program's
// (a read-modify-write, a write and its read-back, a whole reload).
class KeyboardHold {
 public:
  explicit KeyboardHold(DeviceLink& link) : link_(link), held_(link.Hold()) {}
  ~KeyboardHold() {
    if (held_) link_.Unhold();
  }
  KeyboardHold(const KeyboardHold&) = delete;
  KeyboardHold& operator=(const KeyboardHold&) = delete;
  // False: the keyboard stayed busy; the sequence should not be started.
  bool Held() const { return held_; }

 private:
  DeviceLink& link_;
  bool held_;
};

}  // namespace vantrel::device
