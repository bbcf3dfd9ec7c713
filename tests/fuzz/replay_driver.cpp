// Replays a fuzz target without libFuzzer: every file of the corpus folder given on the
// command line, then a fixed series of pseudo-random inputs (mutations of the corpus
// files and plain random bytes). Deterministic, so a failure reproduces.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  std::vector<std::vector<std::uint8_t>> seeds;
  if (argc > 1 && std::filesystem::is_directory(argv[1])) {
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  for (const auto& seed : seeds) LLVMFuzzerTestOneInput(seed.data(), seed.size());

  std::mt19937 rng(20261208u);
  std::vector<std::uint8_t> buf;
  for (int round = 0; round < 4000; ++round) {
    if (!seeds.empty() && round % 2 == 0) {
      buf = seeds[rng() % seeds.size()];
      const int flips = 1 + static_cast<int>(rng() % 8);
      for (int i = 0; i < flips && !buf.empty(); ++i) buf[rng() % buf.size()] = static_cast<std::uint8_t>(rng());
      if (rng() % 4 == 0 && !buf.empty()) buf.resize(rng() % buf.size());
    } else {
      buf.resize(rng() % 512);
      for (auto& b : buf) b = static_cast<std::uint8_t>(rng());
    }
    LLVMFuzzerTestOneInput(buf.data(), buf.size());
  }
  std::printf("replayed %zu seeds and 4000 generated inputs\n", seeds.size());
  return 0;
}
