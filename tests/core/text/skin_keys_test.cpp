#include "core/text/skin_keys.h"

#include "core/keys/key_codes.h"

#include <gtest/gtest.h>

#include <set>

namespace vantrel::text {
namespace {

TEST(SkinKeys, ButtonKeysUseTheKeyIndex) {
  EXPECT_EQ(KeyButtonSkinKey(0x11D), "KEY_09D");
  EXPECT_EQ(KeyButtonSkinKey(0x145), "KEY_0C5");  // Num Lock
  EXPECT_EQ(KeyButtonSkinKey(0x121), "KEY_0A1");
  EXPECT_EQ(KeyButtonSkinKey(0x01), "KEY_001");
  EXPECT_EQ(GKeySkinKey(9), "FUNC_G9");
}

TEST(SkinKeys, KeyTableHasDistinctButtonsIncludingTheMediaKeys) {
  std::set<int> indexes;
  for (const auto& k : OrdinaryKeyButtons()) {
    EXPECT_FALSE(k.legend.empty()) << k.code;
    indexes.insert(keys::KeyIndexOfCode(k.code));
  }
  EXPECT_EQ(indexes.size(), kOrdinaryKeyCount);
  for (int code : {0x130, 0x12E, 0x120, 0x121}) EXPECT_TRUE(indexes.count(keys::KeyIndexOfCode(code))) << code;
  // The table ends with VOL+, VOL-, mute and Calc, in that order.
  const auto keys = OrdinaryKeyButtons();
  EXPECT_EQ(keys[104].code, 0x130);
  EXPECT_EQ(keys[107].code, 0x121);
}

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
  EXPECT_EQ(ArrowFaceKeys().size(), 8u);
  EXPECT_EQ(ArrowFaceKeys().front(), "UP_ARROW_LEFT1");
  EXPECT_EQ(LightingPanelPictures().size(), 28u + 10u + 26u);
}

}  // namespace
}  // namespace vantrel::text
