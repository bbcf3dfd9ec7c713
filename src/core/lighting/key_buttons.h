// Lighting's lookups on the key buttons of the keyboard picture (rows of
// keys::KeyboardLayout()): the LED slot of a button and its place in the layout.
#pragma once

#include "core/keys/keyboard_layout.h"

namespace vantrel::lighting {

using keys::kLedColumns;
using keys::kLedRows;
using keys::kLedSlots;

// LED slot of a key button by control id; 0 for an id that is no key button.
int LedSlot(int controlId);
// Position in keys::KeyboardLayout() of a control id, or -1.
int ButtonIndex(int controlId);
// Position 0..107 in the ordinary-key order, or -1.
int OrdinaryKeyPosition(int controlId);

}  // namespace vantrel::lighting
