#include "core/lighting/preview.h"

#include <ctime>
#include <optional>

namespace vantrel::lighting {
namespace {

constexpr std::array<std::uint8_t, 32> kRising{1,   3,   5,   7,   10,  14,  18,  22,  26,  32,  38,
                                               44,  50,  57,  65,  73,  81,  89,  99,  109, 119, 129,
                                               140, 152, 164, 176, 188, 200, 213, 227, 241, 255};
constexpr std::array<std::uint8_t, 32> kFalling{248, 234, 220, 206, 194, 182, 170, 158, 146, 134, 124,
                                                114, 104, 94,  85,  77,  69,  61,  53,  47,  41,  35,
                                                29,  24,  20,  16,  12,  8,   6,   4,   2,   0};

constexpr std::array<std::uint8_t, 48> kCurveAHalf{22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,
                                                   61,  65,  69,  73,  77,  81,  85,  89,  94,  99,  104, 109,
                                                   114, 119, 124, 129, 134, 140, 146, 152, 158, 164, 170, 176,
                                                   182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255};
constexpr std::array<std::uint8_t, 80> kCurveBHead{
    0,   4,   8,   14,  22,  33,  45,  61,  77,  94,  114, 134, 158, 182, 206, 234, 255, 248, 241, 234,
    227, 220, 213, 206, 200, 194, 188, 182, 176, 170, 164, 158, 152, 146, 140, 134, 129, 124, 119, 114,
    109, 104, 99,  94,  89,  85,  81,  77,  73,  69,  65,  61,  57,  53,  49,  45,  42,  39,  36,  33,
    30,  27,  24,  22,  20,  18,  16,  14,  12,  10,  9,   8,   7,   6,   5,   4,   3,   2,   2,   1};
constexpr std::array<std::uint8_t, 64> kCurveCHalf{
    3,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14,  16,  18,  20,  22,  24,  27,  30,  33,  36,
    39,  42,  45,  49,  53,  57,  61,  65,  69,  73,  77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129,
    134, 140, 146, 152, 158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255};

// The key picture as 6 rows x 23 columns of control ids; 0 = empty cell. Right Alt and
// Num 0 fill two cells each; right Win has no cell.
constexpr int kGrid[kGridRows][kGridColumns] = {
    {0, 0, 1022, 1010, 1011, 1012, 1013, 0, 1014, 1015, 1023, 1024, 1025, 1026, 1027, 1028, 1091, 1092, 1093, 1200,
     1201, 1202, 1203},
    {0, 1029, 1030, 1031, 1032, 1033, 1034, 1035, 1036, 1037, 1038, 1039, 1040, 1041, 1043, 0, 1094, 1095, 1096,
     1104, 1105, 1106, 1107},
    {0, 1056, 1044, 1045, 1046, 1047, 1048, 1049, 1050, 1051, 1052, 1053, 1054, 1055, 1042, 0, 1097, 1098, 1099,
     1108, 1109, 1110, 0},
    {0, 1069, 1058, 1059, 1060, 1061, 1062, 1063, 1064, 1065, 1066, 1067, 1068, 0, 1070, 0, 0, 0, 0, 1112, 1113,
     1114, 1111},
    {1082, 0, 1071, 1072, 1073, 1074, 1075, 1076, 1077, 1078, 1079, 1080, 0, 0, 1081, 0, 0, 1103, 0, 1115, 1116,
     1117, 1118},
    {1083, 1084, 1085, 0, 0, 0, 1090, 0, 0, 1086, 1086, 1174, 1088, 0, 1089, 0, 1100, 1101, 1102, 1120, 1120, 1119,
     0},
};

constexpr std::array<int, kPreviewKeyCount> kSerpentine{
    1203, 1202, 1201, 1200, 1093, 1092, 1091, 1028, 1027, 1026, 1025, 1024, 1023, 1015, 1014, 1013, 1012, 1011,
    1010, 1022, 1029, 1056, 1069, 1082, 1083, 1084, 1085, 1090, 1086, 1174, 1088, 1089, 1100, 1101, 1102, 1120,
    1119, 1118, 1111, 1107, 1106, 1105, 1104, 1096, 1095, 1094, 1043, 1041, 1040, 1039, 1038, 1037, 1036, 1035,
    1034, 1033, 1032, 1031, 1030, 1044, 1058, 1071, 1072, 1073, 1074, 1075, 1076, 1077, 1078, 1079, 1080, 1081,
    1103, 1115, 1116, 1117, 1114, 1110, 1109, 1108, 1099, 1098, 1097, 1042, 1055, 1054, 1053, 1052, 1051, 1050,
    1049, 1048, 1047, 1046, 1045, 1059, 1060, 1061, 1062, 1063, 1064, 1065, 1066, 1067, 1068, 1070, 1112, 1113};

constexpr std::array<std::array<int, kRingSize>, kRingCount> kRings{{
    {1052},
    {1038, 1051, 1065, 1066, 1053, 1039},
    {1024, 1037, 1050, 1064, 1077, 1078, 1079, 1067, 1054, 1040},
    {1023, 1036, 1049, 1063, 1076, 1086, 1080, 1068, 1055, 1041, 1025},
    {1015, 1035, 1048, 1062, 1075, 1174, 1081, 1070, 1042, 1043, 1026, 1027},
    {1014, 1034, 1047, 1061, 1074, 1090, 1088, 1089, 1097, 1094, 1028},
    {1013, 1033, 1046, 1060, 1073, 1100, 1103, 1098, 1095, 1091},
    {1012, 1032, 1045, 1059, 1072, 1101, 1102, 1099, 1096, 1093, 1092},
    {1011, 1031, 1044, 1058, 1071, 1085, 1115, 1112, 1108, 1104, 1200},
    {1010, 1030, 1056, 1069, 1082, 1084, 1120, 1116, 1113, 1109, 1105, 1201},
    {1022, 1029, 1083, 1119, 1117, 1114, 1110, 1106, 1202},
    {1118, 1111, 1107, 1203},
}};

// Effect 14: the keys lit in each of the first 20 ticks, then the pairs of its second
// state.
constexpr int kScriptRows[20][6] = {
    {1022, 1118},
    {1010, 1119},
    {1011, 1120},
    {1012, 1102, 1029, 1118},
    {1013, 1101, 1030, 1117},
    {1014, 1100, 1031, 1116},
    {1015, 1089, 1032, 1115, 1056, 1111},
    {1023, 1088, 1033, 1103, 1044, 1114},
    {1024, 1174, 1034, 1081, 1045, 1113},
    {1025, 1086, 1035, 1080, 1046, 1112},
    {1041, 1078, 1036, 1079, 1047},
    {1055, 1065, 1037, 1078, 1048},
    {1068, 1051, 1038, 1065, 1049, 1070},
    {1080, 1038, 1039, 1051, 1050, 1068},
    {1079, 1039, 1053, 1038, 1051, 1067},
    {1078, 1040, 1066, 1039, 1052, 1066},
    {1065, 1041, 1065, 1053, 1053, 1065},
    {1051, 1055, 1051, 1066, 1054},
    {1038, 1068},
    {1039, 1080},
};
constexpr int kScriptPairs[16][2] = {{1038, 1080}, {1039, 1079}, {1040, 1078}, {1041, 1065},
                                     {1055, 1051}, {1068, 1038}, {1080, 1039}, {1079, 1040},
                                     {1078, 1041}, {1065, 1055}, {1051, 1068}, {1052, 1067},
                                     {1053, 1066}, {1054, 1052}, {1067, 1053}, {1066, 1054}};
constexpr int kScriptStateOneTicks = 30;
constexpr int kKeyL = 1066;
constexpr int kKeyLeftCtrl = 1083;
constexpr int kScriptSeedRow = 2;  // the P key
constexpr int kScriptSeedColumn = 11;
constexpr int kEffect13SeedRow = 2;  // the O key
constexpr int kEffect13SeedColumn = 10;
constexpr int kEffect16Seeds[2][2] = {{3, 5}, {3, 19}};  // F and Num 4

constexpr int kFirstId = 1000;
constexpr int kLastId = 1203;

enum Plane { kLeft, kRight, kUp, kDown };

struct Tables {
  std::array<Rgb, kWheelSize> wheel{};
  std::array<Rgb, kHueTableSize> hue{};
  std::array<std::uint8_t, kCurveASize> curveA{};
  std::array<std::uint8_t, kCurveBSize> curveB{};
  std::array<std::uint8_t, kCurveCSize> curveC{};
  std::array<std::int16_t, kLastId - kFirstId + 1> indexOfId{};  // preview index or -1
  std::int16_t gridIndex[kGridRows][kGridColumns]{};
  std::array<std::array<std::int16_t, kRingSize>, kRingCount> ringIndex{};
  std::array<std::int16_t, kPreviewKeyCount> twinkle{};

  Tables() {
    for (std::size_t i = 0; i < 32; ++i) {
      wheel[i] = MakeRgb(255, kRising[i], 0);
      wheel[32 + i] = MakeRgb(kFalling[i], 255, 0);
      wheel[64 + i] = MakeRgb(0, 255, kRising[i]);
      wheel[96 + i] = MakeRgb(0, kFalling[i], 255);
      wheel[128 + i] = MakeRgb(kRising[i], 0, 255);
      wheel[160 + i] = MakeRgb(255, 0, kFalling[i]);
    }
    for (std::size_t i = 0; i < kHueTableSize; ++i) hue[i] = wheel[i % kWheelSize];
    for (std::size_t i = 0; i < 48; ++i) {
      curveA[i] = kCurveAHalf[i];
      curveA[95 - i] = kCurveAHalf[i];
    }
    for (std::size_t i = 0; i < kCurveBHead.size(); ++i) curveB[i] = kCurveBHead[i];
    for (std::size_t i = 0; i < 64; ++i) {
      curveC[i] = kCurveCHalf[i];
      curveC[127 - i] = kCurveCHalf[i];
    }
    indexOfId.fill(-1);
    for (std::size_t k = 0; k < kSerpentine.size(); ++k) {
      indexOfId[static_cast<std::size_t>(kSerpentine[k] - kFirstId)] = static_cast<std::int16_t>(k);
    }
    for (int r = 0; r < kGridRows; ++r) {
      for (int c = 0; c < kGridColumns; ++c) gridIndex[r][c] = IndexOf(kGrid[r][c]);
    }
    for (std::size_t i = 0; i < kRingCount; ++i) {
      for (std::size_t j = 0; j < kRingSize; ++j) ringIndex[i][j] = IndexOf(kRings[i][j]);
    }
    // The twinkle order: k x 41 mod 108 visits every key once (41 and 108 are coprime)
    // and scatters neighbours of the path across the keyboard.
    for (std::size_t k = 0; k < kPreviewKeyCount; ++k) {
      twinkle[k] = static_cast<std::int16_t>((k * 41 + 7) % kPreviewKeyCount);
    }
  }

  std::int16_t IndexOf(int id) const {
    if (id < kFirstId || id > kLastId) return -1;
    return indexOfId[static_cast<std::size_t>(id - kFirstId)];
  }
};

const Tables& T() {
  static const Tables tables;
  return tables;
}

}  // namespace

const std::array<Rgb, kWheelSize>& ColourWheel() { return T().wheel; }
const std::array<Rgb, kHueTableSize>& HueTable() { return T().hue; }
const std::array<std::uint8_t, kCurveASize>& LevelCurveA() { return T().curveA; }
const std::array<std::uint8_t, kCurveBSize>& LevelCurveB() { return T().curveB; }
const std::array<std::uint8_t, kCurveCSize>& LevelCurveC() { return T().curveC; }
const std::array<int, kPreviewKeyCount>& SerpentineOrder() { return kSerpentine; }
const std::array<std::array<int, kRingSize>, kRingCount>& Rings() { return kRings; }

int GridCell(int row, int column) {
  if (row < 0 || row >= kGridRows || column < 0 || column >= kGridColumns) return 0;
  return kGrid[row][column];
}

Rgb ScaleColour(Rgb colour, unsigned level) {
  level = level > 255 ? 255 : level;
  return MakeRgb(RedOf(colour) * level / 255, GreenOf(colour) * level / 255, BlueOf(colour) * level / 255);
}

std::uint8_t FadeLevel(std::uint8_t v, bool fast) {
  int step;
  if (v >= 128) step = fast ? 30 : 20;
  else if (v >= 64) step = fast ? 20 : 16;
  else if (v >= 32) step = 10;
  else if (v >= 17) step = 5;
  else if (v >= 1) step = 1;
  else step = 0;
  return static_cast<std::uint8_t>(v - step);
}

ClockSeededRandom::ClockSeededRandom(std::function<std::uint32_t()> secondsNow)
    : secondsNow_(std::move(secondsNow)) {
  if (!secondsNow_) secondsNow_ = [] { return static_cast<std::uint32_t>(std::time(nullptr)); };
  Reseed();
}

void ClockSeededRandom::Reseed() { engine_.seed(secondsNow_() | 1u); }

unsigned ClockSeededRandom::Next() { return static_cast<unsigned>(engine_() % 32768u); }

std::optional<Rgb> PreviewFrame::ColourOf(int controlId) const {
  for (std::size_t i = 0; i < count; ++i) {
    if (keys[i].controlId == controlId) return keys[i].colour;
  }
  return std::nullopt;
}

PreviewEngine::PreviewEngine(PreviewRandom* random) : random_(random) {
  if (random_ == nullptr) {
    ownRandom_ = std::make_unique<ClockSeededRandom>();
    random_ = ownRandom_.get();
  }
  // Effect 11: each key's phase is the previous key's plus 33, less 192 above 192. Set
  // once; an effect change does not reset it.
  int running = 0;
  for (auto& p : phase_) {
    running += 33;
    if (running > 192) running -= 192;
    p = static_cast<std::uint8_t>(running);
  }
}

int PreviewEngine::Position(EffectCode code) const {
  return code >= 0 && code <= kLastEffect ? position_[static_cast<std::size_t>(code)] : 0;
}

void PreviewEngine::Reset(EffectCode code) {
  level_.fill(0);
  hue_.fill(0);
  for (auto& plane : planes_) plane.fill(0);
  position_[14] = 0;
  position_[15] = 0;
  position_[18] = 0;
  scriptState_ = 0;
  scriptTick_ = 0;
  scriptHue_ = 0;
  seedColumn_ = 0;
  if (code == 16) {
    for (const auto& cell : kEffect16Seeds) SeedCell(cell[0], cell[1]);
  }
}

int PreviewEngine::Advance(int code, int step, int modulo, bool forward) {
  int& p = position_[static_cast<std::size_t>(code)];
  p = forward ? (p + step) % modulo : ((p - step) % modulo + modulo) % modulo;
  return p;
}

unsigned PreviewEngine::RandomHue() { return random_->Next() % 255u; }

void PreviewEngine::SetGridColumns(const std::function<Rgb(int column)>& colourOf) {
  const auto& t = T();
  for (int c = 0; c < kGridColumns; ++c) {
    const Rgb colour = colourOf(c);
    for (int r = 0; r < kGridRows; ++r) {
      const int k = t.gridIndex[r][c];
      if (k < 0) continue;
      colour_[static_cast<std::size_t>(k)] = colour;
      painted_[static_cast<std::size_t>(k)] = true;
    }
  }
}

void PreviewEngine::Light(int key, std::uint8_t hue) {
  if (key < 0) return;
  level_[static_cast<std::size_t>(key)] = 255;
  hue_[static_cast<std::size_t>(key)] = hue;
}

void PreviewEngine::SeedCell(int row, int column) {
  for (auto& plane : planes_) plane[static_cast<std::size_t>(column)] |= static_cast<std::uint8_t>(1u << row);
}

bool PreviewEngine::PlanesEmpty() const {
  for (const auto& plane : planes_) {
    for (auto bits : plane) {
      if (bits != 0) return false;
    }
  }
  return true;
}

void PreviewEngine::LightPlanes(bool randomHue) {
  const auto& t = T();
  for (int c = 0; c < kGridColumns; ++c) {
    const auto col = static_cast<std::size_t>(c);
    const unsigned bits = planes_[kLeft][col] | planes_[kRight][col] | planes_[kUp][col] | planes_[kDown][col];
    for (int r = 0; r < kGridRows; ++r) {
      if ((bits & (1u << r)) == 0) continue;
      const int k = t.gridIndex[r][c];
      if (k < 0) continue;
      Light(k, randomHue ? static_cast<std::uint8_t>(RandomHue()) : scriptHue_);
    }
  }
}

void PreviewEngine::MovePlanes() {
  auto& left = planes_[kLeft];
  for (std::size_t c = 0; c + 1 < left.size(); ++c) left[c] = left[c + 1];
  left.back() = 0;
  auto& right = planes_[kRight];
  for (std::size_t c = right.size() - 1; c > 0; --c) right[c] = right[c - 1];
  right.front() = 0;
  for (auto& bits : planes_[kUp]) bits = static_cast<std::uint8_t>(bits >> 1);
  for (auto& bits : planes_[kDown]) bits = static_cast<std::uint8_t>((bits << 1) & 0x3F);
}

void PreviewEngine::FadeAll(bool fast) {
  for (auto& v : level_) v = FadeLevel(v, fast);
}

void PreviewEngine::PaintLevels(const PreviewInput& in) {
  const auto& hue = T().hue;
  for (std::size_t k = 0; k < kPreviewKeyCount; ++k) {
    colour_[k] = ScaleColour(in.multicolour ? hue[hue_[k]] : in.colour, level_[k]);
    painted_[k] = true;
  }
}

void PreviewEngine::StepRipple(const PreviewInput& in) {
  switch (in.effect) {
    case 13:
      if (PlanesEmpty()) SeedCell(kEffect13SeedRow, kEffect13SeedColumn);
      break;
    case 15:
      for (int offset : {10, 13, 16}) {
        const int column = (seedColumn_ + offset) % kGridColumns;
        SeedCell(0, column);
        if (offset == 16) seedColumn_ = column;
      }
      break;
    default:  // 16
      if (PlanesEmpty()) {
        for (const auto& cell : kEffect16Seeds) SeedCell(cell[0], cell[1]);
      }
      break;
  }
  // Seeded cells light in the tick they are set, then the fronts move on. Random hues
  // are drawn only with multicolour.
  LightPlanes(in.multicolour);
  MovePlanes();
  FadeAll(false);
  PaintLevels(in);
}

void PreviewEngine::StepScript(const PreviewInput& in) {
  const auto& t = T();
  ++scriptHue_;
  switch (scriptState_) {
    case 0:
      for (int id : kScriptRows[scriptTick_]) {
        if (id == 0) continue;
        Light(t.IndexOf(id), scriptHue_);
        scriptHue_ = static_cast<std::uint8_t>(scriptHue_ + 11);
      }
      if (++scriptTick_ >= 20) {
        scriptState_ = 1;
        scriptTick_ = 0;
      }
      break;
    case 1:
      if (scriptTick_ <= kScriptStateOneTicks) {
        for (int id : kScriptPairs[scriptTick_ % 16]) {
          Light(t.IndexOf(id), scriptHue_);
          ++scriptHue_;
        }
        ++scriptTick_;
      } else if (level_[static_cast<std::size_t>(t.IndexOf(kKeyL))] == 0) {
        scriptState_ = 2;
      }
      break;
    case 2:
      SeedCell(kScriptSeedRow, kScriptSeedColumn);
      scriptState_ = 3;
      break;
    case 3:
      LightPlanes(false);
      MovePlanes();
      // The fronts from P never cross left Ctrl's cell; the wave also ends when every
      // front has left the grid, so the script cannot stall here.
      if (level_[static_cast<std::size_t>(t.IndexOf(kKeyLeftCtrl))] != 0 || PlanesEmpty()) scriptState_ = 4;
      break;
    default:
      if (level_[static_cast<std::size_t>(t.IndexOf(kKeyLeftCtrl))] == 0) {
        scriptState_ = 0;
        scriptTick_ = 0;
      }
      break;
  }
  FadeAll(true);
  PaintLevels(in);
}

void PreviewEngine::Paint(PreviewFrame& frame) const {
  std::optional<Rgb> rightAlt;
  for (std::size_t k = 0; k < kPreviewKeyCount; ++k) {
    if (!painted_[k]) continue;
    frame.keys[frame.count++] = {kSerpentine[k], colour_[k]};
    if (kSerpentine[k] == kPreviewRightAlt) rightAlt = colour_[k];
  }
  if (rightAlt) frame.keys[frame.count++] = {kPreviewRightWin, *rightAlt};
}

bool PreviewEngine::Step(const PreviewInput& in, PreviewFrame& frame) {
  frame.showCaptions = false;
  frame.count = 0;
  if (!started_) {
    Reset(in.effect);
    started_ = true;
  }
  const EffectCode code = in.effect;
  const bool known = code >= kFirstEffect && code <= kLastEffect;
  if (known && busy_[static_cast<std::size_t>(code)]) return false;
  struct BusyGuard {
    bool* flag;
    ~BusyGuard() {
      if (flag) *flag = false;
    }
  } guard{known ? &busy_[static_cast<std::size_t>(code)] : nullptr};
  if (guard.flag) *guard.flag = true;

  const auto& t = T();
  const bool forward = in.direction != 0;
  painted_.fill(false);
  switch (code) {
    case 1:
      if (in.multicolour) {
        const int p = Advance(1, 9, 192, forward);
        SetGridColumns([&](int c) { return t.wheel[static_cast<std::size_t>((p + 9 * c) % 192)]; });
      } else {
        const int p = Advance(1, 7, 96, forward);
        SetGridColumns(
            [&](int c) { return ScaleColour(in.colour, t.curveA[static_cast<std::size_t>((p + 7 * c) % 96)]); });
      }
      break;
    case 2:
      if (in.multicolour) {
        const int p = Advance(2, 4, 192, forward);
        SetGridColumns([&](int c) { return t.wheel[static_cast<std::size_t>((p + 5 * c) % 192)]; });
      } else {
        // The index walks 5 entries before every column, within 0..128 of curve B.
        int index = Advance(2, 4, 128, true);
        SetGridColumns([&](int) {
          if (forward) {
            index += 5;
            if (index > 128) index -= 128;
          } else {
            index -= 5;
            if (index < 0) index += 128;
          }
          return ScaleColour(in.colour, t.curveB[static_cast<std::size_t>(index)]);
        });
      }
      break;
    case 3: {
      const int p = in.multicolour ? Advance(3, 4, 192, forward) : Advance(3, 4, 96, forward);
      for (std::size_t k = 0; k < kPreviewKeyCount; ++k) {
        const int i = p + 5 * static_cast<int>(k);
        colour_[k] = in.multicolour ? t.wheel[static_cast<std::size_t>(i % 192)]
                                    : ScaleColour(in.colour, t.curveA[static_cast<std::size_t>(i % 96)]);
        painted_[k] = true;
      }
      break;
    }
    case 4: {
      const Rgb c = t.wheel[static_cast<std::size_t>(Advance(4, 2, 192, forward))];
      colour_.fill(c);
      painted_.fill(true);
      break;
    }
    case 5: {
      const unsigned level = t.curveC[static_cast<std::size_t>(Advance(5, 2, 128, true))];
      SetGridColumns([&](int c) {
        return ScaleColour(in.multicolour ? t.wheel[static_cast<std::size_t>(7 * c)] : in.colour, level);
      });
      break;
    }
    case 6:
      if (in.multicolour) {
        SetGridColumns([&](int c) { return c < kGridColumns - 1 ? t.wheel[static_cast<std::size_t>(9 * c)] : t.wheel[0]; });
      } else {
        colour_.fill(in.colour);
        painted_.fill(true);
      }
      break;
    case 10:
      random_->Reseed();
      for (int i = 0; i < 3; ++i) {
        Light(t.twinkle[twinkleCursor_], static_cast<std::uint8_t>(RandomHue()));
        twinkleCursor_ = (twinkleCursor_ + 1) % kPreviewKeyCount;
      }
      FadeAll(false);
      PaintLevels(in);
      break;
    case 11:
      for (std::size_t k = 0; k < kPreviewKeyCount; ++k) {
        int phase = phase_[k] + 3;
        if (phase >= 192) phase = 0;
        phase_[k] = static_cast<std::uint8_t>(phase);
        colour_[k] = t.wheel[static_cast<std::size_t>(phase)];
        painted_[k] = true;
      }
      break;
    case 12: {
      const int p = Advance(12, 3, 192, forward);
      for (int r = 0; r < kGridRows; ++r) {
        const Rgb c = t.wheel[static_cast<std::size_t>((p + 32 * r) % 192)];
        for (int col = 0; col < kGridColumns; ++col) {
          const int k = t.gridIndex[r][col];
          if (k < 0) continue;
          colour_[static_cast<std::size_t>(k)] = c;
          painted_[static_cast<std::size_t>(k)] = true;
        }
      }
      break;
    }
    case 13:
    case 15:
    case 16:
      StepRipple(in);
      break;
    case 14:
      StepScript(in);
      break;
    case 18: {
      int& p = position_[18];
      if (forward) {
        p += 2;
        if (p >= 192) p = 0;
      } else {
        p -= 2;
        if (p < 0) p = 192;
      }
      for (std::size_t i = 0; i < kRingCount; ++i) {
        const Rgb c = t.wheel[static_cast<std::size_t>((p + 21 * static_cast<int>(i + 1)) % 192)];
        for (auto k : t.ringIndex[i]) {
          if (k < 0) continue;
          colour_[static_cast<std::size_t>(k)] = c;
          painted_[static_cast<std::size_t>(k)] = true;
        }
      }
      break;
    }
    case kEffectUserColours:
      break;  // the keys show their own colours
    default:  // 7, 8, 9, 17, 19 and unknown codes
      frame.showCaptions = true;
      break;
  }
  Paint(frame);
  return true;
}

}  // namespace vantrel::lighting
