#include "core/text/cached_ini.h"

#include <system_error>

namespace vantrel::text {

std::chrono::steady_clock::time_point CachedIniFile::Now() const {
  return clock_ ? clock_() : std::chrono::steady_clock::now();
}

std::shared_ptr<const IniSnapshot> CachedIniFile::Current() const {
  {
    std::lock_guard lock(mutex_);
    if (lastLook_ && Now() - *lastLook_ < interval_) return ini_;
  }
  return Check();
}

std::shared_ptr<const IniSnapshot> CachedIniFile::CurrentNow() const { return Check(); }

std::shared_ptr<const IniSnapshot> CachedIniFile::Check() const {
  const auto now = Now();
  std::error_code sizeError, timeError;
  const std::uintmax_t size = std::filesystem::file_size(path_, sizeError);
  const auto modified = std::filesystem::last_write_time(path_, timeError);

  std::lock_guard lock(mutex_);
  lastLook_ = now;
  if (sizeError || timeError) {
    // Gone (or not a file): nothing to read; a file that comes back is parsed anew.
    checked_ = false;
    ini_.reset();
    return nullptr;
  }
  if (!checked_ || size != size_ || modified != modified_) {
    ++parses_;
    auto ini = std::make_shared<IniSnapshot>();
    ini_ = ini->Load(path_) ? std::move(ini) : nullptr;
    checked_ = true;
    size_ = size;
    modified_ = modified;
  }
  return ini_;
}

std::optional<std::string> CachedIniFile::Value(std::string_view section, std::string_view key) const {
  const std::shared_ptr<const IniSnapshot> ini = Current();
  if (!ini) return std::nullopt;
  return ini->Value(section, key);
}

std::string CachedIniFile::Read(std::string_view section, std::string_view key, std::string_view defaultValue,
                                std::size_t maxChars) const {
  const auto value = Value(section, key);
  return CutUtf8(value ? std::string_view(*value) : defaultValue, maxChars);
}

std::uint64_t CachedIniFile::Parses() const {
  std::lock_guard lock(mutex_);
  return parses_;
}

}  // namespace vantrel::text
