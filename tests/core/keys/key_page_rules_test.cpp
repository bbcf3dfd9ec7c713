#include <gtest/gtest.h>

#include "core/keys/key_codes.h"
#include "core/keys/key_page_rules.h"
#include "core/keys/recorder.h"
#include "fake_texts.h"

namespace vantrel::keys {
namespace {

using testing::MapTexts;

TEST(KeyCapture, WhichEventsCaptureAKey) {
  const std::uint16_t a = 0x01E;
  EXPECT_EQ(DecideCapture(a, false, false, true), CaptureAction::kCapture);
  EXPECT_EQ(DecideCapture(a, false, true, true), CaptureAction::kSwallow);   // auto-repeat
  EXPECT_EQ(DecideCapture(a, true, false, true), CaptureAction::kSwallow);   // release
  EXPECT_EQ(DecideCapture(a, false, false, false), CaptureAction::kSwallow);  // MOU chosen
  EXPECT_EQ(DecideCapture(0x130, false, false, true), CaptureAction::kPassOn);  // volume up
  EXPECT_EQ(DecideCapture(0, false, false, true), CaptureAction::kPassOn);
  // Print Screen may arrive as a release only.
  EXPECT_EQ(DecideCapture(kCodePrintScreen, true, false, true), CaptureAction::kCapture);
  EXPECT_EQ(DecideCapture(kCodePrintScreen, true, false, false), CaptureAction::kSwallow);
  // The Windows and App keys are captured on any event, whatever is chosen.
  for (std::uint16_t c : {kCodeLeftWin, kCodeRightWin, std::uint16_t{0x15D}}) {
    EXPECT_EQ(DecideCapture(c, true, false, false), CaptureAction::kCapture);
    EXPECT_EQ(DecideCapture(c, false, false, true), CaptureAction::kCapture);
  }
}

class KeyEventRecording : public ::testing::Test {
 protected:
  void SetUp() override {
    list_.delayMode = 1;
    StartRecording(state_, 1000);
  }
  HookResult Key(std::uint16_t code, bool release, std::uint32_t now, bool repeat = false) {
    return OnKeyEvent(state_, list_, KeyEvent{code, release, repeat}, now);
  }
  RecorderState state_;
  RecordList list_;
};

TEST_F(KeyEventRecording, HeldKeyGivesOnePressAndOneRelease) {
  EXPECT_EQ(Key(0x01E, false, 1100), HookResult::kSwallow);
  EXPECT_EQ(Key(0x01E, false, 1600, true), HookResult::kSwallow);
  EXPECT_EQ(Key(0x01E, false, 1630, true), HookResult::kSwallow);
  EXPECT_EQ(Key(0x01E, true, 1700), HookResult::kSwallow);
  ASSERT_EQ(list_.actions.size(), 2u);
  EXPECT_EQ(list_.actions[0], (MacroAction{600, 0x01E, kPress}));
  EXPECT_EQ(list_.actions[1], (MacroAction{0, 0x01E, kRelease}));
}

TEST_F(KeyEventRecording, SyntheticPressOnlyWhenThePressWasNotDelivered) {
  Key(0x01E, false, 1100);
  Key(0x01E, true, 1200);
  // A platform that delivers only the release of Print Screen.
  Key(kCodePrintScreen, true, 1300);
  ASSERT_EQ(list_.actions.size(), 4u);
  EXPECT_EQ(list_.actions[1], (MacroAction{2, 0x01E, kRelease}));
  EXPECT_EQ(list_.actions[2], (MacroAction{100, kCodePrintScreen, kPress}));
  EXPECT_EQ(list_.actions[3], (MacroAction{0, kCodePrintScreen, kRelease}));
  // One that delivers both records one press.
  Key(kCodePrintScreen, false, 1400);
  Key(kCodePrintScreen, true, 1450);
  ASSERT_EQ(list_.actions.size(), 6u);
  EXPECT_EQ(list_.actions[4], (MacroAction{50, kCodePrintScreen, kPress}));
  EXPECT_EQ(list_.actions[5], (MacroAction{0, kCodePrintScreen, kRelease}));
}

TEST_F(KeyEventRecording, MediaAndUnknownKeysPassWithoutAStep) {
  EXPECT_EQ(Key(0x130, false, 1100), HookResult::kPassOn);
  EXPECT_EQ(Key(0x130, true, 1200), HookResult::kPassOn);
  EXPECT_EQ(Key(0, false, 1300), HookResult::kPassOn);
  EXPECT_TRUE(list_.actions.empty());
}

TEST(KeyPageFields, CyclesCorrections) {
  EXPECT_EQ(CorrectCycles("1"), 1);
  EXPECT_EQ(CorrectCycles("255"), 255);
  EXPECT_EQ(CorrectCycles("300"), 255);
  EXPECT_EQ(CorrectCycles("0"), 1);
  EXPECT_EQ(CorrectCycles("-4"), 1);
  EXPECT_EQ(CorrectCycles("abc"), 1);
  EXPECT_EQ(CorrectCycles(""), 1);
  EXPECT_EQ(CorrectCycles("12abc"), 12);
  EXPECT_EQ(CorrectCycles("99999999999999999999999"), 255);
}

TEST(KeyPageFields, TypedDelays) {
  EXPECT_EQ(ParseDelayEntry("15").delay, 10);
  EXPECT_FALSE(ParseDelayEntry("15").clamped);
  EXPECT_EQ(ParseDelayEntry("40000").delay, 40000);
  EXPECT_FALSE(ParseDelayEntry("40000").clamped);
  EXPECT_EQ(ParseDelayEntry("40005").delay, 40000);
  EXPECT_TRUE(ParseDelayEntry("40005").clamped);
  EXPECT_EQ(ParseDelayEntry("").delay, 0);
  EXPECT_EQ(ParseDelayEntry("9").delay, 0);
}

TEST(KeyPageFields, RecordDelayModeSetting) {
  MapTexts texts;
  texts.texts["MACRO_ACTION_RECORD_DELAY"] = "Record delays";
  text::MemoryProfileStrings strings;
  EXPECT_EQ(ReadRecordDelayMode(strings, texts), 0);
  WriteRecordDelayMode(strings, texts, 1);
  EXPECT_EQ(strings.Read("PROFILES", "Record delays"), "1");
  EXPECT_EQ(ReadRecordDelayMode(strings, texts), 1);
  strings.Write("PROFILES", "Record delays", "7");
  EXPECT_EQ(ReadRecordDelayMode(strings, texts), 0);
  EXPECT_EQ(strings.Read("PROFILES", "Record delays"), "0");
}

TEST(KeyTooltips, NameThenAssignment) {
  MapTexts texts;
  texts.texts = {{"IDS_KEYBOARD_A", "A"},          {"IDS_KEYBOARD_B", "B"},
                 {"KEY_PROMPT_SET", " - set"},      {"KEY_PROMPT_SINGLE", " (key: "},
                 {"KEY_PROMPT_MACRO", " (macro: "}, {"KEY_PROMPT_MEDIA", " (media: "},
                 {"MEDIA_MUTE_8", "Mute"},          {"KEY_PROMPT_FUNCTION", " (function: "},
                 {"FUNC_KEY_DESC3", "Dimmer"}};
  StoreImage image;
  image.macros.push_back(NewMacro(u"Reload", 4));
  EXPECT_EQ(KeyTooltip(0x01E, 0, KeyAssignment{}, image, texts), "A");
  EXPECT_EQ(KeyTooltip(0x01E, 0, KeyAssignment{kKindKey, 0, 0x030}, image, texts), "A - set (key: B)");
  EXPECT_EQ(KeyTooltip(0, 7, KeyAssignment{kKindMacro, 1, 4}, image, texts), "G7 - set (macro: Reload)");
  EXPECT_EQ(KeyTooltip(0, 7, KeyAssignment{kKindMacro, 1, 9}, image, texts), "G7 - set (macro: )");
  EXPECT_EQ(KeyTooltip(0x01E, 0, KeyAssignment{kKindMedia, 0, 7}, image, texts), "A - set (media: Mute)");
  EXPECT_EQ(KeyTooltip(0x01E, 0, KeyAssignment{kKindFunction, 0, 2}, image, texts), "A - set (function: Dimmer)");
  EXPECT_EQ(KeyTooltip(0x01E, 0, KeyAssignment{kKindDisabled, 0, 0}, image, texts), "A - set");
}

}  // namespace
}  // namespace vantrel::keys
