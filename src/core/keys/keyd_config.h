// The plain key remaps of a keyd configuration: the lines of its [main] section that
// send one key for another ("capslock = esc"), by keyd's key code (the Linux input event
// code for the keys; keyd's own codes for the mouse buttons and noop). Every line that is
// not such a remap is counted and reported with the reason, so that nothing is dropped
// unseen; the device ids of its [ids] section are kept to tell whom it is for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::keys {

// keyd reads no configuration larger than 64 KiB (its own limit); nothing larger is one.
inline constexpr std::size_t kMaxKeydConfigBytes = 64 * 1024;
// How many of the lines not taken are kept with their reasons; the rest are only counted.
inline constexpr std::size_t kKeydSkippedKept = 20;
// keyd's codes that are no input event code: do nothing, and the mouse buttons.
inline constexpr std::uint32_t kKeydNoop = 195;
inline constexpr std::uint32_t kKeydLeftMouse = 249;
inline constexpr std::uint32_t kKeydMiddleMouse = 250;
inline constexpr std::uint32_t kKeydRightMouse = 251;

struct KeydRemap {
  int line = 0;  // 1-based
  std::string from, to;
  std::uint32_t fromEvdev = 0, toEvdev = 0;
};

struct KeydSkipped {
  int line = 0;  // 1-based; the line of the section header for a whole section
  std::string text;
  std::string reason;
};

// One entry of the [ids] section: "*", "vvvv:pppp", "k:vvvv:pppp", "m:...", "-vvvv:pppp".
struct KeydId {
  int line = 0;
  std::string text;
};

struct KeydConfig {
  std::vector<KeydRemap> remaps;    // in file order; a key given twice keeps its last line
  std::vector<KeydSkipped> skipped; // the first kKeydSkippedKept in line order
  std::size_t skippedCount = 0;     // every line not taken, also those not kept above
  bool hasIds = false;              // an [ids] section was there
  std::vector<KeydId> ids;          // its entries (the first 64)
};

KeydConfig ParseKeydConfig(std::string_view text);

// Whether the configuration's [ids] section selects the keyboard with the keyd device id
// `deviceId` ("0c45:7666"), as keyd matches them (an id is a prefix; "-" leaves one out;
// "*" takes every other keyboard; "m:" is for mice only). Empty when it does, or when there
// is no [ids] section; otherwise what to tell the user: "this configuration is for
// 046d:c52b" or "this configuration leaves out 0c45:7666".
std::string KeydIdsMismatch(const KeydConfig& config, std::string_view deviceId);

// keyd's code of a keyd key name: every name of keyd's key list ("leftcontrol", "esc",
// "kp1", "f13", "-", "[", "noop", "leftmouse", ...) and its other spellings ("escape",
// "minus"); the modifier layers "control", "shift", "alt", "meta", "altgr" as their left
// key. Nothing for any other name.
std::optional<std::uint32_t> EvdevOfKeydName(std::string_view name);

}  // namespace vantrel::keys
