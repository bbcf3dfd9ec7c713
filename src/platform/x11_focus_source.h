// The focused window of an X11 session: the window manager names it in the root window's
// _NET_ACTIVE_WINDOW property; its WM_CLASS, title (_NET_WM_NAME, else WM_NAME) and
// _NET_WM_PID (and from that the executable, /proc/PID/exe) describe it. A thread of its
// own waits for property changes on the root window and on the focused window (a title
// that changes is reported again).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/profiles/focus_source.h"

namespace vantrel::platform {

// Null when the program was built without xcb.
std::unique_ptr<profiles::FocusSource> MakeX11FocusSource();

// The executable of a running process (the target of /proc/PID/exe); empty when unknown
// or not readable (another user's process).
std::string ExecutableOfProcess(std::uint32_t pid);

}  // namespace vantrel::platform
