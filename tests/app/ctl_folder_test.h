// A test of vantrelctl that keeps its state, trace and documents in a folder of its own,
// named for the test.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ctl_runner.h"

namespace vantrel::test {

// The whole content of a file; empty when it cannot be read.
inline std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class CtlFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = TestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name()); }

  std::filesystem::path dir;
};

}  // namespace vantrel::test
