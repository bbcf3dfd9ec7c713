// vantrelctl rules: the automatic-switching rules in the settings file of a private
// configuration folder, as the running program reads them.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ctl_runner.h"

namespace vantrel::test {
namespace {

class CtlRulesTest : public ::testing::Test {
 protected:
  CtlRulesTest() : dir(TestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name())) {}
  ~CtlRulesTest() override { std::filesystem::remove_all(dir); }
  CtlResult Ctl(const std::string& args) { return RunShell("XDG_CONFIG_HOME='" + dir.string() + "' " +
                                                           std::string(VANTREL_BIN_DIR) + "/vantrelctl " + args); }
  std::string SettingsText() {
    std::ifstream in(dir / "Vantrel_Morvane" / "Vantrel.conf");
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::filesystem::path dir;
};

TEST_F(CtlRulesTest, AddListRemoveAndTheSwitches) {
  auto r = Ctl("rules");
  ASSERT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(r.out, "switching: on\nfallback: stay\n");

  EXPECT_EQ(Ctl("rules add --app steam_app_570 --profile 2").out, "0: app steam_app_570 -> 2\n");
  EXPECT_EQ(Ctl("rules add --title '^Blender, (v4|v5)' --profile 1").code, 0);
  EXPECT_EQ(Ctl("rules add --exe /opt/game/run --profile 0").code, 0);
  EXPECT_EQ(Ctl("rules fallback 1").code, 0);
  EXPECT_EQ(Ctl("rules off").code, 0);
  r = Ctl("rules");
  EXPECT_EQ(r.out,
            "switching: off\nfallback: 1\n0: app steam_app_570 -> 2\n1: title ^Blender, (v4|v5) -> 1\n"
            "2: exe /opt/game/run -> 0\n");
  EXPECT_NE(SettingsText().find("[AUTO_PROFILES]"), std::string::npos) << SettingsText();

  EXPECT_EQ(Ctl("rules rm 1").code, 0);
  EXPECT_EQ(Ctl("rules fallback stay").code, 0);
  EXPECT_EQ(Ctl("rules on").code, 0);
  EXPECT_EQ(Ctl("rules").out, "switching: on\nfallback: stay\n0: app steam_app_570 -> 2\n1: exe /opt/game/run -> 0\n");
}

TEST_F(CtlRulesTest, RefusedRequestsChangeNothing) {
  ASSERT_EQ(Ctl("rules add --app a --profile 1").code, 0);
  const std::string before = SettingsText();
  auto r = Ctl("rules add --title '(unclosed' --profile 1");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.out.find("not a valid regular expression"), std::string::npos) << r.out;
  EXPECT_EQ(Ctl("rules add --app a --exe b --profile 1").code, 2);  // one match kind only
  EXPECT_EQ(Ctl("rules add --app a").code, 2);                      // no profile
  EXPECT_EQ(Ctl("rules add --app a --profile 3").code, 2);
  EXPECT_EQ(Ctl("rules add --profile 1").code, 2);
  EXPECT_EQ(Ctl("rules add --app '' --profile 1").code, 2);
  r = Ctl("rules rm 5");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.out.find("there is no rule 5"), std::string::npos) << r.out;
  EXPECT_EQ(Ctl("rules fallback 4").code, 2);
  EXPECT_EQ(SettingsText(), before);
}

// Title patterns are run by a matcher without back-tracking: what it cannot run is refused
// when added, and a stored one (written by an older version) is named when read.
TEST_F(CtlRulesTest, TitlePatternsTheMatcherCannotRunAreRefusedAndNamed) {
  auto r = Ctl("rules add --title '^(?=Game)' --profile 1");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.out.find("look-around"), std::string::npos) << r.out;
  ASSERT_EQ(Ctl("rules add --title '^(\\w+\\s?)+$' --profile 1").code, 0);
  {
    std::string text = SettingsText();
    const auto count = text.find("Count=1\n");
    ASSERT_NE(count, std::string::npos) << text;
    text.replace(count, 8, "Count=2\nRule2=\"title,2,(a)\\\\1\"\n");
    std::ofstream(dir / "Vantrel_Morvane" / "Vantrel.conf", std::ios::trunc) << text;
  }
  r = Ctl("rules");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("0: title ^(\\w+\\s?)+$ -> 1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("rules: stored Rule2: the title pattern is not a valid regular expression"), std::string::npos)
      << r.out;
}

TEST_F(CtlRulesTest, FocusWatchOutsideX11SaysWhy) {
  const auto r = RunShell("env -u DISPLAY XDG_SESSION_TYPE=tty " + std::string(VANTREL_BIN_DIR) +
                          "/vantrelctl focus --watch --count 1");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("works in an X11 session, or on KDE Plasma or GNOME"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace vantrel::test
