// An INI file read once and kept in memory, read again only when its size or
// modification time has changed. The file's status is looked at no more often than a
// check interval (100 ms unless told otherwise), so an edited file takes effect within
// that time while thousands of lookups a second cost no file-system call each. For files
// read key by key many times over (the language files: a window looks up hundreds of
// names per redraw, an import thousands).
#pragma once

#include <cstddef>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/text/ini_file.h"

namespace vantrel::text {

// The time source of the check interval (tests step it by hand).
using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;
inline constexpr std::chrono::milliseconds kFileCheckInterval{100};

// Thread-safe.
class CachedIniFile {
 public:
  explicit CachedIniFile(std::filesystem::path path, std::chrono::milliseconds checkInterval = kFileCheckInterval,
                         SteadyClock clock = {})
      : path_(std::move(path)), interval_(checkInterval), clock_(std::move(clock)) {}

  const std::filesystem::path& Path() const { return path_; }

  // The value, or nothing when the file, the section or the key is missing. Same parser
  // and rules as ReadIniString.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;
  // As ReadIniString: the default when missing, cut to maxChars characters.
  std::string Read(std::string_view section, std::string_view key, std::string_view defaultValue,
                   std::size_t maxChars = 259) const;

  // The file's content (parsed again first when it changed), or nullptr when it is
  // missing or unreadable. Stays valid, unchanged, while the caller holds it. Current()
  // looks at the file when the check interval has passed since the last look; CurrentNow()
  // looks at once (one look for a batch of lookups).
  std::shared_ptr<const IniSnapshot> Current() const;
  std::shared_ptr<const IniSnapshot> CurrentNow() const;

  // How many times the file has been parsed (tests and benchmarks).
  std::uint64_t Parses() const;

 private:
  std::chrono::steady_clock::time_point Now() const;
  std::shared_ptr<const IniSnapshot> Check() const;

  std::filesystem::path path_;
  std::chrono::milliseconds interval_;
  SteadyClock clock_;
  mutable std::mutex mutex_;
  mutable std::optional<std::chrono::steady_clock::time_point> lastLook_;
  mutable bool checked_ = false;
  mutable std::uintmax_t size_ = 0;
  mutable std::filesystem::file_time_type modified_{};
  mutable std::shared_ptr<const IniSnapshot> ini_;
  mutable std::uint64_t parses_ = 0;
};

}  // namespace vantrel::text
