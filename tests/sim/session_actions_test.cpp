// The editing session's actions as a script, the shell and the automatic switch ask for
// them, against the virtual keyboard: the one rule for acting without a question, the
// asked switch, the backup and the restore whose messages go to the caller.
#include <gtest/gtest.h>

#include "core/keys/key_table.h"
#include "core/profiles/profile_file.h"
#include "session_fixture.h"

namespace vantrel::test {
namespace {

using namespace vantrel::profiles;
using Result = EditSession::AskedSwitch::Result;

TEST(ObstacleToActingTest, OneRuleForRequestsAndTheAutomaticSwitch) {
  struct Case {
    const char* what;
    void (*set)(SessionFacts&);
    Obstacle asked;
    Obstacle unattended;
  };
  const Case cases[] = {
      {"nothing in the way", [](SessionFacts&) {}, Obstacle::None, Obstacle::None},
      {"never read", [](SessionFacts& f) { f.configurationRead = false; }, Obstacle::None, Obstacle::NotRead},
      {"key page", [](SessionFacts& f) { f.keyPagesOpen = 1; }, Obstacle::KeyPageOpen, Obstacle::KeyPageOpen},
      {"edits", [](SessionFacts& f) { f.editedProfiles = 0b010; }, Obstacle::EditsPending, Obstacle::EditsPending},
      // The arrival question up: answered before anything, whatever else holds.
      {"arrival",
       [](SessionFacts& f) {
         f.arrivalPending = true;
         f.editedProfiles = 1;
       },
       Obstacle::ArrivalUndecided, Obstacle::ArrivalUndecided},
      {"arrival without edits", [](SessionFacts& f) { f.arrivalPending = true; }, Obstacle::ArrivalUndecided,
       Obstacle::ArrivalUndecided},
      {"manager open", [](SessionFacts& f) { f.managersOpen = 1; }, Obstacle::None, Obstacle::ManagerOpen},
      {"manager changes",
       [](SessionFacts& f) {
         f.managersOpen = 1;
         f.managerUnsaved = true;
       },
       Obstacle::ManagerChanges, Obstacle::ManagerChanges},
      // The flag of a manager closed since counts for nothing.
      {"manager closed", [](SessionFacts& f) { f.managerUnsaved = true; }, Obstacle::None, Obstacle::None},
      {"key page first",
       [](SessionFacts& f) {
         f.keyPagesOpen = 2;
         f.editedProfiles = 1;
       },
       Obstacle::KeyPageOpen, Obstacle::KeyPageOpen},
  };
  for (const Case& c : cases) {
    SessionFacts facts;
    facts.configurationRead = true;
    c.set(facts);
    EXPECT_EQ(ObstacleToActing(facts, Acting::Asked), c.asked) << c.what;
    EXPECT_EQ(ObstacleToActing(facts, Acting::Unattended), c.unattended) << c.what;
  }
}

class SwitchedView final : public ProfileView {
 public:
  void ProfileSwitched(int profile) override { switched.push_back(profile); }
  std::vector<int> switched;
};

class SessionActionsTest : public SessionFixture<> {
 protected:
  SessionActionsTest() {
    session.AddView(view);
    session.ReloadOnArrival();
    sim.ClearTrace();
  }

  void Disable(int profile, std::size_t index) {
    keys::EditingStore::Lock lock(editing);
    lock->table.SetRecord(static_cast<std::size_t>(profile), index, keys::KeyAssignment{keys::kKindDisabled, 0, 0, 0, 0});
  }
  keys::StoreImage Load(const std::filesystem::path& file) {
    keys::StoreImage image;
    EXPECT_TRUE(LoadProfileImage(file, image));
    return image;
  }
  void RefuseEverything() {
    sim::FaultPlan faults;
    const auto next = sim.service.ConfigRequests();
    for (std::uint64_t n = next + 1; n <= next + 20; ++n) faults.Add(n, sim::Fault::kStatusFF);
    sim.service.SetFaults(faults);
  }

  SwitchedView view;
};

TEST_F(SessionActionsTest, AnAskedSwitchSendsNothingWhileAnythingWouldBeLostAndNeverAsks) {
  session.EditorOpened(Editor::KeyPage);
  EXPECT_EQ(session.SwitchAsked(1).obstacle, Obstacle::KeyPageOpen);
  session.EditorClosed(Editor::KeyPage);

  Disable(0, 0x1E);
  session.MarkEdited(0);
  auto asked = session.SwitchAsked(1);
  EXPECT_EQ(asked.result, Result::Busy);
  EXPECT_EQ(asked.obstacle, Obstacle::EditsPending);

  // The keyboard came back with the edits pending: its question is answered first.
  session.ReloadOnArrival();
  ASSERT_TRUE(session.Facts().arrivalPending);
  EXPECT_EQ(session.SwitchAsked(2).obstacle, Obstacle::ArrivalUndecided);

  EXPECT_TRUE(sim.Lines("> ").empty());
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 0);
  EXPECT_TRUE(session.Unsaved()) << "the edits are neither written nor dropped";
  EXPECT_EQ(keys::EditingStore::Lock(editing)->table.Record(0, 0x1E).kind, keys::kKindDisabled);
  EXPECT_TRUE(sink.asked.empty());
  EXPECT_TRUE(view.switched.empty());
}

TEST_F(SessionActionsTest, AnAskedSwitchWritesOnlyAnotherProfileAndTellsTheViews) {
  // An open profile manager without changes stands in the way of the automatic switch only.
  session.EditorOpened(Editor::ProfileManager);
  EXPECT_EQ(session.SwitchAsked(2).result, Result::Switched);
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 2);
  EXPECT_EQ(session.CurrentProfile(), 2);
  EXPECT_EQ(view.switched, std::vector<int>{2});
  session.EditorClosed(Editor::ProfileManager);

  sim.ClearTrace();
  EXPECT_EQ(session.SwitchAsked(2).result, Result::Switched);
  EXPECT_TRUE(sim.Lines("> ").empty()) << "the keyboard runs profile 2 already";
  // 3 and above mean 0, as for every switch.
  EXPECT_EQ(session.SwitchAsked(5).result, Result::Switched);
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 0);

  // Refused by the keyboard: a failure, with the window's message only when asked for.
  RefuseEverything();
  EXPECT_EQ(session.SwitchAsked(1, false).result, Result::Failed);
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_EQ(session.SwitchAsked(1, true).result, Result::Failed);
  EXPECT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 0);
  EXPECT_EQ(session.CurrentProfile(), 0);
}

// The window's backup wrote the editing store, edits not applied and all, while the
// scripting interface and vantrelctl wrote the keyboard's configuration: the same backup
// gave different files. Every backup now holds what the keyboard holds.
TEST_F(SessionActionsTest, ABackupHoldsWhatTheKeyboardHoldsNeverTheEditsPending) {
  const auto before = dir / "before.vnp";
  ASSERT_TRUE(service.BackupToFile(before));
  keys::StoreImage keyboard;
  ASSERT_TRUE(service.DumpDevice(keyboard));
  EXPECT_EQ(Load(before).table, keyboard.table);

  Disable(1, 0x1F);
  session.MarkEdited(1);
  const auto pending = dir / "pending.vnp";
  std::string why;
  ASSERT_TRUE(service.BackupToFile(pending, &why)) << why;
  EXPECT_NE(Load(pending).table.Record(1, 0x1F).kind, keys::kKindDisabled);
  EXPECT_EQ(Load(pending).table, Load(before).table);
  EXPECT_TRUE(session.Unsaved()) << "the edits stay pending";

  // Applied, they are the keyboard's: the next backup holds them.
  ASSERT_EQ(session.Apply(), ApplyResult::Applied);
  const auto applied = dir / "applied.vnp";
  ASSERT_TRUE(service.BackupToFile(applied));
  EXPECT_EQ(Load(applied).table.Record(1, 0x1F).kind, keys::kKindDisabled);

  // A file that cannot be written says why and leaves nothing.
  EXPECT_FALSE(service.BackupToFile(dir / "no-folder" / "x.vnp", &why));
  EXPECT_FALSE(why.empty());
}

TEST(SessionBackupTest, EditsOverTheDefaultProfileAreNotBackedUpEither) {
  // Never read, nothing in the working copy: the default profile, not the edits.
  KeyboardSession<> fresh("SessionBackupDefault");
  {
    keys::EditingStore::Lock lock(fresh.editing);
    lock->table.SetRecord(0, 0x1E, keys::KeyAssignment{keys::kKindDisabled, 0, 0, 0, 0});
  }
  fresh.session.MarkEdited(0);
  const auto file = fresh.dir / "b.vnp";
  ASSERT_TRUE(fresh.service.BackupToFile(file));
  keys::StoreImage image;
  ASSERT_TRUE(LoadProfileImage(file, image));
  EXPECT_EQ(image.table, DefaultAssignmentTable());
}

TEST_F(SessionActionsTest, ARestoreTellsItsCallerNotTheWindowWhenAskedSo) {
  const auto bad = dir / "bad.vnp";
  WriteAll(bad, {1, 2, 3});
  RecordingSink caller;
  const RestoreOutcome quiet = session.Restore(bad, caller);
  EXPECT_FALSE(quiet.loaded);
  EXPECT_FALSE(quiet.reason.empty());
  EXPECT_TRUE(sink.shown.empty()) << "the window showed a script's refusal";
  EXPECT_FALSE(caller.shown.empty());
  EXPECT_TRUE(sim.Lines("> ").empty());

  // A good file: written to the keyboard, the edits cleared, whoever asked.
  keys::StoreImage image;
  image.table = DefaultAssignmentTable();
  image.table.SetRecord(2, 0x20, keys::KeyAssignment{keys::kKindDisabled, 0, 0, 0, 0});
  const auto good = dir / "good.vnp";
  ASSERT_TRUE(SaveProfileImage(good, image));
  Disable(0, 0x1E);
  session.MarkEdited(0);
  const RestoreOutcome restored = session.Restore(good, caller);
  EXPECT_TRUE(restored.applied);
  EXPECT_FALSE(session.Unsaved());
  keys::StoreImage back;
  ASSERT_TRUE(service.DumpDevice(back));
  EXPECT_EQ(back.table.Record(2, 0x20).kind, keys::kKindDisabled);
  EXPECT_TRUE(sink.shown.empty());
}

}  // namespace
}  // namespace vantrel::test
