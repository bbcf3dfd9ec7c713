// The key buttons of the keyboard picture: the 108 ordinary keys in the order of the
// key tables (that order also indexes the key-code table and the assignment records),
// the nine G keys and Fn. Each button has its control id, its LED slot in the 6 x 21
// light grid (slot = 21 x row + column) and, for the ordinary keys, its key code
// (set-1 make code, 0x100 + make code for E0-prefixed keys, own codes for the media keys).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace vantrel::lighting {

inline constexpr int kLedRows = 6;
inline constexpr int kLedColumns = 21;
inline constexpr int kLedSlots = kLedRows * kLedColumns;  // 126

inline constexpr std::size_t kOrdinaryKeyCount = 108;
inline constexpr std::size_t kGKeyCount = 9;
inline constexpr std::size_t kKeyButtonCount = kOrdinaryKeyCount + kGKeyCount + 1;  // 118 with Fn

inline constexpr int kFnControl = 1174;
inline constexpr int kFnSlot = 110;
inline constexpr int kGKeySlot = 125;

enum class ButtonKind : std::uint8_t { Ordinary, GKey, Fn };

struct KeyButton {
  int controlId;
  int slot;             // LED slot 0..125
  std::uint16_t code;   // key code; 0 for G keys and Fn
  std::string_view name;  // short name, as accepted on the command line
  ButtonKind kind;
};

// The 108 ordinary keys in key-table order: A-Z, 1-0, Enter, Esc, Backspace, Tab,
// Space, - = [ ] \ ; ' ` , . /, F1-F12, Print, Pause, Insert, Delete, Home, End,
// Page Up, Page Down, Up, Down, Left, Right, Scroll Lock, Caps Lock, App, left/right
// Ctrl, Shift, Alt, Win, Num 1-9, Num 0, Num Lock, Num Enter, Num ., Num /, Num *,
// Num -, Num +, VOL+, VOL-, mute, Calc.
std::span<const KeyButton, kOrdinaryKeyCount> OrdinaryKeys();
// G1..G9 (controls 1000-1004, 1140-1143), all on slot 125.
std::span<const KeyButton, kGKeyCount> GKeys();
// Every key button: the ordinary keys, then G1..G9, then Fn.
std::span<const KeyButton, kKeyButtonCount> AllKeyButtons();

// LED slot of a key button by control id; 0 for an id that is no key button.
int LedSlot(int controlId);
// Index into AllKeyButtons() of a control id, or -1.
int ButtonIndex(int controlId);
// Position 0..107 in the ordinary-key order, or -1.
int OrdinaryKeyPosition(int controlId);
// A button by its short name (case-insensitive) or by its control id in decimal.
std::optional<KeyButton> FindKeyButton(std::string_view nameOrId);

}  // namespace vantrel::lighting
