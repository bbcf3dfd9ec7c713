// A profile switch asked for over the session bus, as a script or a desktop shortcut asks:
// SetActiveProfile on the running program (virtual keyboard, default latency), from the
// call to its answer, which comes once the keyboard runs the profile. The program and a
// bus of its own run in a private folder; each iteration switches between profiles 0 and
// 1. The counters give the fastest, the median and the slowest call in milliseconds.
// Skipped when dbus-daemon is missing.
#include <benchmark/benchmark.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "platform/dbus_client.h"
#include "program_process.h"

namespace {

using namespace std::chrono_literals;

void Stop(bench::Child& child) {
  if (child.output >= 0) close(child.output);
  if (child.pid > 0) {
    kill(child.pid, SIGTERM);
    waitpid(child.pid, nullptr, 0);
  }
  child = {};
}

// The address a private bus daemon prints when it is ready.
std::string BusAddress(int output) {
  std::string text;
  char c = 0;
  while (read(output, &c, 1) == 1 && c != '\n') text.push_back(c);
  return text;
}

bool Present(vantrel::platform::ProgramBus& program) {
  const auto answer = program.Property("Present");
  const auto* present = answer.Ok() && !answer.values.empty() ? std::get_if<bool>(&answer.values[0]) : nullptr;
  return present && *present;
}

void DbusProfileSwitch(benchmark::State& state) {
  bench::PrivateFolder folder;
  if (!folder.ok()) return state.SkipWithError("no private folder");
  bench::Child bus = bench::SpawnProcess({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, true);
  const std::string address = bus.pid > 0 ? BusAddress(bus.output) : std::string();
  if (address.empty()) {
    Stop(bus);
    return state.SkipWithError("dbus-daemon is missing or did not start");
  }
  setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
  bench::Child program = bench::Spawn(folder, {"/Start"});
  std::unique_ptr<vantrel::platform::ProgramBus> client;
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (std::chrono::steady_clock::now() < deadline && !(client && Present(*client))) {
    std::this_thread::sleep_for(50ms);
    if (!client) client = vantrel::platform::ProgramBus::Find(folder.StateFile());
  }
  if (!client || !Present(*client)) {
    Stop(program);
    Stop(bus);
    return state.SkipWithError("the program did not come up on the bus with its keyboard");
  }
  // Let the start-up reads finish before the first switch is timed.
  std::this_thread::sleep_for(1s);

  std::vector<double> ms;
  long long profile = 0;
  for (auto _ : state) {
    profile = profile == 0 ? 1 : 0;
    const auto start = std::chrono::steady_clock::now();
    const auto answer = client->Call("SetActiveProfile", {profile});
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (!answer.Ok()) {
      state.SkipWithError(("SetActiveProfile failed: " + answer.message).c_str());
      break;
    }
    ms.push_back(took.count() * 1000.0);
    state.SetIterationTime(took.count());
  }
  if (!ms.empty()) {
    std::sort(ms.begin(), ms.end());
    state.counters["min_ms"] = ms.front();
    state.counters["median_ms"] = ms[ms.size() / 2];
    state.counters["max_ms"] = ms.back();
  }
  client.reset();
  Stop(program);
  Stop(bus);
}
BENCHMARK(DbusProfileSwitch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(100);

}  // namespace
