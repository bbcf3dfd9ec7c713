// The built vantrel program as a user starts it, against the virtual keyboard, offscreen,
// in a temporary home and runtime folder: how it ends on a signal, what a second start
// and "/Kill" report, and how it treats a channel that does not answer or is not ours.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>

#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/text/app_paths.h"
#include "ui/windows/channel_peers.h"

extern char** environ;

namespace vantrel::test {
namespace {

constexpr const char* kChannel = "PX204-1127";

struct Outcome {
  int code = -1;  // exit code; -1 when it did not end in time
  std::string output;
};

// One user's world: home, settings and runtime folder of its own, no display.
class Sandbox {
 public:
  Sandbox() {
    root_ = dir_.path().toStdString();
    for (const char* sub : {"home", "run", "tmp"}) QDir(dir_.path()).mkpath(sub);
    ::chmod((root_ + "/run").c_str(), 0700);
    std::ofstream(root_ + "/lsan.supp") << "leak:libfontconfig.so\n";
  }
  std::string Runtime() const { return root_ + "/run"; }
  std::string SocketPath() const { return Runtime() + "/" + kChannel + ".sock"; }
  const std::string& Root() const { return root_; }
  // The program started: the built one, or a copy in a program folder of the test's.
  std::string program = std::string(VANTREL_BIN_DIR) + "/vantrel";
  std::string LockPath() const { return SocketPath() + ".lock"; }
  std::string Simulate() const { return "--simulate=" + root_ + "/state.json"; }

  // Starts vantrel with `args`; its output goes to a file of its own.
  pid_t Start(const std::vector<std::string>& args) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      static const char* kReplaced[] = {"HOME=", "XDG_CONFIG_HOME=", "XDG_DATA_HOME=", "XDG_RUNTIME_DIR=",
                                        "QT_QPA_PLATFORM=", "TMPDIR=", "LSAN_OPTIONS="};
      bool replaced = false;
      for (const char* name : kReplaced) replaced = replaced || entry.rfind(name, 0) == 0;
      if (!replaced) env.push_back(entry);
    }
    env.push_back("HOME=" + root_ + "/home");
    env.push_back("XDG_CONFIG_HOME=" + root_ + "/home/.config");
    env.push_back("XDG_DATA_HOME=" + root_ + "/home/.local/share");
    env.push_back("XDG_RUNTIME_DIR=" + Runtime());
    env.push_back("TMPDIR=" + root_ + "/tmp");
    env.push_back("QT_QPA_PLATFORM=offscreen");
    // Under LeakSanitizer the program ends as the ui tests do: the font configuration Qt
    // keeps for the life of the process is not a leak of ours.
    env.push_back("LSAN_OPTIONS=print_suppressions=0:suppressions=" + root_ + "/lsan.supp");
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv, cenv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    for (auto& e : env) cenv.push_back(e.data());
    cenv.push_back(nullptr);

    const std::string log = root_ + "/out-" + std::to_string(++runs_) + ".txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), cenv.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    logs_[pid] = log;
    return pid;
  }

  Outcome Finish(pid_t pid, int ms = 20000) {
    Outcome o;
    o.code = WaitChild(pid, ms);
    std::ifstream in(logs_[pid]);
    std::stringstream text;
    text << in.rdbuf();
    o.output = text.str();
    return o;
  }

  Outcome Run(const std::vector<std::string>& args, int ms = 20000) { return Finish(Start(args), ms); }

  // Starts the first instance and waits until its channel is open.
  pid_t StartFirst() {
    const pid_t pid = Start({Simulate()});
    if (!WaitUntil([&] { return QFile::exists(QString::fromStdString(SocketPath())); }, 20000)) return -1;
    return pid;
  }

  static bool WaitUntil(const std::function<bool()>& done, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

 private:
  QTemporaryDir dir_;
  std::string root_;
  int runs_ = 0;
  std::map<pid_t, std::string> logs_;
};

bool Exists(const std::string& path) { return QFile::exists(QString::fromStdString(path)); }

// SIGHUP (the terminal or the session went away) used to end the program where it stood.
TEST(VantrelProcess, TermIntAndHupEndThroughTheClosingRoutine) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    Sandbox box;
    const pid_t first = box.StartFirst();
    ASSERT_GT(first, 0);
    ASSERT_EQ(::kill(first, signal), 0);
    const Outcome end = box.Finish(first);
    // A clean end: exit 0, the channel's socket and lock removed, the virtual keyboard's
    // state saved.
    EXPECT_EQ(end.code, 0) << end.output;
    EXPECT_FALSE(Exists(box.SocketPath()));
    EXPECT_FALSE(Exists(box.LockPath()));
    EXPECT_TRUE(Exists(box.Simulate().substr(std::strlen("--simulate="))));
    // The next start is the first instance again.
    const pid_t next = box.StartFirst();
    ASSERT_GT(next, 0);
    EXPECT_EQ(box.Run({"/Kill"}).code, 0);
    EXPECT_EQ(box.Finish(next).code, 0);
  }
}

TEST(VantrelProcess, SecondStartSimEventAndKillWithTheirExitCodes) {
  Sandbox box;
  const pid_t first = box.StartFirst();
  ASSERT_GT(first, 0);
  EXPECT_EQ(box.Run({}).code, 0);
  EXPECT_EQ(box.Run({"--sim-event", "unplug"}).code, 0);
  EXPECT_EQ(box.Run({"--sim-event", "no-such-event"}).code, 2);
  int status = 0;
  ASSERT_EQ(::waitpid(first, &status, WNOHANG), 0) << "a second start ended the first";

  // "/Kill" comes back once the instance has ended, not merely when it took the request:
  // its lock, the last thing it lets go, is gone. (The process itself may still be in its
  // exit, e.g. a leak checker's report, so it is reaped with a wait.)
  const Outcome kill = box.Run({"/Start", "/Kill"});
  EXPECT_EQ(kill.code, 0) << kill.output;
  EXPECT_FALSE(Exists(box.LockPath())) << "/Kill returned while the instance still ran";
  EXPECT_EQ(box.Finish(first).code, 0);

  // Nothing runs now.
  EXPECT_EQ(box.Run({"/Kill"}).code, 0);
  EXPECT_EQ(box.Run({"--sim-event", "plug"}).code, 3);
  EXPECT_FALSE(Exists(box.LockPath()));
}

TEST(VantrelProcess, ExitWhenShownReportsTheFirstPaintOnTheSteadyClock) {
  // The start-up benchmark times the window by this report, so it must come from this
  // run, after the start, and the program must end cleanly after it.
  Sandbox box;
  const auto before = std::chrono::steady_clock::now().time_since_epoch();
  const Outcome shown = box.Run({box.Simulate(), "--exit-when-shown"});
  const auto after = std::chrono::steady_clock::now().time_since_epoch();
  ASSERT_EQ(shown.code, 0) << shown.output;
  const auto at = shown.output.find("shown ");
  ASSERT_NE(at, std::string::npos) << shown.output;
  const auto ns = std::chrono::nanoseconds(std::stoll(shown.output.substr(at + 6)));
  EXPECT_GT(ns, before);
  EXPECT_LT(ns, after);
}

TEST(VantrelProcess, UnansweredRequestIsAFailureWithItsReason) {
  // An instance that holds the lock and takes connections but dies on every request.
  Sandbox box;
  QLockFile lock(QString::fromStdString(box.LockPath()));
  ASSERT_TRUE(lock.tryLock(0));
  FakeListener dead(box.SocketPath(), ::geteuid(), /*answer=*/false, 3);
  ASSERT_TRUE(dead.Listening());
  for (const auto& args : std::vector<std::vector<std::string>>{{}, {"/Kill"}, {"--sim-event", "unplug"}}) {
    const Outcome o = box.Run(args);
    EXPECT_EQ(o.code, 1) << (args.empty() ? "" : args[0]);
    EXPECT_NE(o.output.find("without answering"), std::string::npos) << o.output;
  }
}

TEST(VantrelProcess, ChannelOfAnotherUserIsAnErrorNotAnotherInstance) {
  if (!RunningAsRoot()) GTEST_SKIP() << "needs root to act as another user";
  {
    // Someone else listens on our socket: they get nothing, and "/Kill" does not claim
    // success.
    Sandbox box;
    QLockFile lock(QString::fromStdString(box.LockPath()));
    ASSERT_TRUE(lock.tryLock(0));
    FakeListener stranger(box.SocketPath(), kNobody, /*answer=*/true);
    ASSERT_TRUE(stranger.Listening());
    const Outcome o = box.Run({"/Kill"});
    EXPECT_EQ(o.code, 1);
    EXPECT_NE(o.output.find("another user (uid 65534)"), std::string::npos) << o.output;
    EXPECT_EQ(stranger.Finish(), 0) << "the request reached the other user";
  }
  {
    // Someone else's lock: the start fails at once and names it.
    Sandbox box;
    QLockFile lock(QString::fromStdString(box.LockPath()));
    ASSERT_TRUE(lock.tryLock(0));
    ASSERT_EQ(::chown(box.LockPath().c_str(), kNobody, kNobody), 0);
    const auto started = std::chrono::steady_clock::now();
    const Outcome o = box.Run({box.Simulate()});
    EXPECT_EQ(o.code, 1);
    EXPECT_NE(o.output.find(box.LockPath()), std::string::npos) << o.output;
    EXPECT_NE(o.output.find("another user"), std::string::npos) << o.output;
    EXPECT_EQ(o.output.find("another instance"), std::string::npos) << o.output;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  }
}

// The first instance starts the companion daemon that lies beside it, under the one name
// the program's paths give it (it used to look for another name than the paths held).
TEST(VantrelProcess, TheFirstInstanceStartsTheCompanionDaemonBesideIt) {
  namespace fs = std::filesystem;
  Sandbox box;
  const fs::path folder = fs::path(box.Root()) / "program";
  fs::create_directories(folder);
  for (const auto& entry : fs::directory_iterator(VANTREL_BIN_DIR)) {
    if (entry.path().filename() == "vantrel") continue;
    fs::create_symlink(entry.path(), folder / entry.path().filename());
  }
  fs::copy_file(fs::path(VANTREL_BIN_DIR) / "vantrel", folder / "vantrel");
  const fs::path marker = fs::path(box.Root()) / "daemon-started";
  const fs::path daemon = text::CompanionDaemonPath(folder);
  std::ofstream(daemon) << "#!/bin/sh\ntouch '" << marker.string() << "'\n";
  fs::permissions(daemon, fs::perms::owner_all);
  box.program = (folder / "vantrel").string();
  const pid_t first = box.StartFirst();
  ASSERT_GT(first, 0);
  EXPECT_TRUE(Sandbox::WaitUntil([&] { return fs::exists(marker); }, 20000));
  EXPECT_EQ(box.Run({"/Kill"}).code, 0);
  EXPECT_EQ(box.Finish(first).code, 0);
}

}  // namespace
}  // namespace vantrel::test
