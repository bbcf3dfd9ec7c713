// A HidService over the virtual keyboard. Replies, keyboard events and count changes
// are delivered on a notification thread of the service's own, after the latency of the
// USB model (default one 1 ms frame for each direction; 0 in unit tests).
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "core/device/hid_service.h"
#include "sim/fault_plan.h"
#include "sim/virtual_keyboard.h"

namespace vantrel::sim {

struct SimOptions {
  std::chrono::microseconds latency{1000};  // one USB frame per report and direction
  FaultPlan faults;
  // Delay of a reply hit by a 'slow' fault.
  std::chrono::microseconds slowReply{1500000};
};

class SimulatedHidService final : public device::HidService {
 public:
  explicit SimulatedHidService(VirtualKeyboard& keyboard, SimOptions options = {});
  ~SimulatedHidService() override;

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

  // Test and command-line hooks. Each delivers its notification on the service thread.
  void Unplug();
  void Plug();
  void SendKeyboardEvent(std::uint16_t value);
  // The keyboard's memory back to its factory state (under the service's lock), as a
  // keyboard that lost its configuration; its presence stays as it is.
  void ResetKeyboard();
  // An input report on the configuration interface that answers no request.
  void SendUnsolicitedReply(const device::ConfigReport& report);
  // Waits until every notification queued so far has been delivered.
  void Drain();

  void SetFaults(FaultPlan faults);
  // Configuration requests written so far (the number a fault refers to).
  std::uint64_t ConfigRequests() const;
  VirtualKeyboard& Keyboard() { return keyboard_; }
  // Runs `read` on the keyboard model under the service's lock, so the model can be read
  // (saved, shown) while requests keep arriving on other threads.
  template <typename Read>
  auto WithKeyboard(Read read) const {
    std::lock_guard lock(mutex_);
    return read(static_cast<const VirtualKeyboard&>(keyboard_));
  }
  // Runs `change` on the keyboard model under the service's lock (its state read again
  // from the file while the service runs).
  template <typename Change>
  auto ChangeKeyboard(Change change) {
    std::lock_guard lock(mutex_);
    return change(keyboard_);
  }

 private:
  struct Registration {
    device::DeviceSelector selector;
    device::ServiceCallback* callback;
    std::uint32_t tag;
  };
  struct Delivery {
    std::chrono::steady_clock::time_point due;
    std::int32_t kind;
    device::DeviceSelector selector;
    std::vector<std::uint8_t> bytes;
    std::uint32_t count;
  };

  void Enqueue(Delivery delivery, bool wake = true);
  void CountChanged();
  void Run();

  VirtualKeyboard& keyboard_;
  SimOptions options_;
  mutable std::mutex mutex_;  // guards everything below and the keyboard model
  std::condition_variable wake_;
  std::condition_variable drained_;
  std::condition_variable idle_;
  std::deque<Delivery> queue_;
  bool delivering_ = false;
  std::map<device::ServiceHandle, Registration> registrations_;
  device::ServiceHandle nextHandle_ = 1;
  std::uint64_t configRequests_ = 0;
  int lastCount_ = 0;
  bool stop_ = false;
  std::thread thread_;
};

// Sleeps until the time point; the last stretch is spun so that short waits (a 1 ms USB
// frame) keep their length instead of the scheduler's granularity.
void PreciseSleepUntil(std::chrono::steady_clock::time_point until);

}  // namespace vantrel::sim
