#include "platform/executable_path.h"

#include <system_error>

#include "platform/user_paths.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vantrel::platform {

std::filesystem::path ExecutableFilePath(const char* argv0) {
  std::error_code ec;
#ifdef _WIN32
  wchar_t buffer[32768];
  const DWORD n = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
  if (n > 0 && n < std::size(buffer)) return std::filesystem::path(std::wstring(buffer, n));
#else
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec && !self.empty()) return self;
#endif
  if (argv0 == nullptr || *argv0 == '\0') return {};
  // Started through a link (an installed bin/ entry): the program's files lie beside the
  // file the link leads to, not beside the link.
  auto path = std::filesystem::weakly_canonical(argv0, ec);
  if (!ec) return path;
  path = std::filesystem::absolute(argv0, ec);
  return ec ? std::filesystem::path(argv0) : path;
}

text::AppPaths CurrentAppPaths(const char* argv0) {
  return text::BuildAppPaths(ExecutableFilePath(argv0), LocalAppDataFolder());
}

}  // namespace vantrel::platform
