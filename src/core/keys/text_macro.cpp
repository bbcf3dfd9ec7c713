#include "core/keys/text_macro.h"

#include <algorithm>
#include <cstdio>

#include "core/keys/evdev_codes.h"
#include "core/keys/key_codes.h"
#include "core/keys/keyboard_layout.h"
#include "core/keys/xkb_layout.h"
#include "core/text/safe_format.h"
#include "core/text/utf16.h"

namespace vantrel::keys {
namespace {

constexpr std::size_t kMaxLayoutNameChars = 64;
constexpr std::uint32_t kEvdevEnter = 28;
constexpr std::uint32_t kEvdevTab = 15;

bool ValidNamePart(std::string_view s) {
  if (s.empty() || s.size() > kMaxLayoutNameChars) return false;
  return std::all_of(s.begin(), s.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
  });
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The key code of a layout's key when this keyboard has that key and can send it.
std::optional<std::uint16_t> KeyboardCode(std::uint16_t code) {
  const LayoutKey* key = LayoutKeyOfCode(code);
  if (key == nullptr || key->kind != LayoutKind::Ordinary) return std::nullopt;
  if (UsageOfCode(code).page == kPageNone) return std::nullopt;
  return code;
}

struct Stroke {
  std::uint16_t code = 0;
  std::uint8_t modifiers = 0;
};

// The first way whose keys this keyboard has, as key codes. Ways over keys that no PC
// keyboard has (a layout may put a character on a special key such as KEY_EURO as well)
// are not ways at all; *keyMissing tells whether a way failed only for a key this
// keyboard lacks.
std::optional<std::vector<Stroke>> UsableWay(const std::vector<LayoutWay>& ways, bool* keyMissing = nullptr) {
  for (const LayoutWay& way : ways) {
    std::vector<Stroke> strokes;
    bool known = true;
    for (const LayoutStroke& s : way) {
      const std::uint16_t code = KeyCodeOfEvdev(s.evdev);
      const auto usable = code != 0 ? KeyboardCode(code) : std::nullopt;
      known = known && code != 0;
      if (usable) strokes.push_back({*usable, s.modifiers});
    }
    if (!way.empty() && strokes.size() == way.size()) return strokes;
    if (known && keyMissing != nullptr) *keyMissing = true;
  }
  return std::nullopt;
}

class StepWriter {
 public:
  explicit StepWriter(std::int32_t delay) : delay_(delay) {}

  void Type(const Stroke& s) {
    Hold(s.modifiers);
    Step(s.code, kPress);
    Step(s.code, kRelease);
  }
  std::vector<MacroAction> Finish() {
    Hold(0);
    return std::move(steps_);
  }

 private:
  // Modifiers no longer needed go up first (AltGr before Shift), then the new ones go
  // down (Shift before AltGr).
  void Hold(std::uint8_t modifiers) {
    if ((held_ & kLayoutAltGr) && !(modifiers & kLayoutAltGr)) Step(kCodeRightAlt, kRelease);
    if ((held_ & kLayoutShift) && !(modifiers & kLayoutShift)) Step(kCodeLeftShift, kRelease);
    if (!(held_ & kLayoutShift) && (modifiers & kLayoutShift)) Step(kCodeLeftShift, kPress);
    if (!(held_ & kLayoutAltGr) && (modifiers & kLayoutAltGr)) Step(kCodeRightAlt, kPress);
    held_ = modifiers;
  }
  void Step(std::uint16_t code, Direction d) { steps_.push_back({delay_, code, static_cast<std::uint16_t>(d)}); }

  std::int32_t delay_;
  std::uint8_t held_ = 0;
  std::vector<MacroAction> steps_;
};

std::string CodePointText(char32_t c) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "U+%04X", static_cast<unsigned>(c));
  return buffer;
}

std::string Phrase(const text::TextSource& texts, std::string_view key, std::initializer_list<std::string_view> args) {
  return text::FormatWithStrings(texts.Text(key), args);
}

}  // namespace

std::string LayoutName::Text() const { return variant.empty() ? layout : layout + "(" + variant + ")"; }

std::optional<LayoutName> ParseLayoutName(std::string_view text) {
  text = Trim(text);
  LayoutName name;
  if (const auto open = text.find('('); open != std::string_view::npos) {
    if (text.back() != ')') return std::nullopt;
    name.layout = std::string(text.substr(0, open));
    name.variant = std::string(text.substr(open + 1, text.size() - open - 2));
    if (!ValidNamePart(name.variant)) return std::nullopt;
  } else {
    name.layout = std::string(text);
  }
  if (!ValidNamePart(name.layout)) return std::nullopt;
  return name;
}

TextSteps StepsForText(std::u32string_view text, const LayoutCharacters& layout, std::int32_t delayMs) {
  TextSteps out;
  StepWriter writer(delayMs);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    std::optional<std::vector<Stroke>> strokes;
    if (c == U'\n' || c == U'\r') {
      if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;  // CR LF: one Enter
      strokes = UsableWay(std::vector<LayoutWay>{LayoutWay{LayoutStroke{kEvdevEnter, 0}}});
    } else if (c == U'\t') {
      strokes = UsableWay(std::vector<LayoutWay>{LayoutWay{LayoutStroke{kEvdevTab, 0}}});
    } else if (const auto it = layout.find(c); it != layout.end()) {
      bool keyMissing = false;
      strokes = UsableWay(it->second, &keyMissing);
      if (!strokes && keyMissing) {
        out.untypeable.push_back({i + 1, c, UntypeableCharacter::Reason::kKeyMissing});
        continue;
      }
    }
    if (!strokes) {
      out.untypeable.push_back({i + 1, c, UntypeableCharacter::Reason::kNotOnLayout});
      continue;
    }
    for (const Stroke& s : *strokes) writer.Type(s);
  }
  if (out.untypeable.empty()) out.steps = writer.Finish();
  return out;
}

std::vector<std::string> DescribeUntypeable(std::span<const UntypeableCharacter> untypeable,
                                            const text::TextSource& texts) {
  std::vector<std::string> lines;
  for (const UntypeableCharacter& u : untypeable) {
    // Control characters are named by their code point only.
    const bool visible = u.codePoint >= 0x20 && u.codePoint != 0x7F && !(u.codePoint >= 0x80 && u.codePoint < 0xA0);
    std::string shown = CodePointText(u.codePoint);
    if (visible) shown += " \"" + text::Utf32ToUtf8(std::u32string(1, u.codePoint)) + "\"";
    const char* key = u.reason == UntypeableCharacter::Reason::kNotOnLayout ? "TEXT_MACRO_NOT_ON_LAYOUT"
                                                                             : "TEXT_MACRO_KEY_MISSING";
    lines.push_back(Phrase(texts, key, {std::to_string(u.position), shown}));
  }
  return lines;
}

TypedText TypeText(std::string_view utf8Text, std::string_view layout, std::int32_t delayMs,
                   const text::TextSource& texts) {
  TypedText out;
  if (delayMs < 0 || delayMs > kMaxDelayMs || delayMs % 10 != 0) {
    out.error = texts.Text("TEXT_MACRO_BAD_DELAY");
    return out;
  }
  const auto name = ParseLayoutName(layout);
  if (!name) {
    out.error = Phrase(texts, "TEXT_MACRO_BAD_LAYOUT", {layout});
    return out;
  }
  out.layout = *name;
  if (utf8Text.empty()) {
    out.error = texts.Text("TEXT_MACRO_EMPTY");
    return out;
  }
  // Every character is at least one step (CR LF two characters, one Enter): a longer text
  // can never fit, and is not looked at character by character.
  const std::u32string text = text::Utf8ToUtf32(utf8Text);
  if (text.size() > kMaxActions) {
    out.error = texts.Text("EXTRA_MACRO_TOO_LONG");
    return out;
  }
  const auto characters = CompileLayoutCharacters(*name);
  if (!characters) {
    out.error = Phrase(texts, "TEXT_MACRO_BAD_LAYOUT", {name->Text()});
    return out;
  }
  TextSteps steps = StepsForText(text, *characters, delayMs);
  if (!steps.untypeable.empty()) {
    out.error = Phrase(texts, "TEXT_MACRO_CANNOT_TYPE", {name->Text()});
    for (const std::string& line : DescribeUntypeable(steps.untypeable, texts)) out.error += "\n" + line;
    out.untypeable = std::move(steps.untypeable);
    return out;
  }
  if (steps.steps.size() > kMaxActions) {
    out.error = texts.Text("EXTRA_MACRO_TOO_LONG");
    return out;
  }
  out.steps = std::move(steps.steps);
  return out;
}

AddedMacro AddMacroWithSteps(StoreImage& image, std::u16string_view name, std::span<const MacroAction> steps,
                             std::size_t macroCapacity, const text::TextSource& texts) {
  AddedMacro out;
  if (image.macros.size() >= kMaxMacros) {
    out.error = text::FormatWithNumber(texts.Text("MACRO_ERR_MAX"), static_cast<std::int64_t>(kMaxMacros));
    return out;
  }
  if (steps.size() > kMaxActions) {
    out.error = texts.Text("EXTRA_MACRO_TOO_LONG");
    return out;
  }
  MacroRecord m = NewMacro(name, SmallestFreeMacroId(image));
  m.SetActions(steps);
  image.macros.push_back(std::move(m));
  // The same test as the apply: the block must fit at least without names.
  if (macroCapacity != 0 && ComputeMacroBlockSizes(image.macros).bare > std::min(macroCapacity, kMaxMacroBlock)) {
    image.macros.pop_back();
    out.error = texts.Text("EXTRA_MACRO_TOO_LONG");
    return out;
  }
  out.id = image.macros.back().Id();
  return out;
}

AddedTextMacro AddTextMacro(EditingStore& store, std::string_view utf8Name, std::string_view utf8Text,
                            std::string_view layout, std::int32_t delayMs, std::size_t macroCapacity,
                            const text::TextSource& texts) {
  AddedTextMacro out;
  TypedText typed = TypeText(utf8Text, layout, delayMs, texts);
  out.layout = typed.layout;
  if (!typed.error.empty()) {
    out.error = std::move(typed.error);
    return out;
  }
  EditingStore::Lock lock(store);
  const AddedMacro added =
      AddMacroWithSteps(lock.Image(), text::Utf8ToUtf16(utf8Name), typed.steps, macroCapacity, texts);
  out.id = added.id;
  out.error = added.error;
  if (added.id != 0) out.steps = typed.steps.size();
  return out;
}

bool InsertSteps(RecordList& list, std::span<const MacroAction> steps) {
  if (steps.empty() || steps.size() > kMaxActions - std::min(list.actions.size(), kMaxActions)) return false;
  std::size_t at = list.actions.size();
  if (list.selected && *list.selected < list.actions.size()) at = *list.selected + 1;
  list.actions.insert(list.actions.begin() + static_cast<std::ptrdiff_t>(at), steps.begin(), steps.end());
  list.selected = at + steps.size() - 1;
  return true;
}

}  // namespace vantrel::keys
