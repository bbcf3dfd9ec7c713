#include "core/util/job_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vantrel {
namespace {

using namespace std::chrono_literals;

// Records the busy changes a queue reports.
struct BusyLog {
  std::mutex mutex;
  std::vector<bool> changes;
  JobQueue::BusyChanged Callback() {
    return [this](bool busy) {
      std::lock_guard lock(mutex);
      changes.push_back(busy);
    };
  }
  std::vector<bool> Changes() {
    std::lock_guard lock(mutex);
    return changes;
  }
};

TEST(JobQueueThreads, ReportsBusyOncePerRunOfJobs) {
  BusyLog log;
  JobQueue queue(log.Callback());
  queue.WaitIdle();  // an idle queue: returns at once, nothing reported
  EXPECT_FALSE(queue.Busy());
  EXPECT_TRUE(log.Changes().empty());
  std::promise<void> gate;
  std::shared_future<void> open = gate.get_future().share();
  queue.Post([open] { open.wait(); });
  queue.Post([] {});
  queue.Post([] {});
  EXPECT_TRUE(queue.Busy());
  gate.set_value();
  queue.WaitIdle();
  EXPECT_FALSE(queue.Busy());
  EXPECT_EQ(log.Changes(), (std::vector<bool>{true, false}));

  queue.Post([] {});
  queue.WaitIdle();
  EXPECT_EQ(log.Changes(), (std::vector<bool>{true, false, true, false}));
}

TEST(JobQueueThreads, RunsJobsOneAtATimeInPostingOrderOnItsOwnThread) {
  JobQueue queue;
  EXPECT_FALSE(queue.OnWorkerThread());
  std::vector<int> ran;  // touched by the worker only until WaitIdle
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};
  std::atomic<bool> onWorker{true};
  const auto caller = std::this_thread::get_id();
  for (int i = 0; i < 500; ++i) {
    queue.Post([&, i] {
      if (inside.fetch_add(1) != 0) overlapped = true;
      if (std::this_thread::get_id() == caller || !queue.OnWorkerThread()) onWorker = false;
      ran.push_back(i);
      inside.fetch_sub(1);
    });
  }
  queue.WaitIdle();
  EXPECT_FALSE(overlapped);
  EXPECT_TRUE(onWorker);
  ASSERT_EQ(ran.size(), 500u);
  for (int i = 0; i < 500; ++i) EXPECT_EQ(ran[i], i);
}

// Several threads post and wait at once: each one's WaitIdle returns only after its own
// jobs ran, each one's jobs keep their order, and the busy reports still alternate.
TEST(JobQueueThreads, WaitIdleFromManyThreadsSeesTheirJobsDone) {
  constexpr int kThreads = 6;
  constexpr int kRounds = 40;
  BusyLog log;
  JobQueue queue(log.Callback());
  std::vector<std::vector<int>> ran(kThreads);  // written by the worker only
  std::atomic<int> failures{0};
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        std::atomic<bool> done{false};
        queue.Post([&ran, t, round] { ran[t].push_back(round); });
        queue.Post([&done] { done = true; });
        queue.WaitIdle();
        if (!done) ++failures;
      }
    });
  }
  for (auto& poster : posters) poster.join();
  queue.WaitIdle();
  EXPECT_EQ(failures, 0);
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(ran[t].size(), static_cast<std::size_t>(kRounds)) << "thread " << t;
    for (int round = 0; round < kRounds; ++round) EXPECT_EQ(ran[t][round], round);
  }
  const auto changes = log.Changes();
  ASSERT_FALSE(changes.empty());
  ASSERT_EQ(changes.size() % 2, 0u);
  for (std::size_t i = 0; i < changes.size(); ++i) EXPECT_EQ(changes[i], i % 2 == 0) << "report " << i;
}

TEST(JobQueueThreads, DestructionRunsEverythingQueuedFirst) {
  int ran = 0;  // the worker's until the queue is gone
  BusyLog log;
  {
    JobQueue queue(log.Callback());
    queue.Post([] { std::this_thread::sleep_for(20ms); });
    for (int i = 0; i < 100; ++i) queue.Post([&ran] { ++ran; });
    // A job posted by a job while the queue is being destroyed runs too.
    queue.Post([&queue, &ran] { queue.Post([&ran] { ran += 1000; }); });
  }
  EXPECT_EQ(ran, 1100);
  EXPECT_EQ(log.Changes(), (std::vector<bool>{true, false}));
}

TEST(JobQueueThreads, AJobPostingAJobQueuesItBehindTheOthersAndStaysBusy) {
  BusyLog log;
  JobQueue queue(log.Callback());
  std::vector<char> order;  // the worker's until WaitIdle
  std::promise<void> gate;
  std::shared_future<void> open = gate.get_future().share();
  queue.Post([&, open] {
    open.wait();
    order.push_back('a');
    queue.Post([&] {
      order.push_back('c');
      queue.Post([&] { order.push_back('d'); });
    });
  });
  queue.Post([&] { order.push_back('b'); });
  gate.set_value();
  queue.WaitIdle();
  EXPECT_EQ(order, (std::vector<char>{'a', 'b', 'c', 'd'}));
  EXPECT_EQ(log.Changes(), (std::vector<bool>{true, false}));
}

// Whoever waited for idle may destroy what a job captured, so the captures are gone by
// then.
TEST(JobQueueThreads, AJobsCapturesAreReleasedBeforeTheQueueIsIdle) {
  struct Capture {
    explicit Capture(std::atomic<bool>& flag) : released(flag) {}
    ~Capture() {
      std::this_thread::sleep_for(10ms);
      released = true;
    }
    std::atomic<bool>& released;
  };
  JobQueue queue;
  std::atomic<bool> released{false};
  auto capture = std::make_shared<Capture>(released);
  queue.Post([capture = std::move(capture)] {});
  queue.WaitIdle();
  EXPECT_TRUE(released);
}

}  // namespace
}  // namespace vantrel
