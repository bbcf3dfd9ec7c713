#include "platform/system_bus_probe.h"

#include <QtGlobal>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace vantrel::platform {
namespace {

constexpr std::string_view kStandardSocket = "/run/dbus/system_bus_socket";

#ifdef Q_OS_UNIX

// Milliseconds left until `until`, at least 0.
int Left(std::chrono::steady_clock::time_point until) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// The socket of the first "unix:path=" or "unix:abstract=" entry of a bus address; an
// abstract name starts with '\0'. Empty when the address has none.
std::string SocketOf(std::string_view address) {
  while (!address.empty()) {
    const auto end = address.find(';');
    const std::string_view entry = address.substr(0, end);
    address = end == std::string_view::npos ? std::string_view{} : address.substr(end + 1);
    if (entry.rfind("unix:", 0) != 0) continue;
    std::string_view keys = entry.substr(5);
    while (!keys.empty()) {
      const auto comma = keys.find(',');
      const std::string_view pair = keys.substr(0, comma);
      keys = comma == std::string_view::npos ? std::string_view{} : keys.substr(comma + 1);
      if (pair.rfind("path=", 0) == 0) return std::string(pair.substr(5));
      if (pair.rfind("abstract=", 0) == 0) return std::string(1, '\0') + std::string(pair.substr(9));
    }
  }
  return {};
}

#endif

}  // namespace

bool SystemBusAnswers(std::chrono::milliseconds wait, std::string* problem) {
#ifdef Q_OS_UNIX
  const char* given = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
  const std::string socketPath = given && *given ? SocketOf(given) : std::string(kStandardSocket);
  sockaddr_un address{};
  if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path) return true;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, socketPath.data(), socketPath.size());
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socketPath.size() +
                                             (socketPath.front() == '\0' ? 0 : 1));
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return true;
  const auto until = std::chrono::steady_clock::now() + wait;
  const auto fail = [&](const std::string& why) {
    ::close(fd);
    if (problem) *problem = why;
    return false;
  };
  std::string shown = socketPath;
  if (shown.front() == '\0') shown.front() = '@';  // an abstract name, as tools show it
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
    if (errno != EINPROGRESS && errno != EAGAIN) {
      ::close(fd);
      return true;  // nothing listens there: Qt says so at once
    }
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, Left(until)) <= 0) return fail("the system bus " + shown + " does not take the connection");
  }
  // The start of the authentication every client sends; any line back is an answer.
  char greeting[64];
  const int n = std::snprintf(greeting, sizeof greeting, "%cAUTH EXTERNAL\r\n", '\0');
  if (n <= 0 || ::send(fd, greeting, static_cast<std::size_t>(n), MSG_NOSIGNAL) != n) {
    ::close(fd);
    return true;
  }
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, Left(until));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      return fail("the system bus " + shown + " did not answer within " +
                  std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(wait).count()) + " ms");
    }
    break;
  }
  ::close(fd);
  return true;
#else
  (void)wait;
  (void)problem;
  return true;
#endif
}

}  // namespace vantrel::platform
