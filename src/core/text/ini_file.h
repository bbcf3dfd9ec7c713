// INI access with the semantics of the platform's private-profile functions: section
// and key names compare without regard to case, a missing file, section or key gives the
// caller's default, and writing one key keeps the rest of the file (creating the file
// when it is missing). Files are UTF-8; a UTF-8 byte-order mark is accepted. A value in a
// pair of double or single quotes is read without them.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel::text {

// One read of a key: the whole file is parsed on each call, as the private-profile
// functions do, so changes made by other programs are seen at once.
std::string ReadIniString(const std::filesystem::path& path, std::string_view section, std::string_view key,
                          std::string_view defaultValue, std::size_t maxChars = 259);
int ReadIniInt(const std::filesystem::path& path, std::string_view section, std::string_view key, int defaultValue);
// Writes one key atomically (temporary file, then rename); false when it cannot.
bool WriteIniString(const std::filesystem::path& path, std::string_view section, std::string_view key,
                    std::string_view value);

// A small class bound to one INI path.
class CIniFile {
 public:
  CIniFile() = default;
  explicit CIniFile(std::filesystem::path path) : path_(std::move(path)) {}

  void Bind(std::filesystem::path path) { path_ = std::move(path); }
  const std::filesystem::path& Path() const { return path_; }

  // The value (at most 2047 characters), or nothing when it is missing or empty.
  std::optional<std::string> ReadString(std::string_view section, std::string_view key,
                                        std::string_view defaultValue = {}) const;
  bool WriteString(std::string_view section, std::string_view key, std::string_view value) const;

 private:
  std::filesystem::path path_;
};

// One parse of an INI file kept in memory, for callers that read many keys of a file
// that seldom changes (the language files). Same parser and rules as ReadIniString.
class IniSnapshot {
 public:
  IniSnapshot();
  ~IniSnapshot();
  IniSnapshot(IniSnapshot&&) noexcept;
  IniSnapshot& operator=(IniSnapshot&&) noexcept;

  // Parses the file; false (and an empty snapshot) when it is missing or unreadable.
  bool Load(const std::filesystem::path& path);
  bool Loaded() const;
  // The value, or nothing when the section or key is missing.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;

 private:
  struct Data;
  std::unique_ptr<Data> data_;
};

// Cuts a UTF-8 text to at most maxChars characters (code points), never inside one.
std::string CutUtf8(std::string_view text, std::size_t maxChars);

}  // namespace vantrel::text
