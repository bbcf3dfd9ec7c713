// Export and import of the whole configuration as JSON with the largest macro set the
// keyboard holds (100 macros of 2000 named steps), through vantrelctl's own text source
// (the language file beside the program). Goal: under 1 s each.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>
#include <vector>

#include "app/ctl/keys_common.h"
#include "scripting/profile_json.h"
#include "core/keys/key_codes.h"

#include "stack/device_stack.h"

namespace {

// The English texts beside the program (the language is fixed for this run only).
const vantrel::text::TextSource& EnglishTexts() {
  static vantrel::stack::ProgramTexts texts(vantrel::stack::ProgramFolder(), 1033);
  return texts.Texts();
}


using namespace vantrel;

// Steps over keys that all have names, so every step is written and read by name.
keys::StoreImage FullImage() {
  std::vector<std::uint16_t> named;
  for (std::uint16_t i = 1; i < keys::kKeyNameCount; ++i) {
    if (!keys::KeyNameTable()[i].label.empty()) named.push_back(keys::CodeOfIndex(i));
  }
  std::vector<keys::MacroAction> steps;
  for (std::size_t i = 0; i < keys::kMaxActions; ++i) {
    steps.push_back({static_cast<std::int32_t>(10 * (i % 50)), named[(i / 2) % named.size()],
                     i % 2 ? keys::kRelease : keys::kPress});
  }
  keys::StoreImage image;
  for (std::uint16_t id = 1; id <= keys::kMaxMacros; ++id) {
    keys::MacroRecord m = keys::NewMacro(u"macro", id);
    m.SetActions(steps);
    image.macros.push_back(m);
  }
  for (std::size_t k = 0; k < 60; ++k) {
    image.table.SetRecord(k % 3, named[k], keys::KeyAssignment{keys::kKindKey, 0, named[k + 1], 0, 0});
  }
  return image;
}

void BM_ExportFullConfiguration(benchmark::State& state) {
  const keys::StoreImage image = FullImage();
  const auto& texts = EnglishTexts();
  std::size_t size = 0;
  for (auto _ : state) {
    const std::string doc = scripting::ExportProfileJson(image, texts);
    size = doc.size();
    benchmark::DoNotOptimize(doc.data());
  }
  state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_ExportFullConfiguration)->Unit(benchmark::kMillisecond);

void BM_ImportFullConfiguration(benchmark::State& state) {
  const auto& texts = EnglishTexts();
  const std::string doc = scripting::ExportProfileJson(FullImage(), texts);
  for (auto _ : state) {
    keys::StoreImage image;
    std::string error;
    if (!scripting::ImportProfileJson(doc, texts, image, error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    benchmark::DoNotOptimize(image.macros.data());
  }
}
BENCHMARK(BM_ImportFullConfiguration)->Unit(benchmark::kMillisecond);

// Documents under the 64 MiB size limit built to cost time and memory: 32 million
// nested brackets, 60 MB of macro steps, one 60 MB key text. Each must be refused (or
// loaded) within 2 s and 300 MB. "peak_rss_mb" is the process's peak so far: run one
// case at a time (--benchmark_filter) to read it for that case alone.
std::string HostileDocument(int kind) {
  const std::string head = R"({"format": "vantrel-profile", "version": 1, )";
  switch (kind) {
    case 0: return std::string(32'000'000, '[') + std::string(32'000'000, ']');
    case 1: {
      std::string doc = head + R"("profiles": [], "macros": [{"id": 1, "name": "m", "steps": [)";
      const std::string step = R"({"key": "A", "action": "press", "delay": 10},)";
      while (doc.size() < 60'000'000) doc += step;
      doc.back() = ']';
      return doc + "}]}";
    }
    default:
      return head + R"("profiles": [{"slot": 0, "keys": [{"key": "A", "kind": "text", "text": ")" +
             std::string(60'000'000, 'x') + R"("}]}]})";
  }
}

void BM_ImportHostileDocument(benchmark::State& state) {
  const auto& texts = EnglishTexts();
  const std::string doc = HostileDocument(static_cast<int>(state.range(0)));
  std::string error;
  for (auto _ : state) {
    keys::StoreImage image;
    error.clear();
    benchmark::DoNotOptimize(scripting::ImportProfileJson(doc, texts, image, error));
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["doc_mb"] = static_cast<double>(doc.size()) / 1e6;
  state.counters["peak_rss_mb"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.SetLabel(error.empty() ? "loaded" : error);
}
BENCHMARK(BM_ImportHostileDocument)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1);

// 1,000 names parsed the way import and the keys commands do.
void BM_ParseThousandKeyNamesWithIndex(benchmark::State& state) {
  const auto& texts = EnglishTexts();
  const ctl::KeyNameIndex names(texts);
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) benchmark::DoNotOptimize(names.Find(i % 2 ? "Left Shift" : "F7"));
  }
}
BENCHMARK(BM_ParseThousandKeyNamesWithIndex)->Unit(benchmark::kMicrosecond);

}  // namespace
