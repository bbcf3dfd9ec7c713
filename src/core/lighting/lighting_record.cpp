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
  struct Field {
    std::size_t offset;
    std::size_t width;  // 3 for a colour
    const char* key;    // the field's name in the language file
  };
  static constexpr Field kFields[] = {
      {kRecEffect, 1, "READBACK_LIGHT_EFFECT"},
      {kRecBrightness, 1, "READBACK_LIGHT_BRIGHTNESS"},
      {kRecSpeed, 1, "READBACK_LIGHT_SPEED"},
      {kRecDirection, 1, "READBACK_LIGHT_DIRECTION"},
      {kRecMulticolour, 1, "READBACK_LIGHT_MULTICOLOUR"},
      {kRecRed, 3, "READBACK_LIGHT_COLOUR"},
      {kRecReportRate, 1, "READBACK_LIGHT_REPORT_RATE"},
      {kRecColourChoice, 1, "READBACK_LIGHT_CHOICE"},
      {kRecEffect7Flag, 1, "READBACK_LIGHT_VARIANT"},
      {kRecTrigger, 1, "READBACK_LIGHT_TRIGGER"},
      {kRecSecondColour, 3, "READBACK_LIGHT_SECOND"},
      {kRecSecondCycling, 1, "READBACK_LIGHT_SECOND_CYCLING"},
      {kRecThirdColour, 3, "READBACK_LIGHT_THIRD"},
      {kRecThirdCycling, 1, "READBACK_LIGHT_THIRD_CYCLING"},
  };
  auto value = [](std::span<const std::uint8_t, kRecordSize> r, std::size_t offset, std::size_t width) {
    if (width == 1) return std::to_string(r[offset]);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X%02X%02X", static_cast<unsigned>(r[offset]),
                  static_cast<unsigned>(r[offset + 1]), static_cast<unsigned>(r[offset + 2]));
    return std::string(hex);
  };
  std::vector<std::string> lines;
  auto note = [&](const std::string& field, std::size_t offset, std::size_t width) {
    const std::string what = device::Phrase(texts, "READBACK_LIGHTING", {std::to_string(profile), field});
    lines.push_back(device::DifferenceLine(texts, what, value(written, offset, width), value(read, offset, width)));
  };
  std::size_t i = 0;
  while (i < kRecordSize) {
    const Field* field = nullptr;
    for (const Field& f : kFields) {
      if (f.offset == i) field = &f;
    }
    const std::size_t width = field != nullptr ? field->width : 1;
    if (!std::equal(written.begin() + i, written.begin() + i + width, read.begin() + i)) {
      note(field != nullptr ? texts.Text(field->key) : device::Phrase(texts, "READBACK_LIGHT_BYTE", {std::to_string(i)}),
           i, width);
    }
    i += width;
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
