// A keyd configuration's [main] remaps, and everything else listed with its reason.
#include <gtest/gtest.h>

#include "core/keys/keyd_config.h"

namespace vantrel::keys {
namespace {

std::string Reasons(const KeydConfig& c) {
  std::string out;
  for (const auto& s : c.skipped) out += std::to_string(s.line) + " " + s.text + ": " + s.reason + "\n";
  return out;
}

TEST(KeydConfig, PlainRemapsOfMainAreTakenWithTheirLines) {
  const auto c = ParseKeydConfig(
      "# swap escape and caps lock\n"
      "[ids]\n*\n-0123:4567\n\n"
      "[main]\n"
      "capslock = esc\n"
      "  esc=capslock  \r\n"
      "leftmeta = leftalt\n"
      "rightalt = control\n");
  ASSERT_EQ(c.remaps.size(), 4u) << Reasons(c);
  EXPECT_EQ(c.remaps[0].line, 7);
  EXPECT_EQ(c.remaps[0].fromEvdev, 58u);
  EXPECT_EQ(c.remaps[0].toEvdev, 1u);
  EXPECT_EQ(c.remaps[1].from, "esc");
  EXPECT_EQ(c.remaps[1].to, "capslock");
  EXPECT_EQ(c.remaps[2].toEvdev, 56u);
  EXPECT_EQ(c.remaps[3].toEvdev, 29u);  // the control layer holds left control
  // The device selection is listed once, not line by line.
  ASSERT_EQ(c.skipped.size(), 1u) << Reasons(c);
  EXPECT_EQ(c.skipped[0].text, "[ids]");
  EXPECT_EQ(c.skipped[0].line, 2);  // the header's line
}

TEST(KeydConfig, WhatIsNoPlainRemapIsListedNeverDropped) {
  const auto c = ParseKeydConfig(
      "[main]\n"
      "capslock = overload(control, esc)\n"
      "a+s = leftshift\n"
      "j = C-left\n"
      "f13 = A\n"
      "rightshift\n"
      "tab = tab\n"
      "[nav]\n"
      "h = left\n"
      "[control:C]\n"
      "x = cut\n");
  ASSERT_EQ(c.remaps.size(), 1u) << Reasons(c);
  EXPECT_EQ(c.remaps[0].from, "tab");
  ASSERT_EQ(c.skipped.size(), 7u) << Reasons(c);
  EXPECT_EQ(c.skipped[0].line, 2);
  EXPECT_NE(c.skipped[0].reason.find("action"), std::string::npos);
  EXPECT_NE(c.skipped[1].reason.find("chord"), std::string::npos);
  EXPECT_NE(c.skipped[2].reason.find("modifiers"), std::string::npos);
  EXPECT_NE(c.skipped[3].reason.find("'A' is a key with Shift"), std::string::npos);
  EXPECT_NE(c.skipped[4].reason.find("key = key"), std::string::npos);
  EXPECT_EQ(c.skipped[5].line, 9);
  EXPECT_NE(c.skipped[5].reason.find("[nav]"), std::string::npos);
  EXPECT_NE(c.skipped[6].reason.find("[control:C]"), std::string::npos);
}

TEST(KeydConfig, AKeyGivenTwiceKeepsItsLastLineAndListsTheFirst) {
  const auto c = ParseKeydConfig("[main]\ncapslock = esc\na = b\ncapslock = leftcontrol\n");
  ASSERT_EQ(c.remaps.size(), 2u);
  EXPECT_EQ(c.remaps[0].line, 4);
  EXPECT_EQ(c.remaps[0].toEvdev, 29u);
  ASSERT_EQ(c.skipped.size(), 1u);
  EXPECT_EQ(c.skipped[0].line, 2);
  EXPECT_EQ(c.skipped[0].reason, "replaced by line 4");
}

TEST(KeydConfig, LinesBeforeAnySectionAndBrokenHeadersAreListed) {
  const auto c = ParseKeydConfig("a = b\n[main\nc = d\n");
  EXPECT_TRUE(c.remaps.empty());
  ASSERT_EQ(c.skipped.size(), 3u) << Reasons(c);
  EXPECT_NE(c.skipped[0].reason.find("outside any section"), std::string::npos);
  EXPECT_NE(c.skipped[1].reason.find("without ']'"), std::string::npos);
}

TEST(KeydConfig, NamesAndTheirOtherSpellingsGiveTheSameCode) {
  EXPECT_EQ(EvdevOfKeydName("leftcontrol"), EvdevOfKeydName("leftctrl"));
  EXPECT_EQ(EvdevOfKeydName("esc"), EvdevOfKeydName("escape"));
  EXPECT_EQ(EvdevOfKeydName("-"), EvdevOfKeydName("minus"));
  EXPECT_EQ(EvdevOfKeydName("kpenter"), 96u);
  EXPECT_FALSE(EvdevOfKeydName("Esc"));  // keyd's names are lower case
  EXPECT_FALSE(EvdevOfKeydName(""));
}

TEST(KeydConfig, EveryNameOfKeydsKeyListIsKnown) {
  // keyd's names beyond the ordinary keys, with keyd's codes for them.
  const std::pair<const char*, std::uint32_t> cases[] = {
      {"f13", 183},  {"f20", 190},   {"f24", 194},       {"prog1", 191},     {"sysrq", 99},  {"print", 210},
      {"compose", 127}, {"menu", 139}, {"zenkakuhankaku", 85}, {"favorites", 156}, {"bookmarks", 156},
      {"noop", kKeydNoop}, {"leftmouse", kKeydLeftMouse}, {"rightmouse", kKeydRightMouse}, {"micmute", 248},
  };
  for (const auto& [name, code] : cases) EXPECT_EQ(EvdevOfKeydName(name), code) << name;
  const auto c = ParseKeydConfig("[main]\nf13 = f24\ncapslock = noop\n");
  ASSERT_EQ(c.remaps.size(), 2u) << Reasons(c);
  EXPECT_EQ(c.remaps[0].fromEvdev, 183u);
  EXPECT_EQ(c.remaps[0].toEvdev, 194u);
  EXPECT_EQ(c.remaps[1].toEvdev, kKeydNoop);
}

TEST(KeydConfig, IdsThatNameAnotherDeviceAreReported) {
  const std::pair<const char*, const char*> cases[] = {
      {"[main]\na = b\n", ""},                                      // no [ids]: nothing to say
      {"[ids]\n*\n", ""},
      {"[ids]\n0c45:7666\n", ""},
      {"[ids]\nk:0C45:7666\n", ""},                                 // case does not matter
      {"[ids]\n0c45:7666:1a2b3c4d\n", ""},                          // a newer keyd's longer id
      {"[ids]\n0c45\n", ""},                                        // keyd matches a prefix
      {"[ids]\n046d:c52b\n", "this configuration is for 046d:c52b"},
      {"[ids]\n046d:c52b\nk:1234:5678\n", "this configuration is for 046d:c52b, 1234:5678"},
      {"[ids]\nm:0c45:7666\n", "this configuration is for 0c45:7666 (as a mouse)"},
      {"[ids]\n*\n-0c45:7666\n", "this configuration leaves out 0c45:7666"},
      {"[ids]\n\n[main]\na = b\n", "this configuration names no device"},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(KeydIdsMismatch(ParseKeydConfig(text), "0c45:7666"), want) << text;
}

TEST(KeydConfig, LinesNotTakenAreCountedAndOnlyTheFirstAreKept) {
  std::string text = "[main]\na = b\n";
  for (int i = 0; i < 5000; ++i) text += "x\n";
  // A remap replaced at the end is listed with its early line, among the first.
  text += "a = c\n";
  const auto c = ParseKeydConfig(text);
  EXPECT_EQ(c.skippedCount, 5001u);
  ASSERT_EQ(c.skipped.size(), kKeydSkippedKept);
  EXPECT_EQ(c.skipped[0].line, 2);
  EXPECT_EQ(c.skipped[0].reason, "replaced by line 5003");
  for (std::size_t i = 1; i < c.skipped.size(); ++i) EXPECT_EQ(c.skipped[i].line, static_cast<int>(i) + 2);
  ASSERT_EQ(c.remaps.size(), 1u);
  EXPECT_EQ(c.remaps[0].to, "c");
}

}  // namespace
}  // namespace vantrel::keys
