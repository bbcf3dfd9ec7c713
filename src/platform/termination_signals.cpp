#include "platform/termination_signals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <iterator>
#endif

namespace vantrel::platform {

#ifdef Q_OS_UNIX
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
std::atomic<int> g_writeEnd{-1};
struct sigaction g_previous[std::size(kSignals)];

extern "C" void OnTerminationSignal(int signal) {
  const int saved = errno;
  const int fd = g_writeEnd.load();
  if (fd >= 0) {
    const unsigned char number = static_cast<unsigned char>(signal);
    // A full pair only loses a repeat of a signal already on its way.
    [[maybe_unused]] const auto written = ::write(fd, &number, 1);
  }
  errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds_) != 0) return;
  for (int fd : fds_) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  g_writeEnd.store(fds_[0]);
  notifier_ = std::make_unique<QSocketNotifier>(fds_[1], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { Drain(); });
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &action, &g_previous[i]);
  installed_ = true;
}

TerminationSignals::~TerminationSignals() {
  if (installed_) {
    for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
  }
  g_writeEnd.store(-1);
  notifier_.reset();
  for (int fd : fds_) {
    if (fd >= 0) ::close(fd);
  }
}

void TerminationSignals::Drain() {
  unsigned char numbers[16];
  for (;;) {
    const auto n = ::read(fds_[1], numbers, sizeof numbers);
    if (n <= 0) return;
    for (ssize_t i = 0; i < n; ++i) {
      if (onSignal_) onSignal_(numbers[i]);
    }
  }
}

#else  // Q_OS_UNIX

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {}
TerminationSignals::~TerminationSignals() = default;
void TerminationSignals::Drain() {}

#endif  // Q_OS_UNIX

}  // namespace vantrel::platform
