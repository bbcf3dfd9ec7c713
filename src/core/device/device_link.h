// The request/reply transaction with the keyboard's configuration interface, the
// one-way send, the presence probe, and the service callback that routes every
// notification.
//
// One transaction is out at a time. Callers queue on a mutex; the notification thread
// sees the slot only through an atomic busy flag and the slot mutex, so a reply is
// copied only into the buffer of the transaction that is waiting for it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

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
};

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

  void SetListener(NotifyListener* listener) { listener_.store(listener); }
  HidService& Service() { return service_; }
  const LinkTiming& Timing() const { return timing_; }

 private:
  void AcceptReply(const RequestRecord& request);

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
  std::uint8_t* reply_ = nullptr;
  std::uint32_t capacity_ = 0;
  std::uint32_t received_ = 0;
};

}  // namespace vantrel::device
