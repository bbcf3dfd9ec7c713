// The host's Caps Lock, Num Lock and Scroll Lock states, which the main window's lamps
// show. The keyboard reports none of them itself: the host owns the lock states and
// sends them to every keyboard.
#pragma once

#include <filesystem>
#include <optional>

namespace vantrel::platform {

struct LockKeys {
  bool caps = false;
  bool num = false;
  bool scroll = false;
  bool operator==(const LockKeys&) const = default;
};

// The current lock states; nothing when the system does not tell them.
std::optional<LockKeys> ReadHostLockKeys();

// Linux: the keyboard LEDs under `ledsFolder` (entries named "<device>::capslock",
// "::numlock", "::scrolllock" with a "brightness" file). A lock is on when any keyboard's
// LED of that kind is lit; nothing when the folder has no lock LED at all.
std::optional<LockKeys> ReadLockLeds(const std::filesystem::path& ledsFolder);

}  // namespace vantrel::platform
