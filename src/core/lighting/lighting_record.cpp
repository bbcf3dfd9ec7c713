#include "core/lighting/lighting_record.h"

#include "core/device/read_back.h"

#include <algorithm>
#include <cstdio>

#include "core/util/bytes.h"

namespace vantrel::lighting {
namespace {

void PutColour(std::span<std::uint8_t> d, std::size_t off, Rgb c) {
  d[off] = RedOf(c);
  d[off + 1] = GreenOf(c);
  d[off + 2] = BlueOf(c);
}

}  // namespace

LightingFields DecodeLightingRecord(std::span<const std::uint8_t> r) {
  // Sequential read; past the end of a short record every byte reads as 0.
  ByteReader rd(r);
  auto colour = [&rd] {
    const unsigned red = rd.U8();
    const unsigned green = rd.U8();
    return MakeRgb(red, green, rd.U8());
  };
  LightingFields f;
  f.effect = rd.U8();
  f.brightness = rd.U8();
  f.speed = rd.U8();
  f.direction = rd.U8();
  f.multicolour = rd.U8();
  f.colour = colour();
  rd.Skip(kRecReportRate - (kRecRed + 3));
  f.reportRate = rd.U8();
  rd.Skip(kRecColourChoice - (kRecReportRate + 1));
  f.colourChoice = rd.U8();
  f.effect7Flag = rd.U8();
  f.trigger = rd.U8();
  rd.Skip(kRecSecondColour - (kRecTrigger + 1));
  f.secondColour = colour();
  f.secondCycling = rd.U8();
  rd.Skip(kRecThirdColour - (kRecSecondCycling + 1));
  f.thirdColour = colour();
  f.thirdCycling = rd.U8();
  return f;
}

void EncodeLightingRecord(const LightingFields& f, std::span<std::uint8_t, kRecordSize> r) {
  r[kRecEffect] = f.effect;
  r[kRecBrightness] = f.brightness;
  r[kRecSpeed] = f.speed;
  r[kRecDirection] = f.direction;
  r[kRecMulticolour] = f.multicolour;
  PutColour(r, kRecRed, f.colour);
  r[kRecReportRate] = f.reportRate;
  r[kRecColourChoice] = f.colourChoice;
  r[kRecEffect7Flag] = f.effect7Flag;
  r[kRecTrigger] = f.trigger;
  PutColour(r, kRecSecondColour, f.secondColour);
  r[kRecSecondCycling] = f.secondCycling;
  PutColour(r, kRecThirdColour, f.thirdColour);
  r[kRecThirdCycling] = f.thirdCycling;
}

std::vector<std::string> CompareLightingRecords(int profile, std::span<const std::uint8_t, kRecordSize> written,
                                                std::span<const std::uint8_t, kRecordSize> read,
                                                const text::TextSource& texts) {
  // How the host reads a field: two bytes that read alike are the same setting, however
  // the keyboard chose to store it.
  enum class Reading {
    Exact,       // every value its own
    Flag,        // 0 off, any other value on
    ReportRate,  // a value above 3 is taken as 3
    ZeroOrOne,   // 0 and 1 are taken over, any other value is ignored
  };
  struct Field {
    std::size_t offset;
    std::size_t width;  // 3 for a colour
    const char* key;    // the field's name in the language file
    Reading reading;
  };
  static constexpr Field kFields[] = {
      {kRecEffect, 1, "READBACK_LIGHT_EFFECT", Reading::Exact},
      {kRecBrightness, 1, "READBACK_LIGHT_BRIGHTNESS", Reading::Exact},
      {kRecSpeed, 1, "READBACK_LIGHT_SPEED", Reading::Exact},
      {kRecDirection, 1, "READBACK_LIGHT_DIRECTION", Reading::Exact},
      {kRecMulticolour, 1, "READBACK_LIGHT_MULTICOLOUR", Reading::Flag},
      {kRecRed, 3, "READBACK_LIGHT_COLOUR", Reading::Exact},
      {kRecReportRate, 1, "READBACK_LIGHT_REPORT_RATE", Reading::ReportRate},
      {kRecColourChoice, 1, "READBACK_LIGHT_CHOICE", Reading::Exact},
      {kRecEffect7Flag, 1, "READBACK_LIGHT_VARIANT", Reading::ZeroOrOne},
      {kRecTrigger, 1, "READBACK_LIGHT_TRIGGER", Reading::ZeroOrOne},
      {kRecSecondColour, 3, "READBACK_LIGHT_SECOND", Reading::Exact},
      {kRecSecondCycling, 1, "READBACK_LIGHT_SECOND_CYCLING", Reading::Flag},
      {kRecThirdColour, 3, "READBACK_LIGHT_THIRD", Reading::Exact},
      {kRecThirdCycling, 1, "READBACK_LIGHT_THIRD_CYCLING", Reading::Flag},
  };
  auto meaning = [](Reading reading, std::uint8_t v) -> unsigned {
    switch (reading) {
      case Reading::Flag: return v != 0 ? 1u : 0u;
      case Reading::ReportRate: return std::min<unsigned>(v, 3u);
      case Reading::ZeroOrOne: return v <= 1 ? v : 2u;
      case Reading::Exact: break;
    }
    return v;
  };
  auto value = [](std::span<const std::uint8_t, kRecordSize> r, std::size_t offset, std::size_t width) {
    if (width == 1) return std::to_string(r[offset]);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X%02X%02X", static_cast<unsigned>(r[offset]),
                  static_cast<unsigned>(r[offset + 1]), static_cast<unsigned>(r[offset + 2]));
    return std::string(hex);
  };
  // The effect-7 flag is read only while the effect is 7.
  const bool effect7 = written[kRecEffect] == 7 || read[kRecEffect] == 7;
  std::vector<std::string> lines;
  // Only the named fields: the bytes between them are the keyboard's (the host keeps them
  // as read and gives them no meaning), whatever a write put there.
  for (const Field& f : kFields) {
    if (f.offset == kRecEffect7Flag && !effect7) continue;
    bool same = true;
    for (std::size_t i = f.offset; i < f.offset + f.width; ++i) {
      same = same && meaning(f.reading, written[i]) == meaning(f.reading, read[i]);
    }
    if (same) continue;
    const std::string what = device::Phrase(texts, "READBACK_LIGHTING", {std::to_string(profile), texts.Text(f.key)});
    lines.push_back(device::DifferenceLine(texts, what, value(written, f.offset, f.width), value(read, f.offset, f.width)));
  }
  return lines;
}

std::array<std::uint8_t, kDefaultRecordLength> DefaultLightingBytes() {
  std::array<std::uint8_t, kDefaultRecordLength> b{};
  b[kRecEffect] = 1;
  b[kRecBrightness] = 4;
  b[kRecSpeed] = 2;
  b[kRecDirection] = 0;
  b[kRecMulticolour] = 0xFF;
  b[kRecRed] = 0xFF;
  b[kRecRed + 1] = 0xFF;
  b[kRecRed + 2] = 0xFF;
  return b;
}

}  // namespace vantrel::lighting
