// Apply to device of a full macro area (16384 bytes: three macros of 1360 steps with
// five-character names) and all three key tables, against the virtual keyboard with its
// USB latency model (one 1 ms frame per report in each direction). The floor is
// reports x 2 ms + the 10 ms pause before the end command; the counter "reports" gives
// the number sent per apply, "ratio" the time of an apply over its floor. Argument 1
// reads the macro area and the tables back after the bracket (the reports of the reads
// count in the floor too), argument 0 leaves the read-back out.
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "core/device/commands.h"
#include "core/device/device_link.h"
#include "core/keys/apply.h"
#include "sim/simulated_hid_service.h"
#include "sim/virtual_keyboard.h"

namespace {

using namespace vantrel;

class NoTexts final : public text::TextSource {
 public:
  std::string Text(std::string_view) const override { return ""; }
  std::string LightText(std::string_view) const override { return ""; }
  std::string ModeText(std::string_view) const override { return ""; }
};

class NoMessages final : public text::MessageSink {
 public:
  int shown = 0;
  void ShowMessage(std::string_view) override { ++shown; }
  bool AskYesNo(std::string_view, bool) override { return false; }
};

void BM_ApplyFullMacroAreaAndThreeTables(benchmark::State& state) {
  sim::VirtualKeyboard keyboard;
  sim::SimulatedHidService service(keyboard);  // default latency: 1 ms each way
  service.Init(0);
  device::DeviceLink link(service);
  link.RegisterConfigRead();
  device::CommandSet commands(link);
  keys::EditingStore editing;
  keys::AppliedStore applied;
  {
    keys::EditingStore::Lock lock(editing);
    for (std::uint16_t id = 1; id <= 3; ++id) {
      keys::MacroRecord m = keys::NewMacro(u"macro", id);
      std::vector<keys::MacroAction> steps(1360, keys::MacroAction{20, 0x01E, 0});
      for (std::size_t i = 0; i < steps.size(); i += 2) steps[i].direction = keys::kRelease;
      m.SetActions(steps);
      lock->macros.push_back(std::move(m));
    }
    for (std::size_t p = 0; p < 3; ++p) keys::StoreKeyAssignment(lock.Image(), p, 0x01, {keys::kKindMacro, 1, 1});
  }
  keys::ApplyRequest request;
  request.allProfiles = true;
  request.factory = keyboard.FactoryTable();
  request.macroCapacity = keyboard.MacroCapacity();
  request.readBack = state.range(0) != 0;
  NoTexts texts;
  NoMessages sink;
  std::size_t blockSize = 0;
  {
    keys::EditingStore::Lock lock(editing);
    blockSize = keys::ComputeMacroBlockSizes(lock->macros).full;
  }
  const std::uint64_t before = service.ConfigRequests();
  std::chrono::steady_clock::duration spent{};
  for (auto _ : state) {
    keys::EditingStore::Lock lock(editing);
    const auto start = std::chrono::steady_clock::now();
    if (!keys::ApplyToDevice(lock, applied, request, commands, texts, sink)) state.SkipWithError("apply failed");
    spent += std::chrono::steady_clock::now() - start;
  }
  const auto iterations = static_cast<double>(state.iterations());
  const double reports = static_cast<double>(service.ConfigRequests() - before) / iterations;
  const double floorMs = reports * 2.0 + 10.0;
  state.counters["reports"] = reports;
  state.counters["block_bytes"] = static_cast<double>(blockSize);
  state.counters["floor_ms"] = floorMs;
  state.counters["ratio"] = std::chrono::duration<double, std::milli>(spent).count() / iterations / floorMs;
  if (sink.shown != 0) state.SkipWithError("the block did not fit with names");
}
BENCHMARK(BM_ApplyFullMacroAreaAndThreeTables)
    ->ArgName("read_back")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

}  // namespace
