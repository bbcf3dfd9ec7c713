// Text from elsewhere (window titles, names other programs chose) made safe to print on a
// terminal: nothing in it can move the cursor, change colours, set the window title or
// send the terminal a request.
#pragma once

#include <string>
#include <string_view>

namespace vantrel::text {

// `text` with every control character (C0, DEL, C1) and every byte that is not part of
// well-formed UTF-8 replaced by '?'. Printable UTF-8 stays as it is.
std::string PrintableText(std::string_view text);

}  // namespace vantrel::text
