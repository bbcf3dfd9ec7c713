// The program's own console and folder, for vantrelctl.
#pragma once

#include <filesystem>

namespace vantrel::platform {

// True when standard output is a terminal (colour output may be used).
bool StdoutIsTerminal();

// The folder of the running executable (its data files lie beside it); the current
// folder when it cannot be found.
std::filesystem::path ExecutableFolder();

}  // namespace vantrel::platform
