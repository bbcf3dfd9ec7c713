// Linux input event codes (evdev, as X11 and Wayland key codes - 8 and as keyboard layouts
// name their keys) and our key codes. One table for every user: the capture of key events,
// keyd configurations and the keys a keyboard layout types its characters with.
#pragma once

#include <cstdint>

namespace vantrel::keys {

// evdev code -> key code (set-1 make code, 0x100 + make code for E0-prefixed keys); 0 for
// a code without a key of ours. Print Screen (SysRq) and Pause have no single set-1 make
// code and are mapped by hand to 0x137 and 0x045; Num Lock is 0x145.
std::uint16_t KeyCodeOfEvdev(std::uint32_t evdev);

}  // namespace vantrel::keys
