#include "core/lighting/lighting_record.h"

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
