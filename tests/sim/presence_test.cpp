// Presence and keyboard events against the virtual keyboard.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "core/device/presence.h"
#include "sim_harness.h"

namespace vantrel::test {
namespace {

using namespace vantrel::device;

class RecordingWindow final : public PresencePort {
 public:
  void ProfileChanged() override { Add("profile"); }
  void DeviceGone() override { Add("gone"); }
  void GKeyLayerChanged(int layer) override { Add("layer " + std::to_string(layer)); }
  void OpenWindow() override { Add("open"); }
  void ReloadLighting() override { Add("reload"); }
  void ShowTrayIcon(int icon) override { Add("icon " + std::to_string(icon)); }
  bool Ready() const override { return ready.load(); }

  std::vector<std::string> Calls() {
    std::lock_guard lock(mutex);
    return calls;
  }
  void Clear() {
    std::lock_guard lock(mutex);
    calls.clear();
  }
  std::atomic<bool> ready{true};

 private:
  void Add(std::string s) {
    std::lock_guard lock(mutex);
    calls.push_back(std::move(s));
  }
  std::mutex mutex;
  std::vector<std::string> calls;
};

class RecordingMessages final : public text::MessageSink {
 public:
  void ShowMessage(std::string_view text) override {
    std::lock_guard lock(mutex);
    shown.emplace_back(text);
  }
  bool AskYesNo(std::string_view, bool defaultYes) override { return defaultYes; }
  std::mutex mutex;
  std::vector<std::string> shown;
};

class KeyEchoTexts final : public text::TextSource {
 public:
  std::string Text(std::string_view key) const override { return "text:" + std::string(key); }
  std::string LightText(std::string_view key) const override { return std::string(key); }
  std::string ModeText(std::string_view key) const override { return std::string(key); }
};

struct PresenceHarness {
  explicit PresenceHarness(bool present = true) {
    if (!present) {
      sim.service.Unplug();
      sim.ClearTrace();
    }
    initial.fill(0);
    presence = std::make_unique<Presence>(sim.link, sim.commands, window, messages, texts, initial,
                                          PresenceTiming{std::chrono::milliseconds(1), std::chrono::milliseconds(0)});
  }
  ~PresenceHarness() { presence.reset(); }
  void Settle() {
    sim.service.Drain();
    presence->WaitIdle();
    sim.service.Drain();
  }
  SimHarness sim;
  RecordingWindow window;
  RecordingMessages messages;
  KeyEchoTexts texts;
  std::array<std::uint8_t, kKeyTableSize> initial{};
  std::unique_ptr<Presence> presence;
};

TEST(PresenceTest, ArrivalReadsFactoryTableAndStateThenOpensTheWindowOnce) {
  PresenceHarness h;
  h.presence->Start(false);
  h.Settle();
  EXPECT_EQ(h.window.Calls(), (std::vector<std::string>{"profile", "icon 141", "open"}));
  EXPECT_EQ(h.presence->FactoryKeyTable(), h.sim.keyboard.FactoryTable());
  EXPECT_EQ(h.presence->MacroCapacity(), h.sim.keyboard.MacroCapacity());
  // Reads in order: the factory key table (7 chunks of command 0x0F), then the device state.
  const auto sent = h.sim.Lines("> CTRL");
  ASSERT_EQ(sent.size(), 8u);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(SimHarness::Bytes(sent[i])[3], kCmdReadFactoryKeyTable);
  EXPECT_EQ(SimHarness::Bytes(sent[7])[3], kCmdReadDeviceState);

  // Unplug and replug: the window is hidden, then data is reloaded but never opened again.
  h.window.Clear();
  h.sim.service.Unplug();
  h.Settle();
  h.sim.service.Plug();
  h.Settle();
  EXPECT_EQ(h.window.Calls(), (std::vector<std::string>{"gone", "icon 128", "profile", "icon 141"}));
}

TEST(PresenceTest, StartSwitchKeepsTheWindowClosed) {
  PresenceHarness h;
  h.presence->Start(true);
  h.Settle();
  EXPECT_EQ(h.window.Calls(), (std::vector<std::string>{"profile", "icon 141"}));
}

TEST(PresenceTest, NoKeyboardAtStartNeverOpensTheWindowLater) {
  PresenceHarness h(false);
  h.presence->Start(false);
  h.Settle();
  EXPECT_TRUE(h.presence->OpenOnArrival());
  EXPECT_TRUE(h.sim.Lines("> CTRL").empty());
  h.sim.service.Plug();
  h.Settle();
  EXPECT_EQ(h.window.Calls(), (std::vector<std::string>{"profile", "icon 141"}));
}

TEST(PresenceTest, RepeatedCountDoesNothing) {
  PresenceHarness h;
  h.presence->Start(true);
  h.Settle();
  h.window.Clear();
  h.sim.ClearTrace();
  h.presence->OnDeviceCountChanged(1);
  h.Settle();
  EXPECT_TRUE(h.window.Calls().empty());
  EXPECT_TRUE(h.sim.Lines(">").empty());
}

TEST(PresenceTest, UnplugWhileHiddenClearsTheProfileCacheAndSetsTheAbsentIcon) {
  PresenceHarness h;
  h.presence->Start(true);
  h.Settle();
  h.presence->ActiveProfileCache().store(2);
  h.sim.service.Unplug();
  h.Settle();
  EXPECT_EQ(h.presence->ActiveProfileCache().load(), -1);
  EXPECT_EQ(h.presence->PresenceIcon(), kIconAbsent);
  EXPECT_FALSE(h.presence->KeyboardPresent());
}

TEST(PresenceTest, FailedFactoryReadShowsThePromptAndKeepsTheOldTable) {
  PresenceHarness h;
  std::string error;
  h.sim.service.SetFaults(*sim::FaultPlan::Parse("ff@1,ff@2,ff@3", &error));
  h.presence->Start(true);
  h.Settle();
  ASSERT_EQ(h.messages.shown.size(), 1u);
  EXPECT_EQ(h.messages.shown[0], "text:MAIN_DEFAULT_MATRIX_PROMPT");
  EXPECT_EQ(h.presence->FactoryKeyTable(), h.initial);
  EXPECT_EQ(h.presence->MacroCapacity(), h.sim.keyboard.MacroCapacity());  // the state read still ran
}

TEST(PresenceTest, WaitsForTheMainWindowBeforeTheTrayAndTheOpenMessage) {
  PresenceHarness h;
  h.window.ready = false;
  h.presence->Start(false);
  h.sim.service.Drain();
  // The reload message comes first; wait for it (slow under the thread sanitizer), then
  // check that nothing more follows while the window is not ready.
  for (int i = 0; i < 500 && h.window.Calls().empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(h.window.Calls(), (std::vector<std::string>{"profile"}));
  EXPECT_EQ(h.presence->LastDeviceCount(), 0);
  h.window.ready = true;
  h.Settle();
  EXPECT_EQ(h.window.Calls(), (std::vector<std::string>{"profile", "icon 141", "open"}));
}

TEST(PresenceTest, TwoLayerTogglesWriteTheStatusReport0503Then0502) {
  PresenceHarness h;
  h.presence->Start(true);
  h.Settle();
  h.window.Clear();
  h.sim.service.SendKeyboardEvent(kEventGKeyLayer);
  h.Settle();
  h.sim.service.SendKeyboardEvent(kEventGKeyLayer);
  h.Settle();
  EXPECT_EQ(h.sim.Lines("> DEL"), (std::vector<std::string>{"> DEL 05 03", "> DEL 05 02"}));
  EXPECT_EQ(h.sim.Lines("< CONS"), (std::vector<std::string>{"< CONS ff 02", "< CONS ff 02"}));
  EXPECT_EQ(h.window.Calls(), (std::vector<std::string>{"layer 1", "layer 0"}));
  EXPECT_EQ(h.sim.keyboard.LedStatus()[1], 2);
  EXPECT_EQ(GKeyCaptions(1)[0], "B1");
  EXPECT_EQ(GKeyCaptions(0)[4], "A5");
  EXPECT_EQ(GKeyCaptions(0)[5], "");
}

TEST(PresenceTest, IndicatorLightingAndUnknownEvents) {
  PresenceHarness h;
  h.presence->Start(true);
  h.Settle();
  h.window.Clear();
  for (std::uint16_t v : {0x1801, 0x1802, 0x1803, 0x1804, 0x1234}) h.sim.service.SendKeyboardEvent(v);
  h.Settle();
  EXPECT_TRUE(h.window.Calls().empty());
  h.sim.service.SendKeyboardEvent(kEventIndicatorOn);
  h.Settle();
  h.sim.service.SendKeyboardEvent(kEventIndicatorOff);
  h.Settle();
  h.sim.service.SendKeyboardEvent(kEventLightingChanged);
  h.Settle();
  EXPECT_EQ(h.window.Calls(), (std::vector<std::string>{"icon 142", "icon 141", "reload"}));
}

// Fast unplug/replug sequences are handled in order: the end state follows the last count.
TEST(PresenceThreads, CountChangesAreHandledInArrivalOrder) {
  PresenceHarness h;
  h.presence->Start(true);
  h.Settle();
  for (int i = 0; i < 20; ++i) {
    h.sim.service.Unplug();
    h.sim.service.Plug();
  }
  h.sim.service.Unplug();
  h.Settle();
  EXPECT_EQ(h.presence->LastDeviceCount(), 0);
  EXPECT_EQ(h.presence->PresenceIcon(), kIconAbsent);
  const auto calls = h.window.Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back(), "icon 128");
}

}  // namespace
}  // namespace vantrel::test
