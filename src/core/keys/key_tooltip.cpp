#include "core/keys/key_tooltip.h"

#include <algorithm>

#include "core/keys/key_codes.h"
#include "core/text/safe_format.h"
#include "core/text/utf16.h"

namespace vantrel::keys {

std::string AssignmentTargetName(const KeyAssignment& record, const StoreImage& image, const text::TextSource& texts) {
  switch (record.kind) {
    case kKindKey:
      return KeyDisplayName(static_cast<std::uint16_t>(record.code), texts);
    case kKindMacro: {
      auto it = std::find_if(image.macros.begin(), image.macros.end(),
                             [&](const MacroRecord& m) { return m.Id() == record.code; });
      return it != image.macros.end() ? text::Utf16ToUtf8(it->Name()) : std::string();
    }
    case kKindMedia: {
      const auto& media = MediaKeyTable();
      if (record.code >= 0 && static_cast<std::size_t>(record.code) < media.size()) {
        return KeyDisplayName(media[static_cast<std::size_t>(record.code)].code, texts);
      }
      return {};
    }
    case kKindFunction:
      return texts.Text("FUNC_KEY_DESC" + std::to_string(record.code + 1));
    default:
      return {};
  }
}

KeyTooltipText KeyTooltip(std::uint16_t code, int gKeyNumber, const KeyAssignment& record, const StoreImage& image,
                          const text::TextSource& texts) {
  KeyTooltipText out;
  out.text = gKeyNumber > 0 ? std::string("G").append(std::to_string(gKeyNumber)) : KeyDisplayName(code, texts);
  if (record.kind == kKindFactory) return out;
  out.assigned = true;
  out.text += texts.Text("KEY_PROMPT_SET");
  const char* prompt = nullptr;
  switch (record.kind) {
    case kKindKey: prompt = "KEY_PROMPT_SINGLE"; break;
    case kKindMacro: prompt = "KEY_PROMPT_MACRO"; break;
    case kKindMedia: prompt = "KEY_PROMPT_MEDIA"; break;
    case kKindFunction: prompt = "KEY_PROMPT_FUNCTION"; break;
    default: break;  // disabled, launch, stop macro, text: nothing more
  }
  if (prompt != nullptr) out.text += texts.Text(prompt) + AssignmentTargetName(record, image, texts) + ")";
  return out;
}

std::string AssignmentWords(const KeyAssignment& record, std::size_t stringSlot, const StoreImage& image,
                            const text::TextSource& texts) {
  const auto slotText = [&] {
    const std::u16string* s = image.strings.Slot(stringSlot);
    return s != nullptr ? text::Utf16ToUtf8(*s) : std::string();
  };
  switch (record.kind) {
    case kKindFactory: return {};
    case kKindDisabled: return texts.Text("SHEET_DISABLED");
    case kKindMacro: return text::FormatWithString(texts.Text("SHEET_MACRO"), AssignmentTargetName(record, image, texts));
    case kKindLaunch: return text::FormatWithString(texts.Text("SHEET_LAUNCH"), slotText());
    case kKindText: return text::FormatWithString(texts.Text("SHEET_TEXT"), slotText());
    case kKindStopMacro: return texts.Text("SHEET_STOP_MACRO");
    case kKindKey:
    case kKindMedia:
    case kKindFunction: {
      std::string name = AssignmentTargetName(record, image, texts);
      // A media index or function number the program does not know still shows that the
      // key does something else than its factory function.
      return name.empty() || name == "#Error" ? std::string("#").append(std::to_string(record.code)) : name;
    }
    default: return std::string("#").append(std::to_string(record.kind));
  }
}

}  // namespace vantrel::keys
