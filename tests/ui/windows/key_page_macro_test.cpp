// Recording and the macro editor on the key page's macro tab.
#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QPushButton>

#include "core/text/safe_format.h"
#include "core/text/utf16.h"
#include "key_page_harness.h"
#include "ui/skin/report_ctrl.h"
#include "ui/windows/key_chooser.h"

namespace vantrel::ui::test {
namespace {

using keys::MacroAction;

class MacroTabTest : public KeyPageTest {
 protected:
  MacroEditor& Editor() { return page_->macroEditor(); }
  // G1's page on the macro tab with one new macro selected.
  void OpenWithNewMacro() {
    ASSERT_TRUE(page_->Begin(1000));
    Click(kIdTabMacro);
    Click(kIdMacroAdd);
    ASSERT_EQ(Editor().macros().size(), 1u);
  }
  void StartRecording() {
    Click(kIdRecord);
    ASSERT_TRUE(Editor().recording());
  }
  void KeyAt(std::uint32_t at, std::uint16_t code, bool release, bool repeat = false) {
    now_ = at;
    Key(code, release, repeat);
  }
  QString Cell(int row, int column) { return Editor().actionList()->GetItemText(row, column); }
  // Types into the delay cell of a row and confirms with Enter.
  void EditDelay(int row, const QString& text) {
    Editor().actionList()->EditCell(row, 2);
    auto* edit = qobject_cast<QLineEdit*>(Editor().cellEditor());
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
  }
  void TypeCycles(const QString& text) {
    QLineEdit* cycles = Editor().cyclesEdit();
    cycles->selectAll();
    QTest::keyClicks(cycles, text);
  }
};

TEST_F(MacroTabTest, HoldingAKeyRecordsOnePressAndOneRelease) {
  OpenWithNewMacro();
  StartRecording();
  KeyAt(5100, 0x01E, false);
  for (int i = 0; i < 5; ++i) KeyAt(5600 + 30 * i, 0x01E, false, true);
  KeyAt(5800, 0x01E, true);
  EXPECT_EQ(Editor().actions(),
            (std::vector<MacroAction>{{50, 0x01E, keys::kPress}, {0, 0x01E, keys::kRelease}}));
  ASSERT_EQ(Editor().actionList()->GetItemCount(), 2);
  EXPECT_EQ(Cell(0, 0), QString::fromStdString(Text("IDS_KEYBOARD_A")));
  EXPECT_EQ(Cell(0, 1), QStringLiteral("\u2193"));
  EXPECT_EQ(Cell(1, 1), QStringLiteral("  \u2191"));
  EXPECT_EQ(Cell(0, 2), "50");
  // Volume keys go to the system and are not recorded.
  KeyAt(5900, 0x130, false);
  KeyAt(5950, 0x130, true);
  EXPECT_EQ(Editor().actions().size(), 2u);
}

TEST_F(MacroTabTest, MeasuredDelaysAndPrintScreenWithoutTwoPresses) {
  OpenWithNewMacro();
  Click(kIdRecordDelays);  // measured delays, stored for the next page
  EXPECT_EQ(Editor().recordDelayMode(), 1);
  EXPECT_EQ(strings_.Read("PROFILES", Text("MACRO_ACTION_RECORD_DELAY")), "1");
  StartRecording();
  // Into an empty list: the time before the first key is lost.
  KeyAt(5300, 0x01E, false);
  KeyAt(5420, 0x01E, true);
  // This platform delivers both halves of Print Screen: one press is recorded.
  KeyAt(5500, keys::kCodePrintScreen, false);
  KeyAt(5530, keys::kCodePrintScreen, true);
  EXPECT_EQ(Editor().actions(), (std::vector<MacroAction>{{120, 0x01E, keys::kPress},
                                                          {80, 0x01E, keys::kRelease},
                                                          {30, keys::kCodePrintScreen, keys::kPress},
                                                          {0, keys::kCodePrintScreen, keys::kRelease}}));
  // One that delivers only the release gets the press added.
  KeyAt(5600, keys::kCodePrintScreen, true);
  ASSERT_EQ(Editor().actions().size(), 6u);
  EXPECT_EQ(Editor().actions()[3].delay, 2);
  EXPECT_EQ(Editor().actions()[4], (MacroAction{70, keys::kCodePrintScreen, keys::kPress}));
  EXPECT_EQ(Editor().actionList()->GetItemCount(), 6);
  EXPECT_EQ(Cell(3, 2), "0");  // shown as the keyboard keeps it: in steps of 10 ms
}

TEST_F(MacroTabTest, FixedDelaysMouseClicksAndTheStopClick) {
  OpenWithNewMacro();
  EXPECT_EQ(Editor().recordDelayMode(), 0);
  StartRecording();
  EXPECT_FALSE(Editor().button(kIdMacroAdd)->isEnabled());
  EXPECT_FALSE(Editor().nameBox()->isEnabled());
  KeyAt(5100, 0x01D, false);
  KeyAt(7000, 0x02E, false);
  KeyAt(9000, 0x02E, true);
  // A click inside the program is recorded and still delivered.
  auto* caption = page_->findChild<QWidget*>("MARCO_NAME_SETTING");
  ASSERT_NE(caption, nullptr);
  QTest::mouseClick(caption, Qt::LeftButton);
  KeyAt(9500, 0x01D, true);
  // The click that stops recording is not recorded.
  Click(kIdRecord);
  EXPECT_FALSE(Editor().recording());
  EXPECT_TRUE(Editor().nameBox()->isEnabled());
  const std::vector<MacroAction> expected = {{50, 0x01D, keys::kPress},          {50, 0x02E, keys::kPress},
                                             {50, 0x02E, keys::kRelease},        {50, keys::kCodeMouseLeft, keys::kPress},
                                             {50, keys::kCodeMouseLeft, keys::kRelease}, {0, 0x01D, keys::kRelease}};
  EXPECT_EQ(Editor().actions(), expected);
  // Keys reach the page again.
  KeyAt(9600, 0x01E, false);
  EXPECT_EQ(Editor().actions().size(), expected.size());
}

TEST_F(MacroTabTest, RecordingInsertsAfterTheSelectedRow) {
  OpenWithNewMacro();
  StartRecording();
  KeyAt(5100, 0x01E, false);
  KeyAt(5200, 0x01E, true);
  Click(kIdRecord);
  Editor().actionList()->SetItemState(0, kRowSelected, kRowSelected);
  Click(kIdRecord);
  KeyAt(6000, 0x030, false);
  EXPECT_EQ(Editor().actions(), (std::vector<MacroAction>{{50, 0x01E, keys::kPress},
                                                          {50, 0x030, keys::kPress},
                                                          {0, 0x01E, keys::kRelease}}));
  EXPECT_EQ(Editor().actionList()->GetNextItem(-1, kRowSelected), 1);
  // Switching to another tab stops recording.
  Click(kIdTabMedia);
  EXPECT_FALSE(Editor().recording());
}

TEST_F(MacroTabTest, DelayCellsAreRoundedAndClamped) {
  OpenWithNewMacro();
  StartRecording();
  KeyAt(5100, 0x01E, false);
  KeyAt(5200, 0x01E, true);
  EditDelay(0, "15");
  EXPECT_FALSE(Editor().recording()) << "editing a delay stops recording";
  EXPECT_EQ(Editor().actions()[0].delay, 10);
  EXPECT_EQ(Cell(0, 2), "10");
  EXPECT_TRUE(sink_.messages.empty());
  EditDelay(1, "40005");
  ASSERT_EQ(sink_.messages.size(), 1u);
  EXPECT_EQ(sink_.messages[0], text::FormatWithNumber(Text("MACRO_ACTION_ERR_DELAY_MAX"), 40000));
  EXPECT_EQ(Editor().actions()[1].delay, 40000);
  EXPECT_EQ(Cell(1, 2), "40000");
}

TEST_F(MacroTabTest, KeyAndDirectionCellsUseDropDowns) {
  OpenWithNewMacro();
  StartRecording();
  KeyAt(5100, 0x01E, false);
  Click(kIdRecord);
  Editor().actionList()->EditCell(0, 0);
  auto* keysBox = qobject_cast<QComboBox*>(Editor().cellEditor());
  ASSERT_NE(keysBox, nullptr);
  EXPECT_EQ(keysBox->count(), static_cast<int>(keys::kAssignableKeyCount));
  EXPECT_EQ(keysBox->currentIndex(), 0);  // list id of A
  keysBox->setCurrentIndex(106);          // right Shift
  Editor().FinishCellEdit();
  EXPECT_EQ(Editor().actions()[0].code, keys::kCodeRightShift);
  Editor().actionList()->EditCell(0, 1);
  auto* direction = qobject_cast<QComboBox*>(Editor().cellEditor());
  ASSERT_NE(direction, nullptr);
  direction->setCurrentIndex(1);
  Editor().FinishCellEdit();
  EXPECT_EQ(Editor().actions()[0].direction, keys::kRelease);
  EXPECT_EQ(Cell(0, 1), QStringLiteral("  \u2191"));
  // A list id without a key stores code 0.
  Editor().actionList()->EditCell(0, 0);
  qobject_cast<QComboBox*>(Editor().cellEditor())->setCurrentIndex(97);
  Editor().FinishCellEdit();
  EXPECT_EQ(Editor().actions()[0].code, 0);
}

// The key drop-down opens as a list of about 20 rows, not as a menu as tall as the screen.
TEST_F(MacroTabTest, KeyDropDownShowsTwentyRows) {
  OpenWithNewMacro();
  StartRecording();
  KeyAt(5100, 0x01E, false);
  Click(kIdRecord);
  Editor().actionList()->EditCell(0, 0);
  auto* keysBox = qobject_cast<QComboBox*>(Editor().cellEditor());
  ASSERT_NE(keysBox, nullptr);
  keysBox->showPopup();
  QApplication::processEvents();
  QWidget* popup = keysBox->view()->window();
  ASSERT_TRUE(popup->isVisible());
  const int row = keysBox->view()->sizeHintForRow(0);
  ASSERT_GT(row, 0);
  EXPECT_LE(popup->height(), 21 * row + 16);
  EXPECT_GE(popup->height(), 18 * row);
  const QString dir = QString(VANTREL_BIN_DIR) + "/../screenshots/look";
  ASSERT_TRUE(QDir().mkpath(dir));
  EXPECT_TRUE(popup->grab().save(dir + "/macro_key_drop_down.png"));
  keysBox->hidePopup();
  Editor().FinishCellEdit();
}

TEST_F(MacroTabTest, CyclesFieldCorrections) {
  OpenWithNewMacro();
  TypeCycles("0");
  EXPECT_EQ(Editor().cyclesEdit()->text(), "1");
  TypeCycles("abc");
  EXPECT_EQ(Editor().cyclesEdit()->text(), "1");
  TypeCycles("300");
  EXPECT_EQ(Editor().cyclesEdit()->text(), "255");
  TypeCycles("42");
  Click(kIdOk);
  keys::EditingStore::Lock lock(editing_);
  ASSERT_EQ(lock->macros.size(), 1u);
  EXPECT_EQ(lock->macros[0].Cycles(), 42);
  EXPECT_EQ(lock->table.Record(0, 256), (keys::KeyAssignment{keys::kKindMacro, 42, lock->macros[0].Id()}));
}

TEST_F(MacroTabTest, MovingRowsAndEdgesStayPut) {
  OpenWithNewMacro();
  StartRecording();
  KeyAt(5100, 0x01E, false);
  KeyAt(5200, 0x030, false);
  KeyAt(5300, 0x02E, false);
  Click(kIdRecord);
  const auto original = Editor().actions();
  auto* list = Editor().actionList();
  list->SetItemState(0, kRowSelected, kRowSelected);
  Click(kIdStepUp);
  EXPECT_EQ(Editor().actions(), original);
  list->SetItemState(2, kRowSelected, kRowSelected);
  Click(kIdStepDown);
  EXPECT_EQ(Editor().actions(), original);
  Click(kIdStepTop);
  EXPECT_EQ(Editor().actions(), (std::vector<MacroAction>{original[2], original[0], original[1]}));
  EXPECT_EQ(list->GetNextItem(-1, kRowSelected), 0);
  Click(kIdStepDown);
  EXPECT_EQ(Editor().actions(), (std::vector<MacroAction>{original[0], original[2], original[1]}));
  Click(kIdStepBottom);
  EXPECT_EQ(Editor().actions(), original);
  EXPECT_EQ(list->GetNextItem(-1, kRowSelected), 2);
  EXPECT_EQ(Cell(2, 0), QString::fromStdString(Text("IDS_KEYBOARD_C")));
  Click(kIdStepDelete);
  EXPECT_EQ(Editor().actions().size(), 2u);
  // Clearing asks first; No keeps the steps.
  Click(kIdStepClear);
  EXPECT_EQ(sink_.questions.size(), 1u);
  EXPECT_EQ(Editor().actions().size(), 2u);
  sink_.answers.push_back(true);
  Click(kIdStepClear);
  EXPECT_TRUE(Editor().actions().empty());
  EXPECT_EQ(list->GetItemCount(), 0);
  // Applied, the macro has no steps.
  Click(kIdOk);
  keys::EditingStore::Lock lock(editing_);
  EXPECT_EQ(lock->macros.at(0).ActionCount(), 0u);
}

TEST_F(MacroTabTest, NamingRenameCancelAndDelete) {
  {
    keys::EditingStore::Lock lock(editing_);
    lock->macros.push_back(keys::NewMacro(u"Old", 1));
    lock->macros[0].SetNewFlag(0);
    keys::StoreKeyAssignment(lock.Image(), 0, 0x01E, {keys::kKindMacro, 1, 1});
  }
  ASSERT_TRUE(page_->Begin(1000));
  Click(kIdTabMacro);
  QLineEdit* name = Editor().nameBox()->edit();
  EXPECT_EQ(name->text(), "Old");
  name->selectAll();
  QTest::keyClicks(name, "New name");
  EXPECT_EQ(Editor().nameBox()->list()->item(0)->text(), "New name");
  Click(kIdCancel);
  {
    keys::EditingStore::Lock lock(editing_);
    EXPECT_EQ(lock->macros.at(0).Name(), u"Old");
  }

  // Deleting a macro keys use asks first.
  ASSERT_TRUE(page_->Begin(1000));
  Click(kIdTabMacro);
  Click(kIdMacroDelete);
  EXPECT_EQ(sink_.questions.size(), 1u);
  EXPECT_EQ(Editor().macros().size(), 1u);
  sink_.answers.push_back(true);
  Click(kIdMacroDelete);
  EXPECT_TRUE(Editor().macros().empty());
  // With an empty list, typing a name creates a macro.
  QTest::keyClicks(Editor().nameBox()->edit(), "Fresh");
  ASSERT_EQ(Editor().macros().size(), 1u);
  EXPECT_EQ(Editor().macros()[0].Name(), u"Fresh");
  Click(kIdOk);
  keys::EditingStore::Lock lock(editing_);
  ASSERT_EQ(lock->macros.size(), 1u);
  EXPECT_EQ(lock->macros[0].Name(), u"Fresh");
  EXPECT_EQ(lock->macros[0].NewFlag(), 0);
  // The key that played the deleted macro now plays nothing of it.
  EXPECT_EQ(lock->table.Record(0, 0x01E).kind, keys::kKindFactory);
}

TEST_F(MacroTabTest, KeyChooserKeysAreRecordedAsAPressAndARelease) {
  OpenWithNewMacro();
  StartRecording();
  Click(kIdOsk);
  ASSERT_TRUE(page_->keyChooser()->isVisible());
  QTest::mouseClick(page_->keyChooser()->buttonFor(keys::kCodeLeftWin), Qt::LeftButton);
  EXPECT_EQ(Editor().actions(), (std::vector<MacroAction>{{50, keys::kCodeLeftWin, keys::kPress},
                                                          {0, keys::kCodeLeftWin, keys::kRelease}}));
}

TEST_F(MacroTabTest, RecordedMacroOnG1SurvivesApplyAndReadBack) {
  OpenWithNewMacro();
  StartRecording();
  KeyAt(5100, 0x02A, false);
  KeyAt(5150, 0x01E, false);
  KeyAt(5200, 0x01E, true);
  KeyAt(5250, 0x02A, true);
  Click(kIdRecord);
  const auto recorded = Editor().actions();
  ASSERT_EQ(recorded.size(), 4u);
  TypeCycles("3");
  Click(kIdOk);
  ASSERT_TRUE(ApplyToKeyboard());
  EXPECT_TRUE(sink_.messages.empty());

  const keys::StoreImage back = ReadBack();
  ASSERT_EQ(back.macros.size(), 1u);
  EXPECT_EQ(back.macros[0].Actions(), recorded);
  EXPECT_EQ(back.macros[0].Cycles(), 3);
  {
    keys::EditingStore::Lock lock(editing_);
    EXPECT_EQ(back.macros[0].Name(), lock->macros[0].Name());
  }
  EXPECT_EQ(back.table.Record(0, 256).kind, keys::kKindMacro);
  EXPECT_EQ(back.table.Record(0, 256).code, 1);
}

}  // namespace
}  // namespace vantrel::ui::test

namespace vantrel::ui::test {
namespace {

// The symbol buttons (✕, ⌨, +, −) keep the symbol as their picture; what they do is their
// tooltip and their accessible name.
TEST_F(MacroTabTest, SymbolButtonsSayWhatTheyDo) {
  ASSERT_TRUE(page_->Begin(1000));
  Click(kIdTabMacro);
  const std::pair<CPngButton*, const char*> symbols[] = {{Editor().button(kIdMacroAdd), "MACRO_ADD_PROMPT"},
                                                         {Editor().button(kIdMacroDelete), "MACRO_DELETE_PROMPT"},
                                                         {Editor().button(kIdStepClear), "A_CLEAR"},
                                                         {page_->button(kIdClear), "COMPOSITE_PROMPT_CLEAR"},
                                                         {page_->button(kIdOsk), "COMPOSITE_PROMPT_OSK"}};
  for (const auto& [button, key] : symbols) {
    ASSERT_NE(button, nullptr) << key;
    const QString text = QString::fromStdString(Text(key));
    EXPECT_FALSE(text.isEmpty()) << key;
    EXPECT_EQ(button->tooltipText(), text) << key;
    EXPECT_EQ(button->accessibleName(), text) << key;
    EXPECT_EQ(button->text().size(), 1) << key;  // still the symbol
  }
}

}  // namespace
}  // namespace vantrel::ui::test
