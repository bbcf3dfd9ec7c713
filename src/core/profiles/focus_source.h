// Where automatic profile switching learns which window has the focus. Each desktop has
// its own way (an X11 property, a KWin script, a GNOME Shell extension); they all report
// through this one interface, and which one is used follows from the session.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/profiles/auto_switch_rules.h"

namespace vantrel::profiles {

class FocusSource {
 public:
  using Report = std::function<void(const FocusedWindow&)>;
  virtual ~FocusSource() = default;
  // Starts reporting each window that gains the focus (and the focused window at once,
  // when the source can tell). `report` may be called on a thread of the source's own.
  // False, with `error` set to one line in English, when the source cannot work here.
  virtual bool Start(Report report, std::string* error) = 0;
  // Stops reporting; no call of `report` is running or follows once this returns.
  virtual void Stop() = 0;
};

// Which way of learning the focus fits the session.
enum class FocusSourceKind {
  X11,         // an X11 session: the root window's _NET_ACTIVE_WINDOW
  KWinScript,  // KDE Plasma on Wayland: a KWin script calls our D-Bus method
  GnomeShell,  // GNOME on Wayland: our GNOME Shell extension calls the same method
  None,        // anything else: automatic switching is not available
};

struct FocusSourceChoice {
  FocusSourceKind kind = FocusSourceKind::None;
  // Why there is none (None only): "wayland-other" (a Wayland desktop we have no way
  // into), "no-session" (neither X11 nor Wayland: a console, a service), "tty".
  std::string why;
};

// From XDG_SESSION_TYPE and XDG_CURRENT_DESKTOP (a colon-separated list, e.g.
// "ubuntu:GNOME"); `display` is whether DISPLAY is set, which stands in for a missing
// session type (a session started by hand, a virtual X server).
FocusSourceChoice ChooseFocusSource(std::string_view sessionType, std::string_view currentDesktop, bool display);

}  // namespace vantrel::profiles
