// Every path the program uses, built once at start from two inputs: the executable's full
// path and the user's local application-data folder. Program files (skins, help, language
// files, the firmware packages, the companion daemon) lie beside the executable; per-user
// files lie in the data folder under "PX204-1127".
#pragma once

#include <filesystem>

namespace vantrel::text {

inline constexpr const char* kUserFolderName = "PX204-1127";

struct AppPaths {
  std::filesystem::path programFileName;   // file name and extension of the executable
  std::filesystem::path programDirectory;  // the executable's folder
  std::filesystem::path helpDirectory;     // programDirectory / "Help" (holds "index.html")

  std::filesystem::path mainSkinFile;  // programDirectory / "Skins" / "Main.ini"
  std::filesystem::path mainSkinDirectory;
  // programDirectory / "Skins" / "UserDengColor_": completed with the profile number and
  // ".userd" by the colour-file code.
  std::filesystem::path userColourFilePrefix;
  std::filesystem::path profileSkinFile;  // "Skins/Profile.ini"
  std::filesystem::path profileSkinDirectory;
  std::filesystem::path updateSkinFile;  // "Skins/UpdateDlg.ini"
  std::filesystem::path updateSkinDirectory;
  std::filesystem::path compositeSkinFile;  // "Skins/Composite.ini"
  std::filesystem::path compositeSkinDirectory;

  std::filesystem::path packageDirectory;  // programDirectory / "Package"
  std::filesystem::path companionDaemon;   // programDirectory / "KbDaemon.exe" ("KbDaemon" off Windows)

  std::filesystem::path userDataDirectory;           // local data folder / "PX204-1127"
  std::filesystem::path userSettingsFile;            // userDataDirectory / "wskb.ini"
  std::filesystem::path userDataColourFilePrefix;    // userDataDirectory / "UserDengColor_"
};

// The companion daemon beside the executable in programDirectory: "KbDaemon.exe" on
// Windows, "KbDaemon" elsewhere.
std::filesystem::path CompanionDaemonPath(const std::filesystem::path& programDirectory);

// A relative executable path is taken from the current directory, so every entry points
// beside the executable wherever the program was started from.
AppPaths BuildAppPaths(const std::filesystem::path& executablePath, const std::filesystem::path& localDataFolder);

}  // namespace vantrel::text
