#include "core/text/safe_format.h"

#include <gtest/gtest.h>

#include <limits>

namespace vantrel::text {
namespace {

TEST(FormatWithNumber, IntegerConversionsWithFlagsWidthAndModifiers) {
  EXPECT_EQ(FormatWithNumber("At most %d macros", 100), "At most 100 macros");
  EXPECT_EQ(FormatWithNumber("Key 0x%04X", 0x1AB), "Key 0x01AB");
  EXPECT_EQ(FormatWithNumber("%x", 255), "ff");
  EXPECT_EQ(FormatWithNumber("[%5d]", 42), "[   42]");
  EXPECT_EQ(FormatWithNumber("[%-5d]", 42), "[42   ]");
  EXPECT_EQ(FormatWithNumber("[%+d]", 42), "[+42]");
  EXPECT_EQ(FormatWithNumber("%ld ms", 40000), "40000 ms");
  EXPECT_EQ(FormatWithNumber("%lld", std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(FormatWithNumber("%i", -3), "-3");
  EXPECT_EQ(FormatWithNumber("%.3d", 7), "007");
  EXPECT_EQ(FormatWithNumber("%#x", 255), "0xff");
  EXPECT_EQ(FormatWithNumber("%#d", 5), "5");  // '#' means nothing for %d
}

TEST(FormatWithNumber, UnsignedConversionsSeeTheModifiersWidth) {
  EXPECT_EQ(FormatWithNumber("%u", -1), "4294967295");
  EXPECT_EQ(FormatWithNumber("%hX", 0x12345), "2345");
  EXPECT_EQ(FormatWithNumber("%hhx", 0x1FF), "ff");
  EXPECT_EQ(FormatWithNumber("%llx", -1), "ffffffffffffffff");
}

TEST(FormatWithNumber, OnlyTheFirstIntegerConversionIsSubstituted) {
  EXPECT_EQ(FormatWithNumber("%d and %d", 1), "1 and %d");
  EXPECT_EQ(FormatWithNumber("%s then %d", 9), "%s then 9");
  EXPECT_EQ(FormatWithNumber("100%% of %d", 5), "100% of 5");
  EXPECT_EQ(FormatWithNumber("%%d", 5), "%d");
  EXPECT_EQ(FormatWithNumber("no conversion", 5), "no conversion");
  EXPECT_EQ(FormatWithNumber("", 5), "");
}

TEST(FormatWithNumber, DangerousSequencesPrintLiterally) {
  EXPECT_EQ(FormatWithNumber("%n%d", 3), "%n3");
  EXPECT_EQ(FormatWithNumber("%p %d", 3), "%p 3");
  EXPECT_EQ(FormatWithNumber("%s%s%s", 3), "%s%s%s");
  EXPECT_EQ(FormatWithNumber("%999999999d", 3), "%999999999d");
  EXPECT_EQ(FormatWithNumber("%.999999999d", 3), "%.999999999d");
  EXPECT_EQ(FormatWithNumber("%*d", 3), "%*d");
  EXPECT_EQ(FormatWithNumber("%f %e %c", 3), "%f %e %c");
  EXPECT_EQ(FormatWithNumber("%zd %jd", 3), "%zd %jd");
  EXPECT_EQ(FormatWithNumber("trailing %", 3), "trailing %");
  EXPECT_EQ(FormatWithNumber("%-", 3), "%-");
  EXPECT_EQ(FormatWithNumber("%l", 3), "%l");
  // The largest width honoured still gives a bounded text.
  EXPECT_EQ(FormatWithNumber("%64d", 1).size(), 64u);
  EXPECT_EQ(FormatWithNumber("%65d", 1), "%65d");
}

TEST(FormatWithString, SubstitutesTheFirstStringConversion) {
  EXPECT_EQ(FormatWithString("\"%s\" is not a profile file.", "/home/u/a.vnp"), "\"/home/u/a.vnp\" is not a profile file.");
  EXPECT_EQ(FormatWithString("%ls|%S", "x"), "x|%S");
  EXPECT_EQ(FormatWithString("%S", "x"), "x");
  EXPECT_EQ(FormatWithString("%d %s", "x"), "%d x");
  EXPECT_EQ(FormatWithString("%s %s", "a"), "a %s");
  EXPECT_EQ(FormatWithString("50%% %s", "done"), "50% done");
  EXPECT_EQ(FormatWithString("%n%s%p", "x"), "%nx%p");
  // The substituted text is never read as a format.
  EXPECT_EQ(FormatWithString("%s", "%s%n%d"), "%s%n%d");
}

TEST(FormatWithString, WidthAndPrecisionCountCharacters) {
  EXPECT_EQ(FormatWithString("[%5s]", "ab"), "[   ab]");
  EXPECT_EQ(FormatWithString("[%-5s]", "ab"), "[ab   ]");
  EXPECT_EQ(FormatWithString("[%.2s]", "abcdef"), "[ab]");
  EXPECT_EQ(FormatWithString("[%.1s]", "键盘"), "[键]");
  EXPECT_EQ(FormatWithString("%999999999s", "x"), "%999999999s");
}

TEST(FormatWithStrings, SubstitutesInOrderInOnePass) {
  EXPECT_EQ(FormatWithStrings("%s: written %s, holds %s", {"key A", "01", "02"}), "key A: written 01, holds 02");
  // A text holding conversions is never formatted again by the later ones.
  EXPECT_EQ(FormatWithStrings("%s / %s", {"%s%n", "b"}), "%s%n / b");
  // Conversions beyond the texts, and other conversions, print literally.
  EXPECT_EQ(FormatWithStrings("%s %d %s %s", {"a", "b"}), "a %d b %s");
  EXPECT_EQ(FormatWithStrings("%s", {}), "%s");
}

}  // namespace
}  // namespace vantrel::text
