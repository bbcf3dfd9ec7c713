// Text printed on a terminal: control sequences from a window title never reach it.
#include <gtest/gtest.h>

#include "core/text/terminal_text.h"

namespace vantrel::text {
namespace {

TEST(PrintableText, ControlsAndBrokenUtf8BecomeQuestionMarks) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"plain title", "plain title"},
      {"\x1b]0;owned\x07title", "?]0;owned?title"},   // sets the terminal's title
      {"\x1b[2J\x1b[31mred", "?[2J?[31mred"},          // clears the screen, colours
      {"a\rb\nc\td\x7f", "a?b?c?d?"},                  // C0 and DEL
      {"\xc2\x9b" "31m", "?31m"},                      // C1 CSI in UTF-8
      {"\x9b" "31m", "?31m"},                          // a lone 8-bit CSI
      {"\xc0\x9b", "??"},                              // overlong
      {"\xed\xa0\x80", "???"},                         // a surrogate
      {"\xe2\x82", "??"},                              // cut short
      {"\xc3\xa9" "diteur \xe2\x80\x94 \xf0\x9f\x8e\xae", "\xc3\xa9" "diteur \xe2\x80\x94 \xf0\x9f\x8e\xae"},
  };
  for (const auto& c : cases) EXPECT_EQ(PrintableText(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace vantrel::text
