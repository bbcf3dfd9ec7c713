// Undo and redo of the editing session's steps. A step is one edit the user made: a key
// assignment, the macro editor's OK, restore default, an import or drop not yet applied
// (they change the editing store), or a lighting change (written to the keyboard at once).
// Each step belongs to the profile it was made on, so that undoing it can show that
// profile, and carries a name for the menu ("Caps Lock -> Disabled on Profile 2").
//
// Steps are snapshots: the part of the editing store the step changed, as it was before and
// after (one profile slot's records and key strings, or the macro list), or the lighting
// value before and after. Undo puts the store's part back itself (the caller holds the
// editing store's lock); a lighting value is handed back for the caller to write, like any
// other lighting change.
//
// Not thread-safe: the editing session calls it under its own mutex.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/keys/stores.h"
#include "core/lighting/lighting_record.h"
#include "core/lighting/user_modes.h"
#include "core/text/text_source.h"

namespace vantrel::profiles {

// Which parts of the editing store a step changes.
struct StoreParts {
  unsigned slotBits = 0;  // bit s: slot s's 512 records and their key strings
  bool macros = false;  // the macro list
  friend bool operator==(const StoreParts&, const StoreParts&) = default;
};
inline constexpr unsigned kAllSlots = (1u << keys::kProfileSlots) - 1;
// Every part: for an import, a drop, anything that replaces the image.
inline constexpr StoreParts kWholeStore{kAllSlots, true};
// The parts the macro editor's OK can change: the macro list, and kind 4 records of every
// slot that lose their macro (SaveMacros).
inline constexpr StoreParts kMacroEditorParts{kAllSlots, true};
inline constexpr StoreParts SlotPart(std::size_t slot) { return {1u << slot, false}; }

// A copy of some parts of an editing store image.
class StoreSnapshot {
 public:
  StoreSnapshot() = default;
  static StoreSnapshot Take(const keys::StoreImage& image, StoreParts parts);
  // Writes the parts back into `image`; the other parts stay as they are.
  void PutBack(keys::StoreImage& image) const;
  // Whether `image` holds these parts as they are here.
  bool Matches(const keys::StoreImage& image) const;

  StoreParts Parts() const { return parts_; }
  // The memory the slots hold, and the macro list (which snapshots may share: see MacroList).
  std::size_t SlotBytes() const;
  std::size_t MacroBytes() const;
  // Identifies the macro list held, for counting a shared list once; null without one.
  const void* MacroList() const { return macros_.get(); }
  // Shares the macro list of `other` when it is the same list (consecutive steps mostly are).
  void ShareMacros(const StoreSnapshot& other);

  friend bool operator==(const StoreSnapshot& a, const StoreSnapshot& b);

 private:
  struct Slot {
    std::vector<std::uint8_t> records;  // 512 records of 16 bytes
    std::vector<std::optional<std::u16string>> strings;  // 512 string slots
    friend bool operator==(const Slot&, const Slot&) = default;
  };
  StoreParts parts_;
  std::array<std::optional<Slot>, keys::kProfileSlots> slots_;
  std::shared_ptr<const std::vector<keys::MacroRecord>> macros_;
};

// A lighting value as the caller writes it back: a profile's lighting record, or its user
// colour modes (whose selected mode gives the key colours the keyboard is sent), or both.
struct LightingValue {
  std::optional<lighting::LightingRecord> record;
  std::optional<lighting::UserModeSet> userModes;
};

enum class StepKind { Store, Lighting };

// What an Undo or Redo did, or asks the caller to do.
struct StepOutcome {
  enum class Result {
    Nothing,   // there was no step to take
    Store,     // the store's parts were put back; the caller marks `profile` edited, shows it
    Lighting,  // the caller writes `lighting` to `profile` (LightingWriteFailed when refused)
    Stale,     // the store no longer holds what the step left (changed without a step): nothing
               // changed, and both stacks were cleared since none of their steps fits any more
  };
  Result result = Result::Nothing;
  std::string name;
  int profile = 0;
  StoreParts parts;       // Store: the parts put back
  LightingValue lighting; // Lighting: the value to write
};

class UndoHistory {
 public:
  static constexpr std::size_t kDefaultMaxSteps = 200;
  // What the steps' snapshots may hold together: with 100 macros of 2000 steps a macro list
  // takes 1.6 MiB, so a long session of macro edits keeps some 40 steps instead of 200.
  static constexpr std::size_t kDefaultMaxBytes = std::size_t{64} << 20;

  explicit UndoHistory(std::size_t maxSteps = kDefaultMaxSteps, std::size_t maxBytes = kDefaultMaxBytes);

  // A step of the editing store: `before` taken before the edit, `after` of the same parts
  // after it. A step that changed nothing is not kept (false). A new step clears Redo; the
  // oldest steps go beyond the bounds.
  bool PushStore(std::string name, int profile, StoreSnapshot before, StoreSnapshot after);
  // A lighting change that was written: the value before and after. Not kept when equal.
  bool PushLighting(std::string name, int profile, LightingValue before, LightingValue after);
  // A lighting change that continues the newest step (the writes of one slider drag): the
  // step's `after` becomes `after`, and a step that ends where it began goes. False, with
  // nothing changed, when the newest step is not a lighting step of `profile` or when
  // steps were undone since (the change is a step of its own then).
  bool ExtendLighting(int profile, LightingValue after);

  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  // The name of the step Undo or Redo would take; empty when none.
  std::string UndoName() const;
  std::string RedoName() const;
  // The profile the step Undo would take belongs to; -1 when none.
  int UndoProfile() const;
  std::size_t UndoCount() const { return undo_.size(); }
  std::size_t RedoCount() const { return redo_.size(); }
  std::size_t Bytes() const;

  // Takes the newest step back: a store step puts its `before` into `image` (under the
  // caller's lock); a lighting step returns its `before` value to write.
  StepOutcome Undo(keys::StoreImage& image);
  // Does the newest undone step again.
  StepOutcome Redo(keys::StoreImage& image);
  // The lighting write the last Undo or Redo asked for was refused: the step goes back to
  // where it was, so that the menus still offer it.
  void LightingWriteFailed();
  // Forgets every step: the store was replaced as a whole (read from the keyboard, edits
  // dropped, a restore written).
  void Clear();

 private:
  struct Step {
    std::string name;
    int profile = 0;
    StepKind kind = StepKind::Store;
    StoreSnapshot before, after;
    LightingValue lightingBefore, lightingAfter;
    std::size_t ownBytes = 0;  // everything but the macro lists, counted once at push
  };
  void Push(Step step);
  StepOutcome Take(std::deque<Step>& from, std::deque<Step>& to, bool undo, keys::StoreImage& image);
  void Trim();

  std::size_t maxSteps_;
  std::size_t maxBytes_;
  std::deque<Step> undo_;  // newest at the back
  std::deque<Step> redo_;  // newest undone at the back
  enum class Last { None, Undo, Redo } lastLighting_ = Last::None;
};

// Step names, in the language in force, with the profile named as the profile buttons name
// it ("Profile 2" for profile 1).
std::string ProfileName(const text::TextSource& texts, int profile);
// "Caps Lock -> Disabled on Profile 2".
std::string KeyStepName(const text::TextSource& texts, std::string_view key, std::string_view assignment, int profile);
// The same for record `index` of `profile` as `image` holds it after the edit, in the
// key map's words; a key given back its factory function is named by itself.
std::string KeyStepName(const text::TextSource& texts, std::string_view key, const keys::StoreImage& image,
                        int profile, std::size_t index);
// "Macros edited", "Restore default on Profile 2", "Import of FILE", "Lighting on Profile 2"
// "Key colors on Profile 2" and "Key selection on Profile 2" (the colour view's).
enum class StepWhat { Macros, RestoreDefault, Import, Lighting, KeyColours, Selection };
std::string StepName(const text::TextSource& texts, StepWhat what, int profile, std::string_view detail = {});

}  // namespace vantrel::profiles
