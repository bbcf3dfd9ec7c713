// The switch an automatic rule asks for, carried out by the editing session against the
// virtual keyboard: it never asks, and it re-checks the pause conditions at write time.
#include <gtest/gtest.h>

#include "session_fixture.h"

namespace vantrel::test {
namespace {

using namespace vantrel::profiles;
constexpr auto kSwitched = EditSession::Unattended::Switched;
constexpr auto kNotNow = EditSession::Unattended::NotNow;

class SwitchedView final : public ProfileView {
 public:
  void ProfileSwitched(int profile) override { switched.push_back(profile); }
  std::vector<int> switched;
};

class UnattendedSwitchTest : public SessionFixture<> {
 protected:
  UnattendedSwitchTest() {
    session.AddView(view);
    session.ReloadOnArrival();
    sim.ClearTrace();
  }

  SwitchedView view;
};

TEST_F(UnattendedSwitchTest, SwitchesTheKeyboardAndTellsTheViewsWithoutAsking) {
  ASSERT_EQ(sim.keyboard.DeviceState()[10], 0);
  EXPECT_EQ(kSwitched, session.SwitchUnattended(2));
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 2);
  EXPECT_EQ(session.Facts().activeProfile, 2);
  EXPECT_EQ(session.CurrentProfile(), 2);
  EXPECT_EQ(view.switched, std::vector<int>{2});
  EXPECT_TRUE(sink.asked.empty());
  EXPECT_TRUE(sink.shown.empty());
  // Already there: nothing crosses the wire.
  sim.ClearTrace();
  EXPECT_EQ(kSwitched, session.SwitchUnattended(2));
  EXPECT_TRUE(sim.Lines("> ").empty());
}

TEST_F(UnattendedSwitchTest, PendingEditsOrOpenEditorsAtWriteTimeSendNothing) {
  session.MarkEdited(0);
  EXPECT_EQ(kNotNow, session.SwitchUnattended(1));
  EXPECT_TRUE(session.Unsaved()) << "the edits are neither written nor dropped";
  EXPECT_TRUE(sim.Lines("> ").empty());
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 0);
  EXPECT_TRUE(sink.asked.empty());
}

TEST_F(UnattendedSwitchTest, AnOpenKeyPageOrManagerSendsNothing) {
  for (Editor editor : {Editor::KeyPage, Editor::ProfileManager}) {
    session.EditorOpened(editor);
    EXPECT_EQ(kNotNow, session.SwitchUnattended(1));
    session.EditorClosed(editor);
  }
  EXPECT_TRUE(sim.Lines("> ").empty());
  EXPECT_EQ(kSwitched, session.SwitchUnattended(1));
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 1);
  EXPECT_TRUE(sink.asked.empty());
}

TEST_F(UnattendedSwitchTest, OutOfRangeProfilesAreRefused) {
  EXPECT_EQ(kNotNow, session.SwitchUnattended(3));
  EXPECT_EQ(kNotNow, session.SwitchUnattended(-1));
  EXPECT_TRUE(sim.Lines("> ").empty());
}

TEST_F(UnattendedSwitchTest, ASwitchTheKeyboardRefusesIsAFailureNotAPause) {
  sim::FaultPlan faults;
  const auto next = sim.service.ConfigRequests();
  for (std::uint64_t n = next + 1; n <= next + 20; ++n) faults.Add(n, sim::Fault::kStatusFF);
  sim.service.SetFaults(faults);
  EXPECT_EQ(EditSession::Unattended::Failed, session.SwitchUnattended(1));
  EXPECT_EQ(sim.keyboard.DeviceState()[10], 0);
  EXPECT_TRUE(sink.asked.empty());
}

}  // namespace
}  // namespace vantrel::test
