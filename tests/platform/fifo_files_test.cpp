// A FIFO (or anything but a regular file) where the program expects one of its own
// files used to block it for good at start, and every later start behind it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSettings>
#include <chrono>
#include <functional>
#include <future>

#include "fifo_wait.h"
#include <string>

#include "platform/autostart.h"
#include "platform/file_lock.h"
#include "platform/profile_strings_qt.h"
#include "platform/settings_store_qt.h"

namespace vantrel::platform {
namespace {

using vantrel::test::FinishesPromptly;

namespace fs = std::filesystem;

class FifoFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = vantrel::test::FifoScratchFolder("vantrel-fifo-files-");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }

  fs::path Fifo(const fs::path& p) {
    fs::create_directories(p.parent_path());
    EXPECT_EQ(mkfifo(p.c_str(), 0600), 0) << p;
    return p;
  }
  fs::path dir;
};

TEST_F(FifoFilesTest, SettingsOverAFifoAreNeitherReadNorWritten) {
  const fs::path fifo = Fifo(dir / "settings.ini");
  const QString file = QString::fromStdString(fifo.string());
  EXPECT_FALSE(SettingsFileUsable(file));
  EXPECT_TRUE(SettingsFileUsable(QString::fromStdString((dir / "absent.ini").string())));
  EXPECT_TRUE(FinishesPromptly(fifo, [&] {
    QSettingsStore store(file);
    EXPECT_FALSE(store.ReadDword("dwLanguageId"));
    EXPECT_FALSE(store.WriteDword("dwLanguageId", 1033));
    QtProfileStrings strings(file);
    EXPECT_FALSE(strings.Read("PROFILES", "Count"));
    EXPECT_FALSE(strings.Write("PROFILES", "Count", "1"));
  }));
  EXPECT_TRUE(fs::is_fifo(fifo));
}

// A store made while the file was fine keeps working from what it read when the file is
// replaced by a FIFO, and writes nothing.
TEST_F(FifoFilesTest, ASettingsFileThatBecomesAFifoIsLeftAlone) {
  const fs::path path = dir / "settings.ini";
  const QString file = QString::fromStdString(path.string());
  QSettingsStore store(file);
  ASSERT_TRUE(store.WriteDword("dwLanguageId", 1036));
  fs::remove(path);
  Fifo(path);
  EXPECT_TRUE(FinishesPromptly(path, [&] {
    EXPECT_EQ(store.ReadDword("dwLanguageId"), 1036u);
    EXPECT_FALSE(store.WriteDword("dwLanguageId", 1033));
  }));
}

TEST_F(FifoFilesTest, NativeSettingsFileIsTheOneQtUses) {
  for (const QString& app : {QString(), QStringLiteral("Vantrel")}) {
    const QSettings native(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("vantrel-test-org"), app);
    EXPECT_EQ(NativeSettingsFile(QStringLiteral("vantrel-test-org"), app), native.fileName()) << app.toStdString();
  }
}

TEST_F(FifoFilesTest, AnAutostartEntryThatIsAFifoCountsAsOff) {
  const Autostart autostart(dir / "config", "/usr/bin/vantrel");
  const fs::path entry = Fifo(autostart.entryPath());
  EXPECT_TRUE(FinishesPromptly(entry, [&] { EXPECT_FALSE(autostart.enabled()); }));
  // Switching it on does not replace or write into what is there.
  Autostart writer(dir / "config", "/usr/bin/vantrel");
  EXPECT_FALSE(writer.setEnabled(true));
  EXPECT_TRUE(fs::is_fifo(entry));
}

TEST_F(FifoFilesTest, ALockFileThatIsAFifoIsRefusedWithTheReason) {
  const fs::path fifo = Fifo(dir / "state.json.lock");
  EXPECT_TRUE(FinishesPromptly(fifo, [&] {
    FileLock lock(fifo);
    std::string why;
    EXPECT_FALSE(lock.Acquire(std::chrono::milliseconds(100), &why));
    EXPECT_EQ(why, "the lock file " + fifo.string() + " is not a regular file");
  }));
}

}  // namespace
}  // namespace vantrel::platform
