// One DeviceTransact round trip against the virtual keyboard: with no latency (our own
// overhead) and with the 1 ms USB frame model (goal: within 5% of 2 ms).
#include <benchmark/benchmark.h>

#include "core/device/commands.h"
#include "core/device/device_link.h"
#include "sim/simulated_hid_service.h"
#include "sim/virtual_keyboard.h"

namespace {

using namespace vantrel;

void RoundTrip(benchmark::State& state, std::chrono::microseconds latency) {
  sim::VirtualKeyboard keyboard;
  sim::SimOptions options;
  options.latency = latency;
  sim::SimulatedHidService service(keyboard, options);
  device::DeviceLink link(service);
  link.RegisterConfigRead();
  const auto request = device::MakeReport(device::kCmdTest, 0, 0);
  device::ConfigReport reply{};
  std::uint32_t received = 0;
  for (auto _ : state) {
    const auto result = link.DeviceTransact(request.data(), 64, reply.data(), 64, received);
    if (result != device::kDeviceOk) state.SkipWithError("transaction failed");
    benchmark::DoNotOptimize(reply);
  }
}

void BM_TransactNoLatency(benchmark::State& state) { RoundTrip(state, std::chrono::microseconds(0)); }
void BM_TransactUsbFrame(benchmark::State& state) { RoundTrip(state, std::chrono::microseconds(1000)); }

BENCHMARK(BM_TransactNoLatency)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_TransactUsbFrame)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
