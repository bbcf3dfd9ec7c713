#include "platform/executable_path.h"

#include <gtest/gtest.h>

namespace vantrel::platform {
namespace {

TEST(CurrentAppPaths, PointBesideTheRunningProgram) {
  const std::filesystem::path bin = std::filesystem::weakly_canonical(VANTREL_BIN_DIR);
  EXPECT_EQ(ExecutableFilePath().parent_path(), bin);
  const text::AppPaths paths = CurrentAppPaths();
  EXPECT_EQ(paths.programDirectory, bin);
  EXPECT_EQ(paths.programFileName, ExecutableFilePath().filename());
  EXPECT_TRUE(std::filesystem::exists(paths.programDirectory / "Lang0409.ini"));
  EXPECT_EQ(paths.userDataDirectory.filename(), "PX204-1127");
}

}  // namespace
}  // namespace vantrel::platform
