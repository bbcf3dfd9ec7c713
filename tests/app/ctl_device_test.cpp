// vantrelctl's device commands end to end against the virtual keyboard.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "ctl_runner.h"

namespace vantrel::test {
namespace {

class CtlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = TestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    sim = "--simulate=" + (dir / "state.json").string();
  }
  std::filesystem::path dir;
  std::string sim;
};

TEST_F(CtlTest, StatusReportsTheKeyboardAsJson) {
  const auto r = RunCtl(sim + " status --json");
  ASSERT_EQ(r.code, 0) << r.out;
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["present"], true);
  EXPECT_EQ(j["count"], 1);
  EXPECT_EQ(j["active_profile"], 0);
  EXPECT_EQ(j["macro_capacity"], 16384);
  EXPECT_EQ(j["effects"].size(), 19u);
}

TEST_F(CtlTest, ProfileSwitchPersistsInTheStateFile) {
  EXPECT_EQ(RunCtl(sim + " profile 2").code, 0);
  auto r = RunCtl(sim + " profile");
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "2\n");
  EXPECT_EQ(RunCtl(sim + " profile 3").code, 2);
  EXPECT_EQ(RunCtl(sim + " profile").out, "2\n");
}

TEST_F(CtlTest, UnpluggedKeyboardGivesExitCodeThree) {
  EXPECT_EQ(RunCtl(sim + " sim unplug").code, 0);
  EXPECT_EQ(RunCtl(sim + " status").code, 3);
  EXPECT_EQ(RunCtl(sim + " ping --count 1").code, 3);
  EXPECT_EQ(RunCtl(sim + " sim plug").code, 0);
  EXPECT_EQ(RunCtl(sim + " status").code, 0);
}

TEST_F(CtlTest, UsageErrorsGiveExitCodeTwo) {
  EXPECT_EQ(RunCtl(sim + " --sim-fault boom@1 status").code, 2);
  EXPECT_EQ(RunCtl(sim + " nosuchcommand").code, 2);
  EXPECT_EQ(RunCtl("sim dump").code, 2);  // needs --simulate
  EXPECT_EQ(RunCtl(sim + " --help").code, 0);
}

TEST_F(CtlTest, PingReportsFailuresInWordsAndTracesEveryReport) {
  const auto trace = (dir / "trace.txt").string();
  auto r = RunCtl(sim + " --sim-fault fe@1,fe@2,fe@3 --trace " + trace + " ping --count 2");
  EXPECT_EQ(r.code, 1) << r.out;
  EXPECT_NE(r.out.find("rejected"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 of 2 answered"), std::string::npos) << r.out;
  std::ifstream in(trace);
  std::string line;
  int sent = 0, received = 0;
  while (std::getline(in, line)) {
    // Byte 3 (the command) is the fourth hex field after the tag.
    const bool test = line.size() > 18 && line.substr(16, 2) == "0d";
    if (test && line.rfind("> CTRL", 0) == 0) ++sent;
    if (test && line.rfind("< CTRL", 0) == 0) ++received;
  }
  EXPECT_EQ(sent, 4);  // three attempts for the first request, one for the second
  EXPECT_EQ(received, 4);
}

TEST_F(CtlTest, ResetRestoresTheFactoryState) {
  RunCtl(sim + " profile 1");
  EXPECT_EQ(RunCtl(sim + " sim reset").code, 0);
  EXPECT_EQ(RunCtl(sim + " profile").out, "0\n");
  const auto dump = nlohmann::json::parse(RunCtl(sim + " sim dump").out);
  EXPECT_EQ(dump["macro_area"].get<std::string>().size(), 2u * 16384u);
}

TEST_F(CtlTest, CorruptStateFileIsRefusedAndKept) {
  std::ofstream(dir / "state.json") << "{\"present\": true}";
  const auto r = RunCtl(sim + " status");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("boot_mode"), std::string::npos) << r.out;
  std::ifstream in(dir / "state.json");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "{\"present\": true}");
}

}  // namespace
}  // namespace vantrel::test
