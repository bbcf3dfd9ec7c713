// Which files can be handed over as the firmware updater. A file that passes the old
// check (regular, some x bit) but cannot run left the keyboard in boot mode.
#include "platform/updater_file.h"

#include "core/text/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vantrel::platform {
namespace {

namespace fs = std::filesystem;

class UpdaterFileTest : public ::testing::Test {
 protected:
  fs::path Write(const std::string& name, const std::string& bytes, bool executable = true) {
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary) << bytes;
    fs::permissions(p, executable ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write);
    return p;
  }
  // The start of this test program: an ELF program for this machine.
  static std::string OwnElfHead() {
    std::ifstream in("/proc/self/exe", std::ios::binary);
    std::string head(64, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    return head;
  }
  // A folder of this test's own: the cases run side by side under ctest -j.
  vantrel::testing::TempDir scratch;
  const fs::path dir = scratch.Path();
};

TEST_F(UpdaterFileTest, ProgramsForThisMachineAndScriptsWithAWorkingInterpreterPass) {
  EXPECT_EQ(ProgramStartProblem("/proc/self/exe"), "");
  EXPECT_EQ(ProgramStartProblem(Write("elf", OwnElfHead())), "");
  EXPECT_EQ(ProgramStartProblem(Write("flash.sh", "#!/bin/sh\necho flashing\n")), "");
  EXPECT_EQ(ProgramStartProblem(Write("spaced.sh", "#! \t/bin/sh -e\n")), "");
  // A script whose interpreter is itself a script, as the kernel allows.
  const fs::path inner = Write("inner.sh", "#!/bin/sh\n");
  EXPECT_EQ(ProgramStartProblem(Write("outer", "#!" + inner.string() + "\n")), "");
  EXPECT_TRUE(IsStartableProgram(inner));
}

TEST_F(UpdaterFileTest, FilesThatCannotRunAreRefusedWithTheirReason) {
  std::string otherMachine = OwnElfHead();
  otherMachine[18] = static_cast<char>(otherMachine[18] ^ 0x40);
  std::string otherWordSize = OwnElfHead();
  otherWordSize[4] = static_cast<char>(otherWordSize[4] == 2 ? 1 : 2);
  std::string object = OwnElfHead();
  object[16] = 1;  // a relocatable object file
  object[17] = 0;
  fs::create_symlink("/dev/zero", dir / "zero");
  const fs::path text = Write("text", "just text\n", false);
  struct Case {
    fs::path path;
    std::string problem;
  };
  const std::vector<Case> cases = {
      {Write("noise", std::string("\x13\x37\x00\xFF random", 11)), "is neither a program nor a script starting with #!"},
      {Write("empty", ""), "is neither a program nor a script starting with #!"},
      {Write("other-machine", otherMachine), "is a program for another kind of machine"},
      {Write("other-word-size", otherWordSize), "is a program for another kind of machine"},
      {Write("object", object), "is an ELF file but not a program"},
      {Write("cut", "\x7F" "ELF\x02\x01"), "is a cut-short ELF file"},
      {Write("readme", "#!/bin/sh\n", false), "cannot be executed: Permission denied"},
      {Write("no-interpreter.sh", "#!/nonexistent/sh\n"), "is a script whose interpreter /nonexistent/sh does not exist"},
      {Write("crlf.sh", "#!/bin/sh\r\n"), "is a script whose interpreter /bin/sh\r does not exist"},
      {Write("text-interpreter.sh", "#!" + text.string() + "\n"),
       "is a script whose interpreter " + text.string() + " cannot be executed: Permission denied"},
      {Write("bare.sh", "#!   \n"), "is a script that names no interpreter"},
      {Write("self.sh", "#!" + (dir / "self.sh").string() + "\n"),
       "is a script whose interpreter " + (dir / "self.sh").string() + " is a script whose interpreter " +
           (dir / "self.sh").string() + " is a script whose interpreter " + (dir / "self.sh").string() +
           " is a script whose interpreter " + (dir / "self.sh").string() +
           " is a script whose interpreters lead too deep"},
      {dir / "zero", "is not a regular file"},
      {dir, "is a directory"},
      {dir / "missing", "does not exist"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgramStartProblem(c.path), c.problem) << c.path;
    EXPECT_FALSE(IsStartableProgram(c.path)) << c.path;
  }
}

}  // namespace
}  // namespace vantrel::platform
