// UTF-8 decoding as the records and the text checks rely on it: every fault becomes U+FFFD,
// the input is never read past its end, and the text after a fault is not lost.
#include "core/text/utf16.h"

#include <gtest/gtest.h>

#include <string>

namespace vantrel::text {
namespace {

TEST(Utf8Decoding, WellFormedTextRoundTripsThroughCodePointsAndUtf16) {
  const std::string text = "A\u00E9\u4E2D\u00A0\u00AB\U0001F600";
  EXPECT_EQ(Utf8ToUtf32(text), U"A\u00E9\u4E2D\u00A0\u00AB\U0001F600");
  EXPECT_EQ(Utf32ToUtf8(Utf8ToUtf32(text)), text);
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
  EXPECT_EQ(Utf8ToUtf16(text).size(), 7u);  // the emoji takes a surrogate pair
}

TEST(Utf8Decoding, EachFaultBecomesOneReplacementAndTheTextAfterItSurvives) {
  struct Case {
    const char* name;
    std::string bytes;
    std::u32string decoded;
  };
  const Case cases[] = {
      {"Latin-1 e acute", "caf\xE9!", U"caf\uFFFD!"},
      {"stray continuation byte", "a\x80z", U"a\uFFFDz"},
      {"lead byte followed by ASCII", "\xC3(", U"\uFFFD("},
      {"overlong slash", "\xC0\xAF/", U"\uFFFD\uFFFD/"},
      {"surrogate", "\xED\xA0\x80x", U"\uFFFD\uFFFD\uFFFDx"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"not a lead byte", "\xFFok", U"\uFFFDok"},
      {"cut off at the end", "ok\xE4\xB8", U"ok\uFFFD"},
      {"lead byte of three before the last ASCII", "\xE4!", U"\uFFFD!"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToUtf32(c.bytes), c.decoded) << c.name;
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(c.bytes)), Utf32ToUtf8(c.decoded)) << c.name;
  }
}

TEST(Utf8Decoding, CodePointsThatAreNoCharactersEncodeAsReplacement) {
  EXPECT_EQ(Utf32ToUtf8(U"a\xD800"), "a\uFFFD");
  EXPECT_EQ(Utf32ToUtf8(std::u32string(1, char32_t{0x110000})), "\uFFFD");
}

}  // namespace
}  // namespace vantrel::text
