#include "core/profiles/other_program_changes.h"

#include <utility>

namespace vantrel::profiles {

bool OtherProgramChanges::BeginLook() {
  if (looking_) {
    lookAgain_ = true;
    return false;
  }
  looking_ = true;
  return true;
}

bool OtherProgramChanges::EndLook() {
  looking_ = false;
  return std::exchange(lookAgain_, false);
}

OtherProgramChanges::Decision OtherProgramChanges::Decide(std::uint64_t count, bool keyboardPresent, bool unsaved) {
  if (count == seen_) return Decision::Nothing;
  if (!keyboardPresent) {
    seen_ = count;
    return Decision::Seen;
  }
  // Asked once per change: No keeps the edits, and the change is read after they were
  // applied or dropped.
  if (unsaved && count == declined_) return Decision::Nothing;
  return Decision::Ask;
}

}  // namespace vantrel::profiles
