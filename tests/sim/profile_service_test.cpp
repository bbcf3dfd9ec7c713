// Profile operations against the virtual keyboard: reading it into the working file,
// switching, restoring and backing up, and the updater hand-over.
#include "core/profiles/edit_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <optional>
#include <thread>

#include "core/keys/key_table.h"
#include "core/profiles/profile_file.h"
#include "core/util/bytes.h"
#include "session_fixture.h"

namespace vantrel::test {
namespace {

using namespace vantrel::profiles;
using keys::KeyAssignment;

class RecordingView final : public ProfileView {
 public:
  void ShowKeyButtons(const keys::StoreImage& image, int profile) override {
    calls.push_back("show " + std::to_string(profile));
    shownMacros = image.macros.size();
  }
  void ProfileSwitched(int profile) override { calls.push_back("switched " + std::to_string(profile)); }
  void ConfigurationRead(int profile) override { calls.push_back("read " + std::to_string(profile)); }
  void ArrivalWithEdits() override { calls.push_back("arrival"); }
  void RebuildProfileMenu() override { calls.push_back("menu"); }

  std::vector<std::string> calls;
  std::size_t shownMacros = 0;
};

class ProfileServiceTest : public SessionFixture<> {
 protected:
  ProfileServiceTest() { session.AddView(view); }

  std::filesystem::path Working() { return WorkingFilePath(service.Paths()); }

  RecordingView view;
};

TEST_F(ProfileServiceTest, ReloadReadsTheKeyboardIntoTheWorkingFileAndTheStore) {
  // Profile 1 disables the key at entry 17; the macro area holds one macro.
  const keys::KeyTableView factory(sim.keyboard.FactoryTable());
  sim.keyboard.KeyTables()[1 * 378 + 17 * 3 + 0] = 0;
  sim.keyboard.KeyTables()[1 * 378 + 17 * 3 + 1] = 0;
  sim.keyboard.KeyTables()[1 * 378 + 17 * 3 + 2] = 0;
  keys::MacroRecord m = keys::NewMacro(u"m", 1);
  const keys::MacroAction steps[] = {{10, 0x1E, keys::kPress}, {10, 0x1E, keys::kRelease}};
  m.SetActions(steps);
  const auto block = keys::BuildMacroBlock(std::vector{m}, true);
  std::copy(block.begin(), block.end(), sim.keyboard.MacroArea().begin());

  session.ReloadOnArrival();
  const std::vector<std::uint8_t> f = ReadAll(Working());
  ASSERT_EQ(f.size(), 32832u + 16512u);
  EXPECT_EQ(LoadU16(f, 14), 1);
  EXPECT_EQ(LoadU32(f, 16), 0u);
  EXPECT_EQ(cache.load(), 0);
  EXPECT_EQ(ValidateProfileFile(Working(), texts, sink), kProfileValid);

  keys::EditingStore::Lock lock(editing);
  std::size_t changed = 0;
  for (std::size_t t = 0; t < 4; ++t) {
    for (std::size_t r = 0; r < 512; ++r) {
      const KeyAssignment rec = lock->table.Record(t, r);
      const std::uint16_t aux = t < 3 ? keys::DefaultAux(0, r) : 0;
      if (rec == KeyAssignment{0, aux, 0, 0, 0}) continue;
      ++changed;
      EXPECT_EQ(t, 1u);
      EXPECT_EQ(rec.kind, keys::kKindDisabled);
    }
  }
  EXPECT_EQ(changed, 1u);
  ASSERT_EQ(lock->macros.size(), 1u);
  EXPECT_EQ(lock->macros[0].ActionCount(), 2u);
  EXPECT_EQ(view.calls, (std::vector<std::string>{"show 0", "read 0", "menu"}));
  EXPECT_EQ(view.shownMacros, 1u);
  EXPECT_FALSE(session.Unsaved());
  EXPECT_TRUE(session.Facts().configurationRead);
  // What was read is what the keyboard's key tables refer to: an apply of one profile
  // needs no other profile's table while the macro list stays so.
  keys::AppliedStore::Lock a(applied, lock);
  EXPECT_EQ(a.DeviceMacros(), std::optional<keys::MacroIdList>(keys::MacroIdList{1}));
  (void)factory;
}

// The working folder cannot be written (here a regular file stands where it belongs, so
// even root cannot write there): what was read stays in memory, the message names the
// folder, and an Apply of one profile writes nothing that was not read from the keyboard.
TEST_F(ProfileServiceTest, UnwritableWorkingFolderKeepsWhatWasReadAndApplyWritesNoDefaults) {
  for (std::size_t i = 0; i < 3; ++i) {
    sim.keyboard.KeyTables()[1 * 378 + 17 * 3 + i] = 0;  // profile 1: entry 17 disabled
    sim.keyboard.KeyTables()[2 * 378 + 20 * 3 + i] = 0;  // profile 2: entry 20 disabled
  }
  keys::MacroRecord m = keys::NewMacro(u"kept", 1);
  const keys::MacroAction steps[] = {{10, 0x1E, keys::kPress}, {20, 0x1E, keys::kRelease}};
  m.SetActions(steps);
  const auto block = keys::BuildMacroBlock(std::vector{m}, true);
  std::copy(block.begin(), block.end(), sim.keyboard.MacroArea().begin());
  WriteAll(dir / "user", {1});
  const auto tablesBefore = sim.keyboard.KeyTables();
  const auto macrosBefore = sim.keyboard.MacroArea();

  session.ReloadOnArrival();
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_NE(sink.shown[0].find((dir / "user").string()), std::string::npos) << sink.shown[0];
  EXPECT_NE(sink.shown[0].find("not writable"), std::string::npos) << sink.shown[0];
  EXPECT_TRUE(session.Facts().configurationRead);
  std::size_t profile1Changed = 0;
  {
    keys::EditingStore::Lock lock(editing);
    ASSERT_EQ(lock->macros.size(), 1u);
    EXPECT_EQ(lock->macros[0].ActionCount(), 2u);
    for (std::size_t r = 0; r < 512; ++r) profile1Changed += lock->table.Record(1, r).kind == keys::kKindDisabled;
    EXPECT_EQ(keys::AppliedStore::Lock(applied, lock).DeviceMacros(),
              std::optional<keys::MacroIdList>(keys::MacroIdList{1}));
    lock->table.SetRecord(0, 0x1E, KeyAssignment{keys::kKindDisabled, 0, 0, 0, 0});
  }
  EXPECT_EQ(profile1Changed, 1u);

  session.MarkEdited(0);
  sim.ClearTrace();
  EXPECT_EQ(session.Apply(), ApplyResult::Applied);
  EXPECT_FALSE(session.Unsaved());
  // Profile 0's table went out; the other profiles and the macro are as they were.
  const auto tablesAfter = sim.keyboard.KeyTables();
  EXPECT_NE(std::vector(tablesAfter.begin(), tablesAfter.begin() + 378),
            std::vector(tablesBefore.begin(), tablesBefore.begin() + 378));
  EXPECT_EQ(std::vector(tablesAfter.begin() + 378, tablesAfter.end()),
            std::vector(tablesBefore.begin() + 378, tablesBefore.end()));
  EXPECT_EQ(sim.keyboard.MacroArea(), macrosBefore);
  keys::StoreImage back;
  ASSERT_TRUE(service.DumpDevice(back));
  ASSERT_EQ(back.macros.size(), 1u);
  EXPECT_EQ(back.macros[0].ActionCount(), 2u);
  EXPECT_EQ(back.table.Record(0, 0x1E).kind, keys::kKindDisabled);

  // Edits dropped (No to the switch question) used to fall back to the default profile
  // without a working file: the next Apply then erased the keyboard's macro.
  {
    keys::EditingStore::Lock lock(editing);
    lock->table.SetRecord(0, 0x1F, KeyAssignment{keys::kKindDisabled, 0, 0, 0, 0});
  }
  session.MarkEdited(0);
  sink.answer = false;
  const SwitchDecision decision = session.CheckSwitch(2);
  ASSERT_TRUE(decision.asked);
  ASSERT_TRUE(session.Switch(decision));
  {
    keys::EditingStore::Lock lock(editing);
    ASSERT_EQ(lock->macros.size(), 1u) << "the dropped edits took the keyboard's macro with them";
    EXPECT_EQ(lock->table.Record(0, 0x1E).kind, keys::kKindDisabled);  // what the keyboard took is kept
    EXPECT_NE(lock->table.Record(0, 0x1F).kind, keys::kKindDisabled);  // the dropped edit is gone
    lock->table.SetRecord(2, 0x20, KeyAssignment{keys::kKindDisabled, 0, 0, 0, 0});
  }
  session.MarkEdited(2);
  EXPECT_EQ(session.Apply(), ApplyResult::Applied);
  EXPECT_EQ(sim.keyboard.MacroArea(), macrosBefore);
}

TEST_F(ProfileServiceTest, UnknownActiveProfileSendsNothingMoreAndGivesTheDefault) {
  {
    keys::EditingStore::Lock lock(editing);
    lock->macros.push_back(keys::NewMacro(u"stale", 1));
    keys::AppliedStore::Lock(applied, lock).DeviceMacros() = keys::MacroIdList{1};
  }
  std::filesystem::create_directories(dir / "user");
  WriteAll(Working(), {9, 9, 9});
  sim.keyboard.SetPresent(false);
  sim.ClearTrace();
  EXPECT_FALSE(service.ReloadFromDevice());
  for (std::uint8_t c : SentCommands()) EXPECT_EQ(c, device::kCmdReadDeviceState);
  EXPECT_EQ(ReadAll(Working()), (std::vector<std::uint8_t>{9, 9, 9}));
  keys::EditingStore::Lock lock(editing);
  EXPECT_EQ(lock->table, DefaultAssignmentTable());
  EXPECT_TRUE(lock->macros.empty());
  // Nothing was read: the keyboard's macro list is not known any more.
  EXPECT_FALSE(keys::AppliedStore::Lock(applied, lock).DeviceMacros().has_value());
  EXPECT_FALSE(service.DumpDeviceToFile(dir / "x.vnp"));
  EXPECT_FALSE(std::filesystem::exists(dir / "x.vnp"));
}

TEST_F(ProfileServiceTest, ActiveProfileIsCachedAndSetThroughTheDeviceState) {
  sim.keyboard.DeviceState()[10] = 2;
  EXPECT_EQ(service.ActiveProfile(), 2);
  sim.keyboard.DeviceState()[10] = 1;
  EXPECT_EQ(service.ActiveProfile(), 2);  // cached
  service.SetActiveProfile(1);
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 1);
  EXPECT_EQ(cache.load(), 1);
  sim.ClearTrace();
  service.SetActiveProfile(-1);
  EXPECT_TRUE(SentCommands().empty());
  sim.keyboard.SetPresent(false);
  service.SetActiveProfile(2);
  EXPECT_EQ(cache.load(), 1);  // the state read failed: nothing changed
}

TEST_F(ProfileServiceTest, SwitchingChecksTheKeyPageAndUnsavedChanges) {
  session.EditorOpened(Editor::KeyPage);
  sim.ClearTrace();
  EXPECT_FALSE(session.Switch(session.CheckSwitch(1)));
  EXPECT_EQ(sink.shown, (std::vector<std::string>{"Close the key page first"}));
  EXPECT_TRUE(SentCommands().empty());
  session.EditorClosed(Editor::KeyPage);

  // Index 3 and above switch to profile 0.
  sim.keyboard.DeviceState()[10] = 2;
  EXPECT_TRUE(session.Switch(session.CheckSwitch(7)));
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 0);
  EXPECT_EQ(view.calls, (std::vector<std::string>{"show 0", "switched 0", "menu"}));
  EXPECT_TRUE(sink.asked.empty());

  // Unsaved changes, answer No: the working file's configuration comes back.
  session.ReloadOnArrival();
  {
    keys::EditingStore::Lock lock(editing);
    lock->macros.push_back(keys::NewMacro(u"unsaved", 1));
  }
  session.MarkEdited();
  view.calls.clear();
  sink.answer = false;
  EXPECT_TRUE(session.Switch(session.CheckSwitch(2)));
  ASSERT_EQ(sink.asked.size(), 1u);
  EXPECT_FALSE(sink.lastDefaultYes);
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 2);
  EXPECT_FALSE(session.Unsaved());
  EXPECT_EQ(session.CurrentProfile(), 2);
  EXPECT_TRUE(keys::EditingStore::Lock(editing)->macros.empty());

  // The manager's own unsaved list counts too; answer Yes with nothing of the store
  // edited applies nothing and switches.
  session.EditorOpened(Editor::ProfileManager);
  session.SetManagerUnsaved(true);
  sink.answer = true;
  EXPECT_TRUE(session.Switch(session.CheckSwitch(1)));
  EXPECT_EQ(sink.asked.size(), 2u);
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 1);
  session.EditorClosed(Editor::ProfileManager);

  // The default-profile menu item (-1) keeps the active profile.
  EXPECT_TRUE(session.Switch(session.CheckSwitch(-1)));
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 1);
}

// Edits pending in profile 1 and a switch to profile 3 answered Yes used to write profile
// 3's key table and mark everything saved: the edit never reached the keyboard.
TEST_F(ProfileServiceTest, YesToTheSwitchQuestionWritesTheProfileTheEditsBelongTo) {
  sim.keyboard.DeviceState()[10] = 0;
  session.ReloadOnArrival();
  ASSERT_EQ(session.CurrentProfile(), 0);
  // Profile 0 (the first profile) gets key 0x1E disabled.
  {
    keys::EditingStore::Lock lock(editing);
    lock->table.SetRecord(0, 0x1E, KeyAssignment{keys::kKindDisabled, 0, 0, 0, 0});
  }
  session.MarkEdited();
  sink.answer = true;
  // As a profile button does: the current profile becomes the new one first.
  const SwitchDecision decision = session.CheckSwitch(2);
  ASSERT_TRUE(decision.asked && decision.applyFirst);
  session.SetCurrentProfile(2);
  ASSERT_TRUE(session.Switch(decision, profiles::EditSession::SwitchWhen::OnlyToAnother));
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 2);
  EXPECT_FALSE(session.Unsaved());
  // Read back from the keyboard: profile 0 holds the edit.
  keys::StoreImage back;
  ASSERT_TRUE(service.DumpDevice(back));
  EXPECT_EQ(back.table.Record(0, 0x1E).kind, keys::kKindDisabled);
  EXPECT_NE(back.table.Record(2, 0x1E).kind, keys::kKindDisabled);
}

TEST_F(ProfileServiceTest, ApplyBeforeAnyKeyboardSaysSoAndKeepsTheEdits) {
  session.SetKeyboardPresent([] { return false; });
  session.MarkEdited();
  sim.ClearTrace();
  EXPECT_EQ(session.Apply(), ApplyResult::NoKeyboard);
  EXPECT_EQ(sink.shown, (std::vector<std::string>{"#Error"}));  // the "no keyboard" text
  EXPECT_TRUE(SentCommands().empty());
  EXPECT_TRUE(session.Unsaved());
}

TEST_F(ProfileServiceTest, AnEditDuringApplyStaysPending) {
  session.ReloadOnArrival();
  session.MarkEdited();
  // The edit arrives while the apply runs (here: as it saves the working file).
  service.SetWriteFaultHook([this, done = false](WriteStep) mutable {
    if (!done) {
      done = true;
      session.MarkEdited();
    }
    return true;
  });
  EXPECT_EQ(session.Apply(), ApplyResult::Applied);
  service.SetWriteFaultHook({});
  EXPECT_TRUE(session.Unsaved());
  EXPECT_EQ(session.Apply(), ApplyResult::Applied);
  EXPECT_FALSE(session.Unsaved());
}

// An edit made while the keyboard is being read (here: as the working file is saved, after
// the reads and before the store is replaced) is never overwritten by what was read: it
// stays, and the user is asked as for edits made before the keyboard came back. The same
// holds for a read after another program's change.
TEST_F(ProfileServiceTest, AnEditMadeWhileTheKeyboardIsReadIsKeptAndAskedAbout) {
  session.ReloadOnArrival();
  ASSERT_TRUE(session.Facts().configurationRead);
  const auto editDuringRead = [this] {
    service.SetWriteFaultHook([this, done = false](WriteStep) mutable {
      if (!done) {
        done = true;
        {
          keys::EditingStore::Lock lock(editing);
          lock->table.SetRecord(0, 0x1E, KeyAssignment{keys::kKindDisabled, 0, 0, 0, 0});
        }
        session.MarkEdited(0);
      }
      return true;
    });
  };
  const auto edited = [this] {
    return keys::EditingStore::Lock(editing)->table.Record(0, 0x1E).kind == keys::kKindDisabled;
  };

  editDuringRead();
  view.calls.clear();
  session.ReloadOnArrival();
  service.SetWriteFaultHook({});
  EXPECT_TRUE(edited());
  EXPECT_TRUE(session.Unsaved());
  EXPECT_TRUE(session.Facts().arrivalPending);
  EXPECT_EQ(view.calls, (std::vector<std::string>{"arrival"}));

  // Answered "read the keyboard": the edit goes, as the user chose.
  session.ResolveArrival(ArrivalChoice::ReadKeyboard);
  EXPECT_FALSE(edited());
  EXPECT_FALSE(session.Unsaved());

  editDuringRead();
  EXPECT_FALSE(session.ReloadAfterOtherProgram(false));
  service.SetWriteFaultHook({});
  EXPECT_TRUE(edited());
  EXPECT_TRUE(session.Unsaved());
}

TEST_F(ProfileServiceTest, TheKeyboardBackWithEditsPendingWaitsForTheAnswer) {
  session.ReloadOnArrival();
  {
    keys::EditingStore::Lock lock(editing);
    lock->table.SetRecord(0, 0x1E, KeyAssignment{keys::kKindDisabled, 0, 0, 0, 0});
  }
  session.MarkEdited();
  view.calls.clear();
  sim.ClearTrace();
  // Replugged: nothing is read and the edits stay until the user answers.
  session.ReloadOnArrival();
  EXPECT_EQ(view.calls, (std::vector<std::string>{"arrival"}));
  EXPECT_TRUE(SentCommands().empty());
  EXPECT_TRUE(session.Unsaved());
  EXPECT_EQ(keys::EditingStore::Lock(editing)->table.Record(0, 0x1E).kind, keys::kKindDisabled);
  // Write them: the keyboard gets them.
  session.ResolveArrival(ArrivalChoice::WriteEdits);
  EXPECT_FALSE(session.Unsaved());
  keys::StoreImage back;
  ASSERT_TRUE(service.DumpDevice(back));
  EXPECT_EQ(back.table.Record(0, 0x1E).kind, keys::kKindDisabled);

  // Another edit, and this time the keyboard's configuration is read instead.
  {
    keys::EditingStore::Lock lock(editing);
    lock->table.SetRecord(0, 0x1F, KeyAssignment{keys::kKindDisabled, 0, 0, 0, 0});
  }
  session.MarkEdited();
  session.ReloadOnArrival();
  session.ResolveArrival(ArrivalChoice::ReadKeyboard);
  EXPECT_FALSE(session.Unsaved());
  EXPECT_NE(keys::EditingStore::Lock(editing)->table.Record(0, 0x1F).kind, keys::kKindDisabled);
}

// Cancel (Escape, the box closed) on the questions whose No drops the edits: the switch,
// the profile manager's Apply and the keyboard's return leave the edits pending and send
// nothing. Cancel used to be taken for No.
TEST_F(ProfileServiceTest, CancelOnTheQuestionsThatDropEditsKeepsThemAndSendsNothing) {
  session.ReloadOnArrival();
  {
    keys::EditingStore::Lock lock(editing);
    lock->table.SetRecord(0, 0x1E, KeyAssignment{keys::kKindDisabled, 0, 0, 0, 0});
  }
  session.MarkEdited();
  const auto kept = [this] {
    EXPECT_TRUE(session.Unsaved());
    EXPECT_EQ(session.CurrentProfile(), 0);
    EXPECT_EQ(keys::EditingStore::Lock(editing)->table.Record(0, 0x1E).kind, keys::kKindDisabled);
  };
  sink.choice = text::Answer::Cancel;
  sim.ClearTrace();
  const SwitchDecision cancelled = session.CheckSwitch(2);
  EXPECT_TRUE(cancelled.asked);
  EXPECT_FALSE(cancelled.proceed);
  EXPECT_FALSE(cancelled.applyFirst);
  EXPECT_FALSE(sink.lastDefaultYes);  // No stays the preselected answer
  EXPECT_FALSE(session.Switch(cancelled));
  kept();
  EXPECT_FALSE(session.CheckManagerApply(1).proceed);
  kept();

  session.ReloadOnArrival();
  ASSERT_TRUE(session.Facts().arrivalPending);
  EXPECT_EQ(session.AskArrival(), ArrivalChoice::KeepEdits);
  EXPECT_TRUE(sink.lastDefaultYes);  // writing them stays the preselected answer
  session.ResolveArrival(ArrivalChoice::KeepEdits);
  EXPECT_FALSE(session.Facts().arrivalPending);
  kept();
  // At most the keyboard's profile was read: nothing written.
  for (std::uint8_t c : SentCommands()) EXPECT_EQ(c, device::kCmdReadDeviceState);
  // Yes and No keep their meaning.
  sink.choice.reset();
  sink.answer = false;
  const SwitchDecision no = session.CheckSwitch(2);
  EXPECT_TRUE(no.proceed && !no.applyFirst);
  sink.answer = true;
  const SwitchDecision yes = session.CheckSwitch(2);
  EXPECT_TRUE(yes.proceed && yes.applyFirst);
}

TEST_F(ProfileServiceTest, SwitchSplitsIntoAQuestionFirstAndDeviceWorkAfter) {
  session.ReloadOnArrival();
  session.MarkEdited();
  view.calls.clear();
  sink.answer = true;
  sim.ClearTrace();
  // The check puts the question and sends nothing.
  const SwitchDecision decision = session.CheckSwitch(2);
  EXPECT_EQ(sink.asked.size(), 1u);
  EXPECT_TRUE(decision.proceed && decision.asked && decision.applyFirst);
  EXPECT_TRUE(SentCommands().empty());
  EXPECT_TRUE(view.calls.empty());
  // The second half asks nothing: the edits are applied, then the switch.
  EXPECT_TRUE(session.Switch(decision));
  EXPECT_EQ(sink.asked.size(), 1u);
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 2);
  EXPECT_FALSE(session.Unsaved());
  const auto sent = SentCommands();
  EXPECT_LT(std::find(sent.begin(), sent.end(), device::kCmdWriteKeyTable) - sent.begin(),
            std::find(sent.begin(), sent.end(), device::kCmdWriteDeviceState) - sent.begin());

  // A refusal carries through: nothing is sent.
  session.EditorOpened(Editor::KeyPage);
  sim.ClearTrace();
  const SwitchDecision refused = session.CheckSwitch(1);
  EXPECT_FALSE(session.Switch(refused));
  EXPECT_TRUE(SentCommands().empty());
}

// A session over the virtual keyboard for the tests that drive it from two threads.
using ThreadedSession = KeyboardSession<>;

TEST(ProfileServiceSplitThreads, CheckTakesNoStoreLock) {
  ThreadedSession t("CheckTakesNoStoreLock");
  auto& [dir, sim, editing, applied, cache, texts, sink, service, session] = t;
  session.MarkEdited();
  sink.answer = false;
  // The device worker holds the editing store while the UI thread checks a switch: the
  // check must finish without waiting for it.
  std::optional<keys::EditingStore::Lock> held(std::in_place, editing);
  auto check = std::async(std::launch::async, [&s = session] { return s.CheckSwitch(1); });
  const bool finished = check.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  held.reset();  // a failing check must not hang the test as well
  EXPECT_TRUE(finished);
  EXPECT_TRUE(check.get().asked);
}

// The UI thread edits while the device worker applies over and over: every edit either
// reached the keyboard or is still pending, never lost between the two.
TEST(EditSessionThreads, EditsDuringAppliesAreNeverLost) {
  ThreadedSession t("EditsDuringAppliesAreNeverLost");
  auto& [dir, sim, editing, applied, cache, texts, sink, service, session] = t;
  RecordingView view;
  session.AddView(view);
  session.ReloadOnArrival();

  std::atomic<bool> stop{false};
  auto worker = std::async(std::launch::async, [&stop, &s = session] {
    int applies = 0;
    while (!stop.load()) {
      s.Apply();
      ++applies;
    }
    return applies;
  });
  constexpr int kEdits = 40;
  for (int i = 1; i <= kEdits; ++i) {
    {
      keys::EditingStore::Lock lock(editing);
      lock->table.SetRecord(0, 0x1E, KeyAssignment{keys::kKindKey, 0, 4 + i, 0, 0});
    }
    session.MarkEdited();
    (void)session.Facts();
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  stop = true;
  EXPECT_GT(worker.get(), 0);
  // Whatever the last pass left pending goes now; then the keyboard holds the last edit.
  session.Apply();
  EXPECT_FALSE(session.Unsaved());
  keys::StoreImage back;
  ASSERT_TRUE(service.DumpDevice(back));
  EXPECT_EQ(back.table.Record(0, 0x1E).code, 4 + kEdits);
}

TEST_F(ProfileServiceTest, RestoreSendsEveryProfileAndMirrorsTheWorkingFile) {
  keys::StoreImage image;
  image.macros.push_back(keys::NewMacro(u"restored", 1));
  image.table.SetRecord(2, 0x1E, KeyAssignment{keys::kKindDisabled, 0, 0, 0, 0});
  image.table.SetRecord(0, 0x20, KeyAssignment{keys::kKindLaunch, 0, 0, 0, 0});
  image.strings.Set(0x20, u"prog");
  const auto file = dir / "in.vnp";
  ASSERT_TRUE(SaveProfileImage(file, image));
  const auto tablesBefore = sim.keyboard.KeyTables();

  // No working file yet: the write makes it.
  session.MarkEdited();
  RestoreOutcome r = session.Restore(file);
  EXPECT_EQ(r.validation, kProfileValid);
  EXPECT_TRUE(r.applied) << (sink.shown.empty() ? "" : sink.shown[0]);
  EXPECT_TRUE(std::filesystem::is_regular_file(Working()));
  EXPECT_FALSE(session.Unsaved());
  EXPECT_NE(sim.keyboard.KeyTables(), tablesBefore);
  EXPECT_EQ(LoadU16(sim.keyboard.MacroArea(), 4), 1);  // one macro on the keyboard
  int tableWrites = 0;
  for (std::uint8_t c : SentCommands()) tableWrites += c == device::kCmdWriteKeyTable;
  EXPECT_GE(tableWrites, 3);

  // With a working file: it holds the restored configuration as the store writes it.
  std::filesystem::create_directories(dir / "user");
  WriteAll(Working(), {1});
  r = service.RestoreFromFile(file);
  EXPECT_TRUE(r.applied);
  EXPECT_EQ(ReadAll(Working()), ReadAll(file));
}

TEST_F(ProfileServiceTest, RefusedRestoreShowsItsMessagesAndTouchesNothing) {
  {
    keys::EditingStore::Lock lock(editing);
    lock->macros.push_back(keys::NewMacro(u"keep", 1));
  }
  std::vector<std::uint8_t> bad(32832, 0);
  WriteAll(dir / "bad.vnp", bad);
  WriteAll(dir / "short.vnp", {1, 2, 3});
  sim.ClearTrace();
  EXPECT_EQ(service.RestoreFromFile(dir / "missing.vnp").validation, kProfileRejected);
  EXPECT_EQ(service.RestoreFromFile(dir / "short.vnp").validation, kProfileRejected);
  EXPECT_EQ(sink.shown, (std::vector<std::string>{"Import failed", "Import failed"}));
  sink.shown.clear();
  EXPECT_EQ(service.RestoreFromFile(dir / "bad.vnp").validation, kProfileRejected);
  EXPECT_EQ(sink.shown,
            (std::vector<std::string>{"Bad profile file: " + (dir / "bad.vnp").string(), "Import failed"}));
  EXPECT_TRUE(SentCommands().empty());
  EXPECT_EQ(keys::EditingStore::Lock(editing)->macros.size(), 1u);
}

TEST_F(ProfileServiceTest, BackupsWriteTheStoreAndTheDialogReportsTheOutcome) {
  // Right after start-up (default store, no keyboard read) a backup is the default profile.
  {
    keys::EditingStore::Lock lock(editing);
    CreateDefaultProfile(lock);
  }
  EXPECT_TRUE(service.BackupToFile(dir / "b.vnp"));
  EXPECT_EQ(ReadAll(dir / "b.vnp").size(), 32832u);
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_TRUE(service.BackupFromDialog(dir / "c.vnp"));
  EXPECT_FALSE(service.BackupFromDialog(dir / "none" / "c.vnp"));
  EXPECT_EQ(sink.shown, (std::vector<std::string>{"Backed up", "Backup failed"}));
}

class FakeLauncher final : public ProgramLauncher {
 public:
  std::string StartProblem(const std::filesystem::path& program) override {
    checked.push_back(program);
    return problem;
  }
  bool Launch(const std::filesystem::path& program) override {
    launched.push_back(program);
    return result;
  }
  std::vector<std::filesystem::path> checked;
  std::vector<std::filesystem::path> launched;
  std::string problem;
  bool result = true;
};

TEST_F(ProfileServiceTest, UpdateHandOverChecksTheFileThenBootModeThenStarts) {
  FakeLauncher launcher;
  std::string path;
  EXPECT_FALSE(StartUpdate(path, sim.commands, launcher, texts, sink));
  path = (dir / "nothing.exe").string();
  EXPECT_FALSE(StartUpdate(path, sim.commands, launcher, texts, sink));
  EXPECT_EQ(sink.shown, (std::vector<std::string>(2, "Choose an update file")));
  EXPECT_FALSE(sim.keyboard.BootMode());

  WriteAll(dir / "up.exe", {0});
  path = (dir / "up.exe").string();
  // A file the launcher cannot start used to get the boot request all the same, and the
  // keyboard was left in boot mode with nothing to bring it back.
  launcher.problem = "is a program for another kind of machine";
  sim.ClearTrace();
  EXPECT_FALSE(StartUpdate(path, sim.commands, launcher, texts, sink));
  EXPECT_EQ(sink.shown.back(), "Choose an update file\n" + path + ": is a program for another kind of machine");
  EXPECT_EQ(launcher.checked.back(), dir / "up.exe");
  EXPECT_TRUE(sim.Lines(">").empty());
  EXPECT_FALSE(sim.keyboard.BootMode());
  EXPECT_EQ(path, (dir / "up.exe").string());
  launcher.problem.clear();

  sim.keyboard.SetPresent(false);
  EXPECT_FALSE(StartUpdate(path, sim.commands, launcher, texts, sink));
  EXPECT_EQ(sink.shown.back(), "No boot mode");
  EXPECT_FALSE(path.empty());
  EXPECT_TRUE(launcher.launched.empty());
  sim.keyboard.SetPresent(true);

  launcher.result = false;
  EXPECT_FALSE(StartUpdate(path, sim.commands, launcher, texts, sink));
  EXPECT_EQ(sink.shown.back(), "Cannot run it\nStill in boot mode: unplug it and plug it in again");
  EXPECT_NE(sink.shown.back().find("unplug it and plug it in again"), std::string::npos);
  EXPECT_TRUE(path.empty());
  sim.service.Drain();
  EXPECT_TRUE(sim.keyboard.BootMode());

  sim.keyboard.SetBootMode(false);
  path = (dir / "up.exe").string();
  launcher.result = true;
  sink.shown.clear();
  EXPECT_TRUE(StartUpdate(path, sim.commands, launcher, texts, sink));
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_EQ(launcher.launched.back(), dir / "up.exe");
}

}  // namespace
}  // namespace vantrel::test

namespace vantrel::test {
namespace {

// A file that validates but is cut short used to be loaded as far as it went and
// written to the keyboard: the macros there were erased and the restore reported done.
TEST_F(ProfileServiceTest, RestoreOfAFileCutShortTouchesNeitherStoreNorWorkingFileNorKeyboard) {
  keys::StoreImage image;
  for (std::uint16_t id = 1; id <= 2; ++id) image.macros.push_back(keys::NewMacro(u"m", id));
  const auto full = dir / "full.vnp";
  ASSERT_TRUE(SaveProfileImage(full, image));
  std::vector<std::uint8_t> bytes = ReadAll(full);
  bytes.resize(32832 + 16512 + 40);  // inside the second macro
  const auto cut = dir / "cut.vnp";
  WriteAll(cut, bytes);

  {
    keys::EditingStore::Lock lock(editing);
    lock->macros.push_back(keys::NewMacro(u"keep", 7));
  }
  std::filesystem::create_directories(dir / "user");
  WriteAll(Working(), {1, 2, 3});
  session.MarkEdited();
  sim.keyboard.MacroArea()[0] = 0x5A;
  const auto macroAreaBefore = sim.keyboard.MacroArea();
  sim.ClearTrace();

  const RestoreOutcome r = service.RestoreFromFile(cut);
  EXPECT_EQ(r.validation, kProfileValid);
  EXPECT_FALSE(r.loaded);
  EXPECT_FALSE(r.applied);
  EXPECT_NE(r.reason.find("is cut short"), std::string::npos) << r.reason;
  EXPECT_EQ(sink.shown, std::vector<std::string>{"Import failed"});
  EXPECT_TRUE(SentCommands().empty());
  EXPECT_EQ(sim.keyboard.MacroArea(), macroAreaBefore);
  EXPECT_EQ(ReadAll(Working()), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_TRUE(session.Unsaved());
  keys::EditingStore::Lock lock(editing);
  ASSERT_EQ(lock->macros.size(), 1u);
  EXPECT_EQ(lock->macros[0].Id(), 7);
}

}  // namespace
}  // namespace vantrel::test

namespace vantrel::test {
namespace {

// A restore whose keyboard write failed used to clear the unsaved state and say nothing.
TEST_F(ProfileServiceTest, RestoreThatTheKeyboardDidNotTakeKeepsTheEditsPendingAndSaysSo) {
  keys::StoreImage image;
  image.macros.push_back(keys::NewMacro(u"restored", 1));
  const auto file = dir / "in.vnp";
  ASSERT_TRUE(SaveProfileImage(file, image));
  texts.texts["MAIN_PROMPT_APPLY_FAILED"] = "The keyboard did not take it";
  session.ReloadOnArrival();
  // The keyboard refuses every request from here on.
  sim::FaultPlan faults;
  const auto next = sim.service.ConfigRequests();
  for (std::uint64_t n = next + 1; n <= next + 400; ++n) faults.Add(n, sim::Fault::kStatusFF);
  sim.service.SetFaults(faults);
  const RestoreOutcome r = session.Restore(file);
  EXPECT_TRUE(r.loaded);
  EXPECT_FALSE(r.applied);
  EXPECT_TRUE(session.Unsaved());
  EXPECT_EQ(sink.shown.back(), "The keyboard did not take it");
}

// The working file mirrors what the keyboard holds. An Apply or a restore that the
// keyboard did not take used to leave the unsent configuration in it: dropping the edits
// then gave back the edits, shown as what the keyboard holds.
TEST_F(ProfileServiceTest, WritesTheKeyboardDidNotTakeLeaveTheWorkingFileAsItWas) {
  session.ReloadOnArrival();
  const std::vector<std::uint8_t> before = ReadAll(Working());
  ASSERT_FALSE(before.empty());
  // The keyboard's facts as they were read, so the refusals below meet the writes only.
  const DeviceFacts facts = service.Facts();
  ASSERT_GT(facts.macroCapacity, 0u);
  service.SetDeviceFacts([facts] { return facts; });
  const auto refuseFromNowOn = [this] {
    sim::FaultPlan faults;
    const auto next = sim.service.ConfigRequests();
    for (std::uint64_t n = next + 1; n <= next + 400; ++n) faults.Add(n, sim::Fault::kStatusFF);
    sim.service.SetFaults(faults);
  };
  {
    keys::EditingStore::Lock lock(editing);
    lock->table.SetRecord(0, 17, {keys::kKindDisabled, 0, 0});
  }
  session.MarkEdited();
  refuseFromNowOn();
  EXPECT_EQ(session.Apply(), ApplyResult::Failed);
  EXPECT_EQ(ReadAll(Working()), before);
  EXPECT_TRUE(session.Unsaved());
  service.ReloadFromWorkingFile();  // what dropping the edits does
  {
    keys::EditingStore::Lock lock(editing);
    EXPECT_NE(lock->table.Record(0, 17).kind, keys::kKindDisabled);
  }

  // A restore the keyboard refuses.
  sim.service.SetFaults({});
  keys::StoreImage image;
  image.macros.push_back(keys::NewMacro(u"restored", 1));
  const auto file = dir / "refused.vnp";
  ASSERT_TRUE(SaveProfileImage(file, image));
  refuseFromNowOn();
  EXPECT_FALSE(session.Restore(file).applied);
  EXPECT_EQ(ReadAll(Working()), before);

  // A write the keyboard reports as taken but holds otherwise: the read-back finds it.
  sim.service.SetFaults({});
  {
    keys::EditingStore::Lock lock(editing);
    lock->table.SetRecord(0, 17, {keys::kKindDisabled, 0, 0});
  }
  session.MarkEdited();
  sim::FaultPlan corrupt;
  corrupt.Add(sim.service.ConfigRequests() + 3, sim::Fault::kCorrupt);
  sim.service.SetFaults(corrupt);
  EXPECT_EQ(session.Apply(), ApplyResult::Failed);
  EXPECT_EQ(ReadAll(Working()), before);

  // Once the keyboard takes it, the working file follows.
  sim.service.SetFaults({});
  EXPECT_EQ(session.Apply(), ApplyResult::Applied);
  EXPECT_NE(ReadAll(Working()), before);
}

// A checked fourth row of the profile manager used to become device profile 3.
TEST_F(ProfileServiceTest, ProfileManagerRowsBeyondTheThirdMeanProfileZero) {
  sim.keyboard.DeviceState()[10] = 2;
  session.ReloadOnArrival();
  sim.ClearTrace();
  EXPECT_TRUE(session.FinishManagerApply(session.CheckManagerApply(3)));
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 0);
  EXPECT_EQ(session.CurrentProfile(), 0);
}

}  // namespace
}  // namespace vantrel::test
