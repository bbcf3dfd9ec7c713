// Reads a macro block as it would come from the keyboard's macro area: every count, size
// and offset in it is untrusted. The records must respect the record limits, and a block
// built from them again must read back to the same records.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "core/keys/macro.h"

namespace {

class FixedTexts final : public vantrel::text::TextSource {
 public:
  std::string Text(std::string_view) const override { return "Macro"; }
  std::string LightText(std::string_view) const override { return ""; }
  std::string ModeText(std::string_view) const override { return ""; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantrel::keys;
  FixedTexts texts;
  const auto macros = ReadMacroBlock(std::span<const std::uint8_t>(data, size), texts);
  if (macros.size() > kMaxMacros) std::abort();
  for (const MacroRecord& m : macros) {
    if (m.ActionCount() > kMaxActions || m.Name().size() > kMaxNameChars) std::abort();
  }
  const auto block = BuildMacroBlock(macros, true);
  if (!block.empty()) {
    const auto again = ReadMacroBlock(block, texts);
    if (again.size() != macros.size()) std::abort();
    for (std::size_t i = 0; i < again.size(); ++i) {
      if (again[i].ActionCount() != macros[i].ActionCount() || again[i].Cycles() != macros[i].Cycles()) std::abort();
    }
  }
  return 0;
}
