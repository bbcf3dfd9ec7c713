#include "core/text/cached_ini.h"

#include <gtest/gtest.h>

#include <fstream>

#include "core/text/language.h"
#include "temp_dir.h"

namespace vantrel::text {
using vantrel::testing::TempDir;
namespace {

void Write(const std::filesystem::path& p, const std::string& text) { std::ofstream(p, std::ios::trunc) << text; }

// Each lookup used to parse the whole file again; an import of one long macro took
// minutes. The file is parsed once, and again only when it changes.
TEST(CachedIniFileTest, ParsesOnceAndAgainOnlyWhenSizeOrTimeChanges) {
  TempDir dir;
  const auto path = dir.Path() / "Lang0409.ini";
  Write(path, "[TEXT]\nA=one\n");
  CachedIniFile file(path, std::chrono::milliseconds(0));  // looks at the file every time
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(file.Read("TEXT", "A", "#Error"), "one");
  EXPECT_EQ(file.Parses(), 1u);

  Write(path, "[TEXT]\nA=three\n");  // another size
  EXPECT_EQ(file.Read("TEXT", "A", "#Error"), "three");
  Write(path, "[TEXT]\nA=seven\n");  // same size, later time
  std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(2));
  EXPECT_EQ(file.Read("TEXT", "A", "#Error"), "seven");
  EXPECT_EQ(file.Parses(), 3u);

  std::filesystem::remove(path);
  EXPECT_EQ(file.Read("TEXT", "A", "#Error"), "#Error");
  Write(path, "[TEXT]\nA=back\n");
  EXPECT_EQ(file.Read("TEXT", "A", "#Error"), "back");
}

TEST(CachedIniFileTest, LanguageTextsFollowTheStoredIdWithoutReparsing) {
  TempDir dir;
  Write(dir.Path() / "Lang0409.ini", "[TEXT]\nHELLO=Hello\n");
  Write(dir.Path() / "Lang040C.ini", "[TEXT]\nHELLO=Bonjour\n");
  MemorySettingsStore settings;
  settings.WriteDword(kLanguageIdValue, 1033);
  FixedSystemLanguage system(1033);
  LanguageTexts texts(dir.Path(), settings, system);
  for (int i = 0; i < 500; ++i) ASSERT_EQ(texts.Text("HELLO"), "Hello");
  settings.WriteDword(kLanguageIdValue, 1036);
  for (int i = 0; i < 500; ++i) ASSERT_EQ(texts.Text("HELLO"), "Bonjour");
  settings.WriteDword(kLanguageIdValue, 1033);
  EXPECT_EQ(texts.Text("HELLO"), "Hello");
  EXPECT_EQ(texts.Parses(), 2u);
  EXPECT_EQ(texts.Text("MISSING"), "#Error");

  // A snapshot keeps the texts it was taken with; the next one sees the change.
  const LanguageSnapshot before = texts.Snapshot();
  Write(dir.Path() / "Lang0409.ini", "[TEXT]\nHELLO=Hi there\n");
  EXPECT_EQ(before.Text("HELLO"), "Hello");
  EXPECT_EQ(texts.Snapshot().Text("HELLO"), "Hi there");
  settings.WriteDword(kLanguageIdValue, 1036);
  EXPECT_EQ(texts.Snapshot().Text("HELLO"), "Bonjour");
  EXPECT_EQ(texts.Snapshot().Text("MISSING"), "#Error");
  std::filesystem::remove(dir.Path() / "Lang040C.ini");
  EXPECT_EQ(texts.Snapshot().Text("HELLO"), "#Error");
}

// A clock the test moves by hand.
struct StepClock {
  std::chrono::steady_clock::time_point now{};
  SteadyClock Source() {
    return [this] { return now; };
  }
};

// Each lookup used to look at the file twice (size and time): 1,000 lookups cost more than
// a millisecond. The file is looked at once per check interval, and at once for a batch.
TEST(CachedIniFileTest, LooksAtTheFileOncePerIntervalOrAtOnceWhenAsked) {
  TempDir dir;
  const auto path = dir.Path() / "Lang0409.ini";
  Write(path, "[TEXT]\nA=one\n");
  StepClock clock;
  CachedIniFile file(path, std::chrono::milliseconds(100), clock.Source());
  EXPECT_EQ(file.Read("TEXT", "A", "#Error"), "one");
  Write(path, "[TEXT]\nA=three\n");
  clock.now += std::chrono::milliseconds(99);
  EXPECT_EQ(file.Read("TEXT", "A", "#Error"), "one");  // not looked at yet
  clock.now += std::chrono::milliseconds(1);
  EXPECT_EQ(file.Read("TEXT", "A", "#Error"), "three");
  Write(path, "[TEXT]\nA=seven!\n");
  ASSERT_NE(file.CurrentNow(), nullptr);
  EXPECT_EQ(*file.CurrentNow()->Value("TEXT", "A"), "seven!");
  EXPECT_EQ(file.Read("TEXT", "A", "#Error"), "seven!");
  EXPECT_EQ(file.Parses(), 3u);
}

// The language id: a write through the settings takes effect at the next lookup; a write
// the store did not see (another process) within the interval.
TEST(CachedIniFileTest, LanguageTextsSeeTheirOwnWritesAtOnceAndOthersWithinTheInterval) {
  TempDir dir;
  Write(dir.Path() / "Lang0409.ini", "[TEXT]\nHELLO=Hello\n");
  Write(dir.Path() / "Lang040C.ini", "[TEXT]\nHELLO=Bonjour\n");
  // Writes of "another process" go to the values without moving the count.
  class SharedStore final : public SettingsStore {
   public:
    std::optional<std::uint32_t> ReadDword(std::string_view name) const override { return values.ReadDword(name); }
    bool WriteDword(std::string_view name, std::uint32_t value) override {
      ++own;
      return values.WriteDword(name, value);
    }
    std::optional<std::uint64_t> Writes() const override { return own; }
    MemorySettingsStore values;
    std::uint64_t own = 0;
  } settings;
  settings.WriteDword(kLanguageIdValue, 1033);
  FixedSystemLanguage system(1033);
  StepClock clock;
  LanguageTexts texts(dir.Path(), settings, system, std::chrono::milliseconds(100), clock.Source());
  EXPECT_EQ(texts.Text("HELLO"), "Hello");
  settings.WriteDword(kLanguageIdValue, 1036);
  EXPECT_EQ(texts.Text("HELLO"), "Bonjour");
  settings.values.WriteDword(kLanguageIdValue, 1033);  // elsewhere
  EXPECT_EQ(texts.Text("HELLO"), "Bonjour");
  EXPECT_EQ(texts.Snapshot().Text("HELLO"), "Hello");  // a snapshot looks at once
  settings.values.WriteDword(kLanguageIdValue, 1036);
  clock.now += std::chrono::milliseconds(100);
  EXPECT_EQ(texts.Text("HELLO"), "Bonjour");
}

}  // namespace
}  // namespace vantrel::text
