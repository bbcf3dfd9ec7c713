// Keyboards that use the freedom the protocol leaves them (--sim-quirk): replies that do
// not echo the offset, device-state bytes that change on every read, lighting stored in
// another form of the same meaning. The link and the writers take them.
#include <gtest/gtest.h>

#include <vector>

#include "core/device/config_report.h"
#include "core/lighting/lighting.h"
#include "core/util/bytes.h"
#include "sim_harness.h"

namespace vantrel::test {
namespace {

using namespace vantrel::device;

// A harness whose keyboard uses the quirks from its first request on.
struct QuirkHarness : SimHarness {
  explicit QuirkHarness(sim::Quirks quirks) { keyboard.SetQuirks(quirks); }
};

TEST(SimQuirks, ListsParseAndBadOnesAreRefusedWithTheKinds) {
  struct Case {
    const char* list;
    bool ok, offsetZero, stateNoise, lightingNormalised;
  };
  const Case cases[] = {
      {"offset-zero", true, true, false, false},
      {"state-noise,lighting-normalised", true, false, true, true},
      {"lighting-normalised,offset-zero,state-noise", true, true, true, true},
      {"", false, false, false, false},
      {"offset-zero,", false, false, false, false},
      {"offset_zero", false, false, false, false},
  };
  for (const Case& c : cases) {
    std::string error;
    const auto q = sim::Quirks::Parse(c.list, &error);
    ASSERT_EQ(q.has_value(), c.ok) << c.list;
    if (!q) {
      EXPECT_NE(error.find("offset-zero, state-noise, lighting-normalised"), std::string::npos) << error;
      continue;
    }
    EXPECT_EQ(q->offsetZero, c.offsetZero) << c.list;
    EXPECT_EQ(q->stateNoise, c.stateNoise) << c.list;
    EXPECT_EQ(q->lightingNormalised, c.lightingNormalised) << c.list;
  }
}

// Every request at a non-zero offset is answered with offset 0 and taken at the first
// attempt: key tables, lighting records, key colours and macro chunks.
TEST(SimQuirks, RepliesWithOffsetZeroAreTakenAtTheFirstAttempt) {
  QuirkHarness h({.offsetZero = true});
  std::array<std::uint8_t, kKeyTableSize> table{};
  EXPECT_EQ(h.commands.CmdReadKeyTable(table, 1), kDeviceOk);
  EXPECT_TRUE(std::equal(table.begin(), table.end(), h.keyboard.KeyTables().begin() + kKeyTableSize));
  std::array<std::uint8_t, kPayloadSize> record{};
  EXPECT_EQ(h.commands.CmdReadParams(record, static_cast<int>(kPayloadSize), 84), kDeviceOk);
  EXPECT_EQ(record[0], h.keyboard.Lighting()[84]);
  const std::uint8_t colours[54] = {1, 2, 3};
  EXPECT_EQ(h.commands.CmdWriteKeyColours(colours, 54, 18, 2), kDeviceOk);
  EXPECT_EQ(h.keyboard.KeyColours()[2 * kKeyColourPageSize + 18 * 3], 1);
  std::vector<std::uint8_t> macros(h.keyboard.MacroArea().begin(), h.keyboard.MacroArea().begin() + 130);
  EXPECT_EQ(h.commands.CmdWriteMacroArea(macros), kDeviceOk);

  // 7 + 1 + 1 + 3 requests, no repeats; every reply carried offset 0.
  EXPECT_EQ(h.Lines("> CTRL").size(), 12u);
  for (const auto& line : h.Lines("< CTRL")) {
    const auto bytes = SimHarness::Bytes(line);
    EXPECT_EQ(LoadU16(bytes, kOffsetByte), 0) << line;
  }
}

// What the link learnt about a keyboard holds for the connection: a keyboard that stops
// echoing costs one attempt once, and a keyboard plugged in afterwards is learnt afresh.
TEST(SimQuirks, WhatTheLinkLearntIsUnlearntByATimeoutOrANewConnection) {
  SimHarness h;
  std::array<std::uint8_t, kPayloadSize> read{};
  ASSERT_EQ(h.commands.CmdReadParams(read, static_cast<int>(kPayloadSize), 42), kDeviceOk);
  h.service.ChangeKeyboard([](sim::VirtualKeyboard& k) { k.SetQuirks({.offsetZero = true}); });
  h.ClearTrace();
  EXPECT_EQ(h.commands.CmdReadParams(read, static_cast<int>(kPayloadSize), 42), kDeviceOk);
  EXPECT_EQ(h.commands.CmdReadParams(read, static_cast<int>(kPayloadSize), 84), kDeviceOk);
  EXPECT_EQ(h.Lines("> CTRL").size(), 3u);  // one repeat, then none

  // Echoing is learnt again, then another keyboard that answers offset 0 is plugged in.
  h.service.ChangeKeyboard([](sim::VirtualKeyboard& k) { k.SetQuirks({}); });
  std::array<std::uint8_t, kKeyTableSize> table{};
  ASSERT_EQ(h.commands.CmdReadKeyTable(table, 0), kDeviceOk);
  h.service.Unplug();
  h.service.ChangeKeyboard([](sim::VirtualKeyboard& k) { k.SetQuirks({.offsetZero = true}); });
  h.service.Plug();
  h.ClearTrace();
  EXPECT_EQ(h.commands.CmdReadKeyTable(table, 2), kDeviceOk);
  EXPECT_EQ(h.Lines("> CTRL").size(), 7u);
}

TEST(SimQuirks, StateNoiseChangesTheUndefinedBytesAndTheReplysChecksumOnEveryRead) {
  QuirkHarness h({.stateNoise = true});
  std::array<std::uint8_t, kDeviceStateSize> first{}, second{};
  ASSERT_EQ(h.commands.CmdReadDeviceState(first), kDeviceOk);
  ASSERT_EQ(h.commands.CmdReadDeviceState(second), kDeviceOk);
  EXPECT_FALSE(std::equal(first.begin(), first.begin() + kStateActiveProfile, second.begin()));
  EXPECT_TRUE(std::equal(first.begin() + kStateActiveProfile, first.end(), second.begin() + kStateActiveProfile));
  const auto replies = h.Lines("< CTRL");
  ASSERT_EQ(replies.size(), 2u);
  std::array<ConfigReport, 2> reports{};
  for (std::size_t i = 0; i < 2; ++i) {
    const auto bytes = SimHarness::Bytes(replies[i]);
    std::copy(bytes.begin(), bytes.end(), reports[i].begin());
    EXPECT_FALSE(ReportChecksumValid(reports[i]));
  }
  EXPECT_NE(LoadU16(reports[0], kChecksumByte), LoadU16(reports[1], kChecksumByte));

  // A write carrying the bytes of an earlier read is taken: the keyboard keeps its own.
  first[kStateActiveProfile] = 2;
  EXPECT_EQ(h.commands.CmdWriteDeviceState(first), kDeviceOk);
  EXPECT_EQ(h.keyboard.DeviceState()[kStateActiveProfile], 2);
  first[kStateMacroCapacity] ^= 1;  // a defined byte is still refused
  EXPECT_EQ(h.commands.CmdWriteDeviceState(first), kDeviceStatusFF);
}

// The panel's writes read back in the keyboard's forms and are taken as written.
TEST(SimQuirks, NormalisedLightingIsStoredInItsOtherFormAndTheWritesAreTaken) {
  QuirkHarness h({.lightingNormalised = true});
  lighting::LightingState state;
  EXPECT_EQ(lighting::SendEffect(h.commands, state, 1, 5), lighting::WriteOutcome::Taken);
  EXPECT_EQ(lighting::SendMulticolour(h.commands, state, 1, true), lighting::WriteOutcome::Taken)
      << ::testing::PrintToString(state.readBack.differences);
  EXPECT_EQ(h.keyboard.Lighting()[42 + 4], 0xFF);
  EXPECT_EQ(h.keyboard.Lighting()[42 + 18], 0xFF);
  EXPECT_TRUE(state.multicolour);
  EXPECT_EQ(lighting::SendDefaultLighting(h.commands, state, 2), lighting::WriteOutcome::Taken)
      << ::testing::PrintToString(state.readBack.differences);
  EXPECT_EQ(lighting::SendColour(h.commands, state, 2, lighting::MakeRgb(1, 2, 3)), lighting::WriteOutcome::Taken);
  EXPECT_EQ(h.keyboard.Lighting()[84 + 4], 0);
  EXPECT_FALSE(state.multicolour);
}

}  // namespace
}  // namespace vantrel::test
