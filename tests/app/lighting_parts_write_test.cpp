// The lighting part of an imported document written to the virtual keyboard: a part the
// keyboard refuses stops the write there and is named in the outcome.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "scripting/keyboard_tasks.h"
#include "sim/fault_plan.h"
#include "sim/simulated_hid_service.h"
#include "sim/virtual_keyboard.h"
#include "stack/device_stack.h"

namespace vantrel::scripting {
namespace {

namespace fs = std::filesystem;

class LightingPartsWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("vantrel-lighting-parts-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    stack::StackOptions options;
    options.simulate = true;
    options.simStatePath = (dir_ / "state.json").string();
    std::string error;
    ASSERT_TRUE(stack_.Open(options, &error)) << error;
  }
  void TearDown() override {
    (void)stack_.Close(nullptr);
    fs::remove_all(dir_);
  }
  // The keyboard's key-colour byte: red, green or blue (`channel`) of `slot` in `profile`.
  int KeyColourByte(int profile, int slot, int channel) {
    return stack_.Keyboard()->KeyColours()[static_cast<std::size_t>(512 * profile + 3 * slot + channel)];
  }

  fs::path dir_;
  stack::DeviceStack stack_;
};

TEST_F(LightingPartsWriteTest, RefusedKeyColoursStopTheWriteAndAreNamed) {
  const lighting::KeyColourEditor files(dir_, dir_ / "default.userd");
  ProfileLightings parts;
  for (int p : {1, 2}) {
    auto& part = parts[static_cast<std::size_t>(p)];
    part.keyColours.emplace();
    part.keyColours->fill(lighting::MakeRgb(7, 8, 9));
    part.userModes.emplace();
  }
  auto& commands = stack_.Commands();
  const int held = KeyColourByte(2, 0, 0);
  ASSERT_NE(held, 7);

  // Profile 1's key colours come first (profile 0 has no part): its begin, then its first
  // chunk, refused on every attempt.
  sim::FaultPlan faults;
  const auto next = stack_.Simulator()->ConfigRequests();
  for (std::uint64_t n = next + 2; n <= next + 4; ++n) faults.Add(n, sim::Fault::kStatusFF);
  stack_.Simulator()->SetFaults(faults);
  const auto before = commands.LastFailure().count;
  const auto written = WriteLightingParts(commands, files, parts);
  EXPECT_EQ(written.step, LightingPartsWrite::Step::KeyColours);
  EXPECT_EQ(written.profile, 1);
  EXPECT_FALSE(written.Ok());
  // Nothing after it: neither profile 1's colour file nor profile 2's key colours.
  EXPECT_FALSE(fs::exists(files.UserFile(1)));
  EXPECT_FALSE(fs::exists(files.UserFile(2)));
  EXPECT_EQ(KeyColourByte(2, 0, 0), held);

  const auto outcome = LightingWriteOutcome("ImportJson", written, before, commands.LastFailure());
  EXPECT_EQ(outcome.error, ScriptError::Device);
  EXPECT_EQ(outcome.message.rfind("ImportJson: the key colours of profile 1: the keyboard answered command 0x11", 0),
            0u)
      << outcome.message;

  // Taken: every profile's key colours and colour files are written.
  stack_.Simulator()->SetFaults({});
  EXPECT_TRUE(WriteLightingParts(commands, files, parts).Ok());
  EXPECT_EQ(KeyColourByte(1, 125, 2), 9);
  EXPECT_EQ(KeyColourByte(2, 0, 0), 7);
  EXPECT_TRUE(fs::exists(files.UserFile(2)));
}

}  // namespace
}  // namespace vantrel::scripting
