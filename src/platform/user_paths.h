// Per-user folders. The program's per-user files (working file, colour files,
// "wskb.ini", the virtual keyboard's state) live in the user's local application-data
// folder under "PX204-1127".
#pragma once

#include <filesystem>

namespace vantrel::platform {

// The user's local application-data folder (Linux: ~/.local/share; Windows: the local
// AppData folder).
std::filesystem::path LocalAppDataFolder();

// LocalAppDataFolder() / "PX204-1127".
std::filesystem::path UserDataFolder();

// Default state file of the virtual keyboard.
std::filesystem::path DefaultSimStatePath();
// The folder of the configuration history ($XDG_STATE_HOME or its default); empty when
// the environment names none.
std::filesystem::path HistoryFolderPath();

}  // namespace vantrel::platform
