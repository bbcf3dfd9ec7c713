// The running program's own file, for building the program paths.
#pragma once

#include <filesystem>

#include "core/text/app_paths.h"

namespace vantrel::platform {

// The executable's full path with links resolved (Linux: /proc/self/exe); argv0 made
// absolute and resolved when the system cannot tell.
std::filesystem::path ExecutableFilePath(const char* argv0 = nullptr);

// The program's paths: beside ExecutableFilePath(argv0), per-user files under
// LocalAppDataFolder().
text::AppPaths CurrentAppPaths(const char* argv0 = nullptr);

}  // namespace vantrel::platform
