// Apply to device against the virtual keyboard with its USB latency model (one 1 ms frame
// per report in each direction): all three key tables and either a full macro area
// (16384 bytes: three macros of 1360 steps with five-character names) or one short macro
// (108 bytes). The floor is reports x 2 ms + the 10 ms pause before the end command. The
// counter "reports" gives the number sent per apply, "ratio" the time of an apply over the
// floor of its own reports; "write_floor_ms" is the floor of the same apply without
// read-back and "ratio_to_write_floor" the time over it, so the price of reading back is
// seen. Argument read_back 1 reads the macro area (the bytes written) and the tables back
// after the bracket, 0 leaves the read-back out.
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

void BM_ApplyMacroAreaAndThreeTables(benchmark::State& state) {
  const bool fullArea = state.range(1) != 0;
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
    const std::uint16_t macros = fullArea ? 3 : 1;
    for (std::uint16_t id = 1; id <= macros; ++id) {
      keys::MacroRecord m = keys::NewMacro(fullArea ? u"macro" : u"one", id);
      std::vector<keys::MacroAction> steps(fullArea ? 1360 : 20, keys::MacroAction{20, 0x01E, 0});
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
  NoTexts texts;
  NoMessages sink;
  // The reports of the same apply without read-back, counted once before the timed runs.
  request.readBack = false;
  std::uint64_t writeReports = service.ConfigRequests();
  {
    keys::EditingStore::Lock lock(editing);
    if (!keys::ApplyToDevice(lock, applied, request, commands, texts, sink)) state.SkipWithError("apply failed");
  }
  writeReports = service.ConfigRequests() - writeReports;
  request.readBack = state.range(0) != 0;
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
  const double writeFloorMs = static_cast<double>(writeReports) * 2.0 + 10.0;
  const double applyMs = std::chrono::duration<double, std::milli>(spent).count() / iterations;
  state.counters["write_floor_ms"] = writeFloorMs;
  state.counters["ratio"] = applyMs / floorMs;
  state.counters["ratio_to_write_floor"] = applyMs / writeFloorMs;
  if (sink.shown != 0) state.SkipWithError("the block did not fit with names");
}
BENCHMARK(BM_ApplyMacroAreaAndThreeTables)
    ->ArgNames({"read_back", "full_area"})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

}  // namespace
