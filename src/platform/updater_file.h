// Which files the update dialog offers and accepts as the firmware updater: Windows
// programs on Windows, any executable file elsewhere.
#pragma once

#include <filesystem>

namespace vantrel::platform {

// The chooser's filter in Qt's syntax, its default extension and the initial text of its
// file-name field.
const char* UpdaterFileFilter();
const char* UpdaterDefaultSuffix();
const char* UpdaterInitialName();

// An existing regular file that can be started (off Windows: with an execute permission
// for someone).
bool IsStartableProgram(const std::filesystem::path& path);

}  // namespace vantrel::platform
