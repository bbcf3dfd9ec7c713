// Following the changes other programs make to the keyboard. Each change advances a count;
// the program reads the keyboard again for a count it has not seen, asking first when edits
// are pending. A user who keeps the edits is not asked again about the same count, only
// about a later change. One look runs at a time; a change that comes in while one runs is
// looked at after it.
#pragma once

#include <cstdint>

namespace vantrel::profiles {

class OtherProgramChanges {
 public:
  // A change was signalled. True when a look starts now; false when one is running (a
  // second look follows it).
  bool BeginLook();
  // The look ended. True when a change came in meanwhile: start another look.
  bool EndLook();

  enum class Decision {
    Nothing,  // seen already, or the user kept the edits against this count
    Seen,     // no keyboard: its arrival reads everything anyway
    Ask,      // read the keyboard again, asking first when edits are pending
  };
  // What to do about `count` changes counted so far. `Seen` is noted at once.
  Decision Decide(std::uint64_t count, bool keyboardPresent, bool unsaved);
  // The user kept the edits: not asked again about `count`.
  void Declined(std::uint64_t count) { declined_ = count; }
  // The keyboard was read as of `count` changes.
  void Read(std::uint64_t count) { seen_ = count; }
  // A change kept out for the user's edits is read once they were applied or dropped:
  // true when one waits and no edits are pending any more.
  bool KeptOutChangeDue(bool unsaved) const { return declined_ > seen_ && !unsaved; }

 private:
  std::uint64_t seen_ = 0;
  std::uint64_t declined_ = 0;
  bool looking_ = false;
  bool lookAgain_ = false;
};

}  // namespace vantrel::profiles
