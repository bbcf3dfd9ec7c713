// A keyd configuration's remaps over arbitrary text: every non-empty, non-comment line
// ends up either as a remap or in the list of what was not imported, never both and
// never neither (a key given twice lists its earlier line).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>

#include "core/keys/keyd_config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto config = vantrel::keys::ParseKeydConfig(text);
  std::set<int> remapLines;
  for (const auto& r : config.remaps) {
    if (r.line < 1 || !vantrel::keys::EvdevOfKeydName(r.from) || !vantrel::keys::EvdevOfKeydName(r.to)) std::abort();
    if (!remapLines.insert(r.line).second) std::abort();
  }
  for (const auto& s : config.skipped) {
    if (s.line < 1 || s.reason.empty() || remapLines.contains(s.line)) std::abort();
  }
  // Only the first lines not taken are kept; every one is counted.
  if (config.skipped.size() > vantrel::keys::kKeydSkippedKept || config.skippedCount < config.skipped.size()) {
    std::abort();
  }
  (void)vantrel::keys::KeydIdsMismatch(config, "0c45:7666");
  return 0;
}
