// The lighting record as the keyboard answers it, and the slot values of a colour file:
// both arrive from outside. Decoding must stay inside the bytes and give values in range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "core/lighting/key_colours.h"
#include "core/lighting/lighting.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantrel::lighting;
  const std::span<const std::uint8_t> bytes(data, size);
  const auto fields = DecodeLightingRecord(bytes);
  LightingState state;
  for (std::size_t i = 0; i < kRecordSize && i < size; ++i) state.records[1][i] = data[i];
  DecodeIntoState(state, 1);
  if (state.reportRate < 0 || state.reportRate > 3) std::abort();
  if (size > 0 && fields.effect != data[0]) std::abort();

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto slot = ParseSlotValue(text);
  if (slot.colour > 0xFFFFFFu) std::abort();
  (void)ParseColourValue(text);
  return 0;
}
