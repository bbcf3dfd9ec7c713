// Macro recording without windows: key and mouse messages reduced to plain inputs, the
// recorder's state, and the rules by which a recorded step enters an action list. The
// hooks of the user interface call these and apply their results.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/keys/macro.h"

namespace vantrel::keys {

// The state the editing store keeps while recording. Touched only on the user-interface
// thread (all hooks run there).
struct RecorderState {
  bool recording = false;
  std::uint32_t lastEventTime = 0;  // tick count (ms) of the last recorded real event
  std::uint8_t rememberedWinKey = 0;  // virtual key of the last Windows-key down message
  // Key indexes whose press was delivered since recording started (key events that name
  // the key directly, see OnKeyEvent).
  std::bitset<512> pressDelivered;
};

// Key code of a key message: scan | 0x100 x extended; a message without a scan code
// (and a virtual key other than 0xFF) goes through the virtual-key table instead; then
// 0x054 (Alt+Print Screen) -> 0x137, 0x136 -> 0x036, 0x146 (Ctrl+Pause) -> 0x045.
std::uint16_t KeyCodeOfKeyMessage(std::uint8_t virtualKey, std::uint8_t scanCode, bool extended);
// Virtual key -> key code: the inverse of the key name table's virtual-key field (first
// entry wins), generic Shift/Ctrl/Alt as the left-hand keys, OEM 102 as make code 0x56.
const std::array<std::uint16_t, 256>& VirtualKeyTable();

enum class MouseMessage {
  kLeftDown, kLeftUp, kRightDown, kRightUp, kMiddleDown, kMiddleUp,
  kMove, kLeftDoubleClick, kRightDoubleClick, kMiddleDoubleClick, kWheel, kNonClient,
};
// 0x171/0x172/0x173 for the buttons' down and up messages; 0 for everything else.
std::uint16_t KeyCodeOfMouseMessage(MouseMessage message);
bool IsButtonUp(MouseMessage message);

// The editor's action list as the recorder sees it.
struct RecordList {
  std::vector<MacroAction> actions;
  std::optional<std::size_t> selected;  // the selected row
  int delayMode = 0;                    // 1 measured delays, 0 a fixed 50 ms
  bool changed = false;                 // the page's apply button is enabled
};

inline constexpr std::int32_t kFixedRecordDelay = 50;

// Adds a step (value v, code c, direction d): mode 0 replaces v by 50; nothing with 2000
// steps; inserted right after the selected step or at the end; the step before takes v
// as its delay and the new step takes over that step's previous delay (at position 0 the
// new step gets 0 and v is dropped); the new step becomes the selected one. v is kept in
// 0..40000, the range of a delay. False when nothing was added.
bool AddRecordedStep(RecordList& list, std::int32_t v, std::uint16_t code, Direction direction);

void StartRecording(RecorderState& state, std::uint32_t now);
void StopRecording(RecorderState& state);

// A thread keyboard hook message, reduced to the fields the recorder reads.
struct KeyMessage {
  std::uint8_t virtualKey = 0;
  std::uint8_t scanCode = 0;    // flags bits 16-23
  bool extended = false;        // flags bit 24
  bool previousDown = false;    // flags bit 30: auto-repeat when a down message has it
  bool transitionUp = false;    // flags bit 31: release
};

enum class HookResult { kPassOn, kSwallow };

// The thread keyboard hook: media keys and unknown keys pass on, auto-repeats are
// swallowed without a step, 0x071/0x072/0x137 get a synthetic press (delay value 2)
// first; the step's delay value is now - last event time.
HookResult OnKeyMessage(RecorderState& state, RecordList& list, const KeyMessage& message, std::uint32_t now);
// A key event of a platform that names the key itself (code already converted), with
// its own auto-repeat flag. Unknown and media keys pass on, auto-repeats are swallowed
// without a step. Keys whose press some platforms never deliver (0x071, 0x072, 0x137) get
// the synthetic press (delay value 2) only when their release comes without a delivered
// press, so a platform that delivers both records one press.
struct KeyEvent {
  std::uint16_t code = 0;
  bool release = false;
  bool autoRepeat = false;
};
HookResult OnKeyEvent(RecorderState& state, RecordList& list, const KeyEvent& event, std::uint32_t now);

// Key events with the window system's own times, before the recorder sees them. A held key
// comes as repeats in one of two forms: presses of a key already down, or (X11) a
// release and a press of the key with one time stamp. The toolkit marks the second form
// only when it finds the press already queued behind the release, which a busy program
// often does not: so a release is held back until the next key event. A press of the same
// key with the same time makes the pair a repeat (both dropped); any other event, or
// Flush (nothing came in time, recording stops), lets the release go first.
class KeyRepeatFilter {
 public:
  struct Event {
    std::uint16_t code = 0;
    bool release = false;
    bool autoRepeat = false;     // as the toolkit marked it
    std::uint64_t timestamp = 0;  // ms on the window system's clock; 0: none (no pairing)
    std::uint32_t modifiers = 0;  // carried through for the caller
  };
  // The events to act on now, in order (none while a release is held).
  std::vector<Event> Feed(const Event& event);
  // The held release, if any.
  std::optional<Event> Flush();
  bool Holding() const { return held_.has_value(); }
  void Reset();

 private:
  std::optional<Event> held_;
  std::bitset<512> down_;  // by key index: a press went out, its release not yet
};

// The low-level hook, for the two Windows keys (virtual keys 0x5B/0x5C) only.
HookResult OnLowLevelKey(RecorderState& state, RecordList& list, std::uint8_t virtualKey, bool down,
                         std::uint32_t now);
// The thread mouse hook: button messages are recorded (left-button messages inside the
// record button are not); every mouse message is passed on.
HookResult OnMouseMessage(RecorderState& state, RecordList& list, MouseMessage message, bool insideRecordButton,
                          std::uint32_t now);

}  // namespace vantrel::keys
