// How an operation asked for by a script ends, and the words of each refusal. The
// program's scripting interface returns these as its errors and vantrelctl turns them
// back into its messages and exit codes, so both say the same thing the same way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/device/commands.h"
#include "core/device/read_back.h"
#include "core/profiles/edit_session.h"

namespace vantrel::scripting {

enum class ScriptError {
  None,
  NoKeyboard,       // no keyboard is connected: nothing was sent
  InvalidArgument,  // an argument is outside what is accepted: nothing was sent
  Device,           // the keyboard did not carry out a command or holds something else
  Busy,             // a page is open or unapplied edits would be lost: nothing was done
};

struct ScriptOutcome {
  ScriptError error = ScriptError::None;
  std::string message;  // empty on success
  bool Ok() const { return error == ScriptError::None; }
};

// The last part of the error's name: "NoKeyboard", "InvalidArgument", "Device", "Busy".
std::string_view ErrorName(ScriptError error);
// The error a name's last part stands for; None for names it does not know.
ScriptError ErrorOfName(std::string_view name);

ScriptOutcome NoKeyboard();
// The program is closing: it takes no more work.
ScriptOutcome Closing();
// The computer is going to sleep or sleeping: no device work is taken until it resumes
// (a call held until then would run long after its caller stopped waiting).
ScriptOutcome Sleeping();
// "ARGUMENT: REASON", the reason giving what is accepted.
ScriptOutcome InvalidArgument(std::string_view argument, std::string_view reason);
// "ARGUMENT: VALUE is outside FIRST..LAST".
ScriptOutcome OutOfRange(std::string_view argument, long long value, int first, int last);

// Busy when the session's one rule for acting unasked (profiles::ObstacleToActing, as a
// request) finds something in the way: a key page open, the keyboard's return not yet
// answered, unapplied edits, the profile manager's changes. A switch, a restore or an
// import would lose them or act under an open editor. None when nothing stands in the way.
ScriptOutcome BusyOutcome(const profiles::SessionFacts& facts);
// The words of one obstacle; None for Obstacle::None.
ScriptOutcome BusyOutcome(profiles::Obstacle obstacle);

// The outcome of a device operation that returned false: the command the keyboard did
// not carry out since `failuresBefore` (CommandSet::LastFailure().count taken before the
// operation), else what the read-back found, else that `operation` failed.
ScriptOutcome DeviceOutcome(std::string_view operation, std::uint64_t failuresBefore,
                            const device::CommandFailure& failure, const device::Verification& readBack);

}  // namespace vantrel::scripting
