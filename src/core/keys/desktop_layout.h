// Which keyboard layout the desktop uses now, from what the desktop itself stores. Reading
// those places is the platform's part (platform/desktop_layout.h); the decision and the
// parsing of what was read happen here.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/keys/text_macro.h"

namespace vantrel::keys {

// What the platform can read; each reader is called only when its answer is needed and
// gives nothing when its source is missing or unreadable.
struct DesktopLayoutSources {
  std::string sessionType;  // XDG_SESSION_TYPE: "x11", "wayland", ...
  std::string desktop;      // XDG_CURRENT_DESKTOP: "KDE", "GNOME", "ubuntu:GNOME", ...
  // The X server root window's _XKB_RULES_NAMES property (NUL-separated strings).
  std::function<std::optional<std::string>()> x11RulesNames;
  // The text of KDE's keyboard settings file (kxkbrc).
  std::function<std::optional<std::string>()> kdeKeyboardConfig;
  // The output of `gsettings get org.gnome.desktop.input-sources sources`.
  std::function<std::optional<std::string>()> gnomeInputSources;
};

enum class LayoutSource { kX11, kKde, kGnome, kDefault };

struct DesktopLayout {
  LayoutName name;
  LayoutSource source = LayoutSource::kDefault;
};

// Outside a Wayland session the X server's names (the desktops keep them current, and
// Xwayland's are not the compositor's); then the stored input sources of KDE or GNOME as
// XDG_CURRENT_DESKTOP names them; otherwise "us". Always the first layout of a list.
DesktopLayout DetectDesktopLayout(const DesktopLayoutSources& sources);

// "evdev\0pc105\0de,us\0nodeadkeys,\0grp:alt_shift_toggle\0": layout and variant fields.
std::optional<LayoutName> LayoutOfXkbRulesNames(std::string_view property);
// kxkbrc: [Layout] LayoutList=de,us and VariantList=nodeadkeys,; nothing when Use=false
// (KDE leaves the layouts to the system then).
std::optional<LayoutName> LayoutOfKdeConfig(std::string_view iniText);
// "[('xkb', 'de'), ('xkb', 'us+dvorak')]": the first 'xkb' source ("us+dvorak" is
// us(dvorak)); input-method sources ('ibus', ...) are not layouts and are skipped.
std::optional<LayoutName> LayoutOfGnomeSources(std::string_view gvariantText);

}  // namespace vantrel::keys

namespace vantrel::keys {

// A layout to offer for choice, with the description XKB gives it.
struct LayoutChoice {
  LayoutName name;
  std::string description;  // "German", "English (Dvorak)"
};

// The layouts and variants of an XKB rules list (rules/evdev.lst): the "! layout" lines
// ("  de              German") and the "! variant" lines ("  dvorak          us: English
// (Dvorak)"), each variant after its layout; lines whose names are not plain names are
// left out.
std::vector<LayoutChoice> LayoutChoicesOfRulesList(std::string_view listText);

}  // namespace vantrel::keys
