// The device stack and the language texts both programs work with: the backend chosen by
// the global options (the virtual keyboard with its state file and fault plan, or real
// hardware through hidapi), the trace decorator when asked, the transaction link and the
// command set; and the language texts with the --language override for this run only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <atomic>
#include <chrono>

#include "core/device/commands.h"
#include "core/device/device_link.h"
#include "core/device/tracing_service.h"
#include "core/text/language.h"
#include "core/text/settings_store.h"
#include <string_view>

namespace vantrel::sim {
class SimulatedHidService;
class VirtualKeyboard;
}  // namespace vantrel::sim

namespace vantrel::stack {

class SharedKeyboard;

// How long a run waits for another run on the same virtual keyboard state to finish.
inline constexpr std::chrono::milliseconds kSimLockWait{60000};
// How long a bracket or read sequence waits for another program that has the keyboard
// before it fails as busy.
inline constexpr std::chrono::milliseconds kKeyboardLockWait{15000};

struct StackOptions {
  bool simulate = false;
  std::string simStatePath;  // empty: the default file
  std::string simFault;
  std::string simQuirk;  // --sim-quirk: KIND[,KIND...]
  std::string tracePath;
  std::optional<std::uint32_t> languageId;  // --language: this run only, not stored
  // A run of vantrelctl keeps the virtual keyboard's lock from loading its state file to
  // saving it, so two runs at once take turns and neither loses the other's changes. The
  // GUI runs for a long time: it takes the lock only for each bracket or read sequence
  // (reading the state file first when another program changed it, writing it after a
  // change), so vantrelctl can use the keyboard meanwhile.
  bool holdSimLockForRun = true;
  // Latency of the virtual keyboard's USB model; unset: its default (one 1 ms frame).
  std::optional<std::chrono::microseconds> simLatency;
};

// The answer to a virtual-keyboard event asked for by name.
enum class SimEventResult { Done, Unknown, NotSimulating };

// Why Open() failed: the options were wrong (usage) or no backend could be had.
enum class OpenFailure { None, Usage, Backend };

class DeviceStack {
 public:
  DeviceStack();
  ~DeviceStack();
  DeviceStack(const DeviceStack&) = delete;
  DeviceStack& operator=(const DeviceStack&) = delete;

  // Builds the stack once; later calls return the first outcome. On failure `error`
  // holds one line naming what is missing.
  bool Open(const StackOptions& options, std::string* error, OpenFailure* failure = nullptr);
  bool IsOpen() const { return link_ != nullptr; }

  device::DeviceLink& Link() { return *link_; }
  device::CommandSet& Commands() { return *commands_; }
  // The service under the link (the tracer when tracing).
  device::HidService& Service() { return *top_; }
  // The virtual keyboard's service behind --simulate, or nullptr.
  sim::SimulatedHidService* Simulator() { return simService_.get(); }
  sim::VirtualKeyboard* Keyboard() { return simService_ ? keyboard_.get() : nullptr; }
  bool Simulating() const { return simService_ != nullptr; }
  // Makes the virtual keyboard report an event as the keyboard would: "unplug", "plug",
  // "g-layer", "indicator-on", "indicator-off", "lighting-changed", or "reset" (its memory
  // back to the factory state, as a keyboard that lost its configuration). Returns once
  // the event has been delivered.
  SimEventResult SendSimEvent(std::string_view name);
  std::filesystem::path SimStatePath() const;

  // Writes the virtual keyboard's state file now (nothing without --simulate). Safe while
  // the service runs: the model is read under the service's own lock. The first failure
  // (a read-only state file, a full disk) is also told on stderr, once until a save
  // succeeds again: the program saves after every change and would otherwise lose them
  // all without a word.
  bool SaveSimState(std::string* error);

  // The keyboard as shared with other programs (its lock and generation); null before Open
  // succeeded.
  SharedKeyboard* Shared() { return shared_.get(); }

  // Tears the stack down; the virtual keyboard's state is saved when it was used.
  // Returns false (with the message) when that save failed.
  bool Close(std::string* error);

 private:
  StackOptions options_;
  bool opened_ = false;
  std::string openError_;
  OpenFailure openFailure_ = OpenFailure::None;

  std::unique_ptr<sim::VirtualKeyboard> keyboard_;
  std::unique_ptr<sim::SimulatedHidService> simService_;
  std::unique_ptr<device::HidService> hardware_;
  device::HidService* top_ = nullptr;
  std::unique_ptr<device::TracingHidService> tracer_;
  std::unique_ptr<device::DeviceLink> link_;
  std::unique_ptr<device::CommandSet> commands_;
  std::unique_ptr<SharedKeyboard> shared_;
  std::atomic<bool> saveFailureTold_{false};
};

// The language texts: the files beside the executable, the language id stored as
// "dwLanguageId" (or the override, never stored), the system language from the locale.
// (Kept free of Qt headers: vantrelctl's sources use names that Qt defines as macros.)
class ProgramTexts {
 public:
  // settingsFile: an INI file instead of the program's settings key (tests); empty: the key.
  ProgramTexts(const std::filesystem::path& programFolder, std::optional<std::uint32_t> languageOverride,
               const std::filesystem::path& settingsFile = {});
  ~ProgramTexts();
  ProgramTexts(const ProgramTexts&) = delete;
  ProgramTexts& operator=(const ProgramTexts&) = delete;

  const text::LanguageTexts& Texts() const;
  // The settings the language lookup reads and writes (with the override on top).
  text::SettingsStore& Settings();
  bool Overridden() const { return overridden_; }

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
  bool overridden_ = false;
};

// The program folder: where the language files, skins and help lie.
std::filesystem::path ProgramFolder();

}  // namespace vantrel::stack
