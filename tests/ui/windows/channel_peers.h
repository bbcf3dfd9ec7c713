// Stand-ins for the other end of the single-instance channel, each in a forked child that
// makes only system calls: a listener that never answers or belongs to another user, and
// a client of another user. Another user needs root (the ids are changed with raw system
// calls, which touch only the child's one thread).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace vantrel::test {

inline constexpr unsigned kNobody = 65534;

inline bool RunningAsRoot() { return ::geteuid() == 0; }

inline sockaddr_un UnixAddress(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  return address;
}

// Exit code of a child, or -1 when it has not ended within `ms` (it is then killed).
inline int WaitChild(pid_t pid, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Reads for up to `ms` or until the peer closes; the number of bytes read.
inline int ReadFor(int fd, int ms) {
  int total = 0;
  char buffer[256];
  pollfd p{fd, POLLIN, 0};
  while (::poll(&p, 1, ms) > 0) {
    const auto n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    total += static_cast<int>(n);
  }
  return total;
}

// A listener at `path`: the socket file is made by us, then the child becomes `uid` (when
// that is not ours) before it listens, so that is who a client sees at the other end. It
// takes up to `connections` connections, reads each request and answers status 0 when
// `answer`, else closes it unanswered. The child's exit code: 1 when any request bytes
// reached it, 0 when none did, 2 when it could not set up.
class FakeListener {
 public:
  FakeListener(const std::string& path, unsigned uid, bool answer, int connections = 1) {
    const sockaddr_un address = UnixAddress(path);
    int ready[2];
    if (::pipe(ready) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
      if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) ::_exit(2);
      if (uid != ::geteuid() &&
          (::syscall(SYS_setresgid, uid, uid, uid) != 0 || ::syscall(SYS_setresuid, uid, uid, uid) != 0))
        ::_exit(2);
      if (::listen(fd, 8) != 0) ::_exit(2);
      (void)!::write(ready[1], "r", 1);
      int received = 0;
      for (int i = 0; i < connections; ++i) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20000) <= 0) break;
        const int client = ::accept(fd, nullptr, nullptr);
        if (client < 0) break;
        received += ReadFor(client, 500);
        if (answer) (void)!::send(client, "\0\0\0\0", 4, MSG_NOSIGNAL);
        ::close(client);
      }
      ::_exit(received > 0 ? 1 : 0);
    }
    ::close(ready[1]);
    char byte = 0;
    pollfd p{ready[0], POLLIN, 0};
    listening_ = pid_ > 0 && ::poll(&p, 1, 10000) > 0 && ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
  }
  ~FakeListener() {
    if (pid_ > 0) Finish(0);
  }
  bool Listening() const { return listening_; }
  // The child's exit code (see above); -1 when it had to be stopped.
  int Finish(int ms = 5000) {
    const int code = WaitChild(pid_, ms);
    pid_ = -1;
    return code;
  }

 private:
  pid_t pid_ = -1;
  bool listening_ = false;
};

// Connects to `path` as user `uid` (root only: the effective id changes, the file-system
// id stays ours so that our private folder can still be entered), sends `request` and
// reads what comes back for up to `ms`. The child's exit code is the number of bytes of
// answer (capped at 100), 200 when it could not connect, 201 when it could not change
// user.
inline int ForeignRequest(const std::string& path, unsigned uid, const std::string& request, int ms) {
  const sockaddr_un address = UnixAddress(path);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::syscall(SYS_setresuid, -1, uid, -1) != 0 || ::syscall(SYS_setfsuid, 0) < 0) ::_exit(201);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) ::_exit(200);
    (void)!::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    const int answer = ReadFor(fd, ms);
    ::_exit(answer > 100 ? 100 : answer);
  }
  return WaitChild(pid, ms + 5000);
}

}  // namespace vantrel::test
