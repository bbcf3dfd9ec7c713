// Every writer reads back what it wrote: a keyboard that stores a wrong byte and still
// answers success (corrupt@N) makes the writer fail with the difference in words, and the
// reads come after the write bracket, which itself is sent unchanged.
#include <gtest/gtest.h>

#include <atomic>

#include "core/keys/apply.h"
#include "core/lighting/lighting.h"
#include "core/profiles/profile_file.h"
#include "core/profiles/profile_service.h"
#include "core/profiles/profile_fakes.h"
#include "language_file_texts.h"
#include "session_fixture.h"

namespace vantrel::test {
namespace {

using device::Verification;

class ReadBackTest : public SessionFixture<LanguageFileTexts> {
 protected:
  ReadBackTest() : SessionFixture("read-back-") {
    service.SetDeviceFacts([this] {
      return profiles::DeviceFacts{sim.keyboard.FactoryTable(), sim.keyboard.MacroCapacity()};
    });
  }

  // The keyboard stores a wrong byte in the configuration request `ahead` requests from now
  // (1 = the next one).
  void CorruptAhead(std::uint64_t ahead) {
    sim::FaultPlan plan;
    plan.Add(sim.service.ConfigRequests() + ahead, sim::Fault::kCorrupt);
    sim.service.SetFaults(plan);
  }
  void AddMacro(std::u16string name, std::size_t steps) {
    keys::EditingStore::Lock lock(editing);
    keys::MacroRecord m = keys::NewMacro(name, keys::SmallestFreeMacroId(lock.Image()));
    std::vector<keys::MacroAction> a;
    for (std::size_t i = 0; i < steps; ++i) a.push_back({100, 0x01E, static_cast<std::uint16_t>(i % 2)});
    m.SetActions(a);
    lock->macros.push_back(std::move(m));
  }
  bool Apply(std::size_t profile, Verification& readBack) {
    keys::ApplyRequest request;
    request.currentProfile = profile;
    request.factory = sim.keyboard.FactoryTable();
    request.macroCapacity = sim.keyboard.MacroCapacity();
    keys::EditingStore::Lock lock(editing);
    return keys::ApplyToDevice(lock, applied, request, sim.commands, texts, sink, &readBack);
  }

};

TEST_F(ReadBackTest, ApplyReadsTheMacroAreaAndTablesBackAfterItsBracket) {
  AddMacro(u"one", 20);  // 108 bytes with the name: two chunks
  Verification v;
  ASSERT_TRUE(Apply(0, v));
  EXPECT_TRUE(v.checked);
  EXPECT_TRUE(v.differences.empty());
  // begin, 2 macro chunks, 21 key-table chunks (the first apply writes all three), end;
  // then the reads: 2 macro chunks and 7 chunks per table, no bracket.
  const auto sent = SentCommands();
  ASSERT_EQ(sent.size(), 25u + 2 + 21);
  EXPECT_EQ(sent[24], device::kCmdEnd);
  EXPECT_EQ(sent[25], device::kCmdReadMacroArea);
  EXPECT_EQ(sent[26], device::kCmdReadMacroArea);
  for (std::size_t i = 27; i < sent.size(); ++i) EXPECT_EQ(sent[i], device::kCmdReadKeyTable) << i;
}

TEST_F(ReadBackTest, ACorruptedKeyTableOrMacroFailsTheApplyWithItsNames) {
  AddMacro(u"one", 20);
  Verification v;
  ASSERT_TRUE(Apply(0, v));
  {
    keys::EditingStore::Lock lock(editing);
    keys::StoreKeyAssignment(lock.Image(), 1, 0x1E, {keys::kKindKey, 0, 0x030});
  }
  // begin, two macro chunks, then table 1: its third chunk starts at table byte 112, the
  // entry of position 37.
  CorruptAhead(1 + 2 + 3);
  EXPECT_FALSE(Apply(1, v));
  ASSERT_EQ(v.differences.size(), 1u);
  const std::string key = keys::KeyOutputName(
      keys::CodeOfEntry(keys::EntryAt(sim.keyboard.FactoryTable(), 37)), texts);
  EXPECT_EQ(v.differences[0].rfind("profile 1, key " + key + ": written ", 0), 0u) << v.differences[0];
  // The keyboard's macro list is unknown after a failed apply: the next one writes all tables.
  {
    keys::EditingStore::Lock held(editing);
    keys::AppliedStore::Lock lock(applied, held);
    EXPECT_FALSE(lock.DeviceMacros().has_value());
  }

  // The macro's second chunk: bytes 56.. of the block, steps of macro 1.
  CorruptAhead(1 + 2);
  EXPECT_FALSE(Apply(1, v));
  ASSERT_FALSE(v.differences.empty());
  EXPECT_EQ(v.differences[0].rfind("macro 1 \"one\", step ", 0), 0u) << v.differences[0];
}

TEST_F(ReadBackTest, LightingWriteIsReadBackInABracketOfItsOwn) {
  lighting::LightingState state;
  state.texts = &texts;
  state.brightness = 4;
  sim.ClearTrace();
  EXPECT_EQ(lighting::SendBrightness(sim.commands, state, 1, 3), lighting::WriteOutcome::Taken);
  EXPECT_TRUE(state.readBack.checked);
  EXPECT_EQ(SentCommands(), (std::vector<std::uint8_t>{device::kCmdBegin, device::kCmdWriteParams, device::kCmdEnd,
                                                       device::kCmdBegin, device::kCmdReadParams, device::kCmdEnd}));

  CorruptAhead(2);  // the parameter write of the next bracket
  EXPECT_EQ(lighting::SendBrightness(sim.commands, state, 1, 1), lighting::WriteOutcome::Refused);
  EXPECT_EQ(state.readBack.differences,
            std::vector<std::string>{"profile 1 lighting, brightness: written 1, the keyboard holds 0"});

  // The default record: two brackets, one read-back after both.
  sim.ClearTrace();
  CorruptAhead(6);  // begin, effect, multicolour, end, begin, the record
  EXPECT_EQ(lighting::SendDefaultLighting(sim.commands, state, 2), lighting::WriteOutcome::Refused);
  EXPECT_EQ(state.readBack.differences,
            std::vector<std::string>{"profile 2 lighting, effect: written 1, the keyboard holds 0"});
  const auto sent = SentCommands();
  ASSERT_EQ(sent.size(), 4u + 3 + 3);
  EXPECT_EQ(sent[6], device::kCmdEnd);
  EXPECT_EQ(sent[8], device::kCmdReadParams);

  // A change that reads back differently leaves the state showing what the keyboard holds.
  CorruptAhead(2);
  state.speedPosition = 0;
  EXPECT_EQ(lighting::ChangeOrRecover(sim.commands, state, 0,
                                      [&] { return lighting::SendSpeed(sim.commands, state, 0, 2); }),
            lighting::WriteOutcome::Refused);
  EXPECT_EQ(state.speed, 3);  // 2 stored as 3 (xor 0x01)
  EXPECT_FALSE(state.readBack.differences.empty());
}

TEST_F(ReadBackTest, ProfileSwitchReadsTheDeviceStateBack) {
  EXPECT_TRUE(service.SetActiveProfile(2));
  EXPECT_TRUE(service.LastReadBack().checked);
  EXPECT_EQ(cache.load(), 2);
  EXPECT_EQ(SentCommands(), (std::vector<std::uint8_t>{device::kCmdReadDeviceState, device::kCmdWriteDeviceState,
                                                       device::kCmdReadDeviceState}));

  CorruptAhead(2);
  EXPECT_FALSE(service.SetActiveProfile(1));
  EXPECT_EQ(cache.load(), -1);
  EXPECT_EQ(service.LastReadBack().differences,
            std::vector<std::string>{"device state, active profile: written 1, the keyboard holds 0"});
}

// The switch sets the active profile only: bytes a keyboard counts or flags with may read
// back otherwise, a wrong profile still fails the switch.
TEST_F(ReadBackTest, ProfileSwitchComparesOnlyTheActiveProfile) {
  sim.keyboard.SetQuirks({.stateNoise = true});
  for (const int profile : {1, 2, 0}) {
    EXPECT_TRUE(service.SetActiveProfile(profile)) << ::testing::PrintToString(service.LastReadBack().differences);
    EXPECT_EQ(cache.load(), profile);
    EXPECT_EQ(sim.keyboard.DeviceState()[device::kStateActiveProfile], profile);
  }
  CorruptAhead(2);
  EXPECT_FALSE(service.SetActiveProfile(1));
  EXPECT_EQ(service.LastReadBack().differences,
            std::vector<std::string>{"device state, active profile: written 1, the keyboard holds 0"});
}

TEST_F(ReadBackTest, RestoreFailsWhenTheKeyboardHoldsSomethingElse) {
  const auto file = dir / "restore.vnp";
  ASSERT_TRUE(profiles::CreateDefaultProfile(file));
  const auto clean = service.RestoreFromFile(file);
  EXPECT_TRUE(clean.applied);
  EXPECT_TRUE(clean.differences.empty());

  CorruptAhead(1 + 1 + 7 + 1);  // begin, the macro header, table 0; the first chunk of table 1
  const auto outcome = service.RestoreFromFile(file);
  EXPECT_TRUE(outcome.loaded);
  EXPECT_FALSE(outcome.applied);
  ASSERT_EQ(outcome.differences.size(), 1u);
  EXPECT_EQ(outcome.differences[0].rfind("profile 1, ", 0), 0u) << outcome.differences[0];
}

TEST_F(ReadBackTest, CorruptIsNumberedLikeTheServiceFaults) {
  std::string error;
  auto plan = sim::FaultPlan::Parse("ff@1,corrupt@2", &error);
  ASSERT_TRUE(plan) << error;
  EXPECT_FALSE(sim::FaultPlan::Parse("corrupt@0", &error));
  sim.service.SetFaults(*plan);
  // Request 1 is refused by the service and never reaches the keyboard; the retry is
  // request 2, the keyboard's first, and is stored corrupted with a success status.
  const std::uint8_t value[1] = {0x20};
  EXPECT_EQ(sim.commands.CmdWriteParams(value, 1, 5), device::kDeviceOk);
  EXPECT_EQ(sim.keyboard.Lighting()[5], 0x21);
  EXPECT_EQ(sim.commands.CmdWriteParams(value, 1, 5), device::kDeviceOk);
  EXPECT_EQ(sim.keyboard.Lighting()[5], 0x20);
}

}  // namespace
}  // namespace vantrel::test
