// Whether the keyboard still holds what this program last wrote to it or read from it.
// A keyboard that lost power while the computer slept, or was reset while unplugged,
// comes back with its factory configuration; the program notices by reading the keyboard
// after a resume and after every arrival and comparing it with its own last copy: the key
// tables and macros (the working file), the lighting records and the active profile. The
// differences are given in words, as the read-back after a write gives them.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/device/commands.h"
#include "core/device/read_back.h"
#include "core/keys/device_config.h"
#include "core/keys/stores.h"
#include "core/lighting/lighting.h"
#include "core/text/text_source.h"

namespace vantrel::profiles {

class EditSession;

using LightingRecords = std::array<lighting::LightingRecord, device::kProfileCount>;

// What the program last wrote to the keyboard or read from it. A part that is not known
// (no working file yet, the lighting never read) is left out of the comparison.
struct LastConfiguration {
  std::optional<keys::StoreImage> keys;       // key tables and macros
  std::optional<LightingRecords> lighting;    // the three lighting records
  int activeProfile = -1;                     // -1 unknown
  // The keyboard's factory key table as read on its arrival; read with the rest when unset.
  std::optional<keys::DeviceKeyTable> factory;

  bool Known() const { return keys || lighting || activeProfile >= 0; }
};

// What the keyboard holds now.
struct KeyboardReading {
  keys::DeviceConfiguration config;  // key tables, macro area, factory table, device state
  LightingRecords lighting{};
  device::DeviceResult keysResult = device::kDeviceOk;
  device::DeviceResult lightingResult = device::kDeviceOk;
};

// Reads what `last` knows of: the key and macro configuration with the device state, and
// the lighting records in one read bracket. Sends no write.
KeyboardReading ReadKeyboard(device::CommandSet& commands, const LastConfiguration& last);

// One line per difference between the last configuration and the keyboard ("profile 2,
// key Esc: ...", macro names, "profile 1 lighting, brightness: ...", "active profile:
// ..."); a part that could not be read is one line saying so.
std::vector<std::string> CompareWithKeyboard(const LastConfiguration& last, const KeyboardReading& keyboard,
                                             const text::TextSource& texts);

// The outcome of one check: what differs, and the configuration to write again.
struct KeyboardCheck {
  device::Verification found;  // checked: the keyboard was read; differences in words
  LastConfiguration last;
};

// Reads the keyboard and compares it with `last`; nothing is read when `last` knows
// nothing.
KeyboardCheck CheckKeyboard(device::CommandSet& commands, LastConfiguration last, const text::TextSource& texts);

// Writes the last configuration back: the key tables and macros through the session (as a
// restore writes them, so the working file and the views follow), the known lighting
// records, and the active profile. Every write is read back; the
// result lists what still differs. Runs on the device worker.
device::Verification WriteLastConfiguration(EditSession& session, lighting::LightingState& lighting,
                                            const KeyboardCheck& check, int shownProfile);

}  // namespace vantrel::profiles
