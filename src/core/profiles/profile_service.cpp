#include "core/profiles/profile_service.h"

#include <array>
#include <system_error>
#include <vector>

#include "core/keys/device_config.h"
#include "core/profiles/profile_file.h"
#include "core/text/safe_format.h"

namespace vantrel::profiles {
namespace {

// Without facts from the presence logic the keyboard itself is asked: the factory key
// table and the macro capacity (device state byte 11 x 128 bytes).
DeviceFacts ReadFacts(device::CommandSet& commands) {
  DeviceFacts facts;
  keys::DeviceKeyTable factory{};
  if (commands.CmdReadFactoryKeyTable(factory) == device::kDeviceOk) {
    facts.factory = factory;
    facts.factoryRead = true;
  }
  std::array<std::uint8_t, device::kDeviceStateSize> state{};
  if (commands.CmdReadDeviceState(state) == device::kDeviceOk) {
    facts.macroCapacity = static_cast<std::size_t>(state[device::kStateMacroCapacity]) * 128;
  }
  return facts;
}

}  // namespace

ProfileService::ProfileService(device::CommandSet& commands, keys::EditingStore& editing, keys::AppliedStore& applied,
                               std::atomic<int>& activeProfileCache, ProfilePaths paths,
                               const text::TextSource& texts, text::MessageSink& sink)
    : commands_(commands),
      editing_(editing),
      applied_(applied),
      cache_(activeProfileCache),
      paths_(std::move(paths)),
      texts_(texts),
      sink_(sink),
      facts_([this] { return ReadFacts(commands_); }) {}

int ProfileService::ActiveProfile() {
  const int cached = cache_.load();
  if (cached != -1) return cached;
  std::array<std::uint8_t, device::kDeviceStateSize> state{};
  if (commands_.CmdReadDeviceState(state) != device::kDeviceOk) return -1;
  const int profile = state[device::kStateActiveProfile];
  cache_.store(profile);
  lastKnownActive_.store(profile);
  return profile;
}

bool ProfileService::SetActiveProfile(int profile) {
  NoteReadBack({});
  if (profile < 0) return false;
  profile = MapProfile(profile);
  // Read, change one byte, write, read back: another program's write in between would be
  // undone by this one.
  device::KeyboardHold hold(commands_.Link());
  if (!hold.Held()) return false;
  std::array<std::uint8_t, device::kDeviceStateSize> state{};
  if (commands_.CmdReadDeviceState(state) != device::kDeviceOk) return false;
  state[device::kStateActiveProfile] = static_cast<std::uint8_t>(profile);
  bool ok = commands_.CmdWriteDeviceState(state) == device::kDeviceOk;
  if (ok) {
    device::Verification readBack = device::ReadBackDeviceState(commands_, state, {device::kStateActiveProfile}, texts_);
    ok = !readBack.Failed();
    NoteReadBack(std::move(readBack));
  }
  cache_.store(ok ? profile : -1);
  if (ok) lastKnownActive_.store(profile);
  return ok;
}

device::Verification ProfileService::LastReadBack() const {
  std::lock_guard lock(readBackMutex_);
  return lastReadBack_;
}

void ProfileService::NoteReadBack(device::Verification readBack) {
  std::lock_guard lock(readBackMutex_);
  lastReadBack_ = std::move(readBack);
}

bool ProfileService::DumpDevice(keys::StoreImage& image) {
  const int active = ActiveProfile();
  if (active < 0 || active > 3) return false;
  keys::DeviceConfiguration config;
  config.factory = facts_().factory;
  for (unsigned p = 0; p < device::kProfileCount; ++p) {
    if (commands_.CmdReadKeyTable(config.tables[p], p) != device::kDeviceOk) return false;
  }
  if (keys::ReadMacroArea(commands_, config.macroBlock) != device::kDeviceOk) return false;
  keys::DecodeIntoImage(config, texts_, image);
  return true;
}

bool ProfileService::DumpDeviceToFile(const std::filesystem::path& path) {
  keys::StoreImage image;
  return DumpDevice(image) && SaveProfileImage(path, image, hook_);
}

bool ProfileService::ReadIntoWorkingCopy(keys::StoreImage& image, bool* savedToFile) {
  if (savedToFile) *savedToFile = false;
  EnsureWorkingFolder(paths_);
  bool read = false;
  {
    // One picture of the keyboard, not half before and half after another program's write.
    device::KeyboardHold hold(commands_.Link());
    read = hold.Held() && ActiveProfile() >= 0 && DumpDevice(image);
  }
  if (!read) return false;
  if (recorder_ != nullptr) recorder_->KeysRead(image);
  std::string why;
  const bool saved = SaveProfileImage(WorkingFilePath(paths_), image, hook_, &why);
  if (!saved) {
    // What was read stays in memory: falling back to the default profile here would make
    // the next Apply erase the keyboard's macros and reset its other profiles.
    sink_.ShowMessage(text::FormatWithStrings(texts_.Text("FOLDER_NOT_WRITABLE"), {paths_.userFolder.string(), why}));
  }
  std::lock_guard keep(workingMutex_);
  if (saved) {
    workingInMemory_.reset();
  } else {
    workingInMemory_ = image;
  }
  if (savedToFile) *savedToFile = saved;
  return true;
}

bool ProfileService::ReloadFromDevice(const std::function<bool()>& editedMeanwhile, bool* keptEdits) {
  keys::StoreImage image;
  bool saved = false;
  const bool read = ReadIntoWorkingCopy(image, &saved);
  keys::EditingStore::Lock lock(editing_);
  if (editedMeanwhile && editedMeanwhile()) {
    if (keptEdits) *keptEdits = true;
    return false;
  }
  EmptyEditingStore(lock);
  bool loaded = false;
  if (saved) {
    loaded = LoadProfileFile(WorkingFilePath(paths_), lock);
  } else if (read) {
    lock.Image() = std::move(image);
    loaded = true;
  }
  if (!loaded) {
    EmptyEditingStore(lock);
    CreateDefaultProfile(lock);
  }
  // The macro list just read is what the keyboard's key tables refer to by position.
  keys::NoteKeyboardMacros(lock, applied_, loaded);
  return loaded;
}

void ProfileService::ReloadFromWorkingFile() {
  keys::EditingStore::Lock lock(editing_);
  EmptyEditingStore(lock);
  // Without a working file the store gets the default profile, never an empty table.
  {
    std::lock_guard keep(workingMutex_);
    if (workingInMemory_) {
      lock.Image() = *workingInMemory_;
      return;
    }
  }
  if (!LoadProfileFile(WorkingFilePath(paths_), lock)) {
    EmptyEditingStore(lock);
    CreateDefaultProfile(lock);
  }
}

bool ProfileService::LastKnownImage(keys::StoreImage& image) {
  {
    std::lock_guard keep(workingMutex_);
    if (workingInMemory_) {
      image = *workingInMemory_;
      return true;
    }
  }
  std::optional<keys::StoreImage> file = LoadWorkingFile();
  if (!file) return false;
  image = std::move(*file);
  return true;
}

std::optional<keys::StoreImage> ProfileService::LoadWorkingFile() const {
  const std::filesystem::path working = WorkingFilePath(paths_);
  std::error_code error;
  keys::StoreImage loaded;
  if (!std::filesystem::is_regular_file(working, error) || !LoadProfileImage(working, loaded)) return std::nullopt;
  return loaded;
}

void ProfileService::SaveWorkingCopy(keys::EditingStore::Lock& held) {
  // Created when missing: every write mirrors what the keyboard holds, also for a user who
  // never had the keyboard read through the working file (the shell's keys set).
  EnsureWorkingFolder(paths_);
  const bool saved = SaveProfileFile(WorkingFilePath(paths_), held, hook_);
  std::lock_guard keep(workingMutex_);
  if (saved) {
    workingInMemory_.reset();
  } else {
    workingInMemory_ = held.Image();
  }
}

ProfileService::WorkingCopyBefore ProfileService::KeepWorkingCopy() {
  WorkingCopyBefore before;
  std::error_code error;
  before.fileExisted = std::filesystem::symlink_status(WorkingFilePath(paths_), error).type() !=
                       std::filesystem::file_type::not_found;
  before.file = LoadWorkingFile();
  std::lock_guard keep(workingMutex_);
  before.inMemory = workingInMemory_;
  return before;
}

void ProfileService::PutBackWorkingCopy(const WorkingCopyBefore& before) {
  std::optional<keys::StoreImage> inMemory = before.inMemory;
  if (before.file) {
    keys::StoreImage image = *before.file;
    // Put back as the file was; when that fails too, the kept copy stands in for it, as
    // it does while the file cannot be written.
    if (!SaveProfileImage(WorkingFilePath(paths_), image, hook_) && !inMemory) inMemory = *before.file;
  } else if (!before.fileExisted) {
    // The write created the working file: it goes again, rather than mirror edits the
    // keyboard did not take.
    std::error_code error;
    if (std::filesystem::is_regular_file(std::filesystem::symlink_status(WorkingFilePath(paths_), error))) {
      std::filesystem::remove(WorkingFilePath(paths_), error);
    }
  }
  std::lock_guard keep(workingMutex_);
  workingInMemory_ = std::move(inMemory);
}

RestoreOutcome ProfileService::RestoreFromFile(const std::filesystem::path& path, text::MessageSink& messages) {
  RestoreOutcome outcome;
  outcome.validation = ValidateProfileFile(path, texts_, messages, &outcome.reason);
  // A file cut short passes validation (the header fields decide), so the load itself
  // must succeed before anything is replaced: a partial image would erase macros.
  keys::StoreImage image;
  outcome.loaded = outcome.validation == kProfileValid && LoadProfileImage(path, image, &outcome.reason);
  if (!outcome.loaded) {
    messages.ShowMessage(texts_.Text("MAIN_PROMPT_INPORT"));
    return outcome;
  }
  outcome.applied = InstallAndApply(std::move(image));
  outcome.differences = LastReadBack().differences;
  return outcome;
}

bool ProfileService::InstallAndApply(keys::StoreImage image) {
  const DeviceFacts facts = facts_();
  // No capacity: the keyboard could not be asked (it went away, or never answered). Said
  // as such, not as macros that do not fit into no room at all.
  if (facts.macroCapacity == 0) {
    sink_.ShowMessage(texts_.Text("MAIN_NO_DEVICE_PROMPT"));
    return false;
  }
  keys::ApplyRequest request;
  request.allProfiles = true;
  request.factory = facts.factory;
  request.macroCapacity = facts.macroCapacity;
  device::Verification readBack;
  const auto workingBefore = KeepWorkingCopy();
  RecordedWrite recorded(recorder_, kKeysPart);
  const bool applied = keys::ApplyStoreToDevice(editing_, applied_, request, commands_, texts_, sink_,
                                                [&](keys::EditingStore::Lock& lock) {
                                                  EmptyEditingStore(lock);
                                                  lock.Image() = std::move(image);
                                                  SaveWorkingCopy(lock);
                                                },
                                                &readBack);
  if (!applied) PutBackWorkingCopy(workingBefore);
  NoteReadBack(std::move(readBack));
  if (recorder_ != nullptr) {
    const keys::StoreImage sent = AppliedImage();
    recorded.Done(applied, &sent);
  }
  return applied;
}

keys::StoreImage ProfileService::AppliedImage() {
  keys::EditingStore::Lock editing(editing_);
  keys::AppliedStore::Lock applied(applied_, editing);
  return applied.Image();
}

bool ProfileService::BackupToFile(const std::filesystem::path& path, std::string* why) {
  if (!editsPending_ || !editsPending_()) {
    keys::EditingStore::Lock lock(editing_);
    return SaveProfileImage(path, lock.Image(), hook_, why);
  }
  keys::StoreImage image;
  if (!LastKnownImage(image)) image.table = DefaultAssignmentTable();
  return SaveProfileImage(path, image, hook_, why);
}

bool ProfileService::BackupFromDialog(const std::filesystem::path& path) {
  const bool ok = BackupToFile(path);
  sink_.ShowMessage(texts_.Text(ok ? kBackupSucceeded : kBackupFailed));
  return ok;
}

}  // namespace vantrel::profiles
