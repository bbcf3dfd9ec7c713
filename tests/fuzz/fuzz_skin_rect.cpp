// Skin rectangle values and mask pictures come from files anyone can edit.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/text/skin_values.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto r = vantrel::text::ParseSkinRect(text);
  (void)vantrel::text::IsDisabledPlacement(r);
  // Saturated values must not overflow in the face origin arithmetic used by the drawing.
  (void)vantrel::text::FaceSourceOrigin(r.x, r.y);

  // The same bytes as a small mask: first byte the width, the rest 32-bit pixels.
  if (size >= 1) {
    const int width = data[0] % 17;
    std::vector<std::uint32_t> px((size - 1) / 4);
    for (std::size_t i = 0; i < px.size(); ++i)
      px[i] = static_cast<std::uint32_t>(data[1 + 4 * i]) | (static_cast<std::uint32_t>(data[2 + 4 * i]) << 8) |
              (static_cast<std::uint32_t>(data[3 + 4 * i]) << 16) | (static_cast<std::uint32_t>(data[4 + 4 * i]) << 24);
    const int height = width ? static_cast<int>(px.size() / width) + 1 : 0;
    const auto runs = vantrel::text::MaskToRuns(px, width, height, width);
    std::size_t covered = 0;
    for (const auto& run : runs) {
      if (run.width <= 0 || run.x < 0 || run.x + run.width > width) __builtin_trap();
      covered += static_cast<std::size_t>(run.width);
    }
    if (covered > px.size()) __builtin_trap();
  }
  return 0;
}
