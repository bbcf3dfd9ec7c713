// What an atomic write replaces when the path is not a plain file, and which permissions
// the written file ends up with.
#include "core/profiles/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "core/profiles/profile_fakes.h"

namespace vantrel::profiles {
namespace {

using std::filesystem::perms;
using test::ReadAll;
using test::WriteAll;

bool Write(const std::filesystem::path& path, std::vector<std::uint8_t> bytes, std::string& why) {
  const std::span<const std::uint8_t> parts[] = {bytes};
  return WriteFileAtomically(path, parts, {}, &why);
}

perms PermissionsOf(const std::filesystem::path& p) { return std::filesystem::status(p).permissions(); }

// Sets the umask for one test and puts the old one back.
class Umask {
 public:
  explicit Umask(mode_t mask) : old_(::umask(mask)) {}
  ~Umask() { ::umask(old_); }

 private:
  mode_t old_;
};

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = test::ScratchFolder(::testing::UnitTest::GetInstance()->current_test_info()->name()); }
  std::filesystem::path dir;
};

// A link to a device used to be replaced by a file with the device's 0666 permissions,
// which any other user could then fill.
TEST_F(AtomicFileTest, LinksToAnythingButARegularFileAreRefusedAndLeftAsTheyWere) {
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  struct Case {
    const char* name;
    std::filesystem::path target;
    std::string reason;
  };
  for (const Case& c : {Case{"device", "/dev/zero", "is a link to /dev/zero, which is not a regular file"},
                        Case{"fifo", dir / "pipe", "is a link to " + (dir / "pipe").string() + ", which is not a regular file"},
                        Case{"nothing", dir / "gone", "is a link to " + (dir / "gone").string() + ", which is not a regular file"},
                        Case{"folder", dir, "is a link to " + dir.string() + ", which is not a regular file"}}) {
    const auto link = dir / (std::string(c.name) + ".vnp");
    std::filesystem::create_symlink(c.target, link);
    std::string why;
    EXPECT_FALSE(Write(link, {1, 2, 3}, why)) << c.name;
    EXPECT_EQ(why, c.reason) << c.name;
    EXPECT_EQ(LastWriteProblem(), c.reason) << c.name;
    EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(link))) << c.name;
    EXPECT_EQ(std::filesystem::read_symlink(link), c.target) << c.name;
  }
  // Nothing else was left behind (no temporary files).
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++entries;
  EXPECT_EQ(entries, 5u);
}

TEST_F(AtomicFileTest, ALinkToARegularFileHasThatFileReplacedAndStaysALink) {
  std::filesystem::create_directories(dir / "real");
  const auto target = dir / "real" / "profile.vnp";
  WriteAll(target, {9});
  std::filesystem::permissions(target, perms::owner_read | perms::owner_write | perms::group_read);
  const auto link = dir / "link.vnp";
  std::filesystem::create_symlink(std::filesystem::path("real") / "profile.vnp", link);
  std::string why;
  ASSERT_TRUE(Write(link, {1, 2, 3}, why)) << why;
  EXPECT_TRUE(LastWriteProblem().empty());
  EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(link)));
  EXPECT_EQ(ReadAll(target), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(PermissionsOf(target), perms::owner_read | perms::owner_write | perms::group_read);
}

TEST_F(AtomicFileTest, DevicesAndFifosAtThePathItselfAreNotReplaced) {
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0666), 0);
  std::string why;
  EXPECT_FALSE(Write(dir / "pipe", {1}, why));
  EXPECT_EQ(why, "is not a regular file");
  EXPECT_TRUE(std::filesystem::is_fifo(dir / "pipe"));
  EXPECT_FALSE(Write(dir, {1}, why));
  EXPECT_EQ(why, "Is a directory");
}

TEST_F(AtomicFileTest, NewFilesGetAtMost0644AndReplacedFilesKeepTheirPermissions) {
  const Umask open(0);
  std::string why;
  ASSERT_TRUE(Write(dir / "new.vnp", {1}, why)) << why;
  EXPECT_EQ(PermissionsOf(dir / "new.vnp"), perms::owner_read | perms::owner_write | perms::group_read | perms::others_read);
  {
    const Umask strict(077);
    ASSERT_TRUE(Write(dir / "private.vnp", {1}, why)) << why;
    EXPECT_EQ(PermissionsOf(dir / "private.vnp"), perms::owner_read | perms::owner_write);
  }
  // The user's own choice for an existing file stands, but set-id bits never carry over.
  std::filesystem::permissions(dir / "new.vnp", perms::owner_all | perms::group_write | perms::set_uid);
  ASSERT_TRUE(Write(dir / "new.vnp", {2}, why)) << why;
  EXPECT_EQ(PermissionsOf(dir / "new.vnp"), perms::owner_all | perms::group_write);
}

}  // namespace
}  // namespace vantrel::profiles
