#include "core/profiles/focus_source.h"

namespace vantrel::profiles {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

bool DesktopIs(std::string_view desktops, std::string_view name) {
  const std::string list = LowerCase(desktops);
  std::size_t start = 0;
  while (start <= list.size()) {
    const auto end = list.find(':', start);
    const std::string_view item =
        std::string_view(list).substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (item == name) return true;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return false;
}

}  // namespace

FocusSourceChoice ChooseFocusSource(std::string_view sessionType, std::string_view currentDesktop, bool display) {
  const std::string type = LowerCase(sessionType);
  if (type == "x11") return {FocusSourceKind::X11, {}};
  if (type == "wayland") {
    if (DesktopIs(currentDesktop, "kde")) return {FocusSourceKind::KWinScript, {}};
    if (DesktopIs(currentDesktop, "gnome")) return {FocusSourceKind::GnomeShell, {}};
    return {FocusSourceKind::None, "wayland-other"};
  }
  if (type == "tty") return {FocusSourceKind::None, "tty"};
  // No session type said (or "unspecified"): an X server we can reach is enough.
  if (display) return {FocusSourceKind::X11, {}};
  return {FocusSourceKind::None, "no-session"};
}

}  // namespace vantrel::profiles
