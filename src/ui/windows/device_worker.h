// The one thread that talks to the keyboard for the windows. Jobs run one at a time in
// the order they were posted, so the order of writes on the wire is the order in which
// the windows asked for them; the UI thread never waits on a transaction. A job's
// result comes back to the UI thread through a queued call on a context object (dropped
// when that object is gone).
#pragma once

#include <QObject>
#include <QPointer>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>

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

  // Queues a job; `done` receives its result on the thread of `context`.
  template <typename Job, typename Done>
  void Run(Job job, QObject* context, Done done) {
    using Result = std::invoke_result_t<Job&>;
    QPointer<QObject> guard(context);
    if constexpr (std::is_void_v<Result>) {
      Post([job = std::move(job), guard, done = std::move(done)]() mutable {
        job();
        Deliver(guard, [done = std::move(done)]() mutable { done(); });
      });
    } else {
      Post([job = std::move(job), guard, done = std::move(done)]() mutable {
        Result result = job();
        Deliver(guard, [done = std::move(done), result = std::move(result)]() mutable { done(std::move(result)); });
      });
    }
  }

  // Blocks until every job posted so far has run (tests, closing). Never call it from a
  // job.
  void WaitIdle();
  // True while a job runs or waits.
  bool Busy() const;
  // True on the worker's own thread.
  bool OnWorkerThread() const { return std::this_thread::get_id() == thread_.get_id(); }

 signals:
  // Emitted on the UI thread when the worker starts or finishes a run of jobs.
  void busyChanged(bool busy);

 private:
  static void Deliver(const QPointer<QObject>& context, std::function<void()> call);
  void Loop();
  void SetBusy(bool busy);

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<std::function<void()>> jobs_;
  bool running_ = false;  // a job is executing
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace vantrel::ui
