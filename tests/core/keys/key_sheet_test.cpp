// The key map's content: the picture from the skin's rectangles, assignments in words in
// the language in force, the G-key table of both layers and the macros the profile uses.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/keys/key_codes.h"
#include "core/keys/key_sheet.h"
#include "core/keys/keyboard_layout.h"
#include "core/text/language.h"
#include "core/text/settings_store.h"
#include "core/text/temp_dir.h"

namespace vantrel::keys {
namespace {

const std::filesystem::path kBinDir = VANTREL_BIN_DIR;

class KeySheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Every key of the layout on a grid of 40 x 40 pixel keys, except Scroll Lock, which
    // this skin does not place, and Pause, placed at the disabled position 1,1.
    std::string ini = "[BUTTONINFO]\n";
    int n = 0;
    for (const LayoutKey& key : KeyboardLayout()) {
      if (key.code == 0x46) continue;
      const int x = key.code == kCodePause ? 1 : 100 + 40 * (n % 22);
      const int y = key.code == kCodePause ? 1 : 50 + 40 * (n / 22);
      ini += SkinKeyOf(key) + "=" + std::to_string(x) + "," + std::to_string(y) + ",38,38\n";
      ++n;
    }
    testing::WriteFile(dir / "Main.ini", ini);
    ASSERT_TRUE(skin.Load(dir / "Main.ini"));

    image.table.SetRecord(0, KeyIndexOfCode(0x3A), {kKindKey, 0, 0x1D, 0, 0});   // Caps Lock: Left Ctrl
    image.table.SetRecord(0, KeyIndexOfCode(0x01), {kKindDisabled, 0, 0, 0, 0});  // Esc: disabled
    image.table.SetRecord(0, KeyIndexOfCode(0x3B), {kKindMedia, 0, 1, 0, 0});     // F1: the second media key
    image.table.SetRecord(0, KeyIndexOfCode(0x3C), {kKindKey, 0, kCodeMouseRight, 0, 0});  // F2: mouse
    image.table.SetRecord(0, GKeyPlace{0, 0}.Index(), {kKindMacro, 0x301, 7, 0, 0});  // G1: macro 7
    image.table.SetRecord(0, GKeyPlace{1, 1}.Index(), {kKindFunction, 0x1302, 8, 0, 0});  // G2, second layer
    MacroRecord copy = NewMacro(u"copy", 7);
    const MacroAction steps[] = {{10, 0x1D, kPress}, {20, 0x2E, kPress}, {5, 0x2E, kRelease}};
    copy.SetActions(steps);
    image.macros.push_back(copy);
    image.macros.push_back(NewMacro(u"never used", 9));
    // Profile 1 uses the unused macro; profile 0's sheet must not list it.
    image.table.SetRecord(1, KeyIndexOfCode(0x1E), {kKindMacro, 0, 9, 0, 0});
  }

  const SheetKey* KeyWithCode(const KeySheet& sheet, std::uint16_t code) {
    const LayoutKey* row = LayoutKeyOfCode(code);
    if (row == nullptr) return nullptr;
    for (const SheetKey& k : sheet.keys) {
      if (k.legend == row->legend && !k.gKey && k.rect == text::ReadSkinRect(skin, "BUTTONINFO", SkinKeyOf(*row))) {
        return &k;
      }
    }
    return nullptr;
  }

  testing::TempDir dir;
  text::IniSnapshot skin;
  StoreImage image;
  text::MemorySettingsStore settings;
  text::FixedSystemLanguage english{0x0409};
  text::LanguageTexts texts{kBinDir, settings, english};
};

TEST_F(KeySheetTest, AssignedKeysCarryTheirAssignmentInWordsAndTheOthersNone) {
  const KeySheet sheet = BuildKeySheet(image, 0, skin, texts, "2026-12-09");
  EXPECT_EQ(sheet.title, "Key map: Profile 1");
  EXPECT_EQ(sheet.date, "2026-12-09");

  const SheetKey* caps = KeyWithCode(sheet, 0x3A);
  ASSERT_NE(caps, nullptr);
  EXPECT_EQ(caps->assignment, KeyDisplayName(0x1D, texts));
  EXPECT_NE(caps->assignment.find("Ctrl"), std::string::npos) << caps->assignment;
  EXPECT_EQ(KeyWithCode(sheet, 0x01)->assignment, "Disabled");
  EXPECT_EQ(KeyWithCode(sheet, 0x3B)->assignment, "Play/Pause");
  EXPECT_EQ(KeyWithCode(sheet, 0x3C)->assignment, KeyDisplayName(kCodeMouseRight, texts));
  EXPECT_NE(KeyWithCode(sheet, 0x3C)->assignment.find("#"), 0u);

  // Every other key is at its factory function: legend only.
  const auto assigned = std::count_if(sheet.keys.begin(), sheet.keys.end(),
                                      [](const SheetKey& k) { return !k.assignment.empty(); });
  EXPECT_EQ(assigned, 5);  // the four keys above and G1
}

TEST_F(KeySheetTest, WordsFollowTheLanguageInForce) {
  text::MemorySettingsStore frenchSettings;
  const text::FixedSystemLanguage french{0x040C};
  const text::LanguageTexts frenchTexts(kBinDir, frenchSettings, french);
  const KeySheet sheet = BuildKeySheet(image, 0, skin, frenchTexts, "");
  EXPECT_EQ(KeyWithCode(sheet, 0x01)->assignment, "D\u00e9sactiv\u00e9e");
  EXPECT_EQ(sheet.gKeys[0].layer1, "Macro\u00a0: copy");
}

// The print dialog used to propose "Key map: Profile 3.pdf": the sheet's title is no file
// name. Each shipped language's title becomes one.
TEST_F(KeySheetTest, TheProposedFileNameHoldsNoCharacterAFileNameCannot) {
  const struct {
    std::string_view title, name;
  } cases[] = {
      {"Key map: Profile 3", "Key map - Profile 3"},
      {"Key map:Profile 3", "Key map - Profile 3"},
      {"a/b\\c*d?e\"f<g>h|i", "a b c d e f g h i"},
      {"  tab\there\n ", "tab here"},
      {"Profile: ", "Profile"},
      {":Profile", "Profile"},
      {"::", ""},
      {"Plan de touches\u00a0: Profil 1", "Plan de touches - Profil 1"},
  };
  for (const auto& c : cases) EXPECT_EQ(SheetFileName(c.title), c.name) << c.title;
  for (const std::uint16_t id : {0x0409, 0x040C, 0x0804, 0x0404, 0x0C04}) {
    text::MemorySettingsStore languageSettings;
    const text::FixedSystemLanguage language{id};
    const text::LanguageTexts languageTexts(kBinDir, languageSettings, language);
    const std::string name = SheetFileName(BuildKeySheet(image, 2, skin, languageTexts, "").title);
    EXPECT_FALSE(name.empty()) << id;
    EXPECT_EQ(name.find_first_of("/\\:*?\"<>|"), std::string::npos) << name;
  }
}

TEST_F(KeySheetTest, ThePictureUsesTheSkinsRectanglesAndLeavesOutKeysItDoesNotPlace) {
  const KeySheet sheet = BuildKeySheet(image, 0, skin, texts, "");
  EXPECT_EQ(sheet.keys.size(), kLayoutKeyCount - 2);
  EXPECT_EQ(KeyWithCode(sheet, 0x46), nullptr);
  EXPECT_EQ(KeyWithCode(sheet, kCodePause), nullptr);
  // The bounds hold every key and touch the outermost ones.
  EXPECT_EQ(sheet.bounds.x, 100);
  EXPECT_EQ(sheet.bounds.y, 50);
  for (const SheetKey& k : sheet.keys) {
    EXPECT_GE(k.rect.x, sheet.bounds.x);
    EXPECT_LE(k.rect.x + k.rect.width, sheet.bounds.x + sheet.bounds.width);
    EXPECT_LE(k.rect.y + k.rect.height, sheet.bounds.y + sheet.bounds.height);
  }
  EXPECT_EQ(sheet.bounds.x + sheet.bounds.width, 100 + 40 * 21 + 38);
}

TEST_F(KeySheetTest, AnEmptySkinGivesNoPictureButStillTheTables) {
  const text::IniSnapshot none;
  const KeySheet sheet = BuildKeySheet(image, 0, none, texts, "");
  EXPECT_TRUE(sheet.keys.empty());
  EXPECT_EQ(sheet.bounds.width, 0);
  ASSERT_EQ(sheet.gKeys.size(), kGKeyCount);
  EXPECT_EQ(sheet.gKeys[0].layer1, "Macro: copy");
}

TEST_F(KeySheetTest, TheGKeyTableShowsBothLayers) {
  const KeySheet sheet = BuildKeySheet(image, 0, skin, texts, "");
  ASSERT_EQ(sheet.gKeys.size(), kGKeyCount);
  EXPECT_EQ(sheet.gKeys[0].name, "G1");
  EXPECT_EQ(sheet.gKeys[0].layer1, "Macro: copy");
  EXPECT_EQ(sheet.gKeys[0].layer2, "");
  EXPECT_EQ(sheet.gKeys[1].layer1, "");
  EXPECT_EQ(sheet.gKeys[1].layer2, texts.Text("FUNC_KEY_DESC9"));
  EXPECT_EQ(sheet.gKeyHeading, "G keys");
  // The G1 button of the picture shows its first layer.
  const auto g1 = std::find_if(sheet.keys.begin(), sheet.keys.end(), [](const SheetKey& k) { return k.gKey; });
  ASSERT_NE(g1, sheet.keys.end());
  EXPECT_EQ(g1->assignment, "Macro: copy");
}

TEST_F(KeySheetTest, OnlyTheMacrosTheProfileUsesAreListedWithTheirSteps) {
  const KeySheet sheet = BuildKeySheet(image, 0, skin, texts, "");
  ASSERT_EQ(sheet.macros.size(), 1u);
  EXPECT_EQ(sheet.macros[0].name, "copy");
  EXPECT_EQ(sheet.macros[0].cycles, "Repeat count: 1");
  ASSERT_EQ(sheet.macros[0].steps.size(), 3u);
  EXPECT_EQ(sheet.macros[0].steps[1], "\u2193 C  20 ms");
  EXPECT_EQ(sheet.macros[0].steps[2], "\u2191 C  5 ms");

  const KeySheet other = BuildKeySheet(image, 1, skin, texts, "");
  ASSERT_EQ(other.macros.size(), 1u);
  EXPECT_EQ(other.macros[0].name, "never used");
  EXPECT_EQ(other.title, "Key map: Profile 2");
}

TEST_F(KeySheetTest, AMacroIdOrMediaIndexThatNamesNothingStillShowsTheKeyIsAssigned) {
  image.table.SetRecord(0, KeyIndexOfCode(0x3D), {kKindMedia, 0, 99, 0, 0});
  image.table.SetRecord(0, KeyIndexOfCode(0x3E), {kKindMacro, 0, 55, 0, 0});
  const KeySheet sheet = BuildKeySheet(image, 0, skin, texts, "");
  EXPECT_EQ(KeyWithCode(sheet, 0x3D)->assignment, "#99");
  EXPECT_EQ(KeyWithCode(sheet, 0x3E)->assignment, "Macro: ");
}

TEST_F(KeySheetTest, LaunchAndTextKeysShowTheirProgramAndText) {
  image.table.SetRecord(0, KeyIndexOfCode(0x3F), {kKindLaunch, 0, 0, 0, 0});
  image.strings.Set(KeyIndexOfCode(0x3F), u"/usr/bin/gimp");
  image.table.SetRecord(0, KeyIndexOfCode(0x40), {kKindText, 0, 0, 0, 0});
  image.strings.Set(KeyIndexOfCode(0x40), u"gg wp");
  const KeySheet sheet = BuildKeySheet(image, 0, skin, texts, "");
  EXPECT_EQ(KeyWithCode(sheet, 0x3F)->assignment, "Launch: /usr/bin/gimp");
  EXPECT_EQ(KeyWithCode(sheet, 0x40)->assignment, "Text: gg wp");
}

}  // namespace
}  // namespace vantrel::keys
