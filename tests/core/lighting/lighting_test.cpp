#include "core/lighting/lighting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <fstream>

#include "core/lighting/key_buttons.h"
#include "core/text/text_source.h"
#include "core/lighting/fake_keyboard.h"

namespace vantrel::lighting {
namespace {

using testing::Begin;
using testing::End;
using testing::FakeDevice;
using testing::Op;
using testing::Read;
using testing::ReadState;
using testing::Write;
using device::kCmdBegin;
using device::kCmdEnd;
using device::kCmdWriteParams;

class ModeTexts final : public text::TextSource {
 public:
  std::string Text(std::string_view) const override { return "#Error"; }
  std::string LightText(std::string_view) const override { return "#Error"; }
  std::string ModeText(std::string_view key) const override { return "Mode " + std::string(key); }
};

std::filesystem::path TempDir(const char* name) {
  auto dir = std::filesystem::temp_directory_path() / ("vantrel_lighting_" + std::string(name) + "_" +
                                                       std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

TEST(KeyButtons, TableShapeAndSlots) {
  const auto keys = keys::OrdinaryLayoutKeys();
  std::set<int> ids, slots;
  for (const auto& k : keys) {
    EXPECT_TRUE(ids.insert(k.controlId).second) << k.name;
    EXPECT_TRUE(slots.insert(k.ledSlot).second) << k.name << " shares slot " << k.ledSlot;
    EXPECT_LT(k.ledSlot, kLedSlots);
  }
  EXPECT_EQ(ids.size(), 108u);
  EXPECT_FALSE(slots.count(keys::FnLayoutKey().ledSlot)) << "Fn's slot is its own";
  // The order of the table itself is the keyboard layout's (keyboard_layout_test).
  EXPECT_EQ(LedSlot(1200), 17);
  EXPECT_EQ(LedSlot(1203), 20);
  EXPECT_EQ(LedSlot(keys::FnLayoutKey().controlId), 110);
  EXPECT_EQ(LedSlot(1089), 5 * 21 + 8);  // right Ctrl
  EXPECT_EQ(LedSlot(1070), 3 * 21 + 13);  // Enter
  for (const auto& g : keys::GLayoutKeys()) EXPECT_EQ(LedSlot(g.controlId), 125);
  EXPECT_EQ(LedSlot(1005), 0);
  EXPECT_EQ(LedSlot(-4), 0);
}

TEST(Effects, ParameterRuleMatchesTheShowRule) {
  for (int code = 1; code <= 20; ++code) {
    const auto p = ParamsOf(code);
    EXPECT_TRUE(p.known);
    EXPECT_EQ(p.brightness, code != 19) << code;
    EXPECT_EQ(p.speed, (code <= 5) || (code >= 7 && code <= 15)) << code;
    EXPECT_EQ(p.direction != DirectionPictures::None, code <= 3 || code == 12 || code == 18) << code;
  }
  EXPECT_EQ(ParamsOf(12).direction, DirectionPictures::UpDown);
  EXPECT_STREQ(ParamsOf(12).directionPlacement, "3");
  EXPECT_STREQ(ParamsOf(2).directionPlacement, "2");
  EXPECT_EQ(ParamsOf(18).direction, DirectionPictures::SpreadConverge);
  EXPECT_EQ(ParamsOf(6).colourGroup, ColourGroup::FY);
  EXPECT_EQ(ParamsOf(10).colourGroup, ColourGroup::HX);
  EXPECT_FALSE(ParamsOf(10).writesMulticolour);
  EXPECT_TRUE(ParamsOf(17).colourChoice);
  EXPECT_TRUE(ParamsOf(20).userColours);
  EXPECT_FALSE(ParamsOf(0).known);
  EXPECT_FALSE(ParamsOf(21).brightness);
}

TEST(Effects, ListAndIndexTable) {
  EffectList list{};
  list[0] = 1;
  list[1] = 2;
  list[3] = 20;
  EffectListModel model;
  ModeTexts texts;
  FillEffectList(list, &texts, model);
  ASSERT_EQ(model.entries.size(), 3u);
  EXPECT_EQ(model.entries[2].name, "Mode 20");
  EXPECT_EQ(model.table.EffectAtPosition(2), 20);
  EXPECT_EQ(model.table.PositionOfEffect(20), 2);
  EXPECT_EQ(model.table.PositionOfEffect(5), -1);
  EXPECT_EQ(model.table.EffectAtPosition(3), 0);
  // Refilling replaces, never appends; without texts the names read "#Error".
  FillEffectList(list, nullptr, model);
  EXPECT_EQ(model.entries.size(), 3u);
  EXPECT_EQ(model.entries[0].name, "#Error");
}

TEST(LightingRecord, DecodeRules) {
  LightingState s;
  s.records[1] = {};
  auto& r = s.records[1];
  r[0] = 7;
  r[2] = 1;
  r[3] = 0xFF;
  r[4] = 2;
  r[5] = 0x11;
  r[6] = 0x22;
  r[7] = 0x33;
  r[15] = 7;
  r[18] = 1;
  r[19] = 1;
  r[25] = 9;
  r[28] = 3;
  DecodeIntoState(s, 1);
  EXPECT_EQ(s.effect, 7);
  EXPECT_EQ(s.speedPosition, 3);  // a read speed of 1 puts the slider at 3
  EXPECT_EQ(s.reportRate, 3);     // 7 is taken as 3
  EXPECT_TRUE(s.multicolour);
  EXPECT_EQ(s.colour, 0x332211u);
  EXPECT_TRUE(s.variantFlag);
  EXPECT_TRUE(s.triggerGrid);
  EXPECT_FALSE(s.triggerSingle);
  EXPECT_EQ(s.secondColour, 9u);
  EXPECT_TRUE(s.secondCycling);

  // A trigger byte of 5 and an effect-7 flag of 2 leave the flags as they were; the flag
  // is not looked at for other effects.
  r[19] = 5;
  r[18] = 2;
  DecodeIntoState(s, 1);
  EXPECT_TRUE(s.triggerGrid);
  EXPECT_TRUE(s.variantFlag);
  r[0] = 8;
  r[18] = 0;
  DecodeIntoState(s, 1);
  EXPECT_TRUE(s.variantFlag);

  // Round trip keeps the reserved bytes.
  LightingRecord rec{};
  rec[8] = 0xAB;
  rec[41] = 0xCD;
  auto f = DecodeLightingRecord(rec);
  f.effect = 12;
  f.thirdColour = MakeRgb(1, 2, 3);
  EncodeLightingRecord(f, rec);
  EXPECT_EQ(rec[0], 12);
  EXPECT_EQ(rec[30], 1);
  EXPECT_EQ(rec[32], 3);
  EXPECT_EQ(rec[8], 0xAB);
  EXPECT_EQ(rec[41], 0xCD);
  // A short record reads its missing bytes as 0.
  const std::uint8_t shortRec[3] = {5, 4, 3};
  const auto g = DecodeLightingRecord(shortRec);
  EXPECT_EQ(g.speed, 3);
  EXPECT_EQ(g.reportRate, 0);
}

class LightingLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempDir("load");
    ini_ = dir_ / "wskb.ini";
    dev_.keyboard.state[12] = 1;
    dev_.keyboard.state[13] = 20;
    for (std::size_t i = 0; i < 126; ++i) dev_.keyboard.lighting[i] = static_cast<std::uint8_t>(i);
    dev_.keyboard.lighting[84] = 12;  // profile 2's effect
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path dir_, ini_;
  FakeDevice dev_;
  LightingState state_;
};

TEST_F(LightingLoad, ReadsStateThenAllThreeRecordsInOneBracket) {
  int calls = 0;
  ASSERT_EQ(LoadLighting(dev_.commands, state_, 2, LoadOccasion::Connection, ini_, [&] {
              ++calls;
              (void)dev_.commands.CmdTest();
            }),
            kLoadOk);
  EXPECT_EQ(calls, 1);
  const std::vector<Op> expected{ReadState(), Begin(), {device::kCmdTest, 0, 0, {}}, Read(0), Read(42), Read(84), End()};
  EXPECT_EQ(dev_.keyboard.ops, expected);
  EXPECT_EQ(state_.records[1][0], 42);
  EXPECT_EQ(state_.records[2][41], 125);
  EXPECT_EQ(state_.effect, 12);
  EXPECT_TRUE(EffectListHolds(state_.supportedEffects, 20));
  EXPECT_FALSE(state_.panelOpen);

  // Not on a profile switch, and not without effect 20.
  LoadLighting(dev_.commands, state_, 2, LoadOccasion::Other, ini_, [&] { ++calls; });
  dev_.keyboard.state[13] = 0;
  LoadLighting(dev_.commands, state_, 2, LoadOccasion::Connection, ini_, [&] { ++calls; });
  EXPECT_EQ(calls, 1);
}

TEST_F(LightingLoad, FailedAreaReadKeepsThatRecordsLastBytes) {
  LoadLighting(dev_.commands, state_, 0, LoadOccasion::Other, ini_);
  const auto before = state_.records[1];
  for (auto& b : dev_.keyboard.lighting) b = 0xEE;
  dev_.keyboard.failReads = {42};
  LoadLighting(dev_.commands, state_, 0, LoadOccasion::Other, ini_);
  EXPECT_EQ(state_.records[1], before) << "record 1 must not take over record 0's bytes";
  EXPECT_EQ(state_.records[0][5], 0xEE);
  EXPECT_EQ(state_.records[2][5], 0xEE);
}

TEST_F(LightingLoad, UnreadableDeviceStateChangesNothingButTheList) {
  state_.effect = 9;
  state_.records[0][0] = 9;
  state_.supportedEffects[0] = 4;
  dev_.keyboard.failState = true;
  EXPECT_EQ(LoadLighting(dev_.commands, state_, 0, LoadOccasion::Connection, ini_), kLoadNoDeviceState);
  EXPECT_EQ(state_.supportedEffects, EffectList{});
  EXPECT_EQ(state_.effect, 9);
  EXPECT_EQ(state_.records[0][0], 9);
  EXPECT_TRUE(dev_.keyboard.OpsOf({kCmdBegin, device::kCmdReadParams}).empty());
}

TEST_F(LightingLoad, DengCheckOpensOnEveryLoadButClosesOnlyOnConnection) {
  EXPECT_FALSE(ReadDengCheck(ini_));  // missing reads as "0"
  ASSERT_TRUE(WriteDengCheck(ini_, true));
  LoadLighting(dev_.commands, state_, 0, LoadOccasion::Other, ini_);
  EXPECT_TRUE(state_.panelOpen);
  WriteDengCheck(ini_, false);
  LoadLighting(dev_.commands, state_, 0, LoadOccasion::Other, ini_);
  EXPECT_TRUE(state_.panelOpen);
  LoadLighting(dev_.commands, state_, 0, LoadOccasion::Connection, ini_);
  EXPECT_FALSE(state_.panelOpen);
}

class LightingWrites : public ::testing::Test {
 protected:
  // The write brackets; the read bracket that follows each (begin, 0x05, end) is checked
  // once and left out here.
  std::vector<Op> Writes() const {
    const auto ops = dev_.keyboard.OpsOf({kCmdBegin, kCmdWriteParams, kCmdEnd, device::kCmdReadParams});
    std::vector<Op> out;
    for (std::size_t i = 0; i < ops.size(); ++i) {
      if (i + 2 < ops.size() && ops[i].command == kCmdBegin && ops[i + 1].command == device::kCmdReadParams &&
          ops[i + 2].command == kCmdEnd) {
        i += 2;
        continue;
      }
      out.push_back(ops[i]);
    }
    return out;
  }
  FakeDevice dev_;
  LightingState state_;
};

TEST_F(LightingWrites, EffectChoiceWritesTheCodeAndForSomeTheMulticolourByte) {
  EXPECT_EQ(SendEffect(dev_.commands, state_, 1, 4), WriteOutcome::Taken);
  EXPECT_EQ(Writes(), (std::vector<Op>{Begin(), Write(42, {4}), End()}));
  EXPECT_EQ(dev_.keyboard.OpsOf({kCmdBegin, kCmdWriteParams, kCmdEnd, device::kCmdReadParams}),
            (std::vector<Op>{Begin(), Write(42, {4}), End(), Begin(), Read(42), End()}));
  dev_.keyboard.ops.clear();
  state_.multicolour = true;
  SendEffect(dev_.commands, state_, 1, 13);
  EXPECT_EQ(Writes(), (std::vector<Op>{Begin(), Write(42, {13}), Write(46, {1}), End()}));
  dev_.keyboard.ops.clear();
  EXPECT_EQ(SendEffect(dev_.commands, state_, 1, 19), WriteOutcome::NotSent);
  EXPECT_TRUE(dev_.keyboard.ops.empty());
  EXPECT_EQ(state_.effect, 19);

  EffectIndexTable table;
  table.Add(0, 2);
  table.Add(1, 10);
  SendEffectAtPosition(dev_.commands, state_, 0, table, 1);
  EXPECT_EQ(Writes(), (std::vector<Op>{Begin(), Write(0, {10}), End()}));
}

TEST_F(LightingWrites, SlidersSendOnlyChanges) {
  state_.brightness = 3;
  EXPECT_EQ(SendBrightness(dev_.commands, state_, 0, 3), WriteOutcome::NotSent);
  EXPECT_TRUE(dev_.keyboard.ops.empty());
  EXPECT_EQ(SendBrightness(dev_.commands, state_, 2, 1), WriteOutcome::Taken);
  EXPECT_EQ(SendSpeed(dev_.commands, state_, 2, 0), WriteOutcome::Taken);
  EXPECT_EQ(SendSpeed(dev_.commands, state_, 2, 0), WriteOutcome::NotSent);
  EXPECT_EQ(SendSpeed(dev_.commands, state_, 2, 4), WriteOutcome::Taken);
  EXPECT_EQ(Writes(), (std::vector<Op>{Begin(), Write(85, {1}), End(), Begin(), Write(86, {4}), End(), Begin(),
                                       Write(86, {0}), End()}));
  EXPECT_EQ(state_.speed, 0);
}

TEST_F(LightingWrites, ColourTurnsMulticolourOffFirst) {
  state_.multicolour = true;
  SendColour(dev_.commands, state_, 2, MakeRgb(0x10, 0x20, 0x30));
  EXPECT_FALSE(state_.multicolour);
  EXPECT_EQ(Writes(), (std::vector<Op>{Begin(), Write(88, {0}), Write(89, {0x10, 0x20, 0x30}), End()}));
}

TEST_F(LightingWrites, SingleByteFields) {
  SendDirection(dev_.commands, state_, 0, 255);
  SendDirection(dev_.commands, state_, 0, 0);
  SendColourChoice(dev_.commands, state_, 1, 3);
  SendReportRate(dev_.commands, state_, 1, 2);
  ToggleMulticolour(dev_.commands, state_, 0, ColourGroup::FY);
  EXPECT_TRUE(state_.multicolour);
  EXPECT_TRUE(state_.variantFlag);
  ToggleMulticolour(dev_.commands, state_, 0, ColourGroup::HX);
  EXPECT_TRUE(state_.variantFlag);
  EXPECT_EQ(Writes(), (std::vector<Op>{Begin(), Write(3, {0xFF}), End(), Begin(), Write(3, {0}), End(), Begin(),
                                       Write(59, {3}), End(), Begin(), Write(57, {2}), End(), Begin(),
                                       Write(4, {1}), End(), Begin(), Write(4, {0}), End()}));
}

TEST_F(LightingWrites, DefaultLighting) {
  state_.multicolour = false;
  state_.reportRate = 3;
  SendDefaultLighting(dev_.commands, state_, 1);
  std::vector<std::uint8_t> record(35, 0);
  record[0] = 1;
  record[1] = 4;
  record[2] = 2;
  record[4] = 0xFF;
  record[5] = record[6] = record[7] = 0xFF;
  EXPECT_EQ(Writes(), (std::vector<Op>{Begin(), Write(42, {1}), Write(46, {0}), End(), Begin(), Write(42, record),
                                       End()}));
  EXPECT_EQ(state_.brightness, 4);
  EXPECT_EQ(state_.speedPosition, 2);
  EXPECT_EQ(state_.colour, kWhite);
  EXPECT_TRUE(state_.multicolour);
  EXPECT_EQ(state_.reportRate, 0);
}

}  // namespace
}  // namespace vantrel::lighting
