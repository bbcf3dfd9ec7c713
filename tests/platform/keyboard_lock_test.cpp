// The keyboard's lock file and generation number: one holder at a time across processes,
// a bounded wait that says why it failed, a lock freed when its process dies, and a
// generation that only the holder advances.
#include "platform/keyboard_lock.h"
#include "platform/runtime_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace vantrel::platform {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

class KeyboardLockTest : public testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("vantrel-keyboard-lock-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

TEST_F(KeyboardLockTest, OneHolderAtATimeAndTheWaiterSaysTheKeyboardIsBusy) {
  KeyboardLock first(dir / "k.lock");
  KeyboardLock second(dir / "k.lock");
  std::string why;
  ASSERT_TRUE(first.Acquire(milliseconds(0), &why)) << why;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(second.Acquire(milliseconds(60), &why));
  EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(60));
  EXPECT_EQ(why, "the keyboard is busy with another program (lock file " + (dir / "k.lock").string() + ")");
  EXPECT_FALSE(second.Held());
  first.Release();
  EXPECT_TRUE(second.Acquire(milliseconds(0), &why)) << why;
}

TEST_F(KeyboardLockTest, ALockHeldByAnotherProcessIsFreedWhenThatProcessDies) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    KeyboardLock lock(dir / "k.lock");
    const bool held = lock.Acquire(milliseconds(1000), nullptr);
    const char c = held ? '1' : '0';
    (void)::write(ready[1], &c, 1);
    ::sleep(30);  // killed long before
    ::_exit(0);
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, '1');
  KeyboardLock mine(dir / "k.lock");
  std::string why;
  EXPECT_FALSE(mine.Acquire(milliseconds(30), &why));
  // Killed: it never gives the lock back itself.
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(mine.Acquire(milliseconds(1000), &why)) << why;
  ::close(ready[0]);
  ::close(ready[1]);
}

TEST_F(KeyboardLockTest, OnlyTheHolderWritesTheGenerationAndEveryObjectReadsIt) {
  KeyboardLock writer(dir / "k.lock");
  KeyboardLock reader(dir / "k.lock");
  EXPECT_EQ(reader.GenerationPath(), dir / "k.lock.gen");
  EXPECT_EQ(reader.Generation(), 0u);  // no file yet
  std::string why;
  EXPECT_FALSE(writer.WriteGeneration(1, &why));
  EXPECT_EQ(why, "the keyboard's lock is not held");
  ASSERT_TRUE(writer.Acquire(milliseconds(0), &why));
  ASSERT_TRUE(writer.WriteGeneration(41, &why)) << why;
  ASSERT_TRUE(writer.WriteGeneration(7, &why)) << why;  // shorter: no digit of 41 left over
  EXPECT_EQ(reader.Generation(), 7u);
  ASSERT_TRUE(writer.WriteGeneration(18446744073709551615ull, &why)) << why;
  EXPECT_EQ(reader.Generation(), 18446744073709551615ull);
  // Creating it again keeps what is in it.
  EXPECT_TRUE(reader.CreateGenerationFile(&why));
  EXPECT_EQ(reader.Generation(), 18446744073709551615ull);
}

// The lock and generation files stay open between turns; a file removed or replaced by
// its name in the meantime must not leave this program locking, reading or advancing a
// file nobody else opens any more.
TEST_F(KeyboardLockTest, FilesReplacedBetweenTurnsAreOpenedAgainByName) {
  const fs::path path = dir / "k.lock";
  KeyboardLock kept(path);
  std::string why;
  for (int turn = 0; turn < 3; ++turn) {
    ASSERT_TRUE(kept.Acquire(milliseconds(0), &why)) << why;
    ASSERT_TRUE(kept.WriteGeneration(10 + static_cast<std::uint64_t>(turn), &why)) << why;
    kept.Release();
  }
  struct Change {
    const char* what;
    void (*apply)(const fs::path& lock);
  };
  const Change changes[] = {
      {"lock removed", [](const fs::path& lock) { fs::remove(lock); }},
      {"lock replaced", [](const fs::path& lock) {
         const fs::path other = fs::path(lock) += ".new";
         { KeyboardLock make(other); (void)make.Acquire(milliseconds(0), nullptr); }
         fs::rename(other, lock);
       }},
      {"generation removed", [](const fs::path& lock) { fs::remove(fs::path(lock) += ".gen"); }},
  };
  std::uint64_t next = 20;
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    change.apply(path);
    ASSERT_TRUE(kept.Acquire(milliseconds(0), &why)) << why;
    // Another program opening the name now must find the lock taken.
    KeyboardLock other(path);
    EXPECT_FALSE(other.Acquire(milliseconds(0), &why));
    ASSERT_TRUE(kept.WriteGeneration(next, &why)) << why;
    EXPECT_EQ(other.Generation(), next);
    kept.Release();
    EXPECT_TRUE(other.Acquire(milliseconds(0), &why)) << why;
    EXPECT_EQ(other.Generation(), next);
    other.Release();
    ++next;
  }
}

TEST_F(KeyboardLockTest, AFifoOrALinkWhereTheFilesBelongIsRefusedWithoutBlocking) {
  ASSERT_EQ(::mkfifo((dir / "fifo.lock").c_str(), 0600), 0);
  KeyboardLock fifo(dir / "fifo.lock");
  std::string why;
  EXPECT_FALSE(fifo.Acquire(milliseconds(10), &why));
  EXPECT_EQ(why, (dir / "fifo.lock").string() + " is not a regular file");

  ASSERT_EQ(::mkfifo((dir / "k.lock.gen").c_str(), 0600), 0);
  KeyboardLock lock(dir / "k.lock");
  ASSERT_TRUE(lock.Acquire(milliseconds(0), &why)) << why;
  EXPECT_EQ(lock.Generation(), 0u);
  EXPECT_FALSE(lock.WriteGeneration(1, &why));

  fs::create_symlink(dir / "elsewhere", dir / "link.lock");
  KeyboardLock link(dir / "link.lock");
  EXPECT_FALSE(link.Acquire(milliseconds(10), &why));
  EXPECT_FALSE(fs::exists(dir / "elsewhere"));
}

TEST_F(KeyboardLockTest, TheVirtualKeyboardsLockLiesBesideItsStateFileHowEverItIsSpelled) {
  fs::create_directories(dir / "sub");
  const fs::path lock = SimKeyboardLockPath(dir / "state.json");
  EXPECT_EQ(lock, fs::weakly_canonical(dir) / "state.json.lock");
  EXPECT_EQ(SimKeyboardLockPath(dir / "sub" / ".." / "state.json"), lock);
  EXPECT_EQ(SimKeyboardLockPath(dir / "." / "state.json"), lock);
  EXPECT_NE(SimKeyboardLockPath(dir / "other.json"), lock);
  EXPECT_EQ(HidKeyboardLockName(0x0C45, 0x7666), "PX204-1127-hid-0c45-7666.lock");
}

// The real keyboard's lock does not depend on the user's environment: a program run with
// sudo meets the user's there.
TEST_F(KeyboardLockTest, TheKeyboardsLockIsTheSameWhateverTheRuntimeFolder) {
  if (!fs::is_directory(kSystemLockFolder)) GTEST_SKIP() << kSystemLockFolder << " is missing here";
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string old = saved ? saved : "";
  std::string error;
  ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  const fs::path first = HidKeyboardLockPath(0x0C45, 0x7666, &error);
  ::unsetenv("XDG_RUNTIME_DIR");
  const fs::path second = HidKeyboardLockPath(0x0C45, 0x7666, &error);
  if (saved) ::setenv("XDG_RUNTIME_DIR", old.c_str(), 1);
  EXPECT_EQ(first, fs::path(kSystemLockFolder) / "PX204-1127-hid-0c45-7666.lock");
  EXPECT_EQ(second, first);
}

// In the shared lock folder the files are readable by all (a lock needs only a descriptor
// open for reading), whatever the umask; a file there of another user is refused.
TEST_F(KeyboardLockTest, SharedLockFilesAreReadableByAllAndOthersFilesAreRefused) {
  const mode_t umaskBefore = ::umask(077);
  KeyboardLock shared(dir / "s.lock", kSharedLockMode);
  std::string why;
  ASSERT_TRUE(shared.Acquire(milliseconds(0), &why)) << why;
  ASSERT_TRUE(shared.CreateGenerationFile(&why)) << why;
  ::umask(umaskBefore);
  struct stat st {};
  ASSERT_EQ(::stat((dir / "s.lock").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  ASSERT_EQ(::stat((dir / "s.lock.gen").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  shared.Release();
  if (::geteuid() == 0) {
    // As root: a file of another user is not used, root's own is.
    ASSERT_EQ(::chown((dir / "s.lock").c_str(), 4321, 4321), 0);
    KeyboardLock other(dir / "s.lock", kSharedLockMode);
    EXPECT_FALSE(other.Acquire(milliseconds(0), &why));
    EXPECT_EQ(why, (dir / "s.lock").string() + " belongs to another user");
  }
}

TEST_F(KeyboardLockTest, ARuntimeFolderOpenToOthersIsNotUsed) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string old = saved ? saved : "";
  fs::create_directories(dir / "open");
  fs::permissions(dir / "open", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
  ::setenv("XDG_RUNTIME_DIR", (dir / "open").c_str(), 1);
  std::string error;
  const fs::path folder = RuntimeFolder("vantrel-lock-test", &error);
  EXPECT_NE(folder, dir / "open");
  if (!folder.empty()) {
    EXPECT_EQ(FolderNotPrivate(folder), "");
    fs::remove(folder);
  }
  fs::permissions(dir / "open", fs::perms::owner_all);
  EXPECT_EQ(RuntimeFolder("vantrel-lock-test", &error), dir / "open");
  if (saved) ::setenv("XDG_RUNTIME_DIR", old.c_str(), 1);
  else ::unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace vantrel::platform
