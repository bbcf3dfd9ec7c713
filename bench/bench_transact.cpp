// One DeviceTransact round trip against the virtual keyboard: with no latency (our own
// overhead) and with the 1 ms USB frame model (goal: within 5% of 2 ms).
//
// The virtual keyboard answers on its own thread, so its figure is mostly two thread
// hand-overs and moves with the machine's load. The link's own share is measured against
// a backend that answers inside the write, on the calling thread: alone, inside a bracket
// (the keyboard already held), and with the keyboard's lock file taken and given back
// for each lone request, as the program does when it shares the keyboard.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "core/device/commands.h"
#include "core/device/device_link.h"
#include "sim/simulated_hid_service.h"
#include "sim/virtual_keyboard.h"
#include "stack/shared_keyboard.h"

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

// Answers every report inside the write with the report itself (its command echoed,
// status 0): no thread of its own.
class EchoService final : public device::HidService {
 public:
  int Init(int) override { return 1; }
  int RequestGetDeviceCount(const device::DeviceSelector&, std::uint32_t, std::uint32_t, std::uint32_t,
                            device::ServiceHandle*) override {
    return 1;
  }
  int RequestWriteOne(const device::DeviceSelector&, std::uint32_t, std::uint32_t, const std::uint8_t* data,
                      std::uint32_t length, std::uint32_t, device::ServiceHandle*) override {
    if (callback_ == nullptr) return 0;
    device::RequestRecord request;
    request.tag = device::kTagCtrl;
    request.value = length;
    request.data = data;
    device::NotificationRecord record;
    record.kind = device::kNotifyInputReport;
    record.request = &request;
    callback_->OnServiceNotify(record);
    return 1;
  }
  int RequestAsyncRead(const device::DeviceSelector&, device::ServiceCallback* callback, std::uint32_t,
                       std::uint32_t, device::ServiceHandle* handle) override {
    callback_ = callback;
    if (handle != nullptr) *handle = 1;
    return 1;
  }
  int RequestStatusWrite(const device::DeviceSelector&, device::ServiceCallback*, std::uint32_t, const std::uint8_t*,
                         std::uint32_t, std::uint32_t, device::ServiceHandle*) override {
    return 1;
  }
  int DeleteRequestFromUnitId(device::ServiceHandle) override {
    callback_ = nullptr;
    return 1;
  }

 private:
  device::ServiceCallback* callback_ = nullptr;
};

enum class Setting { Alone, InBracket, LockFile };

void LinkOverhead(benchmark::State& state, Setting setting) {
  EchoService service;
  device::DeviceLink link(service);
  link.RegisterConfigRead();
  std::string folder = (std::filesystem::temp_directory_path() / "vantrel_bench_XXXXXX").string();
  if (setting == Setting::LockFile && mkdtemp(folder.data()) == nullptr) return state.SkipWithError("no folder");
  std::unique_ptr<stack::SharedKeyboard> shared;
  if (setting == Setting::LockFile) {
    shared = std::make_unique<stack::SharedKeyboard>(std::filesystem::path(folder) / "keyboard.lock",
                                                     std::chrono::milliseconds(1000));
    link.SetSharedAccess(shared.get());
  }
  std::unique_ptr<device::KeyboardHold> hold;
  if (setting == Setting::InBracket) hold = std::make_unique<device::KeyboardHold>(link);
  const auto request = device::MakeReport(device::kCmdReadDeviceState, 0, 0);
  device::ConfigReport reply{};
  std::uint32_t received = 0;
  for (auto _ : state) {
    const auto result = link.DeviceTransact(request.data(), 64, reply.data(), 64, received);
    if (result != device::kDeviceOk) state.SkipWithError("transaction failed");
    benchmark::DoNotOptimize(reply);
  }
  hold.reset();
  link.SetSharedAccess(nullptr);
  shared.reset();
  if (setting == Setting::LockFile) std::filesystem::remove_all(folder);
}

void BM_LinkOverheadAlone(benchmark::State& state) { LinkOverhead(state, Setting::Alone); }
void BM_LinkOverheadInBracket(benchmark::State& state) { LinkOverhead(state, Setting::InBracket); }
void BM_LinkOverheadLockFile(benchmark::State& state) { LinkOverhead(state, Setting::LockFile); }

BENCHMARK(BM_LinkOverheadAlone)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_LinkOverheadInBracket)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_LinkOverheadLockFile)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
