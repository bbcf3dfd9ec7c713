// A gate in front of a worker's jobs. While it is open, jobs pass as they come. Closing it
// holds back every job that has not started yet (it waits in Enter until the gate opens
// again) and lets the one that is running finish; the caller of Close learns when no job
// runs any more. The device worker uses it so that no new write bracket starts while the
// system is going to sleep, and the sleep is let go only once the running bracket is done.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace vantrel {

class JobGate {
 public:
  // Called on the worker thread before each job: waits while the gate is closed, then
  // counts the job as running.
  void Enter();
  // Called on the worker thread after each job. Runs the pending quiet call (outside the
  // gate's lock) when the gate is closed and this was the running job.
  void Leave();

  // Closes the gate. `quiet` is called exactly once, as soon as no job runs: at once on
  // the caller's thread when none runs now, else on the worker thread when the running
  // job leaves. A call of Open before that drops it (nothing has to be let go then).
  // Closing a closed gate replaces the pending call.
  void Close(std::function<void()> quiet);
  // Opens the gate: held-back jobs go on, in their order.
  void Open();

  bool IsOpen() const;
  bool JobRunning() const;
  // How many times a job has had to wait at the closed gate (tests, diagnostics).
  std::uint64_t HeldBack() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable opened_;
  bool closed_ = false;
  bool running_ = false;
  std::function<void()> quiet_;
  std::uint64_t heldBack_ = 0;
};

}  // namespace vantrel
