// Writing the edited configuration to the keyboard: the editing store is copied into the
// applied store, the macro block and the key tables are built from that copy, and then
// sent in one bracket: CmdBegin, CmdWriteMacroArea, CmdWriteKeyTable for each profile in
// ascending order, CmdEnd. After the bracket the macro area and the key tables written are
// read back and compared with what was sent.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "core/device/commands.h"
#include "core/device/read_back.h"
#include "core/keys/key_table.h"
#include "core/keys/stores.h"
#include "core/text/text_source.h"

namespace vantrel::keys {

struct ApplyRequest {
  // Profiles 0, 1, 2; else only currentProfile, unless the macro list differs from what
  // the keyboard was last given (then all three: the other profiles' tables name macros
  // by position).
  bool allProfiles = false;
  std::size_t currentProfile = 0;
  KeyTableView factory = InitialFactoryKeyTable();
  std::size_t macroCapacity = 0;  // bytes: device state byte 11 x 128; 0 until read
  // Read the written records back after the bracket; a difference fails the apply.
  bool readBack = true;
};

// What the applied store was turned into, before anything is sent.
struct ApplyPlan {
  bool fits = false;       // the block fits the capacity at least without names
  bool withNames = false;
  bool macroListChanged = false;  // differs from the keyboard's (or that is unknown)
  std::vector<std::uint8_t> macroBlock;
  MacroIdList macroIds;           // the list the block carries
  std::vector<std::size_t> profiles;
  std::vector<DeviceKeyTable> tables;  // one per entry of profiles
  std::vector<std::u16string> macroNames;  // for the read-back's words
};

// Step 1 of the apply under both locks: copies the editing image into the applied one
// (table header filled with the macro count and string total, kind 3/6 strings packed
// and their records' codes set to the offsets) and encodes the block and the tables.
ApplyPlan PrepareApply(EditingStore::Lock& editing, AppliedStore& applied, const ApplyRequest& request);

// The whole apply. Called with the editing store's lock held; takes the applied store's
// lock itself and releases it before the commands travel. Shows "EXTRA_MACRO_TOO_LONG"
// and sends nothing when the block does not fit even without names (a capacity of 0
// never fits); shows "EXTRA_PROFILE_SPACE_TIGHT" after the writes when the names were
// left out. Success only when the macro-area write and every key-table write succeeded
// and (with request.readBack) the keyboard reads back what was written; the results of
// begin and end do not count. After a full success the written macro list becomes what
// the keyboard holds; after a failed write or a difference it is unknown. readBack (when
// given) receives what the read-back found, the differences in words.
bool ApplyToDevice(EditingStore::Lock& editing, AppliedStore& applied, const ApplyRequest& request,
                   device::CommandSet& commands, const text::TextSource& texts, text::MessageSink& sink,
                   device::Verification* readBack = nullptr);

// The same for a caller that does not hold the editing store's lock: the copy is taken
// under the lock (with `underLock` run in the same hold, e.g. to save the working file),
// and the writes travel after the lock is released, so nothing waits on the store while
// the keyboard is busy.
bool ApplyStoreToDevice(EditingStore& editing, AppliedStore& applied, const ApplyRequest& request,
                        device::CommandSet& commands, const text::TextSource& texts, text::MessageSink& sink,
                        const std::function<void(EditingStore::Lock&)>& underLock = {},
                        device::Verification* readBack = nullptr);

// Records the editing store's macro list as what the keyboard holds, after it was read
// from the keyboard (readFromKeyboard), or marks the keyboard's list unknown when the read
// failed and the store holds something else (the default profile).
void NoteKeyboardMacros(EditingStore::Lock& editing, AppliedStore& applied, bool readFromKeyboard);

}  // namespace vantrel::keys
