// The lighting and key-colour operations against the virtual keyboard, checked on the
// trace of the reports that cross the service boundary and on the keyboard's memory.
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "core/device/commands.h"
#include "core/device/device_link.h"
#include "core/device/tracing_service.h"
#include "core/lighting/key_colours.h"
#include "core/lighting/lighting.h"
#include "core/text/ini_file.h"
#include "sim/fault_plan.h"
#include "sim/simulated_hid_service.h"
#include "sim/virtual_keyboard.h"

namespace vantrel::lighting {
namespace {

struct Sent {
  int command;
  int length;
  int offset;
  std::vector<int> payload;  // bytes 8.. up to the length
};

class LightingOnVirtualKeyboard : public ::testing::Test {
 protected:
  LightingOnVirtualKeyboard()
      : service_(keyboard_, sim::SimOptions{std::chrono::microseconds(0), {}, std::chrono::microseconds(0)}),
        tracer_(service_, [this](std::string_view line) {
          std::lock_guard lock(mutex_);
          lines_.emplace_back(line);
        }),
        link_(tracer_, device::LinkTiming{std::chrono::milliseconds(1000), std::chrono::milliseconds(0),
                                          std::chrono::milliseconds(0)}),
        commands_(link_) {
    link_.RegisterConfigRead();
    dir_ = std::filesystem::temp_directory_path() /
           ("vantrel_lightsim_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  ~LightingOnVirtualKeyboard() override { std::filesystem::remove_all(dir_); }

  // Host-to-keyboard reports of the trace, decoded.
  std::vector<Sent> SentReports() {
    service_.Drain();
    std::lock_guard lock(mutex_);
    std::vector<Sent> out;
    for (const auto& line : lines_) {
      if (line.rfind("> CTRL ", 0) != 0) continue;
      std::istringstream in(line.substr(7));
      std::vector<int> b;
      std::string hex;
      while (in >> hex) b.push_back(std::stoi(hex, nullptr, 16));
      if (b.size() != 64) continue;
      Sent s{b[3], b[4], b[5] | (b[6] << 8), {}};
      if (s.command == device::kCmdWriteParams || s.command == device::kCmdWriteKeyColours) {
        s.payload.assign(b.begin() + 8, b.begin() + 8 + s.length);
      }
      out.push_back(s);
    }
    return out;
  }
  void ClearTrace() {
    service_.Drain();
    std::lock_guard lock(mutex_);
    lines_.clear();
  }
  static std::vector<int> Commands(const std::vector<Sent>& s) {
    std::vector<int> c;
    for (const auto& x : s) c.push_back(x.command);
    return c;
  }

  sim::VirtualKeyboard keyboard_;
  sim::SimulatedHidService service_;
  std::mutex mutex_;
  std::vector<std::string> lines_;
  device::TracingHidService tracer_;
  device::DeviceLink link_;
  device::CommandSet commands_;
  std::filesystem::path dir_;
  LightingState state_;
};

TEST_F(LightingOnVirtualKeyboard, LoadsTheFactoryRecordsInOneBracket) {
  ASSERT_EQ(LoadLighting(commands_, state_, 2, LoadOccasion::Connection, dir_ / "wskb.ini"), kLoadOk);
  const auto sent = SentReports();
  EXPECT_EQ(Commands(sent), (std::vector<int>{0x03, 0x01, 0x05, 0x05, 0x05, 0x02}));
  EXPECT_EQ(sent[2].offset, 0);
  EXPECT_EQ(sent[3].offset, 42);
  EXPECT_EQ(sent[4].offset, 84);
  EXPECT_EQ(sent[4].length, 56);
  for (int code = 1; code <= 18; ++code) EXPECT_TRUE(EffectListHolds(state_.supportedEffects, code)) << code;
  EXPECT_FALSE(EffectListHolds(state_.supportedEffects, 19));
  EXPECT_TRUE(EffectListHolds(state_.supportedEffects, 20));
  EXPECT_EQ(state_.effect, keyboard_.Lighting()[84]);
  EXPECT_EQ(state_.records[1][0], keyboard_.Lighting()[42]);
}

TEST_F(LightingOnVirtualKeyboard, ParameterWritesReachTheRecordOfTheProfile) {
  LoadLighting(commands_, state_, 2, LoadOccasion::Other, dir_ / "wskb.ini");
  ClearTrace();
  state_.multicolour = true;
  SendColour(commands_, state_, 2, MakeRgb(0x12, 0x34, 0x56));
  SendEffect(commands_, state_, 2, 13);
  const auto sent = SentReports();
  // Each bracket is followed by a read bracket of the record.
  EXPECT_EQ(Commands(sent), (std::vector<int>{1, 6, 6, 2, 1, 5, 2, 1, 6, 6, 2, 1, 5, 2}));
  EXPECT_EQ(sent[1].offset, 88);
  EXPECT_EQ(sent[1].payload, std::vector<int>{0});
  EXPECT_EQ(sent[2].offset, 89);
  EXPECT_EQ(sent[2].payload, (std::vector<int>{0x12, 0x34, 0x56}));
  EXPECT_EQ(sent[5].offset, 84);
  EXPECT_EQ(sent[8].offset, 84);
  EXPECT_EQ(sent[9].offset, 88);
  const auto& area = keyboard_.Lighting();
  EXPECT_EQ(area[84], 13);
  EXPECT_EQ(area[88], 0);
  EXPECT_EQ(area[89], 0x12);
  EXPECT_EQ(area[91], 0x56);
  EXPECT_EQ(keyboard_.UnbracketedWrites(), 0u);
}

// A change the keyboard refuses says so, and the state then follows the record the
// keyboard holds (read back), or, when that cannot be read either, what it was before.
TEST_F(LightingOnVirtualKeyboard, RefusedChangeIsReportedAndTheStateFollowsTheKeyboard) {
  ASSERT_EQ(LoadLighting(commands_, state_, 1, LoadOccasion::Other, dir_ / "wskb.ini"), kLoadOk);
  EXPECT_EQ(ChangeOrRecover(commands_, state_, 1, [&] { return SendReportRate(commands_, state_, 1, 2); }),
            WriteOutcome::Taken);
  EXPECT_EQ(keyboard_.Lighting()[42 + 15], 2);
  EXPECT_EQ(state_.reportRate, 2);

  // The keyboard changed the rate on its own meanwhile, then refuses the write (request
  // 2 of the bracket, and its two retries): the rate read back is shown.
  keyboard_.Lighting()[42 + 15] = 3;
  sim::FaultPlan faults;
  auto next = service_.ConfigRequests();
  for (std::uint64_t n = next + 2; n <= next + 4; ++n) faults.Add(n, sim::Fault::kStatusFF);
  service_.SetFaults(faults);
  ClearTrace();
  EXPECT_EQ(ChangeOrRecover(commands_, state_, 1, [&] { return SendReportRate(commands_, state_, 1, 0); }),
            WriteOutcome::Refused);
  EXPECT_EQ(Commands(SentReports()), (std::vector<int>{1, 6, 6, 6, 2, 1, 5, 2}));
  EXPECT_EQ(keyboard_.Lighting()[42 + 15], 3);
  EXPECT_EQ(state_.reportRate, 3);
  EXPECT_EQ(state_.records[1][15], 3);

  // Nothing answers at all: the state is what it was before the change.
  const LightingState before = state_;
  faults = {};
  next = service_.ConfigRequests();
  for (std::uint64_t n = next + 1; n <= next + 40; ++n) faults.Add(n, sim::Fault::kStatusFE);
  service_.SetFaults(faults);
  const int other = (state_.brightness + 1) % 5;
  EXPECT_EQ(ChangeOrRecover(commands_, state_, 1, [&] { return SendBrightness(commands_, state_, 1, other); }),
            WriteOutcome::Refused);
  EXPECT_EQ(state_.brightness, before.brightness);
  EXPECT_EQ(state_.reportRate, 3);
  EXPECT_EQ(state_.records, before.records);
  // Nothing to send is neither taken nor refused.
  service_.SetFaults({});
  EXPECT_EQ(SendBrightness(commands_, state_, 1, state_.brightness), WriteOutcome::NotSent);
}

TEST_F(LightingOnVirtualKeyboard, DefaultRecordWritesBytesZeroTo34) {
  auto& area = keyboard_.Lighting();
  for (std::size_t i = 0; i < 42; ++i) area[i] = 0x5A;
  SendDefaultLighting(commands_, state_, 0);
  const auto sent = SentReports();
  ASSERT_EQ(sent.size(), 7u + 3);  // one read bracket after both write brackets
  EXPECT_EQ(sent[5].length, 35);
  EXPECT_EQ(sent[8].command, 5);
  EXPECT_EQ(area[0], 1);
  EXPECT_EQ(area[1], 4);
  EXPECT_EQ(area[2], 2);
  EXPECT_EQ(area[4], 0xFF);
  EXPECT_EQ(area[7], 0xFF);
  EXPECT_EQ(area[34], 0);
  EXPECT_EQ(area[35], 0x5A) << "bytes 35..41 are not written";
  EXPECT_EQ(area[41], 0x5A);
}

TEST_F(LightingOnVirtualKeyboard, KeyColoursFromTheDefaultFile) {
  const auto defaultFile =
      std::filesystem::path(VANTREL_SOURCE_DIR) / "data" / "Skins" / "UserDengColor_3.userd";
  KeyColourEditor editor(dir_, defaultFile);
  ASSERT_TRUE(editor.EnsureUserFiles());
  auto& colours = keyboard_.KeyColours();
  for (std::size_t i = 512 + 378; i < 1024; ++i) colours[i] = 0xAA;
  editor.LoadUserMode(commands_, 1);
  const auto sent = SentReports();
  ASSERT_EQ(sent.size(), 10u);
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(sent[static_cast<std::size_t>(k + 1)].command, 0x11);
    EXPECT_EQ(sent[static_cast<std::size_t>(k + 1)].offset, 512 + 54 * k);
  }
  const auto table = editor.Table().ProfileBytes(1);
  for (int slot : {0, 20, 110}) {
    EXPECT_EQ(colours[512 + 3 * slot], table[3 * static_cast<std::size_t>(slot)]) << slot;
    EXPECT_EQ(colours[512 + 3 * slot + 2], table[3 * static_cast<std::size_t>(slot) + 2]) << slot;
  }
  EXPECT_EQ(colours[512 + 378], 0) << "slots 126..143 are sent as zeros";
  EXPECT_EQ(colours[512 + 431], 0);
  EXPECT_EQ(colours[512 + 432], 0xAA) << "nothing past slot 143";

  ClearTrace();
  editor.ChangeBrushColour(1, MakeRgb(1, 2, 3));
  ASSERT_EQ(editor.PaintKey(commands_, 1, keys::FnLayoutKey().controlId, 20), KeyColourWrite::Taken);
  const auto paint = SentReports();
  ASSERT_EQ(paint.size(), 3u);
  EXPECT_EQ(paint[1].offset, 512 + 330);
  EXPECT_EQ(paint[1].payload, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(colours[512 + 330], 1);
  EXPECT_EQ(colours[512 + 332], 3);
}

// Each editor change that writes key colours tells when the keyboard refused a request of
// it (the request and its two retries answered 0xFF); the colours stay in the table and
// the colour file for the next write.
TEST_F(LightingOnVirtualKeyboard, KeyColourChangesTellWhenTheKeyboardRefusesThem) {
  KeyColourEditor editor(dir_, std::filesystem::path(VANTREL_SOURCE_DIR) / "data" / "Skins" / "UserDengColor_3.userd");
  ASSERT_TRUE(editor.EnsureUserFiles());
  editor.ReadUserMode(1);
  // Request `n` of the next change (1 is its begin) refused on every attempt.
  const auto refuse = [&](std::uint64_t n) {
    sim::FaultPlan faults;
    const auto next = service_.ConfigRequests();
    for (std::uint64_t i = 0; i < 3; ++i) faults.Add(next + n + i, sim::Fault::kStatusFF);
    service_.SetFaults(faults);
  };
  auto& colours = keyboard_.KeyColours();
  const int fn = keys::FnLayoutKey().controlId;
  const std::size_t fnByte = 512 + 3 * static_cast<std::size_t>(keys::FnLayoutKey().ledSlot);

  // Painting: the colour write, the begin before it, the end after it.
  editor.ChangeBrushColour(1, MakeRgb(1, 2, 3));
  for (const std::uint64_t request : {2u, 1u, 3u}) {
    SCOPED_TRACE(request);
    colours[fnByte] = 0x77;
    refuse(request);
    EXPECT_EQ(editor.PaintKey(commands_, 1, fn, 20), KeyColourWrite::Refused);
    if (request == 2) {
      EXPECT_EQ(colours[fnByte], 0x77) << "the refused write stored nothing";
    }
    EXPECT_EQ(editor.Table().Get(1, keys::FnLayoutKey().ledSlot), MakeRgb(1, 2, 3));
    EXPECT_EQ(text::ReadIniString(editor.UserFile(1), "Mode0", "110", ""), "1,2,3,0");
  }
  service_.SetFaults({});
  colours[fnByte] = 0x77;
  ClearTrace();
  EXPECT_EQ(editor.PaintKey(commands_, 1, fn, 20), KeyColourWrite::Taken);
  EXPECT_EQ(SentReports().size(), 3u) << "a refusal changes nothing of what is sent next";
  EXPECT_EQ(colours[fnByte], 1);

  // The base colour: a chunk refused, then the end. The same colour again is nothing to
  // send, which is no refusal.
  for (const auto& [request, base] : {std::pair{6u, MakeRgb(4, 5, 6)}, std::pair{10u, MakeRgb(7, 8, 9)}}) {
    refuse(request);
    EXPECT_EQ(editor.ChangeBaseColour(commands_, 1, base), KeyColourWrite::Refused);
    EXPECT_EQ(editor.BaseColour(), base);
  }
  service_.SetFaults({});
  EXPECT_EQ(editor.ChangeBaseColour(commands_, 1, MakeRgb(7, 8, 9)), KeyColourWrite::NotSent);
  EXPECT_EQ(editor.ChangeBaseColour(commands_, 1, MakeRgb(4, 5, 6)), KeyColourWrite::Taken);

  // A user mode, and the default colours: the mode is chosen in the file all the same.
  refuse(1);
  EXPECT_EQ(editor.ChooseUserMode(commands_, 1, 2), KeyColourWrite::Refused);
  EXPECT_EQ(editor.ReadPresentMode(1), 2);
  refuse(9);
  EXPECT_EQ(editor.RestoreDefault(commands_, 1), KeyColourWrite::Refused);
  refuse(4);
  EXPECT_EQ(editor.LoadUserMode(commands_, 1), KeyColourWrite::Refused);
  service_.SetFaults({});
  EXPECT_EQ(editor.ChooseUserMode(commands_, 1, 3), KeyColourWrite::Taken);
  EXPECT_EQ(colours[fnByte], RedOf(editor.Table().Get(1, keys::FnLayoutKey().ledSlot)));
}

}  // namespace
}  // namespace vantrel::lighting
