#include "ui/app/device_worker.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "ui/ui_test_app.h"

namespace vantrel::ui {
namespace {

void ProcessUntil(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(DeviceWorkerThreads, RunsJobsInOrderOffTheUiThreadAndDeliversResultsOnIt) {
  test::App();
  DeviceWorker worker;
  QObject context;
  std::vector<int> ran;
  std::vector<int> delivered;
  std::atomic<bool> offUiThread{true};
  const auto uiThread = std::this_thread::get_id();
  for (int i = 0; i < 20; ++i) {
    worker.Run(
        [&, i] {
          if (std::this_thread::get_id() == uiThread) offUiThread = false;
          ran.push_back(i);  // only the worker touches it until WaitIdle
          return i * 2;
        },
        &context, [&](int result) { delivered.push_back(result); });
  }
  worker.WaitIdle();
  ProcessUntil([&] { return delivered.size() == 20; });
  EXPECT_TRUE(offUiThread);
  ASSERT_EQ(ran.size(), 20u);
  ASSERT_EQ(delivered.size(), 20u);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(ran[i], i);
    EXPECT_EQ(delivered[i], i * 2);
  }
}

// A result someone waits for (a bus call's answer) overtakes the UI events that the job
// queued while it ran (the window's redrawing); an ordinary result comes in turn. Both are
// dropped once their context is gone.
TEST(DeviceWorkerThreads, AnAnswerDeliveredFirstOvertakesTheEventsQueuedBeforeIt) {
  test::App();
  DeviceWorker worker;
  QObject window;
  std::vector<std::string> order;
  const auto job = [&window, &order](const char* queued) {
    return [&window, &order, queued] {
      QMetaObject::invokeMethod(&window, [&order, queued] { order.push_back(queued); }, Qt::QueuedConnection);
    };
  };
  worker.Run(job("redraw 1"), &window, [&] { order.push_back("in turn"); });
  worker.Run(job("redraw 2"), &window, [&] { order.push_back("first"); }, DeviceWorker::Delivery::First);
  auto gone = std::make_unique<QObject>();
  worker.Run([] {}, gone.get(), [&] { order.push_back("dropped"); }, DeviceWorker::Delivery::First);
  worker.WaitIdle();
  gone.reset();
  ProcessUntil([&] { return order.size() == 4; });
  EXPECT_EQ(order, (std::vector<std::string>{"first", "redraw 1", "in turn", "redraw 2"}));
}

TEST(DeviceWorkerThreads, DropsTheResultWhenItsWindowIsGoneAndReportsBusy) {
  test::App();
  DeviceWorker worker;
  std::vector<bool> busy;
  QObject::connect(&worker, &DeviceWorker::busyChanged, [&](bool b) { busy.push_back(b); });
  bool called = false;
  auto context = std::make_unique<QObject>();
  worker.Run([] {}, context.get(), [&] { called = true; });
  worker.WaitIdle();
  context.reset();
  ProcessUntil([&] { return busy.size() >= 2; });
  EXPECT_FALSE(called);
  ASSERT_GE(busy.size(), 2u);
  EXPECT_TRUE(busy.front());
  EXPECT_FALSE(busy.back());
  EXPECT_FALSE(worker.Busy());
}

}  // namespace
}  // namespace vantrel::ui
