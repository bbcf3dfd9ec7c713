#include "platform/updater_file.h"

#include <system_error>

namespace vantrel::platform {

#ifdef _WIN32
const char* UpdaterFileFilter() { return "MyType Files (*.exe)"; }
const char* UpdaterDefaultSuffix() { return "exe"; }
const char* UpdaterInitialName() { return "*.exe"; }
#else
const char* UpdaterFileFilter() { return "MyType Files (*)"; }
const char* UpdaterDefaultSuffix() { return ""; }
const char* UpdaterInitialName() { return ""; }
#endif

bool IsStartableProgram(const std::filesystem::path& path) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::is_regular_file(status)) return false;
#ifdef _WIN32
  return true;
#else
  using std::filesystem::perms;
  return (status.permissions() & (perms::owner_exec | perms::group_exec | perms::others_exec)) != perms::none;
#endif
}

}  // namespace vantrel::platform
