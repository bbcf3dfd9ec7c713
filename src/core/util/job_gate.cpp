#include "core/util/job_gate.h"

#include <utility>

namespace vantrel {

void JobGate::Enter() {
  std::unique_lock lock(mutex_);
  if (closed_) ++heldBack_;
  opened_.wait(lock, [this] { return !closed_; });
  running_ = true;
}

void JobGate::Leave() {
  std::function<void()> quiet;
  {
    std::lock_guard lock(mutex_);
    running_ = false;
    if (closed_) quiet = std::exchange(quiet_, nullptr);
  }
  if (quiet) quiet();
}

void JobGate::Close(std::function<void()> quiet) {
  bool now = false;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    now = !running_;
    quiet_ = now ? nullptr : std::move(quiet);
  }
  if (now && quiet) quiet();
}

void JobGate::Open() {
  {
    std::lock_guard lock(mutex_);
    closed_ = false;
    quiet_ = nullptr;
  }
  opened_.notify_all();
}

bool JobGate::IsOpen() const {
  std::lock_guard lock(mutex_);
  return !closed_;
}

bool JobGate::JobRunning() const {
  std::lock_guard lock(mutex_);
  return running_;
}

std::uint64_t JobGate::HeldBack() const {
  std::lock_guard lock(mutex_);
  return heldBack_;
}

}  // namespace vantrel
