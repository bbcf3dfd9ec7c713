#include "core/keys/recorder.h"

#include <algorithm>

#include "core/keys/key_codes.h"

namespace vantrel::keys {
namespace {

std::array<std::uint16_t, 256> BuildVirtualKeyTable() {
  std::array<std::uint16_t, 256> t{};
  const auto& names = KeyNameTable();
  for (std::size_t i = 0; i < kKeyNameCount; ++i) {
    const std::uint8_t vk = names[i].virtualKey;
    if (vk != 0 && t[vk] == 0) t[vk] = CodeOfIndex(static_cast<std::uint16_t>(i));
  }
  t[0x10] = kCodeLeftShift;  // VK_SHIFT
  t[0x11] = kCodeLeftCtrl;   // VK_CONTROL
  t[0x12] = kCodeLeftAlt;    // VK_MENU
  t[0xE2] = 0x056;           // VK_OEM_102
  return t;
}

// The delay value of a real event and the new last event time.
std::int32_t Elapsed(const RecorderState& state, std::uint32_t now) {
  // Tick counts wrap; the difference is taken in 32 bits.
  const std::uint32_t d = now - state.lastEventTime;
  return d > static_cast<std::uint32_t>(kMaxDelayMs) ? kMaxDelayMs : static_cast<std::int32_t>(d);
}

void AddRealStep(RecorderState& state, RecordList& list, std::uint16_t code, Direction d, std::uint32_t now) {
  AddRecordedStep(list, Elapsed(state, now), code, d);
  state.lastEventTime = now;
}

}  // namespace

const std::array<std::uint16_t, 256>& VirtualKeyTable() {
  static const std::array<std::uint16_t, 256> kTable = BuildVirtualKeyTable();
  return kTable;
}

std::uint16_t KeyCodeOfKeyMessage(std::uint8_t vk, std::uint8_t scan, bool extended) {
  std::uint16_t c = static_cast<std::uint16_t>(scan | (extended ? 0x100 : 0));
  if (vk != 0xFF && scan == 0) c = VirtualKeyTable()[vk];
  if (c == kCodeSysReq) return kCodePrintScreen;
  if (c == kCodeRightShiftExt) return kCodeRightShift;
  if (c == kCodeBreak) return kCodePause;
  return c;
}

std::uint16_t KeyCodeOfMouseMessage(MouseMessage m) {
  switch (m) {
    case MouseMessage::kLeftDown:
    case MouseMessage::kLeftUp: return kCodeMouseLeft;
    case MouseMessage::kRightDown:
    case MouseMessage::kRightUp: return kCodeMouseRight;
    case MouseMessage::kMiddleDown:
    case MouseMessage::kMiddleUp: return kCodeMouseMiddle;
    default: return 0;
  }
}

bool IsButtonUp(MouseMessage m) {
  return m == MouseMessage::kLeftUp || m == MouseMessage::kRightUp || m == MouseMessage::kMiddleUp;
}

bool AddRecordedStep(RecordList& list, std::int32_t v, std::uint16_t code, Direction direction) {
  if (list.delayMode == 0) v = kFixedRecordDelay;
  v = std::clamp(v, 0, kMaxDelayMs);
  if (list.actions.size() >= kMaxActions) return false;
  std::size_t pos = list.actions.size();
  if (list.selected && *list.selected < list.actions.size()) pos = *list.selected + 1;
  MacroAction step{0, code, direction};
  if (pos > 0) {
    MacroAction& before = list.actions[pos - 1];
    step.delay = before.delay;
    before.delay = v;
  }
  list.actions.insert(list.actions.begin() + static_cast<std::ptrdiff_t>(pos), step);
  list.selected = pos;
  list.changed = true;
  return true;
}

void StartRecording(RecorderState& state, std::uint32_t now) {
  state.recording = true;
  state.lastEventTime = now;
  state.rememberedWinKey = 0;
  state.pressDelivered.reset();
}

void StopRecording(RecorderState& state) {
  state.recording = false;
  state.rememberedWinKey = 0;
  state.pressDelivered.reset();
}

HookResult OnKeyMessage(RecorderState& state, RecordList& list, const KeyMessage& m, std::uint32_t now) {
  const std::uint16_t c = KeyCodeOfKeyMessage(m.virtualKey, m.scanCode, m.extended);
  if (c == 0 || IsMediaKey(c)) return HookResult::kPassOn;
  if (!m.transitionUp && m.previousDown) return HookResult::kSwallow;
  const Direction d = m.transitionUp ? kRelease : kPress;
  // Windows delivers only one message of the pair for these keys: a press is added first.
  if (c == 0x071 || c == 0x072 || c == kCodePrintScreen) AddRecordedStep(list, 2, c, kPress);
  AddRealStep(state, list, c, d, now);
  return HookResult::kSwallow;
}

HookResult OnKeyEvent(RecorderState& state, RecordList& list, const KeyEvent& e, std::uint32_t now) {
  const std::uint16_t c = e.code;
  if (c == 0 || IsMediaKey(c)) return HookResult::kPassOn;
  if (!e.release && e.autoRepeat) return HookResult::kSwallow;
  const std::size_t index = KeyIndexOfCode(c) % state.pressDelivered.size();
  if (!e.release) {
    state.pressDelivered.set(index);
  } else {
    const bool onlyReleaseKey = c == 0x071 || c == 0x072 || c == kCodePrintScreen;
    if (onlyReleaseKey && !state.pressDelivered.test(index)) AddRecordedStep(list, 2, c, kPress);
    state.pressDelivered.reset(index);
  }
  AddRealStep(state, list, c, e.release ? kRelease : kPress, now);
  return HookResult::kSwallow;
}

HookResult OnLowLevelKey(RecorderState& state, RecordList& list, std::uint8_t vk, bool down, std::uint32_t now) {
  if (vk != 0x5B && vk != 0x5C) return HookResult::kPassOn;
  const std::uint16_t c = vk == 0x5B ? kCodeLeftWin : kCodeRightWin;
  if (down) {
    if (state.rememberedWinKey == vk) return HookResult::kSwallow;
    state.rememberedWinKey = vk;
    AddRealStep(state, list, c, kPress, now);
  } else {
    state.rememberedWinKey = 0;
    AddRealStep(state, list, c, kRelease, now);
  }
  return HookResult::kSwallow;
}

HookResult OnMouseMessage(RecorderState& state, RecordList& list, MouseMessage m, bool insideRecordButton,
                          std::uint32_t now) {
  const bool left = m == MouseMessage::kLeftDown || m == MouseMessage::kLeftUp ||
                    m == MouseMessage::kLeftDoubleClick;
  if (left && insideRecordButton) return HookResult::kPassOn;
  const std::uint16_t c = KeyCodeOfMouseMessage(m);
  if (c != 0) AddRealStep(state, list, c, IsButtonUp(m) ? kRelease : kPress, now);
  return HookResult::kPassOn;
}

std::vector<KeyRepeatFilter::Event> KeyRepeatFilter::Feed(const Event& e) {
  std::vector<Event> out;
  const std::size_t index = KeyIndexOfCode(e.code) % down_.size();
  if (held_) {
    const Event held = *held_;
    held_.reset();
    if (!e.release && e.code == held.code && e.timestamp == held.timestamp && e.timestamp != 0) {
      // The server's repeat pair: the key stays down, nothing happened.
      return out;
    }
    down_.reset(KeyIndexOfCode(held.code) % down_.size());
    out.push_back(held);
  }
  if (e.code == 0 || e.autoRepeat) {
    out.push_back(e);
    return out;
  }
  if (!e.release) {
    Event press = e;
    // Down already: a repeat in the form without releases.
    if (down_.test(index)) press.autoRepeat = true;
    down_.set(index);
    out.push_back(press);
    return out;
  }
  if (e.timestamp == 0 || !down_.test(index)) {
    // Nothing to pair it with: a release without a time, or of a key not seen pressed.
    down_.reset(index);
    out.push_back(e);
    return out;
  }
  held_ = e;
  return out;
}

std::optional<KeyRepeatFilter::Event> KeyRepeatFilter::Flush() {
  if (!held_) return std::nullopt;
  const Event held = *held_;
  held_.reset();
  down_.reset(KeyIndexOfCode(held.code) % down_.size());
  return held;
}

void KeyRepeatFilter::Reset() {
  held_.reset();
  down_.reset();
}

}  // namespace vantrel::keys
