// The ten user colour modes of a profile as one value, read from and written to its
// ".userd" file whole, for profile documents that carry them. (Defined in
// key_colours.cpp beside the editor that reads and writes the same file piece by piece.)
#pragma once

#include <array>
#include <filesystem>
#include <string>

#include "core/lighting/key_colours.h"

namespace vantrel::lighting {

// The ten user colour modes of one profile, as its ".userd" file keeps them.
struct UserMode {
  std::string name;
  int tool = 0;  // 0 brush, 1 base colour
  Rgb base = 0;
  Rgb brush = 0;
  // Every LED slot; a slot the file does not name reads as kMissingKeyColour, following.
  std::array<SlotValue, kLedSlots> ledSlots{};
};
struct UserModeSet {
  int selected = 0;
  std::array<UserMode, kUserModeCount> modes{};
};

// Reads a ".userd" file the way the editor reads each part of it (missing values as the
// editor reads them; a missing file gives every default).
UserModeSet ReadUserModes(const std::filesystem::path& file);
// Writes the whole set as a ".userd" file, atomically; false when it cannot be written
// (the old file then stays).
bool WriteUserModes(const std::filesystem::path& file, const UserModeSet& set);

// The colours the keyboard gets for a profile whose file holds `set`: the selected mode's
// colour of every LED slot of an ordinary key and Fn, as ReadUserMode and LoadUserMode
// take them; the G keys' shared slot and slots without a key stay black.
std::array<Rgb, kLedSlots> ShownColours(const UserModeSet& set);

}  // namespace vantrel::lighting
