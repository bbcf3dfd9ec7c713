#include "core/keys/text_macro.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "core/keys/keyboard_layout.h"
#include "core/keys/xkb_layout.h"
#include "core/text/utf16.h"
#include "language_file_texts.h"

namespace vantrel::keys {
namespace {

// The layouts come from the system's XKB data; each is compiled once for all tests.
const LayoutCharacters* Layout(const std::string& text) {
  static std::map<std::string, std::optional<LayoutCharacters>> cache;
  auto it = cache.find(text);
  if (it == cache.end()) {
    const auto name = ParseLayoutName(text);
    it = cache.emplace(text, name ? CompileLayoutCharacters(*name) : std::nullopt).first;
  }
  return it->second ? &*it->second : nullptr;
}

#define REQUIRE_LAYOUT(var, name)                                                                      \
  const LayoutCharacters* var = Layout(name);                                                          \
  if (var == nullptr) GTEST_SKIP() << "keyboard layout " << (name) << " cannot be compiled here (XKB " \
                                      "data under /usr/share/X11/xkb or libxkbcommon missing)"

// "Shift+ A+ A- Shift-": the keys by their short names, Shift and AltGr for the modifiers.
std::string Render(const std::vector<MacroAction>& steps) {
  std::ostringstream out;
  for (const MacroAction& a : steps) {
    if (out.tellp() > 0) out << ' ';
    const LayoutKey* key = LayoutKeyOfCode(a.code);
    std::string name = key ? std::string(key->name) : "?";
    if (name == "LShift") name = "Shift";
    if (name == "RAlt") name = "AltGr";
    out << name << (a.direction == kPress ? '+' : '-');
  }
  return out.str();
}

struct TypingCase {
  const char* layout;
  const char* text;  // UTF-8
  const char* steps;
};

class Typing : public ::testing::TestWithParam<TypingCase> {};

TEST_P(Typing, GivesTheKeysOfTheLayout) {
  const TypingCase& c = GetParam();
  REQUIRE_LAYOUT(layout, c.layout);
  const TextSteps out = StepsForText(text::Utf8ToUtf32(c.text), *layout, kDefaultTextStepDelay);
  EXPECT_TRUE(out.untypeable.empty());
  EXPECT_EQ(Render(out.steps), c.steps) << c.layout << " \"" << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, Typing,
    ::testing::Values(
        // Upper case, lower case and a shifted symbol; Shift goes up between characters
        // that do not need it.
        TypingCase{"us", "Ab@", "Shift+ A+ A- Shift- B+ B- Shift+ 2+ 2- Shift-"},
        TypingCase{"us", "1 =", "1+ 1- Space+ Space- Equal+ Equal-"},
        // Shift held across consecutive characters that need it.
        TypingCase{"us", "HI!", "Shift+ H+ H- I+ I- 1+ 1- Shift-"},
        // Newline (LF, CR LF, CR) is Enter and tab is Tab.
        TypingCase{"us", "a\nb\r\nc\rd\te", "A+ A- Enter+ Enter- B+ B- Enter+ Enter- C+ C- Enter+ Enter- D+ D- "
                                             "Tab+ Tab- E+ E-"},
        // de: AltGr, y and z swapped, umlauts on their own keys, digits and shifted digits.
        TypingCase{"de", "@", "AltGr+ Q+ Q- AltGr-"},
        TypingCase{"de", "zy", "Y+ Y- Z+ Z-"},
        TypingCase{"de", "Öß", "Shift+ Semicolon+ Semicolon- Shift- Minus+ Minus-"},
        TypingCase{"de", "3\"", "3+ 3- Shift+ 2+ 2- Shift-"},
        // AltGr held across characters; a change from Shift to AltGr releases Shift first.
        TypingCase{"de", "@€", "AltGr+ Q+ Q- E+ E- AltGr-"},
        TypingCase{"de", "A\\", "Shift+ A+ A- Shift- AltGr+ Minus+ Minus- AltGr-"},
        // fr: AZERTY, digits on the shifted level, a dead key before its base key.
        TypingCase{"fr", "a1", "Q+ Q- Shift+ 1+ 1- Shift-"},
        TypingCase{"fr", "ê", "LBracket+ LBracket- E+ E-"},
        TypingCase{"fr", "Ê", "LBracket+ LBracket- Shift+ E+ E- Shift-"},
        TypingCase{"fr", "ë", "Shift+ LBracket+ LBracket- Shift- E+ E-"},
        TypingCase{"fr", "é@", "2+ 2- AltGr+ 0+ 0- AltGr-"},
        // Dvorak moves the letters.
        TypingCase{"us(dvorak)", "hello", "J+ J- D+ D- P+ P- P+ P- S+ S-"},
        TypingCase{"us(dvorak)", "Q", "Shift+ X+ X- Shift-"},
        // gb: " and £ over the digits, @ over the quote key, € with AltGr.
        TypingCase{"gb", "\"£", "Shift+ 2+ 2- 3+ 3- Shift-"},
        TypingCase{"gb", "@#", "Shift+ Quote+ Quote- Shift- Backslash+ Backslash-"},
        TypingCase{"gb", "€", "AltGr+ 4+ 4- AltGr-"}));

TEST(TextSteps, EveryStepWaitsTheDelay) {
  REQUIRE_LAYOUT(us, "us");
  for (const std::int32_t delay : {0, kDefaultTextStepDelay, 250}) {
    const TextSteps out = StepsForText(U"aB", *us, delay);
    ASSERT_EQ(out.steps.size(), 6u);
    for (const MacroAction& a : out.steps) EXPECT_EQ(a.delay, delay);
  }
}

struct RefusalCase {
  const char* layout;
  const char* text;
  std::vector<UntypeableCharacter> untypeable;
};

class Refusal : public ::testing::TestWithParam<RefusalCase> {};

using Reason = UntypeableCharacter::Reason;

TEST_P(Refusal, NamesEveryCharacterAndGivesNoSteps) {
  const RefusalCase& c = GetParam();
  REQUIRE_LAYOUT(layout, c.layout);
  const TextSteps out = StepsForText(text::Utf8ToUtf32(c.text), *layout, kDefaultTextStepDelay);
  EXPECT_EQ(out.untypeable, c.untypeable) << c.layout << " \"" << c.text << '"';
  EXPECT_TRUE(out.steps.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, Refusal,
    ::testing::Values(
        RefusalCase{"us", "€", {{1, U'€', Reason::kNotOnLayout}}},
        // Every bad character, by its position in characters (not bytes).
        RefusalCase{"us", "é€a€", {{1, U'é', Reason::kNotOnLayout}, {2, U'€', Reason::kNotOnLayout},
                                   {4, U'€', Reason::kNotOnLayout}}},
        // Control characters other than newline and tab are not typed.
        RefusalCase{"us", "a\x01", {{2, 0x01, Reason::kNotOnLayout}}},
        // Invalid UTF-8 arrives as U+FFFD.
        RefusalCase{"us", "a\xff", {{2, 0xFFFD, Reason::kNotOnLayout}}},
        // The key left of Z (ISO keyboards) is missing on this keyboard: gb types ¦ and de
        // types < > only there.
        RefusalCase{"gb", "a¦", {{2, U'¦', Reason::kKeyMissing}}},
        RefusalCase{"de", "<x>", {{1, U'<', Reason::kKeyMissing}, {3, U'>', Reason::kKeyMissing}}}));

TEST(TextSteps, WaysOfMissingKeysGiveWayToOthers) {
  // A character on a key this keyboard lacks (evdev 86, the ISO key) and also elsewhere.
  LayoutCharacters layout;
  layout[U'x'] = {{{86, 0}}, {{45, kLayoutAltGr}}};
  layout[U'y'] = {{{86, kLayoutShift}}};
  // Only on a key no PC keyboard has (KEY_EURO): not on the layout as far as we type.
  layout[U'z'] = {{{435, 0}}};
  layout[U'€'] = {{{435, 0}}, {{18, kLayoutAltGr}}};
  layout[U'^'] = {{{86, 0}, {57, 0}}, {{26, kLayoutShift}, {57, 0}}};
  const TextSteps out = StepsForText(U"x^€", layout, 10);
  EXPECT_EQ(Render(out.steps),
            "AltGr+ X+ X- AltGr- Shift+ LBracket+ LBracket- Shift- Space+ Space- AltGr+ E+ E- AltGr-");
  const TextSteps refused = StepsForText(U"xyz", layout, 10);
  EXPECT_EQ(refused.untypeable, (std::vector<UntypeableCharacter>{{2, U'y', Reason::kKeyMissing},
                                                                   {3, U'z', Reason::kNotOnLayout}}));
}

TEST(TextSteps, ModifierChangesReleaseBeforeTheyPress) {
  LayoutCharacters layout;
  layout[U'a'] = {{{30, kLayoutShift | kLayoutAltGr}}};
  layout[U'b'] = {{{48, kLayoutAltGr}}};
  layout[U'c'] = {{{46, kLayoutShift}}};
  EXPECT_EQ(Render(StepsForText(U"abca", layout, 10).steps),
            "Shift+ AltGr+ A+ A- Shift- B+ B- AltGr- Shift+ C+ C- AltGr+ A+ A- AltGr- Shift-");
}

TEST(LayoutNames, ParsedAndChecked) {
  EXPECT_EQ(ParseLayoutName("us"), (LayoutName{"us", ""}));
  EXPECT_EQ(ParseLayoutName(" us(dvorak) "), (LayoutName{"us", "dvorak"}));
  EXPECT_EQ(ParseLayoutName("ch(fr_nodeadkeys)")->Text(), "ch(fr_nodeadkeys)");
  // Nothing but a plain name may reach the keymap compiler's file lookup.
  for (const char* bad : {"", "us(", "us()", "(dvorak)", "../../etc/passwd", "us(dv orak)", "us(a)(b)", "de+us",
                          "de,us", "us(../x)"}) {
    EXPECT_FALSE(ParseLayoutName(bad).has_value()) << bad;
  }
  EXPECT_FALSE(ParseLayoutName(std::string(65, 'a')).has_value());
}

TEST(CompileLayout, UnknownLayoutsAndVariantsGiveNothing) {
  REQUIRE_LAYOUT(us, "us");
  EXPECT_FALSE(CompileLayoutCharacters({"zz", ""}).has_value());
  EXPECT_FALSE(CompileLayoutCharacters({"us", "nosuchvariant"}).has_value());
}

struct TypeTextTest : ::testing::Test {
  test::LanguageFileTexts texts;
};

TEST_F(TypeTextTest, RefusalsInWords) {
  REQUIRE_LAYOUT(us, "us");
  const TypedText euro = TypeText("a€\x01", "us", 10, texts);
  EXPECT_TRUE(euro.steps.empty());
  EXPECT_EQ(euro.error,
            "The layout us cannot type this text; nothing was added:\n"
            "character 2: U+20AC \"€\" is not on the layout\n"
            "character 3: U+0001 is not on the layout");
  EXPECT_EQ(TypeText("¦", "gb", 10, texts).error,
            "The layout gb cannot type this text; nothing was added:\n"
            "character 1: U+00A6 \"¦\" needs a key this keyboard does not have");
  EXPECT_NE(TypeText("x", "zz", 10, texts).error.find("Unknown keyboard layout \"zz\""), std::string::npos);
  EXPECT_NE(TypeText("x", "../x", 10, texts).error.find("Unknown keyboard layout"), std::string::npos);
  EXPECT_EQ(TypeText("", "us", 10, texts).error, texts.Text("TEXT_MACRO_EMPTY"));
  for (const int delay : {-10, 15, 40010}) {
    EXPECT_EQ(TypeText("a", "us", delay, texts).error, texts.Text("TEXT_MACRO_BAD_DELAY")) << delay;
  }
  EXPECT_TRUE(TypeText("a", "us", 40000, texts).error.empty());
}

TEST_F(TypeTextTest, AtMostTheStepsOfOneMacro) {
  REQUIRE_LAYOUT(us, "us");
  const TypedText fits = TypeText(std::string(kMaxActions / 2, 'a'), "us", 10, texts);
  EXPECT_TRUE(fits.error.empty());
  EXPECT_EQ(fits.steps.size(), kMaxActions);
  const TypedText tooLong = TypeText(std::string(kMaxActions / 2 + 1, 'a'), "us", 10, texts);
  EXPECT_EQ(tooLong.error, texts.Text("EXTRA_MACRO_TOO_LONG"));
  EXPECT_TRUE(tooLong.steps.empty());
  // Far too long: refused as such, not with a line for each untypeable character.
  std::string euros;
  for (std::size_t i = 0; i <= kMaxActions; ++i) euros += "€";
  const TypedText huge = TypeText(euros, "us", 10, texts);
  EXPECT_EQ(huge.error, texts.Text("EXTRA_MACRO_TOO_LONG"));
  EXPECT_TRUE(huge.untypeable.empty());
}

TEST_F(TypeTextTest, AddMacroWithStepsChecksCountAndArea) {
  StoreImage image;
  const std::vector<MacroAction> steps(10, MacroAction{10, 0x01E, kPress});
  image.macros.push_back(NewMacro(u"one", 1));
  image.macros.push_back(NewMacro(u"three", 3));
  const AddedMacro added = AddMacroWithSteps(image, u"typed", steps, 4096, texts);
  EXPECT_TRUE(added.error.empty());
  EXPECT_EQ(added.id, 2);
  ASSERT_EQ(image.macros.size(), 3u);
  EXPECT_EQ(image.macros[2].Name(), u"typed");
  EXPECT_EQ(image.macros[2].Actions(), steps);
  EXPECT_EQ(image.macros[2].Cycles(), 1);

  // Too big for the macro area even without names: refused, the list unchanged.
  const std::size_t bare = ComputeMacroBlockSizes(image.macros).bare;
  const AddedMacro tooBig = AddMacroWithSteps(image, u"x", steps, bare + 10 * 4, texts);
  EXPECT_EQ(tooBig.id, 0);
  EXPECT_EQ(tooBig.error, texts.Text("EXTRA_MACRO_TOO_LONG"));
  EXPECT_EQ(image.macros.size(), 3u);
  // An unknown capacity is left to the apply.
  EXPECT_NE(AddMacroWithSteps(image, u"x", steps, 0, texts).id, 0);

  while (image.macros.size() < kMaxMacros) image.macros.push_back(NewMacro(u"m", SmallestFreeMacroId(image)));
  const AddedMacro full = AddMacroWithSteps(image, u"x", steps, 0, texts);
  EXPECT_EQ(full.id, 0);
  EXPECT_EQ(full.error, "At most 100 macros can be created. Delete a macro first.");
}

TEST_F(TypeTextTest, AddTextMacroToTheEditingStore) {
  REQUIRE_LAYOUT(de, "de");
  EditingStore store;
  const AddedTextMacro added = AddTextMacro(store, "Grüße", "z@", "de", 20, 4096, texts);
  EXPECT_TRUE(added.error.empty()) << added.error;
  EXPECT_EQ(added.id, 1);
  EXPECT_EQ(added.layout.Text(), "de");
  EXPECT_EQ(added.steps, 6u);
  {
    EditingStore::Lock lock(store);
    ASSERT_EQ(lock->macros.size(), 1u);
    EXPECT_EQ(lock->macros[0].Name(), u"Grüße");
    EXPECT_EQ(Render(lock->macros[0].Actions()), "Y+ Y- AltGr+ Q+ Q- AltGr-");
    EXPECT_EQ(lock->macros[0].Action(0).delay, 20);
  }
  const AddedTextMacro refused = AddTextMacro(store, "x", "€", "us", 10, 4096, texts);
  EXPECT_EQ(refused.id, 0);
  EXPECT_NE(refused.error.find("U+20AC"), std::string::npos);
  EditingStore::Lock lock(store);
  EXPECT_EQ(lock->macros.size(), 1u);
}

// Typed steps go in after the selected step (or at the end), the last of them selected;
// a macro never grows beyond its 2000 steps.
TEST(InsertSteps, AfterTheSelectedStepWithinTheMacroLimit) {
  const auto step = [](std::uint16_t code) { return MacroAction{10, code, kPress}; };
  const std::vector<MacroAction> typed = {step(7), step(8)};
  struct Case {
    std::vector<MacroAction> before;
    std::optional<std::size_t> selected;
    std::vector<MacroAction> after;
    std::optional<std::size_t> selectedAfter;
  };
  const std::vector<Case> cases = {
      {{}, std::nullopt, {step(7), step(8)}, 1},
      {{step(1), step(2)}, std::nullopt, {step(1), step(2), step(7), step(8)}, 3},
      {{step(1), step(2)}, 0, {step(1), step(7), step(8), step(2)}, 2},
      {{step(1), step(2)}, 1, {step(1), step(2), step(7), step(8)}, 3},
      // A selection beyond the list (a stale row) adds at the end.
      {{step(1)}, 5, {step(1), step(7), step(8)}, 2},
  };
  for (const Case& c : cases) {
    RecordList list;
    list.actions = c.before;
    list.selected = c.selected;
    ASSERT_TRUE(InsertSteps(list, typed));
    EXPECT_EQ(list.actions, c.after);
    EXPECT_EQ(list.selected, c.selectedAfter);
  }

  RecordList full;
  full.actions.assign(kMaxActions - 1, step(1));
  full.selected = 3;
  EXPECT_FALSE(InsertSteps(full, typed));
  EXPECT_FALSE(InsertSteps(full, {}));
  EXPECT_EQ(full.actions.size(), kMaxActions - 1);
  EXPECT_EQ(full.selected, 3u);
  EXPECT_TRUE(InsertSteps(full, std::vector<MacroAction>{step(9)}));
  EXPECT_EQ(full.actions.size(), kMaxActions);
  EXPECT_EQ(full.actions[4], step(9));
}

}  // namespace
}  // namespace vantrel::keys
