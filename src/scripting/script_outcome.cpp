#include "scripting/script_outcome.h"

#include <array>
#include <utility>

namespace vantrel::scripting {

namespace {
constexpr std::array<std::pair<ScriptError, std::string_view>, 4> kNames = {{
    {ScriptError::NoKeyboard, "NoKeyboard"},
    {ScriptError::InvalidArgument, "InvalidArgument"},
    {ScriptError::Device, "Device"},
    {ScriptError::Busy, "Busy"},
}};
}  // namespace

std::string_view ErrorName(ScriptError error) {
  for (const auto& [e, name] : kNames) {
    if (e == error) return name;
  }
  return "";
}

ScriptError ErrorOfName(std::string_view name) {
  for (const auto& [e, n] : kNames) {
    if (n == name) return e;
  }
  return ScriptError::None;
}

ScriptOutcome NoKeyboard() { return {ScriptError::NoKeyboard, "no keyboard is connected; nothing was sent"}; }

ScriptOutcome Closing() { return {ScriptError::Busy, "the program is closing"}; }

ScriptOutcome Sleeping() {
  return {ScriptError::Busy, "the computer is going to sleep; nothing was done (try again once it has resumed)"};
}

ScriptOutcome InvalidArgument(std::string_view argument, std::string_view reason) {
  return {ScriptError::InvalidArgument, std::string(argument) + ": " + std::string(reason)};
}

ScriptOutcome OutOfRange(std::string_view argument, long long value, int first, int last) {
  return InvalidArgument(argument, std::to_string(value) + " is outside " + std::to_string(first) + ".." +
                                       std::to_string(last));
}

ScriptOutcome BusyOutcome(const profiles::SessionFacts& facts) {
  return BusyOutcome(profiles::ObstacleToActing(facts, profiles::Acting::Asked));
}

ScriptOutcome BusyOutcome(profiles::Obstacle obstacle) {
  switch (obstacle) {
    case profiles::Obstacle::None: return {};
    case profiles::Obstacle::KeyPageOpen: return {ScriptError::Busy, "a key page is open; close it first"};
    case profiles::Obstacle::ArrivalUndecided:
      return {ScriptError::Busy,
              "the keyboard came back while the window held edits not applied; answer the window's question first"};
    case profiles::Obstacle::EditsPending:
      return {ScriptError::Busy, "the window holds edits not applied to the keyboard; apply or discard them first"};
    case profiles::Obstacle::ManagerChanges:
      return {ScriptError::Busy, "the profile manager holds changes not written; finish them first"};
    case profiles::Obstacle::ManagerOpen:
      return {ScriptError::Busy, "the profile manager is open; close it first"};
    case profiles::Obstacle::NotRead:
      return {ScriptError::Busy, "the keyboard's configuration has not been read yet"};
  }
  return {};
}

ScriptOutcome DeviceOutcome(std::string_view operation, std::uint64_t failuresBefore,
                            const device::CommandFailure& failure, const device::Verification& readBack) {
  if (failure.count > failuresBefore) {
    static constexpr char kHex[] = "0123456789abcdef";
    const std::string code = std::string("0x") + kHex[failure.command >> 4] + kHex[failure.command & 0xF];
    return {ScriptError::Device, std::string(operation) + ": the keyboard answered command " + code + " (" +
                                     device::CommandName(failure.command) + ") with " +
                                     std::string(device::DescribeResult(failure.result)) + " (" +
                                     std::to_string(failure.result) + ")"};
  }
  if (readBack.Failed()) {
    std::string message = std::string(operation) + ": the keyboard does not hold what was written:";
    for (const auto& line : readBack.differences) message += "\n  " + line;
    return {ScriptError::Device, message};
  }
  return {ScriptError::Device, std::string(operation) + " failed"};
}

}  // namespace vantrel::scripting
