// Many transactions through the hidapi service and the device link at once, with
// reports nobody asked for, duplicated and lost replies, keyboard events and replugs.
// Run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "core/device/commands.h"
#include "core/device/config_report.h"
#include "core/util/bytes.h"
#include "platform/hidapi_test_support.h"

namespace vantrel::test {
namespace {

using namespace vantrel::device;

const std::string kConfigNode = "/dev/hidraw10";
const std::string kConsumerNode = "/dev/hidraw11";

// Commands 0xF0..0xFE are never requested here: a report carrying one is foreign.
constexpr std::uint8_t kForeignBase = 0xF0;

// Each worker uses its own range of command bytes, rotating, so a reply that comes
// late can only ever echo a request that is no longer out.
constexpr std::uint8_t kCommandsPerWorker = 0x77;

ConfigReport TokenRequest(int worker, std::uint32_t sequence) {
  std::array<std::uint8_t, 5> token{};
  StoreU32(token, 0, sequence);
  token[4] = static_cast<std::uint8_t>(worker);
  const auto command = static_cast<std::uint8_t>(1 + worker * kCommandsPerWorker + sequence % kCommandsPerWorker);
  return MakeReport(command, static_cast<std::uint8_t>(token.size()), 0, token);
}

ConfigReport ForeignReport(std::minstd_rand& rng) {
  ConfigReport r = MakeReport(static_cast<std::uint8_t>(kForeignBase + rng() % 15), 0, 0);
  for (std::size_t i = kPayloadByte; i < r.size(); ++i) r[i] = static_cast<std::uint8_t>(rng());
  return r;
}

struct Tally {
  std::atomic<int> ok{0};
  std::atomic<int> noReply{0};
  std::atomic<int> absent{0};
  std::atomic<int> refused{0};
  std::atomic<int> other{0};
  std::atomic<int> mismatches{0};

  void Count(DeviceResult result, const ConfigReport& request, const ConfigReport& reply) {
    switch (result) {
      case kDeviceOk:
        ++ok;
        // Accepted: must be the reply to this very request (command and token).
        if (reply[kCommandByte] != request[kCommandByte] ||
            !std::equal(request.begin() + kPayloadByte, request.begin() + kPayloadByte + 5,
                        reply.begin() + kPayloadByte)) {
          ++mismatches;
        }
        break;
      case kDeviceNoReply: ++noReply; break;
      case kDeviceAbsent: ++absent; break;
      case kDeviceWriteRefused: ++refused; break;
      default: ++other; break;
    }
  }
};

TEST(HidapiThreads, SoakTransactionsWithForeignAndLostRepliesAcceptNoMismatch) {
  FakeHidBackend fake;
  fake.AddKeyboard();
  // Per write: 3 % lost, 5 % preceded by a foreign report, 3 % answered twice.
  auto rng = std::make_shared<std::minstd_rand>(20261208);
  fake.SetResponder(kConfigNode, [rng](FakeHidBackend& b, const std::string& path, std::span<const std::uint8_t> req) {
    const auto roll = (*rng)() % 100;
    if (roll < 3) return;
    if (roll < 8) {
      const auto foreign = ForeignReport(*rng);
      b.PushLocked(path, {foreign.begin(), foreign.end()});
    }
    std::vector<std::uint8_t> reply(req.begin(), req.end());
    reply[kStatusByte] = 0;
    b.PushLocked(path, reply);
    if (roll >= 8 && roll < 11) b.PushLocked(path, reply);
  });

  platform::HidapiService service(fake.Functions(), FastOptions());
  ASSERT_EQ(service.Init(0), 1);
  Recorder recorder;
  Tally tally;
  {
    DeviceLink link(service, {std::chrono::milliseconds(2), {}, {}});
    link.SetListener(&recorder);
    link.RegisterConfigRead();
    ServiceHandle cons = 0;
    link.RegisterRead(ConsumerInterfaceSelector, kTagCons, &cons);

    std::atomic<bool> done{false};
    std::thread injector([&] {
      std::minstd_rand local(7);
      while (!done) {
        const auto foreign = ForeignReport(local);
        fake.Push(kConfigNode, {foreign.begin(), foreign.end()});
        fake.Push(kConsumerNode, {0x01, 0x18});
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    });

    constexpr int kWorkers = 2;
    constexpr int kPerWorker = 5000;
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
      workers.emplace_back([&, w] {
        for (std::uint32_t i = 0; i < kPerWorker; ++i) {
          const ConfigReport request = TokenRequest(w, i);
          ConfigReport reply{};
          std::uint32_t received = 0;
          const auto result = link.DeviceTransact(request.data(), kReportSize, reply.data(), kReportSize, received);
          tally.Count(result, request, reply);
        }
      });
    }
    for (auto& t : workers) t.join();
    done = true;
    injector.join();
    EXPECT_TRUE(recorder.WaitForEvents(1));
    service.DeleteRequestFromUnitId(cons);
  }

  EXPECT_EQ(tally.mismatches.load(), 0);
  EXPECT_EQ(tally.ok + tally.noReply, 10000);
  EXPECT_GT(tally.ok.load(), 0);
  EXPECT_EQ(tally.absent + tally.refused + tally.other, 0);
}

TEST(HidapiThreads, TransactionsAcrossRepeatedReplugsEndAndNeverMismatch) {
  FakeHidBackend fake;
  fake.AddKeyboard();
  platform::HidapiService service(fake.Functions(), FastOptions());
  ASSERT_EQ(service.Init(0), 1);
  Recorder recorder;
  Tally tally;
  {
    DeviceLink link(service, {std::chrono::milliseconds(2), {}, {}});
    link.SetListener(&recorder);
    link.RegisterConfigRead();

    std::atomic<bool> done{false};
    std::thread worker([&] {
      for (std::uint32_t i = 0; !done; ++i) {
        const ConfigReport request = TokenRequest(0, i);
        ConfigReport reply{};
        std::uint32_t received = 0;
        tally.Count(link.DeviceTransact(request.data(), kReportSize, reply.data(), kReportSize, received), request,
                    reply);
      }
    });
    for (int cycle = 0; cycle < 50; ++cycle) {
      fake.Unplug();
      ASSERT_TRUE(recorder.WaitForCount(0));
      fake.Plug();
      ASSERT_TRUE(recorder.WaitForCount(1));
    }
    done = true;
    worker.join();

    // After the last replug the keyboard answers again.
    const ConfigReport request = TokenRequest(0, 1);
    ConfigReport reply{};
    std::uint32_t received = 0;
    EXPECT_EQ(link.DeviceTransact(request.data(), kReportSize, reply.data(), kReportSize, received), kDeviceOk);
  }
  EXPECT_EQ(tally.mismatches.load(), 0);
  EXPECT_EQ(tally.other.load(), 0);
  EXPECT_EQ(fake.OpenHandles(), 3);
}

}  // namespace
}  // namespace vantrel::test
