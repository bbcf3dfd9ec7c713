// The lock every program takes before it talks to one keyboard, and the generation number
// beside it. The lock is a file where every program that may write that keyboard meets:
// beside the state file for the virtual keyboard, in the system's lock folder for the real
// one (HidKeyboardLockPath); the generation file ("<lock>.gen") holds a number that each program advances, under
// the lock, after it changed the keyboard, so a program that keeps a view of the keyboard
// can tell that another one wrote to it.
//
// The lock is an advisory lock on an open file: the system releases it when its process
// ends, however it ends, so a lock is never left behind by a crash.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

class QLockFile;

namespace vantrel::platform {

// Lock files only the user reads (the virtual keyboard's, beside its state file), and lock
// files in the shared lock folder: readable by all, so that root's file can be locked by
// the user and the user's by root (an advisory lock needs only a descriptor open for
// reading); only the owner (and root) can advance the generation.
inline constexpr unsigned kPrivateLockMode = 0600;
inline constexpr unsigned kSharedLockMode = 0644;
// Where the real keyboard's lock lives on Linux.
inline constexpr const char* kSystemLockFolder = "/run/lock";

class KeyboardLock {
 public:
  // `mode`: the permissions the lock and generation files are created with.
  explicit KeyboardLock(std::filesystem::path lockPath, unsigned mode = kPrivateLockMode);
  ~KeyboardLock();
  KeyboardLock(const KeyboardLock&) = delete;
  KeyboardLock& operator=(const KeyboardLock&) = delete;

  // Waits up to `timeout` for the lock (polling every few milliseconds). False with the
  // reason when another process still holds it then, or when the file cannot be used
  // (anything but a regular file there is refused without blocking on it).
  bool Acquire(std::chrono::milliseconds timeout, std::string* why);
  void Release();
  bool Held() const { return held_; }

  // The number in the generation file now; 0 when the file is missing or unreadable.
  std::uint64_t Generation() const;
  // Under the lock: writes `value` over the number in place (so a watcher of the file sees
  // it change). False with the reason when it cannot.
  bool WriteGeneration(std::uint64_t value, std::string* why);
  // Creates an empty generation file (generation 0) when there is none.
  bool CreateGenerationFile(std::string* why);

  const std::filesystem::path& LockPath() const { return lockPath_; }
  const std::filesystem::path& GenerationPath() const { return generationPath_; }

 private:
  std::filesystem::path lockPath_;
  std::filesystem::path generationPath_;
  // Closes the lock and generation files kept open between turns.
  void CloseFiles();
  // The generation file, open while the lock is held; -1 with the reason when it cannot be.
  int HeldGenerationFile(std::string* why) const;

  unsigned mode_;
  int fd_ = -1;  // the lock file, kept open between turns
  mutable int generationFd_ = -1;  // the generation file, kept open between turns
  bool held_ = false;
  std::unique_ptr<QLockFile> qtLock_;  // where there is no advisory file lock
};

// The lock file of a keyboard reached through hidapi: vendor and product, as several
// programs open the same keyboard through different paths and a path changes when the
// keyboard is plugged in again.
std::string HidKeyboardLockName(std::uint16_t vendor, std::uint16_t product);
// The lock file of the virtual keyboard kept in `statePath`: "STATE.lock" beside it (of
// the state file's canonical path, so every spelling of the path meets at one lock, and
// every program using that state file, whatever its environment).
std::filesystem::path SimKeyboardLockPath(const std::filesystem::path& statePath);
// This process's id (the lock log names the process of each turn).
long long CurrentProcessId();
// The real keyboard's lock file: kSystemLockFolder / HidKeyboardLockName on Linux (create
// it with kSharedLockMode); elsewhere, or where that folder is missing, in the user's
// runtime folder. Empty with `error` set when there is no usable folder.
std::filesystem::path HidKeyboardLockPath(std::uint16_t vendor, std::uint16_t product, std::string* error);

}  // namespace vantrel::platform
