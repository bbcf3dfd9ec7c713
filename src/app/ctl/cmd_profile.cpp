// profile: show or switch the keyboard's active on-board profile; profile next and
// profile previous step round the three. Through the running program when it drives the
// same keyboard (its window follows), otherwise directly.
#include <array>
#include <atomic>
#include <ostream>

#include "app/ctl/context.h"
#include "app/ctl/keys_common.h"
#include "app/ctl/registry.h"
#include "core/profiles/edit_session.h"
#include "core/profiles/profile_service.h"
#include "scripting/keyboard_tasks.h"

namespace vantrel::ctl {
namespace {

using namespace vantrel::device;

// What was asked: show (no switch), a profile, or a step from the active one.
struct Wanted {
  int profile = -1;  // 0..2, or -1
  int step = 0;      // 1 next, -1 previous
};

// The program's active profile after a switch or for showing; -1 when it does not know.
int ProgramActiveProfile(Context& ctx, platform::ProgramBus& program) {
  const auto answer = program.Property("ActiveProfile");
  if (!ctx.ProgramAnswered(answer) || answer.values.empty()) return -2;
  const auto* n = std::get_if<long long>(&answer.values[0]);
  return n ? static_cast<int>(*n) : -1;
}

void RunThroughProgram(Context& ctx, platform::ProgramBus& program, Wanted wanted) {
  if (wanted.profile < 0 && wanted.step == 0) {
    const int active = ProgramActiveProfile(ctx, program);
    if (active == -2) return;
    if (active < 0) {
      ctx.Err() << "the running program does not know the active profile\n";
      ctx.SetExitCode(kExitFailed);
      return;
    }
    ctx.Out() << active << '\n';
    return;
  }
  const auto answer = wanted.step > 0   ? program.Call("NextProfile")
                      : wanted.step < 0 ? program.Call("PreviousProfile")
                                        : program.Call("SetActiveProfile", {static_cast<long long>(wanted.profile)});
  if (!ctx.ProgramAnswered(answer)) return;
  const int active = ProgramActiveProfile(ctx, program);
  if (active >= 0) ctx.Out() << "active profile: " << active << '\n';
}

void RunProfile(Context& ctx, Wanted wanted) {
  if (auto* program = ctx.Program()) return RunThroughProgram(ctx, *program, wanted);
  // A switch made here follows the program's rule too: never while its window holds work.
  const bool switching = wanted.profile >= 0 || wanted.step != 0;
  if (switching && !ctx.ProgramLetsWrite()) return;
  if (!ctx.OpenWithKeyboard()) return;
  std::array<std::uint8_t, kDeviceStateSize> state{};
  auto result = ctx.Commands().CmdReadDeviceState(state);
  if (result != kDeviceOk) return ctx.DeviceFailure("reading the device state", result);
  const int active = state[kStateActiveProfile];
  if (wanted.step != 0) wanted.profile = scripting::StepProfile(active, wanted.step);
  if (wanted.profile < 0) {
    ctx.Out() << active << '\n';
    return;
  }
  // The program's one switch, over a session of this run's own: the record is written
  // back whole with only byte 10 changed, and only when the keyboard runs another profile.
  std::atomic<int> cache{active};
  keys::EditingStore editing;
  keys::AppliedStore applied;
  CtlMessageSink sink(ctx.Err(), false);
  profiles::ProfileService service(ctx.Commands(), editing, applied, cache, profiles::ProfilePaths{}, ctx.Texts(), sink);
  profiles::EditSession session(service, editing, applied, ctx.Texts(), sink);
  const auto asked = session.SwitchAsked(wanted.profile, false);
  if (asked.result != profiles::EditSession::AskedSwitch::Result::Switched) {
    const auto readBack = service.LastReadBack();
    if (readBack.Failed()) return ctx.ReadBackFailure(readBack.differences);
    ctx.Err() << "the keyboard did not switch to profile " << wanted.profile << '\n';
    ctx.SetExitCode(kExitFailed);
    return;
  }
  ctx.Out() << "active profile: " << wanted.profile << '\n';
}

const CommandGroup kProfileCommands(20, [](CLI::App& app, Context& ctx) {
  auto* profile = app.add_subcommand("profile", "Show the active on-board profile, or switch to profile N (0..2)");
  auto* n = profile->add_option("N", "Profile to make active (0, 1 or 2)")->check(CLI::Range(0, 2));
  auto* next = profile->add_subcommand("next", "Switch to the next profile (2 is followed by 0)");
  auto* previous = profile->add_subcommand("previous", "Switch to the previous profile (0 is preceded by 2)");
  profile->callback([&ctx, profile, n] {
    if (!profile->get_subcommands().empty()) return;
    RunProfile(ctx, Wanted{n->count() ? n->as<int>() : -1, 0});
  });
  next->callback([&ctx] { RunProfile(ctx, Wanted{-1, 1}); });
  previous->callback([&ctx] { RunProfile(ctx, Wanted{-1, -1}); });
});

}  // namespace
}  // namespace vantrel::ctl
