// The characters of a keyboard layout, from its XKB keymap. The only code that talks to
// libxkbcommon; everything else works on the table it returns.
#pragma once

#include <optional>

#include "core/keys/text_macro.h"

namespace vantrel::keys {

// Compiles the keymap of rules "evdev", model "pc105", the layout and its variant (the
// first group only, no options) from the system's XKB data and the user's own, and lists
// every character it types: on each key (keypad keys left out, their characters depend on
// Num Lock) the levels reached with no modifier, Shift, AltGr (the right Alt key) and
// Shift+AltGr, where each of those modifiers changes the level; then the characters of a
// dead key followed by a base key of the layout, as the en_US.UTF-8 compose table
// combines them. Nothing when the layout or the variant is unknown, or when this build
// has no libxkbcommon.
std::optional<LayoutCharacters> CompileLayoutCharacters(const LayoutName& name);

}  // namespace vantrel::keys
