#include "core/profiles/edit_session.h"

#include <algorithm>
#include <bit>
#include <map>

#include "core/device/commands.h"
#include "core/keys/apply.h"
#include "core/profiles/profile_file.h"
#include "core/profiles/working_file.h"

namespace vantrel::profiles {
namespace {

constexpr unsigned kAllProfiles = (1u << device::kProfileCount) - 1;

bool ValidProfile(int profile) { return profile >= 0 && profile < static_cast<int>(device::kProfileCount); }

// The edits made over the default profile (the store while the keyboard's configuration
// was not read) laid over the keyboard's configuration: of each profile in `profiles`
// the records that differ from the default profile, with their texts; every macro of the
// store added to the keyboard's under an id its list leaves free, the records that play
// it following the new id. False, with `keyboard` unchanged, when the macros do not fit.
bool LayEditsOver(const keys::StoreImage& edits, keys::StoreImage& keyboard, unsigned profiles) {
  keys::StoreImage merged = keyboard;
  std::map<std::uint16_t, std::uint16_t> newIds;
  for (const keys::MacroRecord& macro : edits.macros) {
    if (merged.macros.size() >= keys::kMaxMacros) return false;
    std::uint16_t id = 1;
    while (std::any_of(merged.macros.begin(), merged.macros.end(), [id](const auto& m) { return m.Id() == id; })) ++id;
    keys::MacroRecord added = macro;
    added.SetId(id);
    newIds[macro.Id()] = id;
    merged.macros.push_back(std::move(added));
  }
  const keys::AssignmentTable base = DefaultAssignmentTable();
  for (std::size_t p = 0; p < device::kProfileCount; ++p) {
    if ((profiles & (1u << p)) == 0) continue;
    for (std::size_t i = 0; i < keys::kKeyIndexCount; ++i) {
      keys::KeyAssignment record = edits.table.Record(p, i);
      if (record == base.Record(p, i)) continue;
      if (record.kind == keys::kKindMacro) {
        const auto moved = newIds.find(static_cast<std::uint16_t>(record.code));
        if (moved != newIds.end()) record.code = moved->second;
      }
      merged.table.SetRecord(p, i, record);
      const bool withText = record.kind == keys::kKindLaunch || record.kind == keys::kKindText;
      if (const std::u16string* text = edits.strings.Slot(i); withText && text) merged.strings.Set(i, *text);
    }
  }
  keyboard = std::move(merged);
  return true;
}

}  // namespace

Obstacle ObstacleToActing(const SessionFacts& facts, Acting acting) {
  if (facts.keyPagesOpen > 0) return Obstacle::KeyPageOpen;
  if (facts.arrivalPending) return Obstacle::ArrivalUndecided;
  if (facts.Unsaved()) return Obstacle::EditsPending;
  if (facts.managersOpen > 0 && facts.managerUnsaved) return Obstacle::ManagerChanges;
  if (acting == Acting::Unattended) {
    if (facts.managersOpen > 0) return Obstacle::ManagerOpen;
    if (!facts.configurationRead) return Obstacle::NotRead;
  }
  return Obstacle::None;
}

EditSession::EditSession(ProfileService& service, keys::EditingStore& editing, keys::AppliedStore& applied,
                         const text::TextSource& texts, text::MessageSink& sink)
    : service_(service), editing_(editing), applied_(applied), texts_(texts), sink_(sink) {
  // A backup holds what the keyboard holds, never the edits pending here.
  service_.SetEditsPending([this] { return Unsaved(); });
}

EditSession::~EditSession() { service_.SetEditsPending({}); }

void EditSession::AddView(ProfileView& view) {
  std::lock_guard lock(mutex_);
  views_.push_back(&view);
}

void EditSession::RemoveView(ProfileView& view) {
  std::lock_guard lock(mutex_);
  views_.erase(std::remove(views_.begin(), views_.end(), &view), views_.end());
}

SessionFacts EditSession::Facts() const {
  std::lock_guard lock(mutex_);
  SessionFacts facts = facts_;
  facts.activeProfile = service_.CachedActiveProfile();
  return facts;
}

int EditSession::CurrentProfile() const {
  std::lock_guard lock(mutex_);
  return facts_.currentProfile;
}

bool EditSession::Unsaved() const {
  std::lock_guard lock(mutex_);
  return facts_.Unsaved();
}

std::vector<ProfileView*> EditSession::Views() const {
  std::lock_guard lock(mutex_);
  return views_;
}

void EditSession::Notify() {
  const std::vector<ProfileView*> views = Views();
  for (auto* v : views) v->SessionChanged();
}

void EditSession::NotifyKeys(keys::EditingStore::Lock& held, int profile) {
  const std::vector<ProfileView*> views = Views();
  for (auto* v : views) v->ShowKeyButtons(held.Image(), profile);
}

void EditSession::NotifySwitched(int profile) {
  const std::vector<ProfileView*> views = Views();
  for (auto* v : views) {
    v->ProfileSwitched(profile);
    v->RebuildProfileMenu();
    v->SessionChanged();
  }
}

void EditSession::NotifyRead(int profile) {
  const std::vector<ProfileView*> views = Views();
  for (auto* v : views) {
    v->ConfigurationRead(profile);
    v->RebuildProfileMenu();
    v->SessionChanged();
  }
}

void EditSession::ShowKeys() {
  keys::EditingStore::Lock lock(editing_);
  NotifyKeys(lock, CurrentProfile());
}

// ---- edits ------------------------------------------------------------------------------

void EditSession::MarkEdited() { MarkEdited(CurrentProfile()); }

void EditSession::MarkEdited(int profile) {
  if (!ValidProfile(profile)) return;
  {
    std::lock_guard lock(mutex_);
    facts_.editedProfiles |= 1u << profile;
    ++facts_.changes;
  }
  Notify();
}

void EditSession::SetCurrentProfile(int profile) {
  if (!ValidProfile(profile)) return;
  {
    std::lock_guard lock(mutex_);
    if (facts_.currentProfile == profile) return;
    facts_.currentProfile = profile;
  }
  Notify();
}

void EditSession::EditorOpened(Editor editor) {
  {
    std::lock_guard lock(mutex_);
    ++(editor == Editor::KeyPage ? facts_.keyPagesOpen : facts_.managersOpen);
  }
  Notify();
}

void EditSession::EditorClosed(Editor editor) {
  {
    std::lock_guard lock(mutex_);
    int& count = editor == Editor::KeyPage ? facts_.keyPagesOpen : facts_.managersOpen;
    count = std::max(0, count - 1);
    if (editor == Editor::ProfileManager && count == 0) facts_.managerUnsaved = false;
  }
  Notify();
}

void EditSession::SetManagerUnsaved(bool unsaved) {
  std::lock_guard lock(mutex_);
  facts_.managerUnsaved = unsaved;
}

void EditSession::ToggleSelected(std::size_t keyIndex) {
  const int profile = CurrentProfile();
  const auto slot = static_cast<std::size_t>(profile);
  EditStore(profile, SlotPart(slot), [&](keys::StoreImage& image) {
    auto record = image.table.Record(slot, keyIndex);
    record.selected = record.selected ? 0 : 1;
    image.table.SetRecord(slot, keyIndex, record);
    return StepName(texts_, StepWhat::Selection, profile);
  });
}

void EditSession::RestoreDefaultKeys(const std::vector<std::size_t>& keyIndexes) {
  const int profile = CurrentProfile();
  const auto slot = static_cast<std::size_t>(profile);
  EditStore(profile, SlotPart(slot), [&](keys::StoreImage& image) {
    for (std::size_t index : keyIndexes) image.table.SetRecord(slot, index, {});
    return StepName(texts_, StepWhat::RestoreDefault, profile);
  });
}

void EditSession::EditStore(int profile, StoreParts parts, const std::function<std::string(keys::StoreImage&)>& edit) {
  if (!ValidProfile(profile)) return;
  {
    keys::EditingStore::Lock lock(editing_);
    StoreSnapshot before = StoreSnapshot::Take(lock.Image(), parts);
    std::string name = edit(lock.Image());
    StoreSnapshot after = StoreSnapshot::Take(lock.Image(), parts);
    {
      std::lock_guard steps(undoMutex_);
      steps_.PushStore(std::move(name), profile, std::move(before), std::move(after));
    }
    NotifyKeys(lock, CurrentProfile());
  }
  MarkEdited(profile);
}

void EditSession::RecordLighting(int profile, StepWhat what, LightingValue before, LightingValue after, unsigned drag) {
  if (!ValidProfile(profile)) return;
  {
    std::lock_guard steps(undoMutex_);
    // The writes of one slider drag after the first carry it on.
    const bool continued = drag != 0 && drag == lastDrag_ && steps_.ExtendLighting(profile, after);
    if (!continued) steps_.PushLighting(StepName(texts_, what, profile), profile, std::move(before), std::move(after));
    lastDrag_ = drag;
  }
  Notify();
}

bool EditSession::CanUndo() const {
  std::lock_guard steps(undoMutex_);
  return steps_.CanUndo();
}

bool EditSession::CanRedo() const {
  std::lock_guard steps(undoMutex_);
  return steps_.CanRedo();
}

std::string EditSession::UndoName() const {
  std::lock_guard steps(undoMutex_);
  return steps_.UndoName();
}

std::string EditSession::RedoName() const {
  std::lock_guard steps(undoMutex_);
  return steps_.RedoName();
}

StepOutcome EditSession::Undo() { return TakeStep(true); }

StepOutcome EditSession::Redo() { return TakeStep(false); }

StepOutcome EditSession::TakeStep(bool undo) {
  // An open key page edits a copy of the store's records: its own undo works on that.
  if (Facts().keyPagesOpen > 0) return {};
  StepOutcome outcome;
  {
    keys::EditingStore::Lock lock(editing_);
    {
      std::lock_guard steps(undoMutex_);
      outcome = undo ? steps_.Undo(lock.Image()) : steps_.Redo(lock.Image());
      lastDrag_ = 0;
    }
  }
  switch (outcome.result) {
    case StepOutcome::Result::Nothing: return outcome;
    case StepOutcome::Result::Stale: Notify(); return outcome;
    case StepOutcome::Result::Store: MarkEdited(outcome.profile); break;
    case StepOutcome::Result::Lighting: break;
  }
  // The step's profile is shown, as a switch from any window shows one; the keyboard's
  // active profile stays as it is.
  const int current = CurrentProfile();
  if (outcome.profile != current) {
    ShowProfile(outcome.profile);
  } else {
    ShowKeys();
    Notify();
  }
  return outcome;
}

void EditSession::LightingWriteFailed() {
  {
    std::lock_guard steps(undoMutex_);
    steps_.LightingWriteFailed();
  }
  Notify();
}

void EditSession::ClearSteps() {
  std::lock_guard steps(undoMutex_);
  steps_.Clear();
  lastDrag_ = 0;
}

void EditSession::PushWholeStore(std::string name, StoreSnapshot before) {
  const int profile = CurrentProfile();
  keys::EditingStore::Lock lock(editing_);
  StoreSnapshot after = StoreSnapshot::Take(lock.Image(), kWholeStore);
  std::lock_guard steps(undoMutex_);
  steps_.PushStore(std::move(name), profile, std::move(before), std::move(after));
}

// ---- questions --------------------------------------------------------------------------

SwitchDecision EditSession::CheckSwitch(int profile) {
  SwitchDecision decision;
  decision.profile = ProfileService::MapProfile(profile);
  const SessionFacts facts = Facts();
  if (facts.keyPagesOpen > 0) {
    sink_.ShowMessage(texts_.Text("PROFILE_SEELCT_PROMPT2"));
    return decision;
  }
  decision.proceed = true;
  // Re-selecting the profile the keyboard already runs changes nothing the edits rely on.
  if (decision.profile >= 0 && decision.profile == facts.activeProfile && decision.profile == facts.currentProfile)
    return decision;
  decision.unsaved = facts.Unsaved() || (facts.managersOpen > 0 && facts.managerUnsaved);
  AskApplyFirst(decision);
  return decision;
}

SwitchDecision EditSession::CheckManagerApply(int checkedRow) {
  SwitchDecision decision;
  decision.proceed = true;
  decision.checkedRow = checkedRow;
  decision.profile = checkedRow < 0 ? -1 : ProfileService::MapProfile(checkedRow);
  decision.unsaved = Unsaved();
  AskApplyFirst(decision);
  return decision;
}

void EditSession::AskApplyFirst(SwitchDecision& decision) {
  // A question already on screen (a nested request while it is up) is not put twice.
  if (!decision.unsaved || questionOnScreen_) return;
  questionOnScreen_ = true;
  decision.asked = true;
  // No drops the edits, so it must be a choice the user made: Escape and closing the box
  // answer Cancel, which stays on the profile with the edits kept and writes nothing.
  const auto answer = sink_.AskYesNoCancel(texts_.Text("PROFILE_SELECT_PROMPT"), text::Answer::No);
  questionOnScreen_ = false;
  decision.applyFirst = answer == text::Answer::Yes;
  if (answer == text::Answer::Cancel) decision.proceed = false;
}

CloseChoice EditSession::CheckClose() {
  if (!Unsaved() || questionOnScreen_) return CloseChoice::Close;
  questionOnScreen_ = true;
  const auto answer = sink_.AskYesNoCancel(texts_.Text("MAIN_PROMPT_EXIT_UNSAVED"), text::Answer::Yes);
  questionOnScreen_ = false;
  switch (answer) {
    case text::Answer::Yes: return CloseChoice::ApplyThenClose;
    case text::Answer::No: return CloseChoice::Close;
    case text::Answer::Cancel: break;
  }
  return CloseChoice::Stay;
}

ArrivalChoice EditSession::AskArrival() {
  questionOnScreen_ = true;
  const auto answer = sink_.AskYesNoCancel(texts_.Text("MAIN_PROMPT_RECONNECT"), text::Answer::Yes);
  questionOnScreen_ = false;
  switch (answer) {
    case text::Answer::Yes: return ArrivalChoice::WriteEdits;
    case text::Answer::No: return ArrivalChoice::ReadKeyboard;
    case text::Answer::Cancel: break;
  }
  return ArrivalChoice::KeepEdits;
}

bool EditSession::AskReadAgain() {
  if (questionOnScreen_) return false;
  questionOnScreen_ = true;
  const bool read = sink_.AskYesNo(texts_.Text("MAIN_PROMPT_NOT_READ"), true);
  questionOnScreen_ = false;
  return read;
}

bool EditSession::CheckOtherProgramChange() {
  if (!Unsaved()) return true;
  // A question already up (another change, a switch) answers for this one later: the
  // change is looked at again once it is answered.
  if (questionOnScreen_) return false;
  questionOnScreen_ = true;
  const bool read = sink_.AskYesNo(texts_.Text("MAIN_PROMPT_OTHER_PROGRAM"), false);
  questionOnScreen_ = false;
  return read;
}

// ---- device work ------------------------------------------------------------------------

ApplyResult EditSession::Apply() {
  unsigned edited = 0;
  std::uint64_t changes = 0;
  {
    std::lock_guard lock(mutex_);
    edited = facts_.editedProfiles;
    changes = facts_.changes;
  }
  if (edited == 0) return ApplyResult::NothingToApply;
  return WriteToKeyboard(edited, changes);
}

ApplyResult EditSession::WriteToKeyboard(unsigned profiles, std::uint64_t changesSeen) {
  service_.NoteReadBack({});
  bool read = false;
  {
    std::lock_guard lock(mutex_);
    read = facts_.configurationRead;
  }
  if (!KeyboardPresent()) {
    sink_.ShowMessage(texts_.Text("MAIN_NO_DEVICE_PROMPT"));
    return ApplyResult::NoKeyboard;
  }
  // Before the keyboard's configuration was read there is nothing the edits could be
  // written over safely: the store holds the default profile, and writing it would erase
  // the keyboard's macros and reset its other profiles. The caller offers to read it.
  if (!read) return ApplyResult::NotRead;
  // A macro capacity of 0 (the device state not read) refuses the write in the apply
  // itself, as a macro area too small for the macros.
  const DeviceFacts facts = service_.Facts();
  keys::ApplyRequest request;
  request.factory = facts.factory;
  request.macroCapacity = facts.macroCapacity;
  if (std::popcount(profiles) == 1) {
    request.currentProfile = static_cast<std::size_t>(std::countr_zero(profiles));
  } else {
    request.allProfiles = true;
  }
  device::Verification readBack;
  const auto workingBefore = service_.KeepWorkingCopy();
  RecordedWrite recorded(service_.Recorder(), kKeysPart);
  const bool written = keys::ApplyStoreToDevice(editing_, applied_, request, service_.Commands(), texts_, sink_,
                                                [&](keys::EditingStore::Lock& lock) { service_.SaveWorkingCopy(lock); },
                                                &readBack);
  if (!written) service_.PutBackWorkingCopy(workingBefore);
  service_.NoteReadBack(std::move(readBack));
  if (service_.Recorder() != nullptr) {
    const keys::StoreImage sent = service_.AppliedImage();
    recorded.Done(written, &sent);
  }
  if (written) {
    std::lock_guard lock(mutex_);
    // An edit that came in while the writes travelled stays pending.
    if (facts_.changes == changesSeen) facts_.editedProfiles = 0;
  }
  ShowKeys();
  Notify();
  return written ? ApplyResult::Applied : ApplyResult::Failed;
}

void EditSession::DropEdits() {
  service_.ReloadFromWorkingFile();
  ClearSteps();
  {
    std::lock_guard lock(mutex_);
    facts_.editedProfiles = 0;
    ++facts_.changes;
  }
  ShowKeys();
  Notify();
}

bool EditSession::WriteDecidedEdits(const SwitchDecision& decision) {
  if (!decision.unsaved || !decision.asked) return true;
  if (!decision.applyFirst) {
    DropEdits();
    return true;
  }
  const ApplyResult result = Apply();
  if (result == ApplyResult::Applied || result == ApplyResult::NothingToApply) return true;
  if (result == ApplyResult::Failed) sink_.ShowMessage(texts_.Text("MAIN_PROMPT_APPLY_FAILED"));
  if (result == ApplyResult::NotRead) sink_.ShowMessage(texts_.Text("MAIN_PROMPT_NOT_READ_AGAIN"));
  return false;
}

bool EditSession::Switch(const SwitchDecision& decision, SwitchWhen when) {
  return WriteSwitch(decision, when == SwitchWhen::OnlyToAnother, true);
}

EditSession::ProfileWrite EditSession::WriteActiveProfile(int profile, bool onlyWhenOther) {
  if (onlyWhenOther && service_.ActiveProfile() == profile) return ProfileWrite::AlreadyRunning;
  return service_.SetActiveProfile(profile) ? ProfileWrite::Written : ProfileWrite::Refused;
}

bool EditSession::WriteSwitch(const SwitchDecision& decision, bool onlyWhenOther, bool showFailure) {
  if (!decision.proceed) return false;
  // The edits belong to the profile they were made in: they are written (or dropped)
  // before the keyboard changes profile, and a failure keeps them and the profile.
  if (!WriteDecidedEdits(decision)) return false;
  if (decision.profile < 0) {
    // The profile menu's default item: nothing to write.
    NotifySwitched(CurrentProfile());
    return true;
  }
  if (WriteActiveProfile(decision.profile, onlyWhenOther) == ProfileWrite::Refused) {
    if (showFailure) sink_.ShowMessage(texts_.Text("MAIN_PROMPT_SWITCH_FAILED"));
    Notify();
    return false;
  }
  ShowProfile(decision.profile);
  return true;
}

void EditSession::ShowProfile(int profile) {
  SetCurrentProfile(profile);
  {
    keys::EditingStore::Lock lock(editing_);
    NotifyKeys(lock, profile);
  }
  NotifySwitched(profile);
}

EditSession::AskedSwitch EditSession::SwitchAsked(int profile, bool showFailure) {
  AskedSwitch outcome;
  // Checked here, on the worker: edits may have come while the request waited.
  outcome.obstacle = ObstacleToActing(Facts(), Acting::Asked);
  if (outcome.obstacle != Obstacle::None) {
    outcome.result = AskedSwitch::Result::Busy;
    return outcome;
  }
  SwitchDecision decision;
  decision.profile = ProfileService::MapProfile(profile);
  decision.proceed = true;
  outcome.result = WriteSwitch(decision, true, showFailure) ? AskedSwitch::Result::Switched : AskedSwitch::Result::Failed;
  return outcome;
}

EditSession::Unattended EditSession::SwitchUnattended(int profile) {
  if (!ValidProfile(profile) || !KeyboardPresent()) return Unattended::NotNow;
  if (ObstacleToActing(Facts(), Acting::Unattended) != Obstacle::None) return Unattended::NotNow;
  switch (WriteActiveProfile(profile, true)) {
    case ProfileWrite::AlreadyRunning: return Unattended::Switched;
    case ProfileWrite::Refused: Notify(); return Unattended::Failed;
    case ProfileWrite::Written: break;
  }
  ShowProfile(profile);
  return Unattended::Switched;
}

bool EditSession::FinishManagerApply(const SwitchDecision& decision) {
  if (!WriteDecidedEdits(decision)) return false;
  bool switched = true;
  if (decision.profile >= 0) switched = WriteActiveProfile(decision.profile, false) == ProfileWrite::Written;
  // The keyboard is read again; the edits that were not applied were answered for above.
  const bool read = Reload();
  const int active = service_.ActiveProfile();
  if (ValidProfile(active)) SetCurrentProfile(active);
  {
    keys::EditingStore::Lock lock(editing_);
    NotifyKeys(lock, CurrentProfile());
  }
  NotifySwitched(CurrentProfile());
  if (!switched) sink_.ShowMessage(texts_.Text("MAIN_PROMPT_SWITCH_FAILED"));
  return switched && read;
}

bool EditSession::Reload(bool* keptEdits) {
  std::uint64_t changesSeen = 0;
  {
    std::lock_guard lock(mutex_);
    changesSeen = facts_.changes;
  }
  bool kept = false;
  const bool read = service_.ReloadFromDevice(
      [this, changesSeen] {
        std::lock_guard lock(mutex_);
        return facts_.changes != changesSeen && facts_.Unsaved();
      },
      &kept);
  if (keptEdits) *keptEdits = kept;
  if (kept) return false;
  ClearSteps();
  std::lock_guard lock(mutex_);
  facts_.configurationRead = read;
  facts_.editedProfiles = 0;
  facts_.arrivalPending = false;
  ++facts_.changes;
  return read;
}

void EditSession::AwaitArrivalDecision() {
  {
    std::lock_guard lock(mutex_);
    facts_.arrivalPending = true;
  }
  // The user decides whether the edits or the keyboard's configuration win; until then
  // the store keeps the edits.
  for (auto* v : Views()) v->ArrivalWithEdits();
}

void EditSession::ReloadOnArrival() {
  bool wait = false;
  bool overDefault = false;
  {
    std::lock_guard lock(mutex_);
    wait = facts_.Unsaved() && facts_.configurationRead;
    overDefault = facts_.Unsaved() && !facts_.configurationRead;
  }
  if (wait) return AwaitArrivalDecision();
  // Edits made while the keyboard's configuration was never read are laid over it, never
  // dropped by the read.
  if (overDefault && ReadAgain()) return;
  if (!overDefault) {
    bool keptEdits = false;
    Reload(&keptEdits);
    // Edits made while the keyboard was read: asked about as if they had come first.
    if (keptEdits) return AwaitArrivalDecision();
  }
  const int active = service_.ActiveProfile();
  // The profile is known before the keys are shown, so the picture shows that profile.
  if (ValidProfile(active)) SetCurrentProfile(active);
  {
    keys::EditingStore::Lock lock(editing_);
    NotifyKeys(lock, CurrentProfile());
  }
  NotifyRead(active);
}

void EditSession::ResolveArrival(ArrivalChoice choice) {
  {
    std::lock_guard lock(mutex_);
    if (!facts_.arrivalPending) return;
    facts_.arrivalPending = false;
  }
  if (choice == ArrivalChoice::ReadKeyboard) {
    {
      std::lock_guard lock(mutex_);
      facts_.editedProfiles = 0;
    }
    ReloadOnArrival();
    return;
  }
  const int active = service_.ActiveProfile();
  // Kept: the edits stay pending for a later Apply, the keyboard is neither written nor read.
  if (choice == ArrivalChoice::WriteEdits && Apply() == ApplyResult::Failed)
    sink_.ShowMessage(texts_.Text("MAIN_PROMPT_APPLY_FAILED"));
  if (ValidProfile(active)) SetCurrentProfile(active);
  {
    keys::EditingStore::Lock lock(editing_);
    NotifyKeys(lock, CurrentProfile());
  }
  NotifyRead(active);
}

bool EditSession::ReadAgain() {
  if (!KeyboardPresent()) return false;
  unsigned edited = 0;
  {
    std::lock_guard lock(mutex_);
    edited = facts_.editedProfiles;
  }
  if (edited == 0) return ReloadAfterOtherProgram(false);
  service_.ForgetActiveProfile();
  keys::StoreImage keyboard;
  if (!service_.ReadIntoWorkingCopy(keyboard)) return false;
  {
    keys::EditingStore::Lock lock(editing_);
    if (!LayEditsOver(lock.Image(), keyboard, edited)) return false;
    lock.Image() = std::move(keyboard);
    keys::NoteKeyboardMacros(lock, applied_, false);
  }
  // The steps were taken over the default profile, which is gone.
  ClearSteps();
  {
    std::lock_guard lock(mutex_);
    facts_.configurationRead = true;
    ++facts_.changes;
  }
  const int active = service_.ActiveProfile();
  if (ValidProfile(active)) SetCurrentProfile(active);
  {
    keys::EditingStore::Lock lock(editing_);
    NotifyKeys(lock, CurrentProfile());
  }
  NotifyRead(active);
  return true;
}

bool EditSession::ReloadAfterOtherProgram(bool dropEdits) {
  if (!dropEdits && Unsaved()) return false;
  service_.ForgetActiveProfile();
  bool keptEdits = false;
  Reload(&keptEdits);
  if (keptEdits) return false;  // edits made while it read: asked about first
  const int active = service_.ActiveProfile();
  if (ValidProfile(active)) SetCurrentProfile(active);
  {
    keys::EditingStore::Lock lock(editing_);
    NotifyKeys(lock, CurrentProfile());
  }
  NotifyRead(active);
  return true;
}

std::optional<std::uint64_t> EditSession::ReadAfterOtherPrograms(bool dropEdits,
                                                                 const std::function<std::uint64_t()>& changesNow) {
  device::KeyboardHold hold(service_.Commands().Link());
  const std::uint64_t seen = changesNow();
  if (!ReloadAfterOtherProgram(dropEdits)) return std::nullopt;
  return seen;
}

RestoreOutcome EditSession::Restore(const std::filesystem::path& path, text::MessageSink& messages) {
  StoreSnapshot before;
  {
    keys::EditingStore::Lock lock(editing_);
    before = StoreSnapshot::Take(lock.Image(), kWholeStore);
  }
  RestoreOutcome outcome = service_.RestoreFromFile(path, messages);
  if (outcome.loaded && outcome.applied) ClearSteps();
  if (outcome.loaded && !outcome.applied)
    PushWholeStore(StepName(texts_, StepWhat::Import, CurrentProfile(), path.filename().string()), std::move(before));
  if (outcome.loaded) {
    std::lock_guard lock(mutex_);
    ++facts_.changes;
    if (outcome.applied) {
      facts_.editedProfiles = 0;
      facts_.configurationRead = true;
    } else {
      // The store holds the file, the keyboard may not: what was restored stays pending.
      facts_.editedProfiles = kAllProfiles;
    }
  }
  if (outcome.loaded && !outcome.applied) messages.ShowMessage(texts_.Text("MAIN_PROMPT_APPLY_FAILED"));
  ShowKeys();
  Notify();
  return outcome;
}

bool EditSession::Install(keys::StoreImage image, std::string_view what) {
  StoreSnapshot before;
  {
    keys::EditingStore::Lock lock(editing_);
    before = StoreSnapshot::Take(lock.Image(), kWholeStore);
  }
  const bool applied = service_.InstallAndApply(std::move(image));
  if (applied) ClearSteps();
  else
    PushWholeStore(StepName(texts_, StepWhat::Import, CurrentProfile(),
                            std::filesystem::path(std::string(what)).filename().string()),
                   std::move(before));
  {
    std::lock_guard lock(mutex_);
    ++facts_.changes;
    facts_.editedProfiles = applied ? 0 : kAllProfiles;
    if (applied) facts_.configurationRead = true;
  }
  ShowKeys();
  Notify();
  return applied;
}

void EditSession::KeyboardGone() {
  if (service_.Recorder() != nullptr) service_.Recorder()->Forget();
  Notify();
}

void EditSession::ConfigurationLoaded() {
  std::lock_guard lock(mutex_);
  facts_.configurationRead = true;
}

}  // namespace vantrel::profiles
