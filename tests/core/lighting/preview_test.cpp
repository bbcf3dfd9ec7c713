#include "core/lighting/preview.h"

#include <gtest/gtest.h>

#include <set>

#include "core/lighting/key_buttons.h"

namespace vantrel::lighting {
namespace {

constexpr int kEsc = 1022, kF1 = 1010, kCalc = 1203, kLCtrl = 1083, kGrave = 1029, kO = 1052, kSpace = 1090,
              kScroll = 1092, kRWin = 1087;

// Hands out 0, 1, 2, ... so hues are predictable; counts reseeds.
class CountingRandom final : public PreviewRandom {
 public:
  void Reseed() override { ++reseeds; }
  unsigned Next() override { return next++; }
  unsigned next = 0;
  int reseeds = 0;
};

class Preview : public ::testing::Test {
 protected:
  Rgb Tick(const PreviewInput& in, int id) {
    EXPECT_TRUE(engine_.Step(in, frame_));
    const auto c = frame_.ColourOf(id);
    EXPECT_TRUE(c.has_value()) << "key " << id << " not painted";
    return c.value_or(0xDEADBEEF);
  }
  CountingRandom random_;
  PreviewEngine engine_{&random_};
  PreviewFrame frame_;
};

TEST(PreviewTables, WheelAndCurves) {
  const auto& w = ColourWheel();
  EXPECT_EQ(w[0], MakeRgb(255, 1, 0));
  EXPECT_EQ(w[31], MakeRgb(255, 255, 0));
  EXPECT_EQ(w[32], MakeRgb(248, 255, 0));
  EXPECT_EQ(w[63], MakeRgb(0, 255, 0));
  EXPECT_EQ(w[64], MakeRgb(0, 255, 1));
  EXPECT_EQ(w[100], MakeRgb(0, 194, 255));
  EXPECT_EQ(w[128], MakeRgb(1, 0, 255));
  EXPECT_EQ(w[191], MakeRgb(255, 0, 0));
  EXPECT_EQ(HueTable()[200], w[8]);
  EXPECT_EQ(HueTable()[255], w[63]);
  EXPECT_EQ(LevelCurveA()[0], 22);
  EXPECT_EQ(LevelCurveA()[47], 255);
  EXPECT_EQ(LevelCurveA()[48], 255);
  EXPECT_EQ(LevelCurveA()[95], 22);
  EXPECT_EQ(LevelCurveB()[16], 255);
  EXPECT_EQ(LevelCurveB()[79], 1);
  EXPECT_EQ(LevelCurveB()[80], 0);
  EXPECT_EQ(LevelCurveB()[191], 0);
  EXPECT_EQ(LevelCurveC()[0], 3);
  EXPECT_EQ(LevelCurveC()[63], 255);
  EXPECT_EQ(LevelCurveC()[64], 255);
  EXPECT_EQ(LevelCurveC()[127], 3);
}

TEST(PreviewTables, GridPathAndRingsCoverTheSame108Keys) {
  std::set<int> grid, path, rings;
  for (int r = 0; r < kGridRows; ++r) {
    for (int c = 0; c < kGridColumns; ++c) {
      if (GridCell(r, c) != 0) grid.insert(GridCell(r, c));
    }
  }
  for (int id : SerpentineOrder()) path.insert(id);
  for (const auto& ring : Rings()) {
    for (int id : ring) {
      if (id != 0) {
        EXPECT_TRUE(rings.insert(id).second) << id << " in two rings";
      }
    }
  }
  EXPECT_EQ(grid.size(), 108u);
  EXPECT_EQ(grid, path);
  EXPECT_EQ(grid, rings);
  EXPECT_TRUE(grid.count(keys::FnLayoutKey().controlId));
  EXPECT_FALSE(grid.count(kRWin));
  for (int id : grid) EXPECT_GE(ButtonIndex(id), 0) << id;
  EXPECT_EQ(GridCell(5, 9), GridCell(5, 10)) << "right Alt fills two cells";
}

TEST(PreviewTables, FadingAndScaling) {
  EXPECT_EQ(FadeLevel(255, false), 235);
  EXPECT_EQ(FadeLevel(128, false), 108);
  EXPECT_EQ(FadeLevel(127, false), 111);
  EXPECT_EQ(FadeLevel(64, false), 48);
  EXPECT_EQ(FadeLevel(63, false), 53);
  EXPECT_EQ(FadeLevel(32, false), 22);
  EXPECT_EQ(FadeLevel(31, false), 26);
  EXPECT_EQ(FadeLevel(17, false), 12);
  EXPECT_EQ(FadeLevel(16, false), 15);
  EXPECT_EQ(FadeLevel(1, false), 0);
  EXPECT_EQ(FadeLevel(0, false), 0);
  EXPECT_EQ(FadeLevel(255, true), 225);
  EXPECT_EQ(FadeLevel(64, true), 44);
  EXPECT_EQ(FadeLevel(63, true), 53);
  EXPECT_EQ(ScaleColour(MakeRgb(200, 100, 50), 42), MakeRgb(32, 16, 8));
  EXPECT_EQ(ScaleColour(MakeRgb(255, 255, 255), 255), MakeRgb(255, 255, 255));
}

// Golden frames: the expected colours are read by hand off the wheel's runs.
TEST_F(Preview, Effect1MulticolourColumnsStepNineEntries) {
  const PreviewInput in{1, 255, true, 0};
  // Frame 1: p = 9; column c shows wheel[(9 + 9c) mod 192].
  EXPECT_EQ(Tick(in, kLCtrl), MakeRgb(255, 32, 0));   // column 0: wheel[9]
  EXPECT_EQ(frame_.ColourOf(kEsc), MakeRgb(255, 200, 0));  // column 2: wheel[27]
  EXPECT_EQ(frame_.ColourOf(kF1), MakeRgb(194, 255, 0));   // column 3: wheel[36]
  EXPECT_EQ(frame_.ColourOf(kCalc), MakeRgb(255, 73, 0));  // column 22: wheel[15]
  // Right Win, without a cell of its own, used to stay dark: it takes right Alt's colour.
  EXPECT_EQ(frame_.count, 109u);
  ASSERT_TRUE(frame_.ColourOf(kRWin).has_value());
  EXPECT_EQ(frame_.ColourOf(kRWin), frame_.ColourOf(kPreviewRightAlt));
  // Frame 2: p = 18.
  EXPECT_EQ(Tick(in, kLCtrl), MakeRgb(255, 99, 0));
  EXPECT_EQ(frame_.ColourOf(kEsc), MakeRgb(194, 255, 0));
  EXPECT_EQ(frame_.ColourOf(kF1), MakeRgb(94, 255, 0));
  EXPECT_EQ(frame_.ColourOf(kCalc), MakeRgb(255, 164, 0));
  // Frame 3: p = 27.
  EXPECT_EQ(Tick(in, kLCtrl), MakeRgb(255, 200, 0));
  EXPECT_EQ(frame_.ColourOf(kEsc), MakeRgb(94, 255, 0));
  EXPECT_EQ(frame_.ColourOf(kF1), MakeRgb(29, 255, 0));
  EXPECT_EQ(frame_.ColourOf(kCalc), MakeRgb(234, 255, 0));
}

TEST_F(Preview, Effect1SingleColourColumnsStepSevenCurveEntries) {
  const PreviewInput in{1, 255, false, MakeRgb(200, 100, 50)};
  EXPECT_EQ(Tick(in, kLCtrl), MakeRgb(32, 16, 8));  // curve A[7] = 42
  EXPECT_EQ(frame_.ColourOf(kEsc), MakeRgb(77, 38, 19));  // curve A[21] = 99
}

TEST_F(Preview, Effect4WholeKeyboardWalksTheWheel) {
  const PreviewInput fwd{4, 255, false, 0};
  EXPECT_EQ(Tick(fwd, kEsc), MakeRgb(255, 5, 0));
  EXPECT_EQ(frame_.ColourOf(kCalc), MakeRgb(255, 5, 0));
  EXPECT_EQ(Tick(fwd, kEsc), MakeRgb(255, 10, 0));
  EXPECT_EQ(Tick(fwd, kEsc), MakeRgb(255, 18, 0));

  PreviewEngine back(&random_);
  const PreviewInput rev{4, 0, false, 0};
  PreviewFrame f;
  back.Step(rev, f);
  EXPECT_EQ(f.ColourOf(kEsc), MakeRgb(255, 0, 2));  // wheel[190]
  back.Step(rev, f);
  EXPECT_EQ(f.ColourOf(kEsc), MakeRgb(255, 0, 6));  // wheel[188]
  back.Step(rev, f);
  EXPECT_EQ(f.ColourOf(kEsc), MakeRgb(255, 0, 12));  // wheel[186]
  // Two entries a tick: a full cycle takes 96 ticks.
  for (int i = 3; i < 96; ++i) back.Step(rev, f);
  EXPECT_EQ(back.Position(4), 0);
  back.Step(rev, f);
  EXPECT_EQ(f.ColourOf(kEsc), MakeRgb(255, 0, 2));
}

TEST_F(Preview, Effect11PhasesAlongThePath) {
  const PreviewInput in{11, 0, false, 0};
  const int seam = SerpentineOrder()[63];  // its phase starts at exactly 192
  // Calc (path position 0) starts at 33, Scroll Lock (5) at 198 - 192 = 6.
  EXPECT_EQ(Tick(in, kCalc), MakeRgb(194, 255, 0));  // wheel[36]
  EXPECT_EQ(frame_.ColourOf(kScroll), MakeRgb(255, 32, 0));  // wheel[9]
  EXPECT_EQ(frame_.ColourOf(seam), MakeRgb(255, 1, 0));  // 195 wraps to wheel[0]
  EXPECT_EQ(Tick(in, kCalc), MakeRgb(158, 255, 0));  // wheel[39]
  EXPECT_EQ(frame_.ColourOf(kScroll), MakeRgb(255, 50, 0));  // wheel[12]
  EXPECT_EQ(frame_.ColourOf(seam), MakeRgb(255, 7, 0));  // wheel[3]
  EXPECT_EQ(Tick(in, kCalc), MakeRgb(124, 255, 0));  // wheel[42]
  EXPECT_EQ(frame_.ColourOf(kScroll), MakeRgb(255, 73, 0));  // wheel[15]
  EXPECT_EQ(frame_.ColourOf(seam), MakeRgb(255, 18, 0));  // wheel[6]
}

TEST_F(Preview, Effect12RowsAndDirection) {
  const PreviewInput up{12, 255, false, 0};
  EXPECT_EQ(Tick(up, kEsc), MakeRgb(255, 7, 0));          // row 0: wheel[3]
  EXPECT_EQ(frame_.ColourOf(kGrave), MakeRgb(206, 255, 0));  // row 1: wheel[35]
  EXPECT_EQ(frame_.ColourOf(kLCtrl), MakeRgb(255, 0, 206));  // row 5: wheel[163]
  EXPECT_EQ(Tick(up, kEsc), MakeRgb(255, 18, 0));
  EXPECT_EQ(frame_.ColourOf(kGrave), MakeRgb(170, 255, 0));
  EXPECT_EQ(frame_.ColourOf(kLCtrl), MakeRgb(255, 0, 170));
  EXPECT_EQ(Tick(up, kEsc), MakeRgb(255, 32, 0));
  EXPECT_EQ(frame_.ColourOf(kGrave), MakeRgb(134, 255, 0));
  EXPECT_EQ(frame_.ColourOf(kLCtrl), MakeRgb(255, 0, 134));

  PreviewEngine other(&random_);
  PreviewFrame f;
  other.Step({12, 0, false, 0}, f);
  EXPECT_EQ(other.Position(12), 189);
  EXPECT_EQ(f.ColourOf(kEsc), MakeRgb(255, 0, 4));  // wheel[189]
}

TEST_F(Preview, Effect18Rings) {
  const PreviewInput out{18, 255, false, 0};
  EXPECT_EQ(Tick(out, kO), MakeRgb(255, 152, 0));        // ring 0: wheel[23]
  EXPECT_EQ(frame_.ColourOf(kSpace), MakeRgb(1, 0, 255));  // ring 5: wheel[128]
  EXPECT_EQ(frame_.ColourOf(kCalc), MakeRgb(2, 255, 0));   // ring 11: wheel[62]
  EXPECT_EQ(Tick(out, kO), MakeRgb(255, 176, 0));
  EXPECT_EQ(frame_.ColourOf(kSpace), MakeRgb(5, 0, 255));
  EXPECT_EQ(frame_.ColourOf(kCalc), MakeRgb(0, 255, 1));
  EXPECT_EQ(Tick(out, kO), MakeRgb(255, 200, 0));
  EXPECT_EQ(frame_.ColourOf(kSpace), MakeRgb(10, 0, 255));
  EXPECT_EQ(frame_.ColourOf(kCalc), MakeRgb(0, 255, 5));

  // Inward from 0: below 0 becomes 192.
  PreviewEngine in(&random_);
  PreviewFrame f;
  in.Step({18, 0, false, 0}, f);
  EXPECT_EQ(in.Position(18), 192);
  EXPECT_EQ(f.ColourOf(kO), ColourWheel()[21]);
}

TEST_F(Preview, EffectChangeResetsOnlySomePositions) {
  PreviewFrame f;
  for (int i = 0; i < 5; ++i) engine_.Step({18, 255, false, 0}, f);
  for (int i = 0; i < 5; ++i) engine_.Step({4, 255, false, 0}, f);
  EXPECT_EQ(engine_.Position(18), 10);
  engine_.EffectChanged();
  engine_.Step({4, 255, false, 0}, f);
  EXPECT_EQ(engine_.Position(18), 0);
  EXPECT_EQ(engine_.Position(4), 12) << "effect 4's position carries on";
}

TEST_F(Preview, CaptionsAndOwnColours) {
  for (int code : {7, 8, 9, 17, 19, 0, 33}) {
    engine_.Step({code, 0, false, 0}, frame_);
    EXPECT_TRUE(frame_.showCaptions) << code;
    EXPECT_EQ(frame_.count, 0u);
  }
  engine_.Step({20, 0, false, 0}, frame_);
  EXPECT_FALSE(frame_.showCaptions);
  EXPECT_EQ(frame_.count, 0u);
}

TEST_F(Preview, TwinkleLightsThreeKeysATickAndFades) {
  const PreviewInput in{10, 0, true, 0};
  engine_.Step(in, frame_);
  EXPECT_EQ(random_.reseeds, 1);
  int lit = 0;
  for (std::size_t i = 0; i < frame_.count; ++i) {
    if (frame_.keys[i].colour != 0) ++lit;
  }
  EXPECT_EQ(lit, 3);
  // Hues 0, 1, 2 at level 235 (lit at 255, faded once): wheel[0..2] x 235 / 255.
  std::set<Rgb> colours;
  for (std::size_t i = 0; i < frame_.count; ++i) {
    if (frame_.keys[i].colour != 0) colours.insert(frame_.keys[i].colour);
  }
  EXPECT_EQ(colours, (std::set<Rgb>{MakeRgb(235, 0, 0), MakeRgb(235, 2, 0), MakeRgb(235, 4, 0)}));
  EXPECT_EQ(random_.next, 3u);
}

TEST_F(Preview, TwinkleVisitsEveryKeyOnceIn36Ticks) {
  const PreviewInput in{10, 0, false, kWhite};
  std::set<int> lit;
  for (int t = 0; t < 36; ++t) {
    engine_.Step(in, frame_);
    int fresh = 0;
    for (std::size_t i = 0; i < frame_.count; ++i) {
      if (frame_.keys[i].controlId == kRWin) continue;  // shows right Alt's colour
      if (frame_.keys[i].colour == MakeRgb(235, 235, 235)) {
        ++fresh;
        lit.insert(frame_.keys[i].controlId);
      }
    }
    EXPECT_EQ(fresh, 3) << "tick " << t;
  }
  EXPECT_EQ(lit.size(), 108u);
  EXPECT_EQ(random_.next, 108u) << "hues are drawn even in single colour, three a tick";
}

TEST_F(Preview, RipplesMoveFromTheirSeeds) {
  // Effect 15 seeds the top row at columns 10, 13, 16 first: F7 (column 10) lights.
  const PreviewInput in{15, 0, false, MakeRgb(255, 255, 255)};
  engine_.Step(in, frame_);
  EXPECT_EQ(frame_.ColourOf(1023), MakeRgb(235, 235, 235));
  EXPECT_EQ(frame_.ColourOf(kEsc), MakeRgb(0, 0, 0));
  // Next tick: the fronts moved one cell: F8 (column 11) and 9, below F7, light.
  engine_.Step(in, frame_);
  EXPECT_EQ(frame_.ColourOf(1024), MakeRgb(235, 235, 235));
  EXPECT_EQ(frame_.ColourOf(1038), MakeRgb(235, 235, 235));
  EXPECT_EQ(frame_.ColourOf(1023), MakeRgb(215, 215, 215)) << "F7 fades while the front moves on";
}

TEST_F(Preview, ScriptEffectRunsAllItsStatesAndStartsAgain) {
  const PreviewInput in{14, 0, false, MakeRgb(255, 255, 255)};
  engine_.Step(in, frame_);
  EXPECT_EQ(frame_.ColourOf(kEsc), MakeRgb(225, 225, 225));  // lit in tick 0, faded fast once
  bool darkened = false, relit = false;
  for (int t = 1; t < 600 && !relit; ++t) {
    engine_.Step(in, frame_);
    const Rgb esc = frame_.ColourOf(kEsc).value_or(1);
    if (esc == 0) darkened = true;
    if (darkened && esc == MakeRgb(225, 225, 225)) relit = true;
  }
  EXPECT_TRUE(darkened);
  EXPECT_TRUE(relit) << "the script must come back to its first state";
}

TEST(PreviewRandomSource, ReseedRepeatsWithinOneSecond) {
  std::uint32_t now = 100;
  ClockSeededRandom r([&] { return now; });
  r.Reseed();
  const unsigned a = r.Next();
  r.Reseed();
  EXPECT_EQ(r.Next(), a);
  now = 101;
  r.Reseed();
  EXPECT_LT(r.Next(), 32768u);
}

// In every effect with a preview, right Win shows whatever right Alt shows, frame by frame.
TEST_F(Preview, RightWinFollowsRightAltInEveryEffect) {
  for (EffectCode code = kFirstEffect; code <= kLastEffect; ++code) {
    SCOPED_TRACE(static_cast<int>(code));
    engine_.EffectChanged();
    for (const bool multicolour : {true, false}) {
      const PreviewInput in{code, 255, multicolour, MakeRgb(10, 200, 90)};
      for (int tick = 0; tick < 40; ++tick) {
        if (!engine_.Step(in, frame_) || frame_.showCaptions) continue;
        EXPECT_EQ(frame_.ColourOf(kRWin), frame_.ColourOf(kPreviewRightAlt)) << tick;
      }
    }
  }
}

}  // namespace
}  // namespace vantrel::lighting
