// Runs work that may open a FIFO and reports whether it finished within a few seconds. A
// reader left blocked on the FIFO is then released (a writer opens and closes it) so the
// test can end and report the hang instead of hanging itself.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <string>

#include <gtest/gtest.h>

namespace vantrel::test {

// A scratch folder of its own for the running test and process (ctest runs the tests of a
// suite side by side), emptied first.
inline std::filesystem::path FifoScratchFolder(const std::string& prefix) {
  const auto dir = std::filesystem::temp_directory_path() /
                   (prefix + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
                    std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

inline bool FinishesPromptly(const std::filesystem::path& fifo, const std::function<void()>& work) {
  auto done = std::async(std::launch::async, work);
  if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready) return true;
  while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
  }
  return false;
}

}  // namespace vantrel::test
