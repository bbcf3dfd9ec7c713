// "Type text..." on the key page's macro tab: the desktop's layout chosen, the live preview
// and the characters refused, the steps added after the selected step and written to the
// virtual keyboard; pictures of the dialog in English and French for review
// (build/screenshots/type_text).
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "core/keys/xkb_layout.h"
#include "key_page_harness.h"
#include "platform/scoped_env.h"
#include "ui/skin/report_ctrl.h"
#include "ui/windows/type_text_dialog.h"

namespace vantrel::ui::test {
namespace {

using keys::MacroAction;
using platform::ScopedEnv;

constexpr std::uint16_t kA = 0x01E, kY = 0x015, kQ = 0x010, kZ = 0x02C, kTwo = 0x003;

std::filesystem::path DesktopConfigFolder() {
  const auto dir = std::filesystem::temp_directory_path() / ("vantrel-type-text-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "kxkbrc") << "[Layout]\nLayoutList=de,us\nUse=true\n";
  return dir;
}

// The key page over a desktop whose layout is de (KDE's settings file, no X server).
class TypeTextDialogTest : public KeyPageTest {
 protected:
  void SetUp() override {
    for (const char* layout : {"us", "de"}) {
      if (!keys::CompileLayoutCharacters({layout, ""})) GTEST_SKIP() << "the XKB layout " << layout << " is missing";
    }
  }
  MacroEditor& Editor() { return page_->macroEditor(); }
  // G1's macro tab with a macro of two steps, the first selected.
  void OpenMacro(std::vector<MacroAction> steps = {{50, kA, keys::kPress}, {50, kA, keys::kRelease}}) {
    {
      keys::EditingStore::Lock lock(editing_);
      lock->macros.push_back(keys::NewMacro(u"Mail", 1));
      lock->macros[0].SetActions(steps);
    }
    ASSERT_TRUE(page_->Begin(1000));
    Click(kIdTabMacro);
    Editor().actionList()->SetItemState(0, kRowSelected, kRowSelected);
  }
  // Opens the dialog and waits until the desktop's layout is in and compiled.
  TypeTextDialog* OpenDialog() {
    Click(kIdTypeText);
    TypeTextDialog* dialog = Editor().typeTextDialog();
    EXPECT_NE(dialog, nullptr);
    if (dialog) {
      EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->ready(); }, 10000));
    }
    return dialog;
  }
  static void Choose(TypeTextDialog& dialog, const QString& layout) {
    const int index = dialog.layoutBox()->findData(layout);
    ASSERT_GE(index, 0) << layout.toStdString();
    dialog.layoutBox()->setCurrentIndex(index);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.ready(); }, 10000));
  }
  static QString PreviewCell(TypeTextDialog& dialog, int row, int column) {
    auto* item = dialog.preview()->topLevelItem(row);
    return item ? item->text(column) : QString();
  }
  void Save(QWidget& w, const QString& name) {
    const QString dir = QString(VANTREL_BIN_DIR) + "/../screenshots/type_text";
    ASSERT_TRUE(QDir().mkpath(dir));
    QApplication::processEvents();
    EXPECT_TRUE(w.grab().save(dir + "/" + name + ".png"));
  }

  ScopedEnv session_{"XDG_SESSION_TYPE", "wayland"};
  ScopedEnv desktop_{"XDG_CURRENT_DESKTOP", "KDE"};
  ScopedEnv display_{"DISPLAY", nullptr};
  ScopedEnv config_{"XDG_CONFIG_HOME", DesktopConfigFolder().c_str()};
};

TEST_F(TypeTextDialogTest, DesktopLayoutPreviewRefusalsAndStepsAddedAfterTheSelectedStep) {
  OpenMacro();
  TypeTextDialog* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->layoutName(), "de");
  EXPECT_TRUE(dialog->layoutBox()->currentText().contains("de"));
  EXPECT_FALSE(dialog->okButton()->isEnabled());

  // The preview follows the text as it is typed: on de z is the key of Y, @ is AltGr+Q.
  QTest::keyClicks(dialog->textEdit(), "z@");
  ASSERT_EQ(dialog->preview()->topLevelItemCount(), 6);
  EXPECT_EQ(PreviewCell(*dialog, 0, 0), QString::fromStdString(Text("IDS_KEYBOARD_Y")));
  EXPECT_EQ(PreviewCell(*dialog, 2, 0), QString::fromStdString(Text("IDS_KEYBOARD_RALT")));
  EXPECT_EQ(PreviewCell(*dialog, 5, 1), QStringLiteral("  \u2191"));
  EXPECT_EQ(PreviewCell(*dialog, 5, 2), "10");
  EXPECT_TRUE(dialog->okButton()->isEnabled());
  EXPECT_TRUE(dialog->problems()->isHidden());

  // "<" is on the key left of Z, which this keyboard lacks; "€" is AltGr+E on de.
  QTest::keyClicks(dialog->textEdit(), "<");
  EXPECT_FALSE(dialog->okButton()->isEnabled());
  EXPECT_FALSE(dialog->problems()->isHidden());
  EXPECT_TRUE(dialog->problems()->text().contains("character 3: U+003C \"<\" needs a key this keyboard does not have"))
      << dialog->problems()->text().toStdString();
  EXPECT_EQ(dialog->preview()->topLevelItemCount(), 6);  // what the rest would type
  QTest::keyClick(dialog->textEdit(), Qt::Key_Backspace);
  EXPECT_TRUE(dialog->okButton()->isEnabled());

  QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
  const std::vector<MacroAction> expected = {
      {50, kA, keys::kPress},          {10, kY, keys::kPress},  {10, kY, keys::kRelease},
      {10, keys::kCodeRightAlt, keys::kPress}, {10, kQ, keys::kPress}, {10, kQ, keys::kRelease},
      {10, keys::kCodeRightAlt, keys::kRelease}, {50, kA, keys::kRelease}};
  EXPECT_EQ(Editor().actions(), expected);
  EXPECT_EQ(Editor().actionList()->GetItemCount(), 8);
  EXPECT_EQ(Editor().actionList()->GetSelectedRow(), 6);

  // Saved with the page and written to the keyboard like any other steps.
  Click(kIdOk);
  ASSERT_TRUE(ApplyToKeyboard());
  const keys::StoreImage back = ReadBack();
  ASSERT_EQ(back.macros.size(), 1u);
  EXPECT_EQ(back.macros[0].Actions(), expected);
}

TEST_F(TypeTextDialogTest, AnotherLayoutTypesOtherKeysAndCancelAddsNothing) {
  OpenMacro();
  TypeTextDialog* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  QTest::keyClicks(dialog->textEdit(), "z@");
  Choose(*dialog, "us");
  ASSERT_EQ(dialog->preview()->topLevelItemCount(), 6);
  EXPECT_EQ(dialog->steps(), (std::vector<MacroAction>{{10, kZ, keys::kPress}, {10, kZ, keys::kRelease},
                                                       {10, keys::kCodeLeftShift, keys::kPress},
                                                       {10, kTwo, keys::kPress}, {10, kTwo, keys::kRelease},
                                                       {10, keys::kCodeLeftShift, keys::kRelease}}));
  dialog->textEdit()->insertPlainText(QStringLiteral("\u20AC"));  // typed as the desktop gives it
  EXPECT_TRUE(dialog->problems()->text().contains("U+20AC")) << dialog->problems()->text().toStdString();
  EXPECT_TRUE(dialog->steps().empty());
  Choose(*dialog, "de");
  EXPECT_TRUE(dialog->okButton()->isEnabled());
  // A change of language keeps the layout chosen and the text.
  settings_.WriteDword("dwLanguageId", 0x40C);
  page_->OnLanguageChanged(3);
  EXPECT_EQ(dialog->windowTitle(), QString::fromStdString(texts_.LookupText("TYPE_TEXT_TITLE", 3)));
  EXPECT_EQ(dialog->layoutName(), "de");
  EXPECT_TRUE(dialog->okButton()->isEnabled());
  QTest::keyClick(dialog, Qt::Key_Escape);
  EXPECT_EQ(Editor().actions().size(), 2u);
}

TEST_F(TypeTextDialogTest, TheMacroNeverGrowsBeyondItsSteps) {
  OpenMacro(std::vector<MacroAction>(keys::kMaxActions - 4, MacroAction{10, kA, keys::kPress}));
  TypeTextDialog* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  QTest::keyClicks(dialog->textEdit(), "ab");
  EXPECT_TRUE(dialog->okButton()->isEnabled());
  QTest::keyClicks(dialog->textEdit(), "c");
  EXPECT_FALSE(dialog->okButton()->isEnabled());
  EXPECT_TRUE(dialog->problems()->text().contains(QString::number(keys::kMaxActions + 2)))
      << dialog->problems()->text().toStdString();
}

TEST_F(TypeTextDialogTest, PicturesInEnglishAndFrench) {
  OpenMacro();
  for (const auto& [language, id, index] : {std::tuple{"en", 0x409u, 0}, std::tuple{"fr", 0x40Cu, 3}}) {
    settings_.WriteDword("dwLanguageId", id);
    page_->OnLanguageChanged(index);
    Save(*page_, QString("macro_tab_") + language);
    TypeTextDialog* dialog = OpenDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->textEdit()->insertPlainText(QStringLiteral("Gr\u00FC\u00DFe <3"));
    EXPECT_FALSE(dialog->problems()->isHidden());
    EXPECT_EQ(dialog->windowTitle(), QString::fromStdString(texts_.LookupText("TYPE_TEXT_TITLE", index)));
    Save(*dialog, QString("type_text_de_refused_") + language);
    dialog->reject();
    QApplication::processEvents();
  }
}

}  // namespace
}  // namespace vantrel::ui::test
