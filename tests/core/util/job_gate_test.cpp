// The gate in front of the device worker's jobs, driven from a real worker (JobQueue), as
// the sleep inhibitor drives it: close while a job runs, learn when it has ended, no job
// starts until the gate opens, the held-back jobs then run in their order.
#include "core/util/job_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/util/job_queue.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

// A JobQueue whose jobs pass the gate, as DeviceWorker::Post wraps them.
struct GatedWorker {
  JobGate gate;
  std::mutex mutex;
  std::vector<int> ran;
  JobQueue queue;

  void Post(int id, std::function<void()> body = {}) {
    queue.Post([this, id, body = std::move(body)] {
      gate.Enter();
      if (body) body();
      {
        std::lock_guard lock(mutex);
        ran.push_back(id);
      }
      gate.Leave();
    });
  }
  std::vector<int> Ran() {
    std::lock_guard lock(mutex);
    return ran;
  }
  // Posts job `id`, which runs until `finish` is set, and returns once it has started.
  void PostRunningJob(int id, std::promise<void>& finish) {
    // Shared with the job: the promise outlives the call that sets it.
    auto started = std::make_shared<std::promise<void>>();
    auto startedAt = started->get_future();
    auto finishNow = finish.get_future().share();
    Post(id, [started, finishNow] {
      started->set_value();
      finishNow.wait();
    });
    startedAt.wait();
  }
};

TEST(JobGate, ClosingWhileIdleIsQuietAtOnceOnTheCallersThread) {
  JobGate gate;
  std::thread::id calledOn;
  int calls = 0;
  gate.Close([&] {
    ++calls;
    calledOn = std::this_thread::get_id();
  });
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(calledOn, std::this_thread::get_id());
  EXPECT_FALSE(gate.IsOpen());
  gate.Open();
  EXPECT_TRUE(gate.IsOpen());
  EXPECT_EQ(calls, 1);
}

// The running job finishes; only then is the gate quiet (on the worker), and the job
// posted meanwhile waits until the gate opens.
TEST(JobGateThreads, TheRunningJobEndsBeforeQuietAndNoNewJobStartsUntilOpen) {
  GatedWorker worker;
  std::promise<void> finish;
  worker.PostRunningJob(1, finish);

  std::promise<std::thread::id> quiet;
  auto quietAt = quiet.get_future();
  worker.gate.Close([&] { quiet.set_value(std::this_thread::get_id()); });
  worker.Post(2);
  EXPECT_EQ(quietAt.wait_for(50ms), std::future_status::timeout) << "quiet while a job still ran";
  EXPECT_TRUE(worker.gate.JobRunning());

  finish.set_value();
  ASSERT_EQ(quietAt.wait_for(5s), std::future_status::ready);
  EXPECT_NE(quietAt.get(), std::this_thread::get_id());  // told on the worker
  // Job 2 is held at the gate.
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(worker.Ran(), std::vector<int>{1});
  EXPECT_TRUE(worker.queue.Busy());

  worker.gate.Open();
  worker.queue.WaitIdle();
  EXPECT_EQ(worker.Ran(), (std::vector<int>{1, 2}));
  EXPECT_EQ(worker.gate.HeldBack(), 1u);
}

// A resume that comes before the running job has ended: nothing is let go then (the quiet
// call is dropped), and a later sleep gets its own call.
TEST(JobGateThreads, OpeningBeforeTheJobEndsDropsTheQuietCall) {
  GatedWorker worker;
  std::promise<void> finish;
  worker.PostRunningJob(1, finish);
  std::atomic<int> firstCalls{0};
  worker.gate.Close([&] { ++firstCalls; });
  worker.gate.Open();
  finish.set_value();
  worker.queue.WaitIdle();
  EXPECT_EQ(firstCalls.load(), 0);

  int secondCalls = 0;
  worker.gate.Close([&] { ++secondCalls; });
  EXPECT_EQ(secondCalls, 1);  // idle now: quiet at once
  worker.gate.Open();
}

// Many jobs held back keep their order, and every one runs once the gate opens.
TEST(JobGateThreads, HeldBackJobsRunInTheirOrder) {
  GatedWorker worker;
  worker.gate.Close({});
  for (int i = 0; i < 20; ++i) worker.Post(i);
  std::this_thread::sleep_for(30ms);
  EXPECT_TRUE(worker.Ran().empty());
  worker.gate.Open();
  worker.queue.WaitIdle();
  std::vector<int> expected;
  for (int i = 0; i < 20; ++i) expected.push_back(i);
  EXPECT_EQ(worker.Ran(), expected);
}

}  // namespace
}  // namespace vantrel
