#include "core/keys/evdev_codes.h"

namespace vantrel::keys {
namespace {

// evdev code -> key code. Codes 1 to 83 are the set-1 make codes themselves (Esc 1 ...
// Num . 83), except Num Lock (69), whose code is 0x145.
struct EvdevKey {
  std::uint16_t evdev;
  std::uint16_t code;
};

constexpr EvdevKey kExtraKeys[] = {
    {69, 0x145},    // KEY_NUMLOCK
    {86, 0x056},    // KEY_102ND
    {87, 0x057},    // KEY_F11
    {88, 0x058},    // KEY_F12
    {89, 0x073},    // KEY_RO (K56)
    {92, 0x079},    // KEY_HENKAN (CHG)
    {93, 0x070},    // KEY_KATAKANAHIRAGANA (ROMA)
    {94, 0x07B},    // KEY_MUHENKAN (N-CHG)
    {96, 0x11C},    // KEY_KPENTER
    {97, 0x11D},    // KEY_RIGHTCTRL
    {98, 0x135},    // KEY_KPSLASH
    {99, 0x137},    // KEY_SYSRQ: Print Screen (E0 2A E0 37), by hand
    {100, 0x138},   // KEY_RIGHTALT
    {102, 0x147},   // KEY_HOME
    {103, 0x148},   // KEY_UP
    {104, 0x149},   // KEY_PAGEUP
    {105, 0x14B},   // KEY_LEFT
    {106, 0x14D},   // KEY_RIGHT
    {107, 0x14F},   // KEY_END
    {108, 0x150},   // KEY_DOWN
    {109, 0x151},   // KEY_PAGEDOWN
    {110, 0x152},   // KEY_INSERT
    {111, 0x153},   // KEY_DELETE
    {113, 0x120},   // KEY_MUTE
    {114, 0x12E},   // KEY_VOLUMEDOWN
    {115, 0x130},   // KEY_VOLUMEUP
    {116, 0x15E},   // KEY_POWER
    {119, 0x045},   // KEY_PAUSE (E1 1D 45), by hand
    {121, 0x07E},   // KEY_KPCOMMA (K107)
    {122, 0x072},   // KEY_HANGEUL (KR)
    {123, 0x071},   // KEY_HANJA (KL)
    {124, 0x07D},   // KEY_YEN (K14)
    {125, 0x15B},   // KEY_LEFTMETA
    {126, 0x15C},   // KEY_RIGHTMETA
    {127, 0x15D},   // KEY_COMPOSE (App)
    {128, 0x168},   // KEY_STOP (browser stop)
    {140, 0x121},   // KEY_CALC
    {142, 0x15F},   // KEY_SLEEP
    {143, 0x163},   // KEY_WAKEUP
    {155, 0x16C},   // KEY_MAIL
    {156, 0x166},   // KEY_BOOKMARKS
    {157, 0x16B},   // KEY_COMPUTER
    {158, 0x16A},   // KEY_BACK
    {159, 0x169},   // KEY_FORWARD
    {163, 0x119},   // KEY_NEXTSONG
    {164, 0x122},   // KEY_PLAYPAUSE
    {165, 0x110},   // KEY_PREVIOUSSONG
    {166, 0x124},   // KEY_STOPCD
    {171, 0x16D},   // KEY_CONFIG (consumer control configuration: media player)
    {172, 0x132},   // KEY_HOMEPAGE
    {173, 0x167},   // KEY_REFRESH
    {183, 0x064},   // KEY_F13
    {217, 0x165},   // KEY_SEARCH
    {226, 0x16D},   // KEY_MEDIA (media select, E0 6D)
};

}  // namespace

std::uint16_t KeyCodeOfEvdev(std::uint32_t evdev) {
  for (const auto& k : kExtraKeys)
    if (k.evdev == evdev) return k.code;
  if (evdev >= 1 && evdev <= 83) return static_cast<std::uint16_t>(evdev);
  return 0;
}

}  // namespace vantrel::keys
