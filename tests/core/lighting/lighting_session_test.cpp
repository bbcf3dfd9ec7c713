#include "core/lighting/lighting_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "core/keys/keyboard_layout.h"
#include "core/lighting/fake_keyboard.h"
#include "core/lighting/lighting_record.h"
#include "core/text/ini_file.h"

namespace vantrel::lighting {
namespace {

using testing::FakeDevice;
using testing::Op;

const std::filesystem::path kDefaultFile = std::filesystem::path(VANTREL_SOURCE_DIR) / "data" / "Skins" /
                                           "UserDengColor_3.userd";

class LightingSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("vantrel_lightsession_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    editor_ = KeyColourEditor(dir_, kDefaultFile);
    session_ = std::make_unique<LightingSession>(editor_, dir_ / "wskb.ini", nullptr);
    dev_.keyboard.state[12] = 1;
    dev_.keyboard.state[13] = 6;
    dev_.keyboard.state[14] = 20;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Profile `p`'s record on the keyboard: effect, brightness, multicolour.
  void KeyboardRecord(int p, int effect, int brightness, bool multicolour) {
    auto* rec = dev_.keyboard.lighting.data() + 42 * p;
    rec[kRecEffect] = static_cast<std::uint8_t>(effect);
    rec[kRecBrightness] = static_cast<std::uint8_t>(brightness);
    rec[kRecMulticolour] = multicolour ? 1 : 0;
  }
  void LoadProfile(int p) {
    ASSERT_EQ(session_->Load(dev_.commands, p, LoadOccasion::Other, false).result, kLoadOk);
    dev_.keyboard.ops.clear();
  }
  std::vector<Op> ColourWrites() const { return dev_.keyboard.OpsOf({device::kCmdWriteKeyColours}); }

  std::filesystem::path dir_;
  FakeDevice dev_;
  KeyColourEditor editor_{{}, {}};
  std::unique_ptr<LightingSession> session_;
};

// A refused change leaves the state as the keyboard holds it, whoever asked: the record is
// read again; when that read fails too, the state goes back to what it was. Either way the
// caller is told the failure of the write itself, not of the recovery read.
TEST_F(LightingSessionTest, RefusedChangeFollowsTheKeyboardAndKeepsTheWritesFailure) {
  KeyboardRecord(1, 5, 2, false);
  LoadProfile(1);
  dev_.keyboard.failWrites.insert(42 + kRecBrightness);
  dev_.keyboard.lighting[42 + kRecSpeed] = 1;  // changed behind the host's back
  EXPECT_EQ(session_->Change(dev_.commands, 1, {LightingField::Brightness, 4}), WriteOutcome::Refused);
  EXPECT_EQ(session_->State().brightness, 2);
  EXPECT_EQ(session_->State().speed, 1) << "the record was read again";
  EXPECT_EQ(session_->Refusal().command, device::kCmdWriteParams);

  // The recovery read fails as well: back to the state before the change.
  dev_.keyboard.failReads.insert(42);
  dev_.keyboard.lighting[42 + kRecSpeed] = 3;
  EXPECT_EQ(session_->Change(dev_.commands, 1, {LightingField::Brightness, 0}), WriteOutcome::Refused);
  EXPECT_EQ(session_->State().brightness, 2);
  EXPECT_EQ(session_->State().speed, 1);
  EXPECT_EQ(session_->Refusal().command, device::kCmdWriteParams)
      << "the failed recovery read does not hide what refused the change";
  EXPECT_EQ(dev_.commands.LastFailure().command, device::kCmdReadParams);

  // A change the keyboard takes is not recovered from.
  dev_.keyboard.failWrites.clear();
  dev_.keyboard.failReads.clear();
  EXPECT_EQ(session_->Change(dev_.commands, 1, {LightingField::Brightness, 0}), WriteOutcome::Taken);
  EXPECT_EQ(dev_.keyboard.lighting[42 + kRecBrightness], 0);
  EXPECT_EQ(session_->State().brightness, 0);
}

// The variant flag of colour group "FY" follows the multicolour byte, whether the change
// names the group (a picture of the panel) or takes the effect's (a script, vantrelctl).
TEST_F(LightingSessionTest, VariantFlagFollowsMulticolourInGroupFyOnly) {
  struct Case {
    int effect;
    ColourGroup group;
    bool on;
    bool variantAfter;
  };
  const Case cases[] = {
      {6, ColourGroup::None, true, true},   // effect 6 is in group FY
      {6, ColourGroup::None, false, false},  // the same value again: no toggle
      {1, ColourGroup::None, true, false},  // effect 1 is in group HX
      {1, ColourGroup::FY, true, true},     // the FY picture clicked
      {6, ColourGroup::HX, true, false},
  };
  for (const auto& c : cases) {
    LightingState s;
    s.effect = c.effect;
    s.multicolour = false;
    FieldChange change{LightingField::Multicolour};
    change.on = c.on;
    change.group = c.group;
    const auto writes = ApplyChange(s, 0, change);
    EXPECT_EQ(s.variantFlag, c.variantAfter) << "effect " << c.effect;
    EXPECT_EQ(s.multicolour, c.on);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].offset, kRecMulticolour);
    EXPECT_EQ(writes[0].bytes, std::vector<std::uint8_t>{static_cast<std::uint8_t>(c.on ? 1 : 0)});
  }
  // Through the session, a toggle turns what the session holds.
  KeyboardRecord(0, 6, 4, true);
  LoadProfile(0);
  EXPECT_EQ(session_->ToggleMulticolour(dev_.commands, 0, ColourGroup::FY), WriteOutcome::Taken);
  EXPECT_FALSE(session_->State().multicolour);
  EXPECT_TRUE(session_->State().variantFlag);
  EXPECT_EQ(dev_.keyboard.lighting[kRecMulticolour], 0);
}

TEST_F(LightingSessionTest, ChangesThatSendNothing) {
  KeyboardRecord(2, 5, 3, false);
  LoadProfile(2);
  EXPECT_EQ(session_->Change(dev_.commands, 2, {LightingField::Brightness, 3}), WriteOutcome::NotSent);
  EXPECT_EQ(session_->Change(dev_.commands, 2, {LightingField::Effect, kEffectNone}), WriteOutcome::NotSent);
  EXPECT_EQ(session_->State().effect, kEffectNone);
  EXPECT_TRUE(dev_.keyboard.ops.empty());
}

TEST_F(LightingSessionTest, LoadSendsTheUserColoursInsideTheReadBracketOnlyOnConnection) {
  const auto load = [&](LoadOccasion occasion, bool userColours) {
    dev_.keyboard.ops.clear();
    const auto loaded = session_->Load(dev_.commands, 0, occasion, userColours);
    EXPECT_EQ(loaded.result, kLoadOk);
    return loaded;
  };
  auto loaded = load(LoadOccasion::Connection, false);
  EXPECT_EQ(loaded.colours, KeyColourWrite::Taken);
  auto ops = dev_.keyboard.OpsOf({device::kCmdWriteKeyColours, device::kCmdReadParams});
  ASSERT_FALSE(ops.empty());
  EXPECT_EQ(ops.front().command, device::kCmdWriteKeyColours) << "colours before the records, in one bracket";

  loaded = load(LoadOccasion::Other, true);
  ops = dev_.keyboard.OpsOf({device::kCmdWriteKeyColours, device::kCmdReadParams});
  EXPECT_EQ(loaded.colours, KeyColourWrite::Taken);
  EXPECT_EQ(ops.front().command, device::kCmdReadParams) << "colours after the records";

  loaded = load(LoadOccasion::Other, false);
  EXPECT_EQ(loaded.colours, KeyColourWrite::NotSent);
  EXPECT_TRUE(ColourWrites().empty());

  // A keyboard without per-key colours gets none.
  dev_.keyboard.state[14] = 0;
  loaded = load(LoadOccasion::Connection, true);
  EXPECT_EQ(loaded.colours, KeyColourWrite::NotSent);
  EXPECT_TRUE(ColourWrites().empty());
}

TEST_F(LightingSessionTest, DefaultRecordWithOrWithoutTheDefaultColours) {
  LoadProfile(1);
  auto written = session_->RestoreDefault(dev_.commands, 1, false);
  EXPECT_EQ(written.record, WriteOutcome::Taken);
  EXPECT_EQ(written.colours, KeyColourWrite::NotSent);
  EXPECT_TRUE(ColourWrites().empty());
  EXPECT_EQ(dev_.keyboard.lighting[42 + kRecMulticolour], 0xFF);

  dev_.keyboard.ops.clear();
  written = session_->RestoreDefault(dev_.commands, 1, true);
  EXPECT_EQ(written.colours, KeyColourWrite::Taken);
  const auto ops = dev_.keyboard.OpsOf({device::kCmdWriteKeyColours, device::kCmdWriteParams});
  ASSERT_FALSE(ops.empty());
  EXPECT_EQ(ops.front().command, device::kCmdWriteKeyColours) << "the colours go first";
  EXPECT_EQ(ops.back().command, device::kCmdWriteParams);
}

TEST_F(LightingSessionTest, PanelOpenFlagIsTheStatesAndTheFiles) {
  session_->SetPanelOpen(true);
  EXPECT_TRUE(session_->State().panelOpen);
  EXPECT_TRUE(ReadDengCheck(dir_ / "wskb.ini"));
  session_->SetPanelOpen(false);
  EXPECT_FALSE(session_->State().panelOpen);
  EXPECT_FALSE(ReadDengCheck(dir_ / "wskb.ini"));
}

// Painting a list of keys: the colour becomes the brush, each key is sent in turn, the
// first key the keyboard does not take ends the list, and only a whole list brings the
// other profiles in step.
TEST_F(LightingSessionTest, PaintKeysStopsAtTheFirstRefusedKey) {
  ASSERT_TRUE(session_->PrepareToPaint(0));
  const auto& keys = keys::OrdinaryLayoutKeys();
  const std::vector<int> controls = {keys[0].controlId, keys[1].controlId};
  const Rgb colour = MakeRgb(0x12, 0x34, 0x56);
  std::vector<int> painted;
  auto result = session_->PaintKeys(dev_.commands, 0, kEffectUserColours, controls, colour,
                                    [&](int id) { painted.push_back(id); });
  EXPECT_TRUE(result.Ok());
  EXPECT_EQ(painted, controls);
  EXPECT_EQ(editor_.BrushColour(), colour);
  EXPECT_EQ(editor_.Tool(), 0);
  EXPECT_EQ(editor_.Table().Get(0, keys[1].ledSlot), colour);
  EXPECT_TRUE(editor_.InStep(1)) << "the other profiles were brought in step";

  dev_.keyboard.failKeyColours = true;
  painted.clear();
  result = session_->PaintKeys(dev_.commands, 0, kEffectUserColours, controls, MakeRgb(1, 2, 3),
                               [&](int id) { painted.push_back(id); });
  EXPECT_EQ(result.step, LightingSession::Painting::Step::Key);
  EXPECT_EQ(result.controlId, controls[0]);
  EXPECT_TRUE(painted.empty());
  EXPECT_EQ(editor_.Table().Get(0, keys[1].ledSlot), colour) << "the key after the refused one is not painted";

  // Painting outside effect 20 sends nothing and counts as not taken.
  dev_.keyboard.failKeyColours = false;
  dev_.keyboard.ops.clear();
  result = session_->PaintKeys(dev_.commands, 0, 5, controls, std::nullopt);
  EXPECT_EQ(result.step, LightingSession::Painting::Step::Key);
  EXPECT_TRUE(ColourWrites().empty());
}

}  // namespace
}  // namespace vantrel::lighting
