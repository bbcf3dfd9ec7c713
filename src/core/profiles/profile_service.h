// The profile operations that involve the keyboard, the stores and the user: reading the
// keyboard into the working file and the editing store, the active on-board profile,
// switching, restoring a profile file onto the keyboard and backing the editing store up.
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

#include "core/device/commands.h"
#include "core/keys/apply.h"
#include "core/keys/key_table.h"
#include "core/keys/stores.h"
#include "core/profiles/atomic_file.h"
#include "core/profiles/firmware_update.h"
#include "core/profiles/working_file.h"
#include "core/text/text_source.h"

namespace vantrel::profiles {

// What the profile operations need from the windows. The GUI implements it; tests use a
// recording version.
//
// The operations that follow a question (FinishSwitch) run on the device worker, so the
// members they call must not wait for the UI thread: queries read state the window keeps
// thread-safe, notifications are posted. ShowKeyButtons is called with the editing
// store's lock held and must copy what it needs and return.
class ProfileView {
 public:
  virtual ~ProfileView() = default;
  virtual bool KeyPageOpen() const = 0;
  // The main window's unsaved-changes state.
  virtual bool HasUnsavedChanges() const = 0;
  virtual void ClearUnsavedChanges() = 0;
  virtual bool ProfileManagerOpen() const = 0;
  virtual bool ProfileManagerUnsaved() const = 0;
  // Checks the manager's row and clears the manager's unsaved state.
  virtual void CheckProfileManagerRow(int row) = 0;
  // The main window's Apply (control 1006), run on the calling thread; returns when it
  // has finished.
  virtual void RunApply() = 0;
  // Refreshes the key buttons from the editing store (its lock is held).
  virtual void ShowKeyButtons(const keys::StoreImage& image) = 0;
  virtual void RebuildProfileMenu() = 0;
};

// No windows (the command line, benchmarks, tests of one window): no page is open and
// nothing is unsaved.
class NoWindowsView : public ProfileView {
 public:
  bool KeyPageOpen() const override { return false; }
  bool HasUnsavedChanges() const override { return false; }
  void ClearUnsavedChanges() override {}
  bool ProfileManagerOpen() const override { return false; }
  bool ProfileManagerUnsaved() const override { return false; }
  void CheckProfileManagerRow(int) override {}
  void RunApply() override {}
  void ShowKeyButtons(const keys::StoreImage&) override {}
  void RebuildProfileMenu() override {}
};

// What is known about the keyboard from its arrival: the factory key table (for the key
// table codec) and the size of its macro area in bytes.
struct DeviceFacts {
  keys::DeviceKeyTable factory = keys::InitialFactoryKeyTable();
  std::size_t macroCapacity = 0;
};

// What the user-level switch decided before any device work: made on the UI thread by
// CheckSwitch (which shows the refusal or puts the question), carried out by FinishSwitch.
struct SwitchDecision {
  int profile = 0;          // the profile to switch to (3 and above already mapped to 0)
  bool proceed = false;     // false: refused (the key page is open), nothing more happens
  bool unsaved = false;     // there were unsaved changes when the check was made
  bool asked = false;       // the question was put (not when one was already on screen)
  bool applyFirst = false;  // the answer was Yes: apply the changes before switching
};

struct RestoreOutcome {
  int validation = 0;    // ValidateProfileFile's result
  bool loaded = false;   // the whole file was read into a store image
  bool applied = false;  // the keyboard took the configuration
  std::string reason;    // why the file was refused ("is a directory", "is cut short ...")
};

class ProfileService {
 public:
  ProfileService(device::CommandSet& commands, keys::EditingStore& editing, keys::AppliedStore& applied,
                 std::atomic<int>& activeProfileCache, ProfilePaths paths, const text::TextSource& texts,
                 text::MessageSink& sink, ProfileView& view);
  ProfileService(const ProfileService&) = delete;
  ProfileService& operator=(const ProfileService&) = delete;

  // The facts are asked for each time they are needed (the presence logic updates them).
  void SetDeviceFacts(std::function<DeviceFacts()> facts) { facts_ = std::move(facts); }
  // Fault hook for every file this service writes (tests).
  void SetWriteFaultHook(WriteFaultHook hook) { hook_ = std::move(hook); }
  const ProfilePaths& Paths() const { return paths_; }

  // The cache, or byte 10 of the device state read now (cached on success); -1 unknown.
  int ActiveProfile();
  // Writes byte 10 of the device state; the cache follows the write's outcome. i < 0:
  // nothing.
  void SetActiveProfile(int profile);

  // Reads the three key tables and the macro area and writes them as a profile file
  // (no strings, table 3 zero). False with no device traffic when the active profile is
  // unknown, and on any failed read or write.
  bool DumpDeviceToFile(const std::filesystem::path& path);

  // Device to working file to editing store; the default profile when the keyboard
  // cannot be read.
  void ReloadFromDevice(bool keepUnsavedState);

  // The user-level switch (index 3 and above mean 0). False when the key page is open.
  // CheckSwitch then FinishSwitch, on one thread.
  bool SwitchProfile(int profile);
  // The first half, for the UI thread: refuses with "PROFILE_SEELCT_PROMPT2" while the key
  // page is open, and asks "PROFILE_SELECT_PROMPT" when there are unsaved changes. Sends
  // nothing to the keyboard and takes no store lock.
  SwitchDecision CheckSwitch(int profile);
  // The second half, for the device worker: applies or drops the unsaved changes as
  // answered, writes the active profile, shows it and rebuilds the profile menu. Never asks
  // a question. False when the decision was a refusal.
  bool FinishSwitch(const SwitchDecision& decision);
  void ShowActiveProfile(keys::EditingStore::Lock& held);

  // Validates and loads the file into an image of its own; only when the whole file
  // loaded does that image replace the editing store, the working file get saved (when
  // it exists) and all three profiles and the macros go to the keyboard. Otherwise shows
  // "MAIN_PROMPT_INPORT" and touches nothing.
  RestoreOutcome RestoreFromFile(const std::filesystem::path& path);
  // Installs an image built elsewhere (an import) the way a restore does.
  bool InstallAndApply(keys::StoreImage image);

  // The editing store written to a file; silent.
  bool BackupToFile(const std::filesystem::path& path);
  // The same with the update dialog's message of the outcome.
  bool BackupFromDialog(const std::filesystem::path& path);

 private:
  bool ApplyAll(keys::EditingStore::Lock& held);

  device::CommandSet& commands_;
  keys::EditingStore& editing_;
  keys::AppliedStore& applied_;
  std::atomic<int>& cache_;
  ProfilePaths paths_;
  const text::TextSource& texts_;
  text::MessageSink& sink_;
  ProfileView& view_;
  std::function<DeviceFacts()> facts_;
  WriteFaultHook hook_;
  bool questionOnScreen_ = false;
};

}  // namespace vantrel::profiles
