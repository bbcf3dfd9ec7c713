#include "core/profiles/firmware_update.h"

#include <system_error>

namespace vantrel::profiles {

bool StartUpdate(std::string& updaterPath, device::CommandSet& commands, ProgramLauncher& launcher,
                 text::MessageSink& sink) {
  std::error_code ec;
  const std::filesystem::path program(updaterPath);
  if (updaterPath.empty() || !std::filesystem::exists(program, ec) || std::filesystem::is_directory(program, ec)) {
    sink.ShowMessage(kUpdateFileMissing);
    return false;
  }
  if (commands.CmdEnterBoot() != 1) {
    sink.ShowMessage(kUpdateNoBootMode);
    return false;
  }
  const bool started = launcher.Launch(program);
  updaterPath.clear();
  if (!started) sink.ShowMessage(kUpdateCannotRun);
  return started;
}

}  // namespace vantrel::profiles
