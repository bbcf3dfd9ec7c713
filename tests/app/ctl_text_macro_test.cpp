// vantrelctl macros add --text / --text-file against the virtual keyboard: the text typed
// for the layout given or the desktop's, written and shown back; every refusal writes
// nothing.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/keys/xkb_layout.h"
#include "ctl_folder_test.h"

namespace vantrel::test {
namespace {

namespace fs = std::filesystem;

class CtlTextMacro : public CtlFolderTest {
 protected:
  void SetUp() override {
    CtlFolderTest::SetUp();
    for (const char* layout : {"us", "de"}) {
      if (!keys::CompileLayoutCharacters({layout, ""})) GTEST_SKIP() << "the XKB layout " << layout << " is missing";
    }
  }
  // A desktop whose layout comes from KDE's settings file in the test's folder (no X
  // server, no gsettings), so the desktop's layout is known to the test.
  CtlResult Ctl(const std::string& args, const std::string& desktopLayout = "us") {
    const fs::path config = dir / "config";
    fs::create_directories(config);
    std::ofstream(config / "kxkbrc") << "[Layout]\nLayoutList=" << desktopLayout << "\nUse=true\n";
    return RunShell("env -u DISPLAY XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=KDE XDG_CONFIG_HOME='" +
                    config.string() + "' XDG_DATA_HOME='" + (dir / "data").string() + "' '" + VANTREL_BIN_DIR +
                    "/vantrelctl' --simulate='" + (dir / "kb.json").string() + "' " + args);
  }
  // The steps of a macro as "KEY+" / "KEY-", and their delays.
  std::vector<std::string> Steps(int id, std::vector<int>* delays = nullptr) {
    const CtlResult r = Ctl("macros show " + std::to_string(id) + " --json");
    EXPECT_EQ(r.code, 0) << r.out;
    std::vector<std::string> steps;
    const nlohmann::json shown = nlohmann::json::parse(r.out);
    for (const auto& s : shown["steps"]) {
      steps.push_back(s["key"].get<std::string>() + (s["direction"] == "press" ? "+" : "-"));
      if (delays) delays->push_back(s["delay"].get<int>());
    }
    return steps;
  }
};

TEST_F(CtlTextMacro, TypedForTheLayoutGivenOrTheDesktopsAndShownBack) {
  CtlResult r = Ctl("macros add Mail --text 'Ab@' --layout us");
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("macro 1 added: Mail, 10 steps, typed for layout us"), std::string::npos) << r.out;
  std::vector<int> delays;
  EXPECT_EQ(Steps(1, &delays), (std::vector<std::string>{"Left Shift+", "A+", "A-", "Left Shift-", "B+", "B-",
                                                         "Left Shift+", "2+", "2-", "Left Shift-"}));
  EXPECT_EQ(delays, std::vector<int>(10, 10));
  // Assigned to G1, the key plays it: read back from the keyboard.
  ASSERT_EQ(Ctl("keys set --profile 0 G1 macro:1").code, 0);
  const auto assigned = nlohmann::json::parse(Ctl("keys --profile 0 --json").out)["assignments"];
  ASSERT_EQ(assigned.size(), 1u) << assigned.dump();
  EXPECT_EQ(assigned[0]["key"], "G1");
  EXPECT_EQ(assigned[0]["kind"], "macro");
  EXPECT_EQ(assigned[0]["value"], 1);
  EXPECT_EQ(Steps(1).size(), 10u);

  // Without --layout the desktop's (de here): z is on the key of Y, @ is AltGr+Q.
  r = Ctl("macros add Gruss --text 'z@' --delay 30 --cycles 2", "de");
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("typed for layout de"), std::string::npos) << r.out;
  delays.clear();
  EXPECT_EQ(Steps(2, &delays), (std::vector<std::string>{"Y+", "Y-", "Right Alt+", "Q+", "Q-", "Right Alt-"}));
  EXPECT_EQ(delays, std::vector<int>(6, 30));
  EXPECT_EQ(nlohmann::json::parse(Ctl("macros show 2 --json").out)["cycles"], 2);
}

TEST_F(CtlTextMacro, TextFileLosesOnlyItsFinalNewline) {
  std::ofstream(dir / "text.txt") << "a\nb\n";
  const CtlResult r = Ctl("macros add Lines --layout us --text-file '" + (dir / "text.txt").string() + "'");
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(Steps(1), (std::vector<std::string>{"A+", "A-", "Enter+", "Enter-", "B+", "B-"}));
}

TEST_F(CtlTextMacro, RefusalsWriteNothing) {
  ASSERT_EQ(Ctl("macros add First --text a --layout us").code, 0);
  const std::string before = Slurp(dir / "kb.json");
  ASSERT_FALSE(before.empty());
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::ofstream(dir / "large.txt") << std::string(17 * 1024, 'a');
  fs::create_symlink("/dev/zero", dir / "zero");
  struct Case {
    std::string args;
    int code;
    std::string says;
  };
  const std::vector<Case> cases = {
      {"--text 'a€b¦' --layout us", 2, "character 2: U+20AC \"€\" is not on the layout"},
      {"--text 'a€b¦' --layout us", 2, "character 4: U+00A6"},
      // The key left of Z that the ISO layouts use is not on this keyboard.
      {"--text '<' --layout de", 2, "character 1: U+003C \"<\" needs a key this keyboard does not have"},
      {"--text x --layout zz", 2, "Unknown keyboard layout \"zz\""},
      {"--text x --layout 'us;rm'", 2, "Unknown keyboard layout"},
      {"--text '" + std::string(2001, 'a') + "' --layout us", 2, "do not fit"},
      {"--text '" + std::string(1001, 'a') + "' --layout us", 2, "do not fit"},
      {"--text x --layout us --delay 15", 2, "steps of 10"},
      {"--text ''", 2, "nothing to type"},
      {"--text x A+ A-", 2, "not both"},
      {"--layout us A+ A-", 2, "go with --text"},
      {"", 2, "give STEPs, --text or --text-file"},
      {"--text-file '" + (dir / "fifo").string() + "'", 1, "is not a regular file"},
      {"--text-file '" + (dir / "zero").string() + "'", 1, "is not a regular file"},
      {"--text-file '" + (dir / "large.txt").string() + "'", 1, "at most 2000 characters"},
      {"--text-file '" + (dir / "missing.txt").string() + "'", 1, "does not exist"},
  };
  for (const Case& c : cases) {
    const CtlResult r = Ctl("macros add Refused " + c.args);
    EXPECT_EQ(r.code, c.code) << c.args << '\n' << r.out;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << c.args << '\n' << r.out;
    EXPECT_EQ(Slurp(dir / "kb.json"), before) << c.args;
  }
}

}  // namespace
}  // namespace vantrel::test
