// The tooltip of a key button of the keyboard picture: the key's display name (for a G
// key "G" and its number), and for an assigned key the "KEY_PROMPT_SET" text with what it
// does now. The same names give an assignment in words for the printed key map.
#pragma once

#include <string>

#include "core/keys/assignment.h"
#include "core/keys/stores.h"
#include "core/text/text_source.h"

namespace vantrel::keys {

struct KeyTooltipText {
  std::string text;
  bool assigned = false;  // the record is not the factory function: the button looks pressed
};

// gKeyNumber 1..9 for a G key (then `code` is not used), 0 for an ordinary key.
KeyTooltipText KeyTooltip(std::uint16_t code, int gKeyNumber, const KeyAssignment& record, const StoreImage& image,
                          const text::TextSource& texts);

// What an assignment points at, by name: the target key or mouse button (kind 2), the
// macro's name (4), the media function (7) or the keyboard function (8). Empty for the
// other kinds and for a macro id or media index that names nothing.
std::string AssignmentTargetName(const KeyAssignment& record, const StoreImage& image, const text::TextSource& texts);

// The assignment in words as the key map shows it: empty for the factory function;
// "Disabled", the key's or mouse function's name, "Macro: NAME", the media or keyboard
// function's name, "Launch: PROGRAM", "Text: TEXT" or "Stop macro" in the language in
// force. `stringSlot` is the record's slot in the key string table (slot x 512 + index),
// where kinds 3 and 6 keep their program path or text.
std::string AssignmentWords(const KeyAssignment& record, std::size_t stringSlot, const StoreImage& image,
                            const text::TextSource& texts);

}  // namespace vantrel::keys
