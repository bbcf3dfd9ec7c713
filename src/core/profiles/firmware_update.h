// The hand-over to an external firmware updater and the language keys of its messages.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/device/commands.h"
#include "core/text/text_source.h"

namespace vantrel::profiles {

// Language keys of the update dialog's messages.
inline constexpr std::string_view kUpdateFileMissing = "UPDATE_FILE_MISSING";
inline constexpr std::string_view kUpdateNoBootMode = "UPDATE_NO_BOOT_MODE";
inline constexpr std::string_view kUpdateCannotRun = "UPDATE_CANNOT_RUN";
// What follows the text of kUpdateCannotRun when the start failed after the boot request.
inline constexpr std::string_view kUpdateStillInBootMode = "UPDATE_STILL_IN_BOOT_MODE";
inline constexpr std::string_view kBackupSucceeded = "UPDATE_BACKUP_DONE";
inline constexpr std::string_view kBackupFailed = "UPDATE_BACKUP_FAILED";

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
// can be started: the text of kUpdateFileMissing alone when no file is chosen or it does
// not exist, followed by a line with the path and the launcher's reason otherwise.
std::string UpdaterRefusal(const std::string& updaterPath, ProgramLauncher& launcher, const text::TextSource& texts);

// The hand-over to the firmware updater: the file must be one the launcher can start
// (UpdaterRefusal), the keyboard is asked to enter boot mode (the write must give exactly
// 1), then the program is started and the path cleared. True when the updater started
// (the dialog closes); every failure shows its language text. After a failed start the
// keyboard stays in boot mode, and the message says what brings it back.
bool StartUpdate(std::string& updaterPath, device::CommandSet& commands, ProgramLauncher& launcher,
                 const text::TextSource& texts, text::MessageSink& sink);

}  // namespace vantrel::profiles
