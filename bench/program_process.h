// What the benchmarks of the running program share: a private folder per run (the
// keyboard's state file, the instance channel's runtime folder, the settings) and the
// program started in it on the virtual keyboard.
#pragma once

#include <spawn.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

extern char** environ;

namespace bench {

inline std::filesystem::path ProgramFolder() { return std::filesystem::read_symlink("/proc/self/exe").parent_path(); }
inline std::filesystem::path Program() { return ProgramFolder() / "vantrel"; }

class PrivateFolder {
 public:
  PrivateFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vantrel_bench_XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~PrivateFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  bool ok() const { return !path_.empty(); }
  std::filesystem::path StateFile() const { return path_ / "keyboard.json"; }
  std::filesystem::path Home() const { return path_; }

 private:
  std::filesystem::path path_;
};

struct Child {
  pid_t pid = -1;
  int output = -1;  // read end of the child's stdout, or -1
};

// Runs `args` (the first is the executable) with the environment of this process, its
// stdout on a pipe when asked.
inline Child SpawnProcess(std::vector<std::string> args, bool captureOutput = false) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  Child child;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int pipeEnds[2] = {-1, -1};
  if (captureOutput && pipe(pipeEnds) == 0) {
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
  }
  if (posix_spawnp(&child.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) child.pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (pipeEnds[1] >= 0) close(pipeEnds[1]);
  child.output = pipeEnds[0];
  return child;
}

// The program on the folder's virtual keyboard, offscreen unless a platform is set. Each
// run is the first instance: its own runtime folder for the channel.
inline Child Spawn(const PrivateFolder& folder, std::vector<std::string> args, bool captureOutput = false) {
  if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const auto runtime = folder.Home() / "runtime";
  std::filesystem::create_directories(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  setenv("HOME", folder.Home().c_str(), 1);
  setenv("XDG_CONFIG_HOME", (folder.Home() / "config").c_str(), 1);
  args.insert(args.begin(), "--simulate=" + folder.StateFile().string());
  args.insert(args.begin(), Program().string());
  return SpawnProcess(std::move(args), captureOutput);
}

}  // namespace bench
