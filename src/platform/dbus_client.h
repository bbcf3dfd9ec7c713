// vantrelctl's side of the program's session-bus interface: whether the running program
// drives the same keyboard as this run would, and the calls that go through it. Free of
// Qt headers (vantrelctl's sources use names that Qt defines as macros).
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace vantrel::platform {

using BusScalar = std::variant<bool, long long, std::string>;
using BusDict = std::vector<std::pair<std::string, BusScalar>>;
// An argument or a result: a truth value (b), a number (i as an argument; a result of any
// integer type), a string (s), a list of strings (as), a dictionary (a{sv}; its numbers
// go out as u).
using BusValue = std::variant<std::monostate, bool, long long, std::string, std::vector<std::string>, BusDict>;

struct BusAnswer {
  bool answered = false;  // the program answered, with a result or an error
  std::string error;      // the last part of the error's name; empty on success
  std::string message;    // the error's message, or why no answer came
  std::vector<BusValue> values;
  bool Ok() const { return answered && error.empty(); }
};

// True when there is a session bus to reach: its address is set, or the runtime folder
// holds its socket. Without one the bus library would start a bus of its own (autolaunch),
// which a command-line run must never do.
bool SessionBusAddressKnown();

class ProgramBus {
 public:
  // The running program, when one owns the bus name and drives the same keyboard: with
  // `simStateFile` set, a program that simulates that same state file; with it empty, a
  // program on the real keyboard. Null otherwise, and when there is no session bus.
  static std::unique_ptr<ProgramBus> Find(const std::filesystem::path& simStateFile);
  ~ProgramBus();
  ProgramBus(const ProgramBus&) = delete;
  ProgramBus& operator=(const ProgramBus&) = delete;

  // A method of the keyboard interface; waits for its answer (the program answers when
  // the keyboard has).
  BusAnswer Call(const std::string& method, const std::vector<BusValue>& args = {});
  // A property of the keyboard interface.
  BusAnswer Property(const std::string& name);

 private:
  ProgramBus();
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace vantrel::platform
