#include "platform/autostart.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>

#include "platform/scoped_env.h"

namespace vantrel::platform {
namespace {

namespace fs = std::filesystem;

fs::path FreshFolder(const std::string& name) {
  const auto dir = fs::temp_directory_path() / ("vantrel-autostart-" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string ExecLine(const std::string& entry) {
  std::istringstream in(entry);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("Exec=", 0) == 0) return line.substr(5);
  }
  return {};
}

TEST(Autostart, OffUntilTurnedOnThenWritesAndRemovesTheEntry) {
  const auto config = FreshFolder("toggle") / "config";  // not there yet: created on demand
  Autostart autostart(config, "/usr/bin/vantrel");
  EXPECT_FALSE(autostart.enabled());
  EXPECT_FALSE(fs::exists(config));

  ASSERT_TRUE(autostart.setEnabled(true));
  EXPECT_EQ(autostart.entryPath(), config / "autostart" / "vantrel.desktop");
  EXPECT_TRUE(autostart.enabled());
  const std::string entry = ReadAll(autostart.entryPath());
  EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u);
  EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos);
  EXPECT_EQ(ExecLine(entry), "/usr/bin/vantrel /Start");

  // Turning it on again rewrites the same entry; nothing else is left in the folder.
  ASSERT_TRUE(autostart.setEnabled(true));
  EXPECT_EQ(std::distance(fs::directory_iterator(config / "autostart"), fs::directory_iterator()), 1);

  ASSERT_TRUE(autostart.setEnabled(false));
  EXPECT_FALSE(fs::exists(autostart.entryPath()));
  EXPECT_FALSE(autostart.enabled());
  EXPECT_TRUE(autostart.setEnabled(false));  // already off
}

TEST(Autostart, AnEntrySwitchedOffInsideReadsAsOffAndTurningOnReplacesIt) {
  const auto config = FreshFolder("hidden");
  Autostart autostart(config, "/usr/bin/vantrel");
  fs::create_directories(config / "autostart");
  for (const char* body : {"Hidden=true\n", "X-GNOME-Autostart-enabled=false\n"}) {
    std::ofstream(autostart.entryPath()) << "[Desktop Entry]\nType=Application\nExec=vantrel /Start\n" << body;
    EXPECT_FALSE(autostart.enabled()) << body;
  }
  // An empty or foreign file is no entry the session would start.
  std::ofstream(autostart.entryPath()) << "";
  EXPECT_FALSE(autostart.enabled());
  // The same keys in another group do not count.
  std::ofstream(autostart.entryPath()) << "[Desktop Entry]\nExec=vantrel /Start\n[Desktop Action x]\nHidden=true\n";
  EXPECT_TRUE(autostart.enabled());

  std::ofstream(autostart.entryPath()) << "[Desktop Entry]\nHidden=true\n";
  ASSERT_TRUE(autostart.setEnabled(true));
  EXPECT_TRUE(autostart.enabled());
  EXPECT_EQ(ReadAll(autostart.entryPath()).find("Hidden"), std::string::npos);
}

TEST(Autostart, FailsWithoutWritingWhenTheEntryCannotBeWritten) {
  const auto base = FreshFolder("fail");
  // The configuration folder is a file: no autostart folder can be made.
  std::ofstream(base / "file") << "x";
  EXPECT_FALSE(Autostart(base / "file", "/usr/bin/vantrel").setEnabled(true));

  // A newline in the program path would add lines of its own to the entry.
  Autostart injected(base / "config", "/tmp/x\nExec=/bin/evil");
  EXPECT_FALSE(injected.setEnabled(true));
  EXPECT_FALSE(fs::exists(injected.entryPath()));
  EXPECT_FALSE(injected.enabled());
}

TEST(Autostart, ExecArgumentIsQuotedAndEscapedForTheDesktopEntryFormat) {
  EXPECT_EQ(DesktopExecArgument("/usr/bin/vantrel"), "/usr/bin/vantrel");
  EXPECT_EQ(DesktopExecArgument("/opt/My Apps/vantrel"), "\"/opt/My Apps/vantrel\"");
  // Inside quotes $ ` " \ take a backslash, and every backslash is then doubled by the
  // string escape: a literal backslash ends up as four.
  EXPECT_EQ(DesktopExecArgument("/a/b$c"), R"("/a/b\\$c")");
  EXPECT_EQ(DesktopExecArgument("/a/\"q\"/v"), R"("/a/\\"q\\"/v")");
  EXPECT_EQ(DesktopExecArgument("/a/b\\c"), R"("/a/b\\\\c")");
  EXPECT_EQ(DesktopExecArgument("/a/it's"), R"("/a/it's")");
  // % starts a field code: doubled, whether quoted or not.
  EXPECT_EQ(DesktopExecArgument("/a/100%/v"), "/a/100%%/v");
  EXPECT_EQ(DesktopExecArgument("/a b/100%"), "\"/a b/100%%\"");
  EXPECT_EQ(DesktopExecArgument(""), "");
  EXPECT_EQ(DesktopExecArgument("/a/\tb"), "");
  EXPECT_EQ(ExecLine(AutostartEntry("/opt/My Apps/vantrel")), "\"/opt/My Apps/vantrel\" /Start");
}

TEST(Autostart, ConfigFolderHonoursAnAbsoluteXdgConfigHome) {
  ScopedEnv home("HOME", "/home/someone");
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/srv/cfg");
    EXPECT_EQ(UserConfigFolder(), fs::path("/srv/cfg"));
  }
  for (const char* ignored : {"relative/cfg", ""}) {
    ScopedEnv xdg("XDG_CONFIG_HOME", ignored);
    EXPECT_EQ(UserConfigFolder(), fs::path("/home/someone/.config")) << ignored;
  }
  ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(UserConfigFolder(), fs::path("/home/someone/.config"));
  EXPECT_EQ(Autostart().entryPath(), fs::path("/home/someone/.config/autostart/vantrel.desktop"));
}

TEST(Autostart, StartsTheInstalledLinkWhenItLeadsToTheProgram) {
  const auto prefix = FreshFolder("prefix");
  fs::create_directories(prefix / "lib" / "vantrel");
  fs::create_directories(prefix / "bin");
  const auto program = prefix / "lib" / "vantrel" / "vantrel";
  std::ofstream(program) << "program";
  EXPECT_EQ(AutostartProgram(program), program);  // no link yet

  fs::create_symlink("../lib/vantrel/vantrel", prefix / "bin" / "vantrel");
  EXPECT_EQ(AutostartProgram(program), prefix / "bin" / "vantrel");

  // A bin/vantrel that is some other program is not taken.
  fs::remove(prefix / "bin" / "vantrel");
  std::ofstream(prefix / "bin" / "vantrel") << "other";
  EXPECT_EQ(AutostartProgram(program), program);

  // A program outside an installed layout (the build folder) is started as it is.
  EXPECT_EQ(AutostartProgram("/home/dev/vantrel/build/bin/vantrel"), fs::path("/home/dev/vantrel/build/bin/vantrel"));
}

}  // namespace
}  // namespace vantrel::platform
