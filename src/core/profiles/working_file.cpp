#include "core/profiles/working_file.h"

#include <cstdint>
#include <span>
#include <string>
#include <system_error>

#include "core/profiles/profile_file.h"
#include "core/util/regular_file.h"

namespace vantrel::profiles {
namespace {

// The default colour file is a small INI file (about 40 KiB); anything far larger is no
// colour file.
constexpr std::size_t kMaxColourFileBytes = 4u << 20;

}  // namespace

std::filesystem::path UserColourFileName(int index) {
  return std::filesystem::path("UserDengColor_" + std::to_string(index) + ".userd");
}

void EnsureWorkingFolder(const ProfilePaths& paths) {
  std::error_code ec;
  if (!std::filesystem::exists(paths.userFolder, ec) && !std::filesystem::create_directories(paths.userFolder, ec)) {
    return;
  }
  // Each missing colour file is installed, whoever made the folder first (the virtual
  // keyboard keeps its state file there too): a profile without one shows ten modes named
  // "0" in black.
  std::string bytes;
  bool read = false;
  for (int i = 0; i < 3; ++i) {
    const std::filesystem::path target = paths.userFolder / UserColourFileName(i);
    if (std::filesystem::symlink_status(target, ec).type() != std::filesystem::file_type::not_found) continue;
    std::string why;
    if (!read && !ReadRegularFile(paths.programFolder / "Skins" / UserColourFileName(3), kMaxColourFileBytes, bytes, why)) {
      return;
    }
    read = true;
    const std::span<const std::uint8_t> content(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    const std::span<const std::uint8_t> parts[] = {content};
    (void)WriteFileAtomically(target, parts);
  }
}

std::filesystem::path WorkingFilePath(const ProfilePaths& paths, int profileIndex) {
  (void)profileIndex;
  return paths.userFolder / ("$Profile" + std::to_string(0));
}

bool SaveWorkingFile(const ProfilePaths& paths, keys::EditingStore::Lock& held, const WriteFaultHook& hook) {
  const std::filesystem::path path = WorkingFilePath(paths);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return false;
  return SaveProfileFile(path, held, hook);
}

bool SaveWorkingFile(const ProfilePaths& paths, keys::EditingStore& store, const WriteFaultHook& hook) {
  keys::EditingStore::Lock lock(store);
  return SaveWorkingFile(paths, lock, hook);
}

}  // namespace vantrel::profiles
