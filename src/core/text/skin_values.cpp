#include "core/text/skin_values.h"

#include <climits>

#include "core/text/ini_file.h"

namespace vantrel::text {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Reads one decimal integer at `pos` as the "%d" conversion does: leading white space,
// an optional sign, then at least one digit. Saturates instead of overflowing.
bool ReadInt(std::string_view text, std::size_t& pos, int& out) {
  std::size_t p = pos;
  while (p < text.size() && IsBlank(text[p])) ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
    negative = text[p] == '-';
    ++p;
  }
  if (p >= text.size() || text[p] < '0' || text[p] > '9') return false;
  long long value = 0;
  while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
    if (value <= INT_MAX) value = value * 10 + (text[p] - '0');
    ++p;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  if (value < INT_MIN) value = INT_MIN;
  out = static_cast<int>(value);
  pos = p;
  return true;
}

}  // namespace

SkinRect ParseSkinRect(std::string_view value) {
  SkinRect r;
  int* fields[4] = {&r.x, &r.y, &r.width, &r.height};
  std::size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      if (pos >= value.size() || value[pos] != ',') break;
      ++pos;
    }
    if (!ReadInt(value, pos, *fields[i])) break;
  }
  return r;
}

SkinRect ReadSkinRect(const std::filesystem::path& iniPath, std::string_view section, std::string_view key) {
  return ParseSkinRect(ReadIniString(iniPath, section, key, kMissingRectValue, kRectValueMaxChars));
}

SkinRect ReadSkinRect(const IniSnapshot& ini, std::string_view section, std::string_view key) {
  const std::optional<std::string> value = ini.Value(section, key);
  return ParseSkinRect(CutUtf8(value ? *value : kMissingRectValue, kRectValueMaxChars));
}

std::size_t MaskToRuns(std::span<const std::uint32_t> pixels, int width, int height, int stride,
                       const std::function<void(std::span<const ShapeRun>)>& batch) {
  if (width <= 0 || height <= 0 || stride < width) return 0;
  std::vector<ShapeRun> pending;
  pending.reserve(kShapeBatchSize);
  std::size_t total = 0;
  const auto flush = [&] {
    if (pending.empty()) return;
    if (batch) batch(pending);
    total += pending.size();
    pending.clear();
  };
  const std::size_t rowStride = static_cast<std::size_t>(stride);
  for (int y = 0; y < height; ++y) {
    const std::size_t rowStart = static_cast<std::size_t>(y) * rowStride;
    if (rowStart + static_cast<std::size_t>(width) > pixels.size()) break;
    const std::uint32_t* row = pixels.data() + rowStart;
    int x = 0;
    while (x < width) {
      while (x < width && (row[x] & 0xFFFFFFu) == 0xFFFFFFu) ++x;
      if (x >= width) break;
      const int start = x;
      while (x < width && (row[x] & 0xFFFFFFu) != 0xFFFFFFu) ++x;
      pending.push_back({start, y, x - start});
      if (pending.size() == kShapeBatchSize) flush();
    }
  }
  flush();
  return total;
}

std::vector<ShapeRun> MaskToRuns(std::span<const std::uint32_t> pixels, int width, int height, int stride) {
  std::vector<ShapeRun> all;
  MaskToRuns(pixels, width, height, stride,
             [&](std::span<const ShapeRun> b) { all.insert(all.end(), b.begin(), b.end()); });
  return all;
}

}  // namespace vantrel::text
