// The choice of focus source from the session's environment.
#include <gtest/gtest.h>

#include "core/profiles/focus_source.h"

namespace vantrel::profiles {
namespace {

TEST(FocusSourceChoice, FollowsTheSessionTypeAndTheDesktopList) {
  EXPECT_EQ(ChooseFocusSource("x11", "GNOME", true).kind, FocusSourceKind::X11);
  EXPECT_EQ(ChooseFocusSource("X11", "", false).kind, FocusSourceKind::X11);
  EXPECT_EQ(ChooseFocusSource("wayland", "KDE", true).kind, FocusSourceKind::KWinScript);
  EXPECT_EQ(ChooseFocusSource("wayland", "ubuntu:GNOME", true).kind, FocusSourceKind::GnomeShell);
  EXPECT_EQ(ChooseFocusSource("wayland", "GNOME-Classic:GNOME", false).kind, FocusSourceKind::GnomeShell);
  // A name that merely contains a known one is not it.
  const auto sway = ChooseFocusSource("wayland", "sway:KDEish", true);
  EXPECT_EQ(sway.kind, FocusSourceKind::None);
  EXPECT_EQ(sway.why, "wayland-other");
  // XWayland's DISPLAY does not make a Wayland session an X11 one.
  EXPECT_EQ(ChooseFocusSource("wayland", "", true).kind, FocusSourceKind::None);
}

TEST(FocusSourceChoice, WithoutASessionTypeAnXServerIsEnough) {
  EXPECT_EQ(ChooseFocusSource("", "", true).kind, FocusSourceKind::X11);
  EXPECT_EQ(ChooseFocusSource("unspecified", "", true).kind, FocusSourceKind::X11);
  EXPECT_EQ(ChooseFocusSource("", "", false).why, "no-session");
  EXPECT_EQ(ChooseFocusSource("tty", "", true).why, "tty");
}

}  // namespace
}  // namespace vantrel::profiles
