// The plain key remaps of a keyd configuration: the lines of its [main] section that
// send one key for another ("capslock = esc"), by Linux input event code. Every line that
// is not such a remap is reported with the reason, so that nothing is dropped unseen.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::keys {

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

struct KeydConfig {
  std::vector<KeydRemap> remaps;    // in file order; a key given twice keeps its last line
  std::vector<KeydSkipped> skipped; // in file order
};

KeydConfig ParseKeydConfig(std::string_view text);

// The Linux input event code of a keyd key name (the kernel's name in lower case,
// "leftcontrol", "esc", "kp1"; the punctuation a key types, "-", "["; the modifier layers
// "control", "shift", "alt", "meta", "altgr" as their left key). Nothing for any other name.
std::optional<std::uint32_t> EvdevOfKeydName(std::string_view name);

}  // namespace vantrel::keys
