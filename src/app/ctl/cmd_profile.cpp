// profile: show or switch the keyboard's active on-board profile.
#include <array>
#include <ostream>

#include "app/ctl/context.h"
#include "app/ctl/registry.h"

namespace vantrel::ctl {
namespace {

using namespace vantrel::device;

void RunProfile(Context& ctx, int wanted) {
  if (!ctx.OpenWithKeyboard()) return;
  std::array<std::uint8_t, kDeviceStateSize> state{};
  auto result = ctx.Commands().CmdReadDeviceState(state);
  if (result != kDeviceOk) return ctx.DeviceFailure("reading the device state", result);
  if (wanted < 0) {
    ctx.Out() << static_cast<int>(state[kStateActiveProfile]) << '\n';
    return;
  }
  // The record is written back whole with only byte 10 changed.
  state[kStateActiveProfile] = static_cast<std::uint8_t>(wanted);
  result = ctx.Commands().CmdWriteDeviceState(state);
  if (result != kDeviceOk) return ctx.DeviceFailure("switching the active profile", result);
  ctx.Out() << "active profile: " << wanted << '\n';
}

const CommandGroup kProfileCommands(20, [](CLI::App& app, Context& ctx) {
  auto* profile = app.add_subcommand("profile", "Show the active on-board profile, or switch to profile N (0..2)");
  auto* n = profile->add_option("N", "Profile to make active (0, 1 or 2)")->check(CLI::Range(0, 2));
  profile->callback([&ctx, n] { RunProfile(ctx, n->count() ? n->as<int>() : -1); });
});

}  // namespace
}  // namespace vantrel::ctl
