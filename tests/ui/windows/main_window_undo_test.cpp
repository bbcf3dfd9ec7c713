// Undo and Redo in the main window against the virtual keyboard: the shortcuts and the
// menu entries, the key page's OK as one step, a slider drag as one step, and the key
// picture, the lighting panel and the keyboard following each step.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>

#include <filesystem>
#include <memory>

#include "core/keys/key_codes.h"
#include "core/keys/keyboard_layout.h"
#include "core/lighting/lighting_record.h"
#include "core/profiles/undo_history.h"
#include "sim/virtual_keyboard.h"
#include "ui/skin/bitmap_slider.h"
#include "ui/ui_test_app.h"
#include "ui/windows/control_ids.h"
#include "ui/windows/fake_ui_services.h"
#include "ui/windows/file_menu.h"
#include "ui/windows/key_page.h"
#include "ui/windows/lighting_panel.h"
#include "ui/windows/main_window.h"
#include "ui/windows/program_options.h"
#include "ui/windows/undo_actions.h"

namespace vantrel::ui {
namespace {

using test::ProcessUntil;

class UndoWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::App();
    dir_ = std::filesystem::temp_directory_path() /
           ("vantrel_undo_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    core_ = std::make_unique<AppCore>(test::SimulatedProgramOptions(dir_));
    std::string error;
    ASSERT_TRUE(core_->OpenDevice(&error)) << error;
    window_ = std::make_unique<CVantrelDlg>(*core_, sink_, files_);
    window_->SetKeyPageModal(false);
    window_->InitDialog();
    window_->Start(nullptr);  // no tray: the window is shown
    ASSERT_TRUE(ProcessUntil([this] { return window_->InitDone(); }));
    Settle();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }
  void TearDown() override {
    if (window_ && !window_->Closing()) window_->CloseProgram();
    window_.reset();
    core_.reset();
    std::filesystem::remove_all(dir_);
  }

  void Settle() {
    test::SettleProgram(*core_, [this] { return window_ && window_->Panel() && window_->Panel()->Busy(); });
  }
  // A key combination pressed in the main window, the active window as the user has it.
  void Press(QKeySequence keys) {
    // The closed key page may still be the active window where no window manager runs.
    ASSERT_TRUE(ProcessUntil([this] {
      window_->activateWindow();
      return QApplication::activeWindow() == window_.get();
    }));
    const QKeyCombination combination = keys[0];
    QTest::keyClick(window_.get(), combination.key(), combination.keyboardModifiers());
    Settle();
  }
  const KeyLook& Look(int controlId) { return window_->Controller().Picture().Find(controlId)->look; }
  std::uint8_t KeyboardLightingByte(int profile, std::size_t offset) {
    return core_->Stack().Simulator()->WithKeyboard(
        [&](const sim::VirtualKeyboard& k) { return k.Lighting()[42 * static_cast<std::size_t>(profile) + offset]; });
  }
  // A drag of the brightness slider from its position to `to`, one position at a time.
  void DragBrightness(int to) {
    auto* slider = static_cast<CBitmapSlider*>(window_->Panel()->Control(panel_id::kBrightnessSlider));
    const auto at = [slider](int position) {
      const int track = slider->width() - 20;
      return QPoint(10 + (track - 1) * position / slider->maximum(), slider->height() / 2);
    };
    const auto send = [slider](QEvent::Type type, QPoint point, Qt::MouseButtons held) {
      QMouseEvent event(type, point, slider->mapToGlobal(point), Qt::LeftButton, held, Qt::NoModifier);
      QApplication::sendEvent(slider, &event);
    };
    int position = slider->pos();
    send(QEvent::MouseButtonPress, at(position), Qt::LeftButton);
    while (position != to) {
      position += to > position ? 1 : -1;
      send(QEvent::MouseMove, at(position), Qt::LeftButton);
      Settle();
    }
    send(QEvent::MouseButtonRelease, at(position), Qt::NoButton);
    Settle();
  }
  QString MenuText(const char* key, const std::string& step) {
    return QString::fromStdString(core_->Texts().Text(key)).replace("%s", QString::fromStdString(step));
  }

  std::filesystem::path dir_;
  test::FakeMessageSink sink_;
  test::FakeFileChooser files_;
  std::unique_ptr<AppCore> core_;
  std::unique_ptr<CVantrelDlg> window_;
};

TEST_F(UndoWindowTest, TheKeyPagesOkIsOneStepTheShortcutsTakeBackAndDoAgain) {
  const auto& key = keys::OrdinaryLayoutKeys()[0];
  UndoActions& actions = *window_->Undo();
  EXPECT_FALSE(actions.UndoAction()->isEnabled());
  EXPECT_FALSE(actions.RedoAction()->isEnabled());
  EXPECT_EQ(actions.UndoAction()->text(), QString::fromStdString(core_->Texts().Text("MENU_UNDO_NONE")));

  // Media key 2 on the first key, with the page's OK.
  window_->OpenKeyPage(key.controlId);
  Vantrel_DlgComposite* page = window_->KeyPage();
  ASSERT_NE(page, nullptr);
  page->button(kIdTabMedia)->click();
  page->mediaList()->setCurrentRow(2);
  page->button(kIdOk)->click();
  Settle();
  ASSERT_TRUE(Look(key.controlId).assigned);
  const QString assigned = Look(key.controlId).tooltip;
  const std::string step = window_->Controller().UndoName();
  EXPECT_NE(step.find(keys::KeyDisplayName(key.code, core_->Texts())), std::string::npos) << step;
  EXPECT_NE(step.find(core_->Texts().Text("PROFILE_1")), std::string::npos) << step;
  EXPECT_TRUE(actions.UndoAction()->isEnabled());
  EXPECT_EQ(actions.UndoAction()->text(), MenuText("MENU_UNDO", step));

  // The key picture follows each step, and Apply takes what is shown to the keyboard.
  struct Stroke {
    QKeySequence keys;
    bool assigned;
  };
  for (const Stroke& s : {Stroke{QKeySequence(Qt::CTRL | Qt::Key_Z), false},
                          Stroke{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), true},
                          Stroke{QKeySequence(Qt::CTRL | Qt::Key_Z), false},
                          Stroke{QKeySequence(Qt::CTRL | Qt::Key_Y), true}}) {
    SCOPED_TRACE(s.keys.toString().toStdString());
    Press(s.keys);
    EXPECT_EQ(Look(key.controlId).assigned, s.assigned);
    EXPECT_TRUE(window_->Controller().ApplyPending());
  }
  EXPECT_EQ(Look(key.controlId).tooltip, assigned);
  Press(QKeySequence(Qt::CTRL | Qt::Key_Z));
  EXPECT_EQ(actions.RedoAction()->text(), MenuText("MENU_REDO", step));
  window_->Button(ids::kApply)->click();
  ASSERT_TRUE(ProcessUntil([this] { return !window_->Controller().ApplyPending(); }));
  keys::StoreImage keyboard;
  ASSERT_TRUE(test::ReadKeyboard(*core_, keyboard));
  EXPECT_EQ(keyboard.table.Record(0, keys::KeyIndexOfCode(key.code)).kind, keys::kKindFactory);
  EXPECT_FALSE(actions.UndoAction()->isEnabled());
  EXPECT_TRUE(actions.RedoAction()->isEnabled());
}

TEST_F(UndoWindowTest, ASliderDragIsOneStepWrittenBackToTheKeyboard) {
  window_->Panel()->ToggleLamp();
  Settle();
  ASSERT_TRUE(window_->Panel()->IsOpen());
  const int before = window_->Panel()->View().brightness;
  const int to = before >= 2 ? 0 : 4;
  DragBrightness(to);
  ASSERT_EQ(KeyboardLightingByte(0, lighting::kRecBrightness), to);
  EXPECT_EQ(window_->Controller().UndoName(),
            profiles::StepName(core_->Texts(), profiles::StepWhat::Lighting, 0));

  Press(QKeySequence(Qt::CTRL | Qt::Key_Z));
  EXPECT_EQ(KeyboardLightingByte(0, lighting::kRecBrightness), before) << "the whole drag goes back";
  EXPECT_EQ(window_->Panel()->View().brightness, before);
  EXPECT_FALSE(window_->Controller().CanUndo());
  EXPECT_FALSE(window_->Controller().ApplyPending()) << "a lighting step is written, not pending";

  Press(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  EXPECT_EQ(KeyboardLightingByte(0, lighting::kRecBrightness), to);
  EXPECT_EQ(window_->Panel()->View().brightness, to);
}

// The menu with its entries open, for review.
TEST_F(UndoWindowTest, TheMenuShowsTheStepsName) {
  window_->Panel()->ToggleLamp();
  Settle();
  DragBrightness(window_->Panel()->View().brightness >= 2 ? 0 : 4);
  window_->ShowFileMenu();
  QMenu* menu = window_->BackupMenu()->Menu();
  ASSERT_TRUE(ProcessUntil([menu] { return menu->isVisible(); }));
  QAction* undo = window_->Undo()->UndoAction();
  EXPECT_TRUE(menu->actions().contains(undo));
  EXPECT_TRUE(undo->isEnabled());
  EXPECT_EQ(undo->text(), MenuText("MENU_UNDO", profiles::StepName(core_->Texts(), profiles::StepWhat::Lighting, 0)));
  EXPECT_FALSE(window_->Undo()->RedoAction()->isEnabled());
  const QString folder = QDir(VANTREL_BIN_DIR).filePath("../screenshots");
  QDir().mkpath(folder);
  EXPECT_TRUE(menu->grab().save(QDir(folder).filePath("main_window_undo_menu.png")));
  // On a real display, the window with its menu open as the user sees them.
  if (QGuiApplication::platformName() == "xcb") {
    QTest::qWait(300);
    EXPECT_TRUE(QGuiApplication::primaryScreen()->grabWindow(0).save(QDir(folder).filePath("main_window_undo_menu_x11.png")));
  }
  menu->hide();
}

}  // namespace
}  // namespace vantrel::ui
