// The name index that import and export use must answer exactly as the one-name parser
// the keys and macros commands use, names shared by two keys included.
#include <gtest/gtest.h>

#include <cctype>
#include <set>

#include "app/ctl/keys_common.h"
#include "core/keys/key_codes.h"
#include "stack/device_stack.h"

namespace vantrel::ctl {
namespace {

// The English texts beside the program (the language is fixed for this run only).
const text::TextSource& EnglishTexts() {
  static stack::ProgramTexts texts(stack::ProgramFolder(), 1033);
  return texts.Texts();
}

TEST(KeyNameIndexTest, AnswersLikeParseKeyIndexForEveryNameNumberAndNonsense) {
  const auto& texts = EnglishTexts();
  const KeyNameIndex index(texts);
  std::set<std::string> names = {"", "nope", "0", "30", "511", "512", "0x1E", "0x11E", "0X1e", "0x", "0x10000",
                                 "G1", "g18", "G19", "1e", "-1", " A"};
  for (std::uint16_t i = 0; i < keys::kKeyIndexCount; ++i) {
    const std::string name = KeyName(CodeOfKeyIndex(i), texts);
    names.insert(name);
    if (i % 8 == 0) {  // names compare without regard to case
      std::string upper = name;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      names.insert(upper);
    }
    if (i < keys::kKeyNameCount) names.emplace(keys::KeyNameTable()[i].label);
  }
  std::size_t named = 0;
  for (const std::string& name : names) {
    const auto expected = ParseKeyIndex(name, texts);
    ASSERT_EQ(index.Find(name), expected) << "'" << name << "'";
    named += expected.has_value();
  }
  EXPECT_GT(named, 150u);
}

}  // namespace
}  // namespace vantrel::ctl
