// The vantrel program as a user meets it, against the virtual keyboard (default latency)
// on a display without a tray, so the window shows at start:
//  - StartToVisible: process start to the main window exposed (goal < 300 ms);
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
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

std::filesystem::path Program() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "vantrel";
}

std::filesystem::path StateFile() { return std::filesystem::temp_directory_path() / "vantrel_bench_keyboard.json"; }

pid_t Spawn(std::vector<std::string> args) {
  if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Each run is the first instance: its own runtime folder for the channel.
  const auto runtime = std::filesystem::temp_directory_path() / "vantrel_bench_runtime";
  std::filesystem::create_directories(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  args.insert(args.begin(), Program().string());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
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
  const std::string simulate = "--simulate=" + StateFile().string();
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = Spawn({simulate, "--exit-when-shown"});
    int status = 0;
    waitpid(pid, &status, 0);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("vantrel did not start");
    state.SetIterationTime(seconds);
  }
}
BENCHMARK(StartToVisible)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void IdleCpu(benchmark::State& state) {
  const bool minimised = state.range(0) != 0;
  const std::string simulate = "--simulate=" + StateFile().string();
  for (auto _ : state) {
    const pid_t pid = minimised ? Spawn({simulate, "/Start"}) : Spawn({simulate});
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
