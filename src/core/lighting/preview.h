// The on-screen imitation of the keyboard's lighting effects. Pure: each tick takes the
// current effect and its parameters and gives the colour of every key button it paints,
// by control id. Nothing of it reaches the keyboard.
//
// The preview covers the 108 keys of the key grid (Fn included, the G keys left out); right
// Win, which has no cell of its own (right Alt fills two), shows the colour of right Alt
// beside it. Keys it does not paint keep the colour they have on screen.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>

#include "core/lighting/colour.h"
#include "core/lighting/effects.h"

namespace vantrel::lighting {

inline constexpr std::size_t kWheelSize = 192;
inline constexpr std::size_t kHueTableSize = 256;
inline constexpr std::size_t kCurveASize = 96;
inline constexpr std::size_t kCurveBSize = 192;
inline constexpr std::size_t kCurveCSize = 128;
inline constexpr int kGridColumns = 23;
inline constexpr int kGridRows = 6;
inline constexpr std::size_t kPreviewKeyCount = 108;
inline constexpr std::size_t kRingCount = 12;
inline constexpr std::size_t kRingSize = 12;

const std::array<Rgb, kWheelSize>& ColourWheel();
const std::array<Rgb, kHueTableSize>& HueTable();
const std::array<std::uint8_t, kCurveASize>& LevelCurveA();
const std::array<std::uint8_t, kCurveBSize>& LevelCurveB();
const std::array<std::uint8_t, kCurveCSize>& LevelCurveC();
// Control id of cell (row, column); 0 for an empty cell.
int GridCell(int row, int column);
// The keys in one winding path; position k is the key's preview index.
const std::array<int, kPreviewKeyCount>& SerpentineOrder();
// Concentric rings around the O key; 0 after a ring's last key.
const std::array<std::array<int, kRingSize>, kRingCount>& Rings();

// Colour scaled by a level: each channel x level / 255, truncated.
Rgb ScaleColour(Rgb colour, unsigned level);
// One tick of fading: the step depends on the level's size; code 14 fades faster above 63.
std::uint8_t FadeLevel(std::uint8_t level, bool fast);

// Random numbers of the random and reactive effects. Reseed() is called at the start of
// every twinkle tick (effect 10).
class PreviewRandom {
 public:
  virtual ~PreviewRandom() = default;
  virtual void Reseed() = 0;
  // A number 0..32767.
  virtual unsigned Next() = 0;
};

// The program's generator: reseeded from a clock in whole seconds.
class ClockSeededRandom final : public PreviewRandom {
 public:
  // secondsNow: the current time in seconds; the default uses std::time.
  explicit ClockSeededRandom(std::function<std::uint32_t()> secondsNow = {});
  void Reseed() override;
  unsigned Next() override;

 private:
  std::function<std::uint32_t()> secondsNow_;
  std::minstd_rand engine_;
};

struct PreviewInput {
  EffectCode effect = 0;
  int direction = 0;  // the record's direction byte; non-zero = forward
  bool multicolour = false;
  Rgb colour = 0;
};

struct PreviewKeyColour {
  int controlId = 0;
  Rgb colour = 0;
};

// Right Win and right Alt, whose colour it takes.
inline constexpr int kPreviewRightWin = 1087;
inline constexpr int kPreviewRightAlt = 1086;

struct PreviewFrame {
  // The effect has no preview: the key captions are shown instead of colours.
  bool showCaptions = false;
  std::size_t count = 0;
  // The grid's keys, then right Win when right Alt is painted.
  std::array<PreviewKeyColour, kPreviewKeyCount + 1> keys{};

  std::optional<Rgb> ColourOf(int controlId) const;
};

class PreviewEngine {
 public:
  // random: the generator to use (not owned); nullptr for a ClockSeededRandom of its own.
  explicit PreviewEngine(PreviewRandom* random = nullptr);

  // Called by the effect selection: the next tick resets the preview state.
  void EffectChanged() { started_ = false; }
  // One tick. False when the effect's step is already running (its busy flag is set).
  bool Step(const PreviewInput& input, PreviewFrame& frame);

  // The frame position of an effect (an index into the wheel or a curve).
  int Position(EffectCode code) const;

 private:
  void Reset(EffectCode code);
  void Paint(PreviewFrame& frame) const;
  void PaintLevels(const PreviewInput& in);
  void SetGridColumns(const std::function<Rgb(int column)>& colourOf);
  void Light(int key, std::uint8_t hue);
  void LightPlanes(bool multicolour);
  void MovePlanes();
  void SeedCell(int row, int column);
  bool PlanesEmpty() const;
  void FadeAll(bool fast);
  int Advance(int code, int step, int modulo, bool forward);
  unsigned RandomHue();

  void StepRipple(const PreviewInput& in);
  void StepScript(const PreviewInput& in);

  PreviewRandom* random_;
  std::unique_ptr<PreviewRandom> ownRandom_;
  bool started_ = false;
  std::array<int, kLastEffect + 1> position_{};
  std::array<bool, kLastEffect + 1> busy_{};
  std::array<std::uint8_t, kPreviewKeyCount> level_{};
  std::array<std::uint8_t, kPreviewKeyCount> hue_{};
  std::array<std::uint8_t, kPreviewKeyCount> phase_{};  // effect 11
  // Ripple wave fronts moving left, right, up, down: one byte per grid column, bit r = row r.
  std::array<std::array<std::uint8_t, kGridColumns>, 4> planes_{};
  std::size_t twinkleCursor_ = 0;  // effect 10: next place in the permutation
  int seedColumn_ = 0;             // effect 15: last seeded column
  // Effect 14's script.
  int scriptState_ = 0;
  int scriptTick_ = 0;
  std::uint8_t scriptHue_ = 0;
  // Colours of this tick, by preview index.
  std::array<Rgb, kPreviewKeyCount> colour_{};
  std::array<bool, kPreviewKeyCount> painted_{};
};

}  // namespace vantrel::lighting
