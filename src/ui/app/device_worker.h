// The one thread that talks to the keyboard for the windows. Jobs run one at a time in
// the order they were posted, so the order of writes on the wire is the order in which
// the windows asked for them; the UI thread never waits on a transaction. A job's
// result comes back through a queued call on the worker object's thread and reaches the
// context object there (dropped when that object is gone). The queue itself is
// JobQueue; this class adds the Qt delivery and the busy signal.
#pragma once

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <type_traits>
#include <utility>

#include "core/util/job_gate.h"
#include "core/util/job_queue.h"

namespace vantrel::ui {

class DeviceWorker final : public QObject {
  Q_OBJECT

 public:
  explicit DeviceWorker(QObject* parent = nullptr);
  ~DeviceWorker() override;
  DeviceWorker(const DeviceWorker&) = delete;
  DeviceWorker& operator=(const DeviceWorker&) = delete;

  // Queues a job with no result.
  void Post(std::function<void()> job);

  // Called on the worker after a job when no other job is left (the program saves the
  // virtual keyboard's state there, so its file is current whenever the device work is
  // done, whichever window asked for it). Set it before the first job is posted.
  void SetWhenIdle(std::function<void()> call) { whenIdle_ = std::move(call); }

  // How a job's result goes back: after the events already waiting on that thread, or
  // before them (an answer someone waits for, which the window's redrawing queued meanwhile
  // must not hold up).
  enum class Delivery { InTurn, First };

  // Queues a job; `done` receives its result on this object's thread, if `context` (an
  // object of that same thread, e.g. a window) still exists then.
  template <typename Job, typename Done>
  void Run(Job job, QObject* context, Done done, Delivery delivery = Delivery::InTurn) {
    using Result = std::invoke_result_t<Job&>;
    // Made here, on the context's thread while it surely exists; the worker thread only
    // carries it back and never looks at it.
    QPointer<QObject> guard(context);
    if constexpr (std::is_void_v<Result>) {
      Post([this, job = std::move(job), guard = std::move(guard), done = std::move(done), delivery]() mutable {
        job();
        Deliver(
            [guard = std::move(guard), done = std::move(done)]() mutable {
              if (guard) done();
            },
            delivery);
      });
    } else {
      Post([this, job = std::move(job), guard = std::move(guard), done = std::move(done), delivery]() mutable {
        Result result = job();
        Deliver(
            [guard = std::move(guard), done = std::move(done), result = std::move(result)]() mutable {
              if (guard) done(std::move(result));
            },
            delivery);
      });
    }
  }

  // Blocks until every job posted so far has run (tests, closing). Never call it from a
  // job.
  void WaitIdle() { queue_.WaitIdle(); }
  // Hands over at once the results delivered First that still wait for the event loop (on
  // this object's thread): a closing program answers the bus calls whose work is done
  // before its bus object goes.
  void DeliverWaitingFirst();
  // True while a job runs or waits.
  bool Busy() const { return queue_.Busy(); }
  // True on the worker's own thread.
  bool OnWorkerThread() const { return queue_.OnWorkerThread(); }
  // Every job passes this gate before it runs: closed while the system goes to sleep, so
  // that no new device work starts then (see JobGate). Open it before WaitIdle.
  JobGate& Gate() { return gate_; }

 signals:
  // Emitted on the UI thread when the worker starts or finishes a run of jobs.
  void busyChanged(bool busy);

 private:
  // Queues `call` to this object's thread.
  void Deliver(std::function<void()> call, Delivery delivery = Delivery::InTurn);
  bool event(QEvent* event) override;

  std::function<void()> whenIdle_;
  std::atomic<int> pending_{0};  // jobs posted and not yet finished
  JobGate gate_;
  JobQueue queue_;  // last: its thread ends (after the queued jobs) before the rest goes
};

}  // namespace vantrel::ui
