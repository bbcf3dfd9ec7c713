// Starting another program detached from this one (the firmware updater), and the
// folder this program was started from.
#pragma once

#include <filesystem>
#include <string>

#include "core/profiles/firmware_update.h"

namespace vantrel::platform {

class DetachedLauncher final : public profiles::ProgramLauncher {
 public:
  // ProgramStartProblem (platform/updater_file.h).
  std::string StartProblem(const std::filesystem::path& program) override;
  // No arguments and no working folder of its own; true when the program started.
  bool Launch(const std::filesystem::path& program) override;
};

// The folder holding the running executable; the current folder when it cannot be told.
std::filesystem::path ProgramFolder();

}  // namespace vantrel::platform
