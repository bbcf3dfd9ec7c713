// profile: show or switch the keyboard's active on-board profile.
#include <array>
#include <atomic>
#include <ostream>

#include "app/ctl/context.h"
#include "app/ctl/keys_common.h"
#include "app/ctl/registry.h"
#include "core/profiles/profile_service.h"

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
  // The record is written back whole with only byte 10 changed, by the one switch the
  // program uses too (same range rule).
  std::atomic<int> cache{state[kStateActiveProfile]};
  keys::EditingStore editing;
  keys::AppliedStore applied;
  CtlMessageSink sink(ctx.Err(), false);
  profiles::ProfileService service(ctx.Commands(), editing, applied, cache, profiles::ProfilePaths{}, ctx.Texts(), sink);
  if (!service.SetActiveProfile(wanted)) {
    const auto readBack = service.LastReadBack();
    if (readBack.Failed()) return ctx.ReadBackFailure(readBack.differences);
    ctx.Err() << "the keyboard did not switch to profile " << wanted << '\n';
    ctx.SetExitCode(kExitFailed);
    return;
  }
  ctx.Out() << "active profile: " << wanted << '\n';
}

const CommandGroup kProfileCommands(20, [](CLI::App& app, Context& ctx) {
  auto* profile = app.add_subcommand("profile", "Show the active on-board profile, or switch to profile N (0..2)");
  auto* n = profile->add_option("N", "Profile to make active (0, 1 or 2)")->check(CLI::Range(0, 2));
  profile->callback([&ctx, n] { RunProfile(ctx, n->count() ? n->as<int>() : -1); });
});

}  // namespace
}  // namespace vantrel::ctl
