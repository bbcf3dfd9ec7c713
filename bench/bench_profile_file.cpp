// Validate, load and save of a large profile file: 100 macros of 2000 steps (about
// 1.6 MB) and a few strings. Goal: under 10 ms for the three together.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <vector>

#include "core/profiles/profile_fakes.h"
#include "core/profiles/profile_file.h"

namespace {

using namespace vantrel;

keys::StoreImage LargeImage() {
  keys::StoreImage image;
  std::vector<keys::MacroAction> steps;
  for (std::size_t i = 0; i < keys::kMaxActions; ++i) {
    steps.push_back({static_cast<std::int32_t>(10 * (i % 50)), static_cast<std::uint16_t>(0x10 + i % 40),
                     i % 2 ? keys::kRelease : keys::kPress});
  }
  for (std::uint16_t id = 1; id <= keys::kMaxMacros; ++id) {
    keys::MacroRecord m = keys::NewMacro(u"macro " + std::u16string(1, static_cast<char16_t>(u'A' + id % 26)), id);
    m.SetActions(steps);
    image.macros.push_back(m);
  }
  for (std::size_t k = 0; k < 20; ++k) {
    image.table.SetRecord(k % 3, 0x10 + k, keys::KeyAssignment{keys::kKindLaunch, 0, 0, 0, 0});
    image.strings.Set((k % 3) * 512 + 0x10 + k, u"/usr/local/bin/some-program --with-arguments");
  }
  return image;
}

void BM_ValidateLoadSave(benchmark::State& state) {
  const auto dir = test::ScratchFolder("bench");
  const auto path = dir / "large.vnp";
  keys::StoreImage image = LargeImage();
  if (!profiles::SaveProfileImage(path, image)) {
    state.SkipWithError("cannot write the file");
    return;
  }
  test::MapTexts texts;
  test::RecordingSink sink;
  for (auto _ : state) {
    benchmark::DoNotOptimize(profiles::ValidateProfileFile(path, texts, sink));
    keys::StoreImage loaded;
    benchmark::DoNotOptimize(profiles::LoadProfileImage(path, loaded));
    benchmark::DoNotOptimize(profiles::SaveProfileImage(path, loaded));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(std::filesystem::file_size(path)));
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ValidateLoadSave)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// The three parts on their own, to see where the time goes.
void BM_Part(benchmark::State& state) {
  const auto dir = vantrel::test::ScratchFolder("bench-part");
  const auto path = dir / "large.vnp";
  vantrel::keys::StoreImage image = LargeImage();
  vantrel::profiles::SaveProfileImage(path, image);
  vantrel::test::MapTexts texts;
  vantrel::test::RecordingSink sink;
  for (auto _ : state) {
    switch (state.range(0)) {
      case 0:
        benchmark::DoNotOptimize(vantrel::profiles::ValidateProfileFile(path, texts, sink));
        break;
      case 1: {
        vantrel::keys::StoreImage loaded;
        benchmark::DoNotOptimize(vantrel::profiles::LoadProfileImage(path, loaded));
        break;
      }
      default:
        benchmark::DoNotOptimize(vantrel::profiles::SaveProfileImage(path, image));
        break;
    }
  }
  std::filesystem::remove_all(dir);
}
// 0 validate, 1 load, 2 save.
BENCHMARK(BM_Part)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
