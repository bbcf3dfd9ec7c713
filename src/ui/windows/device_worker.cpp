#include "ui/windows/device_worker.h"

#include <QMetaObject>

namespace vantrel::ui {

DeviceWorker::DeviceWorker(QObject* parent) : QObject(parent), thread_([this] { Loop(); }) {}

DeviceWorker::~DeviceWorker() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void DeviceWorker::Post(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    // Posted under the lock, so the busy and idle signals keep the order of the changes.
    if (jobs_.empty() && !running_) SetBusy(true);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void DeviceWorker::WaitIdle() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return jobs_.empty() && !running_; });
}

bool DeviceWorker::Busy() const {
  std::lock_guard lock(mutex_);
  return running_ || !jobs_.empty();
}

void DeviceWorker::Deliver(const QPointer<QObject>& context, std::function<void()> call) {
  QObject* target = context.data();
  if (!target) return;
  QMetaObject::invokeMethod(target, std::move(call), Qt::QueuedConnection);
}

void DeviceWorker::SetBusy(bool busy) {
  QMetaObject::invokeMethod(this, [this, busy] { emit busyChanged(busy); }, Qt::QueuedConnection);
}

void DeviceWorker::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stopping with nothing left to do
    auto job = std::move(jobs_.front());
    jobs_.pop_front();
    running_ = true;
    lock.unlock();
    job();
    lock.lock();
    running_ = false;
    if (jobs_.empty()) {
      SetBusy(false);
      idle_.notify_all();
    }
  }
}

}  // namespace vantrel::ui
