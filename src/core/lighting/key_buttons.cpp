#include "core/lighting/key_buttons.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace vantrel::lighting {
namespace {

constexpr KeyButton K(int id, int row, int column, std::uint16_t code, std::string_view name) {
  return KeyButton{id, kLedColumns * row + column, code, name, ButtonKind::Ordinary};
}

constexpr std::array<KeyButton, kKeyButtonCount> kButtons{{
    // A-Z
    K(1058, 3, 1, 0x1E, "A"), K(1075, 4, 6, 0x30, "B"), K(1073, 4, 4, 0x2E, "C"), K(1060, 3, 3, 0x20, "D"),
    K(1046, 2, 3, 0x12, "E"), K(1061, 3, 4, 0x21, "F"), K(1062, 3, 5, 0x22, "G"), K(1063, 3, 6, 0x23, "H"),
    K(1051, 2, 8, 0x17, "I"), K(1064, 3, 7, 0x24, "J"), K(1065, 3, 8, 0x25, "K"), K(1066, 3, 9, 0x26, "L"),
    K(1077, 4, 8, 0x32, "M"), K(1076, 4, 7, 0x31, "N"), K(1052, 2, 9, 0x18, "O"), K(1053, 2, 10, 0x19, "P"),
    K(1044, 2, 1, 0x10, "Q"), K(1047, 2, 4, 0x13, "R"), K(1059, 3, 2, 0x1F, "S"), K(1048, 2, 5, 0x14, "T"),
    K(1050, 2, 7, 0x16, "U"), K(1074, 4, 5, 0x2F, "V"), K(1045, 2, 2, 0x11, "W"), K(1072, 4, 3, 0x2D, "X"),
    K(1049, 2, 6, 0x15, "Y"), K(1071, 4, 2, 0x2C, "Z"),
    // 1-9, 0
    K(1030, 1, 1, 0x02, "1"), K(1031, 1, 2, 0x03, "2"), K(1032, 1, 3, 0x04, "3"), K(1033, 1, 4, 0x05, "4"),
    K(1034, 1, 5, 0x06, "5"), K(1035, 1, 6, 0x07, "6"), K(1036, 1, 7, 0x08, "7"), K(1037, 1, 8, 0x09, "8"),
    K(1038, 1, 9, 0x0A, "9"), K(1039, 1, 10, 0x0B, "0"),
    K(1070, 3, 13, 0x1C, "Enter"), K(1022, 0, 0, 0x01, "Esc"), K(1043, 1, 13, 0x0E, "Backspace"),
    K(1056, 2, 0, 0x0F, "Tab"), K(1090, 5, 3, 0x39, "Space"),
    // - = [ ] \ ; ' ` , . /
    K(1040, 1, 11, 0x0C, "Minus"), K(1041, 1, 12, 0x0D, "Equal"), K(1054, 2, 11, 0x1A, "LBracket"),
    K(1055, 2, 12, 0x1B, "RBracket"), K(1042, 2, 13, 0x2B, "Backslash"), K(1067, 3, 10, 0x27, "Semicolon"),
    K(1068, 3, 11, 0x28, "Quote"), K(1029, 1, 0, 0x29, "Grave"), K(1078, 4, 9, 0x33, "Comma"),
    K(1079, 4, 10, 0x34, "Period"), K(1080, 4, 11, 0x35, "Slash"),
    // F1-F12
    K(1010, 0, 1, 0x3B, "F1"), K(1011, 0, 2, 0x3C, "F2"), K(1012, 0, 3, 0x3D, "F3"), K(1013, 0, 4, 0x3E, "F4"),
    K(1014, 0, 5, 0x3F, "F5"), K(1015, 0, 6, 0x40, "F6"), K(1023, 0, 7, 0x41, "F7"), K(1024, 0, 8, 0x42, "F8"),
    K(1025, 0, 9, 0x43, "F9"), K(1026, 0, 10, 0x44, "F10"), K(1027, 0, 11, 0x57, "F11"),
    K(1028, 0, 12, 0x58, "F12"),
    K(1091, 0, 14, 0x137, "Print"), K(1093, 0, 16, 0x045, "Pause"), K(1094, 1, 14, 0x152, "Insert"),
    K(1097, 2, 14, 0x153, "Delete"), K(1095, 1, 15, 0x147, "Home"), K(1098, 2, 15, 0x14F, "End"),
    K(1096, 1, 16, 0x149, "PageUp"), K(1099, 2, 16, 0x151, "PageDown"), K(1103, 4, 15, 0x148, "Up"),
    K(1101, 5, 15, 0x150, "Down"), K(1100, 5, 14, 0x14B, "Left"), K(1102, 5, 16, 0x14D, "Right"),
    K(1092, 0, 15, 0x46, "ScrollLock"), K(1069, 3, 0, 0x3A, "CapsLock"), K(1088, 5, 6, 0x15D, "App"),
    K(1083, 5, 0, 0x1D, "LCtrl"), K(1089, 5, 8, 0x11D, "RCtrl"), K(1082, 4, 0, 0x2A, "LShift"),
    K(1081, 4, 13, 0x36, "RShift"), K(1085, 5, 2, 0x38, "LAlt"), K(1086, 5, 4, 0x138, "RAlt"),
    K(1084, 5, 1, 0x15B, "LWin"), K(1087, 5, 11, 0x15C, "RWin"),
    // Num 1-9, 0, Lock, Enter, ., /, *, -, +
    K(1115, 4, 17, 0x4F, "Num1"), K(1116, 4, 18, 0x50, "Num2"), K(1117, 4, 19, 0x51, "Num3"),
    K(1112, 3, 17, 0x4B, "Num4"), K(1113, 3, 18, 0x4C, "Num5"), K(1114, 3, 19, 0x4D, "Num6"),
    K(1108, 2, 17, 0x47, "Num7"), K(1109, 2, 18, 0x48, "Num8"), K(1110, 2, 19, 0x49, "Num9"),
    K(1120, 5, 18, 0x52, "Num0"), K(1104, 1, 17, 0x145, "NumLock"), K(1118, 4, 20, 0x11C, "NumEnter"),
    K(1119, 5, 19, 0x53, "NumDecimal"), K(1105, 1, 18, 0x135, "NumDivide"), K(1106, 1, 19, 0x37, "NumMultiply"),
    K(1107, 1, 20, 0x4A, "NumMinus"), K(1111, 2, 20, 0x4E, "NumPlus"),
    // Media keys
    K(1200, 0, 17, 0x130, "VolUp"), K(1201, 0, 18, 0x12E, "VolDown"), K(1202, 0, 19, 0x120, "Mute"),
    K(1203, 0, 20, 0x121, "Calc"),
    // G keys
    {1000, kGKeySlot, 0, "G1", ButtonKind::GKey}, {1001, kGKeySlot, 0, "G2", ButtonKind::GKey},
    {1002, kGKeySlot, 0, "G3", ButtonKind::GKey}, {1003, kGKeySlot, 0, "G4", ButtonKind::GKey},
    {1004, kGKeySlot, 0, "G5", ButtonKind::GKey}, {1140, kGKeySlot, 0, "G6", ButtonKind::GKey},
    {1141, kGKeySlot, 0, "G7", ButtonKind::GKey}, {1142, kGKeySlot, 0, "G8", ButtonKind::GKey},
    {1143, kGKeySlot, 0, "G9", ButtonKind::GKey},
    {kFnControl, kFnSlot, 0, "Fn", ButtonKind::Fn},
}};

static_assert(kButtons[kOrdinaryKeyCount - 1].controlId == 1203, "Calc closes the ordinary keys");
static_assert(kButtons[kOrdinaryKeyCount].kind == ButtonKind::GKey);

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::span<const KeyButton, kOrdinaryKeyCount> OrdinaryKeys() {
  return std::span<const KeyButton, kOrdinaryKeyCount>(kButtons.data(), kOrdinaryKeyCount);
}

std::span<const KeyButton, kGKeyCount> GKeys() {
  return std::span<const KeyButton, kGKeyCount>(kButtons.data() + kOrdinaryKeyCount, kGKeyCount);
}

std::span<const KeyButton, kKeyButtonCount> AllKeyButtons() { return kButtons; }

int ButtonIndex(int controlId) {
  for (std::size_t i = 0; i < kButtons.size(); ++i) {
    if (kButtons[i].controlId == controlId) return static_cast<int>(i);
  }
  return -1;
}

int LedSlot(int controlId) {
  const int i = ButtonIndex(controlId);
  return i < 0 ? 0 : kButtons[static_cast<std::size_t>(i)].slot;
}

int OrdinaryKeyPosition(int controlId) {
  const int i = ButtonIndex(controlId);
  return i >= 0 && static_cast<std::size_t>(i) < kOrdinaryKeyCount ? i : -1;
}

std::optional<KeyButton> FindKeyButton(std::string_view nameOrId) {
  for (const auto& b : kButtons) {
    if (EqualNoCase(b.name, nameOrId)) return b;
  }
  int id = 0;
  const auto* end = nameOrId.data() + nameOrId.size();
  const auto [ptr, ec] = std::from_chars(nameOrId.data(), end, id);
  if (ec == std::errc{} && ptr == end && id >= 1000) {
    const int i = ButtonIndex(id);
    if (i >= 0) return kButtons[static_cast<std::size_t>(i)];
  }
  return std::nullopt;
}

}  // namespace vantrel::lighting
