#include "core/keys/key_tooltip.h"

#include <gtest/gtest.h>

#include "core/keys/key_codes.h"
#include "core/keys/macro.h"
#include "fake_texts.h"

namespace vantrel::keys {
namespace {

class KeyTooltipTest : public ::testing::Test {
 protected:
  KeyTooltipTest() {
    texts.texts["KEY_PROMPT_SET"] = " - set";
    texts.texts["KEY_PROMPT_SINGLE"] = " (key: ";
    texts.texts["KEY_PROMPT_MACRO"] = " (macro: ";
    texts.texts["KEY_PROMPT_MEDIA"] = " (media: ";
    texts.texts["KEY_PROMPT_FUNCTION"] = " (function: ";
    texts.texts["FUNC_KEY_DESC3"] = "Dimmer";
    const std::uint16_t a = 0x1E;
    name = KeyDisplayName(a, texts);
  }
  std::string Tip(const KeyAssignment& record, int g = 0) { return KeyTooltip(0x1E, g, record, image, texts).text; }

  testing::MapTexts texts;
  StoreImage image;
  std::string name;
};

TEST_F(KeyTooltipTest, NamesTheKeyAndWhatItWasGiven) {
  EXPECT_EQ(Tip({}), name);
  EXPECT_FALSE(KeyTooltip(0x1E, 0, {}, image, texts).assigned);
  EXPECT_EQ(Tip({}, 7), "G7");

  const KeyAssignment toB{kKindKey, 0, 0x30};
  EXPECT_EQ(Tip(toB), name + " - set (key: " + KeyDisplayName(0x30, texts) + ")");
  EXPECT_TRUE(KeyTooltip(0x1E, 0, toB, image, texts).assigned);

  // A function index i shows "FUNC_KEY_DESC" i + 1.
  EXPECT_EQ(Tip({kKindFunction, 0, 2}), name + " - set (function: Dimmer)");
  // Media by index into the media key table.
  EXPECT_EQ(Tip({kKindMedia, 0, 0}), name + " - set (media: " + KeyDisplayName(MediaKeyTable()[0].code, texts) + ")");
  // Disabled and the other kinds only say that the key is reassigned.
  EXPECT_EQ(Tip({kKindDisabled, 0, 0}), name + " - set");
}

TEST_F(KeyTooltipTest, MacroByIdAndAnEmptyNameWhenTheMacroIsGone) {
  image.macros.push_back(NewMacro(u"Reload", 4));
  EXPECT_EQ(Tip({kKindMacro, 0, 4}), name + " - set (macro: Reload)");
  EXPECT_EQ(Tip({kKindMacro, 0, 9}), name + " - set (macro: )");
  // A media index outside the table names nothing rather than reading past it.
  EXPECT_EQ(Tip({kKindMedia, 0, 500}), name + " - set (media: )");
}

}  // namespace
}  // namespace vantrel::keys
