// What vantrelctl and the scripting interface share before anything reaches the keyboard:
// named lighting changes read and checked as a whole, the refusals of a busy session, the
// words of a device failure, key names for painting and the profile steps.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/lighting/colour.h"
#include "core/lighting/effects.h"
#include "core/lighting/lighting.h"
#include "scripting/keyboard_tasks.h"
#include "scripting/lighting_request.h"
#include "scripting/script_outcome.h"
#include "stack/device_stack.h"

namespace vantrel::scripting {
namespace {

const text::TextSource& EnglishTexts() {
  static stack::ProgramTexts texts(stack::ProgramFolder(), 1033);
  return texts.Texts();
}

lighting::LightingState Offering(std::initializer_list<int> effects, int current) {
  lighting::LightingState s;
  std::size_t i = 0;
  for (int e : effects) s.supportedEffects[i++] = static_cast<std::uint8_t>(e);
  s.effect = current;
  return s;
}

TEST(NamedChangesTest, AreReadEffectFirstWithDirectionChoiceAndRateByName) {
  std::vector<LightingChange> changes;
  const std::vector<NamedValue> entries = {{"report_rate", 1000LL}, {"brightness", 3LL},  {"choice", std::string("green")},
                                           {"multicolour", true},   {"effect", 17LL},     {"colour", std::string("#00ff80")},
                                           {"speed", 0LL},          {"direction", std::string("in")}};
  ASSERT_TRUE(ReadNamedChanges(entries, changes).Ok());
  ASSERT_EQ(changes.size(), 8u);
  EXPECT_EQ(changes[0].field, LightingField::Effect);
  EXPECT_EQ(changes[0].number, 17);
  EXPECT_EQ(changes[1].field, LightingField::Brightness);
  EXPECT_EQ(changes[3].word, "in");
  EXPECT_EQ(changes[4].colour, lighting::MakeRgb(0x00, 0xFF, 0x80));
  EXPECT_TRUE(changes[5].on);
  EXPECT_EQ(changes[6].number, 2);  // green
  EXPECT_EQ(changes[7].field, LightingField::ReportRate);
  EXPECT_EQ(changes[7].number, 3);  // the 1000 Hz button
}

TEST(NamedChangesTest, EachBadEntryIsRefusedNamingTheArgumentAndWhatItAccepts) {
  struct Case {
    NamedValue entry;
    const char* message;
  };
  const Case cases[] = {
      {{"glow", 1LL}, "changes: unknown key \"glow\""},
      {{"brightness", 5LL}, "brightness: 5 is outside 0..4"},
      {{"speed", -1LL}, "speed: -1 is outside 0..4"},
      {{"brightness", std::string("2")}, "brightness: wants a slider position (u), 0..4"},
      {{"effect", 0LL}, "effect: 0 is outside 1..255"},
      {{"effect", 256LL}, "effect: 256 is outside 1..255"},
      {{"direction", std::string("sideways")}, "direction: wants one of left, right, up, down, out, in, or the byte"},
      {{"direction", std::string("0x01")}, "direction: wants one of left"},
      {{"colour", std::string("12345")}, "colour: wants RRGGBB in hex (s), not \"12345\""},
      {{"colour", 0xFF0000LL}, "colour: wants RRGGBB in hex (s)"},
      {{"multicolour", 1LL}, "multicolour: wants true or false"},
      {{"choice", std::string("purple")}, "choice: wants one of red, yellow, green, blue"},
      {{"report_rate", 3LL}, "report_rate: wants 125, 250, 500 or 1000 Hz"},
      {{"report_rate", -125LL}, "report_rate: wants 125, 250, 500 or 1000 Hz"},
  };
  for (const Case& c : cases) {
    std::vector<LightingChange> changes;
    const ScriptOutcome outcome = ReadNamedChanges({{"effect", 1LL}, c.entry}, changes);
    EXPECT_EQ(outcome.error, ScriptError::InvalidArgument) << c.entry.key;
    EXPECT_EQ(outcome.message.rfind(c.message, 0), 0u) << outcome.message;
  }
  std::vector<LightingChange> changes;
  EXPECT_EQ(ReadNamedChanges({}, changes).error, ScriptError::InvalidArgument);
}

TEST(LightingCheckTest, FollowsTheEffectThroughTheListBeforeAnythingIsSent) {
  const auto texts = &EnglishTexts();
  // Effect 4 has no direction; changing to effect 1 first gives it one.
  auto s = Offering({1, 4, 12, 19}, 4);
  std::vector<LightingChange> list(2);
  list[0].field = LightingField::Effect;
  list[0].number = 1;
  list[1].field = LightingField::Direction;
  list[1].word = "right";
  EXPECT_FALSE(CheckLightingChanges(s, list, texts));
  EXPECT_EQ(list[1].number, 0);  // "right" is byte 0x00 of effects 1-3

  std::vector<LightingChange> direction(1);
  direction[0].field = LightingField::Direction;
  direction[0].word = "left";
  auto refusal = CheckLightingChanges(s, direction, texts);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->field, LightingField::Direction);
  EXPECT_NE(refusal->reason.find("has no direction"), std::string::npos) << refusal->reason;

  // A word of another effect's pair is refused with the effect's own pair.
  s.effect = 12;
  refusal = CheckLightingChanges(s, direction, texts);
  ASSERT_TRUE(refusal);
  EXPECT_NE(refusal->reason.find("takes the direction up or down"), std::string::npos) << refusal->reason;

  // An effect the keyboard does not offer, and a speed for an effect without one.
  std::vector<LightingChange> effect(1);
  effect[0].number = 7;
  refusal = CheckLightingChanges(s, effect, texts);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->reason, "the keyboard does not offer effect 7 (offered: 1 4 12 19)");
  std::vector<LightingChange> speed(2);
  speed[0].number = 19;
  speed[1].field = LightingField::Speed;
  speed[1].number = 2;
  refusal = CheckLightingChanges(s, speed, texts);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->field, LightingField::Speed);
}

// What GetLighting gives for a profile is what SetLighting takes back for it, whatever the
// effect: the fields the effect does not use come back as the profile holds them and are
// not sent; changed, they are refused as before.
TEST(LightingCheckTest, WhatGetLightingGivesIsTakenBackForEveryEffect) {
  const auto texts = &EnglishTexts();
  for (int effect = 1; effect <= 20; ++effect) {
    SCOPED_TRACE(effect);
    auto s = Offering({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}, effect);
    s.brightness = 3;
    s.speedPosition = 1;
    s.direction = 255;
    s.colour = lighting::MakeRgb(0x12, 0x34, 0x56);
    s.multicolour = true;
    s.colourChoice = 2;
    s.reportRate = 1;
    // The dictionary of GetLighting (the adaptor's LightingMap).
    const std::vector<NamedValue> got = {{"effect", static_cast<long long>(effect)},
                                         {"brightness", 3LL},
                                         {"speed", 1LL},
                                         {"direction", DirectionWord(effect, s.direction)},
                                         {"colour", lighting::HexColour(s.colour)},
                                         {"multicolour", true},
                                         {"choice", ChoiceName(s.colourChoice)},
                                         {"report_rate", static_cast<long long>(ReportRateHz(s.reportRate))}};
    std::vector<LightingChange> changes;
    ASSERT_TRUE(ReadNamedChanges(got, changes).Ok());
    const auto refusal = CheckLightingChanges(s, changes, texts);
    EXPECT_FALSE(refusal) << refusal->reason;
    const auto params = lighting::ParamsOf(effect);
    for (const auto& c : changes) {
      const bool used = c.field == LightingField::Effect || c.field == LightingField::ReportRate ||
                        (c.field == LightingField::Brightness && params.brightness) ||
                        (c.field == LightingField::Speed && params.speed) ||
                        (c.field == LightingField::Direction && params.direction != lighting::DirectionPictures::None) ||
                        ((c.field == LightingField::Colour || c.field == LightingField::Multicolour) &&
                         params.colourGroup != lighting::ColourGroup::None) ||
                        (c.field == LightingField::Choice && params.colourChoice);
      EXPECT_EQ(c.unchanged, !used) << FieldName(c.field);
    }
  }
  // Changed, a field the effect does not use is refused.
  auto s = Offering({4}, 4);
  for (const char* word : {"0xff", "left"}) {
    std::vector<LightingChange> direction(1);
    direction[0].field = LightingField::Direction;
    direction[0].word = word;
    const auto refusal = CheckLightingChanges(s, direction, texts);
    ASSERT_TRUE(refusal) << word;
    EXPECT_NE(refusal->reason.find("has no direction"), std::string::npos) << refusal->reason;
  }
  std::vector<LightingChange> colour(1);
  colour[0].field = LightingField::Colour;
  colour[0].colour = s.colour ^ 1u;
  EXPECT_TRUE(CheckLightingChanges(s, colour, texts));
  // On an effect with direction pictures the byte form means its word.
  s = Offering({12}, 12);
  std::vector<LightingChange> raw(1);
  raw[0].field = LightingField::Direction;
  raw[0].word = "0xff";
  EXPECT_FALSE(CheckLightingChanges(s, raw, texts));
  EXPECT_EQ(raw[0].number, 255);
  EXPECT_FALSE(raw[0].unchanged);
}

TEST(ReportRateTest, ButtonsAndHertzMapBothWaysAndAReadByteAboveThreeIsTheLastButton) {
  for (int b = 0; b < 4; ++b) EXPECT_EQ(ReportRateButton(ReportRateHz(b)), b);
  EXPECT_EQ(ReportRateHz(0), 125u);
  EXPECT_EQ(ReportRateHz(9), 1000u);
  EXPECT_FALSE(ReportRateButton(0));
  EXPECT_FALSE(ReportRateButton(2000));
}

TEST(BusyOutcomeTest, AnOpenPageOrPendingEditsRefuseAndNothingElseDoes) {
  profiles::SessionFacts facts;
  EXPECT_TRUE(BusyOutcome(facts).Ok());
  facts.managersOpen = 1;  // an open profile manager without changes is no obstacle
  EXPECT_TRUE(BusyOutcome(facts).Ok());
  facts.managerUnsaved = true;
  EXPECT_EQ(BusyOutcome(facts).error, ScriptError::Busy);
  facts = {};
  facts.editedProfiles = 0b100;
  EXPECT_EQ(BusyOutcome(facts).error, ScriptError::Busy);
  EXPECT_NE(BusyOutcome(facts).message.find("not applied"), std::string::npos);
  facts = {};
  facts.keyPagesOpen = 1;
  EXPECT_EQ(BusyOutcome(facts).error, ScriptError::Busy);
}

// A request while the window asked what to do about the keyboard's return was judged by
// a rule of its own that did not know that question; the session's one rule does.
TEST(BusyOutcomeTest, TheKeyboardsReturnUnansweredRefusesAndSaysWhichQuestionWaits) {
  profiles::SessionFacts facts;
  facts.arrivalPending = true;
  EXPECT_EQ(BusyOutcome(facts).error, ScriptError::Busy);
  facts.editedProfiles = 1;
  EXPECT_NE(BusyOutcome(facts).message.find("answer the window's question"), std::string::npos)
      << BusyOutcome(facts).message;
}

TEST(DeviceOutcomeTest, NamesTheCommandTheKeyboardRefusedElseWhatReadBackFound) {
  device::CommandFailure failure{3, device::kCmdWriteDeviceState, device::kDeviceStatusFF};
  auto outcome = DeviceOutcome("SetActiveProfile", 2, failure, {});
  EXPECT_EQ(outcome.error, ScriptError::Device);
  EXPECT_NE(outcome.message.find("0x04 (write device state)"), std::string::npos) << outcome.message;
  EXPECT_NE(outcome.message.find("(-102)"), std::string::npos) << outcome.message;
  // A failure from before the operation is not its failure.
  device::Verification readBack;
  readBack.Note("profile 1: byte 10 reads 0, not 1");
  outcome = DeviceOutcome("SetActiveProfile", 3, failure, readBack);
  EXPECT_EQ(outcome.error, ScriptError::Device);
  EXPECT_NE(outcome.message.find("does not hold what was written"), std::string::npos) << outcome.message;
  EXPECT_NE(outcome.message.find("byte 10 reads 0"), std::string::npos) << outcome.message;
  EXPECT_EQ(DeviceOutcome("Restore", 3, failure, {}).message, "Restore failed");
}

TEST(ErrorNamesTest, RoundTripAndUnknownNamesAreNone) {
  for (auto e : {ScriptError::NoKeyboard, ScriptError::InvalidArgument, ScriptError::Device, ScriptError::Busy}) {
    EXPECT_EQ(ErrorOfName(ErrorName(e)), e);
  }
  EXPECT_EQ(ErrorOfName("ServiceUnknown"), ScriptError::None);
  EXPECT_EQ(OutOfRange("profile", 7, 0, 2).message, "profile: 7 is outside 0..2");
}

TEST(StepProfileTest, StepsRoundTheThreeProfilesAndStartsFromZeroWhenUnknown) {
  EXPECT_EQ(StepProfile(0, 1), 1);
  EXPECT_EQ(StepProfile(2, 1), 0);
  EXPECT_EQ(StepProfile(0, -1), 2);
  EXPECT_EQ(StepProfile(1, -1), 0);
  EXPECT_EQ(StepProfile(-1, 1), 1);
  EXPECT_EQ(StepProfile(7, -1), 2);
}

// Only close names are offered for an unknown one: a few edits, and not most of the name.
TEST(ClosestKeyNamesTest, OnlyCloseNamesAreOffered) {
  const KeyVocabulary words(EnglishTexts());
  const auto has = [](const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
  };
  const auto wx = words.Closest("Wx");
  EXPECT_TRUE(has(wx, "W")) << ::testing::PrintToString(wx);
  EXPECT_TRUE(has(wx, "X")) << ::testing::PrintToString(wx);
  for (const char* far : {"A", "B", "C", "D", "E", "F"}) EXPECT_FALSE(has(wx, far)) << ::testing::PrintToString(wx);
  EXPECT_TRUE(has(words.Closest("Escp"), "Esc"));
  const auto ctrl = words.Closest("Ctrl");
  EXPECT_TRUE(has(ctrl, "LCtrl")) << ::testing::PrintToString(ctrl);
  EXPECT_TRUE(has(ctrl, "Right Ctrl")) << ::testing::PrintToString(ctrl);
  EXPECT_TRUE(words.Closest("Zzzzzzzz").empty()) << ::testing::PrintToString(words.Closest("Zzzzzzzz"));
}

TEST(LitKeysTest, KeysArePaintedOnlyWhenTheyHaveALightOnThePicture) {
  const KeyVocabulary words(EnglishTexts());
  std::vector<int> controls;
  ASSERT_TRUE(FindLitKeys(words, {"Esc", "lctrl", "G1"}, controls).Ok());
  EXPECT_EQ(controls.size(), 3u);
  auto outcome = FindLitKeys(words, {"Esc", "Escp"}, controls);
  EXPECT_EQ(outcome.error, ScriptError::InvalidArgument);
  EXPECT_EQ(outcome.message.rfind("keys: unknown key 'Escp'; did you mean: \"", 0), 0u) << outcome.message;
  EXPECT_EQ(FindLitKeys(words, {}, controls).error, ScriptError::InvalidArgument);
}

// A paint request is bounded before any name is looked up: a 3 MB name used to take 15 s
// of closest-name search, 1500 names held the worker 26 s. Names of one key paint it once.
TEST(LitKeysTest, RequestsAreBoundedAndEachKeyIsPaintedOnce) {
  const KeyVocabulary words(EnglishTexts());
  std::vector<int> controls;
  auto outcome = FindLitKeys(words, {"Esc", std::string(3 << 20, 'x')}, controls);
  EXPECT_EQ(outcome.error, ScriptError::InvalidArgument);
  EXPECT_EQ(outcome.message, "keys: a name of 3145728 bytes; no key name is longer than 128") << outcome.message;
  EXPECT_TRUE(controls.empty());

  std::vector<std::string> many(kMaxPaintNames + 1, "Esc");
  outcome = FindLitKeys(words, many, controls);
  EXPECT_EQ(outcome.message, "keys: 513 names; at most 512 in one request");
  many.pop_back();
  ASSERT_TRUE(FindLitKeys(words, many, controls).Ok());
  EXPECT_EQ(controls.size(), 1u);

  ASSERT_TRUE(FindLitKeys(words, {"Esc", "A", "ESC", "esc", "a", "Esc"}, controls).Ok());
  ASSERT_EQ(controls.size(), 2u);
  std::vector<int> single;
  ASSERT_TRUE(FindLitKeys(words, {"Esc"}, single).Ok());
  EXPECT_EQ(controls[0], single[0]);  // in the order first named
  // A name at the limit is still looked up (and answered with close names).
  outcome = FindLitKeys(words, {std::string(kMaxKeyNameBytes, 'q')}, controls);
  EXPECT_EQ(outcome.message.rfind("keys: unknown key 'qqq", 0), 0u) << outcome.message;
}

TEST(PaintableEffectTest, OnlyEffectTwentyOnAKeyboardThatOffersIt) {
  EXPECT_TRUE(PaintableEffect(Offering({1, 20}, 20), 0).Ok());
  EXPECT_NE(PaintableEffect(Offering({1, 20}, 1), 1).message.find("profile 1 shows effect 1"), std::string::npos);
  EXPECT_NE(PaintableEffect(Offering({1}, 20), 0).message.find("does not offer per-key colours"), std::string::npos);
}

}  // namespace
}  // namespace vantrel::scripting
