#include "core/text/language.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "core/text/locale_language.h"
#include "core/text/temp_dir.h"

namespace vantrel::text {
namespace {

using vantrel::testing::TempDir;
using vantrel::testing::WriteFile;

// A store that counts its writes and can refuse everything, like a settings key that
// could not be opened.
class RecordingStore : public SettingsStore {
 public:
  std::optional<std::uint32_t> ReadDword(std::string_view name) const override {
    if (broken) return std::nullopt;
    return memory.ReadDword(name);
  }
  bool WriteDword(std::string_view name, std::uint32_t value) override {
    writes.push_back(value);
    if (broken) return false;
    return memory.WriteDword(name, value);
  }
  MemorySettingsStore memory;
  std::vector<std::uint32_t> writes;
  bool broken = false;
};

TEST(CurrentLanguageId, FirstRunChoosesFromTheSystemLanguageAndStoresIt) {
  struct Case {
    std::uint32_t system;
    std::uint32_t chosen;
  };
  const Case cases[] = {
      {0x0409, 1033}, {0x0C09, 1033}, {0x2C09, 1033},  // English variants
      {0x0804, 2052}, {0x0C04, 2052},                  // Simplified, and the Hong Kong row
      {0x0404, 1028}, {0x1004, 1028},                  // Traditional, and the Singapore row
      {0x040C, 1036}, {0x0C0C, 1036}, {0xE40C, 1036}, {0x1C0C, 1036},
      {0x0411, 1033}, {0x0407, 1033}, {0x0000, 1033},  // unsupported: English
  };
  for (const auto& c : cases) {
    RecordingStore store;
    const FixedSystemLanguage system(c.system);
    EXPECT_EQ(CurrentLanguageId(store, system), c.chosen) << std::hex << c.system;
    // Absent value: 0 written first, then the choice.
    EXPECT_EQ(store.writes, (std::vector<std::uint32_t>{0, c.chosen})) << std::hex << c.system;
    EXPECT_EQ(store.memory.ReadDword(kLanguageIdValue), c.chosen);
  }
}

TEST(CurrentLanguageId, StoredChoiceWinsEvenWhenUnsupported) {
  const FixedSystemLanguage french(0x040C);
  for (std::uint32_t stored : {1033u, 2052u, 3076u, 0x0411u, 0xFFFFFFFFu}) {
    RecordingStore store;
    store.memory.WriteDword(kLanguageIdValue, stored);
    EXPECT_EQ(CurrentLanguageId(store, french), stored);
    EXPECT_TRUE(store.writes.empty());
  }
  // A stored 0 means "not chosen yet": the choice is made and stored, without the 0 write.
  RecordingStore store;
  store.memory.WriteDword(kLanguageIdValue, 0);
  EXPECT_EQ(CurrentLanguageId(store, french), 1036u);
  EXPECT_EQ(store.writes, (std::vector<std::uint32_t>{1036}));
}

TEST(CurrentLanguageId, BrokenStoreChoosesAnewEachTime) {
  RecordingStore store;
  store.broken = true;
  FixedSystemLanguage system(0x0804);
  EXPECT_EQ(CurrentLanguageId(store, system), 2052u);
  system = FixedSystemLanguage(0x040C);
  EXPECT_EQ(CurrentLanguageId(store, system), 1036u);
}

TEST(CurrentLanguageIndex, OnlyTheFirstFourAreRecognised) {
  const FixedSystemLanguage english(0x0409);
  const std::pair<std::uint32_t, int> cases[] = {{1033, 0}, {2052, 1}, {1028, 2}, {1036, 3}, {3076, 0}, {0x0411, 0}};
  for (const auto& [stored, index] : cases) {
    MemorySettingsStore store;
    store.WriteDword(kLanguageIdValue, stored);
    EXPECT_EQ(CurrentLanguageIndex(store, english), index) << stored;
    EXPECT_EQ(store.ReadDword(kLanguageIdValue), stored);  // never rewritten
  }
}

TEST(LanguageFilePath, NamesTheFileInTheProgramFolder) {
  const std::filesystem::path dir = "/opt/vantrel";
  EXPECT_EQ(LanguageFilePath(dir, 0), dir / "Lang0409.ini");
  EXPECT_EQ(LanguageFilePath(dir, 1), dir / "Lang0804.ini");
  EXPECT_EQ(LanguageFilePath(dir, 2), dir / "Lang0404.ini");
  EXPECT_EQ(LanguageFilePath(dir, 3), dir / "Lang040C.ini");
  EXPECT_EQ(LanguageFilePath(dir, 4), dir / "Lang0C04.ini");
  EXPECT_EQ(LanguageFilePath(dir, 5), dir / "Lang0409.ini");
  EXPECT_EQ(LanguageFilePath(dir, 1000), dir / "Lang0409.ini");
  EXPECT_EQ(LanguageFilePath(dir, -1), dir / "Lang0409.ini");
}

class LanguageTextsTest : public ::testing::Test {
 protected:
  // An edit, then the check interval passes (the texts look at files once per interval).
  void Write(const std::string& file, const std::string& content) {
    WriteFile(dir / file, content);
    now += kFileCheckInterval;
  }

  TempDir dir;
  MemorySettingsStore settings;
  FixedSystemLanguage system{0x0409};
  std::chrono::steady_clock::time_point now{};
  LanguageTexts texts{dir.Path(), settings, system, kFileCheckInterval, [this] { return now; }};
};

TEST_F(LanguageTextsTest, LooksUpEachSectionOfTheChosenFile) {
  Write("Lang0409.ini", "[TEXT]\nMAIN_NO_DEVICE_PROMPT=No keyboard\nEMPTY=\n[LIGHT]\nSpeed=Speed\n[MODE]\n5=Breathing\n");
  Write("Lang040C.ini", "[TEXT]\nMAIN_NO_DEVICE_PROMPT=Aucun clavier\n[MODE]\n5=Respiration\n");

  EXPECT_EQ(texts.Text("MAIN_NO_DEVICE_PROMPT"), "No keyboard");
  EXPECT_EQ(texts.Text("main_no_device_prompt"), "No keyboard");
  EXPECT_EQ(texts.Text("EMPTY"), "");
  EXPECT_EQ(texts.Text("ABSENT"), "#Error");
  EXPECT_EQ(texts.LightText("Speed"), "Speed");
  EXPECT_EQ(texts.LightText("MAIN_NO_DEVICE_PROMPT"), "#Error");  // other section
  EXPECT_EQ(texts.ModeText("5"), "Breathing");
  EXPECT_EQ(texts.LookupModeText(5, 0), "Breathing");
  EXPECT_EQ(texts.ModeText("05"), "#Error");  // the key is the code without leading zeros

  // A language chosen later takes effect at the next lookup.
  settings.WriteDword(kLanguageIdValue, 1036);
  EXPECT_EQ(texts.Text("MAIN_NO_DEVICE_PROMPT"), "Aucun clavier");
  EXPECT_EQ(texts.LookupModeText(5, texts.CurrentLanguageIndex()), "Respiration");
  EXPECT_EQ(texts.LookupText("MAIN_NO_DEVICE_PROMPT", 0), "No keyboard");
  // Simplified Chinese has no file here.
  settings.WriteDword(kLanguageIdValue, 2052);
  EXPECT_EQ(texts.Text("MAIN_NO_DEVICE_PROMPT"), "#Error");
}

TEST_F(LanguageTextsTest, HongKongFileOnlyByItsIndex) {
  Write("Lang0409.ini", "[TEXT]\nK=English\n");
  Write("Lang0C04.ini", "[TEXT]\nK=香港\n");
  settings.WriteDword(kLanguageIdValue, 3076);
  EXPECT_EQ(texts.Text("K"), "English");
  EXPECT_EQ(texts.LookupText("K", 4), "香港");
  EXPECT_EQ(texts.LookupText("K", 7), "English");
  EXPECT_EQ(settings.ReadDword(kLanguageIdValue), 3076u);
}

TEST_F(LanguageTextsTest, ValuesAreCutAt259Characters) {
  Write("Lang0409.ini", "[TEXT]\nLONG=" + std::string(300, 'x') + "\n");
  EXPECT_EQ(texts.Text("LONG"), std::string(259, 'x'));
}

TEST_F(LanguageTextsTest, AnEditedOrRemovedFileTakesEffectOnceTheCheckIntervalPassed) {
  const auto file = dir / "Lang0409.ini";
  Write("Lang0409.ini", "[TEXT]\nK=first\n");
  EXPECT_EQ(texts.Text("K"), "first");

  // Same size, later modification time.
  Write("Lang0409.ini", "[TEXT]\nK=later\n");
  std::filesystem::last_write_time(file, std::filesystem::last_write_time(file) + std::chrono::seconds(2));
  EXPECT_EQ(texts.Text("K"), "later");

  // Other size, same modification time.
  const auto stamp = std::filesystem::last_write_time(file);
  Write("Lang0409.ini", "[TEXT]\nK=longer text\n");
  std::filesystem::last_write_time(file, stamp);
  EXPECT_EQ(texts.Text("K"), "longer text");

  std::filesystem::remove(file);
  now += kFileCheckInterval;
  EXPECT_EQ(texts.Text("K"), "#Error");
  Write("Lang0409.ini", "[TEXT]\nK=back\n");
  EXPECT_EQ(texts.Text("K"), "back");
}

TEST_F(LanguageTextsTest, ConcurrentLookupsThreads) {
  Write("Lang0409.ini", "[TEXT]\nK=english\n");
  Write("Lang040C.ini", "[TEXT]\nK=français\n");
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        if (t == 0) settings.WriteDword(kLanguageIdValue, i % 2 ? 1036 : 1033);
        const std::string text = texts.Text("K");
        if (text != "english" && text != "français") ++wrong;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(OverlaySettingsStore, OverridesStayInMemory) {
  MemorySettingsStore base;
  base.WriteDword(kLanguageIdValue, 1033);
  base.WriteDword("other", 7);
  OverlaySettingsStore overlay(base);
  overlay.Override(kLanguageIdValue, 1036);

  EXPECT_EQ(overlay.ReadDword(kLanguageIdValue), 1036u);
  EXPECT_EQ(overlay.ReadDword("other"), 7u);
  EXPECT_TRUE(overlay.WriteDword(kLanguageIdValue, 2052));
  EXPECT_TRUE(overlay.WriteDword("other", 8));
  EXPECT_EQ(overlay.ReadDword(kLanguageIdValue), 2052u);
  EXPECT_EQ(base.ReadDword(kLanguageIdValue), 1033u);  // never stored
  EXPECT_EQ(base.ReadDword("other"), 8u);
  EXPECT_FALSE(overlay.ReadDword("absent"));

  base.Remove("other");
  EXPECT_FALSE(overlay.ReadDword("other"));
}

TEST(WindowsLanguageIdFromLocale, RegionScriptAndFallbacks) {
  const std::pair<const char*, std::uint32_t> cases[] = {
      {"en_US.UTF-8", 0x0409}, {"en_GB", 0x0809},     {"en_AU.utf8", 0x0C09}, {"en-NZ", 0x1409},
      {"zh_CN.UTF-8", 0x0804}, {"zh_TW", 0x0404},     {"zh_HK", 0x0C04},      {"zh_SG", 0x1004},
      {"zh-Hant-TW", 0x0404},  {"zh-Hant", 0x0404},   {"zh-Hans", 0x0804},    {"zh", 0x0804},
      {"fr_FR", 0x040C},       {"fr_CA.UTF-8", 0x0C0C}, {"fr_BE", 0x080C},    {"fr_CH", 0x100C},
      {"FR_ca", 0x0C0C},       {"fr_XX", 0x040C},     {"fr", 0x040C},         {"ja_JP.UTF-8", 0x0411},
      {"de_DE@euro", 0x0407},  {"de_AT", 0x0C07},     {"C", 0x0409},          {"POSIX", 0x0409},
      {"", 0x0409},            {"C.UTF-8", 0x0409},   {"xx_YY", 0x0409},      {"_", 0x0409},
  };
  for (const auto& [name, id] : cases) EXPECT_EQ(WindowsLanguageIdFromLocale(name), id) << name;
}

TEST(LocaleToLanguageChoice, EndToEnd) {
  // The locale ids feed the choice: Hong Kong Chinese and Australian English systems.
  EXPECT_EQ(MapSystemLanguage(WindowsLanguageIdFromLocale("zh_HK.UTF-8")), 2052u);
  EXPECT_EQ(MapSystemLanguage(WindowsLanguageIdFromLocale("en_AU.UTF-8")), 1033u);
  EXPECT_EQ(MapSystemLanguage(WindowsLanguageIdFromLocale("fr_CH")), 1036u);
  EXPECT_EQ(MapSystemLanguage(WindowsLanguageIdFromLocale("ja_JP")), 0x0411u);
}

}  // namespace
}  // namespace vantrel::text
