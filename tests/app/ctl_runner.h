// Runs the built vantrelctl with arguments and captures its output and exit code.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

namespace vantrel::test {

struct CtlResult {
  int code = -1;
  std::string out;  // stdout and stderr together
};

// Runs a shell command line and captures its output (stdout and stderr) and exit code.
inline CtlResult RunShell(const std::string& command) {
  CtlResult r;
  FILE* pipe = popen(("{ " + command + "; } 2>&1").c_str(), "r");
  if (pipe == nullptr) return r;
  std::array<char, 4096> buffer{};
  std::size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) r.out.append(buffer.data(), n);
  const int status = pclose(pipe);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

inline CtlResult RunCtl(const std::string& args) { return RunShell(std::string(VANTREL_BIN_DIR) + "/vantrelctl " + args); }

// A fresh folder for one test's state and trace files; the process id keeps test programs
// of other checkouts running at the same time out of it.
inline std::filesystem::path TestFolder(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() / ("vantrel-ctl-" + name + "-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace vantrel::test
