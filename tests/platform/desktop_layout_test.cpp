#include "platform/desktop_layout.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <fstream>
#include <optional>
#include <string>

#include "fifo_wait.h"

#include "platform/scoped_env.h"

namespace vantrel::platform {
namespace {

namespace fs = std::filesystem;

// A Wayland session (the X server is never asked) with a configuration folder and a PATH
// of the test's own.
class DesktopLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = test::FifoScratchFolder("vantrel-desktop-layout-");
    fs::create_directories(dir / "config");
    fs::create_directories(dir / "bin");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  void Write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }
  // A gsettings that prints `output` and exits with `status`.
  void FakeGsettings(const std::string& output, int status) {
    const fs::path script = dir / "bin" / "gsettings";
    Write(script, "#!/bin/sh\n[ \"$*\" = 'get org.gnome.desktop.input-sources sources' ] || exit 3\nprintf '%s\\n' \"" +
                      output + "\"\nexit " + std::to_string(status) + "\n");
    fs::permissions(script, fs::perms::owner_all);
  }

  fs::path dir;
  ScopedEnv session{"XDG_SESSION_TYPE", "wayland"};
  ScopedEnv display{"DISPLAY", nullptr};
  std::optional<ScopedEnv> config, path, desktop;
};

TEST_F(DesktopLayoutTest, KdeSettingsFile) {
  config.emplace("XDG_CONFIG_HOME", (dir / "config").c_str());
  desktop.emplace("XDG_CURRENT_DESKTOP", "KDE");
  Write(dir / "config" / "kxkbrc", "[Layout]\nLayoutList=de,us\nUse=true\nVariantList=nodeadkeys,\n");
  const keys::DesktopLayout got = DetectDesktopLayout();
  EXPECT_EQ(got.name.Text(), "de(nodeadkeys)");
  EXPECT_EQ(got.source, keys::LayoutSource::kKde);
}

TEST_F(DesktopLayoutTest, KdeSettingsFifoIsNeverOpened) {
  config.emplace("XDG_CONFIG_HOME", (dir / "config").c_str());
  desktop.emplace("XDG_CURRENT_DESKTOP", "KDE");
  const fs::path fifo = dir / "config" / "kxkbrc";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  keys::DesktopLayout got;
  EXPECT_TRUE(test::FinishesPromptly(fifo, [&] { got = DetectDesktopLayout(); }));
  EXPECT_EQ(got.name.Text(), "us");
  EXPECT_EQ(got.source, keys::LayoutSource::kDefault);
}

TEST_F(DesktopLayoutTest, GnomeInputSourcesThroughGsettings) {
  path.emplace("PATH", (dir / "bin").c_str());
  desktop.emplace("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
  FakeGsettings("[('xkb', 'us+dvorak'), ('xkb', 'de')]", 0);
  keys::DesktopLayout got = DetectDesktopLayout();
  EXPECT_EQ(got.name.Text(), "us(dvorak)");
  EXPECT_EQ(got.source, keys::LayoutSource::kGnome);
  // A failing gsettings (no such schema) leaves the default.
  FakeGsettings("No such schema", 1);
  got = DetectDesktopLayout();
  EXPECT_EQ(got.name.Text(), "us");
  EXPECT_EQ(got.source, keys::LayoutSource::kDefault);
}

}  // namespace
}  // namespace vantrel::platform

namespace vantrel::platform {
namespace {

TEST(AvailableLayouts, OfferTheCommonLayouts) {
  if (!fs::exists("/usr/share/X11/xkb/rules/evdev.lst")) GTEST_SKIP() << "no XKB data on this system";
  std::vector<std::string> names;
  for (const keys::LayoutChoice& c : AvailableLayouts()) names.push_back(c.name.Text());
  for (const char* expected : {"us", "de", "fr", "gb", "us(dvorak)"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;
  }
}

}  // namespace
}  // namespace vantrel::platform
