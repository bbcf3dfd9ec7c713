// sim: look at and change the virtual keyboard behind --simulate.
#include <ostream>

#include "app/ctl/context.h"
#include "app/ctl/lighting_common.h"
#include "app/ctl/registry.h"
#include "sim/sim_state.h"

namespace vantrel::ctl {
namespace {

sim::VirtualKeyboard* OpenSimulator(Context& ctx) {
  if (!ctx.Options().simulate) {
    ctx.Err() << "the sim commands need --simulate\n";
    ctx.SetExitCode(kExitUsage);
    return nullptr;
  }
  if (!ctx.Open()) return nullptr;
  return ctx.Keyboard();
}

const CommandGroup kSimCommands(90, [](CLI::App& app, Context& ctx) {
  auto* simCmd = app.add_subcommand("sim", "The virtual keyboard (with --simulate)");
  simCmd->require_subcommand(1);
  simCmd->add_subcommand("dump", "Print the virtual keyboard's state as JSON")->callback([&ctx] {
    if (auto* k = OpenSimulator(ctx)) ctx.Out() << sim::SimStateJson(*k) << '\n';
  });
  simCmd->add_subcommand("reset", "Restore the factory state")->callback([&ctx] {
    if (auto* k = OpenSimulator(ctx)) {
      k->ResetToFactory();
      // The keyboard shows its factory key colours again, not what was sent to it.
      ColourEditor(ctx).ForgetKeyboardColours();
      ctx.Out() << "virtual keyboard reset to factory state\n";
    }
  });
  simCmd->add_subcommand("unplug", "Unplug the virtual keyboard")->callback([&ctx] {
    if (auto* k = OpenSimulator(ctx)) {
      k->SetPresent(false);
      ctx.Out() << "virtual keyboard unplugged\n";
    }
  });
  simCmd->add_subcommand("plug", "Plug the virtual keyboard in (also leaves boot mode)")->callback([&ctx] {
    if (auto* k = OpenSimulator(ctx)) {
      k->SetPresent(true);
      k->SetBootMode(false);
      ctx.Out() << "virtual keyboard plugged in\n";
    }
  });
});

}  // namespace
}  // namespace vantrel::ctl
