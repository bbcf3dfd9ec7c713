#include "core/text/ini_file.h"

#include <gtest/gtest.h>

#include "core/text/temp_dir.h"

namespace vantrel::text {
namespace {

using vantrel::testing::ReadFile;
using vantrel::testing::TempDir;
using vantrel::testing::WriteFile;

TEST(IniRead, SectionAndKeyIgnoreCaseAndMissingGivesDefault) {
  TempDir dir;
  const auto file = dir / "a.ini";
  WriteFile(file, "[Text]\nHello=World\nEmpty=\n\n[Other]\nHello=Second\n");

  EXPECT_EQ(ReadIniString(file, "TEXT", "HELLO", "#Error"), "World");
  EXPECT_EQ(ReadIniString(file, "text", "hello", "#Error"), "World");
  EXPECT_EQ(ReadIniString(file, "OTHER", "hello", "#Error"), "Second");
  EXPECT_EQ(ReadIniString(file, "TEXT", "Missing", "#Error"), "#Error");
  EXPECT_EQ(ReadIniString(file, "Nowhere", "Hello", "#Error"), "#Error");
  EXPECT_EQ(ReadIniString(dir / "absent.ini", "TEXT", "Hello", "#Error"), "#Error");
  // A key present with an empty value is not missing.
  EXPECT_EQ(ReadIniString(file, "TEXT", "Empty", "#Error"), "");
}

TEST(IniRead, BomQuotesBlanksAndCrLf) {
  TempDir dir;
  const auto file = dir / "b.ini";
  WriteFile(file,
            "\xEF\xBB\xBF[TEXT]\r\n"
            "  Padded  =   value with blanks   \r\n"
            "Quoted=\" keeps blanks \"\r\n"
            "Single=' also '\r\n"
            "Lonely=\"\r\n"
            "Inner=say \"hi\" now\r\n"
            "Chinese=未找到键盘\r\n");
  EXPECT_EQ(ReadIniString(file, "TEXT", "Padded", "#Error"), "value with blanks");
  EXPECT_EQ(ReadIniString(file, "TEXT", "Quoted", "#Error"), " keeps blanks ");
  EXPECT_EQ(ReadIniString(file, "TEXT", "Single", "#Error"), " also ");
  EXPECT_EQ(ReadIniString(file, "TEXT", "Lonely", "#Error"), "\"");
  EXPECT_EQ(ReadIniString(file, "TEXT", "Inner", "#Error"), "say \"hi\" now");
  EXPECT_EQ(ReadIniString(file, "TEXT", "Chinese", "#Error"), "未找到键盘");
}

TEST(IniRead, LongValuesAreCutAtWholeCharacters) {
  TempDir dir;
  const auto file = dir / "c.ini";
  const std::string ascii(300, 'a');
  std::string chinese;
  for (int i = 0; i < 300; ++i) chinese += "键";  // 3 bytes each
  std::string mixed = std::string(258, 'b') + "é" + "z";  // 'é' is the 259th character
  WriteFile(file, "[T]\nA=" + ascii + "\nC=" + chinese + "\nM=" + mixed + "\n");

  EXPECT_EQ(ReadIniString(file, "T", "A", ""), std::string(259, 'a'));
  const std::string cut = ReadIniString(file, "T", "C", "");
  EXPECT_EQ(cut.size(), 259u * 3);
  EXPECT_EQ(cut.substr(cut.size() - 3), "键");
  EXPECT_EQ(ReadIniString(file, "T", "M", ""), std::string(258, 'b') + "é");
  EXPECT_EQ(ReadIniString(file, "T", "A", "", 10), std::string(10, 'a'));
  // The default is cut by the same rule.
  EXPECT_EQ(ReadIniString(file, "T", "none", ascii).size(), 259u);
}

TEST(CutUtf8, CountsCharactersNotBytes) {
  EXPECT_EQ(CutUtf8("abc", 5), "abc");
  EXPECT_EQ(CutUtf8("abc", 0), "");
  EXPECT_EQ(CutUtf8("éé", 1), "é");
  EXPECT_EQ(CutUtf8("a😀b", 2), "a😀");  // a 4-byte character stays whole
}

TEST(IniReadInt, LeadingDigitsCount) {
  TempDir dir;
  const auto file = dir / "i.ini";
  WriteFile(file, "[S]\nA=42\nB=-7xyz\nC=abc\nD=\n");
  EXPECT_EQ(ReadIniInt(file, "S", "A", 5), 42);
  EXPECT_EQ(ReadIniInt(file, "S", "B", 5), -7);
  EXPECT_EQ(ReadIniInt(file, "S", "C", 5), 0);
  EXPECT_EQ(ReadIniInt(file, "S", "D", 5), 5);
  EXPECT_EQ(ReadIniInt(file, "S", "Missing", 5), 5);
}

TEST(IniWrite, KeepsOtherKeysAndSectionsAndReplacesInPlace) {
  TempDir dir;
  const auto file = dir / "w.ini";
  WriteFile(file, "; comment\n[KEYCOLOR]\nDengCheck=0\nOther=keep\n\n[More]\nX=1\n");

  ASSERT_TRUE(WriteIniString(file, "keycolor", "dengcheck", "1"));
  EXPECT_EQ(ReadIniString(file, "KEYCOLOR", "DengCheck", ""), "1");
  EXPECT_EQ(ReadIniString(file, "KEYCOLOR", "Other", ""), "keep");
  EXPECT_EQ(ReadIniString(file, "More", "X", ""), "1");
  // Case-insensitive match updates the existing key rather than adding a second one.
  const std::string text = ReadFile(file);
  EXPECT_EQ(text.find("dengcheck"), std::string::npos) << text;

  ASSERT_TRUE(WriteIniString(file, "New", "Key", "value"));
  EXPECT_EQ(ReadIniString(file, "New", "Key", ""), "value");
  EXPECT_EQ(ReadIniString(file, "KEYCOLOR", "DengCheck", ""), "1");
  // No temporary file is left behind.
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) ++files;
  EXPECT_EQ(files, 1);
}

TEST(IniWrite, CreatesMissingFileAndFolders) {
  TempDir dir;
  const auto file = dir / "sub" / "deeper" / "wskb.ini";
  ASSERT_TRUE(WriteIniString(file, "KEYCOLOR", "DengCheck", "1"));
  EXPECT_EQ(ReadIniString(file, "KEYCOLOR", "DengCheck", ""), "1");
}

TEST(IniWrite, RefusesWhenTheFileCannotBeReplaced) {
  TempDir dir;
  // A folder where the file should be: neither readable as INI nor replaceable.
  std::filesystem::create_directories(dir / "taken.ini");
  EXPECT_FALSE(WriteIniString(dir / "taken.ini", "S", "K", "V"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.ini"));
}

TEST(IniSnapshot, SameRulesAsSingleReads) {
  TempDir dir;
  const auto file = dir / "s.ini";
  WriteFile(file, "\xEF\xBB\xBF[Mode]\n5=Breathing\nQ=\" x \"\nE=\n");
  IniSnapshot snapshot;
  EXPECT_FALSE(snapshot.Loaded());
  EXPECT_FALSE(snapshot.Value("MODE", "5"));
  ASSERT_TRUE(snapshot.Load(file));
  EXPECT_EQ(snapshot.Value("MODE", "5"), "Breathing");
  EXPECT_EQ(snapshot.Value("mode", "q"), " x ");
  EXPECT_EQ(snapshot.Value("Mode", "E"), "");
  EXPECT_FALSE(snapshot.Value("Mode", "6"));

  EXPECT_FALSE(snapshot.Load(dir / "gone.ini"));
  EXPECT_FALSE(snapshot.Loaded());
  EXPECT_FALSE(snapshot.Value("Mode", "5"));
}

TEST(CIniFile, EmptyValueReadsAsNothing) {
  TempDir dir;
  CIniFile ini(dir / "skin.ini");
  EXPECT_FALSE(ini.ReadString("S", "K"));
  EXPECT_EQ(ini.ReadString("S", "K", "1,1,1,1,x"), "1,1,1,1,x");
  ASSERT_TRUE(ini.WriteString("S", "K", "10,20,30,40"));
  EXPECT_EQ(ini.ReadString("s", "k"), "10,20,30,40");
  ASSERT_TRUE(ini.WriteString("S", "K", ""));
  EXPECT_FALSE(ini.ReadString("S", "K"));
}

}  // namespace
}  // namespace vantrel::text
