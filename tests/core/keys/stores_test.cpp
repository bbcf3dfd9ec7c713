#include "core/keys/stores.h"

#include <gtest/gtest.h>

#include <thread>

#include "core/keys/key_codes.h"
#include "fake_texts.h"

namespace vantrel::keys {
namespace {

struct MacroEditing : ::testing::Test {
  StoreImage image;
  MacroNaming naming;
  testing::MapTexts texts;
  testing::RecordingSink sink;

  std::size_t Add() {
    auto pos = AddMacro(image, naming, texts, sink);
    EXPECT_TRUE(pos.has_value());
    return pos.value_or(0);
  }
};

TEST_F(MacroEditing, AddNamesIdsAndLimit) {
  EXPECT_EQ(Add(), 0u);
  EXPECT_EQ(image.macros[0].Name(), u"Macro1");
  EXPECT_EQ(image.macros[0].Id(), 1);
  EXPECT_EQ(image.macros[0].NewFlag(), 1);
  // A name that an existing one begins with (case ignored) is skipped.
  image.macros[0].SetName(u"MACRO2 old");
  Add();
  EXPECT_EQ(image.macros[1].Name(), u"Macro3");
  while (image.macros.size() < kMaxMacros) Add();
  EXPECT_FALSE(AddMacro(image, naming, texts, sink).has_value());
  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(sink.shown[0], "At most 100 macros");
  EXPECT_EQ(SmallestFreeMacroId(image), 0);
}

TEST_F(MacroEditing, IdsAreReusedAndCounterRestarts) {
  Add();
  Add();
  Add();
  image.macros.erase(image.macros.begin() + 1);  // id 2 goes
  Add();
  EXPECT_EQ(image.macros.back().Id(), 2);
  EXPECT_EQ(image.macros.back().Name(), u"Macro4");
  // Deleting the only macro and adding names it with counter 1 again.
  image.macros.clear();
  Add();
  EXPECT_EQ(image.macros[0].Name(), u"Macro1");
  EXPECT_EQ(image.macros[0].Id(), 1);
}

TEST_F(MacroEditing, PositionAndIdLookups) {
  Add();
  Add();
  image.macros[0].SetId(9);
  EXPECT_EQ(MacroPositionOfId(image, 2), 1u);
  EXPECT_EQ(MacroPositionOfId(image, 50), 0u);
  EXPECT_EQ(MacroIdAtPosition(image, 0), 9);
  EXPECT_EQ(MacroIdAtPosition(image, -1), 0);
  EXPECT_EQ(MacroIdAtPosition(image, 2), 0);
}

TEST_F(MacroEditing, DeleteChecksKeysOfEverySlot) {
  Add();
  Add();
  SaveMacros(image);  // both saved: the key check applies
  // The only key using macro 2 is the last record of the last slot.
  image.table.SetRecord(3, 511, {kKindMacro, 0, 2});
  EXPECT_TRUE(MacroUsedByKeys(image, 2));
  EXPECT_FALSE(MacroUsedByKeys(image, 1));
  sink.answer = false;
  EXPECT_FALSE(DeleteMacro(image, 1, texts, sink));
  ASSERT_EQ(sink.asked.size(), 1u);
  EXPECT_FALSE(sink.lastDefaultYes);
  EXPECT_EQ(image.macros.size(), 2u);
  sink.answer = true;
  EXPECT_TRUE(DeleteMacro(image, 1, texts, sink));
  EXPECT_EQ(image.macros.size(), 1u);
  // Unused and new macros go without a question.
  Add();
  image.table.SetRecord(0, 5, {kKindMacro, 0, image.macros[1].Id()});
  EXPECT_TRUE(DeleteMacro(image, 1, texts, sink));
  EXPECT_TRUE(DeleteMacro(image, 0, texts, sink));
  EXPECT_EQ(sink.asked.size(), 2u);
  EXPECT_FALSE(DeleteMacro(image, 0, texts, sink));
}

TEST_F(MacroEditing, SplitDeleteAsksOutsideTheLockAndErasesOnlyTheCheckedMacro) {
  Add();
  Add();
  SaveMacros(image);
  image.table.SetRecord(0, 4, {kKindMacro, 0, 1});
  const MacroDeleteCheck used = CheckMacroDelete(image, 0);
  EXPECT_TRUE(used.exists);
  EXPECT_TRUE(used.needsConfirm);
  EXPECT_FALSE(CheckMacroDelete(image, 1).needsConfirm);
  EXPECT_FALSE(CheckMacroDelete(image, 2).exists);
  EXPECT_TRUE(sink.asked.empty());
  // The list changed while the question was on screen: the answer no longer applies.
  image.macros.erase(image.macros.begin());
  EXPECT_FALSE(EraseMacro(image, 0, used.id));
  EXPECT_EQ(image.macros.size(), 1u);
  const MacroDeleteCheck other = CheckMacroDelete(image, 0);
  EXPECT_TRUE(EraseMacro(image, 0, other.id));
  EXPECT_TRUE(image.macros.empty());
}

TEST_F(MacroEditing, SaveResetsStaleKeyRecords) {
  Add();  // id 1
  Add();  // id 2
  SaveMacros(image);
  image.macros.erase(image.macros.begin());  // macro 1 deleted
  Add();                                     // new macro reuses id 1
  image.table.SetRecord(0, 10, {kKindMacro, 0, 1});  // meant the old macro 1
  image.table.SetRecord(1, 11, {kKindMacro, 0, 2});
  image.table.SetRecord(2, 12, {kKindMacro, 0, 77});
  image.table.SetRecord(3, 13, {kKindMacro, 0, 0});
  const auto changed = SaveMacros(image);
  EXPECT_EQ(changed, (std::vector<std::size_t>{10, 1024 + 12, 1536 + 13}));
  EXPECT_EQ(image.table.Record(0, 10).kind, kKindFactory);
  EXPECT_EQ(image.table.Record(1, 11).code, 2);
  EXPECT_EQ(image.table.Record(2, 12).kind, kKindFactory);
  EXPECT_EQ(image.table.Record(3, 13).code, image.macros[0].Id());
  for (const MacroRecord& m : image.macros) EXPECT_EQ(m.NewFlag(), 0);
}

TEST_F(MacroEditing, RenameCutsAndCreatesWhenEmpty) {
  EXPECT_TRUE(RenameMacro(image, 0, u"typed"));
  ASSERT_EQ(image.macros.size(), 1u);
  EXPECT_EQ(image.macros[0].NewFlag(), 1);
  EXPECT_EQ(image.macros[0].Cycles(), 1);
  EXPECT_TRUE(RenameMacro(image, 0, std::u16string(260, u'z')));
  EXPECT_EQ(image.macros[0].Name().size(), kMaxNameChars);
  EXPECT_FALSE(RenameMacro(image, 3, u"x"));
}

TEST(KeyAssignmentStore, KeyPageRules) {
  StoreImage image;
  // A key assigned to itself, or to nothing, is its factory function.
  StoreKeyAssignment(image, 0, 0x1E, {kKindKey, 0, 0x01E});
  EXPECT_EQ(image.table.Record(0, 0x1E).kind, kKindFactory);
  StoreKeyAssignment(image, 0, 0x1E, {kKindKey, 0, 0});
  EXPECT_EQ(image.table.Record(0, 0x1E).kind, kKindFactory);
  StoreKeyAssignment(image, 1, 0x1E, {kKindKey, 0, 0x030});
  EXPECT_EQ(image.table.Record(1, 0x1E).code, 0x030);
  // A macro while no macro exists is nothing.
  StoreKeyAssignment(image, 0, 0x30, {kKindMacro, 1, 1});
  EXPECT_EQ(image.table.Record(0, 0x30).kind, kKindFactory);
  // Strings are filed per record and freed by the next assignment of that key.
  StoreKeyAssignment(image, 2, 0x02, {kKindLaunch, 0, 0}, u"/usr/bin/true");
  EXPECT_EQ(image.strings.Total(), 2 * 13 + 2);
  EXPECT_NE(image.strings.Slot(1024 + 2), nullptr);
  StoreKeyAssignment(image, 2, 0x02, {kKindDisabled, 0, 0});
  EXPECT_EQ(image.strings.Total(), 0);
  EXPECT_FALSE(StoreKeyAssignment(image, 4, 0, {}));
  EXPECT_FALSE(StoreKeyAssignment(image, 0, 512, {}));
}

TEST(AssignmentTableImage, NewTableAndHeader) {
  AssignmentTable t;
  EXPECT_EQ(t.Record(0, 256).aux, 0x301);
  EXPECT_EQ(t.Record(0, 264).aux, 0x309);
  EXPECT_EQ(t.Record(0, 265).aux, 0x1301);
  EXPECT_EQ(t.Record(0, 273).aux, 0x1309);
  EXPECT_EQ(t.Record(0, 274).aux, 0);
  EXPECT_EQ(t.Record(1, 256).aux, 0);
  EXPECT_EQ(t.Record(4, 0), KeyAssignment{});
  t.FillFileHeader(2, 30);
  const auto b = t.Bytes();
  EXPECT_EQ(b[0], 0x46);
  EXPECT_EQ(b[1], 0x44);
  EXPECT_EQ(b[8] | b[9] << 8 | b[10] << 16, 32832 + 2 * 16512 + 30);
  unsigned sum = 0;
  for (int i = 0; i < 31; ++i) sum += b[i];
  EXPECT_EQ(b[31], sum & 0xFF);
  EXPECT_EQ(b[32], 0x4B);
  EXPECT_EQ(b[48] | b[49] << 8, 0x0C45);
  // Records sit at 64 + slot x 8192 + index x 16.
  t.SetRecord(3, 511, {4, 5, 6, 7, 8});
  EXPECT_EQ(b[64 + 3 * 8192 + 511 * 16], 4);
  EXPECT_EQ(b[64 + 3 * 8192 + 511 * 16 + 12], 8);
}

// Both threads take the editing store's lock and then the applied store's, as apply
// does; the lock API admits no other order.
TEST(StoreLocks, ThreadsTakeBothLocksInOrder) {
  EditingStore editing;
  AppliedStore applied;
  auto work = [&](int salt) {
    for (int i = 0; i < 200; ++i) {
      EditingStore::Lock e(editing);
      e->table.SetRecord(0, static_cast<std::size_t>(salt), {kKindKey, 0, i});
      AppliedStore::Lock a(applied, e);
      a->table = e->table;
      a->macros = e->macros;
    }
  };
  std::thread t1(work, 1);
  std::thread t2(work, 2);
  t1.join();
  t2.join();
  EditingStore::Lock e(editing);
  AppliedStore::Lock a(applied, e);
  EXPECT_EQ(a->table.Record(0, 1).code, 199);
  EXPECT_EQ(a->table.Record(0, 2).code, 199);
}

}  // namespace
}  // namespace vantrel::keys
