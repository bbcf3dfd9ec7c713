#include "core/keys/verify.h"

#include <algorithm>

#include "core/keys/macro.h"
#include "core/text/utf16.h"
#include "core/util/bytes.h"

namespace vantrel::keys {
namespace {

using device::DifferenceLine;
using device::Phrase;

std::string MacroLabel(std::size_t position, const std::u16string& name, const text::TextSource& texts) {
  return Phrase(texts, "READBACK_MACRO", {std::to_string(position + 1), text::Utf16ToUtf8(name)});
}

// "A press, then 100 ms": a step as the macro editor shows it, with the key's name.
std::string StepText(const MacroAction& a, const text::TextSource& texts) {
  return Phrase(texts, a.direction == kRelease ? "READBACK_STEP_RELEASE" : "READBACK_STEP_PRESS",
                {KeyOutputName(a.code, texts), std::to_string(a.delay)});
}

// The header fields of a macro block: magic, size, count, names flag.
void CompareMacroHeaders(std::span<const std::uint8_t> written, std::span<const std::uint8_t> read,
                         const text::TextSource& texts, std::vector<std::string>& lines) {
  struct Field {
    std::size_t offset;
    const char* key;
  };
  static constexpr Field kFields[] = {{0, "READBACK_AREA_MAGIC"},
                                      {2, "READBACK_AREA_SIZE"},
                                      {4, "READBACK_AREA_COUNT"},
                                      {6, "READBACK_AREA_NAMES"}};
  for (const Field& f : kFields) {
    const std::uint16_t w = LoadU16(written, f.offset);
    const std::uint16_t r = LoadU16(read, f.offset);
    if (w != r) lines.push_back(DifferenceLine(texts, texts.Text(f.key), std::to_string(w), std::to_string(r)));
  }
}

// A name in double quotes. Built by appending: gcc 12 at -O3 warns (wrongly) of an
// overlapping copy in "\"" + string.
std::string Quoted(const std::string& text) {
  std::string quoted(1, '"');
  quoted += text;
  quoted += '"';
  return quoted;
}

void CompareMacros(std::size_t i, const std::u16string& label, const MacroRecord& w, const MacroRecord& r,
                   bool namesCompared, const text::TextSource& texts, std::vector<std::string>& lines) {
  const std::string what = MacroLabel(i, label, texts);
  if (namesCompared && w.Name() != r.Name()) {
    lines.push_back(DifferenceLine(texts, Phrase(texts, "READBACK_MACRO_NAME", {what}),
                                   Quoted(text::Utf16ToUtf8(w.Name())), Quoted(text::Utf16ToUtf8(r.Name()))));
  }
  if (w.Cycles() != r.Cycles()) {
    lines.push_back(DifferenceLine(texts, Phrase(texts, "READBACK_MACRO_CYCLES", {what}), std::to_string(w.Cycles()),
                                   std::to_string(r.Cycles())));
  }
  const auto wa = w.Actions();
  const auto ra = r.Actions();
  if (wa.size() != ra.size()) {
    lines.push_back(DifferenceLine(texts, Phrase(texts, "READBACK_MACRO_STEPS", {what}), std::to_string(wa.size()),
                                   std::to_string(ra.size())));
  }
  // The first differing step says enough; the rest usually follows from it.
  for (std::size_t s = 0; s < std::min(wa.size(), ra.size()); ++s) {
    if (wa[s] == ra[s]) continue;
    lines.push_back(DifferenceLine(texts, Phrase(texts, "READBACK_MACRO_STEP", {what, std::to_string(s + 1)}),
                                   StepText(wa[s], texts), StepText(ra[s], texts)));
    break;
  }
}

}  // namespace

std::vector<std::string> CompareKeyTables(std::size_t profile, KeyTableView written, KeyTableView read,
                                          KeyTableView factory, const text::TextSource& texts) {
  std::vector<std::string> lines;
  for (std::size_t k = 0; k < device::kKeyEntryCount; ++k) {
    const KeyEntry w = EntryAt(written, k);
    const KeyEntry r = EntryAt(read, k);
    if (w == r) continue;
    const std::uint16_t code = CodeOfEntry(EntryAt(factory, k));
    const std::string what =
        code != 0 ? Phrase(texts, "READBACK_KEY", {std::to_string(profile), KeyOutputName(code, texts)})
                  : Phrase(texts, "READBACK_KEY_POSITION", {std::to_string(profile), std::to_string(k)});
    const std::uint8_t wb[3] = {w.type, w.sub, w.value};
    const std::uint8_t rb[3] = {r.type, r.sub, r.value};
    lines.push_back(DifferenceLine(texts, what, device::HexBytes(wb), device::HexBytes(rb)));
  }
  return lines;
}

std::vector<std::string> CompareMacroBlocks(std::span<const std::uint8_t> written, std::span<const std::uint8_t> read,
                                            std::span<const std::u16string> names, const text::TextSource& texts) {
  std::vector<std::string> lines;
  CompareMacroHeaders(written, read, texts, lines);
  const auto w = ReadMacroBlock(written, texts);
  const auto r = ReadMacroBlock(read, texts);
  // Names are compared only when both blocks carry them; otherwise both sides decode to
  // the same made-up names.
  const bool namesCompared = LoadU16(written, 6) == 1 && LoadU16(read, 6) == 1;
  for (std::size_t i = 0; i < std::max(w.size(), r.size()); ++i) {
    const std::u16string label = i < names.size() ? names[i] : (i < w.size() ? w[i] : r[i]).Name();
    if (i >= r.size()) {
      lines.push_back(Phrase(texts, "READBACK_MACRO_MISSING", {MacroLabel(i, label, texts)}));
    } else if (i >= w.size()) {
      lines.push_back(Phrase(texts, "READBACK_MACRO_EXTRA", {MacroLabel(i, label, texts)}));
    } else {
      CompareMacros(i, label, w[i], r[i], namesCompared, texts, lines);
    }
  }
  if (!lines.empty()) return lines;
  // Nothing a decoder sees differs (an offset table entry, a byte past the last entry):
  // the first differing byte stands for the rest.
  if (written.size() != read.size()) {
    lines.push_back(DifferenceLine(texts, texts.Text("READBACK_AREA_LENGTH"),
                                   Phrase(texts, "READBACK_BYTES", {std::to_string(written.size())}),
                                   Phrase(texts, "READBACK_BYTES", {std::to_string(read.size())})));
  }
  for (std::size_t i = 0; i < std::min(written.size(), read.size()); ++i) {
    if (written[i] == read[i]) continue;
    lines.push_back(DifferenceLine(texts, Phrase(texts, "READBACK_AREA_BYTE", {std::to_string(i)}),
                                   std::to_string(written[i]), std::to_string(read[i])));
    break;
  }
  return lines;
}

device::Verification ReadBackKeys(device::CommandSet& commands, const WrittenKeys& written,
                                  const text::TextSource& texts) {
  device::Verification v;
  v.checked = true;
  std::vector<std::uint8_t> block(written.macroBlock.size());
  const device::DeviceResult macroRead = commands.CmdReadMacroArea(block);
  if (macroRead != device::kDeviceOk) {
    v.Note(device::ReadFailure(texts, texts.Text("READBACK_WHAT_MACRO_AREA"), macroRead));
  } else {
    for (auto& line : CompareMacroBlocks(written.macroBlock, block, written.macroNames, texts)) v.Note(line);
  }
  for (std::size_t i = 0; i < written.profiles.size() && i < written.tables.size(); ++i) {
    const std::size_t profile = written.profiles[i];
    DeviceKeyTable read{};
    const device::DeviceResult r = commands.CmdReadKeyTable(read, static_cast<unsigned>(profile));
    if (r != device::kDeviceOk) {
      v.Note(device::ReadFailure(texts, Phrase(texts, "READBACK_WHAT_KEY_TABLE", {std::to_string(profile)}), r));
      continue;
    }
    for (auto& line : CompareKeyTables(profile, written.tables[i], read, written.factory, texts)) v.Note(line);
  }
  return v;
}

std::vector<std::string> CompareImageWithKeyboard(const StoreImage& image, const DeviceConfiguration& keyboard,
                                                  const text::TextSource& texts) {
  std::vector<std::string> lines;
  const MacroIdList ids = MacroIdsOf(image.macros);
  const MacroBlockSizes sizes = ComputeMacroBlockSizes(image.macros);
  const std::size_t capacity = std::min(keyboard.macroCapacity, kMaxMacroBlock);
  const std::vector<std::uint8_t> block = BuildMacroBlock(image.macros, sizes.full <= capacity);
  std::vector<std::u16string> names;
  for (const MacroRecord& m : image.macros) names.push_back(m.Name());
  if (sizes.bare > capacity) {
    lines.push_back(Phrase(texts, "READBACK_AREA_TOO_SMALL", {std::to_string(sizes.bare), std::to_string(capacity)}));
  }
  for (auto& line : CompareMacroBlocks(block, keyboard.macroBlock, names, texts)) lines.push_back(std::move(line));
  for (std::size_t p = 0; p < device::kProfileCount; ++p) {
    const DeviceKeyTable table = EncodeKeyTable(image.table, p, keyboard.factory, ids);
    for (auto& line : CompareKeyTables(p, table, keyboard.tables[p], keyboard.factory, texts)) {
      lines.push_back(std::move(line));
    }
  }
  return lines;
}

}  // namespace vantrel::keys
