// The hand-over to an external firmware updater and the fixed texts of the update dialog.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/device/commands.h"
#include "core/text/text_source.h"

namespace vantrel::profiles {

// Fixed texts of the update dialog (not language texts).
inline constexpr std::string_view kUpdateFileMissing = "请选择正确的更新文件! ";
inline constexpr std::string_view kUpdateNoBootMode = "无法进入Boot模式! ";
inline constexpr std::string_view kUpdateCannotRun = "无法执行更新文件! ";
inline constexpr std::string_view kBackupSucceeded = "备份成功!";
inline constexpr std::string_view kBackupFailed = "备份失败,请重新备份!";

// What follows kUpdateCannotRun when the start failed after the boot request.
inline constexpr std::string_view kUpdateStillInBootMode =
    "The keyboard is now in boot mode and does not work as a keyboard: unplug it and plug it in again, or run "
    "the updater again.";

// Starts a program detached from this one; the GUI and vantrelctl implement it.
class ProgramLauncher {
 public:
  virtual ~ProgramLauncher() = default;
  // Empty when the file can be started on this machine; otherwise why not, as a phrase to
  // follow its path ("is not executable", "is a program for another machine"). Asked
  // before the keyboard is sent to boot mode, which only the updater brings it out of.
  virtual std::string StartProblem(const std::filesystem::path& program) = 0;
  // True when the program started.
  virtual bool Launch(const std::filesystem::path& program) = 0;
};

// The message that refuses the chosen updater before anything is sent, or empty when it
// can be started: "请选择正确的更新文件! " alone when no file is chosen or it does not
// exist, followed by a line with the path and the launcher's reason otherwise.
std::string UpdaterRefusal(const std::string& updaterPath, ProgramLauncher& launcher);

// The hand-over to the firmware updater: the file must be one the launcher can start
// (UpdaterRefusal), the keyboard is asked to enter boot mode (the write must give exactly
// 1), then the program is started and the path cleared. True when the updater started
// (the dialog closes); every failure shows its fixed text. After a failed start the
// keyboard stays in boot mode, and the message says what brings it back.
bool StartUpdate(std::string& updaterPath, device::CommandSet& commands, ProgramLauncher& launcher,
                 text::MessageSink& sink);

}  // namespace vantrel::profiles
