#include "core/keys/key_sheet.h"

#include <algorithm>
#include <climits>
#include <set>

#include "core/keys/key_codes.h"
#include "core/keys/key_tooltip.h"
#include "core/keys/keyboard_layout.h"
#include "core/text/safe_format.h"
#include "core/text/utf16.h"

namespace vantrel::keys {
namespace {

std::string Words(const StoreImage& image, std::size_t profile, std::uint16_t index, const text::TextSource& texts) {
  const KeyAssignment r = image.table.Record(profile, index);
  return AssignmentWords(r, profile * kRecordsPerSlot + index, image, texts);
}

}  // namespace

std::string MacroStepWords(const MacroAction& action, const text::TextSource& texts) {
  // U+2193 and U+2191: the same arrows in every language.
  std::string out = action.direction == kRelease ? "\xE2\x86\x91 " : "\xE2\x86\x93 ";
  out += KeyOutputName(action.code, texts);
  out += "  ";
  out += std::to_string(action.delay);
  out += " ms";
  return out;
}

KeySheet BuildKeySheet(const StoreImage& image, std::size_t profile, const text::IniSnapshot& mainSkin,
                       const text::TextSource& texts, std::string date) {
  KeySheet sheet;
  sheet.title = text::FormatWithString(texts.Text("SHEET_TITLE"), texts.Text("PROFILE_" + std::to_string(profile + 1)));
  sheet.date = std::move(date);

  int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;
  for (const LayoutKey& key : KeyboardLayout()) {
    const text::SkinRect rect = text::ReadSkinRect(mainSkin, "BUTTONINFO", SkinKeyOf(key));
    if (text::IsDisabledPlacement(rect) || rect.width <= 0 || rect.height <= 0) continue;
    SheetKey k;
    k.rect = rect;
    k.legend = std::string(key.legend);
    k.gKey = key.kind == LayoutKind::GKey;
    // A G-key button shows its first layer; both layers are in the table. Fn has no record.
    if (key.index != kNoKeyIndex) k.assignment = Words(image, profile, key.index, texts);
    left = std::min(left, rect.x);
    top = std::min(top, rect.y);
    // Summed in 64 bits: a skin value near INT_MAX must not wrap the bounds.
    right = static_cast<int>(std::min<long long>(INT_MAX, std::max<long long>(right, 0LL + rect.x + rect.width)));
    bottom = static_cast<int>(std::min<long long>(INT_MAX, std::max<long long>(bottom, 0LL + rect.y + rect.height)));
    sheet.keys.push_back(std::move(k));
  }
  if (!sheet.keys.empty()) sheet.bounds = {left, top, right - left, bottom - top};

  sheet.gKeyHeading = texts.Text("SHEET_GKEYS");
  sheet.layer1Heading = texts.Text("SHEET_LAYER1");
  sheet.layer2Heading = texts.Text("SHEET_LAYER2");
  for (std::size_t n = 0; n < kGKeyCount; ++n) {
    const GKeyPlace first{n, 0}, second{n, 1};
    sheet.gKeys.push_back({std::string("G").append(std::to_string(n + 1)), Words(image, profile, first.Index(), texts),
                           Words(image, profile, second.Index(), texts)});
  }

  // The macros a key of the profile starts, G keys of both layers included.
  std::set<std::int32_t> used;
  for (std::size_t i = 0; i < kRecordsPerSlot; ++i) {
    const KeyAssignment r = image.table.Record(profile, i);
    if (r.kind == kKindMacro) used.insert(r.code);
  }
  sheet.macroHeading = texts.Text("MACRO_SETTING");
  for (const MacroRecord& m : image.macros) {
    if (!used.contains(m.Id())) continue;
    SheetMacro sm;
    sm.name = text::Utf16ToUtf8(m.Name());
    sm.cycles = text::FormatWithNumber(texts.Text("SHEET_CYCLES"), m.Cycles());
    for (const MacroAction& a : m.Actions()) sm.steps.push_back(MacroStepWords(a, texts));
    sheet.macros.push_back(std::move(sm));
  }
  return sheet;
}

std::string SheetFileName(std::string_view title) {
  std::string spaced;
  for (const char c : title) {
    const auto u = static_cast<unsigned char>(c);
    if (c == ':') {
      // French puts a no-break space before the colon: it goes with it.
      while (!spaced.empty() && spaced.back() == ' ') spaced.pop_back();
      if (spaced.size() >= 2 && spaced.compare(spaced.size() - 2, 2, "\xC2\xA0") == 0) spaced.resize(spaced.size() - 2);
      spaced += " - ";
    }
    else if (u < 0x20 || u == 0x7F || std::string_view("/\\*?\"<>|").find(c) != std::string_view::npos) spaced += ' ';
    else spaced += c;
  }
  std::string name;
  for (const char c : spaced) {
    if (c == ' ' && (name.empty() || name.back() == ' ')) continue;
    name += c;
  }
  while (!name.empty() && name.back() == ' ') name.pop_back();
  // A leading or doubled dash left by a colon at either end reads as nothing.
  while (name.size() >= 2 && name.compare(name.size() - 2, 2, " -") == 0) name.resize(name.size() - 2);
  if (name.rfind("- ", 0) == 0) name.erase(0, 2);
  if (name == "-") name.clear();
  return name;
}

}  // namespace vantrel::keys
