// vantrelctl reads back what it wrote: with --sim-fault corrupt@N on the first write of a
// command, the command exits 1 and lists the difference; without it the same command
// succeeds. verify compares the keyboard with the working file or a profile file.
#include <gtest/gtest.h>

#include <fstream>

#include "ctl_runner.h"

namespace vantrel::test {
namespace {

class CtlReadBackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = TestFolder(std::string("read-back-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    trace = (dir / "trace.txt").string();
  }
  CtlResult Run(const std::string& args) {
    return RunShell("XDG_DATA_HOME=" + (dir / "data").string() + " timeout 60 " + std::string(VANTREL_BIN_DIR) +
                    "/vantrelctl --simulate=" + (dir / "state.json").string() + " --trace " + trace + " " + args);
  }
  // The 1-based number of the configuration request that is the `occurrence`th with this
  // command byte in the trace of the last run; 0 when there is none.
  int Request(int command, int occurrence) {
    std::ifstream in(trace);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
      if (line.rfind("> CTRL ", 0) != 0) continue;
      ++n;
      if (std::stoi(line.substr(7 + 3 * 3, 2), nullptr, 16) == command && --occurrence == 0) return n;
    }
    return 0;
  }
  // Runs the command once on the factory state to find its write of `command`, then again
  // on the factory state with that request corrupted. The second run must fail and name
  // what differs.
  void ExpectCaught(const std::string& args, int command, const std::string& difference, int occurrence = 1) {
    ASSERT_EQ(Run("sim reset").code, 0);
    const CtlResult clean = Run(args);
    ASSERT_EQ(clean.code, 0) << args << "\n" << clean.out;
    const int n = Request(command, occurrence);
    ASSERT_GT(n, 0) << args;
    ASSERT_EQ(Run("sim reset").code, 0);
    const CtlResult r = Run("--sim-fault corrupt@" + std::to_string(n) + " " + args);
    EXPECT_EQ(r.code, 1) << args << "\n" << r.out;
    EXPECT_NE(r.out.find("the keyboard does not hold what was written:"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(difference), std::string::npos) << args << "\n" << r.out;
  }

  std::filesystem::path dir;
  std::string trace;
};

TEST_F(CtlReadBackTest, EveryWriterFailsOnAByteTheKeyboardStoredWrong) {
  ExpectCaught("keys set A key:B", 0x0A, "macro area, magic");
  ExpectCaught("macros add Copy C+ C-", 0x0A, "macro area, magic");
  ExpectCaught("lighting set --profile 1 --brightness 2", 0x06, "profile 1 lighting, brightness: written 2");
  // The record's write (after the effect bracket's two) overwrites what those wrote.
  ExpectCaught("lighting default --profile 0", 0x06, "profile 0 lighting, effect: written 1", 3);
  ExpectCaught("profile 1", 0x04, "device state, active profile: written 1");
  const auto file = (dir / "whole.vnp").string();
  ASSERT_EQ(Run("backup " + file).code, 0);
  ExpectCaught("restore " + file, 0x0A, "macro area, magic");
}

TEST_F(CtlReadBackTest, VerifyComparesTheKeyboardWithAFile) {
  // The backup reads the keyboard into the working file; later writes keep it in step.
  const auto before = (dir / "before.vnp").string();
  ASSERT_EQ(Run("backup " + before).code, 0);
  ASSERT_EQ(Run("keys set --profile 2 Esc disabled").code, 0);
  CtlResult r = Run("verify");
  EXPECT_EQ(r.code, 0) << r.out;
  r = Run("verify " + before);
  EXPECT_EQ(r.code, 1) << r.out;
  EXPECT_NE(r.out.find("profile 2, key Esc: written "), std::string::npos) << r.out;
  r = Run("verify " + (dir / "missing.vnp").string());
  EXPECT_EQ(r.code, 1) << r.out;

  // A JSON document of export is compared by its keys and macros; a file that is neither
  // says what verify compares with.
  const auto now = (dir / "now.json").string();
  ASSERT_EQ(Run("export " + now).code, 0);
  r = Run("verify " + now);
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("the keyboard holds the keys and macros of"), std::string::npos) << r.out;
  ASSERT_EQ(Run("keys set --profile 1 Tab disabled").code, 0);
  r = Run("verify " + now);
  EXPECT_EQ(r.code, 1) << r.out;
  EXPECT_NE(r.out.find("profile 1, key Tab: written "), std::string::npos) << r.out;
  const auto text = (dir / "notes.txt").string();
  std::ofstream(text) << "{\"not\": \"a profile\"}\n";
  r = Run("verify " + text);
  EXPECT_EQ(r.code, 1) << r.out;
  EXPECT_NE(r.out.find("verify compares the keyboard with the working file, a profile file (.vnp) or a JSON"),
            std::string::npos)
      << r.out;
}

}  // namespace
}  // namespace vantrel::test
