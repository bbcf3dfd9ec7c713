// vantrelctl keeps the host and the keyboard in step: the working file follows every write
// (so verify works for a user of the shell alone), and the keyboard's key colours follow the
// user modes of the colour files, so that export, a reset of the keyboard and import give
// back the same key-colour area.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>

#include "ctl_folder_test.h"

namespace vantrel::test {
namespace {

class CtlInStep : public CtlFolderTest {
 protected:
  // A fresh HOME: nothing in the per-user folder until a command makes it.
  CtlResult Ctl(const std::string& args) {
    return RunShell("XDG_DATA_HOME='" + (dir / "data").string() + "' '" + VANTREL_BIN_DIR +
                    "/vantrelctl' --direct --simulate='" + (dir / "state.json").string() + "' " + args);
  }
  std::string KeyColourArea() {
    const CtlResult dump = Ctl("sim dump");
    EXPECT_EQ(dump.code, 0) << dump.out;
    return nlohmann::json::parse(dump.out, nullptr, false).value("key_colours", std::string());
  }
};

// keys set used to leave no working file: verify then said "$Profile0: does not exist".
TEST_F(CtlInStep, AWriteFromTheShellMakesTheWorkingFileThatVerifyComparesWith) {
  const CtlResult set = Ctl("keys set A key:B");
  ASSERT_EQ(set.code, 0) << set.out;
  EXPECT_TRUE(std::filesystem::is_regular_file(dir / "data" / "PX204-1127" / "$Profile0"));
  CtlResult verify = Ctl("verify");
  EXPECT_EQ(verify.code, 0) << verify.out;
  ASSERT_EQ(Ctl("macros add M A+/10 A-/10").code, 0);
  verify = Ctl("verify");
  EXPECT_EQ(verify.code, 0) << verify.out;
  // The keyboard changed behind the working file's back: verify sees it.
  ASSERT_EQ(Ctl("sim reset").code, 0);
  verify = Ctl("verify");
  EXPECT_EQ(verify.code, 1) << verify.out;
}

// A paint on a fresh keyboard used to leave the factory colours plus the painted key,
// while the colour file's mode held others; export, reset and import then changed every
// slot of the area.
TEST_F(CtlInStep, ExportResetImportGivesBackTheSameKeyColourArea) {
  ASSERT_EQ(Ctl("lighting set --effect 20").code, 0);
  const CtlResult paint = Ctl("colours paint W --colour 00FF00");
  ASSERT_EQ(paint.code, 0) << paint.out;
  const std::string before = KeyColourArea();
  ASSERT_EQ(before.size(), 2u * 3 * 512);
  const auto document = (dir / "all.json").string();
  ASSERT_EQ(Ctl("export " + document).code, 0);
  ASSERT_EQ(Ctl("sim reset").code, 0);
  ASSERT_NE(KeyColourArea(), before);
  const CtlResult import = Ctl("import " + document);
  ASSERT_EQ(import.code, 0) << import.out;
  EXPECT_EQ(KeyColourArea(), before);

  // The keyboard shows each profile's selected mode: a second paint sends one key only.
  const CtlResult again = Ctl("--trace '" + (dir / "trace.txt").string() + "' colours paint A --colour 0000FF");
  ASSERT_EQ(again.code, 0) << again.out;
  const std::string trace = Slurp(dir / "trace.txt");
  std::size_t colourWrites = 0;
  for (std::size_t at = trace.find("> CTRL 04 "); at != std::string::npos; at = trace.find("> CTRL 04 ", at + 1)) {
    colourWrites += trace.compare(at + 16, 2, "11") == 0;
  }
  EXPECT_EQ(colourWrites, 1u);
}

}  // namespace
}  // namespace vantrel::test
