#include "platform/keyboard_lock.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include <QCoreApplication>
#include <QLockFile>
#include <QtGlobal>

#include "platform/runtime_folder.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QFile>
#endif

namespace vantrel::platform {
namespace {

// The generation file: the number in decimal, always 20 digits and a newline, so a new
// number overwrites the old one entirely without truncating the file first.
constexpr std::size_t kGenerationDigits = 20;

// How often a waiting program looks whether the lock is free again.
constexpr std::chrono::milliseconds kLockPoll{2};

#ifdef Q_OS_UNIX

// Opens `path` without following a link and without blocking on a FIFO, creating it with
// `mode` (exactly, whatever the umask) when missing; refuses anything but a regular file,
// and a file of another user (root's excepted), who could hold the lock for ever. Where the
// file may not be written (another user's lock in the shared folder), it is opened for
// reading: an advisory lock needs no more. -1 with the reason otherwise.
//
// An existing file is opened without O_CREAT: in a sticky folder open to all, the system
// refuses O_CREAT on a file of another user even to root (protected_regular).
int OpenRegular(const std::filesystem::path& path, mode_t mode, std::string* why) {
  constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
  int fd = -1;
  for (int attempt = 0; attempt < 3 && fd < 0; ++attempt) {
    fd = ::open(path.c_str(), O_RDWR | kFlags);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | kFlags);
    if (fd >= 0 || errno != ENOENT) break;
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | kFlags, mode);
    if (fd >= 0) (void)::fchmod(fd, mode);
    else if (errno != EEXIST) break;  // EEXIST: another program made it just now
  }
  if (fd < 0) {
    if (why) *why = "cannot open " + path.string() + ": " + std::strerror(errno);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    if (why) *why = path.string() + " is not a regular file";
    return -1;
  }
  if (st.st_uid != ::geteuid() && st.st_uid != 0) {
    ::close(fd);
    if (why) *why = path.string() + " belongs to another user";
    return -1;
  }
  return fd;
}

// A file that is no longer reachable by its name (removed, or replaced by another file):
// a lock taken on it would not meet the other programs, which open the name.
bool Unlinked(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) != 0 || st.st_nlink == 0;
}

std::uint64_t ReadGeneration(int fd) {
  char text[kGenerationDigits + 2] = {};
  const ssize_t n = ::pread(fd, text, kGenerationDigits, 0);
  std::uint64_t value = 0;
  for (ssize_t i = 0; i < n && text[i] >= '0' && text[i] <= '9'; ++i) value = value * 10 + static_cast<unsigned>(text[i] - '0');
  return value;
}

#endif

}  // namespace

KeyboardLock::KeyboardLock(std::filesystem::path lockPath, unsigned mode)
    : lockPath_(std::move(lockPath)), generationPath_(std::filesystem::path(lockPath_) += ".gen"), mode_(mode) {}

KeyboardLock::~KeyboardLock() {
  Release();
  CloseFiles();
}

#ifdef Q_OS_UNIX

bool KeyboardLock::Acquire(std::chrono::milliseconds timeout, std::string* why) {
  if (held_) return true;
  const auto until = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    // The lock file stays open between turns: a turn then costs a lock and an unlock, not
    // an open and a close of the file by its name.
    if (fd_ < 0) {
      fd_ = OpenRegular(lockPath_, mode_, why);
      if (fd_ < 0) return false;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
      if (!Unlinked(fd_)) {
        held_ = true;
        return true;
      }
      // Locked a file that has since gone: open the name again and lock that one.
      CloseFiles();
      continue;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      if (why) *why = "cannot lock " + lockPath_.string() + ": " + std::strerror(errno);
      break;
    }
    if (std::chrono::steady_clock::now() >= until) {
      if (why) *why = "the keyboard is busy with another program (lock file " + lockPath_.string() + ")";
      break;
    }
    std::this_thread::sleep_for(kLockPoll);
  }
  CloseFiles();
  return false;
}

void KeyboardLock::Release() {
  if (!held_) return;
  ::flock(fd_, LOCK_UN);
  held_ = false;
}

void KeyboardLock::CloseFiles() {
  held_ = false;
  if (fd_ >= 0) ::close(fd_);
  if (generationFd_ >= 0) ::close(generationFd_);
  fd_ = -1;
  generationFd_ = -1;
}

int KeyboardLock::HeldGenerationFile(std::string* why) const {
  // Kept open while this program takes its turns; opened again when the file was removed.
  if (generationFd_ >= 0 && Unlinked(generationFd_)) {
    ::close(generationFd_);
    generationFd_ = -1;
  }
  if (generationFd_ < 0) generationFd_ = OpenRegular(generationPath_, mode_, why);
  return generationFd_;
}

std::uint64_t KeyboardLock::Generation() const {
  if (held_) {
    const int fd = HeldGenerationFile(nullptr);
    return fd < 0 ? 0 : ReadGeneration(fd);
  }
  const int fd = ::open(generationPath_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return 0;
  struct stat st {};
  const std::uint64_t value = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? ReadGeneration(fd) : 0;
  ::close(fd);
  return value;
}

bool KeyboardLock::WriteGeneration(std::uint64_t value, std::string* why) {
  if (!held_) {
    if (why) *why = "the keyboard's lock is not held";
    return false;
  }
  const int fd = HeldGenerationFile(why);
  if (fd < 0) return false;
  char text[kGenerationDigits + 2];
  std::snprintf(text, sizeof text, "%020llu\n", static_cast<unsigned long long>(value));
  const bool written = ::pwrite(fd, text, kGenerationDigits + 1, 0) == static_cast<ssize_t>(kGenerationDigits + 1);
  if (!written && why) *why = "cannot write " + generationPath_.string() + ": " + std::strerror(errno);
  return written;
}

bool KeyboardLock::CreateGenerationFile(std::string* why) {
  const int fd = OpenRegular(generationPath_, mode_, why);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

#else

// Elsewhere a lock file whose owner is checked by process id stands in for the advisory
// lock (a lock left by a process that no longer runs is taken over).
bool KeyboardLock::Acquire(std::chrono::milliseconds timeout, std::string* why) {
  if (held_) return true;
  if (!qtLock_) {
    qtLock_ = std::make_unique<QLockFile>(QString::fromStdString(lockPath_.string()));
    qtLock_->setStaleLockTime(0);
  }
  if (!qtLock_->tryLock(static_cast<int>(timeout.count()))) {
    if (why) *why = "the keyboard is busy with another program (lock file " + lockPath_.string() + ")";
    return false;
  }
  held_ = true;
  return true;
}

void KeyboardLock::Release() {
  if (!held_) return;
  qtLock_->unlock();
  held_ = false;
}

void KeyboardLock::CloseFiles() {}

std::uint64_t KeyboardLock::Generation() const {
  QFile file(QString::fromStdString(generationPath_.string()));
  if (!file.open(QIODevice::ReadOnly)) return 0;
  return file.read(kGenerationDigits).trimmed().toULongLong();
}

bool KeyboardLock::WriteGeneration(std::uint64_t value, std::string* why) {
  if (!held_) {
    if (why) *why = "the keyboard's lock is not held";
    return false;
  }
  QFile file(QString::fromStdString(generationPath_.string()));
  const QByteArray text = QByteArray::number(static_cast<qulonglong>(value)).rightJustified(kGenerationDigits, '0') + '\n';
  if (!file.open(QIODevice::ReadWrite) || file.write(text) != text.size()) {
    if (why) *why = "cannot write " + generationPath_.string();
    return false;
  }
  return true;
}

bool KeyboardLock::CreateGenerationFile(std::string* why) {
  QFile file(QString::fromStdString(generationPath_.string()));
  if (file.exists() || file.open(QIODevice::ReadWrite)) return true;
  if (why) *why = "cannot create " + generationPath_.string();
  return false;
}

#endif

std::string HidKeyboardLockName(std::uint16_t vendor, std::uint16_t product) {
  char name[48];
  std::snprintf(name, sizeof name, "PX204-1127-hid-%04x-%04x.lock", vendor, product);
  return name;
}

std::filesystem::path SimKeyboardLockPath(const std::filesystem::path& statePath) {
  std::error_code ec;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(std::filesystem::absolute(statePath, ec), ec);
  if (ec) canonical = statePath.lexically_normal();
  return canonical += ".lock";
}

long long CurrentProcessId() { return static_cast<long long>(QCoreApplication::applicationPid()); }

std::filesystem::path HidKeyboardLockPath(std::uint16_t vendor, std::uint16_t product, std::string* error) {
  const std::string name = HidKeyboardLockName(vendor, product);
#ifdef Q_OS_LINUX
  // The system's folder for lock files: the same for every user and for root, whatever
  // their environment, so that a program run with sudo takes turns with the user's.
  std::error_code ec;
  const std::filesystem::path system(kSystemLockFolder);
  if (std::filesystem::is_directory(system, ec)) {
    return system / name;
  }
#endif
  const std::filesystem::path folder = RuntimeFolder("PX204-1127", error);
  if (folder.empty()) return {};
  return folder / name;
}

}  // namespace vantrel::platform
