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

// Starts a program detached from this one; the GUI and vantrelctl implement it.
class ProgramLauncher {
 public:
  virtual ~ProgramLauncher() = default;
  virtual bool Launch(const std::filesystem::path& program) = 0;
};

// The hand-over to the firmware updater: the file must exist, the keyboard is asked to
// enter boot mode (the write must give exactly 1), then the program is started and the
// path cleared. True when the updater started (the dialog closes); every failure shows
// its fixed text. After a failed start the keyboard stays in boot mode.
bool StartUpdate(std::string& updaterPath, device::CommandSet& commands, ProgramLauncher& launcher,
                 text::MessageSink& sink);

}  // namespace vantrel::profiles
