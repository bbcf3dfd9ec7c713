// The keyboard layout table: the rows agree with the key codes, the LED grid and the
// skin keys that the windows, lighting and the skin generator take from it.
#include "core/keys/keyboard_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>

#include "core/keys/key_codes.h"
#include "core/text/skin_keys.h"

namespace vantrel::keys {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
  return out;
}

TEST(KeyboardLayout, RowsAreDistinctAndConsistent) {
  std::set<int> controls, slots, matrix;
  std::set<std::string> names, skinKeys;
  for (const LayoutKey& k : KeyboardLayout()) {
    SCOPED_TRACE(std::string(k.name));
    EXPECT_TRUE(controls.insert(k.controlId).second);
    EXPECT_TRUE(matrix.insert(k.matrixPosition).second);
    EXPECT_TRUE(names.insert(Lower(k.name)).second) << "short names must be unique ignoring case";
    EXPECT_TRUE(skinKeys.insert(SkinKeyOf(k)).second);
    EXPECT_FALSE(k.legend.empty());
    EXPECT_GE(k.ledSlot, 0);
    EXPECT_LT(k.ledSlot, kLedSlots);
    EXPECT_GE(k.matrixPosition, 0);
    EXPECT_LT(k.matrixPosition, 126);
    if (k.kind == LayoutKind::Ordinary) {
      EXPECT_TRUE(slots.insert(k.ledSlot).second) << "slot " << k.ledSlot << " taken twice";
      EXPECT_EQ(k.index, KeyIndexOfCode(k.code));
      // Every key of the picture has an entry of its own in the key name table.
      EXPECT_FALSE(KeyEntryOfCode(k.code).label.empty());
      EXPECT_EQ(CodeOfIndex(k.index), k.code);
    }
  }
  EXPECT_EQ(controls.size(), kLayoutKeyCount);
  EXPECT_FALSE(slots.count(FnLayoutKey().ledSlot));
}

TEST(KeyboardLayout, OrderAndFixedRows) {
  const auto ordinary = OrdinaryLayoutKeys();
  // Key-table order: A first, Z at 25, Enter and Esc after the digits, the media keys last.
  EXPECT_EQ(ordinary[0].controlId, 1058);
  EXPECT_EQ(ordinary[25].controlId, 1071);
  EXPECT_EQ(ordinary[36].code, 0x1C);
  EXPECT_EQ(ordinary[37].controlId, 1022);
  EXPECT_EQ(ordinary[104].code, 0x130);
  EXPECT_EQ(ordinary[107].code, 0x121);
  const int gControls[] = {1000, 1001, 1002, 1003, 1004, 1140, 1141, 1142, 1143};
  for (std::size_t n = 0; n < kGKeyCount; ++n) {
    const LayoutKey& g = GLayoutKeys()[n];
    EXPECT_EQ(g.controlId, gControls[n]);
    EXPECT_EQ(g.index, kFirstGKeyIndex + n);
    EXPECT_EQ(g.ledSlot, kGKeyLedSlot);
  }
  EXPECT_EQ(FnLayoutKey().controlId, 1174);
  EXPECT_EQ(FnLayoutKey().ledSlot, 110);
  EXPECT_EQ(FnLayoutKey().index, kNoKeyIndex);
}

TEST(KeyboardLayout, LookupsAndSkinKeys) {
  const LayoutKey* rctrl = LayoutKeyOfCode(0x11D);
  ASSERT_NE(rctrl, nullptr);
  EXPECT_EQ(rctrl->controlId, 1089);
  EXPECT_EQ(rctrl->ledSlot, 5 * 21 + 8);
  EXPECT_EQ(SkinKeyOf(*rctrl), "KEY_09D");
  EXPECT_EQ(LayoutKeyOfIndex(0x9D), rctrl);
  EXPECT_EQ(LayoutKeyOfControl(1089), rctrl);
  EXPECT_EQ(SkinKeyOf(*LayoutKeyOfCode(0x145)), "KEY_0C5");  // Num Lock
  EXPECT_EQ(SkinKeyOf(*LayoutKeyOfCode(0x130)), "KEY_0B0");  // VOL+
  EXPECT_EQ(SkinKeyOf(*LayoutKeyOfControl(1143)), "FUNC_G9");
  EXPECT_EQ(SkinKeyOf(FnLayoutKey()), "KEY_FN");
  EXPECT_EQ(LayoutPosition(*LayoutKeyOfControl(1000)), kOrdinaryKeyCount);
  // Fn has no code; codes and ids that are no key button find nothing.
  EXPECT_EQ(LayoutKeyOfCode(0), nullptr);
  EXPECT_EQ(LayoutKeyOfIndex(kNoKeyIndex), nullptr);
  EXPECT_EQ(LayoutKeyOfCode(0x054), nullptr);  // Sys Req
  EXPECT_EQ(LayoutKeyOfControl(1005), nullptr);
  EXPECT_EQ(LayoutKeyOfControl(1087)->code, 0x15C);  // right Win: on the picture, though not in the preview grid
}

TEST(KeyboardLayout, MainSkinOffersEveryKeyButton) {
  const auto offered = text::SkinButtonKeys(text::SkinFile::Main);
  const std::set<std::string> all(offered.begin(), offered.end());
  for (const LayoutKey& k : KeyboardLayout()) EXPECT_TRUE(all.count(SkinKeyOf(k))) << SkinKeyOf(k);
}

}  // namespace
}  // namespace vantrel::keys
