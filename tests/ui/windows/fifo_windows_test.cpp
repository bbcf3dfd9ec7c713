// A FIFO where the windows expect a settings file or a picture used to block the program
// for good: Qt opens such files for reading at once, and a FIFO waits for a writer.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>

#include "fifo_wait.h"
#include <string>

#include "ui/skin/skin_placement.h"
#include "ui/ui_test_app.h"
#include "ui/app/app_core.h"
#include "ui/windows/profile_manager.h"

namespace vantrel::ui::test {
namespace {

using vantrel::test::FinishesPromptly;

namespace fs = std::filesystem;

QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }

class FifoWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    dir = vantrel::test::FifoScratchFolder("vantrel-fifo-windows-");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  fs::path Fifo(const std::string& name) {
    const fs::path p = dir / name;
    EXPECT_EQ(mkfifo(p.c_str(), 0600), 0) << p;
    return p;
  }

  fs::path dir;
};

// The application settings over a FIFO: the defaults apply (Flip off), a change holds for
// the run, and nothing touches the FIFO; the profile list writes nothing there either.
TEST_F(FifoWindowsTest, ApplicationSettingsOverAFifoFallBackToDefaults) {
  const fs::path fifo = Fifo("app.ini");
  AppOptions options;
  options.programFolder = VANTREL_BIN_DIR;
  options.userFolder = dir / "user";
  options.settingsFile = dir / "settings.ini";
  options.appSettingsFile = fifo;
  QString flip, flipAfter;
  bool listWritten = true;
  EXPECT_TRUE(FinishesPromptly(fifo, [&] {
    AppCore core(options);
    flip = core.AppSettings().value("PROFILES/Flip", "0").toString();
    core.AppSettings().setValue("PROFILES/Flip", "1");
    core.AppSettings().sync();
    flipAfter = core.AppSettings().value("PROFILES/Flip", "0").toString();
    listWritten = core.ProfileList().WriteValue("PROFILE00", "1");
  }));
  EXPECT_EQ(flip, "0");
  EXPECT_EQ(flipAfter, "1");
  EXPECT_FALSE(listWritten);
  EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(FifoWindowsTest, ProfileListOverAFifoWritesNothing) {
  const fs::path fifo = Fifo("list.ini");
  bool written = true;
  EXPECT_TRUE(FinishesPromptly(fifo, [&] {
    QtProfileListSettings list(Q(fifo));
    written = list.WriteValue("PROFILE00", "2");
  }));
  EXPECT_FALSE(written);
  // A regular file (or none yet) is written as before.
  QtProfileListSettings list(Q(dir / "list2.ini"));
  EXPECT_TRUE(list.WriteValue("PROFILE00", "2"));
  EXPECT_EQ(QSettings(Q(dir / "list2.ini"), QSettings::IniFormat).value("PROFILES/PROFILE00").toString(), "2");
}

// Pictures and icons the windows can do without (the about box's, the tray's, the
// lighting panel's) stay empty when a FIFO stands in their place.
TEST_F(FifoWindowsTest, OptionalPicturesAndIconsOverAFifoStayEmpty) {
  const fs::path fifo = Fifo("tray_1.png");
  bool pictureNull = false, iconNull = false;
  EXPECT_TRUE(FinishesPromptly(fifo, [&] {
    pictureNull = OptionalPicture(Q(fifo)).isNull();
    iconNull = OptionalIcon(Q(fifo)).isNull();
  }));
  EXPECT_TRUE(pictureNull);
  EXPECT_TRUE(iconNull);
  const QString real = QStringLiteral(VANTREL_BIN_DIR "/Skins/vantrel.png");
  EXPECT_FALSE(OptionalPicture(real).isNull());
  EXPECT_FALSE(OptionalIcon(real).isNull());
}

}  // namespace
}  // namespace vantrel::ui::test
