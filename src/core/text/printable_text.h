// Text from a file or another program, made safe to print on a terminal: an escape
// sequence in it would otherwise move the cursor, retitle the window or hide what follows.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel::text {

// `text` with every control character (C0, DEL, C1) and every byte that is not part of
// well-formed UTF-8 shown as '?', and cut after `maxBytes` bytes (at a character boundary)
// with "..." appended when it was longer. Tabs become spaces.
std::string PrintableText(std::string_view text, std::size_t maxBytes = 200);

}  // namespace vantrel::text
