// A profile switch asked for over the session bus, as a script or a desktop shortcut asks:
// SetActiveProfile on the running program, from the call to its answer, which comes once
// the keyboard runs the profile. The virtual keyboard answers at once (latency 0), so the
// time is the program's and the bus's own. The program and a bus of its own run in a
// private folder; each iteration switches between profiles 0 and 1. The argument is the
// pause before each call in milliseconds: with a pause the program has finished the
// window's follow-up reads of the last switch (the lighting of the new profile); without
// one a call waits behind them, as a script calling in a tight loop does. A property read
// (no keyboard work) gives the bus's own round trip. The counters give the fastest, the
// median and the slowest call in milliseconds. Skipped when dbus-daemon is missing.
#include <benchmark/benchmark.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
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

// One private bus for the whole run: this process's connection to the session bus is
// made once and kept, so every benchmark must find the same bus. Ended at exit.
bench::Child& SharedBus() {
  static bench::Child bus = [] {
    bench::Child child = bench::SpawnProcess({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, true);
    const std::string address = child.pid > 0 ? BusAddress(child.output) : std::string();
    if (address.empty()) {
      Stop(child);
      return child;
    }
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    std::atexit([] { Stop(SharedBus()); });
    return child;
  }();
  return bus;
}

void DbusProfileSwitch(benchmark::State& state) {
  bench::PrivateFolder folder;
  if (!folder.ok()) return state.SkipWithError("no private folder");
  if (SharedBus().pid <= 0) return state.SkipWithError("dbus-daemon is missing or did not start");
  bench::Child program = bench::Spawn(folder, {"/Start", "--sim-latency", "0"});
  std::unique_ptr<vantrel::platform::ProgramBus> client;
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (std::chrono::steady_clock::now() < deadline && !(client && Present(*client))) {
    std::this_thread::sleep_for(50ms);
    if (!client) client = vantrel::platform::ProgramBus::Find(folder.StateFile());
  }
  if (!client || !Present(*client)) {
    Stop(program);
    return state.SkipWithError("the program did not come up on the bus with its keyboard");
  }
  // Let the start-up reads finish before the first switch is timed.
  std::this_thread::sleep_for(1s);

  const auto pause = std::chrono::milliseconds(state.range(0));
  std::vector<double> ms;
  std::vector<double> propertyMs;
  long long profile = 0;
  for (auto _ : state) {
    profile = profile == 0 ? 1 : 0;
    if (pause.count() > 0) {
      std::this_thread::sleep_for(pause);
      const auto start = std::chrono::steady_clock::now();
      const auto read = client->Property("ActiveProfile");
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      if (read.Ok()) propertyMs.push_back(took.count() * 1000.0);
    }
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
  if (!propertyMs.empty()) {
    std::sort(propertyMs.begin(), propertyMs.end());
    state.counters["property_median_ms"] = propertyMs[propertyMs.size() / 2];
  }
  client.reset();
  Stop(program);
}
BENCHMARK(DbusProfileSwitch)->Arg(300)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(100);

}  // namespace
