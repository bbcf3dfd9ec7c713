// The start's question to the system bus: a bus that takes the connection and never
// answers is found out within the wait given; one that answers, or none at all, is left to Qt.
#include "platform/system_bus_probe.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

namespace vantrel::platform {
namespace {

using std::chrono::milliseconds;

class SystemBusProbeTest : public testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("vantrel-bus-probe-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const char* old = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    saved = old ? old : "";
    hadAddress = old != nullptr;
  }
  void TearDown() override {
    if (listener >= 0) ::close(listener);
    if (hadAddress) ::setenv("DBUS_SYSTEM_BUS_ADDRESS", saved.c_str(), 1);
    else ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    std::filesystem::remove_all(dir);
  }
  // A socket that takes connections (the system queues them) and never says a word.
  std::string Listen(const char* name) {
    const std::string path = (dir / name).string();
    listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(listener, 4), 0);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + path).c_str(), 1);
    return path;
  }

  std::filesystem::path dir;
  std::string saved;
  bool hadAddress = false;
  int listener = -1;
};

TEST_F(SystemBusProbeTest, ABusThatNeverAnswersIsNamed) {
  const std::string path = Listen("silent");
  std::string problem;
  EXPECT_FALSE(SystemBusAnswers(milliseconds(200), &problem));
  EXPECT_EQ(problem, "the system bus " + path + " did not answer within 200 ms");
}

TEST_F(SystemBusProbeTest, ABusThatAnswersIsUsed) {
  Listen("answering");
  std::thread bus([this] {
    const int client = ::accept(listener, nullptr, nullptr);
    char buffer[64];
    (void)::read(client, buffer, sizeof buffer);
    (void)::write(client, "DATA\r\n", 6);
    ::close(client);
  });
  std::string problem;
  EXPECT_TRUE(SystemBusAnswers(milliseconds(5000), &problem)) << problem;
  bus.join();
}

TEST_F(SystemBusProbeTest, NoBusOrAnAddressOfAnotherKindIsLeftToQt) {
  std::string problem;
  ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (dir / "nothing").string()).c_str(), 1);
  EXPECT_TRUE(SystemBusAnswers(milliseconds(200), &problem));
  ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "tcp:host=127.0.0.1,port=1", 1);
  EXPECT_TRUE(SystemBusAnswers(milliseconds(200), &problem));
  EXPECT_EQ(problem, "");
}

}  // namespace
}  // namespace vantrel::platform
