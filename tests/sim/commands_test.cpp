// The command set's framing and chunking, asserted on the trace of the virtual keyboard.
#include <gtest/gtest.h>

#include "sim_harness.h"

namespace vantrel::test {
namespace {

using namespace vantrel::device;

struct Sent {
  std::uint8_t command;
  std::uint8_t length;
  std::uint16_t offset;
  std::vector<std::uint8_t> bytes;
};

std::vector<Sent> SentRequests(SimHarness& h) {
  std::vector<Sent> out;
  for (const auto& line : h.Lines("> CTRL")) {
    auto b = SimHarness::Bytes(line);
    out.push_back({b[3], b[4], static_cast<std::uint16_t>(b[5] | b[6] << 8), b});
  }
  return out;
}

TEST(CommandSetTest, KeyTableTwoIsReadInSevenChunksFromOffset756) {
  SimHarness h;
  std::array<std::uint8_t, kKeyTableSize> table{};
  ASSERT_EQ(h.commands.CmdReadKeyTable(table, 2), kDeviceOk);
  const auto sent = SentRequests(h);
  ASSERT_EQ(sent.size(), 7u);
  const std::uint16_t offsets[] = {756, 812, 868, 924, 980, 1036, 1092};
  for (std::size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(sent[i].command, kCmdReadKeyTable);
    EXPECT_EQ(sent[i].offset, offsets[i]);
    EXPECT_EQ(sent[i].length, i < 6 ? 56 : 42);
  }
  EXPECT_TRUE(std::equal(table.begin(), table.end(), h.keyboard.KeyTables().begin() + 756));
}

TEST(CommandSetTest, KeyTableIndexThreeIsRefusedBeforeSending) {
  SimHarness h;
  std::array<std::uint8_t, kKeyTableSize> table{};
  EXPECT_EQ(h.commands.CmdReadKeyTable(table, 3), kDeviceIndexRange);
  EXPECT_EQ(h.commands.CmdWriteKeyTable(table, 7), kDeviceIndexRange);
  EXPECT_TRUE(SentRequests(h).empty());
}

TEST(CommandSetTest, MacroWriteIsChunkedAndTheBufferIsNotClearedBetweenChunks) {
  SimHarness h;
  std::vector<std::uint8_t> block(100);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(0x80 + i);
  ASSERT_EQ(h.commands.CmdWriteMacroArea(block), kDeviceOk);
  const auto sent = SentRequests(h);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].offset, 0);
  EXPECT_EQ(sent[0].length, 56);
  EXPECT_EQ(sent[1].offset, 56);
  EXPECT_EQ(sent[1].length, 44);
  // Bytes 44..55 of the second payload still hold the first chunk's bytes 44..55.
  for (std::size_t i = 44; i < 56; ++i) EXPECT_EQ(sent[1].bytes[8 + i], block[i]) << i;
  EXPECT_TRUE(ReportChecksumValid(std::span<const std::uint8_t, 64>(sent[1].bytes.data(), 64)));
  EXPECT_TRUE(std::equal(block.begin(), block.end(), h.keyboard.MacroArea().begin()));
}

TEST(CommandSetTest, EmptyMacroReadSucceedsWithoutSending) {
  SimHarness h;
  EXPECT_EQ(h.commands.CmdReadMacroArea({}), kDeviceOk);
  EXPECT_EQ(h.commands.CmdWriteMacroArea({}), kDeviceOk);
  EXPECT_TRUE(SentRequests(h).empty());
}

TEST(CommandSetTest, FailureInThirdChunkStopsTheWriteAndKeepsEarlierChunks) {
  SimHarness h;
  std::string error;
  h.service.SetFaults(*sim::FaultPlan::Parse("fe@3,fe@4,fe@5", &error));
  std::array<std::uint8_t, kKeyTableSize> table{};
  table.fill(0x42);
  EXPECT_EQ(h.commands.CmdWriteKeyTable(table, 1), kDeviceStatusFE);
  const auto& stored = h.keyboard.KeyTables();
  for (std::size_t i = 0; i < 112; ++i) EXPECT_EQ(stored[378 + i], 0x42) << i;
  EXPECT_NE(stored[378 + 112], 0x42);  // the third chunk's data never arrived
  EXPECT_EQ(SentRequests(h).size(), 5u);  // two chunks and three attempts at the third
}

TEST(CommandSetTest, TheLastFailureNamesItsCommandAndResultAndCountsEachFailure) {
  SimHarness h;
  EXPECT_EQ(h.commands.LastFailure().count, 0u);
  std::string error;
  // The third chunk of a key-table write is refused three times (every attempt).
  h.service.SetFaults(*sim::FaultPlan::Parse("fe@3,fe@4,fe@5", &error));
  std::array<std::uint8_t, kKeyTableSize> table{};
  ASSERT_EQ(h.commands.CmdWriteKeyTable(table, 1), kDeviceStatusFE);
  auto failure = h.commands.LastFailure();
  EXPECT_EQ(failure.count, 1u);
  EXPECT_EQ(failure.command, kCmdWriteKeyTable);
  EXPECT_EQ(failure.result, kDeviceStatusFE);
  // A success leaves the record as it was; the next failure replaces it.
  std::array<std::uint8_t, kDeviceStateSize> state{};
  ASSERT_EQ(h.commands.CmdReadDeviceState(state), kDeviceOk);
  EXPECT_EQ(h.commands.LastFailure().count, 1u);
  sim::FaultPlan plan;
  for (std::uint64_t i = 1; i <= 3; ++i) plan.Add(h.service.ConfigRequests() + i, sim::Fault::kStatusFF);
  h.service.SetFaults(plan);
  ASSERT_EQ(h.commands.CmdWriteDeviceState(state), kDeviceStatusFF);
  failure = h.commands.LastFailure();
  EXPECT_EQ(failure.count, 2u);
  EXPECT_EQ(failure.command, kCmdWriteDeviceState);
  EXPECT_EQ(failure.result, kDeviceStatusFF);
  EXPECT_EQ(CommandName(kCmdWriteDeviceState), "write device state");
  EXPECT_EQ(CommandName(kCmdReserved0B), "command 0x0b");
}

TEST(CommandSetTest, BootRequestHasNoChecksumAndIsOneWay) {
  SimHarness h;
  EXPECT_EQ(h.commands.CmdEnterBoot(), 1);
  const auto sent = SentRequests(h);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].bytes[0], 4);
  EXPECT_EQ(sent[0].bytes[1], 0);
  EXPECT_EQ(sent[0].bytes[2], 0);
  EXPECT_EQ(sent[0].bytes[3], 0xEE);
  EXPECT_EQ(sent[0].bytes[4], 0xEE);
  EXPECT_TRUE(h.Lines("< CTRL").empty());
  EXPECT_EQ(h.link.DeviceCount(), 0);  // the keyboard left for its boot mode
  EXPECT_EQ(h.Lines("! count 0").size(), 1u);
}

TEST(CommandSetTest, SingleReportCommandsPlaceLengthOffsetAndPayload) {
  SimHarness h;
  const std::uint8_t colour[] = {1, 2, 3};
  ASSERT_EQ(h.commands.CmdWriteKeyColours(colour, 3, 110, 1), kDeviceOk);
  const std::uint8_t params[] = {9};
  ASSERT_EQ(h.commands.CmdWriteParams(params, 1, 84 + 4), kDeviceOk);
  const auto sent = SentRequests(h);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].command, kCmdWriteKeyColours);
  EXPECT_EQ(sent[0].offset, 512 + 330);
  EXPECT_EQ(sent[0].length, 3);
  EXPECT_EQ(sent[0].bytes[8], 1);
  EXPECT_EQ(sent[0].bytes[11], 0);  // single-report payloads are zero after the data
  EXPECT_EQ(h.keyboard.KeyColours()[512 + 330 + 2], 3);
  EXPECT_EQ(sent[1].offset, 88);
  EXPECT_EQ(h.keyboard.Lighting()[88], 9);
  EXPECT_EQ(h.keyboard.UnbracketedWrites(), 2u);  // neither write was bracketed
}

TEST(CommandSetTest, ReadParamsCopiesAll56BytesAndZerosPastTheArea) {
  SimHarness h;
  std::array<std::uint8_t, kPayloadSize> out{};
  out.fill(0x77);
  ASSERT_EQ(h.commands.CmdReadParams(out, 56, 84), kDeviceOk);
  for (std::size_t i = 0; i < 42; ++i) EXPECT_EQ(out[i], h.keyboard.Lighting()[84 + i]);
  for (std::size_t i = 42; i < 56; ++i) EXPECT_EQ(out[i], 0) << i;
  EXPECT_EQ(h.commands.CmdReadParams(out, 56, 126), kDeviceStatusFF);
}

TEST(CommandSetTest, BracketIsTrackedByTheKeyboard) {
  SimHarness h;
  const std::uint8_t b[] = {5};
  h.commands.CmdBegin();
  EXPECT_TRUE(h.keyboard.InBracket());
  h.commands.CmdWriteParams(b, 1, 1);
  h.commands.CmdEnd();
  EXPECT_FALSE(h.keyboard.InBracket());
  EXPECT_EQ(h.keyboard.UnbracketedWrites(), 0u);
}

}  // namespace
}  // namespace vantrel::test
