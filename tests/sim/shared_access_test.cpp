// The keyboard held against other programs and other threads: a bracket is one turn from
// its begin to its end, a busy keyboard refuses the whole bracket without sending any of
// it, threads of one program take turns, and reports that answer no request that is out
// are never taken as the reply.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/device/config_report.h"
#include "core/lighting/lighting.h"
#include "sim_harness.h"

namespace vantrel::test {
namespace {

using namespace vantrel::device;

// Records the turns the link takes; refuses them while `busy`.
class RecordingAccess final : public SharedAccess {
 public:
  bool Take(bool) override {
    std::lock_guard lock(mutex);
    if (busy) {
      events.push_back("refused");
      return false;
    }
    events.push_back("take");
    return true;
  }
  void Give(bool wrote) override {
    std::lock_guard lock(mutex);
    events.push_back(wrote ? "give wrote" : "give");
  }
  std::vector<std::string> Events() {
    std::lock_guard lock(mutex);
    return events;
  }
  void Clear() {
    std::lock_guard lock(mutex);
    events.clear();
  }

  std::mutex mutex;
  std::vector<std::string> events;
  bool busy = false;
};

std::vector<std::uint8_t> Payload(std::size_t n, std::uint8_t value) { return std::vector<std::uint8_t>(n, value); }

TEST(SharedAccessTest, ABracketIsOneTurnAndAReadIsATurnOfItsOwn) {
  SimHarness h;
  RecordingAccess access;
  h.link.SetSharedAccess(&access);

  EXPECT_EQ(h.commands.CmdBegin(), kDeviceOk);
  const auto bytes = Payload(3, 0x11);
  EXPECT_EQ(h.commands.CmdWriteParams(bytes, 3, 0), kDeviceOk);
  EXPECT_EQ(h.commands.CmdWriteParams(bytes, 3, 42), kDeviceOk);
  EXPECT_EQ(access.Events(), std::vector<std::string>{"take"});  // still held inside the bracket
  EXPECT_EQ(h.commands.CmdEnd(), kDeviceOk);
  EXPECT_EQ(access.Events(), (std::vector<std::string>{"take", "give wrote"}));

  access.Clear();
  std::array<std::uint8_t, kDeviceStateSize> state{};
  EXPECT_EQ(h.commands.CmdReadDeviceState(state), kDeviceOk);
  EXPECT_EQ(access.Events(), (std::vector<std::string>{"take", "give"}));

  // The profile switch writes the device state outside any bracket: still a change.
  access.Clear();
  EXPECT_EQ(h.commands.CmdWriteDeviceState(state), kDeviceOk);
  EXPECT_EQ(access.Events(), (std::vector<std::string>{"take", "give wrote"}));
}

TEST(SharedAccessTest, NestedBracketsAndHoldsGiveBackOnlyAtTheOutermostEnd) {
  SimHarness h;
  RecordingAccess access;
  h.link.SetSharedAccess(&access);
  {
    KeyboardHold hold(h.link);
    ASSERT_TRUE(hold.Held());
    (void)h.commands.CmdBegin();
    (void)h.commands.CmdBegin();
    (void)h.commands.CmdEnd();
    std::array<std::uint8_t, kDeviceStateSize> state{};
    (void)h.commands.CmdReadDeviceState(state);
    (void)h.commands.CmdEnd();
    EXPECT_EQ(access.Events(), std::vector<std::string>{"take"});
  }
  EXPECT_EQ(access.Events(), (std::vector<std::string>{"take", "give"}));
  // An end with no begin before it does not give back a turn it never took.
  access.Clear();
  (void)h.commands.CmdEnd();
  (void)h.commands.CmdTest();
  EXPECT_EQ(access.Events(), (std::vector<std::string>{"take", "give", "take", "give"}));
}

TEST(SharedAccessTest, ABusyKeyboardRefusesTheWholeBracketAndSendsNothingOfIt) {
  SimHarness h;
  RecordingAccess access;
  h.link.SetSharedAccess(&access);
  h.ClearTrace();
  access.busy = true;
  EXPECT_EQ(h.commands.CmdBegin(), kDeviceBusy);
  access.busy = false;  // free again in the middle: the rest of the bracket is still not sent
  const auto bytes = Payload(3, 0x22);
  EXPECT_EQ(h.commands.CmdWriteParams(bytes, 3, 0), kDeviceBusy);
  EXPECT_EQ(h.commands.CmdEnd(), kDeviceBusy);
  EXPECT_TRUE(h.Lines("> CTRL").empty());
  EXPECT_EQ(access.Events(), std::vector<std::string>{"refused"});
  EXPECT_EQ(DescribeResult(kDeviceBusy), "the keyboard is busy with another program");

  // The next bracket is sent whole.
  EXPECT_EQ(h.commands.CmdBegin(), kDeviceOk);
  EXPECT_EQ(h.commands.CmdWriteParams(bytes, 3, 0), kDeviceOk);
  EXPECT_EQ(h.commands.CmdEnd(), kDeviceOk);
  EXPECT_EQ(h.Lines("> CTRL").size(), 3u);
  EXPECT_EQ(h.keyboard.Lighting()[0], 0x22);
}

TEST(SharedAccessTest, ALightingChangeOnABusyKeyboardIsRefusedAndSendsNothing) {
  SimHarness h;
  RecordingAccess access;
  access.busy = true;
  h.link.SetSharedAccess(&access);
  h.ClearTrace();
  lighting::LightingState state;
  EXPECT_EQ(lighting::SendBrightness(h.commands, state, 0, 2), lighting::WriteOutcome::Refused);
  EXPECT_TRUE(h.Lines("> CTRL").empty());
}

// Another thread of the program waits for the bracket to end: its request never lands
// between the begin and the end.
TEST(SharedAccessTest, AnotherThreadsRequestWaitsForTheBracketToEnd) {
  SimHarness h;
  h.ClearTrace();
  std::promise<void> begun;
  std::promise<void> otherStarted;
  std::thread bracket([&] {
    (void)h.commands.CmdBegin();
    begun.set_value();
    otherStarted.get_future().wait();
    // Long enough for the other thread's request to have gone out, were it not held.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto bytes = Payload(3, 0x33);
    (void)h.commands.CmdWriteParams(bytes, 3, 0);
    (void)h.commands.CmdEnd();
  });
  begun.get_future().wait();
  std::thread other([&] {
    otherStarted.set_value();
    EXPECT_EQ(h.commands.CmdTest(), kDeviceOk);
  });
  bracket.join();
  other.join();
  std::vector<int> commands;
  for (const auto& line : h.Lines("> CTRL")) commands.push_back(SimHarness::Bytes(line)[kCommandByte]);
  EXPECT_EQ(commands, (std::vector<int>{kCmdBegin, kCmdWriteParams, kCmdEnd, kCmdTest}));
}

// Several threads at once, each sending brackets of its own bytes and lone requests:
// more than one thread waits for the keyboard at a time, and each is let in when the
// holder gives it back. No bracket holds a request of another thread, the turns never
// overlap, and every request is sent.
TEST(SharedAccessTest, ThreadsWaitingTogetherTakeTurnsAndNoBracketIsInterleaved) {
  SimHarness h;
  RecordingAccess access;
  h.link.SetSharedAccess(&access);
  h.ClearTrace();
  constexpr int kThreads = 3;
  constexpr int kRounds = 20;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&h, t] {
      const auto bytes = Payload(3, static_cast<std::uint8_t>(0x40 + t));
      for (int round = 0; round < kRounds; ++round) {
        EXPECT_EQ(h.commands.CmdBegin(), kDeviceOk);
        EXPECT_EQ(h.commands.CmdWriteParams(bytes, 3, 0), kDeviceOk);
        EXPECT_EQ(h.commands.CmdWriteParams(bytes, 3, 42), kDeviceOk);
        EXPECT_EQ(h.commands.CmdEnd(), kDeviceOk);
        EXPECT_EQ(h.commands.CmdTest(), kDeviceOk);
      }
    });
  }
  for (auto& thread : threads) thread.join();

  int inBracket = -1;  // the writer of the bracket that is open, -1: none
  int brackets = 0;
  for (const auto& line : h.Lines("> CTRL")) {
    const auto b = SimHarness::Bytes(line);
    const int command = b[kCommandByte];
    if (command == kCmdBegin) {
      EXPECT_EQ(inBracket, -1) << "a bracket began inside another";
      inBracket = -2;
    } else if (command == kCmdWriteParams) {
      const int writer = b[kPayloadByte] - 0x40;
      ASSERT_NE(inBracket, -1) << "a write outside its bracket";
      if (inBracket == -2) inBracket = writer;
      EXPECT_EQ(writer, inBracket) << "another thread's write inside a bracket";
    } else if (command == kCmdEnd) {
      inBracket = -1;
      ++brackets;
    } else {
      EXPECT_EQ(inBracket, -1) << "a lone request inside a bracket";
    }
  }
  EXPECT_EQ(brackets, kThreads * kRounds);
  const auto events = access.Events();
  ASSERT_EQ(events.size(), 2u * 2 * kThreads * kRounds);
  for (std::size_t i = 0; i < events.size(); i += 2) {
    EXPECT_EQ(events[i], "take");
    EXPECT_EQ(events[i + 1].rfind("give", 0), 0u);
  }
}

TEST(SharedAccessTest, AThreadWaitingForTheKeyboardGivesUpAfterItsBound) {
  LinkTiming timing = FastTiming();
  timing.holdWait = std::chrono::milliseconds(30);
  SimHarness h(SimHarness::ZeroLatency(), timing);
  KeyboardHold mine(h.link);
  ASSERT_TRUE(mine.Held());
  std::thread other([&] {
    KeyboardHold theirs(h.link);
    EXPECT_FALSE(theirs.Held());
    EXPECT_EQ(h.commands.CmdTest(), kDeviceBusy);
  });
  other.join();
}

// The keyboard unplugged inside a bracket: the end request finds no keyboard, yet the hold
// its begin took is given back, so other threads (the UI thread saving the virtual
// keyboard's state at exit) do not wait for a bracket that never ends.
TEST(SharedAccessTest, ABracketWhoseKeyboardWentStillGivesTheKeyboardBack) {
  SimHarness h;
  RecordingAccess access;
  h.link.SetSharedAccess(&access);
  std::thread worker([&] {
    EXPECT_EQ(h.commands.CmdBegin(), kDeviceOk);
    h.service.Unplug();
    h.service.Drain();
    EXPECT_EQ(h.commands.CmdEnd(), kDeviceAbsent);
  });
  worker.join();
  EXPECT_EQ(access.Events(), (std::vector<std::string>{"take", "give"}));
  h.link.SetNeverWaitThread(std::this_thread::get_id());
  KeyboardHold mine(h.link);
  EXPECT_TRUE(mine.Held());
}

// The UI thread never waits for the keyboard: with another thread holding it (for as long
// as the default bound), its hold fails at once rather than after the bound, and it never
// asks other programs to wait either.
TEST(SharedAccessTest, TheThreadThatMustNeverWaitFailsAtOnceWhenTheKeyboardIsHeld) {
  SimHarness h;
  RecordingAccess access;
  h.link.SetSharedAccess(&access);
  h.link.SetNeverWaitThread(std::this_thread::get_id());
  std::promise<void> held;
  std::promise<void> release;
  std::thread worker([&] {
    KeyboardHold theirs(h.link);
    held.set_value();
    release.get_future().wait();
  });
  held.get_future().wait();
  const auto start = std::chrono::steady_clock::now();
  {
    KeyboardHold mine(h.link);
    EXPECT_FALSE(mine.Held());
  }
  EXPECT_EQ(h.commands.CmdTest(), kDeviceBusy);
  EXPECT_LT(std::chrono::steady_clock::now() - start, h.link.Timing().holdWait / 2);
  release.set_value();
  worker.join();
  // Free again: the same thread takes it.
  KeyboardHold again(h.link);
  EXPECT_TRUE(again.Held());
}

// A reply to another request with the same command (here: another offset) arriving while
// a request is out is dropped on a keyboard seen echoing offsets; the request gets its own
// reply.
TEST(StrayReportTest, AReplyEchoingAnotherOffsetIsNotTakenAsTheReply) {
  sim::VirtualKeyboard keyboard;
  keyboard.Lighting()[0] = 0x5A;
  sim::SimulatedHidService service(keyboard, SimHarness::ZeroLatency());
  std::atomic<bool> inject{false};
  ConfigReport stray = MakeReport(kCmdReadParams, kPayloadSize, 42);
  stray[kPayloadByte] = 0xAB;
  SetReportChecksum(stray);
  TracingHidService tracer(service, [&](std::string_view line) {
    // Just before the request goes out, a stray reply is on its way.
    if (line.rfind("> CTRL", 0) == 0 && inject.exchange(false)) service.SendUnsolicitedReply(stray);
  });
  DeviceLink link(tracer, FastTiming());
  link.RegisterConfigRead();
  CommandSet commands(link);
  std::array<std::uint8_t, kPayloadSize> read{};
  ASSERT_EQ(commands.CmdReadParams(read, static_cast<int>(kPayloadSize), 84), kDeviceOk);  // echoes 84
  inject = true;
  EXPECT_EQ(commands.CmdReadParams(read, static_cast<int>(kPayloadSize), 0), kDeviceOk);
  EXPECT_FALSE(inject.load());
  EXPECT_EQ(read[0], 0x5A);
}

TEST(StrayReportTest, AReportThatArrivedWithNoRequestOutIsNeverTheNextReply) {
  SimHarness h;
  h.keyboard.Lighting()[0] = 0x5A;
  // Same command and offset as the next request: only its timing tells it apart.
  ConfigReport stray = MakeReport(kCmdReadParams, kPayloadSize, 0);
  stray[kPayloadByte] = 0xAB;
  SetReportChecksum(stray);
  h.service.SendUnsolicitedReply(stray);
  h.service.Drain();
  std::array<std::uint8_t, kPayloadSize> read{};
  EXPECT_EQ(h.commands.CmdReadParams(read, static_cast<int>(kPayloadSize), 0), kDeviceOk);
  EXPECT_EQ(read[0], 0x5A);
}

}  // namespace
}  // namespace vantrel::test
