// Shared pieces of the hidapi service tests: the fixture over the fake keyboard and a
// listener that records what the device link passes on.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "core/device/device_link.h"
#include "platform/fake_hid_backend.h"
#include "platform/hidapi/hidapi_service.h"

namespace vantrel::test {

// Short waits so a closed interface or a poll round costs milliseconds.
inline platform::HidapiOptions FastOptions() {
  platform::HidapiOptions o;
  o.readTimeout = std::chrono::milliseconds(5);
  o.pollInterval = std::chrono::milliseconds(5);
  o.monitorTimeout = std::chrono::milliseconds(50);
  return o;
}

// For transactions that are answered: long enough for a slow sanitizer run, and
// never waited out when the reply comes.
inline device::LinkTiming AnsweredTiming() { return {std::chrono::milliseconds(5000), {}, {}}; }
// For transactions whose replies are lost on purpose.
inline device::LinkTiming LostTiming() { return {std::chrono::milliseconds(5), {}, {}}; }

class Recorder final : public device::NotifyListener {
 public:
  void OnDeviceCountChanged(int count) override {
    std::lock_guard lock(mutex_);
    counts_.push_back(count);
    cv_.notify_all();
  }
  void OnKeyboardEvent(std::uint16_t value) override {
    std::lock_guard lock(mutex_);
    events_.push_back(value);
    cv_.notify_all();
  }
  // Waits (at most a few seconds, so a fault fails instead of hanging) for the last
  // count change to be `count`.
  bool WaitForCount(int count) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::seconds(5), [&] { return !counts_.empty() && counts_.back() == count; });
  }
  bool WaitForEvents(std::size_t n) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::seconds(5), [&] { return events_.size() >= n; });
  }
  std::vector<int> Counts() {
    std::lock_guard lock(mutex_);
    return counts_;
  }
  std::vector<std::uint16_t> Events() {
    std::lock_guard lock(mutex_);
    return events_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<int> counts_;
  std::vector<std::uint16_t> events_;
};

class HidapiFixture : public ::testing::Test {
 protected:
  explicit HidapiFixture(bool watcher = true) : fake(watcher) {}

  void Start(platform::HidapiOptions options = FastOptions()) {
    service = std::make_unique<platform::HidapiService>(fake.Functions(), options);
    ASSERT_EQ(service->Init(0), 1);
  }

  int Count(const device::DeviceSelector& selector) {
    return service->RequestGetDeviceCount(selector, 0, 0, device::CallCheckValue(selector, 0, 0), nullptr);
  }

  FakeHidBackend fake;  // outlives the service
  std::unique_ptr<platform::HidapiService> service;
};

}  // namespace vantrel::test
