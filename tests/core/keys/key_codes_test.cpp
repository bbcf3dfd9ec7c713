#include "core/keys/key_codes.h"

#include <gtest/gtest.h>

#include <set>

#include "fake_texts.h"

namespace vantrel::keys {
namespace {

TEST(KeyCodes, IndexOfCodeCoversEveryRange) {
  EXPECT_EQ(KeyIndexOfCode(0x001), 1);
  EXPECT_EQ(KeyIndexOfCode(0x07F), 127);
  EXPECT_EQ(KeyIndexOfCode(0x100), 128);
  EXPECT_EQ(KeyIndexOfCode(0x17F), 255);
  EXPECT_EQ(KeyIndexOfCode(0x180), 0);  // 0x180-0x1FF are never produced
  EXPECT_EQ(KeyIndexOfCode(0x200), 256);  // G1
  EXPECT_EQ(KeyIndexOfCode(0x211), 273);  // G18
  for (std::uint16_t i = 0; i < 256; ++i) EXPECT_EQ(KeyIndexOfCode(CodeOfIndex(i)), i);
  EXPECT_EQ(CodeOfIndex(128), 0x100);
  EXPECT_EQ(CodeOfIndex(300), 0);
}

TEST(KeyCodes, NameTableHoldsTheKeysAndTheirUsageBytes) {
  EXPECT_EQ(KeyEntryOfCode(0x001).label, "Esc");
  EXPECT_EQ(KeyEntryOfCode(0x001).usageByte, 0x29);
  EXPECT_EQ(KeyEntryOfCode(0x01E).usageByte, 0x04);  // A
  EXPECT_EQ(KeyEntryOfCode(0x15B).usageByte, 0xE3);  // left Win
  EXPECT_EQ(KeyEntryOfCode(0x145).usageByte, 0x53);  // Num Lock
  EXPECT_EQ(KeyEntryOfCode(0x146).usageByte, 0x48);  // Break shares Pause's byte
  // Rows that depart from the HID correspondence.
  EXPECT_EQ(KeyEntryOfCode(0x054).usageByte, 0x00);
  EXPECT_EQ(KeyEntryOfCode(0x064).usageByte, 0x00);
  EXPECT_EQ(KeyEntryOfCode(0x064).languageKey, "");
  EXPECT_EQ(KeyEntryOfCode(0x070).usageByte, 0x88);
  EXPECT_EQ(KeyEntryOfCode(0x07E).usageByte, 0x85);
  EXPECT_EQ(KeyEntryOfCode(0x071).usageByte, 0x91);
  EXPECT_EQ(KeyEntryOfCode(0x163).usageByte, 0x83);
  EXPECT_EQ(KeyEntryOfCode(0x162).usageByte, 0xF5);
  EXPECT_EQ(KeyEntryOfCode(0x17B).usageByte, 0xD4);
  EXPECT_EQ(KeyEntryOfCode(0x176).usageByte, 0x00);
  EXPECT_EQ(KeyEntryOfCode(0x047).altLabel, "Num Home");
  EXPECT_EQ(KeyEntryOfCode(0x047).altVirtualKey, 0x24);
  // Right Shift twice with one language key.
  EXPECT_EQ(KeyEntryOfCode(0x036).languageKey, KeyEntryOfCode(0x136).languageKey);
  // Every language key but Right Shift's is used once.
  std::set<std::string_view> keys;
  std::size_t filled = 0;
  for (const KeyNameEntry& e : KeyNameTable()) {
    if (e.label.empty()) {
      EXPECT_EQ(e.listId, kListIdNone);
      continue;
    }
    ++filled;
    if (!e.languageKey.empty() && e.languageKey != "IDS_KEYBOARD_RSHIFT") {
      EXPECT_TRUE(keys.insert(e.languageKey).second) << e.languageKey;
    }
  }
  EXPECT_EQ(filled, 157u);
}

TEST(KeyCodes, UsageRulesBothWays) {
  EXPECT_EQ(UsageOfCode(0x01E), (Usage{kPageKeyboard, 0x04}));
  EXPECT_EQ(UsageOfCode(0x15E), (Usage{kPageGenericDesktop, 0x81}));
  EXPECT_EQ(UsageOfCode(0x171), (Usage{kPageMouse, 0xF1}));
  EXPECT_EQ(UsageOfCode(0x120), (Usage{kPageKeyboard, 0xCD}));  // media keys land on the keyboard page
  EXPECT_EQ(UsageOfCode(0x054), (Usage{kPageNone, 0}));
  EXPECT_EQ(UsageOfCode(0x300), (Usage{kPageNone, 0}));  // no entry
  EXPECT_EQ(CodeOfUsage(kPageKeyboard, 0x48), 0x045);     // first entry wins: Pause, not Break
  EXPECT_EQ(CodeOfUsage(kPageKeyboard, 0xE5), 0x036);
  EXPECT_EQ(CodeOfUsage(kPageGenericDesktop, 0x82), 0x15F);
  EXPECT_EQ(CodeOfUsage(kPageGenericDesktop, 0x04), 0);
  EXPECT_EQ(CodeOfUsage(kPageConsumer, 0xE2), 0x120);
  EXPECT_EQ(CodeOfUsage(kPageConsumer, 0x999), 0);
  EXPECT_EQ(CodeOfUsage(kPageMouse, 0xF1), 0);
  for (std::size_t i = 0; i < kMediaKeyCount; ++i) {
    const MediaKey& m = MediaKeyTable()[i];
    EXPECT_EQ(CodeOfUsage(kPageConsumer, m.consumerUsage), m.code) << i;
    EXPECT_EQ(MediaIndexOfUsage(m.consumerUsage), static_cast<int>(i));
    EXPECT_TRUE(IsMediaKey(m.code));
  }
  EXPECT_FALSE(IsMediaKey(0x01E));
}

TEST(KeyCodes, CodeOfEntryDecodesEveryEntryType) {
  EXPECT_EQ(CodeOfEntry({1, 1, 1}), 0x171);
  EXPECT_EQ(CodeOfEntry({1, 1, 4}), 0x173);
  EXPECT_EQ(CodeOfEntry({1, 1, 3}), 0);
  EXPECT_EQ(CodeOfEntry({1, 5, 1}), 0x161);
  EXPECT_EQ(CodeOfEntry({1, 5, 0xFF}), 0x162);
  EXPECT_EQ(CodeOfEntry({2, 2, 0x29}), 0x001);
  EXPECT_EQ(CodeOfEntry({2, 1, 0x06}), 0x02A);  // lowest set bit first
  EXPECT_EQ(CodeOfEntry({2, 7, 0x80}), 0x15C);
  EXPECT_EQ(CodeOfEntry({2, 1, 0x00}), 0);
  EXPECT_EQ(CodeOfEntry({3, 0xE9, 0x00}), 0x130);
  EXPECT_EQ(CodeOfEntry({3, 0x92, 0x01}), 0x121);
  EXPECT_EQ(CodeOfEntry({4, 0x83, 0x00}), 0x163);
  EXPECT_EQ(CodeOfEntry({6, 0xA2, 3}), 0x202);
  EXPECT_EQ(KeyIndexOfCode(CodeOfEntry({6, 0xA2, 3})), 258);  // G3 of the first layer
  EXPECT_EQ(CodeOfEntry({6, 0xA2, 0}), 0);   // no G key 0
  EXPECT_EQ(CodeOfEntry({6, 0xA2, 19}), 0);  // nor beyond 18
  EXPECT_EQ(CodeOfEntry({5, 1, 0}), 0);
  EXPECT_EQ(CodeOfEntry({0, 0, 0}), 0);
}

TEST(KeyCodes, AssignableListIds) {
  EXPECT_EQ(CodeOfListId(0), 0x01E);    // A
  EXPECT_EQ(CodeOfListId(25), 0x02C);   // Z
  EXPECT_EQ(CodeOfListId(35), 0x00B);   // "0"
  EXPECT_EQ(CodeOfListId(66), 0x146);   // Break
  EXPECT_EQ(CodeOfListId(99), 0x121);   // Calc
  EXPECT_EQ(CodeOfListId(106), 0x036);  // right Shift finds make code 0x036
  EXPECT_EQ(CodeOfListId(113), 0x162);
  for (std::uint16_t id : {96, 97, 98}) EXPECT_EQ(CodeOfListId(id), 0);
  std::set<std::uint16_t> codes;
  for (std::uint16_t id = 0; id < kAssignableKeyCount; ++id) {
    const std::uint16_t c = CodeOfListId(id);
    if (id >= 96 && id <= 98) continue;
    ASSERT_NE(c, 0) << id;
    EXPECT_EQ(ListIdOfCode(c), id);
    EXPECT_TRUE(codes.insert(c).second);
  }
  EXPECT_GE(ListIdOfCode(0x054), 0x8000);
  EXPECT_EQ(ListIdOfCode(0x055), kListIdNone);
}

TEST(KeyCodes, DisplayNameFallsBackToUnknownKeyAndIsCut) {
  testing::MapTexts texts;
  texts.texts["IDS_KEYBOARD_ESC"] = "Escape";
  texts.texts["IDS_KEYBOARD_A"] = "";
  EXPECT_EQ(KeyDisplayName(0x001, texts), "Escape");
  EXPECT_EQ(KeyDisplayName(0x01E, texts), "Key 001E");  // empty text
  EXPECT_EQ(KeyDisplayName(0x064, texts), "Key 0064");  // F13 has no language key
  EXPECT_EQ(KeyDisplayName(0x030, texts), "#Error");     // missing key: the lookup's own text
  texts.texts["IDS_KEYBOARD_ESC"] = std::string(300, 'x');
  EXPECT_EQ(KeyDisplayName(0x001, texts).size(), kDisplayNameMaxChars);
  texts.texts["UNKNOWN_KEY"] = "%s %n %d";  // a hostile format prints literally
  EXPECT_EQ(KeyDisplayName(0x064, texts), "%s %n 100");
}

}  // namespace
}  // namespace vantrel::keys
