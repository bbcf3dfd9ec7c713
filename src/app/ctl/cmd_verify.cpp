// verify: compares the keyboard's key tables and macro area with the working file (the
// last configuration read from or written to the keyboard) or with a profile file, and
// lists what differs.
#include <cctype>
#include <ostream>

#include "app/ctl/context.h"
#include "app/ctl/keys_common.h"
#include "app/ctl/registry.h"
#include "scripting/keyboard_tasks.h"
#include "core/profiles/profile_file.h"
#include "core/profiles/working_file.h"
#include "core/keys/device_config.h"
#include "core/keys/verify.h"
#include "core/util/regular_file.h"
#include "scripting/profile_json.h"

namespace vantrel::ctl {
namespace {

// What verify compares with, said when the file is none of those.
constexpr char kVerifyTakes[] =
    "(verify compares the keyboard with the working file, a profile file (.vnp) or a JSON document of export)\n";

bool IsJsonName(const std::filesystem::path& file) {
  std::string ext = file.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".json";
}

// The keys and macros of a JSON document (as import reads it), compared with the keyboard.
void VerifyJson(Context& ctx, const std::filesystem::path& file) {
  std::string document, why;
  keys::StoreImage image;
  std::string error;
  if (!ReadRegularFile(file, scripting::kMaxProfileJsonBytes, document, why)) {
    ctx.Err() << "cannot read " << file.string() << ": " << why << '\n';
  } else if (!scripting::ImportProfileJson(document, ctx.Texts(), image, error)) {
    ctx.Err() << file.string() << ": " << error << '\n' << kVerifyTakes;
  } else {
    document = {};
    if (!ctx.OpenWithKeyboard()) return;
    keys::DeviceConfiguration keyboard;
    const auto read = keys::ReadDeviceConfiguration(ctx.Commands(), keyboard);
    if (read != device::kDeviceOk) return ctx.DeviceFailure("reading the keyboard's configuration", read);
    const auto differences = keys::CompareImageWithKeyboard(image, keyboard, ctx.Texts());
    for (const auto& line : differences) ctx.Out() << line << '\n';
    if (differences.empty()) {
      ctx.Out() << "the keyboard holds the keys and macros of " << file.string() << '\n';
      return;
    }
  }
  ctx.SetExitCode(kExitFailed);
}

void RunVerify(Context& ctx, const std::string& fileOption) {
  const text::TextSource& texts = ctx.Texts();
  CtlMessageSink sink(ctx.Err(), false);
  const std::filesystem::path file =
      fileOption.empty() ? profiles::WorkingFilePath(UserProfilePaths()) : std::filesystem::path(fileOption);
  if (!fileOption.empty() && IsJsonName(file)) return VerifyJson(ctx, file);
  // The file is looked at before the keyboard: a file that cannot be used is said first.
  keys::StoreImage image;
  std::string reason;
  if (!scripting::LoadWholeProfileFile(file, texts, sink, image, &reason)) {
    ctx.Err() << file.string() << ": " << (reason.empty() ? std::string("cannot be read") : reason) << '\n';
    if (fileOption.empty()) {
      ctx.Err() << "(the working file; give a profile file to compare with)\n";
    } else {
      ctx.Err() << kVerifyTakes;
    }
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
      "verify",
      "Compare the keyboard's key tables and macros with the working file, a profile file or a JSON document");
  auto file = std::make_shared<std::string>();
  verify->add_option("FILE", *file,
                     "Profile file (.vnp) or JSON document of export (.json) to compare with (default: the "
                     "working file); a document's lighting is not compared");
  verify->callback([&ctx, file] { RunVerify(ctx, *file); });
});

}  // namespace
}  // namespace vantrel::ctl
