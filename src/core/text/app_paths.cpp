#include "core/text/app_paths.h"

#include <system_error>

namespace vantrel::text {
namespace {

#ifdef _WIN32
constexpr const char* kDaemonFileName = "KbDaemon.exe";
#else
constexpr const char* kDaemonFileName = "KbDaemon";
#endif

}  // namespace

std::filesystem::path CompanionDaemonPath(const std::filesystem::path& programDirectory) {
  return programDirectory / kDaemonFileName;
}

AppPaths BuildAppPaths(const std::filesystem::path& executablePath, const std::filesystem::path& localDataFolder) {
  std::filesystem::path exe = executablePath;
  if (exe.is_relative()) {
    std::error_code ec;
    auto absolute = std::filesystem::absolute(exe, ec);
    if (!ec) exe = absolute;
  }
  exe = exe.lexically_normal();

  AppPaths p;
  p.programFileName = exe.filename();
  p.programDirectory = exe.parent_path();
  const auto& dir = p.programDirectory;
  p.helpDirectory = dir / "Help";

  const auto skins = dir / "Skins";
  p.mainSkinFile = skins / "Main.ini";
  p.mainSkinDirectory = skins;
  p.userColourFilePrefix = skins / "UserDengColor_";
  p.profileSkinFile = skins / "Profile.ini";
  p.profileSkinDirectory = skins;
  p.updateSkinFile = skins / "UpdateDlg.ini";
  p.updateSkinDirectory = skins;
  p.compositeSkinFile = skins / "Composite.ini";
  p.compositeSkinDirectory = skins;

  p.packageDirectory = dir / "Package";
  p.companionDaemon = CompanionDaemonPath(dir);

  p.userDataDirectory = localDataFolder / kUserFolderName;
  p.userSettingsFile = p.userDataDirectory / "wskb.ini";
  p.userDataColourFilePrefix = p.userDataDirectory / "UserDengColor_";
  return p;
}

}  // namespace vantrel::text
