#include "core/keys/apply.h"

#include <algorithm>

#include "core/keys/verify.h"

namespace vantrel::keys {
namespace {

// Packs the kind 3 and 6 strings one after the other (UTF-16LE with terminator, slot
// order, slot s with record s of the whole table) and points each record's code at its
// string's offset.
void PackStrings(const StoreImage& from, StoreImage& to) {
  const auto total = static_cast<std::size_t>(std::max(from.strings.Total(), 0));
  to.packedStrings.assign(total, 0);
  to.stringTotal = static_cast<std::int32_t>(total);
  std::size_t pos = 0;
  for (std::size_t s = 0; s < kRecordCount; ++s) {
    const std::uint32_t size = from.strings.SlotSize(s);
    if (size == 0) continue;
    KeyAssignment r = to.table.RecordAt(s);
    if (r.kind != kKindLaunch && r.kind != kKindText) continue;
    if (size > total - pos) continue;
    const std::u16string* text = from.strings.Slot(s);
    for (std::size_t i = 0; i < text->size(); ++i) {
      to.packedStrings[pos + 2 * i] = static_cast<std::uint8_t>((*text)[i]);
      to.packedStrings[pos + 2 * i + 1] = static_cast<std::uint8_t>((*text)[i] >> 8);
    }
    r.code = static_cast<std::int32_t>(pos);
    to.table.SetRecordAt(s, r);
    pos += size;
  }
}

}  // namespace

ApplyPlan PrepareApply(EditingStore::Lock& editing, AppliedStore& applied, const ApplyRequest& request) {
  ApplyPlan plan;
  AppliedStore::Lock lock(applied, editing);
  StoreImage& a = lock.Image();
  const StoreImage& e = editing.Image();
  a = StoreImage{};
  a.table = e.table;
  a.macros = e.macros;
  PackStrings(e, a);
  a.table.FillFileHeader(static_cast<std::uint16_t>(a.macros.size()), static_cast<std::uint32_t>(a.stringTotal));

  const MacroBlockSizes sizes = ComputeMacroBlockSizes(a.macros);
  // The block's size field has 16 bits: a larger block cannot be sent at all.
  const std::size_t capacity = std::min(request.macroCapacity, kMaxMacroBlock);
  if (sizes.bare > capacity) return plan;
  plan.fits = true;
  plan.withNames = sizes.full <= capacity;
  plan.macroBlock = BuildMacroBlock(a.macros, plan.withNames);
  if (plan.macroBlock.empty()) {
    plan.fits = false;
    return plan;
  }

  plan.macroIds = MacroIdsOf(a.macros);
  for (const MacroRecord& m : a.macros) plan.macroNames.push_back(m.Name());
  const auto& onKeyboard = lock.DeviceMacros();
  plan.macroListChanged = !onKeyboard || *onKeyboard != plan.macroIds;
  if (request.allProfiles || plan.macroListChanged) {
    plan.profiles = {0, 1, 2};
  } else if (request.currentProfile < device::kProfileCount) {
    plan.profiles = {request.currentProfile};
  }
  for (std::size_t p : plan.profiles) plan.tables.push_back(EncodeKeyTable(a.table, p, request.factory, plan.macroIds));
  return plan;
}

namespace {

// Sends a prepared plan in one bracket. Begin and end do not decide the outcome; the macro
// write and every key-table write do. A failed write does not stop the bracket: the rest
// is still sent.
bool SendPlan(const ApplyPlan& plan, device::CommandSet& commands) {
  (void)commands.CmdBegin();
  bool allWritten = commands.CmdWriteMacroArea(plan.macroBlock) == device::kDeviceOk;
  for (std::size_t i = 0; i < plan.profiles.size(); ++i) {
    if (commands.CmdWriteKeyTable(plan.tables[i], static_cast<unsigned>(plan.profiles[i])) != device::kDeviceOk)
      allWritten = false;
  }
  (void)commands.CmdEnd();
  return allWritten;
}

// After the bracket: the macro area and the tables read back and compared. Not when a
// write already failed: the apply has failed anyway, and a keyboard that stopped
// answering would only keep every read waiting.
bool Verify(const ApplyPlan& plan, const ApplyRequest& request, bool allWritten, device::CommandSet& commands,
            const text::TextSource& texts, device::Verification* readBack) {
  if (!allWritten || !request.readBack) return allWritten;
  WrittenKeys written{plan.macroBlock, plan.profiles, plan.tables, request.factory, plan.macroNames};
  device::Verification v = ReadBackKeys(commands, written, texts);
  const bool same = !v.Failed();
  if (readBack != nullptr) *readBack = std::move(v);
  return same;
}

// After a full success the written macro list is what the keyboard holds; after a failed
// write or a difference read back it is unknown.
void NoteOutcome(EditingStore::Lock& editing, AppliedStore& applied, const ApplyPlan& plan, bool allWritten) {
  AppliedStore::Lock lock(applied, editing);
  if (allWritten) {
    lock.DeviceMacros() = plan.macroIds;
  } else {
    lock.DeviceMacros().reset();
  }
}

}  // namespace

bool ApplyToDevice(EditingStore::Lock& editing, AppliedStore& applied, const ApplyRequest& request,
                   device::CommandSet& commands, const text::TextSource& texts, text::MessageSink& sink,
                   device::Verification* readBack) {
  if (readBack != nullptr) *readBack = {};
  const ApplyPlan plan = PrepareApply(editing, applied, request);
  if (!plan.fits) {
    sink.ShowMessage(texts.Text("EXTRA_MACRO_TOO_LONG"));
    return false;
  }
  if (plan.profiles.empty()) return false;
  // The bracket and its read-back in one hold: another program's write in between would
  // read back as a difference.
  device::KeyboardHold hold(commands.Link());
  const bool allWritten = Verify(plan, request, SendPlan(plan, commands), commands, texts, readBack);
  NoteOutcome(editing, applied, plan, allWritten);
  if (!plan.withNames) sink.ShowMessage(texts.Text("EXTRA_PROFILE_SPACE_TIGHT"));
  return allWritten;
}

bool ApplyStoreToDevice(EditingStore& editing, AppliedStore& applied, const ApplyRequest& request,
                        device::CommandSet& commands, const text::TextSource& texts, text::MessageSink& sink,
                        const std::function<void(EditingStore::Lock&)>& underLock,
                        device::Verification* readBack) {
  if (readBack != nullptr) *readBack = {};
  ApplyPlan plan;
  {
    EditingStore::Lock lock(editing);
    if (underLock) underLock(lock);
    plan = PrepareApply(lock, applied, request);
  }
  if (!plan.fits) {
    sink.ShowMessage(texts.Text("EXTRA_MACRO_TOO_LONG"));
    return false;
  }
  if (plan.profiles.empty()) return false;
  // The bracket and its read-back in one hold: another program's write in between would
  // read back as a difference.
  bool allWritten = false;
  {
    device::KeyboardHold hold(commands.Link());
    allWritten = hold.Held() && Verify(plan, request, SendPlan(plan, commands), commands, texts, readBack);
  }
  {
    EditingStore::Lock lock(editing);
    NoteOutcome(lock, applied, plan, allWritten);
  }
  if (!plan.withNames) sink.ShowMessage(texts.Text("EXTRA_PROFILE_SPACE_TIGHT"));
  return allWritten;
}

void NoteKeyboardMacros(EditingStore::Lock& editing, AppliedStore& applied, bool readFromKeyboard) {
  AppliedStore::Lock lock(applied, editing);
  if (readFromKeyboard) {
    lock.DeviceMacros() = MacroIdsOf(editing->macros);
  } else {
    lock.DeviceMacros().reset();
  }
}

}  // namespace vantrel::keys
