// The tooltip of a key button of the keyboard picture: the key's display name (for a G
// key "G" and its number), and for an assigned key the "KEY_PROMPT_SET" text with what it
// does now.
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

}  // namespace vantrel::keys
