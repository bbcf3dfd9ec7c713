#include "core/keys/key_table.h"

#include <gtest/gtest.h>

namespace vantrel::keys {
namespace {

// A factory table with a few keys at known positions: Esc, A, left Shift, Break, right
// Shift (0x136 would alias), left button, G3, and a device-only function key.
DeviceKeyTable TestFactory() {
  DeviceKeyTable f{};
  SetEntryAt(f, 0, {5, 0, 0});        // device-only
  SetEntryAt(f, 1, {2, 2, 0x29});     // Esc
  SetEntryAt(f, 2, {2, 2, 0x04});     // A
  SetEntryAt(f, 3, {2, 1, 0x02});     // left Shift
  SetEntryAt(f, 4, {2, 2, 0x4A});     // Home
  SetEntryAt(f, 5, {2, 2, 0x3A});     // F1
  SetEntryAt(f, 6, {6, 0xA2, 3});     // G3
  SetEntryAt(f, 7, {2, 2, 0x05});     // B
  SetEntryAt(f, 8, {2, 2, 0x06});     // C
  SetEntryAt(f, 9, {2, 2, 0x07});     // D
  return f;
}

TEST(KeyTable, InitialFactoryImage) {
  const DeviceKeyTable& t = InitialFactoryKeyTable();
  EXPECT_EQ(EntryAt(t, 0), (KeyEntry{5, 0, 0}));
  EXPECT_EQ(EntryAt(t, 8), (KeyEntry{2, 2, 0x29}));
  EXPECT_EQ(EntryAt(t, 13), (KeyEntry{2, 1, 0x01}));
  EXPECT_EQ(EntryAt(t, 53), (KeyEntry{5, 2, 0x02}));
  EXPECT_EQ(EntryAt(t, 62), (KeyEntry{2, 2, 0x48}));
  EXPECT_EQ(EntryAt(t, 63), (KeyEntry{0, 0, 0}));
  EXPECT_EQ(EntryAt(t, 125), (KeyEntry{0, 0, 0}));
}

TEST(KeyTable, FactoryTableHasOnlyTheKeysItNames) {
  const DeviceKeyTable f = TestFactory();
  EXPECT_TRUE(FactoryTableHasKey(f, 0x01));    // Esc
  EXPECT_TRUE(FactoryTableHasKey(f, 258));     // G3, first layer
  EXPECT_FALSE(FactoryTableHasKey(f, 259));    // G4: not in this table
  EXPECT_FALSE(FactoryTableHasKey(f, 267));    // G3 of the second layer
  EXPECT_FALSE(FactoryTableHasKey(f, 0x54));   // Sys Req
  EXPECT_FALSE(FactoryTableHasKey(f, 0));      // empty positions name no key
  // A table that names G12 (the second layer's G3) keeps it, and encodes its record there.
  DeviceKeyTable g = f;
  SetEntryAt(g, 10, {6, 0xA2, 12});
  EXPECT_TRUE(FactoryTableHasKey(g, 267));
  AssignmentTable table;
  table.SetRecord(1, 267, {kKindKey, 0x1303, 0x01E});
  EXPECT_EQ(EntryAt(EncodeKeyTable(table, 1, g, {}), 10), (KeyEntry{2, 2, 0x04}));
  EXPECT_EQ(EntryAt(EncodeKeyTable(table, 1, f, {}), 10), (KeyEntry{0, 0, 0}));
}

TEST(KeyTable, EncodeWritesEveryKind) {
  const DeviceKeyTable f = TestFactory();
  AssignmentTable table;
  const std::size_t p = 1;
  table.SetRecord(p, 0x01, {kKindDisabled, 0, 0});                 // Esc
  table.SetRecord(p, 0x1E, {kKindKey, 0, 0x138});                  // A -> right Alt
  table.SetRecord(p, 0x2A, {kKindKey, 0, 0x162});                  // left Shift -> wheel down
  table.SetRecord(p, KeyIndexOfCode(0x147), {kKindMacro, 0, 7});   // Home -> macro id 7
  table.SetRecord(p, 0x3B, {kKindMedia, 0, 7});                    // F1 -> Mute
  table.SetRecord(p, 258, {kKindFunction, 0x303, 0x109});          // G3 -> function, low byte
  table.SetRecord(p, 0x30, {kKindStopMacro, 0, 0});                // B
  table.SetRecord(p, 0x2E, {kKindLaunch, 0, 12});                  // C keeps its factory entry
  table.SetRecord(p, 0x20, {kKindText, 0, 0});                     // D is switched off
  const std::uint16_t ids[] = {3, 7, 9};
  const DeviceKeyTable out = EncodeKeyTable(table, p, f, ids);
  EXPECT_EQ(EntryAt(out, 0), (KeyEntry{5, 0, 0}));
  EXPECT_EQ(EntryAt(out, 1), (KeyEntry{0, 0, 0}));
  EXPECT_EQ(EntryAt(out, 2), (KeyEntry{2, 1, 0x40}));
  EXPECT_EQ(EntryAt(out, 3), (KeyEntry{1, 5, 0xFF}));
  EXPECT_EQ(EntryAt(out, 4), (KeyEntry{5, 1, 1}));
  EXPECT_EQ(EntryAt(out, 5), (KeyEntry{3, 0xE2, 0x00}));
  EXPECT_EQ(EntryAt(out, 6), (KeyEntry{5, 5, 0x09}));
  EXPECT_EQ(EntryAt(out, 7), (KeyEntry{5, 2, 0}));
  EXPECT_EQ(EntryAt(out, 8), EntryAt(f, 8));
  EXPECT_EQ(EntryAt(out, 9), (KeyEntry{0, 0, 0}));
  // Other profiles are untouched by profile 1's records.
  EXPECT_EQ(EncodeKeyTable(table, 0, f, ids), f);
}

TEST(KeyTable, EncodeFailureRules) {
  const DeviceKeyTable f = TestFactory();
  AssignmentTable table;
  table.SetRecord(0, 0x01, {kKindKey, 0, 0x300});          // no entry: 02 02 00
  table.SetRecord(0, 0x1E, {kKindMacro, 0, 42});           // unknown id: first macro
  table.SetRecord(0, 0x3B, {kKindMedia, 0, 18});           // outside the media table
  table.SetRecord(0, 0x2A, {kKindKey, 0, 0x15E});          // Power: not a keyboard usage
  const std::uint16_t ids[] = {3};
  const DeviceKeyTable out = EncodeKeyTable(table, 0, f, ids);
  EXPECT_EQ(EntryAt(out, 1), (KeyEntry{2, 2, 0}));
  EXPECT_EQ(EntryAt(out, 2), (KeyEntry{5, 1, 0}));
  EXPECT_EQ(EntryAt(out, 5), EntryAt(f, 5));
  EXPECT_EQ(EntryAt(out, 3), (KeyEntry{2, 2, 0}));
}

TEST(KeyTable, EncodeDecodeRoundTrip) {
  const DeviceKeyTable f = TestFactory();
  AssignmentTable table;
  table.SetRecord(2, 0x01, {kKindDisabled, 0, 0});
  table.SetRecord(2, 0x1E, {kKindKey, 0, 0x146});            // Break comes back as Pause
  table.SetRecord(2, 0x2A, {kKindKey, 0, 0x136});            // 0x136 comes back as 0x036
  table.SetRecord(2, KeyIndexOfCode(0x147), {kKindMacro, 0, 9});  // position 2 -> code 3
  table.SetRecord(2, 0x3B, {kKindMedia, 0, 17});
  table.SetRecord(2, 258, {kKindFunction, 0, 10});
  table.SetRecord(2, 0x30, {kKindStopMacro, 0, 0});
  table.SetRecord(2, 0x2E, {kKindLaunch, 0, 0});             // comes back as kind 0
  table.SetRecord(2, 0x20, {kKindText, 0, 0});               // comes back as kind 1
  const std::uint16_t ids[] = {3, 7, 9};
  const ProfileRecords r = DecodeKeyTable(EncodeKeyTable(table, 2, f, ids), f);
  EXPECT_EQ(r[0x01].kind, kKindDisabled);
  EXPECT_EQ(r[0x1E].kind, kKindKey);
  EXPECT_EQ(r[0x1E].code, 0x045);
  EXPECT_EQ(r[0x2A].code, 0x036);
  EXPECT_EQ(r[KeyIndexOfCode(0x147)].kind, kKindMacro);
  EXPECT_EQ(r[KeyIndexOfCode(0x147)].code, 3);
  EXPECT_EQ(r[0x3B].kind, kKindMedia);
  EXPECT_EQ(r[0x3B].code, 17);
  EXPECT_EQ(r[258].kind, kKindFunction);
  EXPECT_EQ(r[258].code, 10);
  EXPECT_EQ(r[258].aux, 0x303);
  EXPECT_EQ(r[0x30].kind, kKindStopMacro);
  EXPECT_EQ(r[0x2E].kind, kKindFactory);
  EXPECT_EQ(r[0x20].kind, kKindDisabled);
  EXPECT_EQ(r[270].aux, 0x1306);
  EXPECT_EQ(r[274].aux, 0);

  // Every keyboard-page key, modifier and mouse function survives when it is the first
  // holder of its usage byte.
  for (std::uint16_t i = 1; i < kKeyNameCount; ++i) {
    const std::uint16_t code = CodeOfIndex(i);
    const Usage u = UsageOfCode(code);
    const bool keyboard = u.page == kPageKeyboard && CodeOfUsage(kPageKeyboard, u.usage) == code;
    const bool mouse = u.page == kPageMouse && u.usage <= 0xF5;
    if (!keyboard && !mouse && ModifierBitOfCode(code) == 0) continue;
    if (code == 0x001) continue;  // Esc onto itself is the factory entry
    AssignmentTable t;
    t.SetRecord(0, 0x01, {kKindKey, 0, code});
    const ProfileRecords back = DecodeKeyTable(EncodeKeyTable(t, 0, f, {}), f);
    EXPECT_EQ(back[0x01].kind, kKindKey) << std::hex << code;
    EXPECT_EQ(back[0x01].code, code) << std::hex << code;
  }
}

TEST(KeyTable, DecodeOfUntrustedEntries) {
  const DeviceKeyTable f = TestFactory();
  DeviceKeyTable t = f;
  SetEntryAt(t, 0, {2, 2, 0x04});   // a device-only position changed: no key code, skipped
  SetEntryAt(t, 1, {3, 0x34, 0x12});  // unknown consumer usage stays disabled
  SetEntryAt(t, 2, {2, 2, 0xFE});   // usage nobody has
  SetEntryAt(t, 3, {7, 7, 7});      // unknown type
  SetEntryAt(t, 4, {2, 1, 0x00});   // modifier without a bit
  SetEntryAt(t, 5, {1, 1, 0x08});   // unknown button
  const ProfileRecords r = DecodeKeyTable(t, f);
  EXPECT_EQ(r[0x01].kind, kKindDisabled);
  EXPECT_EQ(r[0x1E].kind, kKindDisabled);
  EXPECT_EQ(r[0x2A].kind, kKindDisabled);
  EXPECT_EQ(r[KeyIndexOfCode(0x147)].kind, kKindDisabled);
  EXPECT_EQ(r[0x3B].kind, kKindDisabled);
  // An all-0xFF table against an all-0xFF factory touches nothing.
  DeviceKeyTable ff;
  ff.fill(0xFF);
  for (const KeyAssignment& a : DecodeKeyTable(ff, ff)) EXPECT_EQ(a.kind, kKindFactory);
}

}  // namespace
}  // namespace vantrel::keys
