#include "core/profiles/firmware_update.h"

#include <system_error>

namespace vantrel::profiles {

std::string UpdaterRefusal(const std::string& updaterPath, ProgramLauncher& launcher, const text::TextSource& texts) {
  std::error_code ec;
  const std::filesystem::path program(updaterPath);
  if (updaterPath.empty() || !std::filesystem::exists(program, ec)) return texts.Text(kUpdateFileMissing);
  const std::string problem = launcher.StartProblem(program);
  if (problem.empty()) return {};
  return texts.Text(kUpdateFileMissing) + "\n" + updaterPath + ": " + problem;
}

bool StartUpdate(std::string& updaterPath, device::CommandSet& commands, ProgramLauncher& launcher,
                 const text::TextSource& texts, text::MessageSink& sink) {
  // Checked before the boot request: a file that cannot be started would leave the
  // keyboard in boot mode with nothing to bring it back.
  if (const std::string refusal = UpdaterRefusal(updaterPath, launcher, texts); !refusal.empty()) {
    sink.ShowMessage(refusal);
    return false;
  }
  if (commands.CmdEnterBoot() != 1) {
    sink.ShowMessage(texts.Text(kUpdateNoBootMode));
    return false;
  }
  const bool started = launcher.Launch(std::filesystem::path(updaterPath));
  updaterPath.clear();
  if (!started) sink.ShowMessage(texts.Text(kUpdateCannotRun) + "\n" + texts.Text(kUpdateStillInBootMode));
  return started;
}

}  // namespace vantrel::profiles
