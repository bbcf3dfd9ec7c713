#include "skin_layout.h"

#include <array>

#include <cstdio>
#include <cstdlib>

#include "core/keys/keyboard_layout.h"

namespace skingen {
namespace {

// Keyboard geometry of the main window: one unit is 40 pixels, caps are 4 pixels apart.
constexpr int kUnit = 40;
constexpr int kGap = 4;
constexpr int kPlateX = 24, kPlateY = 112;
constexpr int kKeysX = kPlateX + 84;  // left of the main block (the G keys lie before it)
constexpr int kRow0Y = kPlateY + 16;

int RowY(int row) { return row == 0 ? kRow0Y : kRow0Y + 60 + (row - 1) * kUnit; }

struct KeySpot {
  std::uint16_t code;
  double column;  // in units from the main block's left edge
  int row;
  double width = 1.0;
  double height = 1.0;  // in rows (numeric Enter and + are two rows high)
};

// Where the keyboard layout's ordinary keys and Fn (code 0) sit, by key code.
constexpr std::array<KeySpot, 109> kSpots = {{
    // Function row; the media keys sit above the numeric pad.
    {0x01, 0, 0}, {0x3B, 2, 0}, {0x3C, 3, 0}, {0x3D, 4, 0}, {0x3E, 5, 0}, {0x3F, 6.5, 0}, {0x40, 7.5, 0},
    {0x41, 8.5, 0}, {0x42, 9.5, 0}, {0x43, 11, 0}, {0x44, 12, 0}, {0x57, 13, 0}, {0x58, 14, 0},
    {0x137, 15.5, 0}, {0x46, 16.5, 0}, {0x45, 17.5, 0},
    {0x120, 19, 0}, {0x12E, 20, 0}, {0x130, 21, 0}, {0x121, 22, 0},
    // Number row.
    {0x29, 0, 1}, {0x02, 1, 1}, {0x03, 2, 1}, {0x04, 3, 1}, {0x05, 4, 1}, {0x06, 5, 1}, {0x07, 6, 1},
    {0x08, 7, 1}, {0x09, 8, 1}, {0x0A, 9, 1}, {0x0B, 10, 1}, {0x0C, 11, 1}, {0x0D, 12, 1}, {0x0E, 13, 1, 2},
    {0x152, 15.5, 1}, {0x147, 16.5, 1}, {0x149, 17.5, 1},
    {0x145, 19, 1}, {0x135, 20, 1}, {0x37, 21, 1}, {0x4A, 22, 1},
    // Upper letter row.
    {0x0F, 0, 2, 1.5}, {0x10, 1.5, 2}, {0x11, 2.5, 2}, {0x12, 3.5, 2}, {0x13, 4.5, 2}, {0x14, 5.5, 2},
    {0x15, 6.5, 2}, {0x16, 7.5, 2}, {0x17, 8.5, 2}, {0x18, 9.5, 2}, {0x19, 10.5, 2}, {0x1A, 11.5, 2},
    {0x1B, 12.5, 2}, {0x2B, 13.5, 2, 1.5},
    {0x153, 15.5, 2}, {0x14F, 16.5, 2}, {0x151, 17.5, 2},
    {0x47, 19, 2}, {0x48, 20, 2}, {0x49, 21, 2}, {0x4E, 22, 2, 1, 2},
    // Home row.
    {0x3A, 0, 3, 1.75}, {0x1E, 1.75, 3}, {0x1F, 2.75, 3}, {0x20, 3.75, 3}, {0x21, 4.75, 3}, {0x22, 5.75, 3},
    {0x23, 6.75, 3}, {0x24, 7.75, 3}, {0x25, 8.75, 3}, {0x26, 9.75, 3}, {0x27, 10.75, 3}, {0x28, 11.75, 3},
    {0x1C, 12.75, 3, 2.25},
    {0x4B, 19, 3}, {0x4C, 20, 3}, {0x4D, 21, 3},
    // Lower letter row.
    {0x2A, 0, 4, 2.25}, {0x2C, 2.25, 4}, {0x2D, 3.25, 4}, {0x2E, 4.25, 4}, {0x2F, 5.25, 4}, {0x30, 6.25, 4},
    {0x31, 7.25, 4}, {0x32, 8.25, 4}, {0x33, 9.25, 4}, {0x34, 10.25, 4}, {0x35, 11.25, 4}, {0x36, 12.25, 4, 2.75},
    {0x148, 16.5, 4},
    {0x4F, 19, 4}, {0x50, 20, 4}, {0x51, 21, 4}, {0x11C, 22, 4, 1, 2},
    // Bottom row.
    {0x1D, 0, 5, 1.25}, {0x15B, 1.25, 5, 1.25}, {0x38, 2.5, 5, 1.25}, {0x39, 3.75, 5, 6.25}, {0x138, 10, 5},
    {0x0000, 11, 5}, {0x15C, 12, 5}, {0x15D, 13, 5}, {0x11D, 14, 5},
    {0x14B, 15.5, 5}, {0x150, 16.5, 5}, {0x14D, 17.5, 5},
    {0x52, 19, 5, 2}, {0x53, 21, 5},
}};

const KeySpot& SpotOf(const vantrel::keys::LayoutKey& key) {
  for (const auto& s : kSpots)
    if (s.code == key.code) return s;
  std::fprintf(stderr, "skingen: no place for key %.*s\n", static_cast<int>(key.name.size()), key.name.data());
  std::abort();
}

QString Text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QRect R(int x, int y, int w, int h) { return QRect(x, y, w, h); }

DialogLayout MainLayout() {
  DialogLayout d;
  d.iniName = "Main.ini";
  d.title = "VANTREL";
  d.size = QSize(1340, 556);
  d.background = "main_bg.jpg";
  d.mask = "main_mask.bmp";
  d.link = "https://vantrel.example/";
  d.pictures = {{"main_normal.jpg", State::Normal},   {"main_over.jpg", State::Hover},
                {"main_down.jpg", State::Down},       {"main_disable.jpg", State::Disabled},
                {"main_color0.jpg", State::Colour0}, {"main_color1.jpg", State::Colour1}};
  auto& e = d.elements;
  const int W = d.size.width();

  // Title bar.
  e.push_back({"TOLVEN_LINK", R(20, 12, 150, 32), Kind::Decoration, {}});
  e.push_back({"TOLVEN_VER", R(176, 24, 140, 16), Kind::Label, {}});
  const char* icons[] = {"CONTROL_MENU", "CONTROL_HELP", "CONTROL_MINIMIZE", "CONTROL_CLOSE"};
  const char* glyphs[] = {"menu", "help", "min", "close"};
  for (int i = 0; i < 4; ++i) e.push_back({icons[i], R(W - 24 - (4 - i) * 38 + 6, 14, 32, 28), Kind::IconButton, glyphs[i]});

  // Profile bar.
  for (int i = 0; i < 3; ++i)
    e.push_back({QString("FUNC_PROFILE%1").arg(i + 1), R(24 + i * 108, 68, 104, 34), Kind::Button, {}});
  const char* commands[] = {"FUNC_PROFILES", "FUNC_MACRO", "FUNC_SWITCH", "FUNC_DEFAULT"};
  for (int i = 0; i < 4; ++i) e.push_back({commands[i], R(356 + i * 126, 68, 120, 34), Kind::Button, {}});
  e.push_back({"CONTROL_UsbStatic", R(990, 76, 86, 20), Kind::Label, {}});
  const char* rates[] = {"125", "250", "500", "1000"};
  for (int i = 0; i < 4; ++i)
    e.push_back({QString("FUNC_REPORT%1").arg(i + 1), R(1080 + i * 59, 70, 58, 30), Kind::Segment, rates[i]});

  // Keyboard.
  e.push_back({"KEYBOARD_PLATE", R(kPlateX, kPlateY, 1040 - kPlateX, 288), Kind::Decoration, {}});
  for (const auto& key : vantrel::keys::KeyboardLayout()) {
    const QString skinKey = QString::fromStdString(vantrel::keys::SkinKeyOf(key));
    if (key.kind == vantrel::keys::LayoutKind::GKey) {
      const int n = static_cast<int>(key.code - vantrel::keys::GLayoutKeys()[0].code);
      e.push_back({skinKey, R(kPlateX + 16, kRow0Y + n * 29, 52, 25), Kind::GKey, Text(key.legend)});
      continue;
    }
    const KeySpot& s = SpotOf(key);
    const int x = kKeysX + static_cast<int>(s.column * kUnit + 0.5);
    const int w = static_cast<int>(s.width * kUnit + 0.5) - kGap;
    const int h = static_cast<int>(s.height * kUnit + 0.5) - kGap;
    e.push_back({skinKey, R(x, RowY(s.row), w, h), Kind::KeyCap, Text(key.legend)});
  }

  // Status strip under the keyboard: lock lamps, the arrow indicators and Flip switches,
  // and the per-key colour controls.
  const char* locks[] = {"LOCK_CAPS", "LOCK_NUM", "LOCK_SCROLL", "LOCK_AB"};
  // Their captions are in the user's language, drawn by the program (LOCK_AB: the G-key layer).
  for (int i = 0; i < 4; ++i) e.push_back({locks[i], R(24 + i * 92, 414, 86, 26), Kind::Lamp, {}});
  e.push_back({"LEFT_ARROW", R(420, 416, kArrowFace, kArrowFace), Kind::Arrow, {}});
  e.push_back({"FLIP_0", R(448, 414, 70, 26), Kind::Segment, {}});
  e.push_back({"FLIP_1", R(520, 414, 52, 26), Kind::Segment, "\u25B2"});
  e.push_back({"FLIP_2", R(574, 414, 52, 26), Kind::Segment, "\u25BC"});
  e.push_back({"RIGHT_ARROW", R(632, 416, kArrowFace, kArrowFace), Kind::Arrow, {}});
  e.push_back({"CONTROL_RGBStatic", R(690, 418, 40, 20), Kind::Label, {}});
  const char* rgb[] = {"COLOR_R", "COLOR_G", "COLOR_B"};
  for (int i = 0; i < 3; ++i) e.push_back({rgb[i], R(734 + i * 50, 414, 46, 26), Kind::Field, {}});
  for (int i = 0; i < 8; ++i)
    e.push_back({QString("CONTROL_Color%1").arg(i + 1), R(890 + i * 19, 414, 17, 26), Kind::Swatch, {}});

  // Lighting panel.
  const int px = 1060;
  e.push_back({"LIGHT_PANEL", R(px, kPlateY, 256, 358), Kind::Decoration, {}});
  e.push_back({"CONTROL_DengStaPic", R(px + 12, 122, 40, 40), Kind::Picture, {}});
  e.push_back({"CONTROL_DengStatic", R(px + 60, 132, 184, 22), Kind::Label, {}});
  e.push_back({"CONTROL_XGcombox", R(px + 12, 174, 232, 26), Kind::Field, {}});
  // The panel's note: folded, under the title; open, at the foot that only effect 20 uses.
  e.push_back({"CONTROL_LightNote", R(px + 12, 174, 232, 64), Kind::Label, {}});
  e.push_back({"CONTROL_LightNote2", R(px + 12, 406, 232, 48), Kind::Label, {}});
  e.push_back({"CONTROL_LightStatic", R(px + 12, 216, 70, 20), Kind::Label, {}});
  e.push_back({"CONTROL_LightSlider", R(px + 84, 214, 160, 24), Kind::Slider, {}});
  e.push_back({"CONTROL_SpeedStatic", R(px + 12, 248, 70, 20), Kind::Label, {}});
  e.push_back({"CONTROL_SpeedSlider", R(px + 84, 246, 160, 24), Kind::Slider, {}});
  for (const char* suffix : {"", "2", "3"}) {
    e.push_back({QString("CONTROL_BLFXStatic%1").arg(suffix), R(px + 12, 284, 70, 20), Kind::Label, {}});
    e.push_back({QString("CONTROL_BLFXLStaPic%1").arg(suffix), R(px + 84, 280, 36, 26), Kind::Picture, {}});
    e.push_back({QString("CONTROL_BLFXRStaPic%1").arg(suffix), R(px + 126, 280, 36, 26), Kind::Picture, {}});
  }
  // One colour row serves every effect group; only one group is shown at a time.
  const char* colourButtons[] = {"CONTROL_CDysButton", "CONTROL_FYYSButton", "CONTROL_HXysButton",
                                 "CONTROL_JTysButton", "CONTROL_TSysButton", "CONTROL_USERysButton"};
  const char* colourLabels[] = {"CONTROL_CDysStatic", "CONTROL_FYYSStatic", "CONTROL_HXysStatic",
                                "CONTROL_JTysStatic", "CONTROL_TSysStatic", "CONTROL_USERysStatic"};
  for (int i = 0; i < 6; ++i) {
    e.push_back({colourLabels[i], R(px + 12, 318, 70, 20), Kind::Label, {}});
    e.push_back({colourButtons[i], R(px + 84, 314, 48, 26), Kind::Swatch, {}});
  }
  const char* multiLabels[] = {"CONTROL_CDsjsStatic", "CONTROL_FYSJSStatic", "CONTROL_HXsjsStatic",
                               "CONTROL_TSsjsStatic"};
  const char* multiPics[] = {"CONTROL_CDsjsStaPic", "CONTROL_FYSJSStaPic", "CONTROL_HXsjsStaPic",
                             "CONTROL_TSsjsStaPic"};
  for (int i = 0; i < 4; ++i) {
    e.push_back({multiLabels[i], R(px + 140, 318, 62, 20), Kind::Label, {}});
    e.push_back({multiPics[i], R(px + 208, 314, 36, 26), Kind::Picture, {}});
  }
  e.push_back({"CONTROL_FYCFStatic", R(px + 12, 352, 70, 20), Kind::Label, {}});
  e.push_back({"CONTROL_FYdjcfStatic", R(px + 84, 352, 42, 20), Kind::Label, {}});
  e.push_back({"CONTROL_FYdjcfStaPic", R(px + 126, 348, 36, 26), Kind::Picture, {}});
  e.push_back({"CONTROL_FYggcfStatc", R(px + 166, 352, 40, 20), Kind::Label, {}});
  e.push_back({"CONTROL_FYggcfStaPic", R(px + 208, 348, 36, 26), Kind::Picture, {}});
  e.push_back({"CONTROL_USERjsStatic", R(px + 12, 352, 70, 20), Kind::Label, {}});
  e.push_back({"CONTROL_USERjsButton", R(px + 84, 348, 48, 26), Kind::Swatch, {}});
  const char* choices[] = {"CONTROL_HONGPIC", "CONTROL_HUANGPIC", "CONTROL_LVPIC", "CONTROL_LANPIC"};
  for (int i = 0; i < 4; ++i) e.push_back({choices[i], R(px + 84 + i * 40, 382, 36, 26), Kind::Picture, {}});
  e.push_back({"CONTROL_USERgjStatic", R(px + 12, 386, 70, 20), Kind::Label, {}});
  e.push_back({"CONTROL_USERgjStaPic1", R(px + 84, 382, 36, 26), Kind::Picture, {}});
  e.push_back({"CONTROL_USERgjStaPic2", R(px + 126, 382, 36, 26), Kind::Picture, {}});
  e.push_back({"CONTROL_umCombo", R(px + 84, 418, 160, 26), Kind::Field, {}});
  e.push_back({"CONTROL_JDTStatic", R(px + 12, 454, 232, 10), Kind::Picture, {}});
  // Under the panel: the note that the keyboard did not take a lighting change.
  e.push_back({"CONTROL_LightStatus", R(px, 472, 256, 24), Kind::Label, {}});

  // Bottom bar.
  const char* links[] = {"CONTROL_LINK", "CONTROL_Facebook", "CONTROL_twitter", "CONTROL_Network"};
  const char* linkGlyphs[] = {"www", "f", "t", "net"};
  for (int i = 0; i < 4; ++i) e.push_back({links[i], R(24 + i * 38, 500, 32, 32), Kind::Link, linkGlyphs[i]});
  const char* finals[] = {"CONTROL2_APPLY", "CONTROL_OK", "CONTROL_CANCEL"};
  for (int i = 0; i < 3; ++i) e.push_back({finals[i], R(W - 24 - (3 - i) * 112 + 8, 498, 104, 36), Kind::Button, {}});

  // Arrow indicator faces in Arrow.jpg: columns left/right, rows up-off, up-on, down-off, down-on.
  const char* sides[] = {"LEFT", "RIGHT"};
  for (int s = 0; s < 2; ++s)
    for (int dir = 0; dir < 2; ++dir)
      for (int n = 1; n <= 2; ++n) {
        const int col = s, row = dir * 2 + (n - 1);
        d.faceKeys.push_back({QString("%1_ARROW_%2%3").arg(dir == 0 ? "UP" : "DOWN", sides[s]).arg(n),
                              QPoint(col * kArrowFace + 1, row * kArrowFace + 1)});
      }
  return d;
}

DialogLayout CompositeLayout() {
  DialogLayout d;
  d.iniName = "Composite.ini";
  d.size = QSize(600, 460);
  d.background = "key_bg.jpg";
  d.mask = "key_mask.bmp";
  for (const char* set : {"key", "macro", "macro2", "media", "function"}) {
    d.pictures.push_back({QString("%1_normal.jpg").arg(set), State::Normal});
    d.pictures.push_back({QString("%1_over.jpg").arg(set), State::Hover});
    d.pictures.push_back({QString("%1_down.jpg").arg(set), State::Down});
    if (QString(set) == "macro" || QString(set) == "macro2")
      d.pictures.push_back({QString("%1_disable.jpg").arg(set), State::Disabled});
  }
  auto& e = d.elements;
  e.push_back({"CONTROL_TITLE", R(20, 16, 6, 22), Kind::Decoration, {}});
  e.push_back({"KEY_SETTING", R(34, 16, 400, 22), Kind::Label, {}});
  const char* tabs[] = {"CONTROL_KEY", "CONTROL_MACRO", "CONTROL_MEDIA", "CONTROL_FUNCTION"};
  for (int i = 0; i < 4; ++i) e.push_back({tabs[i], R(20 + i * 136, 54, 130, 34), Kind::Button, {}});
  e.push_back({"CONTROL_MASK", R(20, 98, 560, 294), Kind::Decoration, {}});
  // Single key tab.
  e.push_back({"TISHI_SINGLE_STATIC", R(36, 112, 528, 20), Kind::Label, {}});
  e.push_back({"FUNC_KEY_RADIO_KB", R(36, 146, 20, 20), Kind::Led, {}});
  e.push_back({"FUNC_KEY_RADIO_KB_STATIC", R(64, 146, 240, 20), Kind::Label, {}});
  e.push_back({"FUNC_KEY_INPUT", R(64, 174, 260, 28), Kind::Field, {}});
  e.push_back({"FUNC_KEY_RADIO_MOU", R(36, 222, 20, 20), Kind::Led, {}});
  e.push_back({"FUNC_KEY_RADIO_MOU_STATIC", R(64, 222, 240, 20), Kind::Label, {}});
  e.push_back({"FUNC_KEY_COMBO_MOU", R(64, 250, 260, 28), Kind::Field, {}});
  // Macro tab.
  e.push_back({"MARCO_NAME_SETTING", R(36, 110, 240, 20), Kind::Label, {}});
  e.push_back({"FUNC_MACRO_LIST", R(36, 134, 240, 176), Kind::Field, {}});
  const char* macroButtons[] = {"FUNC_MACRO_ADD", "FUNC_MACRO_DELETE", "FUNC_MACRO_CLEAR"};
  for (int i = 0; i < 3; ++i) e.push_back({macroButtons[i], R(36 + i * 82, 318, 76, 30), Kind::Button, {}});
  e.push_back({"FUNC_MACRO_LIST2", R(292, 134, 232, 176), Kind::Field, {}});
  const char* moves[] = {"FUNC_MACRO_UP_TOP", "FUNC_MACRO_UP", "FUNC_MACRO_DOWN", "FUNC_MACRO_DOWN_BOTTOM",
                         "FUNC_MACRO_DELETE2"};
  const char* moveGlyphs[] = {"top", "up", "down", "bottom", "remove"};
  for (int i = 0; i < 5; ++i) e.push_back({moves[i], R(532, 134 + i * 36, 32, 30), Kind::IconButton, moveGlyphs[i]});
  e.push_back({"FUNC_MACRO_RECORD", R(292, 318, 110, 30), Kind::Button, {}});
  e.push_back({"FUNC_MACRO_RECORD_DELAY", R(414, 323, 20, 20), Kind::Led, {}});
  e.push_back({"FUNC_MACRO_RECORD_DELAY2", R(440, 318, 84, 30), Kind::Field, {}});
  e.push_back({"FUNC_MACRO_CYCLES_PROMPT", R(36, 360, 150, 20), Kind::Label, {}});
  e.push_back({"FUNC_MACRO_CYCLES", R(190, 356, 70, 28), Kind::Field, {}});
  e.push_back({"FUNC_MACRO_TYPE_TEXT", R(292, 355, 232, 30), Kind::Button, {}});
  // Multimedia and function tabs.
  e.push_back({"MEDIA_SETTING_TISHI", R(36, 112, 528, 20), Kind::Label, {}});
  e.push_back({"FUNC_MEDIA_SELECT", R(36, 140, 528, 236), Kind::Field, {}});
  e.push_back({"FUNCTION_KEY_SETTING_TISHI", R(36, 112, 528, 20), Kind::Label, {}});
  e.push_back({"FUNC_FUNCTION_SELECT", R(36, 140, 528, 236), Kind::Field, {}});
  // Bottom row.
  e.push_back({"CONTROL_CLEAR", R(20, 406, 104, 36), Kind::Button, {}});
  e.push_back({"CONTROL_OSK", R(132, 406, 104, 36), Kind::Button, {}});
  e.push_back({"CONTROL_OK", R(364, 406, 104, 36), Kind::Button, {}});
  e.push_back({"CONTROL_CANCEL", R(476, 406, 104, 36), Kind::Button, {}});
  return d;
}

DialogLayout ProfileLayout() {
  DialogLayout d;
  d.iniName = "Profile.ini";
  d.size = QSize(480, 400);
  d.background = "Profile_bg.jpg";
  d.mask = "Profile_mask.bmp";
  d.pictures = {{"Profile_normal.jpg", State::Normal}, {"Profile_over.jpg", State::Hover},
                {"Profile_down.jpg", State::Down}, {"Profile_disable.jpg", State::Disabled}};
  auto& e = d.elements;
  e.push_back({"DIALOG_TITLE", R(32, 8, d.size.width() - 60, 32), Kind::Label, {}});
  e.push_back({"PROGRAM_LIST", R(20, 60, 440, 220), Kind::Field, {}});
  const char* actions[] = {"FUNC_ADD", "FUNC_LOAD", "FUNC_DELETE"};
  for (int i = 0; i < 3; ++i) e.push_back({actions[i], R(20 + i * 112, 292, 104, 32), Kind::Button, {}});
  e.push_back({"CONTROL2_APPLY", R(20, 346, 104, 36), Kind::Button, {}});
  e.push_back({"CONTROL_OK", R(244, 346, 104, 36), Kind::Button, {}});
  e.push_back({"CONTROL_CANCEL", R(356, 346, 104, 36), Kind::Button, {}});
  return d;
}

DialogLayout UpdateLayout() {
  DialogLayout d;
  d.iniName = "UpdateDlg.ini";
  d.size = QSize(440, 250);
  d.background = "update_bg.jpg";
  d.mask = "update_mask.bmp";
  d.pictures = {{"update_normal.jpg", State::Normal}, {"update_over.jpg", State::Hover}};
  auto& e = d.elements;
  e.push_back({"DIALOG_TITLE", R(32, 8, d.size.width() - 60, 32), Kind::Label, {}});
  e.push_back({"CONTROL_UPStatic", R(24, 62, 392, 20), Kind::Label, {}});
  e.push_back({"CONTROL_UPCombox", R(24, 88, 392, 30), Kind::Field, {}});
  e.push_back({"CONTROL_OPENButton", R(24, 136, 188, 36), Kind::Button, {}});
  e.push_back({"CONTROL_BACKUPButton", R(228, 136, 188, 36), Kind::Button, {}});
  e.push_back({"CONTROL_UPButton", R(24, 190, 188, 36), Kind::Button, {}});
  e.push_back({"CONTROL_CUPButton", R(228, 190, 188, 36), Kind::Button, {}});
  return d;
}

// The automatic-profiles window: the rule list with its move buttons, the editor of one
// rule under it, the fallback and the on/off switch.
DialogLayout AutoProfilesLayout() {
  DialogLayout d;
  d.iniName = "AutoProfiles.ini";
  d.size = QSize(560, 470);
  d.background = "AutoProfiles_bg.jpg";
  d.mask = "AutoProfiles_mask.bmp";
  d.pictures = {{"AutoProfiles_normal.jpg", State::Normal}, {"AutoProfiles_over.jpg", State::Hover},
                {"AutoProfiles_down.jpg", State::Down}, {"AutoProfiles_disable.jpg", State::Disabled}};
  auto& e = d.elements;
  e.push_back({"DIALOG_TITLE", R(32, 8, d.size.width() - 60, 32), Kind::Label, {}});
  e.push_back({"AUTO_STATUS", R(20, 46, 520, 52), Kind::Label, {}});
  e.push_back({"AUTO_RULE_LIST", R(20, 102, 476, 180), Kind::Field, {}});
  e.push_back({"AUTO_UP", R(508, 102, 32, 30), Kind::IconButton, "up"});
  e.push_back({"AUTO_DOWN", R(508, 138, 32, 30), Kind::IconButton, "down"});
  e.push_back({"AUTO_KIND", R(20, 292, 190, 28), Kind::Field, {}});
  e.push_back({"AUTO_PATTERN", R(218, 292, 170, 28), Kind::Field, {}});
  e.push_back({"AUTO_PROFILE", R(396, 292, 144, 28), Kind::Field, {}});
  const char* actions[] = {"AUTO_ADD", "AUTO_EDIT", "AUTO_REMOVE"};
  for (int i = 0; i < 3; ++i) e.push_back({actions[i], R(20 + i * 112, 330, 104, 32), Kind::Button, {}});
  e.push_back({"AUTO_PICK", R(356, 330, 184, 32), Kind::Button, {}});
  e.push_back({"AUTO_FALLBACK_PROMPT", R(20, 380, 150, 20), Kind::Label, {}});
  e.push_back({"AUTO_FALLBACK", R(176, 376, 150, 28), Kind::Field, {}});
  e.push_back({"AUTO_ENABLED", R(340, 376, 200, 28), Kind::Field, {}});
  e.push_back({"AUTO_CLOSE", R(436, 420, 104, 36), Kind::Button, {}});
  return d;
}

// The history window: the entries, what differs between the selected one and the
// keyboard, a status line and the two buttons.
DialogLayout HistoryLayout() {
  DialogLayout d;
  d.iniName = "History.ini";
  d.size = QSize(640, 470);
  d.background = "History_bg.jpg";
  d.mask = "History_mask.bmp";
  d.pictures = {{"History_normal.jpg", State::Normal}, {"History_over.jpg", State::Hover},
                {"History_down.jpg", State::Down}, {"History_disable.jpg", State::Disabled}};
  auto& e = d.elements;
  e.push_back({"DIALOG_TITLE", R(32, 8, d.size.width() - 60, 32), Kind::Label, {}});
  e.push_back({"HISTORY_LIST", R(20, 48, 600, 190), Kind::Field, {}});
  e.push_back({"HISTORY_DIFF", R(20, 248, 600, 150), Kind::Field, {}});
  e.push_back({"HISTORY_STATUS", R(20, 410, 330, 48), Kind::Label, {}});
  e.push_back({"HISTORY_RESTORE", R(362, 416, 146, 36), Kind::Button, {}});
  e.push_back({"HISTORY_CLOSE", R(516, 416, 104, 36), Kind::Button, {}});
  return d;
}

}  // namespace

QSize ArrowPictureSize() { return QSize(2 * kArrowFace, 4 * kArrowFace); }

std::vector<DialogLayout> AllDialogs() { return {MainLayout(), CompositeLayout(), ProfileLayout(), UpdateLayout(), AutoProfilesLayout(),
                                          HistoryLayout()}; }

}  // namespace skingen
