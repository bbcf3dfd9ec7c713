#include "core/profiles/working_file.h"

#include <string>
#include <system_error>

#include "core/profiles/profile_file.h"

namespace vantrel::profiles {

std::filesystem::path UserColourFileName(int index) {
  return std::filesystem::path("UserDengColor_" + std::to_string(index) + ".userd");
}

void EnsureWorkingFolder(const ProfilePaths& paths) {
  std::error_code ec;
  if (std::filesystem::exists(paths.userFolder, ec)) return;
  if (!std::filesystem::create_directories(paths.userFolder, ec) && ec) return;
  const std::filesystem::path source = paths.programFolder / "Skins" / UserColourFileName(3);
  for (int i = 0; i < 3; ++i) {
    std::filesystem::copy_file(source, paths.userFolder / UserColourFileName(i),
                               std::filesystem::copy_options::overwrite_existing, ec);
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
