// The history entries' content: a configuration kept and read back unchanged, the one-line
// summary of a write, and an entry compared with the keyboard in verify's words.
#include "scripting/configuration_history.h"

#include <gtest/gtest.h>

#include <string>

#include "core/keys/key_table.h"
#include "core/keys/macro.h"
#include "core/lighting/user_modes.h"
#include "language_file_texts.h"

namespace vantrel::scripting {
namespace {

using keys::KeyAssignment;

const test::LanguageFileTexts& English() {
  static const test::LanguageFileTexts texts("0409");
  return texts;
}

keys::MacroRecord Macro(std::uint16_t id, std::u16string name, std::int32_t delay = 10) {
  keys::MacroRecord m;
  m.SetId(id);
  m.SetName(name);
  m.SetCycles(1);
  const keys::MacroAction steps[] = {{delay, 0x1E, keys::kPress}, {delay, 0x1E, keys::kRelease}};
  m.SetActions(steps);
  return m;
}

KeyAssignment Disabled() { return {keys::kKindDisabled, 0, 0, 0, 0}; }

// Keys on two profiles (one with a launch path), two macros, and lighting on every profile.
KeyboardConfiguration Sample() {
  KeyboardConfiguration c;
  keys::StoreKeyAssignment(c.image, 0, 0x3A, Disabled());
  keys::StoreKeyAssignment(c.image, 1, 0x1E, {keys::kKindLaunch, 0, 0, 0, 0}, u"/usr/bin/true");
  c.image.macros = {Macro(1, u"Fire"), Macro(2, u"Reload")};
  for (std::size_t p = 0; p < c.lighting.size(); ++p) {
    lighting::LightingRecord r{};
    r[lighting::kRecEffect] = 20;
    r[lighting::kRecBrightness] = static_cast<std::uint8_t>(p + 1);
    SetRecord(c.lighting[p], r);
    lighting::UserModeSet modes;
    modes.modes[0].ledSlots[0].colour = lighting::MakeRgb(0, 255, 0);
    modes.modes[0].ledSlots[0].followsBase = false;
    c.lighting[p].userModes = modes;
    c.lighting[p].keyColours = lighting::ShownColours(modes);
  }
  return c;
}

// The keyboard as it holds a configuration's keys and macros.
keys::DeviceConfiguration KeyboardHolding(const keys::StoreImage& image) {
  keys::DeviceConfiguration d;
  d.macroCapacity = keys::kMaxMacroBlock;
  d.macroBlock = keys::BuildMacroBlock(image.macros, true);
  const auto ids = keys::MacroIdsOf(image.macros);
  for (std::size_t p = 0; p < d.tables.size(); ++p) d.tables[p] = keys::EncodeKeyTable(image.table, p, d.factory, ids);
  return d;
}

TEST(ConfigurationHistory, AnEntryReadsBackToTheSameConfiguration) {
  const KeyboardConfiguration before = Sample();
  const std::string document = HistoryDocument(before, English());
  KeyboardConfiguration back;
  std::string error;
  ASSERT_TRUE(ReadHistoryDocument(document, English(), back, error)) << error;
  EXPECT_EQ(back.image.table, before.image.table);
  EXPECT_EQ(back.image.macros, before.image.macros);
  EXPECT_EQ(*back.image.strings.Slot(1 * keys::kRecordsPerSlot + 0x1E), u"/usr/bin/true");
  EXPECT_EQ(HistoryDocument(back, English()), document);
  EXPECT_EQ(SummariseChange(before, back, English()), "no change");

  EXPECT_FALSE(ReadHistoryDocument("{\"format\": 1}", English(), back, error));
  EXPECT_FALSE(error.empty());
}

TEST(ConfigurationHistory, TheSummaryNamesWhatTheWriteChanges) {
  struct Case {
    const char* what;
    std::function<void(KeyboardConfiguration&)> change;
    std::string summary;
  };
  const Case cases[] = {
      {"one key", [](KeyboardConfiguration& c) { keys::StoreKeyAssignment(c.image, 1, 0x10, Disabled()); },
       "keys of Profile 2: Q"},
      {"a launch path only",
       [](KeyboardConfiguration& c) {
         keys::StoreKeyAssignment(c.image, 1, 0x1E, {keys::kKindLaunch, 0, 0, 0, 0}, u"/usr/bin/false");
       },
       "keys of Profile 2: A"},
      {"many keys",
       [](KeyboardConfiguration& c) {
         for (std::size_t k : {0x10, 0x11, 0x12, 0x13, 0x14}) keys::StoreKeyAssignment(c.image, 2, k, Disabled());
       },
       "keys of Profile 3: Q, W, E and 2 more"},
      {"macros", [](KeyboardConfiguration& c) {
         c.image.macros[0] = Macro(1, u"Fire", 20);
         c.image.macros.erase(c.image.macros.begin() + 1);
         c.image.macros.push_back(Macro(3, u"Jump"));
       },
       "macros added: Jump; macros removed: Reload; macros changed: Fire"},
      {"macro order", [](KeyboardConfiguration& c) { std::swap(c.image.macros[0], c.image.macros[1]); },
       "macro order"},
      {"lighting and colours",
       [](KeyboardConfiguration& c) {
         c.lighting[0].fields->brightness = 0;
         c.lighting[2].userModes->selected = 3;
       },
       "lighting of Profile 1; key colors of Profile 3"},
  };
  for (const Case& c : cases) {
    const KeyboardConfiguration before = Sample();
    KeyboardConfiguration after = before;
    c.change(after);
    EXPECT_EQ(SummariseChange(before, after, English()), c.summary) << c.what;
  }
  KeyboardConfiguration after = Sample();
  keys::StoreKeyAssignment(after.image, 0, 0x10, Disabled());
  after.image.macros.pop_back();
  EXPECT_EQ(SummariseChange(Sample(), after, test::LanguageFileTexts("040C")),
            "touches de Profil 1\u00A0: Q\u202F; macros supprimées\u00A0: Reload");
}

TEST(ConfigurationHistory, AnEntryAgainstTheKeyboardInVerifysWords) {
  const KeyboardConfiguration entry = Sample();
  KeyboardConfiguration now = entry;
  const auto& texts = English();
  EXPECT_TRUE(HistoryDifferences(entry, KeyboardHolding(now.image), now.lighting, texts).empty());

  keys::StoreKeyAssignment(now.image, 0, 0x3A, KeyAssignment{});  // Caps Lock back to its own function
  now.image.macros.pop_back();
  now.lighting[1].fields->brightness = 4;
  (*now.lighting[2].keyColours)[0] = lighting::MakeRgb(0, 0, 255);
  const auto lines = HistoryDifferences(entry, KeyboardHolding(now.image), now.lighting, texts);
  const auto has = [&](const std::string& prefix) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(prefix); });
  };
  EXPECT_TRUE(has("profile 0, key Caps Lock: written ")) << ::testing::PrintToString(lines);
  EXPECT_TRUE(has("macro 2 \"Reload\": written, but the keyboard holds no such macro"));
  EXPECT_TRUE(has("profile 1 lighting, brightness: written 2, the keyboard holds 4"));
  EXPECT_TRUE(has("profile 2, color of key Esc: written 00FF00, the keyboard holds 0000FF"));
}

TEST(ConfigurationHistory, RecordBeforeWriteKeepsTheConfigurationWithItsSummaryOnce) {
  const auto folder = std::filesystem::temp_directory_path() / "vantrel-configuration-history";
  std::filesystem::remove_all(folder);
  profiles::HistoryStore store(folder);
  const KeyboardConfiguration before = Sample();
  KeyboardConfiguration after = before;
  keys::StoreKeyAssignment(after.image, 0, 0x10, Disabled());
  std::string why;
  ASSERT_EQ(RecordBeforeWrite(store, profiles::HistorySource::Ctl, before, after, English(), &why),
            profiles::RecordResult::Recorded)
      << why;
  EXPECT_EQ(RecordBeforeWrite(store, profiles::HistorySource::Bus, before, after, English(), &why),
            profiles::RecordResult::Unchanged);
  const auto listing = store.List();
  ASSERT_EQ(listing.entries.size(), 1u);
  EXPECT_EQ(listing.entries[0].summary, "keys of Profile 1: Q");
  EXPECT_EQ(listing.entries[0].source, profiles::HistorySource::Ctl);
  profiles::HistoryEntry entry;
  ASSERT_TRUE(store.Load(1, entry, why)) << why;
  KeyboardConfiguration back;
  ASSERT_TRUE(ReadHistoryDocument(entry.document, English(), back, why)) << why;
  EXPECT_EQ(back.image.table, before.image.table);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace vantrel::scripting
