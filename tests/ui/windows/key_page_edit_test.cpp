// The macro editor's step list and name box under the ways a session really ends: cells
// left open by a tab or macro switch, a message box during which the keyboard goes away,
// duplicate names, delays as the keyboard keeps them, the list's columns; and the page's
// title and key chooser in the current language.
#include <QComboBox>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>

#include <functional>

#include "core/text/safe_format.h"
#include "key_page_harness.h"
#include "ui/skin/color_static.h"
#include "ui/skin/report_ctrl.h"
#include "ui/windows/key_chooser.h"

namespace vantrel::ui::test {
namespace {

using keys::MacroAction;

// Records like FakeMessageSink and runs `during` while a message is up, as the event loop
// of a real message box would run whatever arrives meanwhile.
class LoopingMessageSink final : public text::MessageSink {
 public:
  void ShowMessage(std::string_view text) override {
    messages.emplace_back(text);
    if (auto f = std::exchange(during, nullptr)) f();
  }
  bool AskYesNo(std::string_view text, bool) override {
    questions.emplace_back(text);
    return false;
  }
  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::function<void()> during;
};

std::vector<MacroAction> Steps(std::size_t count, std::int32_t delay) {
  std::vector<MacroAction> steps;
  for (std::size_t i = 0; i < count; ++i)
    steps.push_back({delay, static_cast<std::uint16_t>(0x010 + i % 20), static_cast<std::uint16_t>(i % 2)});
  return steps;
}

class MacroEditTest : public KeyPageTest {
 protected:
  // Macros "Alpha" (id 1, on G1) and "Beta" (id 2, on G2), already saved.
  void StoreTwoMacros(std::vector<MacroAction> alpha, std::vector<MacroAction> beta) {
    keys::EditingStore::Lock lock(editing_);
    for (auto [name, id, steps] : {std::tuple{u"Alpha", 1, alpha}, std::tuple{u"Beta", 2, beta}}) {
      keys::MacroRecord m = keys::NewMacro(name, static_cast<std::uint16_t>(id));
      m.SetNewFlag(0);
      m.SetActions(steps);
      lock->macros.push_back(m);
      keys::StoreKeyAssignment(lock.Image(), 0, static_cast<std::uint16_t>(255 + id),
                               {keys::kKindMacro, 1, id});
    }
  }
  keys::MacroRecord StoredMacro(std::size_t position) {
    keys::EditingStore::Lock lock(editing_);
    return lock->macros.at(position);
  }
  static void TypeDelay(Vantrel_DlgComposite& page, int row, const QString& text) {
    ASSERT_TRUE(page.macroEditor().actionList()->EditCell(row, 2) || page.macroEditor().cellEditor());
    auto* edit = qobject_cast<QLineEdit*>(page.macroEditor().cellEditor());
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }
  MacroEditor& Editor() { return page_->macroEditor(); }
};

TEST_F(MacroEditTest, CellsLeftOpenByATabOrMacroSwitchAreKept) {
  StoreTwoMacros(Steps(2, 50), Steps(1, 50));
  ASSERT_TRUE(page_->Begin(1000));
  // A key chosen in the drop-down, then the multimedia tab and back.
  Editor().actionList()->EditCell(0, 0);
  auto* keysBox = qobject_cast<QComboBox*>(Editor().cellEditor());
  ASSERT_NE(keysBox, nullptr);
  keysBox->setCurrentIndex(106);  // right Shift
  Click(kIdTabMedia);
  EXPECT_EQ(Editor().cellEditor(), nullptr);
  Click(kIdTabMacro);
  EXPECT_EQ(Editor().actions()[0].code, keys::kCodeRightShift);

  // A delay typed but not confirmed, then the other macro chosen in the name box.
  TypeDelay(*page_, 1, "120");
  Editor().nameBox()->list()->setCurrentRow(1);
  ASSERT_EQ(Editor().selectedMacroId(), 2);
  EXPECT_EQ(Editor().macros()[0].Actions()[1].delay, 120);
  EXPECT_EQ(Editor().macros()[0].Actions()[0].code, keys::kCodeRightShift);
  Click(kIdOk);
  EXPECT_EQ(StoredMacro(0).Actions()[1].delay, 120);
  EXPECT_EQ(StoredMacro(1).Actions(), Steps(1, 50));
}

// The message about a delay above 40000 ms is up when the keyboard goes away: the main
// window closes the page keeping its edits, and by the time the message is answered the
// user may have opened the page again on another macro.
TEST_F(MacroEditTest, KeyboardGoneDuringTheDelayMessageLeavesTheReopenedPageAlone) {
  StoreTwoMacros(Steps(2, 50), Steps(300, 70));
  LoopingMessageSink sink;
  Vantrel_DlgComposite page(editing_, texts_, sink, strings_, host_, QString(VANTREL_BIN_DIR) + "/Skins",
                            &mainWindow_);
  ASSERT_TRUE(page.Begin(1000));
  sink.during = [&] {
    page.CloseKeepingEdits();
    ASSERT_TRUE(page.Begin(1001));  // Beta's 300 steps take the rows' place
  };
  TypeDelay(page, 1, "40005");
  QTest::keyClick(page.macroEditor().cellEditor(), Qt::Key_Return);
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0], text::FormatWithNumber(Text("MACRO_ACTION_ERR_DELAY_MAX"), 40000));
  // The clamped delay was stored when the page closed; Beta is shown as it is.
  EXPECT_EQ(StoredMacro(0).Actions()[1].delay, 40000);
  EXPECT_EQ(page.macroEditor().selectedMacroId(), 2);
  EXPECT_EQ(page.macroEditor().actions(), Steps(300, 70));
  EXPECT_FALSE(page.changed());
  page.ClosePage();
}

TEST_F(MacroEditTest, KeyboardGoneDuringTheDelayMessageOfOkKeepsTheStoresMacros) {
  StoreTwoMacros(Steps(2, 50), Steps(3, 50));
  LoopingMessageSink sink;
  Vantrel_DlgComposite page(editing_, texts_, sink, strings_, host_, QString(VANTREL_BIN_DIR) + "/Skins",
                            &mainWindow_);
  ASSERT_TRUE(page.Begin(1000));
  sink.during = [&] { page.CloseKeepingEdits(); };
  TypeDelay(page, 0, "99999");
  page.button(kIdOk)->click();  // OK finishes the open cell first
  EXPECT_FALSE(page.isVisible());
  ASSERT_EQ(sink.messages.size(), 1u);
  {
    keys::EditingStore::Lock lock(editing_);
    ASSERT_EQ(lock->macros.size(), 2u);
    EXPECT_EQ(lock->macros[0].Actions()[0].delay, 40000);
    EXPECT_EQ(lock->macros[1].Actions(), Steps(3, 50));
    EXPECT_EQ(lock->table.Record(0, 256), (keys::KeyAssignment{keys::kKindMacro, 1, 1}));
    EXPECT_EQ(lock->table.Record(0, 257), (keys::KeyAssignment{keys::kKindMacro, 1, 2}));
  }
  EXPECT_EQ(page.openCount(), 0);
}

TEST_F(MacroEditTest, RenamingToAnotherMacrosNameIsRefused) {
  StoreTwoMacros({}, {});
  ASSERT_TRUE(page_->Begin(1001));  // Beta selected
  QLineEdit* name = Editor().nameBox()->edit();
  name->selectAll();
  QTest::keyClicks(name, "ALPHA");  // letter case does not make it another name
  ASSERT_EQ(sink_.messages.size(), 1u);
  EXPECT_EQ(sink_.messages[0], Text("MACRO_ERR_SAME"));
  EXPECT_EQ(Editor().macros()[1].Name(), u"ALPH");
  EXPECT_EQ(name->text(), "ALPH");
  EXPECT_EQ(Editor().nameBox()->list()->item(1)->text(), "ALPH");
  // Its own name in another case is not another macro's.
  name->selectAll();
  QTest::keyClicks(name, "alph");
  EXPECT_EQ(sink_.messages.size(), 1u);
  Click(kIdOk);
  EXPECT_EQ(StoredMacro(0).Name(), u"Alpha");
  EXPECT_EQ(StoredMacro(1).Name(), u"alph");
}

TEST_F(MacroEditTest, DelaysAreShownAsTheKeyboardKeepsThem) {
  StoreTwoMacros({{53, 0x01E, keys::kPress}, {7, 0x01E, keys::kRelease}, {40000, 0x030, keys::kPress}}, {});
  ASSERT_TRUE(page_->Begin(1000));
  auto* list = Editor().actionList();
  EXPECT_EQ(list->GetItemText(0, 2), "50");
  EXPECT_EQ(list->GetItemText(1, 2), "0");
  EXPECT_EQ(list->GetItemText(2, 2), "40000");
  list->EditCell(0, 2);
  auto* edit = qobject_cast<QLineEdit*>(Editor().cellEditor());
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->text(), "50");
}

TEST_F(MacroEditTest, StepColumnsFitTheListWithoutAHorizontalScrollBar) {
  StoreTwoMacros(Steps(60, 40000), {});  // a vertical scroll bar, the widest delays
  ASSERT_TRUE(page_->Begin(1000));
  QApplication::processEvents();
  auto* list = Editor().actionList();
  ASSERT_TRUE(list->isVisible());
  ASSERT_TRUE(list->verticalScrollBar()->isVisible());
  EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
  EXPECT_LE(list->header()->length(), list->viewport()->width());
  for (int column = 0; column < 3; ++column) {
    SCOPED_TRACE(column);
    const int widest = list->fontMetrics().horizontalAdvance(list->GetItemText(0, column));
    EXPECT_GE(list->columnWidth(column), widest);
  }
  // Also before any row needs scrolling.
  page_->ClosePage();
  ASSERT_TRUE(page_->Begin(1001));
  QApplication::processEvents();
  EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
  EXPECT_LE(list->header()->length(), list->viewport()->width());
}

TEST_F(KeyPageTest, TitleAndKeyChooserFollowTheKeyAndTheLanguage) {
  ASSERT_TRUE(page_->Begin(kButtonA));
  const QString keyName = QString::fromStdString(Text("IDS_KEYBOARD_A"));
  EXPECT_TRUE(page_->title()->text().startsWith(QString::fromStdString(Text("KEY_SETTING_TISHI"))));
  EXPECT_TRUE(page_->title()->text().endsWith(keyName));
  EXPECT_EQ(page_->windowTitle(), page_->title()->text());
  page_->ClosePage();
  ASSERT_TRUE(page_->Begin(1003));
  EXPECT_TRUE(page_->title()->text().endsWith("G4"));
  page_->ClosePage();
  ASSERT_TRUE(page_->Begin(kIdMacroButton));
  EXPECT_TRUE(page_->title()->text().startsWith(QString::fromStdString(Text("MACRO_EDIT_TISHI"))));
  EXPECT_TRUE(page_->title()->text().endsWith("G9"));
  page_->ClosePage();

  ASSERT_TRUE(page_->Begin(kButtonB));
  QPushButton* space = page_->keyChooser()->buttonFor(0x039);
  ASSERT_NE(space, nullptr);
  EXPECT_EQ(space->text(), QString::fromStdString(texts_.LookupText("IDS_KEYBOARD_SPACE", 0)));
  settings_.WriteDword("dwLanguageId", 1036);
  page_->OnLanguageChanged(3);
  EXPECT_EQ(space->text(), QString::fromStdString(texts_.LookupText("IDS_KEYBOARD_SPACE", 3)));
  EXPECT_EQ(space->toolTip(), space->text());
  EXPECT_TRUE(page_->title()->text().startsWith(QString::fromStdString(texts_.LookupText("KEY_SETTING_TISHI", 3))));
  EXPECT_TRUE(page_->title()->text().endsWith(QString::fromStdString(texts_.LookupText("IDS_KEYBOARD_B", 3))));
}

// Opened from G9 the page used to show three blank tabs: they keep their names, stay
// disabled, and their tooltip says why. For other keys they carry no such tooltip.
TEST_F(KeyPageTest, G9sPageNamesTheKindsItCannotTakeAndSaysWhy) {
  ASSERT_TRUE(page_->Begin(kIdMacroButton));
  ASSERT_TRUE(page_->macroOnly());
  const std::pair<int, const char*> tabs[] = {
      {kIdTabSingle, "SINGLE_KEY"}, {kIdTabMedia, "MULTI_MEDIA"}, {kIdTabFunction, "FUNCTION_KEY"}};
  for (const auto& [id, key] : tabs) {
    EXPECT_FALSE(page_->button(id)->isEnabled()) << key;
    EXPECT_EQ(page_->button(id)->text(), QString::fromStdString(Text(key)));
    EXPECT_EQ(page_->button(id)->tooltipText(), QString::fromStdString(Text("MACRO_ONLY_TAB_TIP")));
  }
  EXPECT_NE(Text("MACRO_ONLY_TAB_TIP"), "#Error");
  page_->ClosePage();
  ASSERT_TRUE(page_->Begin(kButtonA));
  for (const auto& [id, key] : tabs) {
    EXPECT_TRUE(page_->button(id)->isEnabled()) << key;
    EXPECT_TRUE(page_->button(id)->tooltipText().isEmpty()) << key;
  }
}

}  // namespace
}  // namespace vantrel::ui::test
