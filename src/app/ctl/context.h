// What a vantrelctl command works with: the HID service stack chosen by the global
// options (virtual keyboard or real hardware, with the trace decorator when asked), the
// transaction link and the command set, set up on first use.
#pragma once

#include <chrono>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "core/device/commands.h"
#include "core/device/device_link.h"
#include "core/device/tracing_service.h"
#include "core/text/text_source.h"
#include "sim/simulated_hid_service.h"
#include "sim/virtual_keyboard.h"

namespace vantrel::platform {
class FileLock;
}

namespace vantrel::ctl {

struct GlobalOptions {
  bool simulate = false;
  std::string simStatePath;  // empty: the default file
  std::string simFault;
  std::string tracePath;
  std::optional<std::uint32_t> languageId;  // --language: this run only, not stored
};

class CtlTexts;

// How long a run waits for another run on the same virtual keyboard state to finish.
inline constexpr std::chrono::milliseconds kSimLockWait{60000};

class Context {
 public:
  Context(std::ostream& out, std::ostream& err);
  ~Context();

  GlobalOptions& Options() { return options_; }
  std::ostream& Out() { return out_; }
  std::ostream& Err() { return err_; }
  // The language texts (files beside the executable), set up on first use.
  const text::TextSource& Texts();

  // Sets up the service stack; false (with a message on stderr and the exit code set)
  // when no backend can be had.
  bool Open();
  // Open() and a keyboard present; otherwise a message and exit code 3.
  bool OpenWithKeyboard();

  device::DeviceLink& Link() { return *link_; }
  device::CommandSet& Commands() { return *commands_; }
  // The virtual keyboard behind --simulate, or nullptr.
  sim::SimulatedHidService* Simulator() { return simService_.get(); }
  sim::VirtualKeyboard* Keyboard() { return simulate_ ? &keyboard_ : nullptr; }
  std::filesystem::path SimStatePath() const;

  // Prints "OPERATION failed: RESULT IN WORDS" and sets exit code 1.
  void DeviceFailure(std::string_view operation, device::DeviceResult result);

  int ExitCode() const { return exitCode_; }
  void SetExitCode(int code) { exitCode_ = code; }

  // Saves the virtual keyboard's state when it was used.
  void Close();

 private:
  std::ostream& out_;
  std::ostream& err_;
  GlobalOptions options_;
  int exitCode_ = 0;
  bool opened_ = false;
  bool simulate_ = false;

  sim::VirtualKeyboard keyboard_;
  std::unique_ptr<sim::SimulatedHidService> simService_;
  std::unique_ptr<device::HidService> hardware_;  // the hidapi service for real keyboards
  device::HidService* backend_ = nullptr;
  std::unique_ptr<device::TracingHidService> tracer_;
  std::unique_ptr<device::DeviceLink> link_;
  std::unique_ptr<device::CommandSet> commands_;
  std::unique_ptr<CtlTexts> texts_;
  std::unique_ptr<platform::FileLock> simLock_;  // held from loading the state to saving it
};

}  // namespace vantrel::ctl
