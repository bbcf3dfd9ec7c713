#include "core/keys/keyboard_layout.h"

#include <array>
#include <cstdio>

#include "core/keys/key_codes.h"
#include "core/keys/key_table.h"

namespace vantrel::keys {
namespace {

// code, control id, LED row and column, matrix position, legend, short name.
constexpr LayoutKey K(std::uint16_t code, int id, int row, int column, int matrix, std::string_view legend,
                      std::string_view name) {
  return LayoutKey{LayoutKind::Ordinary, code, KeyIndexOfCode(code), id, kLedColumns * row + column, legend, name, matrix};
}
// G key n: control id, matrix position.
constexpr LayoutKey G(int id, int n, int matrix, std::string_view name) {
  const auto code = static_cast<std::uint16_t>(kCodeFirstGKey + n - 1);
  return LayoutKey{LayoutKind::GKey, code, KeyIndexOfCode(code), id, kGKeyLedSlot, name, name, matrix};
}
constexpr LayoutKey F(int id, int row, int column, int matrix) {
  return LayoutKey{LayoutKind::Fn, 0, kNoKeyIndex, id, kLedColumns * row + column, "Fn", "Fn", matrix};
}

constexpr std::array<LayoutKey, kLayoutKeyCount> kLayout{{
    K(0x01E, 1058, 3, 1, 19, "A", "A"),
    K(0x030, 1075, 4, 6, 52, "B", "B"),
    K(0x02E, 1073, 4, 4, 36, "C", "C"),
    K(0x020, 1060, 3, 3, 35, "D", "D"),
    K(0x012, 1046, 2, 3, 34, "E", "E"),
    K(0x021, 1061, 3, 4, 43, "F", "F"),
    K(0x022, 1062, 3, 5, 51, "G", "G"),
    K(0x023, 1063, 3, 6, 59, "H", "H"),
    K(0x017, 1051, 2, 8, 76, "I", "I"),
    K(0x024, 1064, 3, 7, 82, "J", "J"),
    K(0x025, 1065, 3, 8, 83, "K", "K"),
    K(0x026, 1066, 3, 9, 84, "L", "L"),
    K(0x032, 1077, 4, 8, 88, "M", "M"),
    K(0x031, 1076, 4, 7, 60, "N", "N"),
    K(0x018, 1052, 2, 9, 77, "O", "O"),
    K(0x019, 1053, 2, 10, 78, "P", "P"),
    K(0x010, 1044, 2, 1, 18, "Q", "Q"),
    K(0x013, 1047, 2, 4, 42, "R", "R"),
    K(0x01F, 1059, 3, 2, 27, "S", "S"),
    K(0x014, 1048, 2, 5, 50, "T", "T"),
    K(0x016, 1050, 2, 7, 75, "U", "U"),
    K(0x02F, 1074, 4, 5, 44, "V", "V"),
    K(0x011, 1045, 2, 2, 26, "W", "W"),
    K(0x02D, 1072, 4, 3, 28, "X", "X"),
    K(0x015, 1049, 2, 6, 58, "Y", "Y"),
    K(0x02C, 1071, 4, 2, 20, "Z", "Z"),
    K(0x002, 1030, 1, 1, 17, "1", "1"),
    K(0x003, 1031, 1, 2, 25, "2", "2"),
    K(0x004, 1032, 1, 3, 33, "3", "3"),
    K(0x005, 1033, 1, 4, 41, "4", "4"),
    K(0x006, 1034, 1, 5, 49, "5", "5"),
    K(0x007, 1035, 1, 6, 57, "6", "6"),
    K(0x008, 1036, 1, 7, 69, "7", "7"),
    K(0x009, 1037, 1, 8, 70, "8", "8"),
    K(0x00A, 1038, 1, 9, 71, "9", "9"),
    K(0x00B, 1039, 1, 10, 72, "0", "0"),
    K(0x01C, 1070, 3, 13, 87, "Enter", "Enter"),
    K(0x001, 1022, 0, 0, 8, "Esc", "Esc"),
    K(0x00E, 1043, 1, 13, 74, "Backspace", "Backspace"),
    K(0x00F, 1056, 2, 0, 10, "Tab", "Tab"),
    K(0x039, 1090, 5, 3, 37, "Space", "Space"),
    K(0x00C, 1040, 1, 11, 73, "-", "Minus"),
    K(0x00D, 1041, 1, 12, 54, "=", "Equal"),
    K(0x01A, 1054, 2, 11, 79, "[", "LBracket"),
    K(0x01B, 1055, 2, 12, 80, "]", "RBracket"),
    K(0x02B, 1042, 2, 13, 81, "\\", "Backslash"),
    K(0x027, 1067, 3, 10, 85, ";", "Semicolon"),
    K(0x028, 1068, 3, 11, 86, "'", "Quote"),
    K(0x029, 1029, 1, 0, 9, "`", "Grave"),
    K(0x033, 1078, 4, 9, 89, ",", "Comma"),
    K(0x034, 1079, 4, 10, 90, ".", "Period"),
    K(0x035, 1080, 4, 11, 91, "/", "Slash"),
    K(0x03B, 1010, 0, 1, 16, "F1", "F1"),
    K(0x03C, 1011, 0, 2, 24, "F2", "F2"),
    K(0x03D, 1012, 0, 3, 32, "F3", "F3"),
    K(0x03E, 1013, 0, 4, 40, "F4", "F4"),
    K(0x03F, 1014, 0, 5, 48, "F5", "F5"),
    K(0x040, 1015, 0, 6, 56, "F6", "F6"),
    K(0x041, 1023, 0, 7, 63, "F7", "F7"),
    K(0x042, 1024, 0, 8, 64, "F8", "F8"),
    K(0x043, 1025, 0, 9, 65, "F9", "F9"),
    K(0x044, 1026, 0, 10, 66, "F10", "F10"),
    K(0x057, 1027, 0, 11, 67, "F11", "F11"),
    K(0x058, 1028, 0, 12, 68, "F12", "F12"),
    K(0x137, 1091, 0, 14, 38, "PrtSc", "Print"),
    K(0x045, 1093, 0, 16, 62, "Pause", "Pause"),
    K(0x152, 1094, 1, 14, 95, "Ins", "Insert"),
    K(0x153, 1097, 2, 14, 98, "Del", "Delete"),
    K(0x147, 1095, 1, 15, 96, "Home", "Home"),
    K(0x14F, 1098, 2, 15, 99, "End", "End"),
    K(0x149, 1096, 1, 16, 97, "PgUp", "PageUp"),
    K(0x151, 1099, 2, 16, 100, "PgDn", "PageDown"),
    K(0x148, 1103, 4, 15, 104, "\u2191", "Up"),
    K(0x150, 1101, 5, 15, 103, "\u2193", "Down"),
    K(0x14B, 1100, 5, 14, 102, "\u2190", "Left"),
    K(0x14D, 1102, 5, 16, 101, "\u2192", "Right"),
    K(0x046, 1092, 0, 15, 46, "ScrLk", "ScrollLock"),
    K(0x03A, 1069, 3, 0, 11, "Caps", "CapsLock"),
    K(0x15D, 1088, 5, 6, 61, "Menu", "App"),
    K(0x01D, 1083, 5, 0, 13, "Ctrl", "LCtrl"),
    K(0x11D, 1089, 5, 8, 93, "Ctrl", "RCtrl"),
    K(0x02A, 1082, 4, 0, 12, "Shift", "LShift"),
    K(0x036, 1081, 4, 13, 92, "Shift", "RShift"),
    K(0x038, 1085, 5, 2, 29, "Alt", "LAlt"),
    K(0x138, 1086, 5, 4, 45, "Alt", "RAlt"),
    K(0x15B, 1084, 5, 1, 21, "Win", "LWin"),
    K(0x15C, 1087, 5, 11, 94, "Win", "RWin"),
    K(0x04F, 1115, 4, 17, 111, "1", "Num1"),
    K(0x050, 1116, 4, 18, 112, "2", "Num2"),
    K(0x051, 1117, 4, 19, 113, "3", "Num3"),
    K(0x04B, 1112, 3, 17, 114, "4", "Num4"),
    K(0x04C, 1113, 3, 18, 115, "5", "Num5"),
    K(0x04D, 1114, 3, 19, 116, "6", "Num6"),
    K(0x047, 1108, 2, 17, 117, "7", "Num7"),
    K(0x048, 1109, 2, 18, 118, "8", "Num8"),
    K(0x049, 1110, 2, 19, 119, "9", "Num9"),
    K(0x052, 1120, 5, 18, 120, "0", "Num0"),
    K(0x145, 1104, 1, 17, 105, "Num", "NumLock"),
    K(0x11C, 1118, 4, 20, 110, "Enter", "NumEnter"),
    K(0x053, 1119, 5, 19, 121, ".", "NumDecimal"),
    K(0x135, 1105, 1, 18, 106, "/", "NumDivide"),
    K(0x037, 1106, 1, 19, 107, "*", "NumMultiply"),
    K(0x04A, 1107, 1, 20, 108, "-", "NumMinus"),
    K(0x04E, 1111, 2, 20, 109, "+", "NumPlus"),
    K(0x130, 1200, 0, 17, 122, "Vol+", "VolUp"),
    K(0x12E, 1201, 0, 18, 123, "Vol-", "VolDown"),
    K(0x120, 1202, 0, 19, 124, "Mute", "Mute"),
    K(0x121, 1203, 0, 20, 125, "Calc", "Calc"),
    G(1000, 1, 6, "G1"),
    G(1001, 2, 7, "G2"),
    G(1002, 3, 14, "G3"),
    G(1003, 4, 15, "G4"),
    G(1004, 5, 22, "G5"),
    G(1140, 6, 23, "G6"),
    G(1141, 7, 30, "G7"),
    G(1142, 8, 31, "G8"),
    G(1143, 9, 39, "G9"),
    F(1174, 5, 5, 53),
}};

static_assert(kLayout[kOrdinaryKeyCount - 1].controlId == 1203, "Calc closes the ordinary keys");
static_assert(kLayout[kOrdinaryKeyCount].kind == LayoutKind::GKey);
static_assert(kLayout[kLayoutKeyCount - 1].kind == LayoutKind::Fn);
static_assert(kLayout[kOrdinaryKeyCount].index == kFirstGKeyIndex);
static_assert(kLayout[kOrdinaryKeyCount + kGKeyCount - 1].controlId == kGKeyMacroButton, "G9 is the macro button");
static_assert(kFirstGKeyIndexLayer2 == kFirstGKeyIndex + kGKeyCount);

}  // namespace

std::span<const LayoutKey, kLayoutKeyCount> KeyboardLayout() { return kLayout; }

std::span<const LayoutKey, kOrdinaryKeyCount> OrdinaryLayoutKeys() {
  return std::span<const LayoutKey, kOrdinaryKeyCount>(kLayout.data(), kOrdinaryKeyCount);
}

std::span<const LayoutKey, kGKeyCount> GLayoutKeys() {
  return std::span<const LayoutKey, kGKeyCount>(kLayout.data() + kOrdinaryKeyCount, kGKeyCount);
}

const LayoutKey& FnLayoutKey() { return kLayout.back(); }

const LayoutKey* LayoutKeyOfControl(int controlId) {
  for (const auto& k : kLayout) {
    if (k.controlId == controlId) return &k;
  }
  return nullptr;
}

const LayoutKey* LayoutKeyOfCode(std::uint16_t code) {
  if (code == 0) return nullptr;
  for (const auto& k : kLayout) {
    if (k.code == code) return &k;
  }
  return nullptr;
}

const LayoutKey* LayoutKeyOfIndex(std::uint16_t index) {
  if (index == kNoKeyIndex) return nullptr;
  for (const auto& k : kLayout) {
    if (k.index == index) return &k;
  }
  return nullptr;
}

std::size_t LayoutPosition(const LayoutKey& key) { return static_cast<std::size_t>(&key - kLayout.data()); }

std::uint16_t GKeyPlace::Index() const { return static_cast<std::uint16_t>(kFirstGKeyIndex + Position()); }

std::uint16_t GKeyPlace::Code() const { return static_cast<std::uint16_t>(0x100 + Position()); }

const LayoutKey& GKeyPlace::Button() const { return GLayoutKeys()[n < kGKeyCount ? n : 0]; }

std::optional<GKeyPlace> GKeyAtPosition(std::size_t position) {
  if (position >= kGKeyRecords) return std::nullopt;
  return GKeyPlace{position % kGKeyCount, static_cast<int>(position / kGKeyCount)};
}

std::optional<GKeyPlace> GKeyOfIndex(std::uint16_t index) {
  if (index < kFirstGKeyIndex) return std::nullopt;
  return GKeyAtPosition(index - kFirstGKeyIndex);
}

std::optional<GKeyPlace> GKeyOfDeviceNumber(int number) {
  if (number < 1) return std::nullopt;
  return GKeyAtPosition(static_cast<std::size_t>(number - 1));
}

std::optional<KeyButton> ResolveKeyButton(int controlId, int gLayer, std::span<const std::uint8_t> factory) {
  const LayoutKey* row = LayoutKeyOfControl(controlId);
  if (row == nullptr) return std::nullopt;
  KeyButton b;
  b.row = row;
  b.ledSlot = row->ledSlot;
  switch (row->kind) {
    case LayoutKind::GKey: {
      const GKeyPlace g{static_cast<std::size_t>(row - GLayoutKeys().data()), gLayer & 1};
      b.gKey = g;
      b.code = g.Code();
      b.index = g.Index();
      b.macroButton = controlId == kGKeyMacroButton;
      // The rule vantrelctl applies too: the keyboard's own table says which G keys it has.
      b.onKeyboard = factory.size() == device::kKeyTableSize
                         ? FactoryTableHasKey(KeyTableView(factory.data(), device::kKeyTableSize), b.index)
                         : g.layer == 0;
      break;
    }
    case LayoutKind::Ordinary:
      b.code = row->code;
      b.index = row->index;
      b.onKeyboard = true;
      break;
    case LayoutKind::Fn:
      b.onKeyboard = true;
      break;
  }
  return b;
}

std::string SkinKeyOf(const LayoutKey& key) {
  char buf[16];
  switch (key.kind) {
    case LayoutKind::GKey:
      std::snprintf(buf, sizeof buf, "FUNC_G%u", static_cast<unsigned>(key.code - kCodeFirstGKey + 1));
      return buf;
    case LayoutKind::Fn: return "KEY_FN";
    case LayoutKind::Ordinary: break;
  }
  std::snprintf(buf, sizeof buf, "KEY_%03X", static_cast<unsigned>(key.index) & 0xFFFu);
  return buf;
}

}  // namespace vantrel::keys
