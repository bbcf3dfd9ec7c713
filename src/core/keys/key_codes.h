// The vocabulary of key assignments: the program's 16-bit key codes, the key index derived
// from them, the key name table (label, virtual key, HID usage, language key of every key),
// the usage rules between key codes and HID codes, and the fixed lists the key page offers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/keys/keyboard_layout.h"
#include "core/text/text_source.h"

namespace vantrel::keys {

// Key code ranges: 0x001-0x07F set-1 make code; 0x100-0x17F 0x100 + make code of an
// E0-prefixed key (plus the mouse, wheel, power and office codes); 0x200 + n - 1 G key n.
inline constexpr std::uint16_t kCodeLeftCtrl = 0x01D;
inline constexpr std::uint16_t kCodeLeftShift = 0x02A;
inline constexpr std::uint16_t kCodeRightShift = 0x036;
inline constexpr std::uint16_t kCodeLeftAlt = 0x038;
inline constexpr std::uint16_t kCodePause = 0x045;
inline constexpr std::uint16_t kCodeSysReq = 0x054;
inline constexpr std::uint16_t kCodeRightCtrl = 0x11D;
inline constexpr std::uint16_t kCodeRightShiftExt = 0x136;
inline constexpr std::uint16_t kCodePrintScreen = 0x137;
inline constexpr std::uint16_t kCodeRightAlt = 0x138;
inline constexpr std::uint16_t kCodeNumLock = 0x145;
inline constexpr std::uint16_t kCodeBreak = 0x146;
inline constexpr std::uint16_t kCodeLeftWin = 0x15B;
inline constexpr std::uint16_t kCodeRightWin = 0x15C;
inline constexpr std::uint16_t kCodeWheelUp = 0x161;
inline constexpr std::uint16_t kCodeWheelDown = 0x162;
inline constexpr std::uint16_t kCodeMouseLeft = 0x171;
inline constexpr std::uint16_t kCodeMouseRight = 0x172;
inline constexpr std::uint16_t kCodeMouseMiddle = 0x173;
inline constexpr std::uint16_t kCodeFirstGKey = 0x200;  // G key n = 0x200 + n - 1 (n = 1..18)

inline constexpr std::size_t kKeyIndexCount = 512;   // records per profile slot
inline constexpr std::size_t kKeyNameCount = 256;    // entries of the key name table
inline constexpr std::uint16_t kFirstGKeyIndex = 256;        // G1..G9, first layer
inline constexpr std::uint16_t kFirstGKeyIndexLayer2 = 265;  // G1..G9, second layer

// Index 0..511 of a code: code < 0x100 itself; 0x100-0x1FF (code - 0x80) & 0xFF;
// from 0x200 code - 0x100 (G key n gives 255 + n). Codes from 0x10200 would pass 511;
// callers index records only through bounds-checked accessors.
constexpr std::uint16_t KeyIndexOfCode(std::uint16_t code) {
  if (code < 0x100) return code;
  if (code < 0x200) return static_cast<std::uint16_t>((code - 0x80) & 0xFF);
  return static_cast<std::uint16_t>(code - 0x100);
}
// Code of an index below 256: the index below 128, else index + 0x80. 0 from 256 on.
std::uint16_t CodeOfIndex(std::uint16_t index);

// One entry of the key name table. In the original memory image each entry is 20 bytes
// (legacy char, virtual key, u16 list id, label pointer, label kind, alternate virtual
// key, HID usage, usage byte, alternate label pointer, language key pointer).
struct KeyNameEntry {
  std::uint8_t legacyChar = 0;
  std::uint8_t virtualKey = 0;
  std::uint16_t listId = 0xFFFF;  // 0..113 assignable list position; 0x8000 and up: not in the list
  std::string_view label;         // plain English label
  std::uint8_t labelKind = 0;     // 0 plain, 1 letter, 2 shifted symbol, 3 numeric pad
  std::uint8_t altVirtualKey = 0;
  std::uint8_t hidUsage = 0;      // as listed for the key; not used for encoding
  std::uint8_t usageByte = 0;     // the byte every device encoding uses
  std::string_view altLabel;
  std::string_view languageKey;   // empty: no display text of its own
};

inline constexpr std::uint16_t kListIdNone = 0xFFFF;
inline constexpr std::size_t kAssignableKeyCount = 114;

// The 256 entries, indexed by key index.
const std::array<KeyNameEntry, kKeyNameCount>& KeyNameTable();
// The entry of a code; an empty entry (list id 0xFFFF) for codes without one.
const KeyNameEntry& KeyEntryOfCode(std::uint16_t code);

// HID usage pages the usage rules produce.
inline constexpr std::uint16_t kPageNone = 0;
inline constexpr std::uint16_t kPageGenericDesktop = 1;
inline constexpr std::uint16_t kPageMouse = 2;  // this system's own page for buttons and wheel
inline constexpr std::uint16_t kPageKeyboard = 7;
inline constexpr std::uint16_t kPageConsumer = 12;

struct Usage {
  std::uint16_t page = kPageNone;
  std::uint16_t usage = 0;
  friend bool operator==(const Usage&, const Usage&) = default;
};

// Usage byte 0x00/0xFF: none; 0x81-0x83: generic desktop; 0xF1-0xF8: mouse page; any
// other value: keyboard page (media keys 0xC0-0xD1 included).
Usage UsageOfByte(std::uint8_t usageByte);
Usage UsageOfCode(std::uint16_t code);
// The first entry holding the usage byte; 0 when none.
std::uint16_t CodeOfUsage(std::uint16_t page, std::uint16_t usage);

// Consumer-page usages whose usage byte is 0xC0 + slot (slots 18-31 empty).
inline constexpr std::size_t kConsumerSlots = 32;
const std::array<std::uint16_t, kConsumerSlots>& ConsumerIndexTable();

struct MediaKey {
  std::uint16_t consumerUsage;
  std::uint16_t code;
  std::string_view languageKey;
};
inline constexpr std::size_t kMediaKeyCount = 18;
const std::array<MediaKey, kMediaKeyCount>& MediaKeyTable();
bool IsMediaKey(std::uint16_t code);
// Index 0..17 of a consumer usage in the media key table, -1 when it is not there.
int MediaIndexOfUsage(std::uint16_t consumerUsage);

// Device functions (assignment kind 8): texts "FUNC_KEY_DESC1".."FUNC_KEY_DESC11".
inline constexpr int kFunctionKeyCount = 11;
std::string FunctionKeyLanguageKey(int index);

struct MouseFunction {
  std::string_view languageKey;
  std::uint16_t code;
};
inline constexpr std::size_t kMouseFunctionCount = 5;
const std::array<MouseFunction, kMouseFunctionCount>& MouseFunctionList();

// Modifier bits of the device's key entries, in the order decoding tests them.
struct ModifierBit {
  std::uint8_t bit;
  std::uint16_t code;
};
const std::array<ModifierBit, 8>& ModifierBits();
// The bit of a modifier code, 0 for any other code.
std::uint8_t ModifierBitOfCode(std::uint16_t code);
// The code of the lowest modifier bit set in m (0 when m is 0).
std::uint16_t ModifierCodeOfBits(std::uint8_t m);

// A 3-byte key entry of the device's key tables (also the type and bytes 2-3 of a macro
// action).
struct KeyEntry {
  std::uint8_t type = 0;
  std::uint8_t sub = 0;
  std::uint8_t value = 0;
  friend bool operator==(const KeyEntry&, const KeyEntry&) = default;
};
std::uint16_t CodeOfEntry(const KeyEntry& entry);

// The list id field of the code's entry (0xFFFF when it has none).
std::uint16_t ListIdOfCode(std::uint16_t code);
// First entry, in index order, with that list id; 0 if none.
std::uint16_t CodeOfListId(std::uint16_t listId);

// The language text of the code's language key; when there is none or the text is empty,
// the text of "UNKNOWN_KEY" formatted with the code. At most 259 characters.
inline constexpr std::size_t kDisplayNameMaxChars = 259;
std::string KeyDisplayName(std::uint16_t code, const text::TextSource& texts);
// The key's name in output and messages: its display name; the plain label while the
// language file has no text for it; "G1".."G18" for the G keys.
std::string KeyOutputName(std::uint16_t code, const text::TextSource& texts);

}  // namespace vantrel::keys
