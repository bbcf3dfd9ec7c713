#include "core/util/job_queue.h"

#include <cassert>
#include <utility>

namespace vantrel {

JobQueue::JobQueue(BusyChanged busyChanged) : busyChanged_(std::move(busyChanged)), thread_([this] { Loop(); }) {}

JobQueue::~JobQueue() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void JobQueue::Post(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    // Told under the lock, so that "busy" and "idle" keep the order of the changes.
    if (jobs_.empty() && !running_ && busyChanged_) busyChanged_(true);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void JobQueue::WaitIdle() {
  assert(!OnWorkerThread() && "WaitIdle from a job waits forever");
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return jobs_.empty() && !running_; });
}

bool JobQueue::Busy() const {
  std::lock_guard lock(mutex_);
  return running_ || !jobs_.empty();
}

void JobQueue::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stopping with nothing left to do
    auto job = std::move(jobs_.front());
    jobs_.pop_front();
    running_ = true;
    lock.unlock();
    job();
    // The job's captures go before the queue counts as idle: whoever waits for idle may
    // then destroy what they refer to.
    job = nullptr;
    lock.lock();
    running_ = false;
    if (jobs_.empty()) {
      if (busyChanged_) busyChanged_(false);
      idle_.notify_all();
    }
  }
}

}  // namespace vantrel
