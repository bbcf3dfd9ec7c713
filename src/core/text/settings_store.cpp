#include "core/text/settings_store.h"

namespace vantrel::text {

std::optional<std::uint32_t> MemorySettingsStore::ReadDword(std::string_view name) const {
  std::lock_guard lock(mutex_);
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

bool MemorySettingsStore::WriteDword(std::string_view name, std::uint32_t value) {
  std::lock_guard lock(mutex_);
  values_.insert_or_assign(std::string(name), value);
  ++writes_;
  return true;
}

std::optional<std::uint64_t> MemorySettingsStore::Writes() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

void MemorySettingsStore::Remove(std::string_view name) {
  std::lock_guard lock(mutex_);
  const auto it = values_.find(name);
  if (it != values_.end()) values_.erase(it);
  ++writes_;
}

std::optional<std::uint32_t> OverlaySettingsStore::ReadDword(std::string_view name) const {
  if (auto value = overrides_.ReadDword(name)) return value;
  return base_.ReadDword(name);
}

bool OverlaySettingsStore::WriteDword(std::string_view name, std::uint32_t value) {
  if (overrides_.ReadDword(name)) return overrides_.WriteDword(name, value);
  return base_.WriteDword(name, value);
}

std::optional<std::uint64_t> OverlaySettingsStore::Writes() const {
  const auto base = base_.Writes();
  if (!base) return std::nullopt;
  return *base + *overrides_.Writes();
}

}  // namespace vantrel::text
