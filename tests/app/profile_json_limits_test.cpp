// JSON documents that are small enough to be read but built to cost time and memory:
// deep nesting, masses of values, huge key texts. Each is refused by the limit it breaks,
// and the largest real configuration still imports.
#include <gtest/gtest.h>

#include <string>

#include "scripting/profile_json.h"
#include "core/keys/key_codes.h"
#include "core/profiles/profile_file.h"
#include "stack/device_stack.h"

namespace vantrel::scripting {
namespace {

const text::TextSource& EnglishTexts() {
  static stack::ProgramTexts texts(stack::ProgramFolder(), 1033);
  return texts.Texts();
}

std::string Import(const std::string& document, keys::StoreImage& image) {
  std::string error;
  return ImportProfileJson(document, EnglishTexts(), image, error) ? std::string() : error;
}

const std::string kHead = R"({"format": "vantrel-profile", "version": 1, )";

TEST(ProfileJsonLimitsTest, DeepNestingAndMassesOfValuesAreRefusedByTheirLimit) {
  keys::StoreImage image;
  // 32 million brackets used to take 39 s and 2.5 GB; a million show the same thing.
  const std::string deep = std::string(1'000'000, '[') + std::string(1'000'000, ']');
  EXPECT_EQ(Import(deep, image), "document: nested deeper than 16 levels");
  EXPECT_EQ(Import(kHead + R"("profiles": [], "x": )" + std::string(17, '[') + std::string(17, ']') + "}", image),
            "document: nested deeper than 16 levels");

  std::string many = kHead + R"("profiles": [], "macros": [{"id": 1, "name": "m", "steps": [)";
  for (int i = 0; i < 1'000'000; ++i) many += "0,";
  many += "0]}]}";
  EXPECT_EQ(Import(many, image), "document: more than 1000000 values");

  // Broken documents still read as such.
  EXPECT_EQ(Import("[[", image), "document: not valid JSON");
  EXPECT_EQ(Import(kHead + R"("profiles": [])" + "}", image), "");
}

TEST(ProfileJsonLimitsTest, KeyTextsUpToTheLongestAKeyCarriesAreImported) {
  auto withText = [](const std::string& text) {
    return kHead + R"("profiles": [{"slot": 0, "keys": [{"key": "A", "kind": "text", "text": ")" + text + R"("}]}]})";
  };
  keys::StoreImage image;
  const std::string longest(profiles::kMaxKeyTextChars, 'x');
  ASSERT_EQ(Import(withText(longest), image), "");
  const std::size_t slot = keys::KeyIndexOfCode(keys::CodeOfIndex(0x1E));
  ASSERT_NE(image.strings.Slot(slot), nullptr);
  EXPECT_EQ(image.strings.Slot(slot)->size(), profiles::kMaxKeyTextChars);
  // Counted in characters, not bytes: three-byte characters up to the limit pass.
  ASSERT_EQ(Import(withText(std::string(profiles::kMaxKeyTextChars, 'x').replace(0, 3, "\xE2\x82\xAC")), image), "");

  const std::string refused = "profiles[0].keys[0].text: longer than 32767 characters";
  EXPECT_EQ(Import(withText(longest + "x"), image), refused);
  EXPECT_EQ(Import(withText(std::string(4 * profiles::kMaxKeyTextChars + 1, 'x')), image), refused);
}

// The largest configuration the keyboard holds stays well inside both limits.
TEST(ProfileJsonLimitsTest, TheFullestConfigurationStillImports) {
  std::vector<keys::MacroAction> steps;
  for (std::size_t i = 0; i < keys::kMaxActions; ++i) {
    steps.push_back({static_cast<std::int32_t>(i), keys::CodeOfIndex(0x1E), i % 2 ? keys::kRelease : keys::kPress});
  }
  keys::StoreImage full;
  for (std::uint16_t id = 1; id <= keys::kMaxMacros; ++id) {
    keys::MacroRecord m = keys::NewMacro(u"macro", id);
    m.SetActions(steps);
    full.macros.push_back(m);
  }
  for (std::size_t slot = 0; slot < keys::kProfileSlots; ++slot) {
    for (std::uint16_t i = 1; i < keys::kKeyNameCount; ++i) {
      if (keys::KeyNameTable()[i].label.empty()) continue;
      full.table.SetRecord(slot, i, keys::KeyAssignment{keys::kKindDisabled, 7, 5, 3, 1});
    }
  }
  keys::StoreImage image;
  const std::string document = ExportProfileJson(full, EnglishTexts());
  // Within the size limit too (32 MiB, lowered from 64 MiB so that a document fits in one
  // bus call), with room to spare.
  EXPECT_LT(document.size(), kMaxProfileJsonBytes * 3 / 4);
  ASSERT_EQ(Import(document, image), "");
  EXPECT_EQ(image.macros.size(), keys::kMaxMacros);
  EXPECT_EQ(image.table, full.table);
}

}  // namespace
}  // namespace vantrel::scripting
