#include "core/text/app_paths.h"

#include <gtest/gtest.h>

namespace vantrel::text {
namespace {

TEST(AppPaths, EverythingBesideTheExecutableAndPerUserFilesInTheDataFolder) {
  const AppPaths p = BuildAppPaths("/opt/vantrel/bin/vantrel", "/home/ann/.local/share");
  const std::filesystem::path dir = "/opt/vantrel/bin";
  EXPECT_EQ(p.programFileName, "vantrel");
  EXPECT_EQ(p.programDirectory, dir);
  EXPECT_EQ(p.helpDirectory, dir / "Help");
  EXPECT_EQ(p.mainSkinFile, dir / "Skins" / "Main.ini");
  EXPECT_EQ(p.mainSkinDirectory, dir / "Skins");
  EXPECT_EQ(p.userColourFilePrefix.string(), (dir / "Skins" / "UserDengColor_").string());
  EXPECT_EQ(p.profileSkinFile, dir / "Skins" / "Profile.ini");
  EXPECT_EQ(p.updateSkinFile, dir / "Skins" / "UpdateDlg.ini");
  EXPECT_EQ(p.compositeSkinFile, dir / "Skins" / "Composite.ini");
  EXPECT_EQ(p.profileSkinDirectory, p.profileSkinFile.parent_path());
  EXPECT_EQ(p.updateSkinDirectory, p.updateSkinFile.parent_path());
  EXPECT_EQ(p.compositeSkinDirectory, p.compositeSkinFile.parent_path());
  EXPECT_EQ(p.packageDirectory, dir / "Package");
  EXPECT_EQ(p.companionDaemon.parent_path(), dir);
  EXPECT_EQ(p.companionDaemon.stem(), "KbDaemon");

  const std::filesystem::path user = "/home/ann/.local/share/PX204-1127";
  EXPECT_EQ(p.userDataDirectory, user);
  EXPECT_EQ(p.userSettingsFile, user / "wskb.ini");
  EXPECT_EQ(p.userDataColourFilePrefix, user / "UserDengColor_");
}

TEST(AppPaths, RelativeAndUntidyExecutablePathsPointBesideTheExecutable) {
  const AppPaths untidy = BuildAppPaths("/opt/./vantrel/../vantrel/vantrel", "/data");
  EXPECT_EQ(untidy.programDirectory, "/opt/vantrel");
  EXPECT_EQ(untidy.programFileName, "vantrel");

  const AppPaths relative = BuildAppPaths("build/bin/vantrelctl", "/data");
  EXPECT_TRUE(relative.programDirectory.is_absolute());
  EXPECT_EQ(relative.programDirectory, (std::filesystem::current_path() / "build" / "bin").lexically_normal());
  EXPECT_EQ(relative.mainSkinFile, relative.programDirectory / "Skins" / "Main.ini");
}

}  // namespace
}  // namespace vantrel::text
