#include "app/ctl/registry.h"

#include <algorithm>
#include <iostream>

#include "app/ctl/context.h"

namespace vantrel::ctl {
namespace {

std::vector<std::pair<int, AddCommands>>& Groups() {
  static std::vector<std::pair<int, AddCommands>> groups;
  return groups;
}

}  // namespace

CommandGroup::CommandGroup(int order, AddCommands add) {
  auto& groups = Groups();
  groups.emplace_back(order, std::move(add));
  std::stable_sort(groups.begin(), groups.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
}

const std::vector<std::pair<int, AddCommands>>& CommandGroups() { return Groups(); }

int RunCtl(int argc, char** argv) {
  Context context(std::cout, std::cerr);
  CLI::App app{"vantrelctl: configure the keyboard from a shell", "vantrelctl"};
  app.require_subcommand(1);
  auto& o = context.Options();
  std::string simulate;
  auto* sim = app.add_option("--simulate", simulate,
                             "Use the virtual keyboard; optional state file (default: in the user's data folder)")
                  ->expected(0, 1)
                  ->default_str("");
  app.add_option("--sim-fault", o.simFault,
                 "Faults of the virtual keyboard: KIND@N[,KIND@N...], KIND = drop|echo|ff|fe|unplug|slow|corrupt, "
                 "N = 1-based configuration request");
  app.add_option("--sim-quirk", o.simQuirk,
                 "Freedoms of the protocol the virtual keyboard uses: KIND[,KIND...], KIND = offset-zero (replies "
                 "carry offset 0)|state-noise (undefined device-state bytes change on every read)|"
                 "lighting-normalised (lighting stored in other forms of the same meaning)");
  bool direct = false;
  app.add_flag("--direct", direct,
               "Talk to the keyboard even when the running program drives it (by default the commands the "
               "program offers go through it)");
  app.add_option("--trace", o.tracePath, "Write every report that crosses the HID boundary to FILE");
  std::string language;
  app.add_option("--language", language,
                 "Language of the texts for this run only: 1033, 2052, 1028, 1036 or 3076 (not stored)")
      ->check(CLI::IsMember({"1033", "2052", "1028", "1036", "3076"}));
  app.fallthrough();
  app.parse_complete_callback([&] {
    o.simulate = sim->count() > 0;
    o.simStatePath = simulate;
    context.SetDirect(direct);
    if (!language.empty()) o.languageId = static_cast<std::uint32_t>(std::stoul(language));
  });
  for (const auto& [order, add] : CommandGroups()) add(app, context);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return e.get_exit_code() == 0 ? kExitOk : (code == 0 ? kExitOk : kExitUsage);
  }
  // Closing saves the virtual keyboard's state, which can still fail the command.
  context.Close();
  return context.ExitCode();
}

}  // namespace vantrel::ctl
