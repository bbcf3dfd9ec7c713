// The single-instance channel: the lock decides the first instance, a later start's
// request reaches the first and waits for its answer, a crashed instance's socket is
// cleared, and nobody listening is told at once.
#include "platform/single_instance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <future>

#include "ui/ui_test_app.h"

namespace vantrel::platform {
namespace {

int SendWhilePumping(const SingleInstance& sender, const InstanceMessage& m, int connectMs = 3000) {
  auto answer = std::async(std::launch::async, [&] { return sender.Send(m, connectMs, 5000); });
  while (answer.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return answer.get();
}

TEST(SingleInstanceThreads, SecondStartReachesTheFirstAndGetsItsAnswer) {
  ui::test::App();
  QTemporaryDir dir;
  SingleInstance first("vantrel-test", dir.path());
  SingleInstance second("vantrel-test", dir.path());
  ASSERT_TRUE(first.TryBecomeFirst());
  EXPECT_FALSE(second.TryBecomeFirst());
  // A socket file left behind by a crashed instance does not stop the new first one.
  QFile stale(first.SocketPath());
  ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  stale.close();
  ASSERT_TRUE(first.Listen());
  EXPECT_TRUE(QFile::permissions(first.SocketPath()) & QFileDevice::ReadOwner);
  EXPECT_FALSE(QFile::permissions(first.SocketPath()) & QFileDevice::ReadOther);

  std::vector<InstanceMessage> received;
  first.SetHandler([&](const InstanceMessage& m) {
    received.push_back(m);
    return m.payload == "unplug" ? 0 : 2;
  });
  EXPECT_EQ(SendWhilePumping(second, {0x5350, 0x4F50454E, {}}), 2);
  EXPECT_EQ(SendWhilePumping(second, {0x5345, 1, "unplug"}), 0);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].message, 0x5350u);
  EXPECT_EQ(received[0].param, 0x4F50454Eu);
  EXPECT_EQ(received[1].payload, "unplug");
}

TEST(SingleInstanceThreads, NobodyListeningIsToldAtOnce) {
  ui::test::App();
  QTemporaryDir dir;
  SingleInstance sender("vantrel-none", dir.path());
  QElapsedTimer timer;
  timer.start();
  EXPECT_EQ(SendWhilePumping(sender, {0x4D4B, 0x4C4C494B, {}}, 60000), kNoInstance);
  // No lock is held, so the sender does not wait out its minute of connection attempts.
  EXPECT_LT(timer.elapsed(), 30000);
}

}  // namespace
}  // namespace vantrel::platform
