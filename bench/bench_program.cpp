// The vantrel program as a user meets it, against the virtual keyboard (default latency)
// on a display without a tray, so the window shows at start:
//  - StartToVisible: process start to the first paint of the main window, as the program
//    reports it under "--exit-when-shown" (goal < 300 ms);
//  - IdleCpu: CPU time of the idle program over 10 s, shown and started with "/Start"
//    (minimised), as a share of one core (goal < 1%);
//  - the resident memory of the idle program is reported with it (goal < 80 MB).
// Runs build/bin/vantrel with QT_QPA_PLATFORM=offscreen unless a platform is set.
#include <benchmark/benchmark.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

std::filesystem::path Program() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "vantrel";
}

// A private folder per benchmark: the keyboard's state file, the runtime folder of the
// instance channel and the settings, so that two runs at once never meet.
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

Child Spawn(const PrivateFolder& folder, std::vector<std::string> args, bool captureOutput = false) {
  if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Each run is the first instance: its own runtime folder for the channel.
  const auto runtime = folder.Home() / "runtime";
  std::filesystem::create_directories(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  setenv("HOME", folder.Home().c_str(), 1);
  setenv("XDG_CONFIG_HOME", (folder.Home() / "config").c_str(), 1);
  args.insert(args.begin(), "--simulate=" + folder.StateFile().string());
  args.insert(args.begin(), Program().string());
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
  if (posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) child.pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (pipeEnds[1] >= 0) close(pipeEnds[1]);
  child.output = pipeEnds[0];
  return child;
}

// The steady-clock time the program reports for its window's first paint, or nullopt when
// it ended without one.
std::optional<std::chrono::steady_clock::time_point> ShownAt(int output) {
  std::string text;
  char buffer[256];
  for (ssize_t n; (n = read(output, buffer, sizeof buffer)) > 0;) {
    text.append(buffer, static_cast<std::size_t>(n));
    const auto at = text.find("shown ");
    if (at != std::string::npos && text.find('\n', at) != std::string::npos) {
      const long long ns = std::stoll(text.substr(at + 6));
      return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(ns));
    }
  }
  return std::nullopt;
}

// utime + stime of a process in clock ticks.
long CpuTicks(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), {});
  std::istringstream rest(text.substr(text.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) stime = std::stol(field);
  }
  return utime + stime;
}

long RssKb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

void StartToVisible(benchmark::State& state) {
  PrivateFolder folder;
  if (!folder.ok()) state.SkipWithError("no private folder");
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const Child child = Spawn(folder, {"--exit-when-shown"}, true);
    const auto shown = child.pid > 0 ? ShownAt(child.output) : std::nullopt;
    if (child.output >= 0) close(child.output);
    int status = 0;
    if (child.pid > 0) waitpid(child.pid, &status, 0);
    if (!shown) {
      state.SkipWithError("vantrel did not show its window");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(*shown - start).count());
  }
}
BENCHMARK(StartToVisible)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void IdleCpu(benchmark::State& state) {
  const bool minimised = state.range(0) != 0;
  PrivateFolder folder;
  if (!folder.ok()) state.SkipWithError("no private folder");
  for (auto _ : state) {
    const pid_t pid = Spawn(folder, minimised ? std::vector<std::string>{"/Start"} : std::vector<std::string>{}).pid;
    std::this_thread::sleep_for(std::chrono::seconds(2));  // start-up and the first reload
    const long before = CpuTicks(pid);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const long after = CpuTicks(pid);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.counters["cpu_percent"] = 100.0 * static_cast<double>(after - before) /
                                    static_cast<double>(sysconf(_SC_CLK_TCK)) / wall;
    state.counters["rss_mb"] = static_cast<double>(RssKb(pid)) / 1024.0;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    state.SetIterationTime(wall);
  }
}
BENCHMARK(IdleCpu)->Arg(0)->Arg(1)->ArgName("minimised")->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
