#include "core/keys/recorder.h"

#include <gtest/gtest.h>

#include "core/keys/key_codes.h"

namespace vantrel::keys {
namespace {

KeyMessage Key(std::uint8_t scan, bool up, bool repeat = false, bool extended = false, std::uint8_t vk = 0x41) {
  return {vk, scan, extended, repeat || up, up};
}

TEST(Recorder, KeyCodeOfKeyMessage) {
  EXPECT_EQ(KeyCodeOfKeyMessage(0x41, 0x1E, false), 0x01E);
  EXPECT_EQ(KeyCodeOfKeyMessage(0xA3, 0x1D, true), 0x11D);
  EXPECT_EQ(KeyCodeOfKeyMessage(0x2C, 0x54, false), 0x137);  // Alt+Print Screen
  EXPECT_EQ(KeyCodeOfKeyMessage(0xA1, 0x36, true), 0x036);   // right Shift as 0x136
  EXPECT_EQ(KeyCodeOfKeyMessage(0x03, 0x46, true), 0x045);   // Ctrl+Pause
  // Without a scan code the virtual key decides.
  EXPECT_EQ(KeyCodeOfKeyMessage(0x41, 0, false), 0x01E);
  EXPECT_EQ(KeyCodeOfKeyMessage(0x10, 0, false), 0x02A);
  EXPECT_EQ(KeyCodeOfKeyMessage(0x11, 0, false), 0x01D);
  EXPECT_EQ(KeyCodeOfKeyMessage(0x12, 0, false), 0x038);
  EXPECT_EQ(KeyCodeOfKeyMessage(0xE2, 0, false), 0x056);
  EXPECT_EQ(KeyCodeOfKeyMessage(0x2E, 0, false), 0x153);  // Delete, not Num .
  EXPECT_EQ(KeyCodeOfKeyMessage(0xFF, 0, false), 0);
  // The table is the inverse of the name table's virtual keys.
  const auto& vt = VirtualKeyTable();
  for (std::size_t vk = 1; vk < 256; ++vk) {
    if (vt[vk] == 0 || vk == 0x10 || vk == 0x11 || vk == 0x12) continue;
    EXPECT_EQ(KeyEntryOfCode(vt[vk]).virtualKey, vk) << vk;
  }
}

TEST(Recorder, MouseMessages) {
  EXPECT_EQ(KeyCodeOfMouseMessage(MouseMessage::kLeftDown), 0x171);
  EXPECT_EQ(KeyCodeOfMouseMessage(MouseMessage::kRightUp), 0x172);
  EXPECT_EQ(KeyCodeOfMouseMessage(MouseMessage::kMiddleDown), 0x173);
  EXPECT_EQ(KeyCodeOfMouseMessage(MouseMessage::kLeftDoubleClick), 0);
  EXPECT_EQ(KeyCodeOfMouseMessage(MouseMessage::kWheel), 0);
  EXPECT_TRUE(IsButtonUp(MouseMessage::kMiddleUp));
  EXPECT_FALSE(IsButtonUp(MouseMessage::kMiddleDown));
}

TEST(Recorder, StepInsertionHandsDelaysOver) {
  RecordList list;
  list.delayMode = 1;
  EXPECT_TRUE(AddRecordedStep(list, 500, 0x01E, kPress));
  EXPECT_EQ(list.actions[0].delay, 0);  // position 0: v dropped
  AddRecordedStep(list, 120, 0x01E, kRelease);
  AddRecordedStep(list, 80, 0x030, kPress);
  ASSERT_EQ(list.actions.size(), 3u);
  EXPECT_EQ(list.actions[0].delay, 120);
  EXPECT_EQ(list.actions[1].delay, 80);
  EXPECT_EQ(list.actions[2].delay, 0);
  // Inserting after a selected middle step: it takes v, the new step its old delay.
  list.selected = 0;
  AddRecordedStep(list, 30, 0x02E, kPress);
  ASSERT_EQ(list.actions.size(), 4u);
  EXPECT_EQ(list.actions[0].delay, 30);
  EXPECT_EQ(list.actions[1].code, 0x02E);
  EXPECT_EQ(list.actions[1].delay, 120);
  EXPECT_EQ(list.selected, 1u);
  EXPECT_TRUE(list.changed);
  // Mode 0 records a fixed 50 ms.
  list.delayMode = 0;
  AddRecordedStep(list, 999, 0x030, kRelease);
  EXPECT_EQ(list.actions[1].delay, 50);
  // 2000 steps: nothing more.
  list.actions.resize(kMaxActions);
  EXPECT_FALSE(AddRecordedStep(list, 10, 0x01E, kPress));
  EXPECT_EQ(list.actions.size(), kMaxActions);
}

TEST(Recorder, KeyboardHookRules) {
  RecorderState state;
  RecordList list;
  list.delayMode = 1;
  StartRecording(state, 1000);
  // Holding a key: one press, repeats swallowed, one release.
  EXPECT_EQ(OnKeyMessage(state, list, Key(0x1E, false), 1100), HookResult::kSwallow);
  EXPECT_EQ(OnKeyMessage(state, list, Key(0x1E, false, true), 1130), HookResult::kSwallow);
  EXPECT_EQ(OnKeyMessage(state, list, Key(0x1E, false, true), 1160), HookResult::kSwallow);
  EXPECT_EQ(OnKeyMessage(state, list, Key(0x1E, true), 1300), HookResult::kSwallow);
  ASSERT_EQ(list.actions.size(), 2u);
  EXPECT_EQ(list.actions[0].delay, 200);  // the time from start to the first key is lost
  EXPECT_EQ(list.actions[1].direction, kRelease);
  // Media keys pass on and are not recorded.
  EXPECT_EQ(OnKeyMessage(state, list, Key(0x30, false, false, true, 0xAF), 1400), HookResult::kPassOn);
  EXPECT_EQ(list.actions.size(), 2u);
  // Print Screen's single release brings a synthetic press with value 2.
  OnKeyMessage(state, list, Key(0x37, true, false, true, 0x2C), 1500);
  ASSERT_EQ(list.actions.size(), 4u);
  EXPECT_EQ(list.actions[1].delay, 2);
  EXPECT_EQ(list.actions[2].code, 0x137);
  EXPECT_EQ(list.actions[2].direction, kPress);
  EXPECT_EQ(list.actions[2].delay, 200);
  EXPECT_EQ(list.actions[3].direction, kRelease);
}

TEST(Recorder, WindowsKeysAndMouse) {
  RecorderState state;
  RecordList list;
  list.delayMode = 0;
  StartRecording(state, 0);
  EXPECT_EQ(OnLowLevelKey(state, list, 0x41, true, 5), HookResult::kPassOn);
  EXPECT_EQ(OnLowLevelKey(state, list, 0x5B, true, 10), HookResult::kSwallow);
  EXPECT_EQ(OnLowLevelKey(state, list, 0x5B, true, 20), HookResult::kSwallow);  // repeat
  EXPECT_EQ(OnLowLevelKey(state, list, 0x5B, false, 30), HookResult::kSwallow);
  ASSERT_EQ(list.actions.size(), 2u);
  EXPECT_EQ(list.actions[0].code, 0x15B);
  // The click that stops recording is not recorded; other clicks are, and pass on.
  EXPECT_EQ(OnMouseMessage(state, list, MouseMessage::kLeftDown, true, 40), HookResult::kPassOn);
  EXPECT_EQ(list.actions.size(), 2u);
  EXPECT_EQ(OnMouseMessage(state, list, MouseMessage::kRightDown, true, 50), HookResult::kPassOn);
  OnMouseMessage(state, list, MouseMessage::kRightUp, false, 60);
  OnMouseMessage(state, list, MouseMessage::kMove, false, 70);
  ASSERT_EQ(list.actions.size(), 4u);
  EXPECT_EQ(list.actions[3].direction, kRelease);
  // Mode 0: every step but the last has 50 ms.
  for (std::size_t i = 0; i + 1 < list.actions.size(); ++i) EXPECT_EQ(list.actions[i].delay, 50);
  EXPECT_EQ(list.actions.back().delay, 0);
}

// What the toolkit hands over for a key held 1.5 s under X11 when it misses most repeat
// pairs (their press not yet queued when it read the release), and the same with the
// repeats as presses only: one press and one release come out either way.
TEST(KeyRepeatFilter, RepeatPairsTheToolkitMissedAndPressesOfAKeyDownAreRepeats) {
  using E = KeyRepeatFilter::Event;
  const auto run = [](const std::vector<E>& in) {
    KeyRepeatFilter f;
    std::vector<std::pair<std::uint16_t, bool>> edges;  // code, release; repeats left out
    const auto take = [&](const E& e) {
      if (!e.autoRepeat) edges.emplace_back(e.code, e.release);
    };
    for (const E& e : in)
      for (const E& out : f.Feed(e)) take(out);
    if (const auto held = f.Flush()) take(*held);
    EXPECT_FALSE(f.Holding());
    return edges;
  };
  const std::vector<std::pair<std::uint16_t, bool>> once = {{0x1E, false}, {0x1E, true}};
  std::vector<E> pairs{{0x1E, false, false, 1000}};
  for (std::uint64_t t = 1660; t < 2500; t += 40) {
    const bool marked = t % 120 == 0;  // the toolkit caught one pair in three
    pairs.push_back({0x1E, true, marked, t});
    pairs.push_back({0x1E, false, marked, t});
  }
  pairs.push_back({0x1E, true, false, 2500});
  EXPECT_EQ(run(pairs), once);
  std::vector<E> presses{{0x1E, false, false, 1000}};
  for (std::uint64_t t = 1660; t < 2500; t += 40) presses.push_back({0x1E, false, false, t});
  presses.push_back({0x1E, true, false, 2500});
  EXPECT_EQ(run(presses), once);

  // Real edges stay, in order: typed quickly, a release and the next key's press at the
  // same time, and one key pressed again after its release a moment later.
  EXPECT_EQ(run({{0x2A, false, false, 10, 0},
                 {0x1E, false, false, 20, 1},
                 {0x1E, true, false, 30, 1},
                 {0x30, false, false, 30, 1},
                 {0x30, true, false, 40, 1},
                 {0x1E, false, false, 41, 1},
                 {0x1E, true, false, 50, 1},
                 {0x2A, true, false, 60, 1}}),
            (std::vector<std::pair<std::uint16_t, bool>>{{0x2A, false}, {0x1E, false}, {0x1E, true}, {0x30, false},
                                                         {0x30, true}, {0x1E, false}, {0x1E, true}, {0x2A, true}}));
  // Without times nothing is paired or held: a release goes out at once.
  KeyRepeatFilter f;
  EXPECT_EQ(f.Feed({0x1E, false, false, 0}).size(), 1u);
  EXPECT_EQ(f.Feed({0x1E, true, false, 0}).size(), 1u);
  EXPECT_FALSE(f.Holding());
  // A held release carries its modifiers and its own time out.
  (void)f.Feed({0x1E, false, false, 7, 1});
  EXPECT_TRUE(f.Feed({0x1E, true, false, 9, 1}).empty());
  const auto held = f.Flush();
  ASSERT_TRUE(held.has_value());
  EXPECT_EQ(held->timestamp, 9u);
  EXPECT_EQ(held->modifiers, 1u);
  EXPECT_TRUE(held->release);
}

}  // namespace
}  // namespace vantrel::keys
