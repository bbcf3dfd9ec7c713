#include "core/profiles/profile_service.h"

#include <array>
#include <system_error>
#include <vector>

#include "core/keys/device_config.h"
#include "core/profiles/profile_file.h"

namespace vantrel::profiles {
namespace {

// Without facts from the presence logic the keyboard itself is asked: the factory key
// table and the macro capacity (device state byte 11 x 128 bytes).
DeviceFacts ReadFacts(device::CommandSet& commands) {
  DeviceFacts facts;
  keys::DeviceKeyTable factory{};
  if (commands.CmdReadFactoryKeyTable(factory) == device::kDeviceOk) facts.factory = factory;
  std::array<std::uint8_t, device::kDeviceStateSize> state{};
  if (commands.CmdReadDeviceState(state) == device::kDeviceOk) {
    facts.macroCapacity = static_cast<std::size_t>(state[device::kStateMacroCapacity]) * 128;
  }
  return facts;
}

}  // namespace

ProfileService::ProfileService(device::CommandSet& commands, keys::EditingStore& editing, keys::AppliedStore& applied,
                               std::atomic<int>& activeProfileCache, ProfilePaths paths,
                               const text::TextSource& texts, text::MessageSink& sink, ProfileView& view)
    : commands_(commands),
      editing_(editing),
      applied_(applied),
      cache_(activeProfileCache),
      paths_(std::move(paths)),
      texts_(texts),
      sink_(sink),
      view_(view),
      facts_([this] { return ReadFacts(commands_); }) {}

int ProfileService::ActiveProfile() {
  const int cached = cache_.load();
  if (cached != -1) return cached;
  std::array<std::uint8_t, device::kDeviceStateSize> state{};
  if (commands_.CmdReadDeviceState(state) != device::kDeviceOk) return -1;
  const int profile = state[device::kStateActiveProfile];
  cache_.store(profile);
  return profile;
}

void ProfileService::SetActiveProfile(int profile) {
  if (profile < 0) return;
  std::array<std::uint8_t, device::kDeviceStateSize> state{};
  if (commands_.CmdReadDeviceState(state) != device::kDeviceOk) return;
  state[device::kStateActiveProfile] = static_cast<std::uint8_t>(profile);
  cache_.store(commands_.CmdWriteDeviceState(state) == device::kDeviceOk ? profile : -1);
}

bool ProfileService::DumpDeviceToFile(const std::filesystem::path& path) {
  const int active = ActiveProfile();
  if (active < 0 || active > 3) return false;
  keys::DeviceConfiguration config;
  config.factory = facts_().factory;
  for (unsigned p = 0; p < device::kProfileCount; ++p) {
    if (commands_.CmdReadKeyTable(config.tables[p], p) != device::kDeviceOk) return false;
  }
  if (keys::ReadMacroArea(commands_, config.macroBlock) != device::kDeviceOk) return false;
  keys::StoreImage image;
  keys::DecodeIntoImage(config, texts_, image);
  return SaveProfileImage(path, image, hook_);
}

void ProfileService::ReloadFromDevice(bool keepUnsavedState) {
  EnsureWorkingFolder(paths_);
  const std::filesystem::path working = WorkingFilePath(paths_);
  const bool read = ActiveProfile() >= 0 && DumpDeviceToFile(working);
  {
    keys::EditingStore::Lock lock(editing_);
    EmptyEditingStore(lock);
    const bool loaded = read && LoadProfileFile(working, lock);
    if (!loaded) {
      EmptyEditingStore(lock);
      CreateDefaultProfile(lock);
    }
    // The macro list just read is what the keyboard's key tables refer to by position.
    keys::NoteKeyboardMacros(lock, applied_, loaded);
    ShowActiveProfile(lock);
  }
  if (!keepUnsavedState) view_.ClearUnsavedChanges();
}

bool ProfileService::SwitchProfile(int profile) { return FinishSwitch(CheckSwitch(profile)); }

SwitchDecision ProfileService::CheckSwitch(int profile) {
  SwitchDecision decision;
  decision.profile = profile >= 3 ? 0 : profile;
  if (view_.KeyPageOpen()) {
    sink_.ShowMessage(texts_.Text("PROFILE_SEELCT_PROMPT2"));
    return decision;
  }
  decision.proceed = true;
  decision.unsaved = view_.HasUnsavedChanges() || (view_.ProfileManagerOpen() && view_.ProfileManagerUnsaved());
  // Applying can run the window's own work, which may ask for a switch again: the
  // question is never put twice.
  if (decision.unsaved && !questionOnScreen_) {
    questionOnScreen_ = true;
    decision.asked = true;
    decision.applyFirst = sink_.AskYesNo(texts_.Text("PROFILE_SELECT_PROMPT"), false);
    questionOnScreen_ = false;
  }
  return decision;
}

bool ProfileService::FinishSwitch(const SwitchDecision& decision) {
  if (!decision.proceed) return false;
  const int profile = decision.profile;
  if (decision.unsaved) {
    if (decision.asked && decision.applyFirst) {
      view_.RunApply();
    } else if (decision.asked) {
      view_.ClearUnsavedChanges();
      if (ActiveProfile() >= 0) {
        keys::EditingStore::Lock lock(editing_);
        EmptyEditingStore(lock);
        // Without a working file the store gets the default profile, never an empty table.
        if (!LoadProfileFile(WorkingFilePath(paths_), lock)) {
          EmptyEditingStore(lock);
          CreateDefaultProfile(lock);
        }
      }
    }
    SetActiveProfile(profile);
  } else {
    SetActiveProfile(profile);
    if (view_.ProfileManagerOpen()) view_.CheckProfileManagerRow(profile);
  }
  {
    keys::EditingStore::Lock lock(editing_);
    ShowActiveProfile(lock);
  }
  view_.RebuildProfileMenu();
  return true;
}

void ProfileService::ShowActiveProfile(keys::EditingStore::Lock& held) { view_.ShowKeyButtons(held.Image()); }

bool ProfileService::ApplyAll(keys::EditingStore::Lock& held) {
  const DeviceFacts facts = facts_();
  keys::ApplyRequest request;
  request.allProfiles = true;
  request.factory = facts.factory;
  request.macroCapacity = facts.macroCapacity;
  return keys::ApplyToDevice(held, applied_, request, commands_, texts_, sink_);
}

RestoreOutcome ProfileService::RestoreFromFile(const std::filesystem::path& path) {
  RestoreOutcome outcome;
  outcome.validation = ValidateProfileFile(path, texts_, sink_, &outcome.reason);
  // A file cut short passes validation (the header fields decide), so the load itself
  // must succeed before anything is replaced: a partial image would erase macros.
  keys::StoreImage image;
  outcome.loaded = outcome.validation == kProfileValid && LoadProfileImage(path, image, &outcome.reason);
  if (!outcome.loaded) {
    sink_.ShowMessage(texts_.Text("MAIN_PROMPT_INPORT"));
    return outcome;
  }
  outcome.applied = InstallAndApply(std::move(image));
  return outcome;
}

bool ProfileService::InstallAndApply(keys::StoreImage image) {
  bool applied = false;
  {
    keys::EditingStore::Lock lock(editing_);
    EmptyEditingStore(lock);
    lock.Image() = std::move(image);
    (void)SaveWorkingFile(paths_, lock, hook_);
    applied = ApplyAll(lock);
  }
  view_.ClearUnsavedChanges();
  return applied;
}

bool ProfileService::BackupToFile(const std::filesystem::path& path) { return SaveProfileFile(path, editing_, hook_); }

bool ProfileService::BackupFromDialog(const std::filesystem::path& path) {
  const bool ok = BackupToFile(path);
  sink_.ShowMessage(ok ? kBackupSucceeded : kBackupFailed);
  return ok;
}

}  // namespace vantrel::profiles
