// What a vantrelctl command works with: the HID service stack chosen by the global
// options (virtual keyboard or real hardware, with the trace decorator when asked), the
// transaction link and the command set, set up on first use.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/device/commands.h"
#include "core/device/device_link.h"
#include "core/text/text_source.h"
#include "platform/dbus_client.h"
#include "sim/simulated_hid_service.h"
#include "sim/virtual_keyboard.h"
#include "stack/device_stack.h"
#include "core/lighting/key_colours.h"
#include "core/profiles/history_store.h"
#include "scripting/history_recorder.h"

namespace vantrel::ctl {

using GlobalOptions = stack::StackOptions;

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

  device::DeviceLink& Link() { return stack_.Link(); }
  device::CommandSet& Commands() { return stack_.Commands(); }
  // The virtual keyboard behind --simulate, or nullptr.
  sim::SimulatedHidService* Simulator() { return stack_.Simulator(); }
  sim::VirtualKeyboard* Keyboard() { return stack_.Keyboard(); }
  std::filesystem::path SimStatePath() const;

  // Prints "OPERATION failed: RESULT IN WORDS" and sets exit code 1.
  void DeviceFailure(std::string_view operation, device::DeviceResult result);
  // "the keyboard does not hold what was written:" and the differences read back, one
  // per line, on stderr; exit code 1. Nothing when the list is empty.
  void ReadBackFailure(const std::vector<std::string>& differences);
  // The keyboard's configuration (macro area and key tables) was not written as a whole:
  // says whether it was written in part (a write command failed after others went
  // through: the keyboard went away or stopped answering in the middle) or not at all,
  // judged by the failures noted since `failuresBefore`; exit code 1.
  void ConfigurationNotWritten(std::uint64_t failuresBefore);

  // The running program, when it owns the bus name and drives the same keyboard as this
  // run would (the same virtual keyboard state file, or real hardware on both sides): the
  // commands it covers then go through it, so that only one process talks to the
  // keyboard. Null with --direct, with --sim-fault or --sim-quirk (this run's own) and
  // when no such program runs. Asked once.
  platform::ProgramBus* Program();
  void SetDirect(bool direct) { direct_ = direct; }
  // Before keys or macros are written by this run itself: true when no program drives the
  // same keyboard, or when it has nothing a write would pass over. Asked even with
  // --direct, --sim-fault or --sim-quirk: the window's unapplied edits are never written
  // over unasked.
  // Otherwise its refusal (.Busy: exit 1) on stderr and false; nothing has been sent.
  bool ProgramLetsWrite();
  // --direct, --sim-fault or --sim-quirk: requests go to the keyboard, not through the program.
  bool TalksToTheKeyboardItself() const;
  // An answer of the program: true on success; otherwise its message on stderr and the
  // exit code of the error (no keyboard 3, invalid argument 2, anything else 1).
  bool ProgramAnswered(const platform::BusAnswer& answer);

  // The history of the keyboard's configurations, and the recorder every write of this
  // run goes through (set up on first use; null while the context is not open: nothing of
  // this run talks to the keyboard then).
  profiles::HistoryStore& History();
  scripting::HistoryRecorder* Recorder();
  // The recorder's warning, when the last write's entry could not be kept, on stderr.
  void ReportHistoryWarning();

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
  stack::DeviceStack stack_;
  std::unique_ptr<stack::ProgramTexts> texts_;
  bool direct_ = false;
  bool programAsked_ = false;
  std::unique_ptr<platform::ProgramBus> program_;
  std::unique_ptr<profiles::HistoryStore> history_;
  std::unique_ptr<lighting::KeyColourEditor> historyColours_;
  std::unique_ptr<scripting::HistoryRecorder> recorder_;
};

}  // namespace vantrel::ctl
