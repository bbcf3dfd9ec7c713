#include "core/lighting/key_colours.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "core/lighting/fake_keyboard.h"
#include "core/lighting/user_modes.h"
#include "core/text/ini_file.h"
#include "core/text/language.h"
#include "core/text/settings_store.h"

namespace vantrel::lighting {
namespace {

using testing::Begin;
using testing::Colours;
using testing::End;
using testing::FakeDevice;
using testing::Op;

const std::filesystem::path kDefaultFile = std::filesystem::path(VANTREL_SOURCE_DIR) / "data" / "Skins" /
                                           "UserDengColor_3.userd";

class KeyColours : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("vantrel_keycolours_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    editor_ = KeyColourEditor(dir_, kDefaultFile);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::vector<Op> ColourOps() const {
    return dev_.keyboard.OpsOf({device::kCmdBegin, device::kCmdWriteKeyColours, device::kCmdEnd});
  }
  std::string FileValue(int profile, std::string_view section, std::string_view key) const {
    return text::ReadIniString(editor_.UserFile(profile), section, key, "<missing>");
  }

  std::filesystem::path dir_;
  FakeDevice dev_;
  KeyColourEditor editor_{{}, {}};
};

TEST(SlotValues, ParseAndFormat) {
  const auto v = ParseSlotValue("10,20,30,7");
  EXPECT_EQ(v.colour, MakeRgb(10, 20, 30));
  EXPECT_TRUE(v.followsBase);
  EXPECT_FALSE(ParseSlotValue("1,2,3,0").followsBase);
  const auto clamped = ParseSlotValue("300, -5 ,x");
  EXPECT_EQ(clamped.colour, MakeRgb(255, 0, 0));
  EXPECT_FALSE(clamped.followsBase);
  EXPECT_EQ(ParseSlotValue("").colour, 0u);
  EXPECT_EQ(FormatColourValue(MakeRgb(1, 22, 255)), "1,22,255");
  EXPECT_EQ(ParseColourValue("7,8,9"), MakeRgb(7, 8, 9));
}

TEST_F(KeyColours, MissingFileGivesTheDefaults) {
  editor_ = KeyColourEditor(dir_, dir_ / "absent.userd");
  editor_.LoadUserMode(dev_.commands, 1);
  EXPECT_EQ(editor_.SelectedMode(), 0);
  EXPECT_EQ(editor_.Tool(), 0);
  EXPECT_EQ(editor_.BaseColour(), 0u);
  EXPECT_EQ(editor_.BrushColour(), 0u);
  for (const auto& name : editor_.ModeNames(1)) EXPECT_EQ(name, "0");
  for (const auto& k : keys::OrdinaryLayoutKeys()) EXPECT_EQ(editor_.Table().Get(1, k.ledSlot), kMissingKeyColour);
  EXPECT_EQ(editor_.Table().Get(1, keys::FnLayoutKey().ledSlot), kMissingKeyColour);
  EXPECT_TRUE(editor_.Flags().Get(ButtonIndex(1022), 1));
  // G keys are not read: their slot keeps what it had.
  EXPECT_EQ(editor_.Table().Get(1, keys::kGKeyLedSlot), 0u);
}

TEST_F(KeyColours, SendKeyColoursWritesEightChunksAndZerosPastTheTable) {
  for (int s = 0; s < kLedSlots; ++s) editor_.Table().Set(1, s, MakeRgb(s, 1, 2));
  EXPECT_TRUE(SendKeyColours(dev_.commands, editor_.Table(), 1));
  const auto ops = ColourOps();
  ASSERT_EQ(ops.size(), 10u);
  EXPECT_EQ(ops.front(), Begin());
  EXPECT_EQ(ops.back(), End());
  for (std::size_t k = 0; k < 8; ++k) {
    const auto& op = ops[k + 1];
    EXPECT_EQ(op.command, device::kCmdWriteKeyColours);
    EXPECT_EQ(op.length, 54);
    EXPECT_EQ(op.offset, 512 + 54 * k);
    if (k < 7) {
      EXPECT_EQ(op.bytes[0], 18 * k) << "red of slot 18k";
      EXPECT_EQ(op.bytes[52], 1);
    } else {
      EXPECT_EQ(op.bytes, std::vector<std::uint8_t>(54, 0)) << "slots 126..143 have no host data";
    }
  }
}

TEST_F(KeyColours, PaintingSendsOneKeyAndSavesIt) {
  ASSERT_TRUE(editor_.EnsureUserFiles());
  editor_.ReadUserMode(1);
  editor_.ChangeBrushColour(1, MakeRgb(9, 8, 7));
  ASSERT_EQ(editor_.PaintKey(dev_.commands, 1, keys::FnLayoutKey().controlId, 20), KeyColourWrite::Taken);
  EXPECT_EQ(ColourOps(), (std::vector<Op>{Begin(), Colours(512 + 330, {9, 8, 7}), End()}));
  EXPECT_EQ(editor_.Table().Get(1, keys::FnLayoutKey().ledSlot), MakeRgb(9, 8, 7));
  EXPECT_EQ(FileValue(1, "Mode0", "110"), "9,8,7,0");
  EXPECT_FALSE(editor_.Flags().Get(ButtonIndex(keys::FnLayoutKey().controlId), 1));

  // Esc in profile 2 with the base-colour tool: slot 0, flag 1, in the selected mode's section.
  dev_.keyboard.ops.clear();
  text::WriteIniString(editor_.UserFile(2), "PRESENTMODE", "mode", "4");
  editor_.ReadUserMode(2);
  editor_.ChooseTool(2, 1);
  ASSERT_EQ(editor_.PaintKey(dev_.commands, 2, 1022, 20), KeyColourWrite::Taken);
  const Rgb base = editor_.BaseColour();
  EXPECT_EQ(ColourOps(), (std::vector<Op>{Begin(), Colours(1024, {RedOf(base), GreenOf(base), BlueOf(base)}), End()}));
  EXPECT_EQ(FileValue(2, "Mode4", "0"), FormatColourValue(base) + ",1");
  EXPECT_EQ(FileValue(2, "Mode4", "tool"), "1");

  // Not in another effect, nor for a control that is no key.
  dev_.keyboard.ops.clear();
  EXPECT_EQ(editor_.PaintKey(dev_.commands, 2, 1022, 4), KeyColourWrite::NotSent);
  EXPECT_EQ(editor_.PaintKey(dev_.commands, 2, 1006, 20), KeyColourWrite::NotSent);
  EXPECT_TRUE(dev_.keyboard.ops.empty());
}

TEST_F(KeyColours, BaseColourRecoloursOnlyFollowingKeys) {
  ASSERT_TRUE(editor_.EnsureUserFiles());
  editor_.ReadUserMode(0);
  const int esc = ButtonIndex(1022), a = ButtonIndex(1058);
  editor_.Flags().Set(esc, 0, true);
  editor_.Flags().Set(a, 0, false);
  const Rgb aBefore = editor_.Table().Get(0, LedSlot(1058));
  const Rgb base = MakeRgb(1, 2, 3);
  ASSERT_EQ(editor_.ChangeBaseColour(dev_.commands, 0, base), KeyColourWrite::Taken);
  EXPECT_EQ(editor_.Table().Get(0, 0), base);
  EXPECT_EQ(editor_.Table().Get(0, LedSlot(1058)), aBefore);
  EXPECT_EQ(FileValue(0, "Mode0", "0"), "1,2,3,1");
  EXPECT_EQ(FileValue(0, "Mode0", "jcolor"), "1,2,3");
  const auto ops = ColourOps();
  ASSERT_EQ(ops.size(), 10u);
  EXPECT_EQ(ops[1].bytes[0], 1);  // Esc's red in the first chunk

  dev_.keyboard.ops.clear();
  EXPECT_EQ(editor_.ChangeBaseColour(dev_.commands, 0, base), KeyColourWrite::NotSent);
  EXPECT_TRUE(dev_.keyboard.ops.empty());
}

TEST_F(KeyColours, UserModesNamesAndRestore) {
  ASSERT_TRUE(editor_.EnsureUserFiles());
  editor_.ChooseUserMode(dev_.commands, 0, 3);
  EXPECT_EQ(editor_.ReadPresentMode(0), 3);
  EXPECT_EQ(ColourOps().size(), 10u);
  const Rgb base = ParseColourValue(text::ReadIniString(kDefaultFile, "Mode3", "jcolor", ""));
  EXPECT_EQ(editor_.BaseColour(), base);

  editor_.RenameUserMode(0, "Mine");
  EXPECT_EQ(editor_.ReadModeName(0, 3), "Mine");
  EXPECT_NE(editor_.ReadModeName(1, 3), "Mine");

  EXPECT_EQ(editor_.RestoreDefault(dev_.commands, 0), KeyColourWrite::Taken);
  EXPECT_EQ(editor_.ReadModeName(0, 3), text::ReadIniString(kDefaultFile, "MODENAME", "3", ""));
  EXPECT_EQ(editor_.SelectedMode(), 0);
  std::ifstream a(editor_.UserFile(0), std::ios::binary), b(kDefaultFile, std::ios::binary);
  std::stringstream sa, sb;
  sa << a.rdbuf();
  sb << b.rdbuf();
  EXPECT_EQ(sa.str(), sb.str()) << "restore copies the default file byte by byte";

  KeyColourEditor broken(dir_, dir_ / "no-such-default.userd");
  EXPECT_EQ(broken.RestoreDefault(dev_.commands, 0), KeyColourWrite::NotSent);
}

// The shipped modes used to be called "Ocean", "Ember", ... in every language: a mode
// still under its shipped name is called by the language file's name for it, in each of
// the five languages; a name the user typed, even in another mode's shipped name, stays.
TEST_F(KeyColours, ShippedModeNamesFollowTheLanguageAndTypedNamesStay) {
  ASSERT_TRUE(editor_.EnsureUserFiles());
  editor_.ChooseUserMode(dev_.commands, 0, 2);
  editor_.RenameUserMode(0, "Mine");
  editor_.ChooseUserMode(dev_.commands, 0, 4);
  editor_.RenameUserMode(0, text::ReadIniString(kDefaultFile, "MODENAME", "0", ""));  // "Ocean" typed into mode 4
  const std::filesystem::path bin = VANTREL_BIN_DIR;
  std::set<std::string> frenchNames;
  for (const std::uint16_t id : {0x0409, 0x040C, 0x0804, 0x0404, 0x0C04}) {
    SCOPED_TRACE(id);
    text::MemorySettingsStore settings;
    const text::FixedSystemLanguage language{id};
    const text::LanguageTexts texts(bin, settings, language);
    const auto names = editor_.ShownModeNames(0, texts);
    for (int m = 0; m < kUserModeCount; ++m) {
      const auto& name = names[static_cast<std::size_t>(m)];
      if (m == 2) {
        EXPECT_EQ(name, "Mine");
      } else if (m == 4) {
        EXPECT_EQ(name, text::ReadIniString(kDefaultFile, "MODENAME", "0", ""));
      } else {
        EXPECT_EQ(name, texts.Text("USER_MODE_NAME_" + std::to_string(m)));
        EXPECT_NE(name, "#Error");
      }
      if (id == 0x040C) frenchNames.insert(name);
    }
    // What is stored is not touched.
    EXPECT_EQ(editor_.ReadModeName(0, 0), text::ReadIniString(kDefaultFile, "MODENAME", "0", ""));
  }
  EXPECT_TRUE(frenchNames.count("Oc\u00e9an")) << "French names the first mode in French";
}

TEST_F(KeyColours, RecomputedFlagsCompareWithTheBaseColour) {
  editor_.ReadUserMode(0);  // no file: every key red, base black
  editor_.Table().Set(2, LedSlot(1058), 0);
  editor_.RecomputeFlags();
  EXPECT_FALSE(editor_.Flags().Get(ButtonIndex(1022), 0));
  EXPECT_TRUE(editor_.Flags().Get(ButtonIndex(1058), 2));
  EXPECT_TRUE(editor_.Flags().Get(ButtonIndex(1000), 1)) << "G keys' slot 125 is still black";
  const auto colours = editor_.ButtonColours(0);
  EXPECT_EQ(colours[0].controlId, 1058);
  EXPECT_EQ(colours[0].colour, kMissingKeyColour);
}

TEST(DefaultColourFile, TenNamedModesOverEverySlot) {
  std::set<std::string> names;
  for (int m = 0; m < 10; ++m) {
    const auto name = text::ReadIniString(kDefaultFile, "MODENAME", std::to_string(m), "");
    EXPECT_FALSE(name.empty());
    EXPECT_NE(name, "0");
    EXPECT_EQ(name.find_first_of("\r\n"), std::string::npos) << "line ends are not part of a value";
    names.insert(name);
    const auto section = "Mode" + std::to_string(m);
    const Rgb base = ParseColourValue(text::ReadIniString(kDefaultFile, section, "jcolor", ""));
    std::set<Rgb> distinct;
    for (int s = 0; s < kLedSlots; ++s) {
      const auto value = text::ReadIniString(kDefaultFile, section, std::to_string(s), "");
      ASSERT_FALSE(value.empty()) << section << " slot " << s;
      const auto v = ParseSlotValue(value);
      EXPECT_EQ(v.followsBase, v.colour == base) << section << " slot " << s;
      distinct.insert(v.colour);
    }
    EXPECT_GE(distinct.size(), 2u) << section << " is a design, not one colour";
  }
  EXPECT_EQ(names.size(), 10u);
  EXPECT_EQ(text::ReadIniString(kDefaultFile, "PRESENTMODE", "mode", ""), "0");
}

}  // namespace
}  // namespace vantrel::lighting

namespace vantrel::lighting {
namespace {

// The keyboard cannot be read back: which profiles show their selected mode is known from
// what was sent, kept per keyboard for every program. A fresh keyboard (its factory
// colours) gets each mode whole once; later runs send only what changes.
TEST_F(KeyColours, EachProfileIsBroughtInStepOnceAndTheRecordIsPerKeyboard) {
  ASSERT_TRUE(editor_.EnsureUserFiles());
  editor_.SetKeyboardId("virtual /tmp/a.json");
  for (int p = 0; p < 3; ++p) EXPECT_FALSE(editor_.InStep(p)) << p;
  ASSERT_EQ(editor_.BringInStep(dev_.commands), KeyColourWrite::Taken);
  EXPECT_EQ(ColourOps().size(), 3u * (1 + kKeyColourChunks + 1));
  for (int p = 0; p < 3; ++p) {
    EXPECT_TRUE(editor_.InStep(p)) << p;
    const auto shown = ShownColours(ReadUserModes(editor_.UserFile(p)));
    for (int slot = 0; slot < kLedSlots; ++slot) {
      const auto at = static_cast<std::size_t>(512 * p + 3 * slot);
      const Rgb held = MakeRgb(dev_.keyboard.keyColours[at], dev_.keyboard.keyColours[at + 1],
                               dev_.keyboard.keyColours[at + 2]);
      ASSERT_EQ(held, shown[static_cast<std::size_t>(slot)]) << p << " slot " << slot;
    }
  }

  // The next run knows it: nothing is sent again, and a painted key keeps it in step.
  KeyColourEditor next(dir_, kDefaultFile);
  next.SetKeyboardId("virtual /tmp/a.json");
  dev_.keyboard.ops.clear();
  EXPECT_EQ(next.BringInStep(dev_.commands), KeyColourWrite::NotSent);
  EXPECT_TRUE(dev_.keyboard.ops.empty());
  next.ReadUserMode(0);
  next.ChangeBrushColour(0, MakeRgb(0, 255, 0));
  next.ChooseTool(0, 0);
  ASSERT_EQ(next.PaintKey(dev_.commands, 0, 1022, 20), KeyColourWrite::Taken);
  EXPECT_TRUE(next.InStep(0));
  EXPECT_EQ(ColourOps(), (std::vector<Op>{Begin(), Colours(0, {0, 255, 0}), End()}));

  // A colour file changed behind the keyboard's back, another keyboard, a reset: not known.
  const std::string section = "Mode" + std::to_string(next.ReadPresentMode(1));
  text::WriteIniString(next.UserFile(1), section, "0", "1,2,3,0");
  EXPECT_FALSE(next.InStep(1));
  EXPECT_TRUE(next.InStep(2));
  KeyColourEditor other(dir_, kDefaultFile);
  other.SetKeyboardId("usb 0c45:7666");
  EXPECT_FALSE(other.InStep(2));
  next.ForgetKeyboardColours();
  EXPECT_FALSE(next.InStep(0));
  EXPECT_FALSE(next.InStep(2));
}

}  // namespace
}  // namespace vantrel::lighting
