#include "core/text/skin_keys.h"

#include <gtest/gtest.h>

#include <set>

namespace vantrel::text {
namespace {

TEST(SkinKeys, EveryFileListsEachKeyOnce) {
  for (auto file : kAllSkinFiles) {
    const auto keys = SkinButtonKeys(file);
    EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), keys.size()) << SkinFileName(file);
  }
  const auto main = SkinButtonKeys(SkinFile::Main);
  std::size_t keyButtons = 0;
  for (const auto& k : main) keyButtons += k.rfind("KEY_", 0) == 0 || k.rfind("FUNC_G", 0) == 0;
  EXPECT_EQ(keyButtons, 118u);
  EXPECT_EQ(SkinButtonKeys(SkinFile::Profile).size(), 7u);
  EXPECT_EQ(SkinButtonKeys(SkinFile::UpdateDlg).size(), 6u);
  EXPECT_EQ(SkinButtonKeys(SkinFile::AutoProfiles).size(), 15u);
  EXPECT_EQ(ArrowFaceKeys().size(), 8u);
  EXPECT_EQ(ArrowFaceKeys().front(), "UP_ARROW_LEFT1");
  EXPECT_EQ(LightingPanelPictures().size(), 28u + 10u + 26u);
}

}  // namespace
}  // namespace vantrel::text
