// Undo and redo of the editing session's steps: key assignments with their texts, macro
// edits, whole-store replacements and lighting values; the profile a step belongs to; a
// store changed behind the steps' back; the bounds.
#include "core/profiles/undo_history.h"

#include <gtest/gtest.h>

#include <string>

#include "language_file_texts.h"

namespace vantrel::profiles {
namespace {

using keys::KeyAssignment;
using keys::StoreImage;

keys::MacroRecord Macro(std::uint16_t id, std::u16string name, std::size_t steps = 2) {
  keys::MacroRecord m;
  m.SetId(id);
  m.SetName(name);
  m.SetCycles(1);
  std::vector<keys::MacroAction> actions(steps, keys::MacroAction{10, 0x1E, keys::kPress});
  m.SetActions(actions);
  return m;
}

KeyAssignment Disabled() { return {keys::kKindDisabled, 0, 0, 0, 0}; }

// Records and texts of every slot, and the macros: what a step may change.
bool SameStore(const StoreImage& a, const StoreImage& b) {
  return a.table == b.table && a.strings == b.strings && a.macros == b.macros;
}

// Makes one edit as the session would: snapshot of the parts, the edit, snapshot again.
template <typename Edit>
bool Step(UndoHistory& history, StoreImage& image, StoreParts parts, std::string name, int profile, Edit edit) {
  StoreSnapshot before = StoreSnapshot::Take(image, parts);
  edit(image);
  return history.PushStore(std::move(name), profile, std::move(before), StoreSnapshot::Take(image, parts));
}

TEST(UndoHistoryTest, KeyAssignmentsWithTheirTextsGoBackAndComeAgain) {
  UndoHistory history;
  StoreImage image;
  const StoreImage start = image;
  ASSERT_TRUE(Step(history, image, SlotPart(1), "A -> Disabled on Profile 2", 1,
                   [](StoreImage& i) { keys::StoreKeyAssignment(i, 1, 0x1E, Disabled()); }));
  ASSERT_TRUE(Step(history, image, SlotPart(2), "B -> text on Profile 3", 2, [](StoreImage& i) {
    keys::StoreKeyAssignment(i, 2, 0x30, {keys::kKindText, 0, 0, 0, 0}, u"hello");
  }));
  const StoreImage edited = image;
  EXPECT_EQ(history.UndoName(), "B -> text on Profile 3");
  EXPECT_EQ(history.UndoProfile(), 2);

  StepOutcome out = history.Undo(image);
  EXPECT_EQ(out.result, StepOutcome::Result::Store);
  EXPECT_EQ(out.profile, 2);
  EXPECT_EQ(out.parts, SlotPart(2));
  EXPECT_EQ(image.strings.Slot(2 * keys::kRecordsPerSlot + 0x30), nullptr);  // the text went with the record
  EXPECT_EQ(history.RedoName(), "B -> text on Profile 3");
  out = history.Undo(image);
  EXPECT_EQ(out.profile, 1);
  EXPECT_TRUE(SameStore(image, start));
  EXPECT_FALSE(history.CanUndo());
  EXPECT_EQ(history.Undo(image).result, StepOutcome::Result::Nothing);

  history.Redo(image);
  history.Redo(image);
  EXPECT_TRUE(SameStore(image, edited));
  EXPECT_EQ(*image.strings.Slot(2 * keys::kRecordsPerSlot + 0x30), u"hello");
  EXPECT_FALSE(history.CanRedo());
}

TEST(UndoHistoryTest, UndoTouchesOnlyThePartsOfItsStep) {
  UndoHistory history;
  StoreImage image;
  Step(history, image, SlotPart(1), "on Profile 2", 1,
       [](StoreImage& i) { keys::StoreKeyAssignment(i, 1, 0x1E, Disabled()); });
  // An edit of another profile that made no step (the caller's business) stays.
  keys::StoreKeyAssignment(image, 0, 0x10, Disabled());
  EXPECT_EQ(history.Undo(image).result, StepOutcome::Result::Store);
  EXPECT_EQ(image.table.Record(1, 0x1E), StoreImage{}.table.Record(1, 0x1E));
  EXPECT_EQ(image.table.Record(0, 0x10), Disabled());
}

TEST(UndoHistoryTest, MacroEditsAndAWholeImportUndoInTurn) {
  UndoHistory history;
  StoreImage image;
  const StoreImage empty = image;
  Step(history, image, kMacroEditorParts, "Macros edited", 0, [](StoreImage& i) { i.macros.push_back(Macro(1, u"Fire")); });
  const StoreImage oneMacro = image;
  // A macro deleted with a key that used it: the key falls back (SaveMacros) in the same step.
  Step(history, image, kMacroEditorParts, "Macros edited", 0, [](StoreImage& i) {
    i.table.SetRecord(0, 0x1E, {keys::kKindMacro, 1, 1, 0, 0});
    i.macros.push_back(Macro(2, u"Reload"));
  });
  const StoreImage twoMacros = image;
  Step(history, image, kMacroEditorParts, "Macros edited", 1, [](StoreImage& i) {
    i.macros.erase(i.macros.begin());
    keys::SaveMacros(i);
  });
  Step(history, image, kWholeStore, "Import of x.json", 2, [](StoreImage& i) {
    i = StoreImage{};
    i.macros = {Macro(7, u"Imported", 50)};
    keys::StoreKeyAssignment(i, 2, 0x02, {keys::kKindLaunch, 0, 0, 0, 0}, u"/usr/bin/true");
  });
  const StoreImage imported = image;

  ASSERT_EQ(history.UndoCount(), 4u);
  history.Undo(image);
  history.Undo(image);
  EXPECT_TRUE(SameStore(image, twoMacros));
  EXPECT_EQ(image.table.Record(0, 0x1E).kind, keys::kKindMacro);
  history.Undo(image);
  EXPECT_TRUE(SameStore(image, oneMacro));
  history.Undo(image);
  EXPECT_TRUE(SameStore(image, empty));
  for (int i = 0; i < 4; ++i) history.Redo(image);
  EXPECT_TRUE(SameStore(image, imported));
}

TEST(UndoHistoryTest, ANewStepClearsRedoAndAStepThatChangedNothingIsNotKept) {
  UndoHistory history;
  StoreImage image;
  Step(history, image, SlotPart(0), "one", 0, [](StoreImage& i) { keys::StoreKeyAssignment(i, 0, 1, Disabled()); });
  Step(history, image, SlotPart(0), "two", 0, [](StoreImage& i) { keys::StoreKeyAssignment(i, 0, 2, Disabled()); });
  history.Undo(image);
  ASSERT_TRUE(history.CanRedo());
  EXPECT_FALSE(Step(history, image, SlotPart(0), "nothing", 0, [](StoreImage&) {}));
  EXPECT_TRUE(history.CanRedo());  // nothing happened, so nothing to redo was lost
  Step(history, image, SlotPart(0), "three", 0, [](StoreImage& i) { keys::StoreKeyAssignment(i, 0, 3, Disabled()); });
  EXPECT_FALSE(history.CanRedo());
  EXPECT_EQ(history.UndoName(), "three");
  EXPECT_EQ(history.Redo(image).result, StepOutcome::Result::Nothing);
}

TEST(UndoHistoryTest, AStoreChangedBehindTheStepsIsNeverOverwritten) {
  UndoHistory history;
  StoreImage image;
  Step(history, image, SlotPart(1), "one", 1, [](StoreImage& i) { keys::StoreKeyAssignment(i, 1, 5, Disabled()); });
  // Something rewrote the same profile without a step (read from the keyboard, say).
  keys::StoreKeyAssignment(image, 1, 6, Disabled());
  const StoreImage changed = image;
  const StepOutcome out = history.Undo(image);
  EXPECT_EQ(out.result, StepOutcome::Result::Stale);
  EXPECT_TRUE(SameStore(image, changed));
  EXPECT_FALSE(history.CanUndo());
  EXPECT_FALSE(history.CanRedo());
}

TEST(UndoHistoryTest, LightingStepsHandBackTheValueToWriteAndStayWhenTheWriteFails) {
  UndoHistory history;
  StoreImage image;
  lighting::LightingRecord before{}, after{};
  before[lighting::kRecBrightness] = 4;
  after[lighting::kRecBrightness] = 1;
  EXPECT_FALSE(history.PushLighting("same", 0, {before, std::nullopt}, {before, std::nullopt}));
  ASSERT_TRUE(history.PushLighting("Lighting on Profile 3", 2, {before, std::nullopt}, {after, std::nullopt}));
  lighting::UserModeSet painted;
  painted.modes[0].ledSlots[3].colour = 0x00FF00;
  ASSERT_TRUE(history.PushLighting("Key colors on Profile 1", 0, {std::nullopt, lighting::UserModeSet{}},
                                   {std::nullopt, painted}));

  StepOutcome out = history.Undo(image);
  ASSERT_EQ(out.result, StepOutcome::Result::Lighting);
  EXPECT_EQ(out.profile, 0);
  ASSERT_TRUE(out.lighting.userModes);
  EXPECT_EQ(out.lighting.userModes->modes[0].ledSlots[3].colour, lighting::UserModeSet{}.modes[0].ledSlots[3].colour);

  out = history.Undo(image);
  EXPECT_EQ(out.profile, 2);
  EXPECT_EQ(out.lighting.record, before);
  // The keyboard refused the write: the step is offered again as it was.
  history.LightingWriteFailed();
  EXPECT_EQ(history.UndoName(), "Lighting on Profile 3");
  EXPECT_EQ(history.RedoName(), "Key colors on Profile 1");
  out = history.Undo(image);
  EXPECT_EQ(out.lighting.record, before);
  out = history.Redo(image);
  EXPECT_EQ(out.lighting.record, after);
  history.LightingWriteFailed();
  EXPECT_EQ(history.RedoName(), "Lighting on Profile 3");
  // Only the last lighting Undo or Redo can fail: a second call moves nothing.
  history.LightingWriteFailed();
  EXPECT_EQ(history.RedoName(), "Lighting on Profile 3");
  EXPECT_FALSE(history.CanUndo());
}

TEST(UndoHistoryTest, AtMostTheNewestStepsAreKept) {
  UndoHistory history(UndoHistory::kDefaultMaxSteps);
  StoreImage image;
  std::vector<StoreImage> states{image};
  for (std::size_t n = 1; n <= UndoHistory::kDefaultMaxSteps + 5; ++n) {
    Step(history, image, SlotPart(0), "step " + std::to_string(n), 0, [n](StoreImage& i) {
      keys::StoreKeyAssignment(i, 0, n, Disabled());
    });
    states.push_back(image);
  }
  EXPECT_EQ(history.UndoCount(), UndoHistory::kDefaultMaxSteps);
  while (history.CanUndo()) history.Undo(image);
  EXPECT_TRUE(SameStore(image, states[5]));
}

TEST(UndoHistoryTest, TheMemoryBoundDropsOldStepsButCountsASharedMacroListOnce) {
  // Each list of 60 macros takes about 1 MB; consecutive steps share the list between them.
  std::vector<keys::MacroRecord> big;
  for (std::uint16_t id = 1; id <= 60; ++id) big.push_back(Macro(id, u"M", 2000));
  StoreImage image;
  StoreImage full;
  full.macros = big;
  const std::size_t list = StoreSnapshot::Take(full, {0, true}).MacroBytes();
  UndoHistory history(200, 2 * list + list / 2);  // two lists fit, three do not
  auto rename = [&](const char16_t* name) {
    return Step(history, image, {0, true}, "rename", 0, [&](StoreImage& i) {
      if (i.macros.empty()) i.macros = big;
      i.macros[0].SetName(name);
    });
  };
  rename(u"A");  // [] -> L1
  rename(u"B");  // L1 -> L2
  EXPECT_EQ(history.UndoCount(), 2u);  // L1 and L2 held once each: both steps fit
  rename(u"C");  // L2 -> L3: three lists; the oldest step goes
  EXPECT_EQ(history.UndoCount(), 1u);
  EXPECT_LE(history.Bytes(), 2 * list + list / 2);
  // The newest step stays whatever it takes.
  UndoHistory tiny(200, 1);
  EXPECT_TRUE(Step(tiny, image, {0, true}, "big", 0, [](StoreImage& i) { i.macros.pop_back(); }));
  EXPECT_EQ(tiny.UndoCount(), 1u);
}

TEST(UndoHistoryTest, StepNamesInTheLanguageInForce) {
  const test::LanguageFileTexts english("0409"), french("040C");
  EXPECT_EQ(KeyStepName(english, "Caps Lock", "Disabled", 1), "Caps Lock -> Disabled on Profile 2");
  EXPECT_EQ(KeyStepName(french, "A", "%s", 0), "A -> %s sur Profil 1");
  EXPECT_EQ(StepName(english, StepWhat::RestoreDefault, 2), "Restore default on Profile 3");
  EXPECT_EQ(StepName(french, StepWhat::KeyColours, 0), "Couleurs des touches sur Profil 1");
  EXPECT_EQ(StepName(english, StepWhat::Import, 0, "a.json"), "Import of a.json");
  EXPECT_EQ(StepName(english, StepWhat::Macros, 0), "Macros edited");
}

}  // namespace
}  // namespace vantrel::profiles
