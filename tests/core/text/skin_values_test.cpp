#include "core/text/ini_file.h"
#include "core/text/skin_values.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vantrel::text {
namespace {

TEST(SkinRect, ParsesFourNumbersAndIgnoresTrailingText) {
  EXPECT_EQ(ParseSkinRect("10,20,30,40"), (SkinRect{10, 20, 30, 40}));
  EXPECT_EQ(ParseSkinRect("10,20,30,40,any text"), (SkinRect{10, 20, 30, 40}));
  EXPECT_EQ(ParseSkinRect("10,20,30,40 ;comment"), (SkinRect{10, 20, 30, 40}));
  EXPECT_EQ(ParseSkinRect(" 10, 20,-30,+40"), (SkinRect{10, 20, -30, 40}));
  EXPECT_EQ(ParseSkinRect(kMissingRectValue), (SkinRect{1, 1, 1, 1}));
}

TEST(SkinRect, ShortOrBrokenValuesKeepTheDefaultsOfUnreadFields) {
  EXPECT_EQ(ParseSkinRect(""), (SkinRect{1, 1, 1, 1}));
  EXPECT_EQ(ParseSkinRect("abc"), (SkinRect{1, 1, 1, 1}));
  EXPECT_EQ(ParseSkinRect("7,8"), (SkinRect{7, 8, 1, 1}));
  // A blank before the comma stops the scan, as the literal comma of the pattern does.
  EXPECT_EQ(ParseSkinRect("7 ,8,9,10"), (SkinRect{7, 1, 1, 1}));
  EXPECT_EQ(ParseSkinRect("5,-,9,9"), (SkinRect{5, 1, 1, 1}));
  EXPECT_EQ(ParseSkinRect("99999999999999999999,-99999999999999999999,3,4"), (SkinRect{INT_MAX, INT_MIN, 3, 4}));
}

TEST(SkinRect, DisableRuleAndFaceOrigin) {
  EXPECT_TRUE(IsDisabledPlacement(ParseSkinRect("1,1,1,1")));
  EXPECT_TRUE(IsDisabledPlacement(ParseSkinRect("1,1,80,20")));
  EXPECT_FALSE(IsDisabledPlacement(ParseSkinRect("1,2,1,1")));
  EXPECT_FALSE(IsDisabledPlacement(ParseSkinRect("0,1,1,1")));
  EXPECT_EQ(FaceSourceOrigin(5, 7), (FacePoint{4, 6}));
  EXPECT_EQ(FaceSourceOrigin(1, 1), (FacePoint{0, 0}));
}

TEST(SkinRect, ReadsKeysFromFileAndMissingOnesAsOneOneOneOne) {
  const auto path = std::filesystem::temp_directory_path() / "vantrel_skin_values_test.ini";
  {
    std::ofstream out(path);
    out << "[BUTTONINFO]\nFUNC_ADD=10,20,30,40,x\nCONTROL_OK=1,1,1,1\nQUOTED=\"5,6,7,8\"\nEMPTY=\n"
        << "LONG=" << std::string(300, ' ') << "9,9,9,9\n";
  }
  EXPECT_EQ(ReadSkinRect(path, "BUTTONINFO", "FUNC_ADD"), (SkinRect{10, 20, 30, 40}));
  EXPECT_EQ(ReadSkinRect(path, "buttoninfo", "func_add"), (SkinRect{10, 20, 30, 40}));
  EXPECT_EQ(ReadSkinRect(path, "BUTTONINFO", "FUNC_LOAD"), (SkinRect{1, 1, 1, 1}));
  EXPECT_EQ(ReadSkinRect(path.string() + ".missing", "BUTTONINFO", "FUNC_ADD"), (SkinRect{1, 1, 1, 1}));

  // A file parsed once reads every key as the key-by-key read does: case, quotes, an empty
  // or cut value, a missing key, and a missing file.
  IniSnapshot once;
  ASSERT_TRUE(once.Load(path));
  for (const char* key : {"FUNC_ADD", "func_add", "CONTROL_OK", "QUOTED", "EMPTY", "LONG", "FUNC_LOAD"})
    EXPECT_EQ(ReadSkinRect(once, "BUTTONINFO", key), ReadSkinRect(path, "BUTTONINFO", key)) << key;
  IniSnapshot missing;
  EXPECT_FALSE(missing.Load(path.string() + ".missing"));
  EXPECT_EQ(ReadSkinRect(missing, "BUTTONINFO", "FUNC_ADD"), (SkinRect{1, 1, 1, 1}));
  std::filesystem::remove(path);
}

std::vector<std::uint32_t> WhiteMask(int w, int h) { return std::vector<std::uint32_t>(w * h, 0xFFFFFFFFu); }

TEST(SkinMask, BlockInWhiteGivesOneRunPerRow) {
  const int w = 300, h = 200;
  auto px = WhiteMask(w, h);
  for (int y = 30; y < 80; ++y)
    for (int x = 40; x < 140; ++x) px[y * w + x] = 0xFF102030u;
  const auto runs = MaskToRuns(px, w, h, w);
  ASSERT_EQ(runs.size(), 50u);
  for (std::size_t i = 0; i < runs.size(); ++i) EXPECT_EQ(runs[i], (ShapeRun{40, 30 + static_cast<int>(i), 100}));
}

TEST(SkinMask, OnlyExactWhiteIsCutAwayAndAlphaIsIgnored) {
  // Row: white(alpha 0), near-white, white, black up to the row end.
  const std::vector<std::uint32_t> px = {0x00FFFFFFu, 0xFFFFFFFEu, 0xFFFFFFFFu, 0xFF000000u, 0x00000000u};
  const auto runs = MaskToRuns(px, 5, 1, 5);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], (ShapeRun{1, 0, 1}));
  EXPECT_EQ(runs[1], (ShapeRun{3, 0, 2}));
}

TEST(SkinMask, BatchesOfTwoThousandThenTheRest) {
  // Alternating pixels: 2 runs per row of 4 pixels, 2100 rows -> 4200 runs.
  const int w = 4, h = 2100;
  std::vector<std::uint32_t> px(w * h);
  for (int i = 0; i < w * h; ++i) px[i] = (i % 2) ? 0xFFFFFFFFu : 0xFF000000u;
  std::vector<std::size_t> sizes;
  const auto total = MaskToRuns(px, w, h, w, [&](std::span<const ShapeRun> b) { sizes.push_back(b.size()); });
  EXPECT_EQ(total, 4200u);
  EXPECT_EQ(sizes, (std::vector<std::size_t>{2000, 2000, 200}));
}

TEST(SkinMask, StrideAndShortBuffersAreRespected) {
  // Stride 3 with width 2: the padding pixel (black) must not join the shape.
  const std::vector<std::uint32_t> px = {0xFFFFFFFFu, 0xFF000000u, 0xFF000000u, 0xFF000000u, 0xFFFFFFFFu, 0xFF000000u};
  const auto runs = MaskToRuns(px, 2, 2, 3);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], (ShapeRun{1, 0, 1}));
  EXPECT_EQ(runs[1], (ShapeRun{0, 1, 1}));
  // Claimed height larger than the buffer: only whole rows present are read.
  EXPECT_EQ(MaskToRuns(px, 2, 50, 3).size(), 2u);
  EXPECT_TRUE(MaskToRuns(px, 4, 1, 3).empty());
  EXPECT_TRUE(MaskToRuns({}, 0, 0, 0).empty());
}

}  // namespace
}  // namespace vantrel::text
