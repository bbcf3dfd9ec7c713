// An INI file read once and kept in memory, read again only when its size or
// modification time has changed, so an edited file still takes effect at the next
// lookup. For files read key by key many times over (the language files: a window
// looks up hundreds of names per redraw, an import thousands).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/text/ini_file.h"

namespace vantrel::text {

// Thread-safe.
class CachedIniFile {
 public:
  explicit CachedIniFile(std::filesystem::path path) : path_(std::move(path)) {}

  const std::filesystem::path& Path() const { return path_; }

  // The value, or nothing when the file, the section or the key is missing. Same parser
  // and rules as ReadIniString.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;
  // As ReadIniString: the default when missing, cut to maxChars characters.
  std::string Read(std::string_view section, std::string_view key, std::string_view defaultValue,
                   std::size_t maxChars = 259) const;

  // The file's content as of now (parsed again first when it changed), or nullptr when
  // it is missing or unreadable. Stays valid, unchanged, while the caller holds it.
  std::shared_ptr<const IniSnapshot> Current() const;

  // How many times the file has been parsed (tests and benchmarks).
  std::uint64_t Parses() const;

 private:
  std::filesystem::path path_;
  mutable std::mutex mutex_;
  mutable bool checked_ = false;
  mutable std::uintmax_t size_ = 0;
  mutable std::filesystem::file_time_type modified_{};
  mutable std::shared_ptr<const IniSnapshot> ini_;
  mutable std::uint64_t parses_ = 0;
};

}  // namespace vantrel::text
