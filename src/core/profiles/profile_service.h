// The profile operations that involve the keyboard, the stores and the user: reading the
// keyboard into the working file and the editing store, the active on-board profile,
// switching, restoring a profile file onto the keyboard and backing the editing store up.
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <mutex>
#include <functional>
#include <string>
#include <vector>

#include "core/device/commands.h"
#include "core/device/read_back.h"
#include "core/keys/apply.h"
#include "core/keys/key_table.h"
#include "core/keys/stores.h"
#include "core/profiles/atomic_file.h"
#include "core/profiles/firmware_update.h"
#include "core/profiles/working_file.h"
#include "core/profiles/write_recorder.h"
#include "core/text/text_source.h"

namespace vantrel::profiles {

// What the editing session tells the windows. Notifications only: they may come on the
// device worker or the UI thread, and an implementation copies what it needs and hands it
// to its own thread without waiting. Every member does nothing by default.
class ProfileView {
 public:
  virtual ~ProfileView() = default;
  // The session's facts changed (unsaved state, current or active profile, open editors).
  virtual void SessionChanged() {}
  // The keys of `profile` as the editing store holds them now; called with the store's
  // lock held: copy what is needed and return.
  virtual void ShowKeyButtons(const keys::StoreImage& image, int profile) {
    (void)image;
    (void)profile;
  }
  // The keyboard runs `profile` now (a switch from any window or the keyboard's arrival).
  virtual void ProfileSwitched(int profile) { (void)profile; }
  virtual void RebuildProfileMenu() {}
  // The keyboard came back while edits were pending: the UI asks what to do.
  virtual void ArrivalWithEdits() {}
  // The keyboard's configuration was read into the store after its arrival; it runs
  // `profile` (-1 unknown).
  virtual void ConfigurationRead(int profile) { (void)profile; }
};

// No windows (the command line, benchmarks, tests of one window).
class NoWindowsView : public ProfileView {};

// What is known about the keyboard from its arrival: the factory key table (for the key
// table codec) and the size of its macro area in bytes.
struct DeviceFacts {
  keys::DeviceKeyTable factory = keys::InitialFactoryKeyTable();
  std::size_t macroCapacity = 0;
  bool factoryRead = false;  // `factory` came from the keyboard (else the initial image)
};

// What the user-level switch decided before any device work: made on the UI thread by
// CheckSwitch (which shows the refusal or puts the question), carried out by EditSession::Switch.
struct SwitchDecision {
  int profile = 0;          // the profile to switch to (3 and above already mapped to 0)
  bool proceed = false;     // false: refused (the key page is open), nothing more happens
  bool unsaved = false;     // there were unsaved changes when the check was made
  bool asked = false;       // the question was put (not when one was already on screen)
  bool applyFirst = false;  // the answer was Yes: apply the changes before switching
  int checkedRow = -1;      // the profile manager's checked row (its OK and Apply)
};

struct RestoreOutcome {
  int validation = 0;    // ValidateProfileFile's result
  bool loaded = false;   // the whole file was read into a store image
  bool applied = false;  // the keyboard took the configuration
  std::string reason;    // why the file was refused ("is a directory", "is cut short ...")
  std::vector<std::string> differences;  // what the keyboard read back differently
};

class ProfileService {
 public:
  ProfileService(device::CommandSet& commands, keys::EditingStore& editing, keys::AppliedStore& applied,
                 std::atomic<int>& activeProfileCache, ProfilePaths paths, const text::TextSource& texts,
                 text::MessageSink& sink);
  ProfileService(const ProfileService&) = delete;
  ProfileService& operator=(const ProfileService&) = delete;

  // The facts are asked for each time they are needed (the presence logic updates them).
  void SetDeviceFacts(std::function<DeviceFacts()> facts) { facts_ = std::move(facts); }
  // Fault hook for every file this service writes (tests).
  void SetWriteFaultHook(WriteFaultHook hook) { hook_ = std::move(hook); }
  const ProfilePaths& Paths() const { return paths_; }
  const WriteFaultHook& WriteHook() const { return hook_; }

  device::CommandSet& Commands() { return commands_; }
  // The keyboard's active profile as last read or written; -1 unknown. Never reads.
  int CachedActiveProfile() const { return cache_.load(); }
  // Another program may have switched the profile: the next ActiveProfile() reads it.
  void ForgetActiveProfile() { cache_.store(-1); }
  // The cache, or byte 10 of the device state read now (cached on success); -1 unknown.
  int ActiveProfile();
  // The active profile last read from or written to the keyboard, kept when the keyboard
  // goes away (the cache is not); -1 while none was ever known.
  int LastKnownActiveProfile() const { return lastKnownActive_.load(); }
  // Writes byte 10 of the device state; the cache follows the write's outcome. Profiles 3
  // and above mean 0 (the keyboard has three); i < 0: nothing. The record is read back
  // after the write; true when the write took and the keyboard holds what was written
  // (else the cache is unknown and LastReadBack says what differs).
  bool SetActiveProfile(int profile);
  // What the read-back of the last write (active profile, apply, restore, install) found;
  // empty when that write was not read back.
  device::Verification LastReadBack() const;
  void NoteReadBack(device::Verification readBack);
  // The range rule of every switch: 3 and above mean 0.
  static int MapProfile(int profile) { return profile >= 3 ? 0 : profile; }

  // Reads the three key tables and the macro area into an image (no strings, table 3
  // zero). False with no device traffic when the active profile is unknown, and on any
  // failed read.
  bool DumpDevice(keys::StoreImage& image);
  // The same written as a profile file.
  bool DumpDeviceToFile(const std::filesystem::path& path);

  // Device to working file to editing store; the default profile when the keyboard
  // cannot be read. True when the store holds what was read from the keyboard. When the
  // working file cannot be written the configuration read is kept in memory and the
  // message names the folder. `editedMeanwhile` is asked under the editing store's lock
  // just before the store is replaced: when it says edits were made while the keyboard was
  // being read, the store keeps them and the call returns false with *keptEdits set.
  bool ReloadFromDevice(const std::function<bool()>& editedMeanwhile = {}, bool* keptEdits = nullptr);
  // The keyboard's configuration read into `image` and saved as the working file (kept in
  // memory when the file cannot be written, *savedToFile false); the editing store is left
  // alone. False, with nothing changed, when the keyboard cannot be read.
  bool ReadIntoWorkingCopy(keys::StoreImage& image, bool* savedToFile = nullptr);
  // The store read back from the working file, or from the copy kept in memory while the
  // working folder cannot be written (the default profile without either).
  void ReloadFromWorkingFile();
  // The last configuration read from or written to the keyboard (the working file, or the
  // copy kept in memory while it cannot be written) into `image`, leaving the editing
  // store alone. False when there is none.
  bool LastKnownImage(keys::StoreImage& image);
  // The store, as the keyboard now holds it, saved as the working file (created when
  // missing); kept in memory
  // instead when the file cannot be written, so dropping later edits never falls back to
  // the default profile (whose Apply would erase the keyboard's macros).
  void SaveWorkingCopy(keys::EditingStore::Lock& held);

  // The working copy as it was before a write to the keyboard saved the store over it: the
  // working file's content (when it existed) and the copy kept in memory.
  struct WorkingCopyBefore {
    bool fileExisted = false;  // anything stood at the working file's path
    std::optional<keys::StoreImage> file;
    std::optional<keys::StoreImage> inMemory;
  };
  WorkingCopyBefore KeepWorkingCopy();
  // Puts back the working copy kept before a write that the keyboard did not take, so the
  // working file goes on mirroring what the keyboard was last known to hold (dropping the
  // edits then gives back that, not the edits that failed to go out).
  void PutBackWorkingCopy(const WorkingCopyBefore& before);

  // Validates and loads the file into an image of its own; only when the whole file
  // loaded does that image replace the editing store, the working file get saved (when
  // it exists) and all three profiles and the macros go to the keyboard. Otherwise shows
  // "MAIN_PROMPT_INPORT" (to `messages`, as the file's own refusal) and touches nothing.
  RestoreOutcome RestoreFromFile(const std::filesystem::path& path) { return RestoreFromFile(path, sink_); }
  RestoreOutcome RestoreFromFile(const std::filesystem::path& path, text::MessageSink& messages);
  // Installs an image built elsewhere (an import) the way a restore does; true when the
  // keyboard took it.
  bool InstallAndApply(keys::StoreImage image);

  // Whether the editing store holds edits the keyboard has not got (the editing session
  // answers; without one there are none).
  void SetEditsPending(std::function<bool()> pending) { editsPending_ = std::move(pending); }
  // The one backup, from the window's menu, the update dialog, the scripting interface and
  // vantrelctl alike: the keyboard's configuration as last read from or written to it,
  // written to a profile file; silent. That is the editing store while it holds no edits
  // the keyboard has not got; with such edits pending it is the working copy (the default
  // profile when there is none), so that a backup never holds what the keyboard never
  // took. False, with the system's reason in *why, when the file cannot be written.
  bool BackupToFile(const std::filesystem::path& path, std::string* why = nullptr);
  // The same with the update dialog's message of the outcome.
  bool BackupFromDialog(const std::filesystem::path& path);

  DeviceFacts Facts() { return facts_(); }

  // Told of every write of keys and macros made here or through the editing session (the
  // history); none: nothing is recorded.
  void SetRecorder(WriteRecorder* recorder) { recorder_ = recorder; }
  WriteRecorder* Recorder() const { return recorder_; }
  // What the keyboard was last given (the applied store), copied.
  keys::StoreImage AppliedImage();

 private:
  // The working file's content; unset when it is missing, not a regular file or unusable.
  std::optional<keys::StoreImage> LoadWorkingFile() const;

  device::CommandSet& commands_;
  keys::EditingStore& editing_;
  keys::AppliedStore& applied_;
  std::atomic<int>& cache_;
  std::atomic<int> lastKnownActive_{-1};
  ProfilePaths paths_;
  const text::TextSource& texts_;
  text::MessageSink& sink_;
  std::function<DeviceFacts()> facts_;
  std::function<bool()> editsPending_;
  WriteRecorder* recorder_ = nullptr;
  WriteFaultHook hook_;
  mutable std::mutex readBackMutex_;
  device::Verification lastReadBack_;
  std::mutex workingMutex_;
  std::optional<keys::StoreImage> workingInMemory_;  // set while the working file cannot be written
};

}  // namespace vantrel::profiles
