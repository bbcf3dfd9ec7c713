// Which files the update dialog offers and accepts as the firmware updater: Windows
// programs on Windows, any program this machine can run elsewhere.
#pragma once

#include <filesystem>
#include <string>

namespace vantrel::platform {

// The file pattern the chooser offers (its name is a language text), its default
// extension and the initial text of its file-name field.
const char* UpdaterFilePattern();
const char* UpdaterDefaultSuffix();
const char* UpdaterInitialName();

// Empty when the file can be started here; otherwise why not, as a phrase to follow the
// path. Off Windows: a regular file this user may execute that is either an ELF program
// for this machine (word size, byte order and processor) or a script whose "#!"
// interpreter passes the same check. Only the first 256 bytes are read.
std::string ProgramStartProblem(const std::filesystem::path& path);
bool IsStartableProgram(const std::filesystem::path& path);

}  // namespace vantrel::platform
