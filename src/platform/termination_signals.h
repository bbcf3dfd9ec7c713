// SIGTERM, SIGINT and SIGHUP (the terminal or session went away) turned into a call on the
// event loop, so that the program ends through its own closing routine instead of dying
// where it stands. The signal handler
// only writes the signal's number into a socket pair; a notifier on the other end calls
// back on the thread that made this object. Each signal is caught once: a second one of
// the same kind ends the process the usual way, should the closing routine hang.
#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace vantrel::platform {

class TerminationSignals final {
 public:
  // Catches SIGTERM, SIGINT and SIGHUP until destroyed; `onSignal` gets the signal's number.
  // One object at a time per process.
  explicit TerminationSignals(std::function<void(int)> onSignal);
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // False when the signals could not be caught here (no socket pair, or not a POSIX
  // system): they then end the process as before.
  bool Installed() const { return installed_; }

 private:
  void Drain();

  std::function<void(int)> onSignal_;
  int fds_[2] = {-1, -1};
  bool installed_ = false;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace vantrel::platform
