#include "platform/lock_keys.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace vantrel::platform {
namespace {

namespace fs = std::filesystem;

class LockLeds : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("vantrel-lock-leds-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Led(const std::string& name, const std::string& brightness) {
    fs::create_directories(dir_ / name);
    std::ofstream(dir_ / name / "brightness") << brightness;
  }
  fs::path dir_;
};

TEST_F(LockLeds, AnyKeyboardsLitLedTurnsItsLockOn) {
  Led("input3::capslock", "0\n");
  Led("input7::capslock", "1\n");  // a second keyboard has it lit
  Led("input3::numlock", "1\n");
  Led("input3::scrolllock", "0\n");
  Led("input3::kana", "1\n");      // not a lock this window shows
  Led("phy0-led", "255\n");        // not a keyboard LED
  EXPECT_EQ(ReadLockLeds(dir_), (LockKeys{.caps = true, .num = true, .scroll = false}));
}

TEST_F(LockLeds, NoLockLedOrAMissingFolderTellsNothing) {
  Led("phy0-led", "1\n");
  EXPECT_FALSE(ReadLockLeds(dir_).has_value());
  EXPECT_FALSE(ReadLockLeds(dir_ / "absent").has_value());
  // An unreadable brightness counts as off, not as a reason to give up.
  Led("input1::scrolllock", "junk");
  EXPECT_EQ(ReadLockLeds(dir_), LockKeys{});
}

}  // namespace
}  // namespace vantrel::platform
