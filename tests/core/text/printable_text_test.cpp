// Text from files and other programs shown on a terminal: no escape sequence gets through.
#include "core/text/printable_text.h"

#include <gtest/gtest.h>

namespace vantrel::text {
namespace {

TEST(PrintableText, ControlCharactersAreShownAsQuestionMarks) {
  const std::pair<std::string, std::string> cases[] = {
      {"capslock = esc", "capslock = esc"},
      {"\x1b]0;owned\x07rest", "?]0;owned?rest"},           // a window-title sequence
      {"a\x1b[2Jb", "a?[2Jb"},                              // clear screen
      {"tab\there", "tab here"},
      {"del\x7f", "del?"},
      {"c1 \xc2\x9b" "31m", "c1 ?31m"},                     // CSI as one C1 character
      {"caf\xc3\xa9 \xe6\x97\xa5", "caf\xc3\xa9 \xe6\x97\xa5"},  // other characters stay
      {std::string("nul\0x", 5), "nul?x"},
      {"cr\rlf\n", "cr?lf?"},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(PrintableText(in), want) << in;
}

TEST(PrintableText, LongTextIsCutAtACharacterBoundary) {
  EXPECT_EQ(PrintableText(std::string(300, 'x'), 10), "xxxxxxxxxx...");
  EXPECT_EQ(PrintableText("abcdefghij", 10), "abcdefghij");
  // The cut falls inside the second "é" (2 bytes): the character is kept whole.
  EXPECT_EQ(PrintableText("a\xc3\xa9\xc3\xa9z", 4), "a\xc3\xa9\xc3\xa9...");
}

TEST(PrintableText, BrokenUtf8BecomesQuestionMarks) {
  const std::pair<std::string, std::string> cases[] = {
      {"\x9b" "31m", "?31m"},                          // a lone 8-bit CSI
      {"\xc0\x9b", "??"},                              // overlong
      {"\xed\xa0\x80", "???"},                         // a surrogate
      {"\xe2\x82", "??"},                              // cut short
      {"\xc3\xa9" "diteur \xe2\x80\x94 \xf0\x9f\x8e\xae", "\xc3\xa9" "diteur \xe2\x80\x94 \xf0\x9f\x8e\xae"},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(PrintableText(in), want) << in;
}

}  // namespace
}  // namespace vantrel::text
