// vantrelctl started through a link in another folder (as bin/vantrelctl of an installed
// tree) reads its language files from beside the program the link leads to.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "ctl_runner.h"

namespace vantrel::test {
namespace {

namespace fs = std::filesystem;

// Runs PROGRAM from FOLDER with the working folder set there.
CtlResult RunIn(const fs::path& folder, const fs::path& program, const std::string& args) {
  const std::string command = "cd '" + folder.string() + "' && '" + program.string() + "' " + args + " 2>&1";
  CtlResult r;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return r;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) r.out.append(buffer, n);
  const int status = pclose(pipe);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST(ProgramLink, FindsTheDataBesideTheLinkedProgramFromAnyFolder) {
  const fs::path dir = TestFolder("program-link");
  fs::create_directories(dir / "bin");
  fs::create_directories(dir / "elsewhere");
  const fs::path real = fs::path(VANTREL_BIN_DIR) / "vantrelctl";
  fs::create_symlink(real, dir / "bin" / "vantrelctl");
  const std::string sim = "--simulate='" + (dir / "state.json").string() + "' ";
  ASSERT_EQ(RunIn(dir / "elsewhere", dir / "bin" / "vantrelctl", sim + "sim unplug").code, 0);

  // Without a keyboard the command prints the French text of the language file that lies
  // beside the real program.
  const std::string args = sim + "--language 1036 profile";
  const CtlResult linked = RunIn(dir / "elsewhere", dir / "bin" / "vantrelctl", args);
  EXPECT_EQ(linked.code, 3);
  EXPECT_NE(linked.out.find("Aucun clavier"), std::string::npos) << linked.out;

  // The same program copied away from its data finds no text: the check above depends on
  // where the program looks.
  fs::copy_file(real, dir / "bin" / "copied");
  const CtlResult copied = RunIn(dir / "elsewhere", dir / "bin" / "copied", args);
  EXPECT_EQ(copied.out.find("Aucun clavier"), std::string::npos) << copied.out;
}

}  // namespace
}  // namespace vantrel::test
