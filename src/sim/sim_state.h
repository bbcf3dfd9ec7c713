// The virtual keyboard's state as a JSON file, so that it remembers what it was sent
// across runs, like the real keyboard.
#pragma once

#include <filesystem>
#include <string>

#include "sim/virtual_keyboard.h"

namespace vantrel::sim {

// Loads the state file into the keyboard. A missing file is created with factory
// defaults; anything but a regular file is refused without being opened. A file that cannot be parsed or holds a bad value is refused with a message
// naming the key; the keyboard and the file are left as they were.
bool LoadSimState(const std::filesystem::path& path, VirtualKeyboard& keyboard, std::string* error);

// Writes the state atomically (a temporary file with a name of its own, then rename).
// False with "cannot write PATH: REASON" when it cannot; the old file then stays.
// Callers that may run at the same time as another writer of the same file serialise
// themselves (vantrelctl holds a lock file beside the state for the whole run).
bool SaveSimState(const std::filesystem::path& path, const VirtualKeyboard& keyboard, std::string* error);

// The same with the document already made (SimStateJson).
bool SaveSimStateJson(const std::filesystem::path& path, const std::string& json, std::string* error);

std::string SimStateJson(const VirtualKeyboard& keyboard);

}  // namespace vantrel::sim
