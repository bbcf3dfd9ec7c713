// The key picture without widgets: looks read from a store image, the face each key shows
// in the two views, which keys a change reaches (the view redraws only those), and the
// keys restore default puts back.
#include "ui/app/key_picture.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "core/keys/key_codes.h"
#include "ui/ui_test_app.h"
#include "ui/windows/control_ids.h"

namespace vantrel::ui {
namespace {

class NoTexts final : public text::TextSource {
 public:
  std::string Text(std::string_view key) const override { return std::string(key); }
  std::string LightText(std::string_view key) const override { return std::string(key); }
  std::string ModeText(std::string_view key) const override { return std::string(key); }
};

// Every keyChanged the picture emits, in order.
struct Recorder {
  explicit Recorder(KeyPicture& picture) {
    QObject::connect(&picture, &KeyPicture::keyChanged,
                     [this](int id, unsigned aspects) { changes.emplace_back(id, aspects); });
  }
  std::set<int> Ids(unsigned aspect) const {
    std::set<int> ids;
    for (const auto& [id, aspects] : changes)
      if (aspects & aspect) ids.insert(id);
    return ids;
  }
  std::vector<std::pair<int, unsigned>> changes;
};

int Ordinary(std::size_t n) { return keys::OrdinaryLayoutKeys()[n].controlId; }
int GKey(std::size_t n) { return keys::GLayoutKeys()[n].controlId; }

TEST(KeyLooks, AssignedAndSelectedComeFromTheProfilesRecords) {
  keys::StoreImage image;
  const auto& key = keys::OrdinaryLayoutKeys()[20];
  keys::KeyAssignment disabled;
  disabled.kind = keys::kKindDisabled;
  disabled.selected = 1;
  ASSERT_TRUE(image.table.SetRecord(1, keys::KeyIndexOfCode(key.code), disabled));
  NoTexts texts;

  const KeyLooks other = ReadKeyLooks(image, 0, 0, texts, {});
  const KeyLooks mine = ReadKeyLooks(image, 1, 0, texts, {});
  // Every key of the picture has a look: 108 keys, nine G keys and Fn.
  EXPECT_EQ(mine.size(), keys::OrdinaryLayoutKeys().size() + keys::GLayoutKeys().size() + 1);
  EXPECT_FALSE(other.at(key.controlId).assigned);
  EXPECT_TRUE(mine.at(key.controlId).assigned);
  EXPECT_TRUE(mine.at(key.controlId).selected);
  EXPECT_FALSE(mine.at(Ordinary(21)).assigned);
  EXPECT_EQ(mine.at(keys::FnLayoutKey().controlId), (KeyLook{QStringLiteral("Fn"), false, false}));
}

TEST(KeyLooks, GKeysReadTheirLayerAndTheSecondLayerNeedsTheKeyboardsEntry) {
  keys::StoreImage image;
  keys::KeyAssignment disabled;
  disabled.kind = keys::kKindDisabled;
  const keys::GKeyPlace g3First{2, 0}, g4Second{3, 1};
  ASSERT_TRUE(image.table.SetRecord(0, g3First.Index(), disabled));
  ASSERT_TRUE(image.table.SetRecord(0, g4Second.Index(), disabled));
  NoTexts texts;
  const KeyLooks first = ReadKeyLooks(image, 0, 0, texts, {});
  const KeyLooks second = ReadKeyLooks(image, 0, 1, texts, {});
  EXPECT_TRUE(first.at(GKey(2)).assigned);
  EXPECT_FALSE(second.at(GKey(2)).assigned);
  // The second layer's G4 record is read (its tooltip says so), but a keyboard whose
  // factory table has no second layer never shows it assigned.
  EXPECT_FALSE(first.at(GKey(3)).assigned);
  EXPECT_FALSE(second.at(GKey(3)).assigned);
  EXPECT_NE(first.at(GKey(3)).tooltip, second.at(GKey(3)).tooltip);
}

TEST(KeyLooks, RestoreDefaultTakesTheCurrentLayersGKeysThenEveryOrdinaryKey) {
  for (int layer : {0, 1}) {
    SCOPED_TRACE(layer);
    const auto indexes = DefaultKeyIndexes(layer);
    ASSERT_EQ(indexes.size(), keys::kGKeyCount + keys::OrdinaryLayoutKeys().size());
    for (std::size_t n = 0; n < keys::kGKeyCount; ++n) EXPECT_EQ(indexes[n], (keys::GKeyPlace{n, layer}.Index()));
    EXPECT_EQ(indexes[keys::kGKeyCount], keys::KeyIndexOfCode(keys::OrdinaryLayoutKeys()[0].code));
    EXPECT_EQ(std::set<std::size_t>(indexes.begin(), indexes.end()).size(), indexes.size());
  }
  EXPECT_NE(DefaultKeyIndexes(0)[0], DefaultKeyIndexes(1)[0]);
}

class KeyPictureTest : public ::testing::Test {
 protected:
  void SetUp() override { test::App(); }
  KeyPicture picture_;
};

TEST_F(KeyPictureTest, FunctionViewShowsAssignedOrPressedKeysPressedColourViewNever) {
  picture_.SetLooks({{Ordinary(0), {"a", true, false}}, {Ordinary(1), {"b", false, true}}});
  EXPECT_TRUE(picture_.ShowsPressed(Ordinary(0)));
  EXPECT_FALSE(picture_.ShowsPressed(Ordinary(1)));
  EXPECT_EQ(picture_.Find(Ordinary(2))->look, KeyLook{});  // not named: the empty look

  picture_.SetPressed(Ordinary(1));
  EXPECT_TRUE(picture_.ShowsPressed(Ordinary(1)));
  // The key page closed: the redraw releases the press, the assigned key stays pressed.
  picture_.Redraw();
  EXPECT_FALSE(picture_.ShowsPressed(Ordinary(1)));
  EXPECT_TRUE(picture_.ShowsPressed(Ordinary(0)));

  picture_.SetPressed(Ordinary(2));
  picture_.SetColourView(true);
  for (int id : {Ordinary(0), Ordinary(1), Ordinary(2)}) EXPECT_FALSE(picture_.ShowsPressed(id)) << id;
  // New looks release any press as well.
  picture_.SetColourView(false);
  picture_.SetPressed(Ordinary(3));
  picture_.SetLooks({});
  EXPECT_FALSE(picture_.ShowsPressed(Ordinary(3)));
  EXPECT_FALSE(picture_.ShowsPressed(Ordinary(0)));
}

// A switch between profiles with mostly the same assignments must not repaint every key.
TEST_F(KeyPictureTest, NewLooksAndTheSameViewReachOnlyTheKeysWhoseLookOrPressChanged) {
  const KeyLooks first{{Ordinary(0), {"a", true, false}}, {Ordinary(1), {"b", false, false}}};
  picture_.SetLooks(first);
  Recorder r(picture_);
  int redrawn = 0;
  QObject::connect(&picture_, &KeyPicture::redrawn, [&redrawn] { ++redrawn; });
  picture_.SetLooks(first);
  EXPECT_TRUE(r.changes.empty());
  EXPECT_EQ(redrawn, 1);

  KeyLooks second = first;
  second[Ordinary(1)].assigned = true;   // look changed
  second[Ordinary(2)] = {"c", false, false};  // was the empty look
  picture_.SetPressed(Ordinary(3));      // same look, but pressed: released
  r.changes.clear();
  picture_.SetLooks(second);
  EXPECT_EQ(r.Ids(KeyPicture::kFace), (std::set<int>{Ordinary(1), Ordinary(2), Ordinary(3)}));
  EXPECT_EQ(r.Ids(KeyPicture::kTooltip), r.Ids(KeyPicture::kFace));
  EXPECT_TRUE(picture_.ShowsPressed(Ordinary(1)));
  EXPECT_FALSE(picture_.ShowsPressed(Ordinary(3)));

  // Every switch leaves the colour view: when it is already off, only a pressed key changes.
  picture_.SetPressed(Ordinary(4));
  r.changes.clear();
  picture_.SetColourView(false);
  EXPECT_EQ(r.Ids(KeyPicture::kFace), (std::set<int>{Ordinary(4)}));
  r.changes.clear();
  picture_.SetColourView(true);
  EXPECT_EQ(r.Ids(KeyPicture::kFace).size(), picture_.Keys().size());
}

TEST_F(KeyPictureTest, AColourReachesOnlyItsKeyAndTheSameColourNothing) {
  Recorder r(picture_);
  picture_.SetColour(Ordinary(5), QColor(200, 0, 0));
  picture_.SetColour(Ordinary(5), QColor(200, 0, 0));
  picture_.SetColour(GKey(0), QColor(0, 0, 255));
  picture_.SetColour(4242, QColor(1, 2, 3));  // no such key
  ASSERT_EQ(r.changes.size(), 2u);
  EXPECT_EQ(r.changes[0], std::make_pair(Ordinary(5), unsigned(KeyPicture::kColour)));
  EXPECT_EQ(r.changes[1].first, GKey(0));

  r.changes.clear();
  picture_.ClearColours();
  EXPECT_EQ(r.Ids(KeyPicture::kColour), (std::set<int>{Ordinary(5), GKey(0)}));
  EXPECT_FALSE(picture_.Find(Ordinary(5))->colour.isValid());
  r.changes.clear();
  picture_.ClearColours();
  EXPECT_TRUE(r.changes.empty());
}

TEST_F(KeyPictureTest, KeysAreUsableWithTheKeyboardAndF1ToF4OnlyWithoutFlip) {
  Recorder r(picture_);
  const int f1 = ids::kFlipOffFirst, f4 = ids::kFlipOffLast;
  ASSERT_NE(picture_.Find(f1), nullptr);
  ASSERT_NE(picture_.Find(f4), nullptr);
  struct Case {
    bool present, flip;
    bool f1Enabled, otherEnabled;
  };
  const Case cases[] = {{true, false, true, true}, {true, true, false, true}, {false, false, false, false},
                        {false, true, false, false}, {true, false, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.present << c.flip);
    picture_.SetAvailability(c.present, c.flip);
    EXPECT_EQ(picture_.Find(f1)->enabled, c.f1Enabled);
    EXPECT_EQ(picture_.Find(f4)->enabled, c.f1Enabled);
    EXPECT_EQ(picture_.Find(Ordinary(60))->enabled, c.otherEnabled);
    EXPECT_EQ(picture_.Find(GKey(8))->enabled, c.otherEnabled);
  }
  // Flip on and off with the keyboard there reaches F1..F4 only.
  picture_.SetAvailability(true, false);
  r.changes.clear();
  picture_.SetAvailability(true, true);
  std::set<int> fKeys;
  for (int id = f1; id <= f4; ++id) fKeys.insert(id);
  EXPECT_EQ(r.Ids(KeyPicture::kEnabled), fKeys);
}

TEST_F(KeyPictureTest, CaptionsChangeOnlyWhenTheyDiffer) {
  Recorder r(picture_);
  picture_.SetCaption(GKey(0), "M1");
  picture_.SetCaption(GKey(0), "M1");
  picture_.SetCaption(GKey(0), "M2");
  EXPECT_EQ(r.changes.size(), 2u);
  EXPECT_EQ(picture_.Find(GKey(0))->caption, "M2");
}

}  // namespace
}  // namespace vantrel::ui
