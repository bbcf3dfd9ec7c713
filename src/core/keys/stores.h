// The editing store and the applied store: two images of the keyboard's whole
// configuration (assignment table, macros, key strings), each behind its own mutex.
//
// Lock order: the editing store first, the applied store second. The API enforces it: an
// AppliedStore::Lock can only be taken by presenting the EditingStore::Lock already held,
// and the images are reachable only through the locks.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/keys/assignment.h"
#include "core/keys/macro.h"
#include "core/keys/recorder.h"
#include "core/text/text_source.h"

namespace vantrel::keys {

struct StoreImage {
  AssignmentTable table;
  std::vector<MacroRecord> macros;  // list order; at most 100
  KeyStringTable strings;           // editing store: one slot per record
  std::vector<std::uint8_t> packedStrings;  // applied store: the strings packed at apply
  std::int32_t stringTotal = 0;             // applied store: size of the packed block
};

class EditingStore {
 public:
  class Lock {
   public:
    explicit Lock(EditingStore& store) : lock_(store.mutex_), store_(store) {}
    StoreImage& Image() { return store_.image_; }
    StoreImage* operator->() { return &store_.image_; }
    // The recorder's state lives with the editing store.
    RecorderState& Recorder() { return store_.recorder_; }
    const EditingStore& Store() const { return store_; }

   private:
    std::unique_lock<std::mutex> lock_;
    EditingStore& store_;
  };

 private:
  std::mutex mutex_;
  StoreImage image_;
  RecorderState recorder_;
};

// The macro list as the keyboard holds it: the macro ids in list order. Key tables on the
// keyboard refer to macros by position, so this is what they were encoded against.
using MacroIdList = std::vector<std::uint16_t>;
MacroIdList MacroIdsOf(const std::vector<MacroRecord>& macros);

class AppliedStore {
 public:
  class Lock {
   public:
    // The editing store's lock must be held: that fixes the order of the two locks.
    Lock(AppliedStore& store, const EditingStore::Lock& heldEditing)
        : lock_(store.mutex_), store_(store) {
      (void)heldEditing;
    }
    StoreImage& Image() { return store_.image_; }
    StoreImage* operator->() { return &store_.image_; }
    // What the keyboard was last given: the macro list the last reload read from it or the
    // last apply wrote; nullopt while that is unknown (nothing read yet, or a write failed
    // part-way so the keyboard may hold either list).
    std::optional<MacroIdList>& DeviceMacros() { return store_.deviceMacros_; }

   private:
    std::unique_lock<std::mutex> lock_;
    AppliedStore& store_;
  };

 private:
  std::mutex mutex_;
  StoreImage image_;
  std::optional<MacroIdList> deviceMacros_;
};

// 0-based position of the macro with the id; 0 when no macro has it.
std::size_t MacroPositionOfId(const StoreImage& image, std::uint16_t id);
// Id of the macro at a position; 0 for a negative or too large position.
std::uint16_t MacroIdAtPosition(const StoreImage& image, int position);
// The smallest of 1..100 that no macro uses; 0 when all are used.
std::uint16_t SmallestFreeMacroId(const StoreImage& image);

// The naming counter of the macro editor: restarts at 1 whenever the list is empty.
struct MacroNaming {
  int counter = 1;
};

// Appends a new macro ("MACRO_NEW_PREFIX" text + counter, cycles 1, new-macro flag 1,
// smallest free id). With 100 macros shows "MACRO_ERR_MAX" formatted with 100 and
// returns nullopt. Returns the new macro's position.
std::optional<std::size_t> AddMacro(StoreImage& image, MacroNaming& naming, const text::TextSource& texts,
                                    text::MessageSink& sink);

// True when some kind 4 record of the four profile slots carries the id.
bool MacroUsedByKeys(const StoreImage& image, std::uint16_t id);
// Deletes the macro at the position. A saved macro that keys use is deleted only when
// the user answers Yes to "MACRO_DELETE_CONFIRM_OF_KEYS" (No preselected); new macros
// are deleted without asking. False when nothing was deleted.
// MacroDeleteCheck, the question, then EraseMacro, on one thread.
bool DeleteMacro(StoreImage& image, std::size_t position, const text::TextSource& texts, text::MessageSink& sink);

// The same in two halves for a window, which must not ask while it holds the editing
// store's lock: the check (under the lock), the question (lock released), then the erase
// (under the lock again).
struct MacroDeleteCheck {
  bool exists = false;       // the position names a macro
  std::uint16_t id = 0;      // its id when checked
  bool needsConfirm = false; // a saved macro that keys use: ask "MACRO_DELETE_CONFIRM_OF_KEYS"
};
MacroDeleteCheck CheckMacroDelete(const StoreImage& image, std::size_t position);
// Deletes the macro at the position if it is still the one checked (same id); false
// otherwise, so a list changed between check and answer never loses the wrong macro.
bool EraseMacro(StoreImage& image, std::size_t position, std::uint16_t checkedId);

// Renames the macro at the position (cut to 249 characters); with no macros creates one
// with the name (cycles 1, new-macro flag 1, smallest free id). False when the position
// does not exist.
bool RenameMacro(StoreImage& image, std::size_t position, std::u16string_view name);

// Saving the macros into the editing store: kind 4 records (all four slots) whose id no
// macro has, or whose macro is new, become kind 0; kind 4 with id 0 gets the first
// macro's id while macros exist; every new-macro flag is cleared. Returns the global
// record numbers that changed (their tooltips need refreshing).
std::vector<std::size_t> SaveMacros(StoreImage& image);

// Stores an assignment made on the key page into (slot, key index): the key's string
// slot is freed first; kind 2 with code 0 or with the edited key's own index, and kind 4
// while no macro exists, are stored as kind 0. text is the path or text of kinds 3 and 6.
// False for a slot or index outside the table.
bool StoreKeyAssignment(StoreImage& image, std::size_t slot, std::size_t index, KeyAssignment record,
                        std::optional<std::u16string> text = std::nullopt);

}  // namespace vantrel::keys
