// Profile file validation and loading over arbitrary bytes written to a file. An odd
// first byte gets a correct header checksum, so mutations reach the checks behind it and
// the loader's string walk. The loader also runs on files validation refused: it must
// stay inside the bytes whatever the header says.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/profiles/profile_file.h"

namespace {

class NullTexts final : public vantrel::text::TextSource {
 public:
  std::string Text(std::string_view) const override { return "bad file %s %d %n"; }
  std::string LightText(std::string_view) const override { return "#Error"; }
  std::string ModeText(std::string_view) const override { return "#Error"; }
};

class NullSink final : public vantrel::text::MessageSink {
 public:
  void ShowMessage(std::string_view) override {}
  bool AskYesNo(std::string_view, bool) override { return false; }
};

const std::filesystem::path& ScratchFile() {
  static const std::filesystem::path path = [] {
    std::random_device rd;
    return std::filesystem::temp_directory_path() / ("vantrel-fuzz-profile-" + std::to_string(rd()) + ".vnp");
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  if (bytes.size() >= 32 && (bytes[0] & 1) != 0) {
    bytes[0] = 0x46;
    unsigned sum = 0;
    for (std::size_t i = 0; i < 31; ++i) sum += bytes[i];
    bytes[31] = static_cast<std::uint8_t>(sum);
  }
  const std::filesystem::path& path = ScratchFile();
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  NullTexts texts;
  NullSink sink;
  (void)vantrel::profiles::ValidateProfileFile(path, texts, sink);
  vantrel::keys::StoreImage image;
  if (vantrel::profiles::LoadProfileImage(path, image)) {
    // Whatever loaded must save again as a file that validates.
    std::vector<std::uint8_t> again = vantrel::profiles::SerializeProfileImage(image);
    if (!vantrel::profiles::HeaderAcceptable(again)) __builtin_trap();
  }
  std::error_code ec;
  std::filesystem::remove(path, ec);
  return 0;
}
