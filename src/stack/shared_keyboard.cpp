#include "stack/shared_keyboard.h"

#include <cstdlib>

#include "sim/sim_state.h"
#include "sim/simulated_hid_service.h"
#include "sim/virtual_keyboard.h"

namespace vantrel::stack {

SharedKeyboard::SharedKeyboard(std::filesystem::path lockPath, std::chrono::milliseconds wait, unsigned lockMode)
    : lock_(std::move(lockPath), lockMode), wait_(wait) {
  // A record of every turn, for checking from outside that two programs never overlapped:
  // "PID take|give NANOSECONDS GENERATION", on the system's monotonic clock.
  if (const char* logPath = std::getenv("VANTREL_LOCK_LOG"); logPath != nullptr && *logPath != '\0') {
    log_.open(logPath, std::ios::app);
  }
  std::string ignored;
  (void)lock_.CreateGenerationFile(&ignored);  // so that it can be watched from the start
  lastKnown_ = lock_.Generation();
}

SharedKeyboard::~SharedKeyboard() = default;

void SharedKeyboard::Log(const char* what) {
  if (!log_.is_open()) return;
  const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  // One write per line: lines of several programs appending to one log stay whole.
  const std::string line = std::to_string(platform::CurrentProcessId()) + " " + what + " " + std::to_string(now.count()) + " " +
                           std::to_string(lastKnown_) + "\n";
  log_.write(line.data(), static_cast<std::streamsize>(line.size()));
  log_.flush();
}

std::string SharedKeyboard::LastRefusal() const {
  std::lock_guard lock(refusalMutex_);
  return refusal_;
}

bool SharedKeyboard::TakeForOpen(std::chrono::milliseconds wait, std::string* why) {
  if (!lock_.Acquire(wait, why)) return false;
  Log("take");
  return true;
}

bool SharedKeyboard::LoadSim(const std::filesystem::path& statePath, sim::VirtualKeyboard& keyboard, bool holdForRun,
                             std::string* why) {
  statePath_ = statePath;
  const std::uint64_t generation = lock_.Generation();
  const bool loaded = sim::LoadSimState(statePath_, keyboard, why);
  if (loaded) {
    lastKnown_ = generation;
    baseline_ = sim::SimStateJson(keyboard);
  }
  heldForRun_ = loaded && holdForRun;
  if (!heldForRun_) {
    Log("give");
    lock_.Release();
  }
  return loaded;
}

bool SharedKeyboard::FollowOtherPrograms(std::string* why) {
  const std::uint64_t generation = lock_.Generation();
  if (generation == lastKnown_) return true;
  if (service_ != nullptr && !statePath_.empty()) {
    // Another program changed the virtual keyboard: its memory is what that program left
    // in the state file.
    std::string json;
    const bool loaded = service_->ChangeKeyboard([&](sim::VirtualKeyboard& keyboard) {
      if (!sim::LoadSimState(statePath_, keyboard, why)) return false;
      json = sim::SimStateJson(keyboard);
      return true;
    });
    if (!loaded) return false;  // tried again on the next turn
    baseline_ = std::move(json);
  }
  lastKnown_ = generation;
  foreignChanges_.fetch_add(1);
  return true;
}

void SharedKeyboard::Advance() {
  std::string why;
  const std::uint64_t next = lock_.Generation() + 1;
  // Not remembered when it could not be written: the others never learn of it, and this
  // program goes on from the number they see.
  if (lock_.WriteGeneration(next, &why)) lastKnown_ = next;
}

bool SharedKeyboard::WriteState(const std::string& json, bool always, std::string* why) {
  const bool changed = json != baseline_;
  if (!changed && !always) return true;
  if (!sim::SaveSimStateJson(statePath_, json, why)) return false;
  baseline_ = json;
  if (changed) Advance();
  return true;
}

bool SharedKeyboard::Take(bool mayWait) {
  if (heldForRun_) return true;
  std::string why;
  if (!lock_.Acquire(mayWait ? wait_ : std::chrono::milliseconds(0), &why)) {
    std::lock_guard lock(refusalMutex_);
    refusal_ = why;
    return false;
  }
  Log("take");
  if (!FollowOtherPrograms(&why)) {
    // The state file another program left cannot be read: this program keeps its own
    // picture of the keyboard, and writes it out after its next change.
    std::lock_guard lock(refusalMutex_);
    refusal_ = why;
  }
  return true;
}

void SharedKeyboard::Give(bool wrote) {
  if (heldForRun_) return;
  if (service_ != nullptr && !statePath_.empty()) {
    const std::string json = service_->WithKeyboard([](const sim::VirtualKeyboard& k) { return sim::SimStateJson(k); });
    std::string why;
    (void)WriteState(json, false, &why);
  } else if (wrote) {
    Advance();
  }
  Log("give");
  lock_.Release();
}

bool SharedKeyboard::SaveHeld(std::string* error) {
  if (service_ == nullptr || statePath_.empty()) return true;
  const std::string json = service_->WithKeyboard([](const sim::VirtualKeyboard& k) { return sim::SimStateJson(k); });
  return WriteState(json, true, error);
}

bool SharedKeyboard::CloseSim(const sim::VirtualKeyboard& keyboard, std::string* error) {
  if (!heldForRun_) return true;
  const bool saved = WriteState(sim::SimStateJson(keyboard), true, error);
  heldForRun_ = false;
  Log("give");
  lock_.Release();
  return saved;
}

}  // namespace vantrel::stack
