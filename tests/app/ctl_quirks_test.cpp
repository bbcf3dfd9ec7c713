// The whole vantrelctl journey on virtual keyboards that use the protocol's freedom
// (--sim-quirk): every command succeeds, and sends exactly the requests it sends to a
// keyboard without the quirk (no repeated request, no wait for a reply it would not take).
// The last row runs every quirk at once.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "ctl_runner.h"

namespace vantrel::test {
namespace {

class CtlQuirkJourney : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    std::string name = GetParam();
    for (char& c : name) {
      if (c == ',') c = '+';
    }
    dir = TestFolder("quirk-" + name);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // Runs one command on its own keyboard state and data folder; `run` names them.
  CtlResult Run(const std::string& run, const std::string& quirk, const std::string& args) {
    const auto home = dir / run;
    std::filesystem::create_directories(home);
    const std::string q = quirk.empty() ? "" : " --sim-quirk " + quirk;
    return RunShell("XDG_DATA_HOME=" + (home / "data").string() + " XDG_CONFIG_HOME=" + (home / "config").string() +
                    " timeout 60 " + std::string(VANTREL_BIN_DIR) + "/vantrelctl --direct --simulate=" +
                    (home / "state.json").string() + q + " --trace " + (home / "trace.txt").string() + " " + args);
  }
  // The requests of the last command of `run`, counted by command byte.
  std::map<int, int> Requests(const std::string& run) {
    std::ifstream in(dir / run / "trace.txt");
    std::map<int, int> counts;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("> CTRL ", 0) == 0) ++counts[std::stoi(line.substr(7 + 3 * 3, 2), nullptr, 16)];
    }
    return counts;
  }

  std::filesystem::path dir;
};

TEST_P(CtlQuirkJourney, EveryCommandSucceedsWithTheRequestsOfAPlainKeyboard) {
  const std::string quirk = GetParam();
  const std::string backup = (dir / "whole.vnp").string();
  const std::string json = (dir / "whole.json").string();
  const std::vector<std::string> journey = {
      "status",
      "profile 1",
      "macros add Copy --cycles 2 LCtrl+ C+ C- LCtrl-",  // Apply with a macro
      "keys set --profile 1 G3 macro:1",
      "keys set --profile 2 Esc key:B",
      "lighting set --profile 1 --effect 5 --multicolour on",
      "colours --profile 2 paint Esc --colour 00ff00",  // profile 2 shows the key colours
      "lighting set --profile 2 --effect 13 --colour 102030 --report-rate 3",
      "lighting default --profile 0",
      "backup " + backup,
      "verify",
      "verify " + backup,
      "sim reset",
      "restore " + backup,
      "verify " + backup,
      "export " + json,
      "sim reset",
      "import " + json,
      "verify",
      "profile 0",
      "profile 2",
  };
  for (const std::string& args : journey) {
    const CtlResult plain = Run("plain", "", args);
    ASSERT_EQ(plain.code, 0) << args << "\n" << plain.out;
    const CtlResult quirky = Run("quirky", quirk, args);
    EXPECT_EQ(quirky.code, 0) << "--sim-quirk " << quirk << " " << args << "\n" << quirky.out;
    EXPECT_EQ(Requests("quirky"), Requests("plain")) << "--sim-quirk " << quirk << " " << args;
  }
}

INSTANTIATE_TEST_SUITE_P(Quirks, CtlQuirkJourney,
                         ::testing::Values("offset-zero", "state-noise", "lighting-normalised",
                                           "offset-zero,state-noise,lighting-normalised"),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (c == '-' || c == ',') c = '_';
                           }
                           return name;
                         });

TEST(CtlQuirkOption, AnUnknownQuirkIsAUsageError) {
  const auto dir = TestFolder("quirk-usage");
  const CtlResult r = RunShell("XDG_DATA_HOME=" + (dir / "data").string() + " " + std::string(VANTREL_BIN_DIR) +
                               "/vantrelctl --simulate=" + (dir / "state.json").string() +
                               " --sim-quirk offset-zero,bogus status");
  EXPECT_EQ(r.code, 2) << r.out;
  EXPECT_NE(r.out.find("--sim-quirk: bad quirk 'bogus'"), std::string::npos) << r.out;
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vantrel::test
