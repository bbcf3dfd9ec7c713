// Undo and Redo of the editing session against the virtual keyboard: every kind of step
// the session records, the profile a step shows, Redo cleared by a new edit, the steps
// forgotten when the store is replaced, and lighting steps written back to the keyboard.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/keys/key_table.h"
#include "core/lighting/lighting_records.h"
#include "core/lighting/user_modes.h"
#include "core/profiles/profile_file.h"
#include "scripting/undo_steps.h"
#include "session_fixture.h"

namespace vantrel::test {
namespace {

using namespace vantrel::profiles;
using Result = StepOutcome::Result;

class ShownProfiles final : public ProfileView {
 public:
  void ProfileSwitched(int profile) override { shown.push_back(profile); }
  std::vector<int> shown;
};

// The records of every slot, their strings and the macros (the table's header is the
// file's, no edit's).
bool Same(const keys::StoreImage& a, const keys::StoreImage& b) {
  for (std::size_t s = 0; s < keys::kRecordCount; ++s) {
    if (!(a.table.RecordAt(s) == b.table.RecordAt(s))) return false;
  }
  return a.macros == b.macros && a.strings == b.strings;
}

constexpr std::size_t kKeyA = 0x1E;
constexpr keys::KeyAssignment kDisabled{keys::kKindDisabled, 0, 0, 0, 0};

class SessionUndoTest : public SessionFixture<> {
 public:  // the cases' functions use the helpers
  SessionUndoTest() {
    for (const char* key : {"UNDO_STEP_KEY=%s -> %s on %s", "UNDO_STEP_MACROS=Macros edited",
                            "UNDO_STEP_DEFAULT=Default on %s", "UNDO_STEP_IMPORT=Import of %s",
                            "UNDO_STEP_LIGHTING=Lighting on %s", "UNDO_STEP_KEY_COLOURS=Key colours on %s",
                            "UNDO_STEP_SELECTION=Selection on %s", "PROFILE_1=P1", "PROFILE_2=P2", "PROFILE_3=P3"}) {
      const std::string entry(key);
      texts.texts[entry.substr(0, entry.find('='))] = entry.substr(entry.find('=') + 1);
    }
    session.AddView(view);
    session.ReloadOnArrival();
    // The keyboard's facts as they were read, so that refusals meet the writes only.
    const DeviceFacts facts = service.Facts();
    service.SetDeviceFacts([facts] { return facts; });
    sim.ClearTrace();
  }

  keys::StoreImage Store() { return keys::EditingStore::Lock(editing).Image(); }
  void SetKey(int profile, std::size_t index, keys::KeyAssignment record) {
    session.EditStore(profile, SlotPart(static_cast<std::size_t>(profile)), [&](keys::StoreImage& image) {
      image.table.SetRecord(static_cast<std::size_t>(profile), index, record);
      return KeyStepName(texts, "A", "Disabled", profile);
    });
  }
  void RefuseEverything() {
    sim::FaultPlan faults;
    const auto next = sim.service.ConfigRequests();
    for (std::uint64_t n = next + 1; n <= next + 40; ++n) faults.Add(n, sim::Fault::kStatusFF);
    sim.service.SetFaults(faults);
  }
  keys::StoreImage ImportedImage() {
    keys::StoreImage image = Store();
    image.table.SetRecord(2, kKeyA, kDisabled);
    keys::MacroRecord macro;
    macro.SetId(1);
    macro.SetName(u"Imported");
    image.macros.push_back(macro);
    return image;
  }

  ShownProfiles view;
};

// Each kind of store step: made on a profile other than the one shown at Undo time, taken
// back and done again, the store following exactly and the profile shown and edited.
TEST_F(SessionUndoTest, EveryKindOfStoreStepGoesBackAndComesAgain) {
  struct Case {
    const char* what;
    int profile;  // the profile the edit is made on
    std::function<void(SessionUndoTest&)> prepare;  // before the step, no step itself
    std::function<void(SessionUndoTest&)> edit;
    std::function<std::string(SessionUndoTest&)> name;
  };
  const Case cases[] = {
      {"key", 1, {}, [](SessionUndoTest& t) { t.SetKey(1, kKeyA, kDisabled); },
       [](SessionUndoTest& t) { return KeyStepName(t.texts, "A", "Disabled", 1); }},
      {"macros", 2, {},
       [](SessionUndoTest& t) {
         t.session.EditStore(2, kMacroEditorParts, [&](keys::StoreImage& image) {
           keys::MacroRecord macro;
           macro.SetId(5);
           macro.SetName(u"Mine");
           image.macros.push_back(macro);
           image.table.SetRecord(0, kKeyA, keys::KeyAssignment{keys::kKindMacro, 5, 1, 0, 0});
           return StepName(t.texts, StepWhat::Macros, 2);
         });
       },
       [](SessionUndoTest& t) { return StepName(t.texts, StepWhat::Macros, 2); }},
      {"restore default", 2,
       [](SessionUndoTest& t) {
         keys::EditingStore::Lock lock(t.editing);
         lock->table.SetRecord(2, kKeyA, kDisabled);
       },
       [](SessionUndoTest& t) {
         t.session.SetCurrentProfile(2);
         t.session.RestoreDefaultKeys({kKeyA});
       },
       [](SessionUndoTest& t) { return StepName(t.texts, StepWhat::RestoreDefault, 2); }},
      {"colour view selection", 1, {},
       [](SessionUndoTest& t) {
         t.session.SetCurrentProfile(1);
         t.session.ToggleSelected(kKeyA);
       },
       [](SessionUndoTest& t) { return StepName(t.texts, StepWhat::Selection, 1); }},
      {"import not written", 1, {},
       [](SessionUndoTest& t) {
         t.session.SetCurrentProfile(1);
         t.RefuseEverything();
         EXPECT_FALSE(t.session.Install(t.ImportedImage(), "/somewhere/mine.json"));
         t.sim.service.SetFaults({});
       },
       [](SessionUndoTest& t) { return StepName(t.texts, StepWhat::Import, 1, "mine.json"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    session.SetCurrentProfile(0);
    if (c.prepare) c.prepare(*this);
    const keys::StoreImage before = Store();
    const std::uint64_t changes = session.Facts().changes;
    c.edit(*this);
    const keys::StoreImage after = Store();
    ASSERT_FALSE(Same(after, before)) << "the edit changed nothing";
    ASSERT_TRUE(session.CanUndo());
    EXPECT_EQ(session.UndoName(), c.name(*this));

    session.SetCurrentProfile(0);
    view.shown.clear();
    const StepOutcome undone = session.Undo();
    EXPECT_EQ(undone.result, Result::Store);
    EXPECT_TRUE(Same(Store(), before));
    EXPECT_EQ(session.CurrentProfile(), c.profile);
    if (c.profile != 0) {
      EXPECT_EQ(view.shown, std::vector<int>{c.profile});
    }
    EXPECT_TRUE(session.Facts().editedProfiles & (1u << c.profile));
    EXPECT_GT(session.Facts().changes, changes);
    EXPECT_EQ(session.RedoName(), c.name(*this));

    EXPECT_EQ(session.Redo().result, Result::Store);
    EXPECT_TRUE(Same(Store(), after));
    EXPECT_FALSE(session.CanRedo());

    // The next case starts from the keyboard's configuration, with no step left.
    ASSERT_TRUE(session.ReloadAfterOtherProgram(true));
    EXPECT_FALSE(session.CanUndo());
  }
  // Nothing reached the keyboard: undo is the store's alone, the active profile stays.
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 0);
}

TEST_F(SessionUndoTest, ANewEditClearsRedoAndStepsGoInOrder) {
  SetKey(0, kKeyA, kDisabled);
  SetKey(0, kKeyA + 1, kDisabled);
  EXPECT_EQ(session.Undo().result, Result::Store);
  EXPECT_TRUE(session.CanRedo());
  SetKey(0, kKeyA + 2, kDisabled);
  EXPECT_FALSE(session.CanRedo());
  EXPECT_EQ(session.Undo().result, Result::Store);
  EXPECT_EQ(session.Undo().result, Result::Store);
  EXPECT_EQ(Store().table.Record(0, kKeyA).kind, keys::kKindFactory);
  EXPECT_EQ(Store().table.Record(0, kKeyA + 1).kind, keys::kKindFactory);
  EXPECT_EQ(session.Undo().result, Result::Nothing);
  // An edit that changes nothing is no step.
  SetKey(0, kKeyA, Store().table.Record(0, kKeyA));
  EXPECT_FALSE(session.CanUndo());
}

TEST_F(SessionUndoTest, NothingIsTakenWhileTheKeyPageIsOpen) {
  SetKey(1, kKeyA, kDisabled);
  session.EditorOpened(Editor::KeyPage);
  EXPECT_EQ(session.Undo().result, Result::Nothing);
  EXPECT_EQ(Store().table.Record(1, kKeyA).kind, keys::kKindDisabled);
  session.EditorClosed(Editor::KeyPage);
  EXPECT_EQ(session.Undo().result, Result::Store);
}

// The store replaced as a whole leaves no step that could put an old part over it.
TEST_F(SessionUndoTest, TheStepsAreForgottenWhenTheStoreIsReplaced) {
  const auto file = dir / "keyboard.vnp";
  ASSERT_TRUE(service.BackupToFile(file));
  struct Case {
    const char* what;
    std::function<void(SessionUndoTest&)> replace;
  };
  const Case cases[] = {
      {"read after another program", [](SessionUndoTest& t) { EXPECT_TRUE(t.session.ReloadAfterOtherProgram(true)); }},
      {"edits dropped at a switch",
       [](SessionUndoTest& t) {
         SwitchDecision decision;
         decision.profile = 1;
         decision.proceed = decision.unsaved = decision.asked = true;
         decision.applyFirst = false;
         EXPECT_TRUE(t.session.Switch(decision));
       }},
      {"restore written", [&file](SessionUndoTest& t) { EXPECT_TRUE(t.session.Restore(file).applied); }},
      {"import written", [](SessionUndoTest& t) { EXPECT_TRUE(t.session.Install(t.ImportedImage(), "x.json")); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetKey(0, kKeyA + 3, kDisabled);
    SetKey(0, kKeyA + 4, kDisabled);
    ASSERT_EQ(session.Undo().result, Result::Store);
    c.replace(*this);
    EXPECT_FALSE(session.CanUndo());
    EXPECT_FALSE(session.CanRedo());
    EXPECT_EQ(session.UndoName(), "");
  }
}

TEST_F(SessionUndoTest, ARestoreTheKeyboardRefusedIsAStepBackToTheEditsBefore) {
  const auto file = dir / "keyboard.vnp";
  ASSERT_TRUE(service.BackupToFile(file));
  SetKey(1, kKeyA, kDisabled);
  const keys::StoreImage edited = Store();
  RefuseEverything();
  EXPECT_FALSE(session.Restore(file).applied);
  sim.service.SetFaults({});
  EXPECT_EQ(session.UndoName(), StepName(texts, StepWhat::Import, 0, "keyboard.vnp"));
  EXPECT_EQ(session.Undo().result, Result::Store);
  EXPECT_TRUE(Same(Store(), edited));
  // And the key edit before it is still there to take back.
  EXPECT_EQ(session.Undo().result, Result::Store);
  EXPECT_EQ(Store().table.Record(1, kKeyA).kind, keys::kKindFactory);
}

// ---- lighting ---------------------------------------------------------------------------

class LightingUndoTest : public SessionUndoTest {
 public:
  LightingUndoTest() : files(dir / "colours", dir / "default.userd") {
    std::filesystem::create_directories(dir / "colours");
  }
  lighting::LightingRecord KeyboardRecord(int profile) {
    lighting::LightingRecord r{};
    const auto& area = sim.keyboard.Lighting();
    std::copy_n(area.begin() + 42 * profile, r.size(), r.begin());
    return r;
  }
  scripting::StepTaken Take(scripting::StepDirection direction) {
    return scripting::TakeStep(session, sim.commands, files, direction);
  }

  lighting::KeyColourEditor files;
};

TEST_F(LightingUndoTest, ALightingStepWritesTheValueBeforeAndAfterToTheKeyboard) {
  struct Case {
    const char* what;
    int profile;
    StepWhat kind;
    std::function<void(LightingValue&)> change;  // from the value before to the value after
    std::function<bool(LightingUndoTest&, int, const LightingValue&)> holds;
  };
  const auto recordHeld = [](LightingUndoTest& t, int p, const LightingValue& v) {
    return t.KeyboardRecord(p) == *v.record;
  };
  const auto modesHeld = [](LightingUndoTest& t, int p, const LightingValue& v) {
    const auto shown = lighting::ShownColours(*v.userModes);
    const auto& keyboard = t.sim.keyboard.KeyColours();
    const auto at = static_cast<std::size_t>(512 * p);
    // The editor holds the mode written, for what is painted next.
    return lighting::ReadUserModes(t.files.UserFile(p)).modes[0].base == v.userModes->modes[0].base &&
           t.files.BaseColour() == v.userModes->modes[0].base &&
           keyboard[at] == lighting::RedOf(shown[0]) && keyboard[at + 1] == lighting::GreenOf(shown[0]);
  };
  const Case cases[] = {
      {"brightness", 1, StepWhat::Lighting,
       [](LightingValue& v) { (*v.record)[lighting::kRecBrightness] = (*v.record)[lighting::kRecBrightness] == 1 ? 3 : 1; },
       recordHeld},
      {"effect and colour", 2, StepWhat::Lighting,
       [](LightingValue& v) {
         (*v.record)[lighting::kRecEffect] = 3;
         (*v.record)[lighting::kRecRed] = 0x12;
       },
       recordHeld},
      {"key colours", 0, StepWhat::KeyColours,
       [](LightingValue& v) {
         v.userModes->modes[0].base = lighting::MakeRgb(10, 20, 30);
         for (auto& slot : v.userModes->modes[0].ledSlots) slot = {lighting::MakeRgb(10, 20, 30), false};
       },
       modesHeld},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LightingValue before;
    if (c.kind == StepWhat::Lighting) {
      before.record = KeyboardRecord(c.profile);
    } else {
      before.userModes = lighting::ReadUserModes(files.DefaultFile());
      for (auto& slot : before.userModes->modes[0].ledSlots) slot = {lighting::MakeRgb(200, 0, 0), false};
    }
    LightingValue after = before;
    c.change(after);
    // The panel wrote `after`; the step records it.
    ASSERT_TRUE(scripting::WriteLightingParts(sim.commands, files, scripting::LightingParts(c.profile, after)).Ok());
    session.RecordLighting(c.profile, c.kind, before, after);
    EXPECT_EQ(session.UndoName(), StepName(texts, c.kind, c.profile));

    session.SetCurrentProfile(c.profile == 0 ? 1 : 0);
    const auto undone = Take(scripting::StepDirection::Undo);
    EXPECT_EQ(undone.step.result, Result::Lighting);
    EXPECT_TRUE(undone.Ok());
    EXPECT_TRUE(c.holds(*this, c.profile, before));
    EXPECT_EQ(session.CurrentProfile(), c.profile);
    EXPECT_EQ(session.Facts().editedProfiles, 0u) << "a lighting step is written, never pending";

    EXPECT_TRUE(Take(scripting::StepDirection::Redo).Ok());
    EXPECT_TRUE(c.holds(*this, c.profile, after));
    EXPECT_FALSE(session.CanRedo());
  }
}

TEST_F(LightingUndoTest, ARefusedWriteKeepsTheStepAndTheKeyboardAsItWas) {
  LightingValue before{KeyboardRecord(1), std::nullopt};
  LightingValue after = before;
  (*after.record)[lighting::kRecSpeed] = (*before.record)[lighting::kRecSpeed] == 0 ? 2 : 0;
  ASSERT_TRUE(scripting::WriteLightingParts(sim.commands, files, scripting::LightingParts(1, after)).Ok());
  session.RecordLighting(1, StepWhat::Lighting, before, after);

  RefuseEverything();
  const auto refused = Take(scripting::StepDirection::Undo);
  EXPECT_EQ(refused.step.result, Result::Lighting);
  EXPECT_FALSE(refused.Ok());
  EXPECT_EQ(KeyboardRecord(1), *after.record);
  EXPECT_TRUE(session.CanUndo()) << "the step stays for another try";
  EXPECT_FALSE(session.CanRedo());

  sim.service.SetFaults({});
  EXPECT_TRUE(Take(scripting::StepDirection::Undo).Ok());
  EXPECT_EQ(KeyboardRecord(1), *before.record);
}

TEST_F(LightingUndoTest, TheWritesOfOneDragAreOneStep) {
  lighting::LightingRecord r{};
  const auto at = [&r](int brightness) {
    r[lighting::kRecBrightness] = static_cast<std::uint8_t>(brightness);
    return LightingValue{r, std::nullopt};
  };
  // One drag 0 -> 3 in three writes, then a second drag 3 -> 4, then a click.
  session.RecordLighting(0, StepWhat::Lighting, at(0), at(1), 7);
  session.RecordLighting(0, StepWhat::Lighting, at(1), at(2), 7);
  session.RecordLighting(0, StepWhat::Lighting, at(2), at(3), 7);
  session.RecordLighting(0, StepWhat::Lighting, at(3), at(4), 8);
  session.RecordLighting(0, StepWhat::Lighting, at(4), at(2));
  session.RecordLighting(0, StepWhat::Lighting, at(2), at(1));

  std::vector<int> backTo;
  for (StepOutcome o = session.Undo(); o.result == Result::Lighting; o = session.Undo())
    backTo.push_back((*o.lighting.record)[lighting::kRecBrightness]);
  EXPECT_EQ(backTo, (std::vector<int>{2, 4, 3, 0}));

  // A drag that ends where it began leaves no step.
  session.RecordLighting(0, StepWhat::Lighting, at(1), at(2), 9);
  session.RecordLighting(0, StepWhat::Lighting, at(2), at(1), 9);
  EXPECT_FALSE(session.CanUndo());
}

}  // namespace
}  // namespace vantrel::test
