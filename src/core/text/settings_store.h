// The program's settings key (Windows: HKEY_CURRENT_USER\Software\PX204-1127; elsewhere a
// settings file of the platform layer) seen as named 32-bit values. Core code reads and
// writes it through this interface only; the platform layer implements it over QSettings,
// tests and overrides use the in-memory versions below.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel::text {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The value, or nothing when it is absent or not a 32-bit number.
  virtual std::optional<std::uint32_t> ReadDword(std::string_view name) const = 0;
  // false when the value could not be stored.
  virtual bool WriteDword(std::string_view name, std::uint32_t value) = 0;
  // A count that grows with every write made through this object, so a reader that keeps
  // a value can tell at once that this process changed it; nothing when the store cannot
  // tell (the reader then reads every time).
  virtual std::optional<std::uint64_t> Writes() const { return std::nullopt; }
};

// Values held in memory only. Thread-safe.
class MemorySettingsStore : public SettingsStore {
 public:
  std::optional<std::uint32_t> ReadDword(std::string_view name) const override;
  bool WriteDword(std::string_view name, std::uint32_t value) override;
  std::optional<std::uint64_t> Writes() const override;
  void Remove(std::string_view name);

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::uint32_t, std::less<>> values_;
  std::uint64_t writes_ = 0;
};

// A store whose chosen values are overridden in memory for the life of the object (a
// command-line choice that must not be stored); every other value is read from and
// written to the underlying store. Writes to an overridden value stay in memory.
class OverlaySettingsStore : public SettingsStore {
 public:
  explicit OverlaySettingsStore(SettingsStore& base) : base_(base) {}

  void Override(std::string_view name, std::uint32_t value) { overrides_.WriteDword(name, value); }

  std::optional<std::uint32_t> ReadDword(std::string_view name) const override;
  bool WriteDword(std::string_view name, std::uint32_t value) override;
  std::optional<std::uint64_t> Writes() const override;

 private:
  SettingsStore& base_;
  MemorySettingsStore overrides_;
};

}  // namespace vantrel::text
