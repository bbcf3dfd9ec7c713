// One lighting slider step with the history kept, on the virtual keyboard with its default
// latency (one 1 ms USB frame per report and direction): with what the keyboard holds known
// (each step after the first), with everything to read again (the first step, or after
// another program changed the keyboard), and without the history, the step alone. The
// requests each step sent are reported as a counter.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "core/lighting/lighting_session.h"
#include "core/profiles/history_store.h"
#include "language_file_texts.h"
#include "scripting/history_recorder.h"
#include "sim/sim_harness.h"

namespace {

namespace fs = std::filesystem;
using namespace vantrel;

enum class Kept { Known, ReadAgain, None };

void LightingStep(benchmark::State& state, Kept kept) {
  const fs::path dir = fs::temp_directory_path() / "vantrel-bench-history";
  fs::remove_all(dir);
  fs::create_directories(dir);
  sim::SimOptions options;  // the default latency
  options.slowReply = std::chrono::microseconds(300000);
  test::SimHarness sim(options);
  test::LanguageFileTexts texts;
  lighting::KeyColourEditor files(dir, fs::path(VANTREL_SOURCE_DIR) / "data" / "Skins" / "UserDengColor_3.userd");
  lighting::LightingSession session(files, dir / "wskb.ini", &texts);
  profiles::HistoryStore store(dir / "history");
  scripting::HistoryRecorder recorder(store, sim.commands, texts, profiles::HistorySource::Window);
  recorder.SetColourFiles(&files);
  if (kept != Kept::None) session.SetRecorder(&recorder);
  session.Load(sim.commands, 0, lighting::LoadOccasion::Connection, false);
  int position = 0;
  std::uint64_t requests = 0;
  for (auto _ : state) {
    if (kept == Kept::ReadAgain) recorder.Forget();
    const std::uint64_t before = sim.keyboard.RequestCount();
    lighting::FieldChange change;
    change.field = lighting::LightingField::Brightness;
    change.number = position++ % 5;
    benchmark::DoNotOptimize(session.Change(sim.commands, 0, change));
    requests += sim.keyboard.RequestCount() - before;
  }
  state.counters["requests"] = benchmark::Counter(static_cast<double>(requests), benchmark::Counter::kAvgIterations);
  fs::remove_all(dir);
}

void BM_LightingStepHistoryKnown(benchmark::State& state) { LightingStep(state, Kept::Known); }
void BM_LightingStepHistoryReadAgain(benchmark::State& state) { LightingStep(state, Kept::ReadAgain); }
void BM_LightingStepNoHistory(benchmark::State& state) { LightingStep(state, Kept::None); }
BENCHMARK(BM_LightingStepHistoryKnown)->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_LightingStepHistoryReadAgain)->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_LightingStepNoHistory)->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace
