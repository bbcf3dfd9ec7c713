// The working folder (the per-user folder "PX204-1127") and the working file in it,
// "$Profile0", which mirrors the last configuration read from or applied to the keyboard.
#pragma once

#include <filesystem>

#include "core/keys/stores.h"
#include "core/profiles/atomic_file.h"

namespace vantrel::profiles {

// Where the working file and the user colour files live, and the program's own folder
// (its "Skins" folder holds the default colour file).
struct ProfilePaths {
  std::filesystem::path userFolder;
  std::filesystem::path programFolder;
};

// "UserDengColor_" + index + ".userd".
std::filesystem::path UserColourFileName(int index);

// Creates the user folder when it is missing, and copies
// programFolder/Skins/UserDengColor_3.userd to each of UserDengColor_0/1/2.userd that is
// missing in it (atomically; whatever stands at such a path already is left alone). A copy
// that cannot be made (the default file missing) is skipped without a message.
void EnsureWorkingFolder(const ProfilePaths& paths);

// userFolder/"$Profile0" whatever the profile index: the file holds all profiles.
std::filesystem::path WorkingFilePath(const ProfilePaths& paths, int profileIndex = 0);

// Saves the editing store to the working file, only when that file already exists.
bool SaveWorkingFile(const ProfilePaths& paths, keys::EditingStore::Lock& held, const WriteFaultHook& hook = {});
bool SaveWorkingFile(const ProfilePaths& paths, keys::EditingStore& store, const WriteFaultHook& hook = {});

}  // namespace vantrel::profiles
