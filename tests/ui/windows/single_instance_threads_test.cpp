// The single-instance channel: the lock decides the first instance, a later start's
// request reaches the first and waits for its answer, a crashed instance's socket is
// cleared, nobody listening is told at once, and neither running out of descriptors nor
// a client that stalls mid-request stops the channel.
#include "platform/single_instance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <future>
#include <vector>

#include "ui/ui_test_app.h"
#include "ui/windows/channel_peers.h"

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

// Pumps events until `done` or `ms` have passed.
bool PumpUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// A plain client connection, non-blocking; -1 when no descriptor is left.
int RawConnect(const QString& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const sockaddr_un address = test::UnixAddress(path.toStdString());
  (void)::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  return fd;
}

TEST(SingleInstanceThreads, RunningOutOfDescriptorsDoesNotCloseTheChannel) {
  ui::test::App();
  QTemporaryDir dir;
  SingleInstance first("vantrel-fds", dir.path());
  SingleInstance second("vantrel-fds", dir.path());
  ASSERT_TRUE(first.TryBecomeFirst());
  ASSERT_TRUE(first.Listen());
  int handled = 0;
  first.SetHandler([&](const InstanceMessage&) { return ++handled; });

  // Clients take every descriptor left, so the first's accept fails for want of one.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlim_t open = 0;
  for ([[maybe_unused]] const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) ++open;
  rlimit tight = saved;
  tight.rlim_cur = open + 16;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
  std::vector<int> clients;
  for (int fd; (fd = RawConnect(first.SocketPath())) >= 0;) clients.push_back(fd);
  const int lastError = errno;
  QElapsedTimer pumped;
  pumped.start();
  while (pumped.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  for (int fd : clients) ::close(fd);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
  ASSERT_EQ(lastError, EMFILE);
  ASSERT_FALSE(clients.empty());

  // Descriptors are back: the channel still answers.
  EXPECT_EQ(SendWhilePumping(second, {0x5350, 0x4F50454E, {}}, 1000), 1);
  EXPECT_TRUE(QFile::exists(first.SocketPath()));
}

TEST(SingleInstanceThreads, StalledRequestIsDroppedAndOthersStillServed) {
  ui::test::App();
  QTemporaryDir dir;
  SingleInstance first("vantrel-stall", dir.path());
  SingleInstance second("vantrel-stall", dir.path());
  ASSERT_TRUE(first.TryBecomeFirst());
  ASSERT_TRUE(first.Listen());
  int handled = 0;
  first.SetHandler([&](const InstanceMessage&) { return ++handled; });

  // Half a header, then nothing: the first closes the connection after a short while.
  const int stalled = RawConnect(first.SocketPath());
  ASSERT_GE(stalled, 0);
  ASSERT_EQ(::write(stalled, "\x50\x53\0\0\x4E\x45", 6), 6);
  bool closed = false;
  EXPECT_TRUE(PumpUntil(
      [&] {
        char byte;
        const auto n = ::read(stalled, &byte, 1);
        closed = n == 0 || (n < 0 && errno != EAGAIN);
        return closed;
      },
      SingleInstance::kRequestTimeoutMs + 3000));
  ::close(stalled);
  EXPECT_TRUE(closed);
  EXPECT_EQ(handled, 0);
  EXPECT_EQ(SendWhilePumping(second, {0x5350, 0x4F50454E, {}}, 1000), 1);
}

}  // namespace
}  // namespace vantrel::platform
