// verify: compares the keyboard's key tables and macro area with the working file (the
// last configuration read from or written to the keyboard) or with a profile file, and
// lists what differs.
#include <ostream>

#include "app/ctl/context.h"
#include "app/ctl/keys_common.h"
#include "app/ctl/registry.h"
#include "core/keys/device_config.h"
#include "core/keys/verify.h"
#include "core/profiles/profile_file.h"
#include "core/profiles/working_file.h"

namespace vantrel::ctl {
namespace {

void RunVerify(Context& ctx, const std::string& fileOption) {
  const text::TextSource& texts = ctx.Texts();
  CtlMessageSink sink(ctx.Err(), false);
  const std::filesystem::path file =
      fileOption.empty() ? profiles::WorkingFilePath(UserProfilePaths()) : std::filesystem::path(fileOption);
  std::string reason;
  keys::StoreImage image;
  if (profiles::ValidateProfileFile(file, texts, sink, &reason) != profiles::kProfileValid ||
      !profiles::LoadProfileImage(file, image, &reason)) {
    ctx.Err() << file.string() << ": " << (reason.empty() ? std::string("cannot be read") : reason) << '\n';
    if (fileOption.empty()) ctx.Err() << "(the working file; give a profile file to compare with)\n";
    ctx.SetExitCode(kExitFailed);
    return;
  }
  if (!ctx.OpenWithKeyboard()) return;
  keys::DeviceConfiguration keyboard;
  const device::DeviceResult r = keys::ReadDeviceConfiguration(ctx.Commands(), keyboard);
  if (r != device::kDeviceOk) return ctx.DeviceFailure("reading the keyboard's configuration", r);
  const auto differences = keys::CompareImageWithKeyboard(image, keyboard, texts);
  for (const auto& line : differences) ctx.Out() << line << '\n';
  if (differences.empty()) {
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
