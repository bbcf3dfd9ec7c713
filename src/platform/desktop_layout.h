// The keyboard layout the desktop uses now, read from where the desktops keep it: the X
// server's XKB names, KDE's keyboard settings file, GNOME's input sources (gsettings).
// The choice between them is core's (core/keys/desktop_layout.h).
#pragma once

#include <vector>

#include "core/keys/desktop_layout.h"

namespace vantrel::platform {

// The readers of this system: XDG_SESSION_TYPE and XDG_CURRENT_DESKTOP from the
// environment, the root window's _XKB_RULES_NAMES (when built with xcb and DISPLAY is
// set), $XDG_CONFIG_HOME/kxkbrc (a regular file of at most 64 KiB), and the output of
// `gsettings get org.gnome.desktop.input-sources sources` (at most 3 s).
keys::DesktopLayoutSources SystemLayoutSources();

// DetectDesktopLayout over the system's readers. It may start gsettings and wait for it:
// call it off the user-interface thread.
keys::DesktopLayout DetectDesktopLayout();

// The layouts and variants this system's XKB data offers (rules/evdev.lst under the XKB
// data folder), for a choice of layout; empty when the list cannot be read.
std::vector<keys::LayoutChoice> AvailableLayouts();

}  // namespace vantrel::platform
