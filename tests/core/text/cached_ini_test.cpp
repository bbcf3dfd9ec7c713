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
  CachedIniFile file(path);
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

}  // namespace
}  // namespace vantrel::text
