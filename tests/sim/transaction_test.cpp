// The report transaction against the virtual keyboard, asserting on the trace.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "core/device/config_report.h"
#include "sim_harness.h"

namespace vantrel::test {
namespace {

using namespace vantrel::device;

ConfigReport Request(std::uint8_t command, std::uint16_t offset = 0, std::uint8_t length = 0) {
  return MakeReport(command, length, offset);
}

TEST(ConfigReportTest, ChecksumCoversBytes3To63LowByteFirst) {
  ConfigReport r = MakeReport(kCmdBegin, 0, 0);
  EXPECT_EQ(r[1], 0x01);
  EXPECT_EQ(r[2], 0x00);
  // 61 bytes of 0xFF: 61 * 255 = 15555 = 0x3CC3; the length field counts like any byte.
  ConfigReport full{};
  for (std::size_t i = 3; i < kReportSize; ++i) full[i] = 0xFF;
  SetReportChecksum(full);
  EXPECT_EQ(full[1], 0xC3);
  EXPECT_EQ(full[2], 0x3C);
  EXPECT_TRUE(ReportChecksumValid(full));
  full[63] = 0;
  EXPECT_FALSE(ReportChecksumValid(full));
}

TEST(TransactionTest, ShortRequestIsPaddedAndLongRequestCut) {
  SimHarness h;
  std::array<std::uint8_t, 80> request{};
  for (std::size_t i = 0; i < request.size(); ++i) request[i] = static_cast<std::uint8_t>(i + 1);
  ConfigReport reply{};
  std::uint32_t received = 0;
  h.link.DeviceTransact(request.data(), 10, reply.data(), 64, received);
  h.link.DeviceTransact(request.data(), 80, reply.data(), 64, received);
  const auto sent = h.Lines("> CTRL");
  ASSERT_GE(sent.size(), 2u);
  const auto first = SimHarness::Bytes(sent[0]);
  ASSERT_EQ(first.size(), 64u);
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(first[i], i + 1);
  for (std::size_t i = 10; i < 64; ++i) EXPECT_EQ(first[i], 0) << i;
  const auto second = SimHarness::Bytes(sent.back());
  ASSERT_EQ(second.size(), 64u);
  EXPECT_EQ(second[63], 64);
}

TEST(TransactionTest, NoKeyboardReturnsAbsentAndSendsNothing) {
  SimHarness h;
  h.service.Unplug();
  h.ClearTrace();
  const auto r = Request(kCmdTest);
  ConfigReport reply{};
  std::uint32_t received = 7;
  EXPECT_EQ(h.link.DeviceTransact(r.data(), 64, reply.data(), 64, received), kDeviceAbsent);
  EXPECT_EQ(received, 0u);
  EXPECT_TRUE(h.Lines(">").empty());
  // The one-way send has no probe: it goes to the service (which refuses it).
  EXPECT_LE(h.link.DeviceSendOneWay(r.data(), 64), 0);
  EXPECT_EQ(h.Lines("> CTRL").size(), 1u);
}

TEST(TransactionTest, ForeignEchoIsNeverAcceptedAndEndsInNoReply) {
  SimHarness h;
  std::string error;
  h.service.SetFaults(*sim::FaultPlan::Parse("echo@1,echo@2,echo@3", &error));
  const auto r = Request(kCmdTest);
  ConfigReport reply{};
  std::uint32_t received = 0;
  EXPECT_EQ(h.link.DeviceTransact(r.data(), 64, reply.data(), 64, received), kDeviceNoReply);
  EXPECT_EQ(h.Lines("> CTRL").size(), 3u);
  EXPECT_EQ(received, 0u);
}

TEST(TransactionTest, LostReplyIsRetriedWithTheSameBytes) {
  SimHarness h;
  std::string error;
  h.service.SetFaults(*sim::FaultPlan::Parse("drop@1", &error));
  const auto r = Request(kCmdReadParams, 42, 56);
  ConfigReport reply{};
  std::uint32_t received = 0;
  EXPECT_EQ(h.link.DeviceTransact(r.data(), 64, reply.data(), 64, received), kDeviceOk);
  const auto sent = h.Lines("> CTRL");
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], sent[1]);
  EXPECT_EQ(received, 64u);
}

TEST(TransactionTest, FailureStatusIsRetriedAndTheThirdIsHandedToTheCaller) {
  SimHarness h;
  std::string error;
  h.service.SetFaults(*sim::FaultPlan::Parse("ff@1,ff@2", &error));
  EXPECT_EQ(h.commands.CmdTest(), kDeviceOk);
  EXPECT_EQ(h.Lines("> CTRL").size(), 3u);

  h.ClearTrace();
  h.service.SetFaults(*sim::FaultPlan::Parse("ff@4,ff@5,ff@6", &error));
  const auto r = Request(kCmdTest);
  ConfigReport reply{};
  std::uint32_t received = 0;
  EXPECT_EQ(h.link.DeviceTransact(r.data(), 64, reply.data(), 64, received), kDeviceOk);
  EXPECT_EQ(reply[kStatusByte], 0xFF);
  h.service.SetFaults(*sim::FaultPlan::Parse("fe@7,fe@8,fe@9", &error));
  EXPECT_EQ(h.commands.CmdTest(), kDeviceStatusFE);
  h.service.SetFaults(*sim::FaultPlan::Parse("ff@10,ff@11,ff@12", &error));
  EXPECT_EQ(h.commands.CmdTest(), kDeviceStatusFF);
}

TEST(TransactionTest, UnsolicitedReportIsIgnoredAndDoesNotWakeALaterTransaction) {
  SimHarness h;
  // A stray reply carrying the next request's command byte arrives while nothing is out.
  ConfigReport stray = MakeReport(kCmdReadParams, 56, 0);
  stray[kPayloadByte] = 0xAB;
  h.service.SendUnsolicitedReply(stray);
  h.service.Drain();
  std::string error;
  h.service.SetFaults(*sim::FaultPlan::Parse("drop@1,drop@2,drop@3", &error));
  const auto r = Request(kCmdReadParams, 0, 56);
  ConfigReport reply{};
  std::uint32_t received = 0;
  EXPECT_EQ(h.link.DeviceTransact(r.data(), 64, reply.data(), 64, received), kDeviceNoReply);
  EXPECT_NE(reply[kPayloadByte], 0xAB);
}

TEST(TransactionTest, ReplyLongerThanCapacityIsCut) {
  SimHarness h;
  const auto r = Request(kCmdTest);
  std::array<std::uint8_t, 64> reply{};
  reply.fill(0xCC);
  std::uint32_t received = 0;
  EXPECT_EQ(h.link.DeviceTransact(r.data(), 64, reply.data(), 16, received), kDeviceOk);
  EXPECT_EQ(received, 16u);
  EXPECT_EQ(reply[16], 0xCC);  // nothing copied past the capacity
}

// A service that refuses every write.
class RefusingService final : public HidService {
 public:
  explicit RefusingService(HidService& inner) : inner_(inner) {}
  int Init(int r) override { return inner_.Init(r); }
  int RequestGetDeviceCount(const DeviceSelector& s, std::uint32_t cb, std::uint32_t t, std::uint32_t c,
                            ServiceHandle* h) override {
    return inner_.RequestGetDeviceCount(s, cb, t, c, h);
  }
  int RequestWriteOne(const DeviceSelector&, std::uint32_t, std::uint32_t, const std::uint8_t*, std::uint32_t,
                      std::uint32_t, ServiceHandle*) override {
    ++writes;
    return 0;
  }
  int RequestAsyncRead(const DeviceSelector& s, ServiceCallback* cb, std::uint32_t t, std::uint32_t c,
                       ServiceHandle* h) override {
    return inner_.RequestAsyncRead(s, cb, t, c, h);
  }
  int RequestStatusWrite(const DeviceSelector& s, ServiceCallback* cb, std::uint32_t t, const std::uint8_t* d,
                         std::uint32_t l, std::uint32_t c, ServiceHandle* h) override {
    return inner_.RequestStatusWrite(s, cb, t, d, l, c, h);
  }
  int DeleteRequestFromUnitId(ServiceHandle h) override { return inner_.DeleteRequestFromUnitId(h); }
  int writes = 0;

 private:
  HidService& inner_;
};

TEST(TransactionTest, RefusedWriteReturnsMinusOneWithoutRetry) {
  sim::VirtualKeyboard keyboard;
  sim::SimulatedHidService service(keyboard, SimHarness::ZeroLatency());
  RefusingService refusing(service);
  DeviceLink link(refusing, FastTiming());
  const auto r = Request(kCmdTest);
  ConfigReport reply{};
  std::uint32_t received = 0;
  EXPECT_EQ(link.DeviceTransact(r.data(), 64, reply.data(), 64, received), kDeviceWriteRefused);
  EXPECT_EQ(refusing.writes, 1);
}

TEST(TransactionTest, TraceLinesHaveTagAndLowerCaseHex) {
  SimHarness h;
  EXPECT_EQ(h.commands.CmdBegin(), kDeviceOk);
  const auto sent = h.Lines("> CTRL ");
  const auto got = h.Lines("< CTRL ");
  ASSERT_EQ(sent.size(), 1u);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(sent[0].substr(0, 23), "> CTRL 04 01 00 01 00 0");
  EXPECT_EQ(sent[0].size(), 7 + 64 * 3 - 1);
  h.service.Unplug();
  EXPECT_EQ(h.Lines("! count 0").size(), 1u);
}

TEST(FaultPlanTest, ParsesKindsAndRejectsBadSpecs) {
  std::string error;
  auto plan = sim::FaultPlan::Parse("drop@1,echo@2,ff@3,fe@4,unplug@5,slow@6", &error);
  ASSERT_TRUE(plan);
  EXPECT_EQ(plan->At(1), sim::Fault::kDrop);
  EXPECT_EQ(plan->At(5), sim::Fault::kUnplug);
  EXPECT_FALSE(plan->At(7));
  for (const char* bad : {"drop", "drop@0", "drop@x", "boom@1", "ff@1,", "@3", "ff@-1"}) {
    EXPECT_FALSE(sim::FaultPlan::Parse(bad, &error)) << bad;
    EXPECT_FALSE(error.empty());
  }
}

TEST(TransactionTest, UnplugInTheMiddleEndsTheTransaction) {
  SimHarness h;
  std::string error;
  h.service.SetFaults(*sim::FaultPlan::Parse("unplug@1", &error));
  const auto r = Request(kCmdTest);
  ConfigReport reply{};
  std::uint32_t received = 0;
  // The reply never comes; the retries find the keyboard gone and the service refuses.
  const auto result = h.link.DeviceTransact(r.data(), 64, reply.data(), 64, received);
  EXPECT_TRUE(result == kDeviceWriteRefused || result == kDeviceNoReply) << result;
  EXPECT_EQ(h.link.DeviceCount(), 0);
}

// The frame model: a write hands its report over at once, and the reply comes one frame
// for the report and one for the reply after the write. Replies to writes made back to
// back come in the order of the writes.
TEST(TransactionTest, RepliesComeTwoFramesAfterTheirWriteAndInWriteOrder) {
  using namespace std::chrono_literals;
  sim::SimOptions options = SimHarness::ZeroLatency();
  options.latency = 50ms;
  SimHarness h(options);
  auto repliesSoFar = [&h] {
    std::lock_guard lock(h.mutex);
    return std::count_if(h.lines.begin(), h.lines.end(), [](const std::string& l) { return l.rfind("< ", 0) == 0; });
  };
  const auto begin = Request(kCmdBegin);
  const auto test = Request(kCmdTest);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_GT(h.link.DeviceSendOneWay(begin.data(), 64), 0);
  ASSERT_GT(h.link.DeviceSendOneWay(test.data(), 64), 0);
  EXPECT_EQ(repliesSoFar(), 0);
  h.service.Drain();
  EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
  const auto got = h.Lines("< CTRL");
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(SimHarness::Bytes(got[0])[kCommandByte], kCmdBegin);
  EXPECT_EQ(SimHarness::Bytes(got[1])[kCommandByte], kCmdTest);

  ConfigReport reply{};
  std::uint32_t received = 0;
  const auto again = std::chrono::steady_clock::now();
  ASSERT_EQ(h.link.DeviceTransact(test.data(), 64, reply.data(), 64, received), kDeviceOk);
  EXPECT_GE(std::chrono::steady_clock::now() - again, 100ms);
  EXPECT_EQ(reply[kCommandByte], kCmdTest);
}

// Transactions from several threads: each gets the reply to its own request.
TEST(TransactionThreads, ConcurrentCallersQueueAndGetTheirOwnReplies) {
  sim::SimOptions options = SimHarness::ZeroLatency();
  options.latency = std::chrono::microseconds(50);
  SimHarness h(options);
  for (std::size_t i = 0; i < kLightingAreaSize; ++i) h.keyboard.Lighting()[i] = static_cast<std::uint8_t>(i);
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        const std::uint16_t offset = static_cast<std::uint16_t>((t * 31 + i) % 120);
        std::array<std::uint8_t, kPayloadSize> out{};
        if (h.commands.CmdReadParams(out, 1, offset) != kDeviceOk || out[0] != offset) ++mismatches;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
}  // namespace vantrel::test
