// verify: compares the keyboard's key tables and macro area with the working file (the
// last configuration read from or written to the keyboard) or with a profile file, and
// lists what differs.
#include <ostream>

#include "app/ctl/context.h"
#include "app/ctl/keys_common.h"
#include "app/ctl/registry.h"
#include "scripting/keyboard_tasks.h"
#include "core/profiles/profile_file.h"
#include "core/profiles/working_file.h"

namespace vantrel::ctl {
namespace {

void RunVerify(Context& ctx, const std::string& fileOption) {
  const text::TextSource& texts = ctx.Texts();
  CtlMessageSink sink(ctx.Err(), false);
  const std::filesystem::path file =
      fileOption.empty() ? profiles::WorkingFilePath(UserProfilePaths()) : std::filesystem::path(fileOption);
  // The file is looked at before the keyboard: a file that cannot be used is said first.
  keys::StoreImage image;
  std::string reason;
  if (!scripting::LoadWholeProfileFile(file, texts, sink, image, &reason)) {
    ctx.Err() << file.string() << ": " << (reason.empty() ? std::string("cannot be read") : reason) << '\n';
    if (fileOption.empty()) ctx.Err() << "(the working file; give a profile file to compare with)\n";
    ctx.SetExitCode(kExitFailed);
    return;
  }
  // The program compares with its working file, the same one this run would use.
  auto* program = fileOption.empty() ? ctx.Program() : nullptr;
  if (program) {
    const auto answer = program->Call("Verify");
    if (!ctx.ProgramAnswered(answer)) return;
    const auto* lines = answer.values.empty() ? nullptr : std::get_if<std::vector<std::string>>(&answer.values[0]);
    for (const auto& line : lines ? *lines : std::vector<std::string>{}) ctx.Out() << line << '\n';
    if (!lines || lines->empty()) {
      ctx.Out() << "the keyboard holds what " << file.string() << " holds\n";
    } else {
      ctx.SetExitCode(kExitFailed);
    }
    return;
  }
  if (!ctx.OpenWithKeyboard()) return;
  const scripting::Comparison c = scripting::CompareKeyboardWithFile(ctx.Commands(), file, texts, sink);
  if (c.read != device::kDeviceOk) return ctx.DeviceFailure("reading the keyboard's configuration", c.read);
  if (!c.fileLoaded) {
    ctx.Err() << file.string() << ": " << c.reason << '\n';
    ctx.SetExitCode(kExitFailed);
    return;
  }
  for (const auto& line : c.differences) ctx.Out() << line << '\n';
  if (c.differences.empty()) {
    ctx.Out() << "the keyboard holds what " << file.string() << " holds\n";
  } else {
    ctx.SetExitCode(kExitFailed);
  }
}

const CommandGroup kVerifyCommands(27, [](CLI::App& app, Context& ctx) {
  auto* verify = app.add_subcommand(
      "verify", "Compare the keyboard's key tables and macros with the working file or a profile file");
  auto file = std::make_shared<std::string>();
  verify->add_option("FILE", *file, "Profile file to compare with (default: the working file)");
  verify->callback([&ctx, file] { RunVerify(ctx, *file); });
});

}  // namespace
}  // namespace vantrel::ctl
