// The hardware identity of a key event as our key code (set-1 make code, 0x100 + make code
// for E0-prefixed keys). Key events are identified by the key's position on the keyboard,
// never by the character it types, so every keyboard layout gives the same codes.
#pragma once

#include <cstdint>

namespace vantrel::platform {

// Linux input event code (evdev, <linux/input-event-codes.h>) -> key code; 0 for a code
// without a key of ours. Print Screen (SysRq) and Pause have no single set-1 make code and
// are mapped by hand to 0x137 and 0x045; Num Lock is 0x145.
std::uint16_t KeyCodeOfEvdev(std::uint32_t evdev);

// QKeyEvent::nativeScanCode() as this platform delivers it -> key code, after the
// conversions every capture applies (0x054 -> 0x137, 0x136 -> 0x036, 0x146 -> 0x045).
// X11 and Wayland deliver the evdev code + 8; Windows the scan code with the extended-key
// flag as 0x100, and a key without a scan code is looked up by its virtual key
// (QKeyEvent::nativeVirtualKey()). 0 for an event without a known key (synthetic events,
// other platforms).
std::uint16_t KeyCodeOfNativeScanCode(std::uint32_t nativeScanCode, std::uint32_t nativeVirtualKey = 0xFF);

// The native scan code this platform delivers for a key code (the inverse of the above,
// first match); 0 when there is none. For tools and tests that need to make key events.
std::uint32_t NativeScanCodeOfKeyCode(std::uint16_t code);

}  // namespace vantrel::platform
