// The application's profile strings: named text entries in sections, kept by the platform
// (Windows: the registry key of the application; elsewhere a settings file). The record-
// delay choice of the macro editor and the profile list live there.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel::text {

class ProfileStrings {
 public:
  virtual ~ProfileStrings() = default;
  // The entry's text; nothing when absent.
  virtual std::optional<std::string> Read(std::string_view section, std::string_view entry) const = 0;
  virtual bool Write(std::string_view section, std::string_view entry, std::string_view value) = 0;
};

// Entries held in memory only (tests, --simulate runs without a settings file). Thread-safe.
class MemoryProfileStrings final : public ProfileStrings {
 public:
  std::optional<std::string> Read(std::string_view section, std::string_view entry) const override {
    std::lock_guard lock(mutex_);
    const auto it = values_.find(std::string(section) + '\n' + std::string(entry));
    if (it == values_.end()) return std::nullopt;
    return it->second;
  }
  bool Write(std::string_view section, std::string_view entry, std::string_view value) override {
    std::lock_guard lock(mutex_);
    values_[std::string(section) + '\n' + std::string(entry)] = std::string(value);
    return true;
  }

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::string> values_;
};

}  // namespace vantrel::text
