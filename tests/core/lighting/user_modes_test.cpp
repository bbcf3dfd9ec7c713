// The ten user colour modes of a ".userd" file as one value: read as the editor reads
// them, written back whole, and the colours the keyboard gets for the selected mode.
#include <gtest/gtest.h>

#include "core/keys/keyboard_layout.h"
#include "core/lighting/user_modes.h"
#include "core/text/temp_dir.h"

namespace vantrel::lighting {
namespace {

UserModeSet SampleSet() {
  UserModeSet set;
  set.selected = 3;
  for (int m = 0; m < kUserModeCount; ++m) {
    UserMode& mode = set.modes[static_cast<std::size_t>(m)];
    mode.name = "Mode " + std::to_string(m);
    mode.tool = m % 2;
    mode.base = MakeRgb(10, 20, static_cast<unsigned>(m));
    mode.brush = MakeRgb(255, static_cast<unsigned>(m), 0);
    for (int s = 0; s < kLedSlots; ++s) {
      mode.ledSlots[static_cast<std::size_t>(s)] = {MakeRgb(static_cast<unsigned>(s), static_cast<unsigned>(m), 7),
                                                 s % 3 == 0};
    }
  }
  return set;
}

bool Same(const UserModeSet& a, const UserModeSet& b) {
  if (a.selected != b.selected) return false;
  for (std::size_t m = 0; m < a.modes.size(); ++m) {
    const UserMode &x = a.modes[m], &y = b.modes[m];
    if (x.name != y.name || x.tool != y.tool || x.base != y.base || x.brush != y.brush) return false;
    for (std::size_t s = 0; s < x.ledSlots.size(); ++s) {
      if (x.ledSlots[s].colour != y.ledSlots[s].colour || x.ledSlots[s].followsBase != y.ledSlots[s].followsBase) return false;
    }
  }
  return true;
}

TEST(UserModes, AWrittenSetReadsBackTheSameAndTheEditorReadsItLikeItsOwnFile) {
  testing::TempDir dir;
  const UserModeSet set = SampleSet();
  ASSERT_TRUE(WriteUserModes(dir / "UserDengColor_1.userd", set));
  EXPECT_TRUE(Same(ReadUserModes(dir / "UserDengColor_1.userd"), set));

  KeyColourEditor editor(dir.Path(), dir / "default.userd");
  editor.ReadUserMode(1);
  EXPECT_EQ(editor.SelectedMode(), 3);
  EXPECT_EQ(editor.Tool(), 1);
  EXPECT_EQ(editor.BaseColour(), MakeRgb(10, 20, 3));
  EXPECT_EQ(editor.ModeNames(1)[9], "Mode 9");
  EXPECT_EQ(editor.Table().Get(1, 30), MakeRgb(30, 3, 7));
}

TEST(UserModes, AMissingFileReadsAsTheEditorsDefaults) {
  testing::TempDir dir;
  const UserModeSet set = ReadUserModes(dir / "none.userd");
  EXPECT_EQ(set.selected, 0);
  EXPECT_EQ(set.modes[0].ledSlots[5].colour, kMissingKeyColour);
  EXPECT_TRUE(set.modes[0].ledSlots[5].followsBase);
}

TEST(UserModes, ANameCannotBreakTheFileIntoKeysOfItsOwn) {
  testing::TempDir dir;
  UserModeSet set = SampleSet();
  set.modes[0].name = "evil\n[Mode1]\n0=1,2,3,0";
  ASSERT_TRUE(WriteUserModes(dir / "u.userd", set));
  const UserModeSet back = ReadUserModes(dir / "u.userd");
  EXPECT_EQ(back.modes[1].ledSlots[0].colour, set.modes[1].ledSlots[0].colour);
  EXPECT_EQ(back.modes[0].name.find('\n'), std::string::npos);
}

TEST(UserModes, AnUnwritableFolderIsReportedAndTheOldFileStays) {
  testing::TempDir dir;
  testing::WriteFile(dir / "file", "x");
  EXPECT_FALSE(WriteUserModes(dir / "file" / "u.userd", SampleSet()));
}

TEST(UserModes, TheKeyboardGetsTheSelectedModesKeysButNotTheSharedGKeySlot) {
  UserModeSet set = SampleSet();
  const auto shown = ShownColours(set);
  const auto& esc = *keys::LayoutKeyOfCode(0x01);
  EXPECT_EQ(shown[static_cast<std::size_t>(esc.ledSlot)],
            set.modes[3].ledSlots[static_cast<std::size_t>(esc.ledSlot)].colour);
  EXPECT_EQ(shown[static_cast<std::size_t>(keys::kGKeyLedSlot)], 0u);
  set.selected = 42;  // out of range: the editor reads mode 0 then
  EXPECT_EQ(ShownColours(set)[static_cast<std::size_t>(esc.ledSlot)],
            set.modes[0].ledSlots[static_cast<std::size_t>(esc.ledSlot)].colour);
}

}  // namespace
}  // namespace vantrel::lighting
