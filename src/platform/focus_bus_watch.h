// vantrelctl focus --watch where the desktop reports the focused window over the session
// bus (KDE Plasma and GNOME on Wayland): the running program passes on each focus change it
// sees, to this caller alone.
#pragma once

#include <functional>
#include <string>

#include "core/profiles/auto_switch_rules.h"

namespace vantrel::platform {

// Asks the running program to pass on every focus change and hands each to `report`, until
// `stop` returns true or the program leaves the bus. False, with `error` set, when no
// running program answers.
bool WatchProgramFocus(const std::function<void(const profiles::FocusedWindow&)>& report,
                       const std::function<bool()>& stop, std::string* error);

}  // namespace vantrel::platform
