// The keyboard check after a resume or an arrival, against the virtual keyboard: a keyboard
// that still holds the last configuration shows no difference (and is only read), one
// reset to its factory state is named in words (keys, macros, lighting, active profile),
// and writing the last configuration again puts it back in step.
#include "core/profiles/keyboard_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>

#include "core/profiles/edit_session.h"
#include "core/profiles/profile_fakes.h"
#include "language_file_texts.h"
#include "session_fixture.h"

namespace vantrel::test {
namespace {

using namespace vantrel::profiles;

bool AnyLineHas(const std::vector<std::string>& lines, std::string_view part) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != l.npos; });
}

class KeyboardCheckTest : public SessionFixture<LanguageFileTexts> {
 protected:
  KeyboardCheckTest() : SessionFixture("check-") {
    service.SetDeviceFacts([this] { return DeviceFacts{sim.keyboard.FactoryTable(), sim.keyboard.MacroCapacity()}; });
    light.texts = &texts;
  }

  // A keyboard configured away from its factory state: profile 1 has a disabled key,
  // a macro "Boot" is stored, profile 2's brightness is 1 and profile 2 is active. The
  // program then reads it as it does on arrival (keys, then the lighting).
  void ConfigureAndRead() {
    for (std::size_t i = 0; i < 3; ++i) sim.keyboard.KeyTables()[1 * 378 + 17 * 3 + i] = 0;
    keys::MacroRecord m = keys::NewMacro(u"Boot", 1);
    const keys::MacroAction steps[] = {{10, 0x1E, keys::kPress}, {10, 0x1E, keys::kRelease}};
    m.SetActions(steps);
    const auto block = keys::BuildMacroBlock(std::vector{m}, true);
    std::copy(block.begin(), block.end(), sim.keyboard.MacroArea().begin());
    sim.keyboard.Lighting()[2 * 42 + lighting::kRecBrightness] = 1;
    sim.keyboard.DeviceState()[device::kStateActiveProfile] = 2;
    session.ReloadOnArrival();
    ASSERT_TRUE(session.Facts().configurationRead);
    ASSERT_EQ(lighting::LoadLighting(sim.commands, light, 2, lighting::LoadOccasion::Connection, dir / "wskb.ini"),
              lighting::kLoadOk);
    ASSERT_TRUE(light.recordsRead);
  }

  // What the program knows, gathered as the window's check gathers it.
  LastConfiguration Last() {
    LastConfiguration last;
    keys::StoreImage image;
    if (service.LastKnownImage(image)) last.keys = std::move(image);
    if (light.recordsRead) last.lighting = light.records;
    last.activeProfile = service.LastKnownActiveProfile();
    return last;
  }

  std::set<std::uint8_t> SentCommands() {
    std::set<std::uint8_t> out;
    for (const auto& l : sim.Lines("> CTRL")) out.insert(SimHarness::Bytes(l)[3]);
    return out;
  }

  // The keyboard loses everything, as after a power loss; the program is not told.
  void ResetKeyboard() {
    sim.keyboard.ResetToFactory();
    cache.store(-1);  // the keyboard went away meanwhile: its active profile is unknown
  }

  lighting::LightingState light;
};

TEST_F(KeyboardCheckTest, NothingKnownMeansNothingIsRead) {
  sim.ClearTrace();
  const KeyboardCheck check = CheckKeyboard(sim.commands, LastConfiguration{}, texts);
  EXPECT_FALSE(check.found.checked);
  EXPECT_FALSE(check.found.Failed());
  EXPECT_TRUE(sim.Lines("> CTRL").empty());
}

TEST_F(KeyboardCheckTest, AKeyboardInStepShowsNoDifferenceAndIsOnlyRead) {
  ConfigureAndRead();
  sim.ClearTrace();
  const KeyboardCheck check = CheckKeyboard(sim.commands, Last(), texts);
  EXPECT_TRUE(check.found.checked);
  EXPECT_TRUE(check.found.differences.empty()) << check.found.differences.front();
  const auto sent = SentCommands();
  for (std::uint8_t write : {device::kCmdWriteDeviceState, device::kCmdWriteParams, device::kCmdWriteKeyTable,
                             device::kCmdWriteMacroArea, device::kCmdWriteKeyColours}) {
    EXPECT_EQ(sent.count(write), 0u) << "write command " << int(write) << " sent by a check";
  }
  EXPECT_TRUE(sent.count(device::kCmdReadKeyTable));
  EXPECT_TRUE(sent.count(device::kCmdReadParams));
}

TEST_F(KeyboardCheckTest, AResetKeyboardIsNamedInWords) {
  ConfigureAndRead();
  ResetKeyboard();
  const KeyboardCheck check = CheckKeyboard(sim.commands, Last(), texts);
  ASSERT_TRUE(check.found.Failed());
  const auto& lines = check.found.differences;
  EXPECT_TRUE(AnyLineHas(lines, "device state, active profile: written 2, the keyboard holds 0"));
  EXPECT_TRUE(AnyLineHas(lines, "profile 1, key "));
  EXPECT_TRUE(AnyLineHas(lines, "\"Boot\""));
  EXPECT_TRUE(AnyLineHas(lines, "profile 2 lighting, brightness: written 1"));
  // Nothing of the other two profiles' lighting changed with the reset.
  EXPECT_FALSE(AnyLineHas(lines, "profile 0 lighting"));
  EXPECT_FALSE(AnyLineHas(lines, "profile 2, key"));
}

// Only what is known is compared: without a working file and before the lighting was read,
// the active profile alone is.
TEST_F(KeyboardCheckTest, UnknownPartsAreLeftOut) {
  LastConfiguration last;
  last.activeProfile = 1;
  sim.ClearTrace();
  const KeyboardCheck check = CheckKeyboard(sim.commands, last, texts);
  ASSERT_EQ(check.found.differences.size(), 1u);
  EXPECT_EQ(check.found.differences[0], "device state, active profile: written 1, the keyboard holds 0");
  EXPECT_EQ(SentCommands().count(device::kCmdReadParams), 0u);
}

TEST_F(KeyboardCheckTest, AReadThatFailsIsADifferenceNotSilence) {
  ConfigureAndRead();
  sim::FaultPlan plan;
  for (std::uint64_t i = 1; i <= 40; ++i) plan.Add(sim.service.ConfigRequests() + i, sim::Fault::kStatusFF);
  sim.service.SetFaults(plan);
  const KeyboardCheck check = CheckKeyboard(sim.commands, Last(), texts);
  ASSERT_TRUE(check.found.Failed());
  EXPECT_TRUE(AnyLineHas(check.found.differences, "could not be read back"));
}

// A lighting change the keyboard took is part of the last configuration: the check after
// it finds the keyboard in step (the state's copy follows the write).
TEST_F(KeyboardCheckTest, LightingWritesAreWhatTheNextCheckComparesWith) {
  ConfigureAndRead();
  ASSERT_EQ(lighting::SendBrightness(sim.commands, light, 2, 3), lighting::WriteOutcome::Taken);
  ASSERT_EQ(lighting::SendColour(sim.commands, light, 2, 0x123456), lighting::WriteOutcome::Taken);
  light.verifyWrites = false;
  ASSERT_EQ(lighting::SendSpeed(sim.commands, light, 2, 0), lighting::WriteOutcome::Taken);
  const KeyboardCheck check = CheckKeyboard(sim.commands, Last(), texts);
  EXPECT_TRUE(check.found.differences.empty()) << check.found.differences.front();
}

TEST_F(KeyboardCheckTest, WritingTheLastConfigurationAgainPutsTheKeyboardBackInStep) {
  ConfigureAndRead();
  const auto tables = sim.keyboard.KeyTables();
  const auto lightingArea = sim.keyboard.Lighting();
  ResetKeyboard();
  const KeyboardCheck check = CheckKeyboard(sim.commands, Last(), texts);
  ASSERT_TRUE(check.found.Failed());

  // The arrival read of the reset keyboard replaces the working file; what is written
  // again is what the check kept.
  session.ReloadOnArrival();
  const device::Verification written = WriteLastConfiguration(session, light, check, 2);
  EXPECT_TRUE(written.checked);
  EXPECT_TRUE(written.differences.empty()) << written.differences.front();

  EXPECT_EQ(sim.keyboard.KeyTables(), tables);
  for (std::size_t i = 0; i < 42 * 3; ++i) {
    if (i % 42 < lighting::kDefaultRecordLength) {
      EXPECT_EQ(sim.keyboard.Lighting()[i], lightingArea[i]) << i;
    }
  }
  EXPECT_EQ(sim.keyboard.DeviceState()[device::kStateActiveProfile], 2);
  EXPECT_EQ(light.brightness, 1);  // the shown profile's fields follow the record
  EXPECT_EQ(session.CurrentProfile(), 2);
  EXPECT_FALSE(session.Unsaved());

  const KeyboardCheck after = CheckKeyboard(sim.commands, Last(), texts);
  EXPECT_TRUE(after.found.checked);
  EXPECT_TRUE(after.found.differences.empty()) << after.found.differences.front();
}

// A keyboard that stores a wrong byte while writing again: the result says so.
TEST_F(KeyboardCheckTest, WritingAgainReportsWhatStillDiffers) {
  ConfigureAndRead();
  ResetKeyboard();
  KeyboardCheck check = CheckKeyboard(sim.commands, Last(), texts);
  check.last.keys.reset();
  check.last.activeProfile = -1;
  sim::FaultPlan plan;
  plan.Add(sim.service.ConfigRequests() + 2, sim::Fault::kCorrupt);  // begin, then the first record write
  sim.service.SetFaults(plan);
  const device::Verification written = WriteLastConfiguration(session, light, check, 2);
  ASSERT_TRUE(written.Failed());
  EXPECT_TRUE(AnyLineHas(written.differences, "profile 0 lighting, effect"));
}

}  // namespace
}  // namespace vantrel::test
