// One preview step of every effect. Goal: well under 50 us a step (the preview ticks
// every 50 ms on the UI thread).
#include <benchmark/benchmark.h>

#include "core/lighting/preview.h"

namespace {

using namespace vantrel::lighting;

class FixedRandom final : public PreviewRandom {
 public:
  void Reseed() override { state_ = 12345; }
  unsigned Next() override {
    state_ = state_ * 1103515245u + 12345u;
    return (state_ >> 16) & 0x7FFF;
  }

 private:
  unsigned state_ = 12345;
};

void BM_PreviewStep(benchmark::State& state) {
  FixedRandom random;
  PreviewEngine engine(&random);
  PreviewFrame frame;
  const PreviewInput in{static_cast<EffectCode>(state.range(0)), 255, state.range(1) != 0, MakeRgb(200, 120, 40)};
  engine.Step(in, frame);
  for (auto _ : state) {
    engine.Step(in, frame);
    benchmark::DoNotOptimize(frame.keys.data());
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_PreviewStep)->ArgsProduct({benchmark::CreateDenseRange(1, 20, 1), {0, 1}})->ArgNames({"effect", "multi"});

}  // namespace
