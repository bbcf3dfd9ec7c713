// A lock file beside a shared file, so that two processes working on the same file take
// turns: the second waits until the first has released it (or has died; a lock left by
// a process that no longer runs is taken over).
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

class QLockFile;

namespace vantrel::platform {

class FileLock {
 public:
  // The lock file is `lockPath`; nothing is locked until Acquire.
  explicit FileLock(const std::filesystem::path& lockPath);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Waits up to `timeout` for the lock. False with the reason when it cannot be had.
  bool Acquire(std::chrono::milliseconds timeout, std::string* why);
  void Release();

 private:
  std::filesystem::path path_;
  std::unique_ptr<QLockFile> lock_;
};

}  // namespace vantrel::platform
