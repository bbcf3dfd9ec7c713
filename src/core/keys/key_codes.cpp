#include "core/keys/key_codes.h"

#include "core/text/ini_file.h"
#include "core/text/safe_format.h"

namespace vantrel::keys {
namespace {

// Marks a key that the assignable-key list does not show; it gets list id 0x8000 + index.
constexpr std::uint16_t kNotListed = 0x8000;

struct Row {
  std::uint16_t code;
  std::uint8_t vk;
  std::uint16_t listId;
  std::string_view label;
  std::uint8_t kind;
  std::uint8_t altVk;  // 0: same as vk
  std::uint8_t hid;
  std::uint8_t usage;
  std::string_view altLabel;
  std::string_view languageKey;
};

// Every key of the table, in code order. The usage byte follows the set-1 to HID keyboard
// usage correspondence except where the keyboard's firmware wants another value: no usage
// for Sys Req, F13 and the office functions it does not carry, the Japanese and Korean keys
// at their own bytes, the system keys on the generic desktop bytes 0x81-0x83, the mouse
// functions on 0xF1-0xF5 and the media keys on 0xC0 + consumer slot.
constexpr Row kRows[] = {
    {0x001, 0x1B, 37, "Esc", 0, 0, 0x29, 0x29, "", "IDS_KEYBOARD_ESC"},
    {0x002, '1', 26, "1", 2, 0, 0x1E, 0x1E, "!", "IDS_KEYBOARD_1"},
    {0x003, '2', 27, "2", 2, 0, 0x1F, 0x1F, "@", "IDS_KEYBOARD_2"},
    {0x004, '3', 28, "3", 2, 0, 0x20, 0x20, "#", "IDS_KEYBOARD_3"},
    {0x005, '4', 29, "4", 2, 0, 0x21, 0x21, "$", "IDS_KEYBOARD_4"},
    {0x006, '5', 30, "5", 2, 0, 0x22, 0x22, "%", "IDS_KEYBOARD_5"},
    {0x007, '6', 31, "6", 2, 0, 0x23, 0x23, "^", "IDS_KEYBOARD_6"},
    {0x008, '7', 32, "7", 2, 0, 0x24, 0x24, "&", "IDS_KEYBOARD_7"},
    {0x009, '8', 33, "8", 2, 0, 0x25, 0x25, "*", "IDS_KEYBOARD_8"},
    {0x00A, '9', 34, "9", 2, 0, 0x26, 0x26, "(", "IDS_KEYBOARD_9"},
    {0x00B, '0', 35, "0", 2, 0, 0x27, 0x27, ")", "IDS_KEYBOARD_0"},
    {0x00C, 0xBD, 41, "-", 2, 0, 0x2D, 0x2D, "_", "IDS_KEYBOARD_MINUS"},
    {0x00D, 0xBB, 42, "=", 2, 0, 0x2E, 0x2E, "+", "IDS_KEYBOARD_EQUAL"},
    {0x00E, 0x08, 38, "Backspace", 0, 0, 0x2A, 0x2A, "", "IDS_KEYBOARD_BACKSPACE"},
    {0x00F, 0x09, 39, "Tab", 0, 0, 0x2B, 0x2B, "", "IDS_KEYBOARD_TAB"},
    {0x010, 'Q', 16, "Q", 1, 0, 0x14, 0x14, "q", "IDS_KEYBOARD_Q"},
    {0x011, 'W', 22, "W", 1, 0, 0x1A, 0x1A, "w", "IDS_KEYBOARD_W"},
    {0x012, 'E', 4, "E", 1, 0, 0x08, 0x08, "e", "IDS_KEYBOARD_E"},
    {0x013, 'R', 17, "R", 1, 0, 0x15, 0x15, "r", "IDS_KEYBOARD_R"},
    {0x014, 'T', 19, "T", 1, 0, 0x17, 0x17, "t", "IDS_KEYBOARD_T"},
    {0x015, 'Y', 24, "Y", 1, 0, 0x1C, 0x1C, "y", "IDS_KEYBOARD_Y"},
    {0x016, 'U', 20, "U", 1, 0, 0x18, 0x18, "u", "IDS_KEYBOARD_U"},
    {0x017, 'I', 8, "I", 1, 0, 0x0C, 0x0C, "i", "IDS_KEYBOARD_I"},
    {0x018, 'O', 14, "O", 1, 0, 0x12, 0x12, "o", "IDS_KEYBOARD_O"},
    {0x019, 'P', 15, "P", 1, 0, 0x13, 0x13, "p", "IDS_KEYBOARD_P"},
    {0x01A, 0xDB, 43, "[", 2, 0, 0x2F, 0x2F, "{", "IDS_KEYBOARD_LBRACKET"},
    {0x01B, 0xDD, 44, "]", 2, 0, 0x30, 0x30, "}", "IDS_KEYBOARD_RBRACKET"},
    {0x01C, 0x0D, 36, "Enter", 0, 0, 0x28, 0x28, "", "IDS_KEYBOARD_ENTER"},
    {0x01D, 0xA2, 101, "Left Ctrl", 0, 0, 0xE0, 0xE0, "", "IDS_KEYBOARD_LCTRL"},
    {0x01E, 'A', 0, "A", 1, 0, 0x04, 0x04, "a", "IDS_KEYBOARD_A"},
    {0x01F, 'S', 18, "S", 1, 0, 0x16, 0x16, "s", "IDS_KEYBOARD_S"},
    {0x020, 'D', 3, "D", 1, 0, 0x07, 0x07, "d", "IDS_KEYBOARD_D"},
    {0x021, 'F', 5, "F", 1, 0, 0x09, 0x09, "f", "IDS_KEYBOARD_F"},
    {0x022, 'G', 6, "G", 1, 0, 0x0A, 0x0A, "g", "IDS_KEYBOARD_G"},
    {0x023, 'H', 7, "H", 1, 0, 0x0B, 0x0B, "h", "IDS_KEYBOARD_H"},
    {0x024, 'J', 9, "J", 1, 0, 0x0D, 0x0D, "j", "IDS_KEYBOARD_J"},
    {0x025, 'K', 10, "K", 1, 0, 0x0E, 0x0E, "k", "IDS_KEYBOARD_K"},
    {0x026, 'L', 11, "L", 1, 0, 0x0F, 0x0F, "l", "IDS_KEYBOARD_L"},
    {0x027, 0xBA, 46, ";", 2, 0, 0x33, 0x33, ":", "IDS_KEYBOARD_SEMICOLON"},
    {0x028, 0xDE, 47, "'", 2, 0, 0x34, 0x34, "\"", "IDS_KEYBOARD_QUOTE"},
    {0x029, 0xC0, 48, "`", 2, 0, 0x35, 0x35, "~", "IDS_KEYBOARD_GRAVE"},
    {0x02A, 0xA0, 102, "Left Shift", 0, 0, 0xE1, 0xE1, "", "IDS_KEYBOARD_LSHIFT"},
    {0x02B, 0xDC, 45, "\\", 2, 0, 0x31, 0x31, "|", "IDS_KEYBOARD_BACKSLASH"},
    {0x02C, 'Z', 25, "Z", 1, 0, 0x1D, 0x1D, "z", "IDS_KEYBOARD_Z"},
    {0x02D, 'X', 23, "X", 1, 0, 0x1B, 0x1B, "x", "IDS_KEYBOARD_X"},
    {0x02E, 'C', 2, "C", 1, 0, 0x06, 0x06, "c", "IDS_KEYBOARD_C"},
    {0x02F, 'V', 21, "V", 1, 0, 0x19, 0x19, "v", "IDS_KEYBOARD_V"},
    {0x030, 'B', 1, "B", 1, 0, 0x05, 0x05, "b", "IDS_KEYBOARD_B"},
    {0x031, 'N', 13, "N", 1, 0, 0x11, 0x11, "n", "IDS_KEYBOARD_N"},
    {0x032, 'M', 12, "M", 1, 0, 0x10, 0x10, "m", "IDS_KEYBOARD_M"},
    {0x033, 0xBC, 49, ",", 2, 0, 0x36, 0x36, "<", "IDS_KEYBOARD_COMMA"},
    {0x034, 0xBE, 50, ".", 2, 0, 0x37, 0x37, ">", "IDS_KEYBOARD_PERIOD"},
    {0x035, 0xBF, 51, "/", 2, 0, 0x38, 0x38, "?", "IDS_KEYBOARD_SLASH"},
    {0x036, 0xA1, 106, "Right Shift", 0, 0, 0xE5, 0xE5, "", "IDS_KEYBOARD_RSHIFT"},
    {0x037, 0x6A, 81, "Num *", 0, 0, 0x55, 0x55, "", "IDS_KEYBOARD_NUM_MULTIPLY"},
    {0x038, 0xA4, 103, "Left Alt", 0, 0, 0xE2, 0xE2, "", "IDS_KEYBOARD_LALT"},
    {0x039, 0x20, 40, "Space", 0, 0, 0x2C, 0x2C, "", "IDS_KEYBOARD_SPACE"},
    {0x03A, 0x14, 78, "Caps Lock", 0, 0, 0x39, 0x39, "", "IDS_KEYBOARD_CAPSLOCK"},
    {0x03B, 0x70, 52, "F1", 0, 0, 0x3A, 0x3A, "", "IDS_KEYBOARD_F1"},
    {0x03C, 0x71, 53, "F2", 0, 0, 0x3B, 0x3B, "", "IDS_KEYBOARD_F2"},
    {0x03D, 0x72, 54, "F3", 0, 0, 0x3C, 0x3C, "", "IDS_KEYBOARD_F3"},
    {0x03E, 0x73, 55, "F4", 0, 0, 0x3D, 0x3D, "", "IDS_KEYBOARD_F4"},
    {0x03F, 0x74, 56, "F5", 0, 0, 0x3E, 0x3E, "", "IDS_KEYBOARD_F5"},
    {0x040, 0x75, 57, "F6", 0, 0, 0x3F, 0x3F, "", "IDS_KEYBOARD_F6"},
    {0x041, 0x76, 58, "F7", 0, 0, 0x40, 0x40, "", "IDS_KEYBOARD_F7"},
    {0x042, 0x77, 59, "F8", 0, 0, 0x41, 0x41, "", "IDS_KEYBOARD_F8"},
    {0x043, 0x78, 60, "F9", 0, 0, 0x42, 0x42, "", "IDS_KEYBOARD_F9"},
    {0x044, 0x79, 61, "F10", 0, 0, 0x43, 0x43, "", "IDS_KEYBOARD_F10"},
    {0x045, 0x13, 65, "Pause", 0, 0, 0x48, 0x48, "", "IDS_KEYBOARD_PAUSE"},
    {0x046, 0x91, 77, "Scroll Lock", 0, 0, 0x47, 0x47, "", "IDS_KEYBOARD_SCROLLLOCK"},
    {0x047, 0x67, 91, "Num 7", 3, 0x24, 0x5F, 0x5F, "Num Home", "IDS_KEYBOARD_NUM_7"},
    {0x048, 0x68, 92, "Num 8", 3, 0x26, 0x60, 0x60, "Num Up", "IDS_KEYBOARD_NUM_8"},
    {0x049, 0x69, 93, "Num 9", 3, 0x21, 0x61, 0x61, "Num PgUp", "IDS_KEYBOARD_NUM_9"},
    {0x04A, 0x6D, 82, "Num -", 0, 0, 0x56, 0x56, "", "IDS_KEYBOARD_NUM_MINUS"},
    {0x04B, 0x64, 88, "Num 4", 3, 0x25, 0x5C, 0x5C, "Num Left", "IDS_KEYBOARD_NUM_4"},
    {0x04C, 0x65, 89, "Num 5", 3, 0x0C, 0x5D, 0x5D, "Num Clear", "IDS_KEYBOARD_NUM_5"},
    {0x04D, 0x66, 90, "Num 6", 3, 0x27, 0x5E, 0x5E, "Num Right", "IDS_KEYBOARD_NUM_6"},
    {0x04E, 0x6B, 83, "Num +", 0, 0, 0x57, 0x57, "", "IDS_KEYBOARD_NUM_PLUS"},
    {0x04F, 0x61, 85, "Num 1", 3, 0x23, 0x59, 0x59, "Num End", "IDS_KEYBOARD_NUM_1"},
    {0x050, 0x62, 86, "Num 2", 3, 0x28, 0x5A, 0x5A, "Num Down", "IDS_KEYBOARD_NUM_2"},
    {0x051, 0x63, 87, "Num 3", 3, 0x22, 0x5B, 0x5B, "Num PgDn", "IDS_KEYBOARD_NUM_3"},
    {0x052, 0x60, 94, "Num 0", 3, 0x2D, 0x62, 0x62, "Num Ins", "IDS_KEYBOARD_NUM_0"},
    {0x053, 0x6E, 95, "Num .", 3, 0x2E, 0x63, 0x63, "Num Del", "IDS_KEYBOARD_NUM_DECIMAL"},
    {0x054, 0x2C, kNotListed, "Sys Req", 0, 0, 0x9A, 0x00, "", "IDS_KEYBOARD_SYSREQ"},
    {0x056, 0xE2, kNotListed, "\\ (102nd key)", 2, 0, 0x64, 0x64, "|", "IDS_KEYBOARD_OEM102"},
    {0x057, 0x7A, 62, "F11", 0, 0, 0x44, 0x44, "", "IDS_KEYBOARD_F11"},
    {0x058, 0x7B, 63, "F12", 0, 0, 0x45, 0x45, "", "IDS_KEYBOARD_F12"},
    {0x064, 0x7C, kNotListed, "F13", 0, 0, 0x68, 0x00, "", ""},
    {0x070, 0x15, kNotListed, "ROMA (133)", 0, 0, 0x88, 0x88, "", "IDS_KEYBOARD_ROMA"},
    {0x071, 0x19, kNotListed, "KL", 0, 0, 0x91, 0x91, "", "IDS_KEYBOARD_KL"},
    {0x072, 0x15, kNotListed, "KR", 0, 0, 0x90, 0x90, "", "IDS_KEYBOARD_KR"},
    {0x073, 0xC1, kNotListed, "K56", 0, 0, 0x87, 0x87, "", "IDS_KEYBOARD_K56"},
    {0x079, 0x1C, kNotListed, "CHG (132)", 0, 0, 0x8A, 0x8A, "", "IDS_KEYBOARD_CHG"},
    {0x07B, 0x1D, kNotListed, "N-CHG (131)", 0, 0, 0x8B, 0x8B, "", "IDS_KEYBOARD_N_CHG"},
    {0x07D, 0xDC, kNotListed, "K14", 0, 0, 0x89, 0x89, "", "IDS_KEYBOARD_K14"},
    {0x07E, 0xC2, kNotListed, "K107", 0, 0, 0x85, 0x85, "", "IDS_KEYBOARD_K107"},
    {0x110, 0xB1, kNotListed, "Previous Track", 0, 0, 0xB6, 0xD0, "", "MEDIA_PREV_TRACK_4"},
    {0x119, 0xB0, kNotListed, "Next Track", 0, 0, 0xB5, 0xD1, "", "MEDIA_Next_TRACK_5"},
    {0x11C, 0x0D, 84, "Num Enter", 0, 0, 0x58, 0x58, "", "IDS_KEYBOARD_NUM_ENTER"},
    {0x11D, 0xA3, 105, "Right Ctrl", 0, 0, 0xE4, 0xE4, "", "IDS_KEYBOARD_RCTRL"},
    {0x120, 0xAD, kNotListed, "Mute", 0, 0, 0xE2, 0xCD, "", "MEDIA_MUTE_8"},
    {0x121, 0xB7, 99, "Calculator", 0, 0, 0x92, 0xC4, "", "MEDIA_CALC_17"},
    {0x122, 0xB3, kNotListed, "Play/Pause", 0, 0, 0xCD, 0xCE, "", "MEDIA_PALY_PAUSE_2"},
    {0x124, 0xB2, kNotListed, "Stop", 0, 0, 0xB7, 0xCF, "", "MEDIA_STOP_PALY_3"},
    {0x12E, 0xAE, kNotListed, "Volume Down", 0, 0, 0xEA, 0xC1, "", "MEDIA_V_LOW_6"},
    {0x130, 0xAF, kNotListed, "Volume Up", 0, 0, 0xE9, 0xC0, "", "MEDIA_V_ADD_7"},
    {0x132, 0xAC, kNotListed, "WWW Home", 0, 0, 0x23, 0xC7, "", "MEDIA_WWW_HOME_9"},
    {0x135, 0x6F, 80, "Num /", 0, 0, 0x54, 0x54, "", "IDS_KEYBOARD_NUM_DIVIDE"},
    {0x136, 0xA1, 106, "Right Shift", 0, 0, 0xE5, 0xE5, "", "IDS_KEYBOARD_RSHIFT"},
    {0x137, 0x2C, 64, "Print Screen", 0, 0, 0x46, 0x46, "", "IDS_KEYBOARD_PRINTSCREEN"},
    {0x138, 0xA5, 107, "Right Alt", 0, 0, 0xE6, 0xE6, "", "IDS_KEYBOARD_RALT"},
    {0x145, 0x90, 79, "Num Lock", 0, 0, 0x53, 0x53, "", "IDS_KEYBOARD_NUMLOCK"},
    {0x146, 0x03, 66, "Break", 0, 0, 0x48, 0x48, "", "IDS_KEYBOARD_BREAK"},
    {0x147, 0x24, 69, "Home", 0, 0, 0x4A, 0x4A, "", "IDS_KEYBOARD_HOME"},
    {0x148, 0x26, 73, "Up", 0, 0, 0x52, 0x52, "", "IDS_KEYBOARD_UP"},
    {0x149, 0x21, 71, "Page Up", 0, 0, 0x4B, 0x4B, "", "IDS_KEYBOARD_PAGEUP"},
    {0x14B, 0x25, 75, "Left", 0, 0, 0x50, 0x50, "", "IDS_KEYBOARD_LEFT"},
    {0x14D, 0x27, 76, "Right", 0, 0, 0x4F, 0x4F, "", "IDS_KEYBOARD_RIGHT"},
    {0x14F, 0x23, 70, "End", 0, 0, 0x4D, 0x4D, "", "IDS_KEYBOARD_END"},
    {0x150, 0x28, 74, "Down", 0, 0, 0x51, 0x51, "", "IDS_KEYBOARD_DOWN"},
    {0x151, 0x22, 72, "Page Down", 0, 0, 0x4E, 0x4E, "", "IDS_KEYBOARD_PAGEDOWN"},
    {0x152, 0x2D, 67, "Insert", 0, 0, 0x49, 0x49, "", "IDS_KEYBOARD_INSERT"},
    {0x153, 0x2E, 68, "Delete", 0, 0, 0x4C, 0x4C, "", "IDS_KEYBOARD_DELETE"},
    {0x15B, 0x5B, 104, "Left Win", 0, 0, 0xE3, 0xE3, "", "IDS_KEYBOARD_LWIN"},
    {0x15C, 0x5C, 108, "Right Win", 0, 0, 0xE7, 0xE7, "", "IDS_KEYBOARD_RWIN"},
    {0x15D, 0x5D, 100, "App", 0, 0, 0x65, 0x65, "", "IDS_KEYBOARD_APP"},
    {0x15E, 0x00, kNotListed, "Power", 0, 0, 0x81, 0x81, "", "IDS_KEYBOARD_POWER"},
    {0x15F, 0x5F, kNotListed, "Sleep", 0, 0, 0x82, 0x82, "", "IDS_KEYBOARD_SLEEP"},
    {0x161, 0x00, 112, "Roll Up", 0, 0, 0x00, 0xF4, "", "IDS_KEYBOARD_ROLL_UP"},
    {0x162, 0x00, 113, "Roll Down", 0, 0, 0x00, 0xF5, "", "IDS_KEYBOARD_ROLL_DOWN"},
    {0x163, 0x00, kNotListed, "Wake", 0, 0, 0x83, 0x83, "", "IDS_KEYBOARD_WAKE"},
    {0x165, 0xAA, kNotListed, "WWW Search", 0, 0, 0x21, 0xC6, "", "MEDIA_WWW_SEARCH_15"},
    {0x166, 0xAB, kNotListed, "WWW Favorites", 0, 0, 0x2A, 0xCC, "", "MEDIA_WWW_FAVORITE_14"},
    {0x167, 0xA8, kNotListed, "WWW Refresh", 0, 0, 0x27, 0xCB, "", "MEDIA_WWW_REFRESH_10"},
    {0x168, 0xA9, kNotListed, "WWW Stop", 0, 0, 0x26, 0xCA, "", "MEDIA_WWW_STOP_11"},
    {0x169, 0xA7, kNotListed, "WWW Forward", 0, 0, 0x25, 0xC9, "", "MEDIA_WWW_FORWARD_13"},
    {0x16A, 0xA6, kNotListed, "WWW Back", 0, 0, 0x24, 0xC8, "", "MEDIA_WWW_BACK_12"},
    {0x16B, 0xB6, kNotListed, "My Computer", 0, 0, 0x94, 0xC5, "", "MEDIA_MY_PC_16"},
    {0x16C, 0xB4, kNotListed, "Mail", 0, 0, 0x8A, 0xC3, "", "MEDIA_MAIL_18"},
    {0x16D, 0xB5, kNotListed, "Media Player", 0, 0, 0x83, 0xC2, "", "MEDIA_PALYER_1"},
    {0x16E, 0x00, kNotListed, "Pan Left", 0, 0, 0x00, 0x00, "", "IDS_KEYBOARD_PAN_LEFT"},
    {0x16F, 0x00, kNotListed, "Pan Right", 0, 0, 0x00, 0x00, "", "IDS_KEYBOARD_PAN_RIGHT"},
    {0x170, 0x00, kNotListed, "Double Click", 0, 0, 0x00, 0x00, "", "IDS_KEYBOARD_DOUBLE_CLICK"},
    {0x171, 0x01, 109, "Left Button", 0, 0, 0x01, 0xF1, "", "IDS_KEYBOARD_MOU_LEFT"},
    {0x172, 0x02, 110, "Right Button", 0, 0, 0x02, 0xF2, "", "IDS_KEYBOARD_MOU_RIGHT"},
    {0x173, 0x04, 111, "Middle Button", 0, 0, 0x03, 0xF3, "", "IDS_KEYBOARD_MOU_MIDDLE"},
    {0x174, 0x00, kNotListed, "Zoom-", 0, 0, 0x00, 0xD2, "", "IDS_KEYBOARD_ZOOM_OUT"},
    {0x175, 0x00, kNotListed, "Zoom+", 0, 0, 0x00, 0xD3, "", "IDS_KEYBOARD_ZOOM_IN"},
    {0x176, 0x00, kNotListed, "Copy", 0, 0, 0x00, 0x00, "", "IDS_KEYBOARD_COPY"},
    {0x177, 0x00, kNotListed, "Cut", 0, 0, 0x00, 0x00, "", "IDS_KEYBOARD_CUT"},
    {0x178, 0x00, kNotListed, "Paste", 0, 0, 0x00, 0x00, "", "IDS_KEYBOARD_PASTE"},
    {0x179, 0x00, kNotListed, "Minimize", 0, 0, 0x00, 0x00, "", "IDS_KEYBOARD_MINIMIZE"},
    {0x17A, 0x00, kNotListed, "Maximize", 0, 0, 0x00, 0x00, "", "IDS_KEYBOARD_MAXIMIZE"},
    {0x17B, 0x00, kNotListed, "Word", 0, 0, 0x00, 0xD4, "", "IDS_KEYBOARD_WORD"},
    {0x17C, 0x00, kNotListed, "Excel", 0, 0, 0x00, 0xD5, "", "IDS_KEYBOARD_EXCEL"},
    {0x17D, 0x00, kNotListed, "PowerPoint", 0, 0, 0x00, 0x00, "", "IDS_KEYBOARD_POWERPOINT"},
    {0x17E, 0x00, kNotListed, "Calendar", 0, 0, 0x00, 0x00, "", "IDS_KEYBOARD_CALENDAR"},
};

// The legacy character code: the ASCII character of one-character labels and the control
// characters of Esc, Backspace, Tab, Enter and Space.
constexpr std::uint8_t LegacyChar(const Row& r) {
  if (r.label.size() == 1) return static_cast<std::uint8_t>(r.label[0]);
  switch (r.code) {
    case 0x001: return 0x1B;
    case 0x00E: return 0x08;
    case 0x00F: return 0x09;
    case 0x01C: return 0x0D;
    case 0x039: return 0x20;
    default: return 0;
  }
}

constexpr std::array<KeyNameEntry, kKeyNameCount> BuildTable() {
  std::array<KeyNameEntry, kKeyNameCount> t{};
  for (const Row& r : kRows) {
    const std::uint16_t index = KeyIndexOfCode(r.code);
    KeyNameEntry& e = t[index];
    e.legacyChar = LegacyChar(r);
    e.virtualKey = r.vk;
    e.listId = r.listId == kNotListed ? static_cast<std::uint16_t>(kNotListed + index) : r.listId;
    e.label = r.label;
    e.labelKind = r.kind;
    e.altVirtualKey = r.altVk != 0 ? r.altVk : r.vk;
    e.hidUsage = r.hid;
    e.usageByte = r.usage;
    e.altLabel = r.altLabel;
    e.languageKey = r.languageKey;
  }
  return t;
}

constexpr std::array<KeyNameEntry, kKeyNameCount> kTable = BuildTable();

constexpr std::array<std::uint16_t, kConsumerSlots> kConsumer = {
    0x0E9, 0x0EA, 0x183, 0x18A, 0x192, 0x194, 0x221, 0x223, 0x224,
    0x225, 0x226, 0x227, 0x22A, 0x0E2, 0x0CD, 0x0B7, 0x0B6, 0x0B5};

constexpr std::array<MediaKey, kMediaKeyCount> kMedia = {{
    {0x183, 0x16D, "MEDIA_PALYER_1"},
    {0x0CD, 0x122, "MEDIA_PALY_PAUSE_2"},
    {0x0B7, 0x124, "MEDIA_STOP_PALY_3"},
    {0x0B6, 0x110, "MEDIA_PREV_TRACK_4"},
    {0x0B5, 0x119, "MEDIA_Next_TRACK_5"},
    {0x0EA, 0x12E, "MEDIA_V_LOW_6"},
    {0x0E9, 0x130, "MEDIA_V_ADD_7"},
    {0x0E2, 0x120, "MEDIA_MUTE_8"},
    {0x223, 0x132, "MEDIA_WWW_HOME_9"},
    {0x227, 0x167, "MEDIA_WWW_REFRESH_10"},
    {0x226, 0x168, "MEDIA_WWW_STOP_11"},
    {0x224, 0x16A, "MEDIA_WWW_BACK_12"},
    {0x225, 0x169, "MEDIA_WWW_FORWARD_13"},
    {0x22A, 0x166, "MEDIA_WWW_FAVORITE_14"},
    {0x221, 0x165, "MEDIA_WWW_SEARCH_15"},
    {0x194, 0x16B, "MEDIA_MY_PC_16"},
    {0x192, 0x121, "MEDIA_CALC_17"},
    {0x18A, 0x16C, "MEDIA_MAIL_18"},
}};

constexpr std::array<MouseFunction, kMouseFunctionCount> kMouse = {{
    {"IDS_KEYBOARD_MOU_LEFT", kCodeMouseLeft},
    {"IDS_KEYBOARD_MOU_RIGHT", kCodeMouseRight},
    {"IDS_KEYBOARD_MOU_MIDDLE", kCodeMouseMiddle},
    {"IDS_KEYBOARD_ROLL_UP", kCodeWheelUp},
    {"IDS_KEYBOARD_ROLL_DOWN", kCodeWheelDown},
}};

constexpr std::array<ModifierBit, 8> kModifiers = {{
    {0x01, kCodeLeftCtrl},
    {0x02, kCodeLeftShift},
    {0x04, kCodeLeftAlt},
    {0x08, kCodeLeftWin},
    {0x10, kCodeRightCtrl},
    {0x20, kCodeRightShift},
    {0x40, kCodeRightAlt},
    {0x80, kCodeRightWin},
}};

// Each media key's usage byte is 0xC0 + the slot of its consumer usage.
constexpr bool MediaBytesMatchConsumerSlots() {
  for (const MediaKey& m : kMedia) {
    int slot = -1;
    for (std::size_t s = 0; s < kConsumerSlots; ++s) {
      if (kConsumer[s] == m.consumerUsage) slot = static_cast<int>(s);
    }
    if (slot < 0 || kTable[KeyIndexOfCode(m.code)].usageByte != 0xC0 + slot) return false;
    if (kTable[KeyIndexOfCode(m.code)].languageKey != m.languageKey) return false;
  }
  return true;
}
static_assert(MediaBytesMatchConsumerSlots());
static_assert(kTable[0].listId == kListIdNone);

}  // namespace

std::uint16_t CodeOfIndex(std::uint16_t index) {
  if (index < 0x80) return index;
  if (index < 0x100) return static_cast<std::uint16_t>(index + 0x80);
  return 0;
}

const std::array<KeyNameEntry, kKeyNameCount>& KeyNameTable() { return kTable; }

const KeyNameEntry& KeyEntryOfCode(std::uint16_t code) {
  static const KeyNameEntry kEmpty{};
  // Only codes below 0x200 have entries; a G key's index would alias an ordinary key.
  if (code >= 0x200) return kEmpty;
  return kTable[KeyIndexOfCode(code)];
}

Usage UsageOfByte(std::uint8_t b) {
  if (b == 0x00 || b == 0xFF) return {kPageNone, 0};
  if (b >= 0x81 && b <= 0x83) return {kPageGenericDesktop, b};
  if (b >= 0xF1 && b <= 0xF8) return {kPageMouse, b};
  return {kPageKeyboard, b};
}

Usage UsageOfCode(std::uint16_t code) { return UsageOfByte(KeyEntryOfCode(code).usageByte); }

std::uint16_t CodeOfUsage(std::uint16_t page, std::uint16_t usage) {
  std::uint16_t wanted = 0;
  if (page == kPageKeyboard) {
    if (usage > 0xFF) return 0;
    wanted = usage;
  } else if (page == kPageGenericDesktop) {
    if (usage < 0x81 || usage > 0x83) return 0;
    wanted = usage;
  } else if (page == kPageConsumer) {
    if (usage == 0) return 0;
    int slot = -1;
    for (std::size_t s = 0; s < kConsumerSlots; ++s) {
      if (kConsumer[s] == usage) {
        slot = static_cast<int>(s);
        break;
      }
    }
    if (slot < 0) return 0;
    wanted = static_cast<std::uint16_t>(0xC0 + slot);
  } else {
    return 0;
  }
  for (std::size_t i = 0; i < kKeyNameCount; ++i) {
    if (kTable[i].usageByte == wanted) return CodeOfIndex(static_cast<std::uint16_t>(i));
  }
  return 0;
}

const std::array<std::uint16_t, kConsumerSlots>& ConsumerIndexTable() { return kConsumer; }
const std::array<MediaKey, kMediaKeyCount>& MediaKeyTable() { return kMedia; }

bool IsMediaKey(std::uint16_t code) {
  for (const MediaKey& m : kMedia) {
    if (m.code == code) return true;
  }
  return false;
}

int MediaIndexOfUsage(std::uint16_t consumerUsage) {
  for (std::size_t i = 0; i < kMediaKeyCount; ++i) {
    if (kMedia[i].consumerUsage == consumerUsage) return static_cast<int>(i);
  }
  return -1;
}

std::string FunctionKeyLanguageKey(int index) { return "FUNC_KEY_DESC" + std::to_string(index + 1); }

const std::array<MouseFunction, kMouseFunctionCount>& MouseFunctionList() { return kMouse; }
const std::array<ModifierBit, 8>& ModifierBits() { return kModifiers; }

std::uint8_t ModifierBitOfCode(std::uint16_t code) {
  for (const ModifierBit& m : kModifiers) {
    if (m.code == code) return m.bit;
  }
  return 0;
}

std::uint16_t ModifierCodeOfBits(std::uint8_t bits) {
  for (const ModifierBit& m : kModifiers) {
    if (bits & m.bit) return m.code;
  }
  return 0;
}

std::uint16_t CodeOfEntry(const KeyEntry& e) {
  switch (e.type) {
    case 0x01:
      if (e.sub == 0x01) {
        if (e.value == 0x01) return kCodeMouseLeft;
        if (e.value == 0x02) return kCodeMouseRight;
        if (e.value == 0x04) return kCodeMouseMiddle;
        return 0;
      }
      if (e.sub == 0x05) {
        if (e.value == 0x01) return kCodeWheelUp;
        if (e.value == 0xFF) return kCodeWheelDown;
      }
      return 0;
    case 0x02:
      if (e.sub == 0x02) return CodeOfUsage(kPageKeyboard, e.value);
      return ModifierCodeOfBits(e.value);
    case 0x03:
      return CodeOfUsage(kPageConsumer, static_cast<std::uint16_t>(e.sub | (e.value << 8)));
    case 0x04:
      return CodeOfUsage(kPageGenericDesktop, static_cast<std::uint16_t>(e.sub | (e.value << 8)));
    case 0x06:
      // G keys 1..18 only; any other number would alias an ordinary key's record.
      if (e.sub == 0xA2 && e.value >= 1 && e.value <= kGKeyRecords) {
        return static_cast<std::uint16_t>(0x1FF + e.value);
      }
      return 0;
    default:
      return 0;
  }
}

std::uint16_t ListIdOfCode(std::uint16_t code) { return KeyEntryOfCode(code).listId; }

std::uint16_t CodeOfListId(std::uint16_t listId) {
  if (listId == kListIdNone) return 0;
  for (std::size_t i = 0; i < kKeyNameCount; ++i) {
    if (kTable[i].listId == listId) return CodeOfIndex(static_cast<std::uint16_t>(i));
  }
  return 0;
}

std::string KeyDisplayName(std::uint16_t code, const text::TextSource& texts) {
  const KeyNameEntry& e = KeyEntryOfCode(code);
  std::string name;
  if (!e.languageKey.empty()) name = texts.Text(e.languageKey);
  if (name.empty()) name = text::FormatWithNumber(texts.Text("UNKNOWN_KEY"), code);
  return text::CutUtf8(name, kDisplayNameMaxChars);
}

std::string KeyOutputName(std::uint16_t code, const text::TextSource& texts) {
  if (code >= kCodeFirstGKey) {
    if (const auto g = GKeyOfIndex(KeyIndexOfCode(code))) {
      // Appended rather than "G" + string: gcc 12 at -O3 warns (wrongly) of an overlapping
      // copy in that operator.
      std::string name = "G";
      name += std::to_string(g->DeviceNumber());
      return name;
    }
  }
  const KeyNameEntry& e = KeyEntryOfCode(code);
  std::string name = KeyDisplayName(code, texts);
  // A language file without a text for the key: the English label stands in.
  if (!e.label.empty() && (name == "#Error" || e.languageKey.empty() || texts.Text(e.languageKey) == "#Error")) {
    name = std::string(e.label);
  }
  return name;
}

}  // namespace vantrel::keys
