#include "core/keys/key_tooltip.h"

#include <algorithm>

#include "core/keys/key_codes.h"
#include "core/text/utf16.h"

namespace vantrel::keys {

KeyTooltipText KeyTooltip(std::uint16_t code, int gKeyNumber, const KeyAssignment& record, const StoreImage& image,
                          const text::TextSource& texts) {
  KeyTooltipText out;
  out.text = gKeyNumber > 0 ? std::string("G").append(std::to_string(gKeyNumber)) : KeyDisplayName(code, texts);
  if (record.kind == kKindFactory) return out;
  out.assigned = true;
  out.text += texts.Text("KEY_PROMPT_SET");
  switch (record.kind) {
    case kKindKey:
      out.text += texts.Text("KEY_PROMPT_SINGLE") + KeyDisplayName(static_cast<std::uint16_t>(record.code), texts) + ")";
      break;
    case kKindMacro: {
      std::string name;
      auto it = std::find_if(image.macros.begin(), image.macros.end(),
                             [&](const MacroRecord& m) { return m.Id() == record.code; });
      if (it != image.macros.end()) name = text::Utf16ToUtf8(it->Name());
      out.text += texts.Text("KEY_PROMPT_MACRO") + name + ")";
      break;
    }
    case kKindMedia: {
      const auto& media = MediaKeyTable();
      std::string name;
      if (record.code >= 0 && static_cast<std::size_t>(record.code) < media.size()) {
        name = KeyDisplayName(media[static_cast<std::size_t>(record.code)].code, texts);
      }
      out.text += texts.Text("KEY_PROMPT_MEDIA") + name + ")";
      break;
    }
    case kKindFunction:
      out.text += texts.Text("KEY_PROMPT_FUNCTION") + texts.Text("FUNC_KEY_DESC" + std::to_string(record.code + 1)) + ")";
      break;
    default:
      break;  // disabled, launch, stop macro, text: nothing more
  }
  return out;
}

}  // namespace vantrel::keys
