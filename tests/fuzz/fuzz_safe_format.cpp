// The safe formatter over arbitrary format texts: the first byte chooses the kind and the
// value, the rest is the format. The result must stay bounded (no width or precision above
// 64 is honoured) and never read the value as anything but the one conversion.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/text/safe_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t selector = data[0];
  const std::string_view format(reinterpret_cast<const char*>(data + 1), size - 1);
  // Each '%' sequence may expand to at most 64 + 20 characters; everything else is copied.
  const std::size_t bound = format.size() + 128;
  if (selector & 1) {
    const std::string argument(static_cast<std::size_t>(selector >> 1), 'x');
    const std::string out = vantrel::text::FormatWithString(format, argument);
    if (out.size() > bound + argument.size()) std::abort();
  } else {
    const std::int64_t values[] = {0, -1, 1, 0x7FFFFFFFFFFFFFFF, INT64_MIN, 40000, 100, 0xFFFF};
    const std::string out = vantrel::text::FormatWithNumber(format, values[(selector >> 1) % 8]);
    if (out.size() > bound) std::abort();
  }
  return 0;
}
