// Pure values of the skin layout files: control rectangles, the disable rule, the face
// origin of image buttons and the window shape computed from a mask picture.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

namespace vantrel::text {

class IniSnapshot;

// A control's rectangle in pixels of the parent's client area.
struct SkinRect {
  int x = 1;
  int y = 1;
  int width = 1;
  int height = 1;
  friend bool operator==(const SkinRect&, const SkinRect&) = default;
};

// What a missing key reads as: x = 1, y = 1, width = 1, height = 1.
inline constexpr std::string_view kMissingRectValue = "1,1,1,1,x";
// "BUTTONINFO" values are read into a 260-character buffer (259 characters and the end).
inline constexpr std::size_t kRectValueMaxChars = 259;

// Parses "x,y,width,height": four decimal integers (optional sign, leading blanks allowed
// before each number) separated by commas; anything after the fourth number is ignored.
// When fewer than four numbers can be read, the numbers read replace the leading fields
// of the default 1,1,1,1 and the rest stay 1. Numbers beyond the int range saturate.
SkinRect ParseSkinRect(std::string_view value);

// Reads one rectangle key from an INI file (missing file or key: 1,1,1,1).
SkinRect ReadSkinRect(const std::filesystem::path& iniPath, std::string_view section, std::string_view key);
// The same read from a file parsed once (an unloaded snapshot reads as a missing file).
SkinRect ReadSkinRect(const IniSnapshot& ini, std::string_view section, std::string_view key);

// An image button placed at x = 1 and y = 1 is disabled: that is where a missing key puts it.
constexpr bool IsDisabledPlacement(const SkinRect& r) { return r.x == 1 && r.y == 1; }

struct FacePoint {
  int x = 0;
  int y = 0;
  friend bool operator==(const FacePoint&, const FacePoint&) = default;
};

// The state pictures cover the whole parent window, and skin coordinates count from 1:
// a button with face origin (x, y) copies its face from (x - 1, y - 1) of the picture.
// Saturates at the lowest int instead of overflowing.
constexpr FacePoint FaceSourceOrigin(int faceX, int faceY) {
  return {faceX == INT_MIN ? INT_MIN : faceX - 1, faceY == INT_MIN ? INT_MIN : faceY - 1};
}

// One-pixel-high rectangle of a window shape.
struct ShapeRun {
  int x = 0;
  int y = 0;
  int width = 0;
  friend bool operator==(const ShapeRun&, const ShapeRun&) = default;
};

// Runs are handed over in batches of this many; the last batch holds the rest.
inline constexpr std::size_t kShapeBatchSize = 2000;

// Scans a 32-bit mask picture row by row (pixels 0xAARRGGBB, `stride` pixels a row) and
// reports every run of pixels whose colour (low 24 bits) is not exactly white 0xFFFFFF,
// in batches of at most kShapeBatchSize runs. Returns the number of runs. Rows or widths
// that do not fit in `pixels` are not read (a short buffer yields only the rows present).
std::size_t MaskToRuns(std::span<const std::uint32_t> pixels, int width, int height, int stride,
                       const std::function<void(std::span<const ShapeRun>)>& batch);

// Convenience: all runs at once.
std::vector<ShapeRun> MaskToRuns(std::span<const std::uint32_t> pixels, int width, int height, int stride);

}  // namespace vantrel::text
