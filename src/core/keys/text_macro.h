// Text macros: a text turned into the key presses that type it on one keyboard layout.
// The keyboard stores key presses, not characters, so the same text needs other keys on
// another layout ("y" and "z" swap on de, "@" is AltGr+Q there). A layout's characters come
// from its XKB keymap (xkb_layout.h); this file turns a text into macro steps with them and
// adds the result as a new macro.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/keys/macro.h"
#include "core/keys/recorder.h"
#include "core/keys/stores.h"
#include "core/text/text_source.h"

namespace vantrel::keys {

// A layout as XKB names it: "us", or "us(dvorak)" for a variant.
struct LayoutName {
  std::string layout;
  std::string variant;
  // "de", "us(dvorak)".
  std::string Text() const;
  friend bool operator==(const LayoutName&, const LayoutName&) = default;
};

// "layout" or "layout(variant)". Names are letters, digits, '_' and '-' (at most 64
// each), as in the layouts' file names: nothing else may reach the keymap compiler's file
// lookup. Spaces around the whole are ignored.
std::optional<LayoutName> ParseLayoutName(std::string_view text);

// Modifiers a layout's shift level needs.
enum LayoutModifier : std::uint8_t { kLayoutShift = 1, kLayoutAltGr = 2 };

// One key press of a layout: the key by its evdev code, and the modifiers held for it.
struct LayoutStroke {
  std::uint32_t evdev = 0;
  std::uint8_t modifiers = 0;
  friend bool operator==(const LayoutStroke&, const LayoutStroke&) = default;
};

// One way to type a character: a single stroke, or a dead key and the base key.
using LayoutWay = std::vector<LayoutStroke>;

// Every character a layout types, each with its ways in order of preference (fewest
// modifiers first, dead-key sequences last).
using LayoutCharacters = std::map<char32_t, std::vector<LayoutWay>>;

// The wait after each step by default: the keyboard's smallest step.
inline constexpr std::int32_t kDefaultTextStepDelay = 10;

struct UntypeableCharacter {
  enum class Reason {
    kNotOnLayout,  // no key of the layout types it
    kKeyMissing,   // every key that types it is missing on this keyboard
  };
  std::size_t position = 0;  // 1-based, in characters (code points) of the text
  char32_t codePoint = 0;
  Reason reason = Reason::kNotOnLayout;
  friend bool operator==(const UntypeableCharacter&, const UntypeableCharacter&) = default;
};

struct TextSteps {
  std::vector<MacroAction> steps;
  // Every character that cannot be typed; when there is one, steps is empty.
  std::vector<UntypeableCharacter> untypeable;
};

// The steps that type the text: for each character its modifiers down, the key down and
// up, the modifiers up, except that a modifier the next character needs too stays down
// (Shift is the left Shift key, AltGr the right Alt key). A dead-key character is the dead
// key (with its modifiers) and then the base key. Newline (LF, CR or CR LF) is Enter and
// tab is Tab whatever the layout; other control characters are not typed. A key counts
// only when this keyboard has it and can send it. Every step waits delayMs after it.
TextSteps StepsForText(std::u32string_view text, const LayoutCharacters& layout, std::int32_t delayMs);

// The untypeable characters in words, one line each ("character 3: U+20AC "€" is not on
// the layout").
std::vector<std::string> DescribeUntypeable(std::span<const UntypeableCharacter> untypeable,
                                            const text::TextSource& texts);

// A text typed for a layout, ready for a macro, or why not.
struct TypedText {
  LayoutName layout;
  std::vector<MacroAction> steps;
  std::vector<UntypeableCharacter> untypeable;
  // Empty when steps can be used; otherwise the whole message, one line per untypeable
  // character after the first line.
  std::string error;
};

// Checks the delay (0 to 40000 ms in steps of 10), the layout name and the text (not
// empty; its steps at most the 2000 a macro holds), compiles the layout and turns the text
// into steps. UTF-8 text; invalid sequences count as untypeable characters.
TypedText TypeText(std::string_view utf8Text, std::string_view layout, std::int32_t delayMs,
                   const text::TextSource& texts);

// A new macro made of steps: the name (cut to 249 characters), cycles 1, the smallest free
// id, appended to the macro list unsaved (new-macro flag set), as the macro editor and
// vantrelctl add one. Refused with "MACRO_ERR_MAX" when 100 macros exist, and with
// "EXTRA_MACRO_TOO_LONG" when the macros would no longer fit in macroCapacity bytes (0:
// not known yet, not checked here; the apply checks it again).
struct AddedMacro {
  std::uint16_t id = 0;  // 0 when refused
  std::string error;
};
AddedMacro AddMacroWithSteps(StoreImage& image, std::u16string_view name, std::span<const MacroAction> steps,
                             std::size_t macroCapacity, const text::TextSource& texts);

// The whole path for a caller that holds no lock: TypeText (no lock held while the layout
// compiles), then AddMacroWithSteps under the editing store's lock. The caller saves and
// applies as after any macro edit.
struct AddedTextMacro {
  std::uint16_t id = 0;  // 0 when refused
  LayoutName layout;     // the layout typed for
  std::size_t steps = 0;
  std::string error;
};
AddedTextMacro AddTextMacro(EditingStore& store, std::string_view utf8Name, std::string_view utf8Text,
                            std::string_view layout, std::int32_t delayMs, std::size_t macroCapacity,
                            const text::TextSource& texts);

// Steps added to the macro being edited (the editor's "Type text..."): inserted after the
// selected row, or at the end when none is selected, and the last of them selected. False,
// with the list unchanged, when nothing is given or the macro would then hold more than
// kMaxActions steps.
bool InsertSteps(RecordList& list, std::span<const MacroAction> steps);

}  // namespace vantrel::keys
