// vantrelctl's command groups register themselves: each file under ctl/ defines a
// static CommandGroup whose function adds its subcommands to the CLI.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <vector>

namespace vantrel::ctl {

class Context;

// Exit codes of every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;      // the operation failed (message on stderr)
inline constexpr int kExitUsage = 2;       // usage error
inline constexpr int kExitNoKeyboard = 3;  // no keyboard present

using AddCommands = std::function<void(CLI::App& app, Context& context)>;

struct CommandGroup {
  CommandGroup(int order, AddCommands add);
};

// The registered groups, in ascending order.
const std::vector<std::pair<int, AddCommands>>& CommandGroups();

// Parses argv, runs the chosen command and returns the exit code.
int RunCtl(int argc, char** argv);

}  // namespace vantrel::ctl
