// Following other programs' changes: a count is read once, a user who kept the edits is
// asked again only about a later change, no keyboard means nothing to read, and one look
// runs at a time with a change that came meanwhile looked at after it.
#include "core/profiles/other_program_changes.h"

#include <gtest/gtest.h>

namespace vantrel::profiles {
namespace {

using Decision = OtherProgramChanges::Decision;

TEST(OtherProgramChanges, DecidesOncePerCountAndAsksAgainOnlyAboutALaterChange) {
  struct Step {
    const char* what;
    std::uint64_t count;
    bool present;
    bool unsaved;
    Decision expected;
    bool keptOutDue;  // after the step, with no edits pending
    enum { None, Declined, Read } then;
  };
  const Step steps[] = {
      {"nothing changed yet", 0, true, false, Decision::Nothing, false, Step::None},
      {"a change, no edits: read", 1, true, false, Decision::Ask, false, Step::Read},
      {"the same count again", 1, true, false, Decision::Nothing, false, Step::None},
      {"a change with edits: asked", 2, true, true, Decision::Ask, true, Step::Declined},
      {"kept the edits: not asked again", 2, true, true, Decision::Nothing, true, Step::None},
      {"edits gone since: read", 2, true, false, Decision::Ask, true, Step::None},
      {"a later change is asked about", 3, true, true, Decision::Ask, true, Step::None},
      {"no keyboard: noted as seen", 4, false, true, Decision::Seen, false, Step::None},
      {"seen while away: nothing", 4, true, true, Decision::Nothing, false, Step::None},
      {"next change", 5, true, false, Decision::Ask, false, Step::Read},
  };
  OtherProgramChanges changes;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    EXPECT_EQ(changes.Decide(step.count, step.present, step.unsaved), step.expected);
    if (step.then == Step::Declined) changes.Declined(step.count);
    if (step.then == Step::Read) changes.Read(step.count);
    EXPECT_EQ(changes.KeptOutChangeDue(false), step.keptOutDue);
    EXPECT_FALSE(changes.KeptOutChangeDue(true));
  }
}

TEST(OtherProgramChanges, OneLookAtATimeAndAChangeMeanwhileIsLookedAtAfter) {
  OtherProgramChanges changes;
  EXPECT_TRUE(changes.BeginLook());
  EXPECT_FALSE(changes.BeginLook());
  EXPECT_FALSE(changes.BeginLook());  // two signals meanwhile: one look after
  EXPECT_TRUE(changes.EndLook());
  EXPECT_TRUE(changes.BeginLook());
  EXPECT_FALSE(changes.EndLook());
  EXPECT_TRUE(changes.BeginLook());
}

}  // namespace
}  // namespace vantrel::profiles
