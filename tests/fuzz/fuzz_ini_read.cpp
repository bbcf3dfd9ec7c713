// The INI read path over arbitrary file contents: single reads, a snapshot of the whole
// file, and a write of one key into the file (which parses and saves everything else).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>

#include "core/text/ini_file.h"

namespace {

const std::filesystem::path& Scratch() {
  static const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("vantrel-fuzz-ini-" + std::to_string(std::random_device{}()) + ".ini");
  return path;
}

// Counts UTF-8 characters the way the reader cuts them.
std::size_t Characters(const std::string& s) {
  std::size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantrel::text;
  const auto& path = Scratch();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const std::pair<const char*, const char*> keys[] = {
      {"TEXT", "MAIN_NO_DEVICE_PROMPT"}, {"mode", "5"}, {"", ""}, {"KEYCOLOR", "DengCheck"}};
  for (const auto& [section, key] : keys) {
    const std::string value = ReadIniString(path, section, key, "#Error");
    if (Characters(value) > 259) std::abort();
  }
  (void)ReadIniInt(path, "KEYCOLOR", "DengCheck", -1);
  IniSnapshot snapshot;
  if (snapshot.Load(path)) {
    (void)snapshot.Value("TEXT", "MAIN_NO_DEVICE_PROMPT");
    (void)snapshot.Value("mode", "20");
  }
  // Replacing a file by rename waits for the disk on some file systems: one input in eight
  // also goes through the write path.
  if (size % 8 == 0 && WriteIniString(path, "KEYCOLOR", "DengCheck", "1")) {
    if (ReadIniString(path, "KEYCOLOR", "DengCheck", "") != "1") std::abort();
  }
  std::error_code ec;
  std::filesystem::remove(path, ec);
  return 0;
}
