#include "platform/file_lock.h"

#include <QLockFile>
#include <QString>

#include "core/util/regular_file.h"

namespace vantrel::platform {

FileLock::FileLock(const std::filesystem::path& lockPath)
    : path_(lockPath), lock_(std::make_unique<QLockFile>(QString::fromStdString(lockPath.string()))) {
  // Only a lock whose owner has died is stale: a long run (a slow macro import) keeps its
  // lock however long it takes.
  lock_->setStaleLockTime(0);
}

FileLock::~FileLock() { Release(); }

bool FileLock::Acquire(std::chrono::milliseconds timeout, std::string* why) {
  // Qt reads an existing lock file to tell whether its owner still lives: a FIFO there
  // would block for good.
  if (const std::string problem = RegularFileProblem(path_); !problem.empty() && problem != "does not exist") {
    if (why) *why = "the lock file " + path_.string() + " " + problem;
    return false;
  }
  if (lock_->tryLock(static_cast<int>(timeout.count()))) return true;
  if (why) {
    switch (lock_->error()) {
      case QLockFile::LockFailedError:
        *why = "still in use by another run after " + std::to_string(timeout.count() / 1000) + " s (lock file " +
               path_.string() + ")";
        break;
      case QLockFile::PermissionError:
        *why = "cannot create the lock file " + path_.string() + ": permission denied";
        break;
      default:
        *why = "cannot create the lock file " + path_.string();
        break;
    }
  }
  return false;
}

void FileLock::Release() {
  if (lock_->isLocked()) lock_->unlock();
}

}  // namespace vantrel::platform
