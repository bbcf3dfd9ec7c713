// The keyboard as shared between programs: the lock file of the keyboard taken around
// every bracket and read sequence (through the link), the generation number advanced
// after every change, and for the virtual keyboard the state file kept in step with the
// lock: read again when another program changed it, written when this one did.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

#include "core/device/device_link.h"
#include "platform/keyboard_lock.h"

namespace vantrel::sim {
class SimulatedHidService;
class VirtualKeyboard;
}  // namespace vantrel::sim

namespace vantrel::stack {

class SharedKeyboard final : public device::SharedAccess {
 public:
  // `wait`: how long a bracket waits for another program before it is refused as busy.
  // `lockMode`: the permissions the lock files are created with (platform::KeyboardLock).
  SharedKeyboard(std::filesystem::path lockPath, std::chrono::milliseconds wait,
                 unsigned lockMode = platform::kPrivateLockMode);
  ~SharedKeyboard() override;

  // ---- the virtual keyboard's state file ------------------------------------------------
  // Takes the lock (waiting up to `wait`) before the state file is loaded.
  bool TakeForOpen(std::chrono::milliseconds wait, std::string* why);
  // Under that lock: loads the state file into `keyboard`. With `holdForRun` the lock stays
  // taken until CloseSim (vantrelctl: the whole command is one turn); otherwise it is given
  // back now and taken per bracket. The lock is given back when the load fails.
  bool LoadSim(const std::filesystem::path& statePath, sim::VirtualKeyboard& keyboard, bool holdForRun,
               std::string* why);
  // The service over the loaded keyboard: from now on the state is read and written
  // through it.
  void AttachSimulator(sim::SimulatedHidService* service) { service_ = service; }
  // While the keyboard is held (DeviceLink::Hold): writes the state file now. The model
  // is current, as taking the keyboard read the file again if another program changed it.
  // Advances the generation when the state differs from what was last read or written.
  bool SaveHeld(std::string* error);
  // Held for the run: the last save (always written) and the lock given back. False with
  // the reason when the save failed.
  bool CloseSim(const sim::VirtualKeyboard& keyboard, std::string* error);
  bool HeldForRun() const { return heldForRun_; }

  // ---- device::SharedAccess --------------------------------------------------------------
  bool Take(bool mayWait) override;
  void Give(bool wrote) override;

  // How many times this program found, on taking the keyboard, that another program had
  // changed it since its own last turn. A view of the keyboard is current when it was
  // read after the count it remembers.
  std::uint64_t ForeignChanges() const { return foreignChanges_.load(); }
  std::uint64_t FileGeneration() const { return lock_.Generation(); }
  const std::filesystem::path& GenerationPath() const { return lock_.GenerationPath(); }
  const std::filesystem::path& LockPath() const { return lock_.LockPath(); }
  // Why the last Take failed.
  std::string LastRefusal() const;

 private:
  // Under the lock: counts a change of another program, and reads the virtual keyboard's
  // state file again then.
  bool FollowOtherPrograms(std::string* why);
  // Under the lock: writes `json` when it differs from the last state read or written
  // (`always`: in any case), then advances the generation when it differed.
  bool WriteState(const std::string& json, bool always, std::string* why);
  void Advance();
  void Log(const char* what);

  platform::KeyboardLock lock_;
  std::chrono::milliseconds wait_;
  bool heldForRun_ = false;
  std::uint64_t lastKnown_ = 0;  // the generation after this program's last turn
  std::atomic<std::uint64_t> foreignChanges_{0};

  // The virtual keyboard, when that is the keyboard.
  std::filesystem::path statePath_;
  sim::SimulatedHidService* service_ = nullptr;
  std::string baseline_;      // the state as last read or written

  mutable std::mutex refusalMutex_;
  std::string refusal_;
  std::ofstream log_;  // VANTREL_LOCK_LOG: one line per turn taken or given back
};

}  // namespace vantrel::stack
