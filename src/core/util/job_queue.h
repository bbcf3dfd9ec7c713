// One worker thread that runs jobs one at a time, in the order they were posted. The
// device link has one such thread: the order of writes on the wire is the order in which
// they were asked for, and the thread that asks never waits on a transaction.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace vantrel {

class JobQueue {
 public:
  // Told true when the queue turns from idle to busy (a job was posted to an idle queue)
  // and false when the last queued job has finished. It is called with the queue's lock
  // held, so the changes arrive in the order they happen: true on the posting thread,
  // false on the worker thread. It must return quickly and must not call back into the
  // queue; hand the change on to whoever shows it (e.g. a queued call).
  using BusyChanged = std::function<void(bool busy)>;

  explicit JobQueue(BusyChanged busyChanged = {});
  // Runs every job posted before (and any job those jobs post), then ends the thread.
  ~JobQueue();
  JobQueue(const JobQueue&) = delete;
  JobQueue& operator=(const JobQueue&) = delete;

  // Queues a job. Callable from any thread, including from a job on the worker thread
  // (the new job runs after the ones already queued). A job must not throw.
  void Post(std::function<void()> job);

  // Blocks until every job posted so far has run. Never call it from a job: the worker
  // would wait for itself.
  void WaitIdle();
  // True while a job runs or waits.
  bool Busy() const;
  // True on the worker thread.
  bool OnWorkerThread() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  void Loop();

  const BusyChanged busyChanged_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<std::function<void()>> jobs_;
  bool running_ = false;  // a job is executing
  bool stop_ = false;
  std::thread thread_;  // last: starts once everything above is set up
};

}  // namespace vantrel
