// The lighting part of the JSON document: the record's fields in readable form, the
// keyboard's own bytes, the per-key colours and the user modes, out and back in; version 1
// documents still read; what is wrong is named by its field.
#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "scripting/profile_json.h"
#include "stack/device_stack.h"

namespace vantrel::ctl {
namespace {

using namespace vantrel::scripting;

using nlohmann::json;

const text::TextSource& EnglishTexts() {
  static stack::ProgramTexts texts(stack::ProgramFolder(), 1033);
  return texts.Texts();
}

lighting::LightingRecord SampleRecord(std::uint8_t seed) {
  lighting::LightingRecord r{};
  for (std::size_t i = 0; i < r.size(); ++i) r[i] = static_cast<std::uint8_t>(seed + 7 * i);
  r[lighting::kRecEffect] = 20;
  return r;
}

ProfileLightings SampleParts() {
  ProfileLightings parts;
  for (std::size_t p = 0; p < parts.size(); ++p) {
    SetRecord(parts[p], SampleRecord(static_cast<std::uint8_t>(p * 50)));
    lighting::UserModeSet modes;
    modes.selected = static_cast<int>(p);
    for (std::size_t m = 0; m < modes.modes.size(); ++m) {
      modes.modes[m].name = "mode " + std::to_string(m);
      modes.modes[m].base = lighting::MakeRgb(1, 2, static_cast<unsigned>(m));
      for (std::size_t s = 0; s < modes.modes[m].ledSlots.size(); ++s) {
        modes.modes[m].ledSlots[s] = {lighting::MakeRgb(static_cast<unsigned>(s), static_cast<unsigned>(m), 9),
                                   s % 5 == 0};
      }
    }
    parts[p].userModes = modes;
    parts[p].keyColours = lighting::ShownColours(modes);
  }
  return parts;
}

std::string ImportError(const std::string& document) {
  keys::StoreImage image;
  ProfileLightings parts;
  std::string error;
  return ImportProfileJson(document, EnglishTexts(), image, parts, error) ? std::string() : error;
}

TEST(ProfileJsonLighting, ExportReadsBackToTheSameRecordsColoursAndModes) {
  const ProfileLightings parts = SampleParts();
  const std::string doc = ExportProfileJson(keys::StoreImage{}, EnglishTexts(), parts);
  const json j = json::parse(doc);
  EXPECT_EQ(j["version"], 2);
  const json& l = j["profiles"][0]["lighting"];
  // Readable: the effect by number and name, colours as RRGGBB.
  EXPECT_EQ(l["effect"]["number"], 20);
  EXPECT_EQ(l["effect"]["name"], EnglishTexts().ModeText("20"));
  EXPECT_EQ(l["colour"], lighting::HexColour(lighting::DecodeLightingRecord(SampleRecord(0)).colour));
  EXPECT_EQ(j["profiles"][1]["key_colours"].size(), 126u);
  EXPECT_FALSE(j["profiles"][3].contains("lighting"));  // slot 3 is no on-board profile

  keys::StoreImage image;
  ProfileLightings back;
  std::string error;
  ASSERT_TRUE(ImportProfileJson(doc, EnglishTexts(), image, back, error)) << error;
  for (std::size_t p = 0; p < parts.size(); ++p) {
    // Merged over any record, the document gives back every byte it was exported from.
    lighting::LightingRecord other{};
    other.fill(0xEE);
    EXPECT_EQ(MergeRecord(back[p], other), SampleRecord(static_cast<std::uint8_t>(p * 50))) << p;
    EXPECT_EQ(*back[p].keyColours, *parts[p].keyColours);
    ASSERT_TRUE(back[p].userModes);
    EXPECT_EQ(back[p].userModes->selected, static_cast<int>(p));
    for (std::size_t m = 0; m < 10; ++m) {
      EXPECT_EQ(back[p].userModes->modes[m].name, parts[p].userModes->modes[m].name);
      EXPECT_EQ(back[p].userModes->modes[m].base, parts[p].userModes->modes[m].base);
      for (std::size_t s = 0; s < 126; ++s) {
        EXPECT_EQ(back[p].userModes->modes[m].ledSlots[s].colour, parts[p].userModes->modes[m].ledSlots[s].colour);
        EXPECT_EQ(back[p].userModes->modes[m].ledSlots[s].followsBase, parts[p].userModes->modes[m].ledSlots[s].followsBase);
      }
    }
  }
  // And out again: the same document.
  EXPECT_EQ(ExportProfileJson(image, EnglishTexts(), back), doc);
}

TEST(ProfileJsonLighting, BytesTheDocumentDoesNotGiveStayAsTheKeyboardHoldsThem) {
  json j = json::parse(ExportProfileJson(keys::StoreImage{}, EnglishTexts(), SampleParts()));
  j["profiles"][0]["lighting"].erase("keyboard_bytes");
  j["profiles"][0]["lighting"]["effect"] = {{"name", EnglishTexts().ModeText("5")}};
  keys::StoreImage image;
  ProfileLightings back;
  std::string error;
  ASSERT_TRUE(ImportProfileJson(j.dump(), EnglishTexts(), image, back, error)) << error;
  lighting::LightingRecord held{};
  held.fill(0xEE);
  const auto merged = MergeRecord(back[0], held);
  EXPECT_EQ(merged[lighting::kRecEffect], 5);  // found by its name
  EXPECT_EQ(merged[8], 0xEE);
  EXPECT_EQ(merged[41], 0xEE);
  EXPECT_EQ(merged[lighting::kRecBrightness], SampleRecord(0)[lighting::kRecBrightness]);
}

TEST(ProfileJsonLighting, VersionOneDocumentsStillImportWithoutLighting) {
  const std::string v1 = R"({"format": "vantrel-profile", "version": 1,
    "profiles": [{"slot": 0, "keys": [{"key": "Caps Lock", "kind": "disabled"}]}]})";
  keys::StoreImage image;
  ProfileLightings back;
  std::string error;
  ASSERT_TRUE(ImportProfileJson(v1, EnglishTexts(), image, back, error)) << error;
  EXPECT_EQ(image.table.Record(0, 0x3A).kind, keys::kKindDisabled);
  for (const auto& part : back) {
    EXPECT_FALSE(part.fields);
    EXPECT_FALSE(part.keyColours);
    EXPECT_FALSE(part.userModes);
  }
  EXPECT_EQ(ImportError(R"({"format": "vantrel-profile", "version": 1,
    "profiles": [{"slot": 0, "keys": [], "key_colours": []}]})"),
            "profiles[0]: lighting needs version 2 of the format");
  EXPECT_NE(ImportError(R"({"format": "vantrel-profile", "version": 3, "profiles": []})"), "");
}

// The report rate is written in Hz; documents with the report-rate button (0-3) of
// earlier versions still read, and an odd record byte comes back as the keyboard held it.
TEST(ProfileJsonLighting, ReportRateIsWrittenInHertzAndTheButtonStillReads) {
  ProfileLightings parts = SampleParts();
  for (std::size_t p = 0; p < 3; ++p) {
    auto record = SampleRecord(static_cast<std::uint8_t>(p * 50));
    record[lighting::kRecReportRate] = static_cast<std::uint8_t>(p == 2 ? 7 : p + 1);
    SetRecord(parts[p], record);
  }
  const json j = json::parse(ExportProfileJson(keys::StoreImage{}, EnglishTexts(), parts));
  EXPECT_EQ(j["profiles"][0]["lighting"]["report_rate"], 250);
  EXPECT_EQ(j["profiles"][1]["lighting"]["report_rate"], 500);
  EXPECT_FALSE(j["profiles"][1]["lighting"].contains("report_rate_byte"));
  EXPECT_EQ(j["profiles"][2]["lighting"]["report_rate"], 1000);
  EXPECT_EQ(j["profiles"][2]["lighting"]["report_rate_byte"], 7);

  const auto byteRead = [&](const std::function<void(json&)>& change) -> int {
    json d = j;
    change(d);
    keys::StoreImage image;
    ProfileLightings back;
    std::string error;
    if (!ImportProfileJson(d.dump(), EnglishTexts(), image, back, error)) return -1;
    lighting::LightingRecord held{};
    return MergeRecord(back[0], held)[lighting::kRecReportRate];
  };
  EXPECT_EQ(byteRead([](json&) {}), 1);
  EXPECT_EQ(byteRead([](json& d) { d["profiles"][0]["lighting"]["report_rate"] = 1000; }), 3);
  EXPECT_EQ(byteRead([](json& d) { d["profiles"][0]["lighting"]["report_rate"] = 125; }), 0);
  EXPECT_EQ(byteRead([](json& d) { d["profiles"][0]["lighting"]["report_rate"] = 2; }), 2);  // the older form
  EXPECT_EQ(byteRead([](json& d) { d["profiles"][0]["lighting"]["report_rate_byte"] = 9; }), 9);
  json bad = j;
  bad["profiles"][0]["lighting"]["report_rate"] = 300;
  EXPECT_EQ(ImportError(bad.dump()), "profiles[0].lighting.report_rate: not a report rate: 125, 250, 500 or 1000 (Hz)");
  bad["profiles"][0]["lighting"]["report_rate"] = 2000;
  EXPECT_EQ(ImportError(bad.dump()), "profiles[0].lighting.report_rate: out of range 0..1000");
}

TEST(ProfileJsonLighting, EachWrongValueIsNamedByItsField) {
  const json good = json::parse(ExportProfileJson(keys::StoreImage{}, EnglishTexts(), SampleParts()));
  const auto errorWith = [&](const std::function<void(json&)>& change) {
    json j = good;
    change(j);
    return ImportError(j.dump());
  };
  EXPECT_EQ(errorWith([](json& j) { j["profiles"][1]["lighting"]["colour"] = "12345G"; }),
            "profiles[1].lighting.colour: not a colour RRGGBB");
  EXPECT_EQ(errorWith([](json& j) { j["profiles"][0]["lighting"]["brightness"] = 256; }),
            "profiles[0].lighting.brightness: out of range 0..255");
  EXPECT_EQ(errorWith([](json& j) { j["profiles"][0]["lighting"]["keyboard_bytes"]["5"] = 1; }),
            "profiles[0].lighting.keyboard_bytes: '5' is not the offset of a byte of the keyboard's own");
  EXPECT_EQ(errorWith([](json& j) { j["profiles"][0]["lighting"]["effect"] = {{"name", "Disco"}}; }),
            "profiles[0].lighting.effect.name: no effect is named 'Disco'");
  EXPECT_EQ(errorWith([](json& j) { j["profiles"][2]["key_colours"].erase(0); }),
            "profiles[2].key_colours: must hold 126 colours");
  EXPECT_EQ(errorWith([](json& j) { j["profiles"][2]["user_modes"]["modes"][4]["follows_base"] = {126}; }),
            "profiles[2].user_modes.modes[4].follows_base[0]: out of range 0..125");
  EXPECT_EQ(errorWith([](json& j) { j["profiles"][0]["user_modes"]["modes"][0]["name"] = "a\nb"; }),
            "profiles[0].user_modes.modes[0].name: holds a line break");
  EXPECT_EQ(errorWith([](json& j) { j["profiles"][3]["key_colours"] = j["profiles"][0]["key_colours"]; }),
            "profiles[3]: slot 3 is no on-board profile and has no lighting");
}

}  // namespace
}  // namespace vantrel::ctl
