// The keyboard picture, described once: one row per key button (the 108 ordinary keys
// in key-table order, the nine G keys, Fn) with its key code, key index, control id, LED
// slot, legend, short name and the position of the key in the keyboard's own matrix.
// Lighting, the skin keys, the skin generator and the virtual keyboard all derive their
// tables from these rows; every count of the keyboard is declared here once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vantrel::keys {

// Ordinary keys of the picture: A-Z, 1-0, Enter, Esc, Backspace, Tab, Space,
// - = [ ] \ ; ' ` , . /, F1-F12, Print, Pause, Insert, Delete, Home, End, Page Up,
// Page Down, Up, Down, Left, Right, Scroll Lock, Caps Lock, App, left/right Ctrl, Shift,
// Alt, Win, Num 1-9, Num 0, Num Lock, Num Enter, Num ., Num /, Num *, Num -, Num +, VOL+,
// VOL-, mute, Calc. The same order indexes the assignment-table records a window selects.
inline constexpr std::size_t kOrdinaryKeyCount = 108;
// G keys on the keyboard (G1..G9) and their layers: the device names G1..G18, where
// G10..G18 are G1..G9 of the second layer.
inline constexpr std::size_t kGKeyCount = 9;
inline constexpr std::size_t kGKeyLayers = 2;
// Every key button: the ordinary keys, the G keys and Fn.
inline constexpr std::size_t kLayoutKeyCount = kOrdinaryKeyCount + kGKeyCount + 1;  // 118

// The light grid: 6 rows of 21 LEDs, slot = 21 x row + column.
inline constexpr int kLedRows = 6;
inline constexpr int kLedColumns = 21;
inline constexpr int kLedSlots = kLedRows * kLedColumns;  // 126
inline constexpr int kGKeyLedSlot = 125;                  // shared by all nine G keys

enum class LayoutKind : std::uint8_t { Ordinary, GKey, Fn };

inline constexpr std::uint16_t kNoKeyIndex = 0xFFFF;

struct LayoutKey {
  LayoutKind kind;
  std::uint16_t code;      // key code; G key n: 0x200 + n - 1 (first layer); Fn: 0
  std::uint16_t index;     // key index of the code; G key n: 255 + n; Fn: kNoKeyIndex
  int controlId;           // button id of the main window
  int ledSlot;             // 0..125
  std::string_view legend;  // text on the key face (UTF-8); repeats, e.g. both "Ctrl"
  std::string_view name;    // short name, unique, as typed on the command line ("LCtrl")
  int matrixPosition;      // entry position 0..125 in the keyboard's key tables
};

// All rows: ordinary keys (position 0..107), then G1..G9, then Fn.
std::span<const LayoutKey, kLayoutKeyCount> KeyboardLayout();
std::span<const LayoutKey, kOrdinaryKeyCount> OrdinaryLayoutKeys();
std::span<const LayoutKey, kGKeyCount> GLayoutKeys();
const LayoutKey& FnLayoutKey();

// Row by control id, by key code (first-layer G key codes included), by key index;
// nullptr when there is none.
const LayoutKey* LayoutKeyOfControl(int controlId);
const LayoutKey* LayoutKeyOfCode(std::uint16_t code);
const LayoutKey* LayoutKeyOfIndex(std::uint16_t index);
// Position of a row in KeyboardLayout().
std::size_t LayoutPosition(const LayoutKey& key);

// ---- One answer for what a key button stands for ----
//
// The G-key buttons stand for G1..G9 of the keyboard's current G-key layer. In layer L
// (0 first, 1 second) G key n (0..8, its place in G1..G9) has the record position
// n + 9 x L among the eighteen G-key records, the key index 256 + n + 9 x L, the code
// 0x100 + n + 9 x L that an edited key carries, and the device number n + 9 x L + 1
// ("G1".."G18"). The buttons keep their row whatever the layer; all nine share LED slot
// 125.

// Control id of G9, the macro button: its page offers only the macro tab.
inline constexpr int kGKeyMacroButton = 1143;
inline constexpr std::size_t kGKeyRecords = kGKeyCount * kGKeyLayers;  // 18

// A G key in one layer.
struct GKeyPlace {
  std::size_t n = 0;  // 0..8: place in G1..G9
  int layer = 0;      // 0 first layer, 1 second
  std::size_t Position() const { return n + kGKeyCount * static_cast<std::size_t>(layer); }  // 0..17
  std::uint16_t Index() const;         // 256 + position
  std::uint16_t Code() const;          // 0x100 + position
  int DeviceNumber() const { return static_cast<int>(Position()) + 1; }  // 1..18
  const LayoutKey& Button() const;     // the row of G(n + 1)
  friend bool operator==(const GKeyPlace&, const GKeyPlace&) = default;
};

// The G key at record position 0..17, of key index 256..273, of device number 1..18;
// nullopt outside those ranges.
std::optional<GKeyPlace> GKeyAtPosition(std::size_t position);
std::optional<GKeyPlace> GKeyOfIndex(std::uint16_t index);
std::optional<GKeyPlace> GKeyOfDeviceNumber(int number);

// A key button resolved in a G-key layer.
struct KeyButton {
  const LayoutKey* row = nullptr;
  std::uint16_t code = 0;             // G key: 0x100 + position; ordinary: the row's code; Fn: 0
  std::uint16_t index = kNoKeyIndex;  // G key: 256 + position; ordinary: the row's index; Fn: none
  int ledSlot = 0;
  bool macroButton = false;           // G9 (control kGKeyMacroButton)
  std::optional<GKeyPlace> gKey;      // set for the G-key buttons
  // The keyboard's key table has an entry for the key, so what is assigned to it reaches
  // the keyboard: every key of the picture; a G key when the keyboard's factory key table
  // names it (entry 06 A2 n), or, while that table is not known, the G keys of the first
  // layer.
  bool onKeyboard = false;
};

// The button of control id in G-key layer bit 0 of gLayer; nullopt for an id that is no
// key button. `factory`: the keyboard's factory key table (378 bytes) when it was read,
// empty while it is not known.
std::optional<KeyButton> ResolveKeyButton(int controlId, int gLayer, std::span<const std::uint8_t> factory = {});

// The placement key of the button in section "BUTTONINFO" of the main skin:
// "KEY_%03X" of the key index for ordinary keys, "FUNC_G%d" for G keys, "KEY_FN".
std::string SkinKeyOf(const LayoutKey& key);

}  // namespace vantrel::keys
