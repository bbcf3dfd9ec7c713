// Key-name lookups through the language texts, as the windows do for key tooltips and
// the macro editor's rows: 1,000 display names per iteration. Goal: under 1 ms. Each
// single lookup checks the settings and the file for changes (a file-system call);
// a snapshot checks them once for the whole batch.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <system_error>

#include "core/keys/key_codes.h"
#include "core/text/cached_ini.h"
#include "core/text/language.h"

namespace {

using namespace vantrel;

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path();
}

void BM_ThousandKeyDisplayNames(benchmark::State& state) {
  text::MemorySettingsStore settings;
  settings.WriteDword(text::kLanguageIdValue, 1033);
  const text::FixedSystemLanguage system(1033);
  const text::LanguageTexts texts(ProgramFolder(), settings, system);
  if (texts.Text("UNKNOWN_KEY") == "#Error") {
    state.SkipWithError("Lang0409.ini not found beside the program");
    return;
  }
  for (auto _ : state) {
    for (std::uint16_t i = 0; i < 1000; ++i) {
      benchmark::DoNotOptimize(keys::KeyDisplayName(keys::CodeOfIndex(static_cast<std::uint16_t>(i % 256)), texts));
    }
  }
  state.counters["parses"] = static_cast<double>(texts.Parses());
}
BENCHMARK(BM_ThousandKeyDisplayNames)->Unit(benchmark::kMicrosecond);

// The same through one snapshot per 1,000 names (one redraw): the settings and the file
// are checked once, then every name is read from memory.
void BM_ThousandKeyDisplayNamesFromASnapshot(benchmark::State& state) {
  text::MemorySettingsStore settings;
  settings.WriteDword(text::kLanguageIdValue, 1033);
  const text::FixedSystemLanguage system(1033);
  const text::LanguageTexts texts(ProgramFolder(), settings, system);
  for (auto _ : state) {
    const text::LanguageSnapshot snapshot = texts.Snapshot();
    for (std::uint16_t i = 0; i < 1000; ++i) {
      benchmark::DoNotOptimize(
          keys::KeyDisplayName(keys::CodeOfIndex(static_cast<std::uint16_t>(i % 256)), snapshot));
    }
  }
}
BENCHMARK(BM_ThousandKeyDisplayNamesFromASnapshot)->Unit(benchmark::kMicrosecond);

void BM_ThousandCachedIniReads(benchmark::State& state) {
  const text::CachedIniFile file(ProgramFolder() / "Lang0409.ini");
  for (auto _ : state) {
    for (int i = 0; i < 1000; ++i) benchmark::DoNotOptimize(file.Read("TEXT", "UNKNOWN_KEY", "#Error"));
  }
}
BENCHMARK(BM_ThousandCachedIniReads)->Unit(benchmark::kMicrosecond);

}  // namespace
