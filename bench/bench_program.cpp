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

#include "program_process.h"

namespace {

using bench::Child;
using bench::PrivateFolder;
using bench::Spawn;

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
