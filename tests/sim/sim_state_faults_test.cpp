// The virtual keyboard's state file under bad conditions: inconsistent content, paths
// that are not regular files, writes that fail, and several writers at once.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <thread>
#include <vector>

#include "sim/sim_state.h"

namespace vantrel::test {
namespace {

class SimStateFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("vantrel-simfaults-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    path = dir / "state.json";
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::filesystem::path dir, path;
};

TEST_F(SimStateFaultsTest, ZeroMacroCapacityIsRefusedWhateverTheMacroAreaHolds) {
  sim::VirtualKeyboard k;
  k.DeviceState()[11] = 0;
  k.MacroArea().assign(16, 0);  // used to be accepted: "16 of 0 bytes used"
  std::ofstream(path) << sim::SimStateJson(k);
  sim::VirtualKeyboard target;
  std::string error;
  EXPECT_FALSE(sim::LoadSimState(path, target, &error));
  EXPECT_NE(error.find("\"device_state\" byte 11 (macro capacity)"), std::string::npos) << error;
  k.MacroArea().clear();
  std::ofstream(path, std::ios::trunc) << sim::SimStateJson(k);
  EXPECT_FALSE(sim::LoadSimState(path, target, &error));
}

TEST_F(SimStateFaultsTest, AStateFileThatIsNotARegularFileIsRefusedWithoutOpeningIt) {
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  sim::VirtualKeyboard k;
  std::string error;
  EXPECT_FALSE(sim::LoadSimState(path, k, &error));
  EXPECT_EQ(error, path.string() + ": is not a regular file");
  EXPECT_FALSE(sim::LoadSimState(dir, k, &error));
  EXPECT_EQ(error, dir.string() + ": is a directory");
}

TEST_F(SimStateFaultsTest, AFailedSaveSaysWhyAndLeavesTheOldFile) {
  sim::VirtualKeyboard k;
  std::string error;
  std::ofstream(dir / "plain") << "x";
  EXPECT_FALSE(sim::SaveSimState(dir / "plain" / "state.json", k, &error));
  EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
  EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
  std::filesystem::create_directories(path);  // a folder where the file should be
  EXPECT_FALSE(sim::SaveSimState(path, k, &error));
  EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
}

class SimStateFaultsThreadsTest : public SimStateFaultsTest {};

// Every save used to go through "<state>.tmp": writers at once took each other's
// temporary file away ("cannot replace ...: No such file or directory").
TEST_F(SimStateFaultsThreadsTest, SavingAtOnceNeverCollides) {
  constexpr int kWriters = 4, kRounds = 25;
  std::vector<std::thread> writers;
  std::vector<int> failures(kWriters, 0);
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      sim::VirtualKeyboard k;
      k.Lighting()[0] = static_cast<std::uint8_t>(w);
      for (int i = 0; i < kRounds; ++i) {
        std::string error;
        if (!sim::SaveSimState(path, k, &error)) ++failures[static_cast<std::size_t>(w)];
      }
    });
  }
  for (auto& t : writers) t.join();
  for (int w = 0; w < kWriters; ++w) EXPECT_EQ(failures[static_cast<std::size_t>(w)], 0) << w;
  sim::VirtualKeyboard back;
  std::string error;
  EXPECT_TRUE(sim::LoadSimState(path, back, &error)) << error;
  std::size_t leftovers = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) leftovers += e.path() != path;
  EXPECT_EQ(leftovers, 0u);
}

}  // namespace
}  // namespace vantrel::test
