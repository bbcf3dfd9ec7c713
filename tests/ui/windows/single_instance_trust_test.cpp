// Who the single-instance channel trusts: its folder must be the user's own and closed to
// others (else it is refused by name), $XDG_RUNTIME_DIR only when it is such a folder,
// and a socket file or a client of another user is never used or served.
#include "platform/single_instance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <future>
#include <optional>
#include <vector>

#include "ui/ui_test_app.h"
#include "ui/windows/channel_peers.h"

namespace vantrel::platform {
namespace {

// Sets (or unsets) an environment variable for one scope.
class EnvGuard {
 public:
  EnvGuard(const char* name, std::optional<QByteArray> value) : name_(name) {
    if (qEnvironmentVariableIsSet(name)) saved_ = qgetenv(name);
    if (value) qputenv(name, *value);
    else qunsetenv(name);
  }
  ~EnvGuard() {
    if (saved_) qputenv(name_, *saved_);
    else qunsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<QByteArray> saved_;
};

struct Mode {
  unsigned owner = 0;
  unsigned bits = 0;
  bool link = false;
  bool dir = false;
};

Mode Lstat(const QString& path) {
  struct stat st {};
  if (::lstat(QFile::encodeName(path).constData(), &st) != 0) return {};
  return {st.st_uid, st.st_mode & 07777u, S_ISLNK(st.st_mode), S_ISDIR(st.st_mode)};
}

QString Made(const QTemporaryDir& dir, const QString& name, unsigned mode) {
  const QString path = dir.filePath(name);
  QDir().mkpath(path);
  ::chmod(QFile::encodeName(path).constData(), mode);
  return path;
}

TEST(SingleInstanceTrust, RuntimeFolderIsXdgOnlyWhenPrivateElseOurOwnInTheHome) {
  ui::test::App();
  QTemporaryDir dir;
  const QString temp = Made(dir, "tmp", 0755);
  const QString home = Made(dir, "home", 0755);
  EnvGuard tmpdir("TMPDIR", QFile::encodeName(temp));
  EnvGuard homeVar("HOME", QFile::encodeName(home));
  const QString fallback = QDir(home).filePath(".cache/chan-" + QString::number(::getuid()));

  {
    // Unset: a private folder in the home, made 0700 whatever the umask.
    EnvGuard xdg("XDG_RUNTIME_DIR", std::nullopt);
    const mode_t umask = ::umask(0277);
    QString error;
    const QString folder = SingleInstance::RuntimeFolder("chan", &error);
    ::umask(umask);
    EXPECT_EQ(folder, fallback) << error.toStdString();
    const Mode m = Lstat(fallback);
    EXPECT_TRUE(m.dir);
    EXPECT_EQ(m.owner, ::getuid());
    EXPECT_EQ(m.bits, 0700u);
    SingleInstance channel("chan");
    EXPECT_EQ(channel.TryClaim(), SingleInstance::Claim::First) << channel.Error().toStdString();
    EXPECT_TRUE(channel.Listen()) << channel.Error().toStdString();
    EXPECT_EQ(QFileInfo(channel.SocketPath()).absolutePath(), fallback);
  }
  const QString good = Made(dir, "good", 0700);
  {
    EnvGuard xdg("XDG_RUNTIME_DIR", QFile::encodeName(good));
    EXPECT_EQ(SingleInstance::RuntimeFolder("chan"), good);
  }
  // Not writable, open to others, missing or relative: not used, and the start does not
  // take it for another instance.
  for (const QString& bad : {Made(dir, "readonly", 0500), Made(dir, "open", 0755), dir.filePath("missing"),
                             QStringLiteral("relative")}) {
    SCOPED_TRACE(bad.toStdString());
    EnvGuard xdg("XDG_RUNTIME_DIR", QFile::encodeName(bad));
    EXPECT_EQ(SingleInstance::RuntimeFolder("chan"), fallback);
    SingleInstance channel("chan");
    EXPECT_FALSE(channel.SocketPath().startsWith(bad));
    EXPECT_EQ(channel.TryClaim(), SingleInstance::Claim::First) << channel.Error().toStdString();
  }
}

// What another local user can make in the shared temp folder never stops the start: the
// folder of the channel is in the home. Only without a home to write in is the temp
// folder used, under the same rule.
TEST(SingleInstanceTrust, ANameTakenInTheTempFolderDoesNotStopTheStart) {
  ui::test::App();
  QTemporaryDir dir;
  const QString temp = Made(dir, "tmp", 0755);
  const QString home = Made(dir, "home", 0755);
  EnvGuard tmpdir("TMPDIR", QFile::encodeName(temp));
  EnvGuard homeVar("HOME", QFile::encodeName(home));
  EnvGuard xdg("XDG_RUNTIME_DIR", std::nullopt);
  const QString squatted = QDir(temp).filePath("chan-" + QString::number(::getuid()));
  { QFile f(squatted); ASSERT_TRUE(f.open(QIODevice::WriteOnly)); }
  QString error;
  const QString folder = SingleInstance::RuntimeFolder("chan", &error);
  EXPECT_EQ(folder, QDir(home).filePath(".cache/chan-" + QString::number(::getuid()))) << error.toStdString();
  SingleInstance channel("chan");
  EXPECT_EQ(channel.TryClaim(), SingleInstance::Claim::First) << channel.Error().toStdString();
  // A home nobody can write in (a system user's): the temp folder, refused by name when
  // someone else holds the name there.
  if (!test::RunningAsRoot()) {
    const QString locked = Made(dir, "locked", 0500);
    EnvGuard lockedHome("HOME", QFile::encodeName(locked));
    EXPECT_TRUE(SingleInstance::RuntimeFolder("chan", &error).isEmpty());
    EXPECT_TRUE(error.contains(squatted)) << error.toStdString();
    EXPECT_TRUE(error.contains("is not a folder")) << error.toStdString();
    QFile::remove(squatted);
    EXPECT_EQ(SingleInstance::RuntimeFolder("chan"), squatted);
  }
}

TEST(SingleInstanceTrust, FolderNotPrivateIsRefusedByName) {
  ui::test::App();
  QTemporaryDir dir;
  const QString home = Made(dir, "home", 0755);
  Made(dir, "home/.cache", 0700);
  EnvGuard homeVar("HOME", QFile::encodeName(home));
  EnvGuard xdg("XDG_RUNTIME_DIR", std::nullopt);
  const QString shared = QDir(home).filePath(".cache/chan-" + QString::number(::getuid()));
  const QString elsewhere = Made(dir, "elsewhere", 0700);

  struct Case {
    const char* what;
    std::function<bool()> make;
    const char* reason;
  };
  const QString sharedName = "home/.cache/chan-" + QString::number(::getuid());
  const std::vector<Case> cases = {
      {"open to others", [&] { return !Made(dir, sharedName, 0755).isEmpty(); }, "mode 0755"},
      {"a link to a private folder", [&] { return QFile::link(elsewhere, shared); }, "symbolic link"},
      {"a file", [&] { QFile f(shared); return f.open(QIODevice::WriteOnly); }, "is not a folder"},
      {"another user's",
       [&] {
         Made(dir, sharedName, 0700);
         return ::chown(QFile::encodeName(shared).constData(), test::kNobody, test::kNobody) == 0;
       },
       "another user (uid 65534)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (std::string(c.what) == "another user's" && !test::RunningAsRoot()) continue;
    QDir(shared).removeRecursively();
    QFile::remove(shared);
    ASSERT_TRUE(c.make());
    QString error;
    EXPECT_TRUE(SingleInstance::RuntimeFolder("chan", &error).isEmpty());
    EXPECT_TRUE(error.contains(shared)) << error.toStdString();
    EXPECT_TRUE(error.contains(c.reason)) << error.toStdString();
    SingleInstance channel("chan");
    EXPECT_EQ(channel.TryClaim(), SingleInstance::Claim::Failed);
    EXPECT_TRUE(channel.Error().contains(shared));
    EXPECT_EQ(channel.Send({1, 2, {}}, 100), kUntrusted);
    // Nothing was made in the refused folder.
    EXPECT_FALSE(QFile::exists(QDir(shared).filePath("chan.sock.lock")));
  }
  // A folder given by name is held to the same rule.
  SingleInstance given("chan", Made(dir, "given", 0750));
  EXPECT_EQ(given.TryClaim(), SingleInstance::Claim::Failed);
  EXPECT_TRUE(given.Error().contains("mode 0750")) << given.Error().toStdString();
}

TEST(SingleInstanceTrust, SocketFileOrClientOfAnotherUserIsNeverUsed) {
  if (!test::RunningAsRoot()) GTEST_SKIP() << "needs root to act as another user";
  ui::test::App();
  QTemporaryDir dir;
  SingleInstance first("chan", dir.path());
  SingleInstance second("chan", dir.path());
  ASSERT_EQ(first.TryClaim(), SingleInstance::Claim::First);

  // A file of another user where our socket goes is neither removed nor connected to.
  QFile planted(first.SocketPath());
  ASSERT_TRUE(planted.open(QIODevice::WriteOnly));
  planted.close();
  ASSERT_EQ(::chown(QFile::encodeName(first.SocketPath()).constData(), test::kNobody, test::kNobody), 0);
  EXPECT_FALSE(first.Listen());
  EXPECT_TRUE(first.Error().contains("another user")) << first.Error().toStdString();
  EXPECT_TRUE(QFile::exists(first.SocketPath()));
  EXPECT_EQ(second.Send({1, 2, {}}, 100), kUntrusted);
  ASSERT_TRUE(QFile::remove(first.SocketPath()));

  // A client of another user is closed unread: no handling, no answer.
  ASSERT_TRUE(first.Listen());
  int handled = 0;
  first.SetHandler([&](const InstanceMessage&) {
    ++handled;
    return 0;
  });
  const std::string quit("\x4B\x4D\0\0\x4B\x49\x4C\x4C\0\0\0\0", 12);
  auto foreign = std::async(std::launch::async, [&] {
    return test::ForeignRequest(first.SocketPath().toStdString(), test::kNobody, quit, 1000);
  });
  while (foreign.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  EXPECT_EQ(foreign.get(), 0) << "200: could not connect, 201: could not change user, else answer bytes";
  EXPECT_EQ(handled, 0);
  // Our own user is still served.
  auto own = std::async(std::launch::async, [&] { return second.Send({0x4D4B, 0x4C4C494B, {}}, 1000, 5000); });
  while (own.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  EXPECT_EQ(own.get(), 0);
  EXPECT_EQ(handled, 1);
}

}  // namespace
}  // namespace vantrel::platform
