// One editing session: which profile is shown and edited, which edits have not reached the
// keyboard yet, which editors are open, and the operations that act on them (Apply, restore
// default, the colour-view selection, profile switches, the reload when the keyboard
// arrives, restore from a file, closing). The windows and vantrelctl are views over it.
//
// Threads: the Check* calls put questions and run on the UI thread; they send nothing to the
// keyboard and hold no lock while a question is up. The other operations that talk to the
// keyboard run on the device worker and never ask; they copy what they write under the
// editing store's lock and send it after releasing the lock, so the UI thread never waits on
// a transaction. The session's own facts sit behind a mutex of their own that is never held
// while calling out (to the keyboard, the store or a view).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/keys/stores.h"
#include "core/profiles/profile_service.h"
#include "core/profiles/undo_history.h"

namespace vantrel::profiles {

// A copy of the session's facts.
struct SessionFacts {
  int currentProfile = 0;     // the profile shown and edited, 0..2
  int activeProfile = -1;     // the keyboard's active profile, -1 unknown
  unsigned editedProfiles = 0;  // bit p: profile p has edits the keyboard has not got
  std::uint64_t changes = 0;  // counts every edit; an Apply clears only what it wrote
  int keyPagesOpen = 0;
  int managersOpen = 0;
  bool managerUnsaved = false;  // the profile manager's list has changes not written
  bool configurationRead = false;  // the store holds what was read from the keyboard
  bool arrivalPending = false;     // the keyboard came back while edits were pending

  bool Unsaved() const { return editedProfiles != 0; }
};

enum class ApplyResult {
  Applied,        // every write succeeded
  NothingToApply, // no edits were pending
  NoKeyboard,     // no keyboard connected: nothing sent
  NotRead,        // the keyboard is connected but its configuration was never read: nothing
                  // sent, the edits stay pending (the UI offers ReadAgain)
  Failed,         // the keyboard did not take everything, or read back differently
                  // (LastReadBack); the edits stay pending
};

// What the user decided before a close.
enum class CloseChoice { Close, ApplyThenClose, Stay };

// What the user decided when the keyboard came back with edits pending.
enum class ArrivalChoice {
  WriteEdits,    // Yes: the edits are written to the keyboard
  ReadKeyboard,  // No: the keyboard's configuration is read, the edits are dropped
  KeepEdits,     // Cancel (Escape, the box closed): the edits stay pending, nothing is
                 // written or read
};

enum class Editor { KeyPage, ProfileManager };

// Who wants to act on the keyboard without asking the window's user: a script or the
// shell (they asked for it, on the user's behalf) or the automatic switch (nobody asked).
enum class Acting { Asked, Unattended };

// What stands in the way of acting without a question in the window, first found first.
enum class Obstacle {
  None,
  KeyPageOpen,       // a key page is open
  ArrivalUndecided,  // the keyboard came back with edits pending and the user has not answered
  EditsPending,      // edits the keyboard has not got: a switch, restore or import would lose them
  ManagerChanges,    // the profile manager holds changes not written
  ManagerOpen,       // unattended only: the user is choosing a profile in the profile manager
  NotRead,           // unattended only: the keyboard's configuration was not read yet
};

// The one rule for acting unasked, for a script, the shell and the automatic switch alike.
// Nothing is ever written over or dropped of the user's work; an automatic switch also
// waits while the profile manager is open (it would change the profile under the user's
// eyes) and until the keyboard's configuration was read (the read decides what is shown).
Obstacle ObstacleToActing(const SessionFacts& facts, Acting acting);

class EditSession {
 public:
  EditSession(ProfileService& service, keys::EditingStore& editing, keys::AppliedStore& applied,
              const text::TextSource& texts, text::MessageSink& sink);
  ~EditSession();
  EditSession(const EditSession&) = delete;
  EditSession& operator=(const EditSession&) = delete;

  // Views are told of every change; add them before the session is used from two threads.
  void AddView(ProfileView& view);
  void RemoveView(ProfileView& view);
  // Whether a keyboard is connected now (the presence logic); without one nothing is sent.
  void SetKeyboardPresent(std::function<bool()> present) { present_ = std::move(present); }

  ProfileService& Service() { return service_; }
  SessionFacts Facts() const;
  int CurrentProfile() const;
  bool Unsaved() const;

  // ---- edits (any thread) -----------------------------------------------------------
  // Something changed the editing store in the current profile (or in `profile`).
  void MarkEdited();
  void MarkEdited(int profile);
  // The profile shown and edited; 0..2 (other values are ignored).
  void SetCurrentProfile(int profile);
  void EditorOpened(Editor editor);
  void EditorClosed(Editor editor);
  void SetManagerUnsaved(bool unsaved);
  // Colour view: inverts the selection flag of a key record of the current profile.
  void ToggleSelected(std::size_t keyIndex);
  // Restore default: the records of the ordinary keys and of the nine G keys of `layer` in
  // the current profile back to the factory function. Apply follows separately.
  void RestoreDefaultKeys(const std::vector<std::size_t>& keyIndexes);
  // The key buttons redrawn from the store for the current profile.
  void ShowKeys();
  // One edit of the editing store as one step of Undo (the key page's OK, restore
  // default): `edit` runs under the store's lock, changes only `parts` and returns the
  // step's name. `profile` is marked edited and the views are told, as MarkEdited does;
  // an edit that changed nothing makes no step.
  void EditStore(int profile, StoreParts parts, const std::function<std::string(keys::StoreImage&)>& edit);
  // A lighting change the keyboard took for `profile` (the lighting panel's): one step.
  // `drag` is a number other than 0 shared by the writes of one slider drag, which make
  // one step together.
  void RecordLighting(int profile, StepWhat what, LightingValue before, LightingValue after, unsigned drag = 0);

  // ---- undo and redo (any thread) ---------------------------------------------------
  bool CanUndo() const;
  bool CanRedo() const;
  // The step's name for the menu; empty when there is none.
  std::string UndoName() const;
  std::string RedoName() const;
  // Takes the newest step back, or does the newest undone step again. A store step puts
  // its parts back, shows its profile and marks it edited; a lighting step shows its
  // profile and hands the value back for the caller to write (LightingWriteFailed when
  // the keyboard refuses it). Refused (Nothing) while a key page is open: it keeps its
  // own undo then.
  StepOutcome Undo();
  StepOutcome Redo();
  void LightingWriteFailed();

  // ---- questions (UI thread) --------------------------------------------------------
  // A switch to `profile` (3 and above mean 0): refused while the key page is open; asks
  // "PROFILE_SELECT_PROMPT" when edits are pending and the profile is not the active one.
  // Its Cancel (Escape, the box closed) refuses the switch too: the edits stay, nothing
  // is written.
  SwitchDecision CheckSwitch(int profile);
  // The profile manager's OK or Apply: asks "PROFILE_SELECT_PROMPT" when edits are pending;
  // Cancel refuses, as for a switch.
  SwitchDecision CheckManagerApply(int checkedRow);
  // Before the program ends: with edits pending asks whether to apply them first.
  CloseChoice CheckClose();
  // The keyboard came back while edits were pending: write them (Yes, the default), read
  // the keyboard's configuration instead (No), or keep them pending (Cancel).
  ArrivalChoice AskArrival();
  // Apply found the keyboard's configuration not read: true to read it again (the edits
  // stay either way).
  bool AskReadAgain();
  // Another program changed the keyboard: true to read its configuration (asks
  // "MAIN_PROMPT_OTHER_PROGRAM" first when edits are pending; No keeps the edits and
  // reads nothing).
  bool CheckOtherProgramChange();

  // ---- device work (device worker) --------------------------------------------------
  ApplyResult Apply();
  // A switch decided in a window (its questions answered): applies or drops the edits as
  // decided, writes the active profile and tells the views. False when refused, when the
  // edits could not be applied, or when the write failed. `OnlyToAnother` (a profile
  // button): nothing is sent when the keyboard runs that profile already; it becomes the
  // current one all the same.
  enum class SwitchWhen { Always, OnlyToAnother };
  bool Switch(const SwitchDecision& decision, SwitchWhen when = SwitchWhen::Always);
  // The profile manager's choice after its question: the edits applied or dropped, the
  // checked row's profile written, the keyboard read again.
  bool FinishManagerApply(const SwitchDecision& decision);
  // The keyboard arrived: read it into the store. With edits pending nothing is read: the
  // session waits for ResolveArrival (the views are told; the UI asks AskArrival).
  void ReloadOnArrival();
  void ResolveArrival(ArrivalChoice choice);
  // Reads the keyboard's configuration after it could not be read before (Apply answered
  // NotRead); the views are told as after an arrival. Edits pending were made over the
  // default profile shown meanwhile: they are laid over what was read (the keys of each
  // edited profile that differ from the default profile, and the macros, which take ids
  // the keyboard's list leaves free) and stay pending for the next Apply. False, with the
  // store and the edits as they were, when the keyboard cannot be read or the macros do
  // not fit in one list.
  bool ReadAgain();
  // Reads the keyboard's configuration again after another program changed it; the views
  // are told as after an arrival. `dropEdits`: the user agreed to lose the edits pending
  // (CheckOtherProgramChange). False, with nothing read, when edits came in after that
  // decision was taken without them: they are never dropped unasked.
  bool ReloadAfterOtherProgram(bool dropEdits);
  // The same under one hold of the keyboard, returning `changesNow()` as of the read (the
  // count of other programs' changes): a change after it is looked at again. Empty when
  // ReloadAfterOtherProgram read nothing.
  std::optional<std::uint64_t> ReadAfterOtherPrograms(bool dropEdits, const std::function<std::uint64_t()>& changesNow);
  // A switch a script or the shell asked for: the one idle rule (Acting::Asked) is checked
  // here, on the worker, then the profile is written only when the keyboard runs another
  // one, and every view is told. `showFailure`: the window's message when the keyboard
  // does not take it (the shell says it itself).
  struct AskedSwitch {
    enum class Result { Switched, Busy, Failed } result = Result::Failed;
    Obstacle obstacle = Obstacle::None;  // Busy: why
  };
  AskedSwitch SwitchAsked(int profile, bool showFailure = true);
  // Restore from a profile file, for the window, a script and the shell alike: the whole
  // file validated and loaded before anything is written, then installed and written as
  // Install does. The edits are cleared only when every write succeeded. The messages
  // about the file (its header refused, "MAIN_PROMPT_INPORT", "MAIN_PROMPT_APPLY_FAILED")
  // go to `messages`; the outcome carries the reason and the differences read back.
  RestoreOutcome Restore(const std::filesystem::path& path) { return Restore(path, sink_); }
  RestoreOutcome Restore(const std::filesystem::path& path, text::MessageSink& messages);
  // An imported image installed and written like a restore. Not written: the image stays
  // pending as one step of Undo, named for `what` (the file).
  bool Install(keys::StoreImage image, std::string_view what = {});
  // What the read-back of the last write (Apply, a switch, Restore, Install) found: the
  // differences in words, one line each; empty when nothing differed or nothing was read.
  device::Verification LastReadBack() const { return service_.LastReadBack(); }
  // An automatic switch (the focused window's rule): never asks and shows nothing. The
  // decision was made on another thread, so it is checked again here: with edits pending,
  // a key page or the profile manager open, or the keyboard's return undecided, nothing is
  // sent. Nothing is sent either when the keyboard runs `profile` already. Otherwise the
  // profile is written as a switch from the profile buttons writes it and every view is
  // told.
  enum class Unattended {
    Switched,  // the keyboard runs `profile` now (or did already)
    NotNow,    // nothing sent: a pause condition, no keyboard, or an invalid profile
    Failed,    // the keyboard did not take the switch
  };
  Unattended SwitchUnattended(int profile);
  // The keyboard went away: its active profile is unknown until it is back.
  void KeyboardGone();
  // The owner filled the store from the keyboard itself (vantrelctl reads it directly):
  // from now on Apply may write over the keyboard.
  void ConfigurationLoaded();

 private:
  // A copy of the views, so none is called with the facts' mutex held.
  std::vector<ProfileView*> Views() const;
  void Notify();
  void NotifyKeys(keys::EditingStore::Lock& held, int profile);
  void NotifySwitched(int profile);
  void NotifyRead(int profile);
  // The profile becomes the current one; every view is told it is shown.
  void ShowProfile(int profile);
  bool KeyboardPresent() const { return !present_ || present_(); }
  StepOutcome TakeStep(bool undo);
  // Every step forgotten: the store was replaced as a whole.
  void ClearSteps();
  // A store step around a replacement of the whole store that did not reach the keyboard
  // (an import or a restore left pending).
  void PushWholeStore(std::string name, StoreSnapshot before);
  // Drops the edits: the store read back from the working file (the last configuration
  // read from or written to the keyboard).
  void DropEdits();
  // Reads the keyboard's configuration into the store. Edits made while it was being read
  // are never overwritten: they stay, *keptEdits is set and false returned.
  bool Reload(bool* keptEdits = nullptr);
  // Edits wait for the user's decision between them and the keyboard that came back.
  void AwaitArrivalDecision();
  // "PROFILE_SELECT_PROMPT" when the decision found edits pending (UI thread).
  void AskApplyFirst(SwitchDecision& decision);
  bool WriteDecidedEdits(const SwitchDecision& decision);
  // Writes `profiles` (bit mask) and the macro area from a copy taken under the lock.
  ApplyResult WriteToKeyboard(unsigned profiles, std::uint64_t changesSeen);
  // The one write of the keyboard's active profile behind every switch. `onlyWhenOther`:
  // nothing is sent when the keyboard runs `profile` already.
  enum class ProfileWrite { Written, AlreadyRunning, Refused };
  ProfileWrite WriteActiveProfile(int profile, bool onlyWhenOther);
  // Switch, and the switch a script asked for: the edits written or dropped as decided,
  // then the profile written and shown.
  bool WriteSwitch(const SwitchDecision& decision, bool onlyWhenOther, bool showFailure);

  ProfileService& service_;
  keys::EditingStore& editing_;
  keys::AppliedStore& applied_;
  const text::TextSource& texts_;
  text::MessageSink& sink_;
  std::function<bool()> present_;

  mutable std::mutex mutex_;  // facts_ and views_
  SessionFacts facts_;
  std::vector<ProfileView*> views_;
  bool questionOnScreen_ = false;  // UI thread only

  mutable std::mutex undoMutex_;  // steps_ and lastDrag_; never held while calling out
  UndoHistory steps_;
  unsigned lastDrag_ = 0;  // the drag the newest lighting step came from
};

}  // namespace vantrel::profiles
