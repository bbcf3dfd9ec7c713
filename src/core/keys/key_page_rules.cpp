#include "core/keys/key_page_rules.h"

#include <cctype>

#include "core/keys/key_codes.h"
#include "core/text/safe_format.h"
#include "core/text/utf16.h"

namespace vantrel::keys {

CaptureAction DecideCapture(std::uint16_t code, bool release, bool autoRepeat, bool keyboardChosen) {
  if (code == 0 || IsMediaKey(code)) return CaptureAction::kPassOn;
  if (code == kCodeLeftWin || code == kCodeRightWin || code == 0x15D) return CaptureAction::kCapture;
  if (!keyboardChosen) return CaptureAction::kSwallow;
  if (code == kCodePrintScreen) return CaptureAction::kCapture;
  if (release || autoRepeat) return CaptureAction::kSwallow;
  return CaptureAction::kCapture;
}

std::string KeyTooltip(std::uint16_t code, int gKeyNumber, const KeyAssignment& record, const StoreImage& image,
                       const text::TextSource& texts) {
  std::string tip = gKeyNumber > 0 ? std::string("G").append(std::to_string(gKeyNumber)) : KeyDisplayName(code, texts);
  if (record.kind == kKindFactory) return tip;
  tip += texts.Text("KEY_PROMPT_SET");
  switch (record.kind) {
    case kKindKey:
      tip += texts.Text("KEY_PROMPT_SINGLE");
      tip += KeyDisplayName(static_cast<std::uint16_t>(record.code), texts);
      tip += ")";
      break;
    case kKindMacro: {
      tip += texts.Text("KEY_PROMPT_MACRO");
      for (const auto& m : image.macros)
        if (m.Id() == record.code) {
          tip += text::Utf16ToUtf8(m.Name());
          break;
        }
      tip += ")";
      break;
    }
    case kKindMedia:
      tip += texts.Text("KEY_PROMPT_MEDIA");
      if (record.code >= 0 && static_cast<std::size_t>(record.code) < kMediaKeyCount)
        tip += KeyDisplayName(MediaKeyTable()[static_cast<std::size_t>(record.code)].code, texts);
      tip += ")";
      break;
    case kKindFunction:
      tip += texts.Text("KEY_PROMPT_FUNCTION");
      tip += texts.Text(FunctionKeyLanguageKey(record.code));
      tip += ")";
      break;
    default: break;
  }
  return tip;
}

int ReadRecordDelayMode(text::ProfileStrings& strings, const text::TextSource& texts) {
  const std::string entry = texts.Text("MACRO_ACTION_RECORD_DELAY");
  const auto value = strings.Read(kProfilesSection, entry);
  if (!value) return 0;
  long long mode = 0;
  if (ScanDecimal(*value, mode) && (mode == 0 || mode == 1)) return static_cast<int>(mode);
  strings.Write(kProfilesSection, entry, "0");
  return 0;
}

void WriteRecordDelayMode(text::ProfileStrings& strings, const text::TextSource& texts, int mode) {
  strings.Write(kProfilesSection, texts.Text("MACRO_ACTION_RECORD_DELAY"), mode == 1 ? "1" : "0");
}

bool ScanDecimal(std::string_view text, long long& value) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  const std::size_t digits = i;
  long long v = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    // Saturate: the callers clamp anyway, and a long run of digits must not overflow.
    if (v < 1'000'000'000'000LL) v = v * 10 + (text[i] - '0');
  }
  if (i == digits) return false;
  value = negative ? -v : v;
  return true;
}

int CorrectCycles(std::string_view text) {
  long long v = 0;
  if (!ScanDecimal(text, v) || v < 1) return 1;
  return v > 255 ? 255 : static_cast<int>(v);
}

DelayEntry ParseDelayEntry(std::string_view text) {
  long long v = 0;
  if (!ScanDecimal(text, v) || v < 0) v = 0;
  DelayEntry out;
  if (v > kMaxDelayMs) {
    v = kMaxDelayMs;
    out.clamped = true;
  }
  out.delay = static_cast<std::int32_t>(v - v % 10);
  return out;
}

}  // namespace vantrel::keys
