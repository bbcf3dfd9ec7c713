// Rules of the key page that need no window: what a key event does while the single-key
// tab is shown, the tooltip text of a key button, the record-delay setting and the
// corrections of the cycles field and of a typed delay.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/keys/assignment.h"
#include "core/keys/stores.h"
#include "core/text/profile_strings.h"
#include "core/text/text_source.h"

namespace vantrel::keys {

enum class CaptureAction {
  kPassOn,   // the key goes on to the system (unknown keys, media keys)
  kSwallow,  // nobody sees it, nothing is captured
  kCapture,  // it becomes the page's captured key
};

// A key event while the single-key tab is shown; code is already converted (0x054 ->
// 0x137 and so on). The Windows and App keys are captured on every press or release,
// whatever is chosen; Print Screen, which some platforms deliver only as a release, on
// any event while KB is chosen; every other key only on a press that is not an
// auto-repeat while KB is chosen.
CaptureAction DecideCapture(std::uint16_t code, bool release, bool autoRepeat, bool keyboardChosen);

// The tooltip of a key button: the key's display name ("G%d" for G key 1..9, given by
// gKeyNumber), then for any kind but 0 "KEY_PROMPT_SET" and, by kind, the target key,
// macro name, media key or device function followed by ")".
std::string KeyTooltip(std::uint16_t code, int gKeyNumber, const KeyAssignment& record, const StoreImage& image,
                       const text::TextSource& texts);

// Record-delay mode: section "PROFILES", entry named by the current language's text of
// "MACRO_ACTION_RECORD_DELAY", "0" or "1" ("0" when absent). Reading turns any other value
// into 0 and writes it back.
inline constexpr std::string_view kProfilesSection = "PROFILES";
int ReadRecordDelayMode(text::ProfileStrings& strings, const text::TextSource& texts);
void WriteRecordDelayMode(text::ProfileStrings& strings, const text::TextSource& texts, int mode);

// The number a C "%d" read finds at the start of the text (leading blanks and a sign
// allowed); nothing when there is none.
bool ScanDecimal(std::string_view text, long long& value);

// The cycles field after a change: 1..255 stay, above 255 becomes 255, anything else
// (0, negative, not a number) 1.
int CorrectCycles(std::string_view text);

// A typed delay: read as an unsigned decimal, clamped to 40000 (clamped tells that the
// message is due) and rounded down to a multiple of 10.
struct DelayEntry {
  std::int32_t delay = 0;
  bool clamped = false;
};
DelayEntry ParseDelayEntry(std::string_view text);

}  // namespace vantrel::keys
