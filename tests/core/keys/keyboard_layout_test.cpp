// The keyboard layout table: the rows agree with the key codes, the LED grid and the
// skin keys that the windows, lighting and the skin generator take from it.
#include "core/keys/keyboard_layout.h"
#include "core/keys/key_table.h"

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

TEST(KeyboardLayout, ResolvesGKeysByLayer) {
  // G7 of the second layer: record position 15, key index 271, edited-key code 0x10F.
  const auto g7b = ResolveKeyButton(1141, 1);
  ASSERT_TRUE(g7b && g7b->gKey);
  EXPECT_EQ(g7b->code, 0x100 + 15);
  EXPECT_EQ(g7b->index, 271);
  EXPECT_EQ(g7b->ledSlot, kGKeyLedSlot);
  EXPECT_EQ(*g7b->gKey, (GKeyPlace{6, 1}));
  EXPECT_EQ(g7b->gKey->DeviceNumber(), 16);
  EXPECT_FALSE(g7b->macroButton);
  EXPECT_FALSE(g7b->onKeyboard) << "the keyboard's table has no entry for the second layer";
  // Only bit 0 of the layer byte counts.
  EXPECT_EQ(ResolveKeyButton(1141, 3)->index, 271);
  EXPECT_EQ(ResolveKeyButton(1141, 2)->index, 262);

  const auto g1a = ResolveKeyButton(1000, 0);
  EXPECT_EQ(g1a->code, 0x100);
  EXPECT_EQ(g1a->index, kFirstGKeyIndex);
  EXPECT_TRUE(g1a->onKeyboard);
  for (int layer : {0, 1}) {
    const auto g9 = ResolveKeyButton(kGKeyMacroButton, layer);
    EXPECT_TRUE(g9->macroButton);
    EXPECT_EQ(g9->index, 264 + 9 * layer);
    EXPECT_EQ(g9->code, 0x108 + 9 * layer);
  }
}

// The window used a fixed rule (first layer only) where vantrelctl asks the keyboard's
// factory table: with the table known, the table decides, for both layers.
TEST(KeyboardLayout, GKeysAreOnTheKeyboardWhenItsFactoryTableNamesThem) {
  DeviceKeyTable factory{};
  // G1..G18 (06 A2 n) at positions 100..117, except G3 and G12.
  for (int n = 1; n <= 18; ++n) {
    if (n == 3 || n == 12) continue;
    SetEntryAt(factory, static_cast<std::size_t>(99 + n), KeyEntry{0x06, 0xA2, static_cast<std::uint8_t>(n)});
  }
  for (const auto& g : GLayoutKeys()) {
    for (int layer : {0, 1}) {
      const auto known = ResolveKeyButton(g.controlId, layer, factory);
      ASSERT_TRUE(known && known->gKey);
      const int number = known->gKey->DeviceNumber();
      EXPECT_EQ(known->onKeyboard, number != 3 && number != 12) << "G" << number;
      // While the table is not known the first layer stands in for it.
      EXPECT_EQ(ResolveKeyButton(g.controlId, layer)->onKeyboard, layer == 0) << "G" << number;
    }
  }
  EXPECT_TRUE(ResolveKeyButton(1089, 1, factory)->onKeyboard);  // ordinary keys are on the picture
}

TEST(KeyboardLayout, ResolvesOrdinaryKeysFnAndUnknownIds) {
  // The layer does not matter to the other buttons.
  for (int layer : {0, 1}) {
    const auto rctrl = ResolveKeyButton(1089, layer);
    ASSERT_TRUE(rctrl);
    EXPECT_EQ(rctrl->code, 0x11D);
    EXPECT_EQ(rctrl->index, 0x9D);
    EXPECT_EQ(rctrl->ledSlot, 5 * 21 + 8);
    EXPECT_FALSE(rctrl->gKey);
    EXPECT_FALSE(rctrl->macroButton);
    EXPECT_TRUE(rctrl->onKeyboard);
    const auto fn = ResolveKeyButton(1174, layer);
    ASSERT_TRUE(fn);
    EXPECT_EQ(fn->row, &FnLayoutKey());
    EXPECT_EQ(fn->code, 0);
    EXPECT_EQ(fn->index, kNoKeyIndex);
    EXPECT_EQ(fn->ledSlot, 110);
  }
  // FUNC_MACRO and other command buttons are no key buttons.
  for (int id : {1007, 1005, 0, -1, 99999}) EXPECT_FALSE(ResolveKeyButton(id, 0)) << id;
}

TEST(KeyboardLayout, GKeyPlacesRoundTrip) {
  for (std::size_t p = 0; p < kGKeyRecords; ++p) {
    const auto g = GKeyAtPosition(p);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->Position(), p);
    EXPECT_EQ(GKeyOfIndex(g->Index()), g);
    EXPECT_EQ(GKeyOfDeviceNumber(g->DeviceNumber()), g);
    // The button of the place resolves back to it in its layer.
    EXPECT_EQ(ResolveKeyButton(g->Button().controlId, g->layer)->gKey, g);
  }
  EXPECT_EQ(GKeyAtPosition(9), (GKeyPlace{0, 1}));
  EXPECT_FALSE(GKeyAtPosition(kGKeyRecords));
  EXPECT_FALSE(GKeyOfIndex(kFirstGKeyIndex - 1));
  EXPECT_FALSE(GKeyOfIndex(274));
  EXPECT_FALSE(GKeyOfDeviceNumber(0));
  EXPECT_FALSE(GKeyOfDeviceNumber(19));
}

TEST(KeyboardLayout, MainSkinOffersEveryKeyButton) {
  const auto offered = text::SkinButtonKeys(text::SkinFile::Main);
  const std::set<std::string> all(offered.begin(), offered.end());
  for (const LayoutKey& k : KeyboardLayout()) EXPECT_TRUE(all.count(SkinKeyOf(k))) << SkinKeyOf(k);
}

}  // namespace
}  // namespace vantrel::keys
