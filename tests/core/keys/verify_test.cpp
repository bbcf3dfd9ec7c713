// The words of a read-back: which keys, macros, lighting fields and device-state bytes
// differ between what was written and what the keyboard holds.
#include "core/keys/verify.h"

#include <gtest/gtest.h>

#include "core/keys/macro.h"
#include "core/lighting/lighting_record.h"
#include "language_file_texts.h"

namespace vantrel::keys {
namespace {

MacroRecord Macro(std::u16string name, std::uint16_t id, std::uint8_t cycles, std::vector<MacroAction> steps) {
  MacroRecord m = NewMacro(name, id);
  m.SetCycles(cycles);
  m.SetActions(steps);
  return m;
}

TEST(CompareKeyTables, NamesEachDifferingKeyByItsFactoryEntry) {
  test::LanguageFileTexts texts;
  const DeviceKeyTable& factory = InitialFactoryKeyTable();
  DeviceKeyTable written = factory;
  DeviceKeyTable read = factory;
  EXPECT_TRUE(CompareKeyTables(1, written, read, factory, texts).empty());

  SetEntryAt(read, 8, {2, 2, 0x2A});  // position 8: Esc (usage 0x29)
  SetEntryAt(read, 6, {1, 1, 1});     // position 6: no key in the factory table
  const auto lines = CompareKeyTables(2, written, read, factory, texts);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "profile 2, key table position 6: written 00 00 00, the keyboard holds 01 01 01");
  const std::string esc = KeyOutputName(CodeOfEntry(EntryAt(factory, 8)), texts);
  EXPECT_EQ(lines[1], "profile 2, key " + esc + ": written 02 02 29, the keyboard holds 02 02 2a");
}

TEST(CompareMacroBlocks, SaysWhichMacroAndWhatDiffers) {
  test::LanguageFileTexts texts;
  const std::vector<MacroRecord> written = {Macro(u"copy", 1, 1, {{10, 0x1E, kPress}, {20, 0x1E, kRelease}}),
                                            Macro(u"paste", 2, 2, {{10, 0x30, kPress}})};
  const auto block = BuildMacroBlock(written, true);
  EXPECT_TRUE(CompareMacroBlocks(block, block, {}, texts).empty());

  // Cycles and the second step of the first macro, the second macro's name.
  const std::vector<MacroRecord> held = {Macro(u"copy", 1, 3, {{10, 0x1E, kPress}, {30, 0x1E, kRelease}}),
                                         Macro(u"pastE", 2, 2, {{10, 0x30, kPress}})};
  auto lines = CompareMacroBlocks(block, BuildMacroBlock(held, true), {}, texts);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "macro 1 \"copy\", cycles: written 1, the keyboard holds 3");
  EXPECT_EQ(lines[1].rfind("macro 1 \"copy\", step 2: written ", 0), 0u) << lines[1];
  EXPECT_NE(lines[1].find("then 20 ms, the keyboard holds "), std::string::npos) << lines[1];
  EXPECT_EQ(lines[2], "macro 2 \"paste\", name: written \"paste\", the keyboard holds \"pastE\"");

  // A block sent without names: the names given stand in, and a missing macro is listed.
  const auto bare = BuildMacroBlock(written, false);
  const auto shorter = BuildMacroBlock(std::vector<MacroRecord>{written[0]}, false);
  const std::u16string names[] = {u"copy", u"paste"};
  lines = CompareMacroBlocks(bare, shorter, names, texts);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "macro 2 \"paste\": written, but the keyboard holds no such macro"),
            lines.end());
  EXPECT_EQ(lines[0].rfind("macro area, ", 0), 0u) << lines[0];

  // A byte no decoder looks at still counts.
  auto odd = block;
  odd[10] ^= 1;  // reserved header byte
  EXPECT_EQ(CompareMacroBlocks(block, odd, {}, texts),
            std::vector<std::string>{"macro area, byte 10: written 0, the keyboard holds 1"});
}

TEST(CompareImageWithKeyboard, EncodesTheImageForTheKeyboardItIsComparedWith) {
  test::LanguageFileTexts texts;
  StoreImage image;
  image.macros = {Macro(u"m", 5, 1, {{10, 0x1E, kPress}})};
  StoreKeyAssignment(image, 0, 0x01, {kKindMacro, 1, 5});
  DeviceConfiguration keyboard;
  keyboard.macroCapacity = 16384;
  for (std::size_t p = 0; p < 3; ++p) {
    keyboard.tables[p] = EncodeKeyTable(image.table, p, keyboard.factory, MacroIdsOf(image.macros));
  }
  keyboard.macroBlock = BuildMacroBlock(image.macros, true);
  EXPECT_TRUE(CompareImageWithKeyboard(image, keyboard, texts).empty());

  keyboard.tables[0] = keyboard.factory;  // the keyboard lost the macro key
  keyboard.macroBlock = BuildMacroBlock({}, true);
  const auto lines = CompareImageWithKeyboard(image, keyboard, texts);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "macro 1 \"m\": written, but the keyboard holds no such macro"),
            lines.end());
  EXPECT_EQ(lines.back().rfind("profile 0, key ", 0), 0u) << lines.back();
}

TEST(CompareRecords, LightingFieldsAndDeviceStateBytesByName) {
  test::LanguageFileTexts texts;
  lighting::LightingRecord written{};
  lighting::LightingRecord read{};
  written[lighting::kRecBrightness] = 3;
  read[lighting::kRecBrightness] = 2;
  written[lighting::kRecRed + 1] = 0x80;  // green of the colour
  read[9] = 7;                            // a byte of the keyboard's own: not compared
  EXPECT_EQ(lighting::CompareLightingRecords(1, written, read, texts),
            (std::vector<std::string>{"profile 1 lighting, brightness: written 3, the keyboard holds 2",
                                      "profile 1 lighting, color: written 008000, the keyboard holds 000000"}));

  std::array<std::uint8_t, device::kDeviceStateSize> state{};
  auto other = state;
  other[device::kStateActiveProfile] = 2;
  other[device::kStateMacroCapacity] = 128;
  EXPECT_EQ(device::CompareDeviceState(state, other, texts),
            (std::vector<std::string>{"device state, active profile: written 0, the keyboard holds 2",
                                      "device state, macro capacity: written 0, the keyboard holds 128"}));
}

// A field differs when the host reads it differently, not when its byte differs.
TEST(CompareRecords, LightingFieldsAreComparedByWhatTheyMean) {
  test::LanguageFileTexts texts;
  struct Case {
    std::size_t offset;
    std::uint8_t written, held;
    std::uint8_t effect;  // the effect both records hold
    bool differs;
  };
  const Case cases[] = {
      {lighting::kRecMulticolour, 1, 0xFF, 1, false},    // on is any value but 0
      {lighting::kRecMulticolour, 0xFF, 1, 1, false},
      {lighting::kRecMulticolour, 1, 0, 1, true},
      {lighting::kRecSecondCycling, 1, 0x80, 1, false},
      {lighting::kRecThirdCycling, 0, 2, 1, true},
      {lighting::kRecReportRate, 3, 7, 1, false},        // above 3 reads as 3
      {lighting::kRecReportRate, 2, 7, 1, true},
      {lighting::kRecEffect7Flag, 0, 0xFF, 1, false},    // read only with effect 7
      {lighting::kRecEffect7Flag, 0, 1, 7, true},
      {lighting::kRecEffect7Flag, 0, 0xFF, 7, true},     // 0 is taken over, 0xFF ignored
      {lighting::kRecTrigger, 2, 5, 1, false},           // both ignored on reading
      {lighting::kRecTrigger, 0, 5, 1, true},
      {lighting::kRecDirection, 0xFF, 1, 1, true},       // two values only, each its own
      {lighting::kRecBrightness, 4, 3, 1, true},
      {lighting::kRecColourChoice, 1, 2, 17, true},
      {lighting::kRecSecondColour + 2, 0x10, 0x11, 1, true},
      {8, 0, 0x55, 1, false},                            // reserved bytes are the keyboard's
      {34, 0, 0x55, 1, false},
  };
  for (const Case& c : cases) {
    lighting::LightingRecord written{};
    written[lighting::kRecEffect] = c.effect;
    lighting::LightingRecord held = written;
    written[c.offset] = c.written;
    held[c.offset] = c.held;
    EXPECT_EQ(lighting::CompareLightingRecords(0, written, held, texts).size(), c.differs ? 1u : 0u)
        << "byte " << c.offset << ": " << int(c.written) << " / " << int(c.held) << " with effect " << int(c.effect);
  }
}

// The lines are in the language in force, and a name holding a conversion prints as it is.
TEST(CompareRecords, LinesAreInTheLanguageInForce) {
  test::LanguageFileTexts french("040C");
  lighting::LightingRecord written{};
  lighting::LightingRecord read{};
  written[lighting::kRecSpeed] = 1;
  EXPECT_EQ(lighting::CompareLightingRecords(2, written, read, french),
            std::vector<std::string>{"profil 2, éclairage, vitesse\u00A0: écrit 1, le clavier contient 0"});

  const std::vector<MacroRecord> one{Macro(u"%s%n", 1, 1, {{10, 0x01E, kPress}})};
  const auto lines = CompareMacroBlocks(BuildMacroBlock(one, true), BuildMacroBlock({}, true), {}, french);
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "macro 1 «\u00A0%s%n\u00A0»\u00A0: écrite, mais le clavier ne contient pas cette macro"),
            lines.end())
      << ::testing::PrintToString(lines);

  test::LanguageFileTexts chinese("0804");
  std::array<std::uint8_t, device::kDeviceStateSize> state{};
  auto other = state;
  other[device::kStateActiveProfile] = 1;
  EXPECT_EQ(device::CompareDeviceState(state, other, chinese),
            std::vector<std::string>{"设备状态，当前配置文件：写入 0，键盘中为 1"});
}

}  // namespace
}  // namespace vantrel::keys
