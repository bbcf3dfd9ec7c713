#include "platform/console.h"

#include <system_error>

#if defined(_WIN32)
#include <io.h>
#include <stdio.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace vantrel::platform {

bool StdoutIsTerminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stdout)) != 0;
#else
  return isatty(STDOUT_FILENO) != 0;
#endif
}

std::filesystem::path ExecutableFolder() {
  std::error_code ec;
#if defined(_WIN32)
  wchar_t buffer[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return std::filesystem::path(buffer, buffer + n).parent_path();
#elif defined(__linux__)
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) return exe.parent_path();
#endif
  return std::filesystem::current_path(ec);
}

}  // namespace vantrel::platform
