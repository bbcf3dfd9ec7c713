// Journeys through the key page's single-key, multimedia and function tabs against the
// virtual keyboard, with key events carrying native scan codes.
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

#include "key_page_harness.h"
#include "ui/windows/key_chooser.h"

namespace vantrel::ui::test {
namespace {

using keys::KeyAssignment;

// Position of a key code in the keyboard's factory key table.
int FactoryPosition(const keys::DeviceKeyTable& factory, std::uint16_t code) {
  for (std::size_t k = 0; k < device::kKeyEntryCount; ++k)
    if (keys::CodeOfEntry(keys::EntryAt(factory, k)) == code) return static_cast<int>(k);
  return -1;
}

TEST_F(KeyPageTest, AssignBToAThenApplyWritesTheKeyTable) {
  ASSERT_TRUE(page_->Begin(kButtonA));
  EXPECT_TRUE(page_->capturing());
  EXPECT_EQ(page_->keyIndex(), 0x01E);
  EXPECT_EQ(host_.pressedLog.back(), std::make_pair(kButtonA, true));
  EXPECT_EQ(page_->pos(), KeyPagePosition(host_.rect, page_->size(), page_->screen()->availableGeometry()));
  Tap(0x030);
  EXPECT_EQ(page_->capturedKeyField()->text(), QString::fromStdString(Text("IDS_KEYBOARD_B")));
  EXPECT_TRUE(page_->button(kIdApply)->isEnabled());
  Click(kIdOk);
  EXPECT_FALSE(page_->isVisible());
  EXPECT_FALSE(page_->capturing());
  EXPECT_EQ(page_->openCount(), 0);
  EXPECT_EQ(host_.edits, 1);
  EXPECT_EQ(host_.pressedLog.back(), std::make_pair(kButtonA, false));
  EXPECT_EQ(Record(0, 0x01E), (KeyAssignment{keys::kKindKey, 0, 0x030}));
  // Nothing went to the keyboard from the page.
  EXPECT_TRUE(sim_.Lines("> CTRL").empty());

  ASSERT_TRUE(ApplyToKeyboard());
  bool keyTableWritten = false;
  for (const auto& line : sim_.Lines("> CTRL"))
    keyTableWritten |= vantrel::test::SimHarness::Bytes(line).at(3) == device::kCmdWriteKeyTable;
  EXPECT_TRUE(keyTableWritten);
  const int k = FactoryPosition(sim_.keyboard.FactoryTable(), 0x01E);
  ASSERT_GE(k, 0);
  const auto& tables = sim_.keyboard.KeyTables();
  EXPECT_EQ(tables[3 * k], 0x02);
  EXPECT_EQ(tables[3 * k + 1], 0x02);
  EXPECT_EQ(tables[3 * k + 2], 0x05);  // HID usage of B
}

TEST_F(KeyPageTest, TheKeyNotTheCharacterIsCaptured) {
  ASSERT_TRUE(page_->Begin(kButtonA));
  // evdev 21 types Y on a US layout and Z on a German one.
  Native(21 + 8, false, false, Qt::Key_Z, "z");
  EXPECT_EQ(page_->capturedKey(), 0x015);
  Native(21 + 8, true, false, Qt::Key_Z, "z");
  Native(30 + 8, false, false, Qt::Key_A, "a");
  Native(21 + 8, false, false, Qt::Key_Y, "y");
  EXPECT_EQ(page_->capturedKey(), 0x015);
  // evdev 16: A on a French layout, Q on a US one.
  Native(16 + 8, false, false, Qt::Key_A, "a");
  EXPECT_EQ(page_->capturedKey(), 0x010);
  // A synthetic event without a scan code is not a key of ours.
  Native(0, false, false, Qt::Key_B, "b");
  EXPECT_EQ(page_->capturedKey(), 0x010);
}

TEST_F(KeyPageTest, CaptureRulesForMediaRepeatsReleasesAndTheKeyItself) {
  ASSERT_TRUE(page_->Begin(kButtonA));
  Tap(0x130);  // volume up goes to the system
  EXPECT_EQ(page_->capturedKey(), 0);
  EXPECT_FALSE(page_->changed());
  Key(0x030, false);
  Key(0x02E, false, /*repeat=*/true);  // an auto-repeat of another held key
  Key(0x02E, true);
  EXPECT_EQ(page_->capturedKey(), 0x030);
  // Print Screen counts on its release alone.
  Key(keys::kCodePrintScreen, true);
  EXPECT_EQ(page_->capturedKey(), keys::kCodePrintScreen);
  // The key itself: applied, it stays at its factory function.
  Tap(0x01E);
  Click(kIdApply);
  EXPECT_EQ(Record(0, 0x01E).kind, keys::kKindFactory);
  EXPECT_FALSE(page_->button(kIdApply)->isEnabled());
  EXPECT_EQ(host_.edits, 1);
}

TEST_F(KeyPageTest, MouseRollDownStores0x162AndMouseKeepsKeysFromCapturing) {
  ASSERT_TRUE(page_->Begin(kButtonB));
  Click(kIdMou);
  EXPECT_FALSE(page_->keyboardChosen());
  page_->mouseFunctions()->setCurrentIndex(4);
  EXPECT_EQ(page_->mouseFunctions()->currentText(), QString::fromStdString(Text("IDS_KEYBOARD_ROLL_DOWN")));
  Tap(0x01E);  // swallowed, not captured
  EXPECT_EQ(page_->capturedKey(), 0);
  Click(kIdOk);
  EXPECT_FALSE(page_->isVisible());
  EXPECT_EQ(Record(0, 0x030), (KeyAssignment{keys::kKindKey, 0, keys::kCodeWheelDown}));

  // Reopened, the mouse function is shown again.
  ASSERT_TRUE(page_->Begin(kButtonB));
  EXPECT_FALSE(page_->keyboardChosen());
  EXPECT_EQ(page_->mouseFunctions()->currentIndex(), 4);
  // The Windows keys are captured even now; the page then stores what it shows.
  Key(keys::kCodeRightWin, false);
  EXPECT_TRUE(page_->keyboardChosen());
  Click(kIdOk);
  EXPECT_EQ(Record(0, 0x030), (KeyAssignment{keys::kKindKey, 0, keys::kCodeRightWin}));
}

// The keyboard keeps the G keys of the first layer only. G7 of the second layer is refused
// with a message instead of looking reassigned while the keyboard never gets it; G9's
// page still opens there for its macros, which are kept, but G9 itself stays plain.
TEST_F(KeyPageTest, SecondLayerGKeysAreRefusedAndNeverLookAssigned) {
  host_.layer = 1;
  EXPECT_FALSE(page_->Begin(1141));  // G7
  ASSERT_EQ(sink_.messages.size(), 1u);
  EXPECT_EQ(sink_.messages[0], texts_.Text("KEY_GKEY_LAYER2_NOT_KEPT"));
  EXPECT_NE(sink_.messages[0], "#Error");
  EXPECT_FALSE(page_->isVisible());
  EXPECT_EQ(host_.pressedLog, (std::vector<std::pair<int, bool>>{{1141, false}}));
  EXPECT_EQ(Record(0, 271).kind, keys::kKindFactory);

  ASSERT_TRUE(page_->Begin(kIdMacroButton));
  EXPECT_TRUE(page_->macroOnly());
  EXPECT_EQ(page_->keyIndex(), 273);  // G9 of the second layer
  Click(kIdMacroAdd);
  Click(kIdOk);
  EXPECT_EQ(sink_.messages.size(), 2u);
  EXPECT_EQ(Record(0, 273), (KeyAssignment{keys::kKindFactory, 0x1309, 0}));
  EXPECT_EQ(host_.edits, 1);
  {
    keys::EditingStore::Lock lock(editing_);
    EXPECT_EQ(lock->macros.size(), 1u);
  }
  // Read back from the keyboard: the macro is there, no G key of either layer is assigned.
  ASSERT_TRUE(ApplyToKeyboard());
  const keys::StoreImage back = ReadBack();
  EXPECT_EQ(back.macros.size(), 1u);
  for (std::size_t i = 256; i <= 273; ++i) EXPECT_EQ(back.table.Record(0, i).kind, keys::kKindFactory) << i;
}

TEST_F(KeyPageTest, FirstLayerGKeysAndTheMacroOnlyPage) {
  ASSERT_TRUE(page_->Begin(1141));  // G7
  EXPECT_EQ(page_->keyIndex(), 256 + 6);
  EXPECT_FALSE(page_->macroOnly());
  Click(kIdTabMedia);
  page_->mediaList()->setCurrentRow(2);
  Click(kIdOk);
  EXPECT_EQ(Record(0, 262), (KeyAssignment{keys::kKindMedia, 0x307, 2}));
  ASSERT_TRUE(ApplyToKeyboard());
  EXPECT_EQ(ReadBack().table.Record(0, 262).kind, keys::kKindMedia);
  EXPECT_TRUE(sink_.messages.empty());

  for (int id : {keys::kGKeyMacroButton, kIdMacroButton}) {
    ASSERT_TRUE(page_->Begin(id));
    EXPECT_TRUE(page_->macroOnly());
    EXPECT_EQ(page_->keyIndex(), 264);
    EXPECT_EQ(page_->kind(), keys::kKindMacro);
    EXPECT_FALSE(page_->capturing());
    for (int disabled : {kIdTabSingle, kIdTabMedia, kIdTabFunction, kIdClear})
      EXPECT_FALSE(page_->button(disabled)->isEnabled());
    EXPECT_TRUE(page_->macroEditor().nameBox()->isVisible());
    const QRect area = page_->screen()->availableGeometry();
    const QPoint offCentre = page_->geometry().center() - area.center();
    EXPECT_LE(offCentre.manhattanLength(), 2) << "centred on the screen";
    // Without a macro the kind falls back to the factory function.
    Click(kIdOk);
    EXPECT_EQ(Record(0, 264).kind, keys::kKindFactory);
  }
  EXPECT_EQ(page_->Begin(4242), false);
}

TEST_F(KeyPageTest, FilesKindsOpenOnTheSingleKeyTabAndKeepTheirKind) {
  {
    keys::EditingStore::Lock lock(editing_);
    keys::StoreKeyAssignment(lock.Image(), 0, 0x01E, {keys::kKindLaunch, 0, 0}, u"/usr/bin/true");
  }
  ASSERT_TRUE(page_->Begin(kButtonA));
  EXPECT_TRUE(page_->capturing());
  EXPECT_EQ(page_->capturedKey(), 0);
  EXPECT_TRUE(page_->capturedKeyField()->text().isEmpty());
  Click(kIdOk);
  EXPECT_EQ(Record(0, 0x01E), (KeyAssignment{keys::kKindLaunch, 0, 0}));
  keys::EditingStore::Lock lock(editing_);
  EXPECT_EQ(lock->strings.SlotSize(0x01E), 0u);
}

TEST_F(KeyPageTest, TabsClearAndCancel) {
  {
    keys::EditingStore::Lock lock(editing_);
    keys::StoreKeyAssignment(lock.Image(), 0, 0x01E, {keys::kKindFunction, 0, 5});
  }
  ASSERT_TRUE(page_->Begin(kButtonA));
  EXPECT_EQ(page_->kind(), keys::kKindFunction);
  EXPECT_FALSE(page_->capturing());
  EXPECT_TRUE(page_->functionList()->isVisible());
  EXPECT_EQ(page_->functionList()->currentRow(), 5);
  EXPECT_TRUE(page_->button(kIdTabFunction)->isSelectedFlag());
  Click(kIdTabFunction);  // already current: nothing changes
  EXPECT_FALSE(page_->changed());
  Click(kIdTabSingle);
  EXPECT_TRUE(page_->capturing());
  EXPECT_FALSE(page_->functionList()->isVisible());
  Tap(0x030);
  Click(kIdCancel);
  EXPECT_EQ(Record(0, 0x01E), (KeyAssignment{keys::kKindFunction, 0, 5}));
  EXPECT_EQ(host_.edits, 0);

  // Clear returns the key to its factory function.
  ASSERT_TRUE(page_->Begin(kButtonA));
  Click(kIdClear);
  EXPECT_EQ(page_->kind(), keys::kKindFactory);
  EXPECT_TRUE(page_->capturing());
  Click(kIdOk);
  EXPECT_EQ(Record(0, 0x01E).kind, keys::kKindFactory);
}

TEST_F(KeyPageTest, EscapeClosesAsCancelDoesAndEnterIsIgnored) {
  ASSERT_TRUE(page_->Begin(kButtonA));
  Tap(0x030);
  Click(kIdTabMacro);
  QTest::keyClick(page_.get(), Qt::Key_Return);
  EXPECT_TRUE(page_->isVisible());
  QTest::keyClick(page_.get(), Qt::Key_Escape);
  EXPECT_FALSE(page_->isVisible());
  EXPECT_EQ(page_->openCount(), 0);
  EXPECT_EQ(host_.pressedLog.back(), std::make_pair(kButtonA, false));
  EXPECT_EQ(Record(0, 0x01E).kind, keys::kKindFactory) << "Escape stored the captured key";
  EXPECT_EQ(host_.edits, 0);
  // While the page waits for a key, Enter is a key like any other.
  ASSERT_TRUE(page_->Begin(kButtonA));
  Tap(0x01C);
  EXPECT_TRUE(page_->isVisible());
  EXPECT_EQ(page_->capturedKey(), 0x01C);
}

// Tab and Escape are assignable: pressed while the page waits for a key they are taken;
// pressed again they move the focus on and close the page, so the keyboard alone can
// leave the tab. Enter or Space on the key field waits for a key again.
TEST_F(KeyPageTest, TabAndEscapeAreTakenOnceThenLeaveTheTab) {
  ASSERT_TRUE(page_->Begin(kButtonA));
  QLineEdit* field = page_->capturedKeyField();
  EXPECT_TRUE(page_->armed());
  Tap(0x00F);
  EXPECT_EQ(page_->capturedKey(), 0x00F);
  EXPECT_FALSE(page_->capturing());
  EXPECT_EQ(page_->focusWidget(), field) << "the focus is where Enter waits again and Tab moves on";
  QTest::keyClick(field, Qt::Key_Tab);
  EXPECT_EQ(page_->focusWidget(), page_->button(kIdMou));
  EXPECT_EQ(page_->capturedKey(), 0x00F);
  QTest::keyClick(page_->focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(page_->focusWidget(), field);

  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
    QTest::keyClick(field, key);
    EXPECT_TRUE(page_->capturing()) << key;
    Tap(0x030);
    EXPECT_EQ(page_->capturedKey(), 0x030);
    EXPECT_TRUE(page_->capturing()) << "another key may follow a wrong one";
    Tap(0x001);
    EXPECT_EQ(page_->capturedKey(), 0x001);
    EXPECT_FALSE(page_->capturing());
  }
  // A click on the field waits again too; Tab taken and OK stores it.
  QTest::mouseClick(field, Qt::LeftButton);
  EXPECT_TRUE(page_->capturing());
  Tap(0x00F);
  Click(kIdOk);
  EXPECT_EQ(Record(0, 0x01E), (KeyAssignment{keys::kKindKey, 0, 0x00F}));

  // Escape taken, then Escape again closes without storing it.
  ASSERT_TRUE(page_->Begin(kButtonA));
  Tap(0x001);
  EXPECT_TRUE(page_->isVisible());
  QTest::keyClick(field, Qt::Key_Escape);
  EXPECT_FALSE(page_->isVisible());
  EXPECT_EQ(Record(0, 0x01E), (KeyAssignment{keys::kKindKey, 0, 0x00F}));
  // Opened again, the tab waits for a key at once.
  ASSERT_TRUE(page_->Begin(kButtonA));
  EXPECT_TRUE(page_->capturing());
  // With the mouse chosen no key is taken: Tab moves on at once and Escape closes.
  Click(kIdMou);
  page_->button(kIdMou)->setFocus();
  Key(0x00F, false, false, Qt::Key_Tab);
  EXPECT_EQ(page_->focusWidget(), page_->mouseFunctions());
  Key(0x001, false, false, Qt::Key_Escape);
  EXPECT_FALSE(page_->isVisible());
  EXPECT_EQ(Record(0, 0x01E), (KeyAssignment{keys::kKindKey, 0, 0x00F}));
}

TEST_F(KeyPageTest, KeyChooserCapturesKeysTheDesktopKeeps) {
  ASSERT_TRUE(page_->Begin(kButtonA));
  Click(kIdOsk);
  ASSERT_TRUE(page_->keyChooser()->isVisible());
  QPushButton* win = page_->keyChooser()->buttonFor(keys::kCodeLeftWin);
  ASSERT_NE(win, nullptr);
  QTest::mouseClick(win, Qt::LeftButton);
  EXPECT_FALSE(page_->keyChooser()->isVisible());
  EXPECT_EQ(page_->capturedKey(), keys::kCodeLeftWin);
  Click(kIdOk);
  EXPECT_EQ(Record(0, 0x01E), (KeyAssignment{keys::kKindKey, 0, keys::kCodeLeftWin}));
}

TEST_F(KeyPageTest, NoRecordIsStoredWithoutACurrentProfile) {
  host_.profile = -1;
  ASSERT_TRUE(page_->Begin(kButtonA));
  Tap(0x030);
  Click(kIdOk);
  for (std::size_t slot = 0; slot < keys::kProfileSlots; ++slot) EXPECT_EQ(Record(slot, 0x01E).kind, 0);
}

TEST_F(KeyPageTest, LanguageChangeReloadsTexts) {
  ASSERT_TRUE(page_->Begin(kButtonA));
  EXPECT_EQ(page_->button(kIdOk)->text(), QString::fromStdString(texts_.LookupText("MACRO_OK", 0)));
  settings_.WriteDword("dwLanguageId", 1036);
  page_->OnLanguageChanged(3);
  EXPECT_EQ(page_->button(kIdCancel)->text(), QString::fromStdString(texts_.LookupText("MACRO_CANCLE", 3)));
  EXPECT_EQ(page_->mouseFunctions()->itemText(0),
            QString::fromStdString(texts_.LookupText("IDS_KEYBOARD_MOU_LEFT", 3)));
}

TEST(KeyPagePlacement, NextToTheButtonWhereItFits) {
  const QRect screen(0, 0, 1000, 800);
  const QSize page(300, 200);
  EXPECT_EQ(KeyPagePosition(QRect(100, 100, 40, 40), page, screen), QPoint(140, 140));
  EXPECT_EQ(KeyPagePosition(QRect(100, 700, 40, 40), page, screen), QPoint(140, 500));   // above, right
  EXPECT_EQ(KeyPagePosition(QRect(800, 100, 40, 40), page, screen), QPoint(500, 140));   // left, below
  EXPECT_EQ(KeyPagePosition(QRect(800, 700, 40, 40), page, screen), QPoint(500, 500));   // left, above
  EXPECT_EQ(KeyPagePosition(QRect(100, 100, 40, 40), QSize(990, 790), screen), QPoint(140, 140));
}

}  // namespace
}  // namespace vantrel::ui::test
