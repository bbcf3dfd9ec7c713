// The program's start with a skin it cannot use: it ends with exit code 1 and names the
// file, instead of a window of a few pixels or a start blocked for good on a FIFO.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <filesystem>
#include <functional>

namespace vantrel::ui {
namespace {

namespace fs = std::filesystem;

struct Start {
  bool finished = false;
  int code = -1;
  QString err;
};

// A program folder of its own: the program and a copy of the generated skin, changed by
// `spoil`; run against the virtual keyboard with every user folder inside the copy.
Start StartWithSkin(const QTemporaryDir& dir, const std::function<void(const fs::path& skins)>& spoil) {
  const fs::path root(dir.path().toStdString());
  fs::copy_file(fs::path(VANTREL_BIN_DIR) / "vantrel", root / "vantrel");
  fs::copy(fs::path(VANTREL_BIN_DIR) / "Skins", root / "Skins", fs::copy_options::recursive);
  spoil(root / "Skins");
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  for (const char* var : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "XDG_DATA_HOME"}) {
    env.insert(var, dir.path());
  }
  p.setProcessEnvironment(env);
  p.start(QString::fromStdString((root / "vantrel").string()),
          {"--simulate=" + QString::fromStdString((root / "state.json").string())});
  Start s;
  s.finished = p.waitForFinished(30000);
  if (!s.finished) {
    p.kill();
    p.waitForFinished();
  }
  s.code = p.exitCode();
  s.err = QString::fromUtf8(p.readAllStandardError());
  return s;
}

void Write(const fs::path& p, const char* text) {
  QFile f(QString::fromStdString(p.string()));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(text);
}

TEST(SkinStart, UnusableSkinFilesEndTheStartWithOneNamingTheFile) {
  if (!fs::exists(fs::path(VANTREL_BIN_DIR) / "vantrel")) GTEST_SKIP() << "the program is not built";
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> spoil;
    const char* named;
  };
  const Case cases[] = {
      {"empty Main.ini", [](const fs::path& s) { Write(s / "Main.ini", ""); },
       "Main.ini: names no background picture"},
      {"junk Main.ini", [](const fs::path& s) { Write(s / "Main.ini", "\x01\x02 not an ini file [[["); },
       "Main.ini: names no background picture"},
      {"FIFO Main.ini",
       [](const fs::path& s) {
         fs::remove(s / "Main.ini");
         ASSERT_EQ(mkfifo((s / "Main.ini").c_str(), 0600), 0);
       },
       "Main.ini: is not a regular file"},
      {"corrupt picture", [](const fs::path& s) { Write(s / "main_over.jpg", "\xFF\xD8 junk"); },
       "main_over.jpg: cannot be read as a picture"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const Start s = StartWithSkin(dir, c.spoil);
    ASSERT_TRUE(s.finished);
    EXPECT_EQ(s.code, 1);
    EXPECT_TRUE(s.err.contains(QString::fromLatin1(c.named))) << s.err.toStdString();
  }
}

}  // namespace
}  // namespace vantrel::ui
