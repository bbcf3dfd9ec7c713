// The program saves the virtual keyboard's state after every change. A state file it
// cannot write used to lose every change without a word.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "stack/device_stack.h"

namespace vantrel::stack {
namespace {

namespace fs = std::filesystem;

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(SimStateSaveTest, AStateFileThatCannotBeWrittenIsToldOnceUntilItCanBeAgain) {
  const fs::path dir = fs::temp_directory_path() / "vantrel-sim-state-save";
  fs::remove_all(dir);
  fs::create_directories(dir);
  StackOptions options;
  options.simulate = true;
  options.simStatePath = (dir / "state.json").string();
  options.holdSimLockForRun = false;  // as the program runs
  DeviceStack stack;
  std::string error;
  ASSERT_TRUE(stack.Open(options, &error)) << error;
  ASSERT_TRUE(stack.SaveSimState(&error)) << error;

  fs::permissions(dir / "state.json", fs::perms::owner_read | fs::perms::group_read);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(stack.SaveSimState(&error));
  EXPECT_FALSE(stack.SaveSimState(nullptr));
  EXPECT_FALSE(stack.SaveSimState(&error));
  std::string told = testing::internal::GetCapturedStderr();
  EXPECT_EQ(error, "cannot write " + (dir / "state.json").string() + ": Permission denied");
  EXPECT_EQ(Count(told, "virtual keyboard state not saved: cannot write " + (dir / "state.json").string() +
                            ": Permission denied; changes to the virtual keyboard are not kept"),
            1u)
      << told;

  // Writable again: saved silently; a new failure is told again.
  fs::permissions(dir / "state.json", fs::perms::owner_read | fs::perms::owner_write);
  testing::internal::CaptureStderr();
  EXPECT_TRUE(stack.SaveSimState(&error));
  fs::permissions(dir / "state.json", fs::perms::owner_read);
  EXPECT_FALSE(stack.SaveSimState(&error));
  told = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Count(told, "virtual keyboard state not saved"), 1u) << told;

  fs::permissions(dir / "state.json", fs::perms::owner_read | fs::perms::owner_write);
  (void)stack.Close(nullptr);
}

}  // namespace
}  // namespace vantrel::stack
