// The windows from the keyboard alone and through the accessibility interfaces a screen
// reader uses: tab order, arrows between key buttons by their place, Enter and Escape, and
// the names, descriptions and roles of the skinned controls.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <memory>

#include "core/keys/key_codes.h"
#include "core/keys/keyboard_layout.h"
#include "sim/simulated_hid_service.h"
#include "ui/skin/bitmap_slider.h"
#include "ui/skin/png_button.h"
#include "ui/skin/report_ctrl.h"
#include "ui/skin/skin_accessibility.h"
#include "ui/skin/skin_color_btn.h"
#include "ui/ui_test_app.h"
#include "ui/windows/fake_ui_services.h"
#include "ui/windows/main_window.h"
#include "ui/windows/program_options.h"
#include "ui/windows/tray.h"

namespace vantrel::ui {
namespace {

// ---- geometry of arrow moves ----

TEST(ArrowNavigation, NearestKeyInEachDirectionPrefersTheSameRow) {
  // Two rows of 40 px keys, the lower one shifted by half a key, and a wide key below.
  const std::vector<QRect> keys{QRect(0, 0, 40, 40),    QRect(40, 0, 40, 40),   QRect(80, 0, 40, 40),
                                QRect(20, 40, 40, 40),  QRect(60, 40, 40, 40),  QRect(0, 80, 200, 40)};
  const QRect from = keys[1];
  auto others = keys;
  others.erase(others.begin() + 1);  // indices shift: 0,2,3,4,5 -> 0,1,2,3,4
  EXPECT_EQ(NearestInDirection(from, others, ArrowDirection::Left), 0);
  EXPECT_EQ(NearestInDirection(from, others, ArrowDirection::Right), 1);
  // Down: the two keys below are equally far sideways; either is right, nothing above.
  const int down = NearestInDirection(from, others, ArrowDirection::Down);
  EXPECT_TRUE(down == 2 || down == 3);
  EXPECT_EQ(NearestInDirection(from, others, ArrowDirection::Up), -1);
  // From the wide key, up reaches the row right above it, not the top row.
  const std::vector<QRect> fromWide{keys[0], keys[3]};
  EXPECT_EQ(NearestInDirection(keys[5], fromWide, ArrowDirection::Up), 1);
  // A key far along the row beats a nearer one a row away.
  EXPECT_EQ(NearestInDirection(QRect(0, 0, 40, 40), {QRect(45, 45, 40, 40), QRect(200, 0, 40, 40)},
                               ArrowDirection::Right),
            1);
}

// ---- accessible interfaces of the skinned controls ----

TEST(SkinAccessibility, ImageButtonNamesDescriptionsAndRoles) {
  test::App();
  QWidget window;
  auto* caption = new CPngButton(&window, 1);
  caption->setText(QStringLiteral("&Apply"));
  caption->SetTooltipText(QStringLiteral("Writes the changes to the keyboard"));
  auto* icon = new CPngButton(&window, 2);
  icon->SetTooltipText(QStringLiteral("Help"));
  auto* lamp = new CPngButton(&window, 3);
  lamp->setAccessibleName(QStringLiteral("Caps Lock"));
  lamp->SetToggleMode(true);
  lamp->SetToggled(true);

  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(caption);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->role(), QAccessible::Button);
  EXPECT_EQ(a->text(QAccessible::Name), QStringLiteral("Apply"));
  EXPECT_EQ(a->text(QAccessible::Description), QStringLiteral("Writes the changes to the keyboard"));
  EXPECT_TRUE(a->state().focusable);
  // Without a caption the tooltip names the button.
  EXPECT_EQ(QAccessible::queryAccessibleInterface(icon)->text(QAccessible::Name), QStringLiteral("Help"));
  QAccessibleInterface* l = QAccessible::queryAccessibleInterface(lamp);
  EXPECT_EQ(l->role(), QAccessible::CheckBox);
  EXPECT_EQ(l->text(QAccessible::Name), QStringLiteral("Caps Lock"));
  EXPECT_TRUE(l->state().checkable);
  EXPECT_TRUE(l->state().checked);
  lamp->SetToggled(false);
  EXPECT_FALSE(l->state().checked);

  // The press action clicks it, as Enter and Space do.
  int clicks = 0;
  QObject::connect(caption, &QAbstractButton::clicked, [&] { ++clicks; });
  a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(clicks, 1);
  caption->setEnabled(false);
  EXPECT_TRUE(a->actionInterface()->actionNames().isEmpty());
}

TEST(SkinAccessibility, SliderAndColourSwatch) {
  test::App();
  QWidget window;
  auto* slider = new CBitmapSlider(&window, 7);
  slider->SetRange(0, 4);
  slider->SetPos(2);
  slider->setAccessibleName(QStringLiteral("Brightness"));
  std::vector<int> reported;
  QObject::connect(slider, &CBitmapSlider::sliderMoved, [&](int, int pos) { reported.push_back(pos); });
  QAccessibleInterface* s = QAccessible::queryAccessibleInterface(slider);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->role(), QAccessible::Slider);
  EXPECT_EQ(s->text(QAccessible::Name), QStringLiteral("Brightness"));
  QAccessibleValueInterface* v = s->valueInterface();
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->currentValue().toInt(), 2);
  EXPECT_EQ(v->maximumValue().toInt(), 4);
  // A value set by assistive technology is clamped and reported as a user's move.
  v->setCurrentValue(10);
  EXPECT_EQ(slider->pos(), 4);
  EXPECT_EQ(reported, std::vector<int>{4});
  slider->Enable(false);
  v->setCurrentValue(1);
  EXPECT_EQ(slider->pos(), 4);

  auto* swatch = new CSkinColorBtn(&window, 8);
  swatch->setToolTip(QStringLiteral("Colour of the keys"));
  swatch->SetColor(QColor(0xFF, 0x80, 0x00));
  QAccessibleInterface* c = QAccessible::queryAccessibleInterface(swatch);
  EXPECT_EQ(c->role(), QAccessible::Button);
  EXPECT_EQ(c->text(QAccessible::Name), QStringLiteral("Colour of the keys"));
  EXPECT_EQ(c->text(QAccessible::Value), QStringLiteral("#FF8000"));
}

// ---- the main window from the keyboard ----

using test::ProcessUntil;

int KeyId(std::uint16_t code) {
  for (const auto& key : keys::OrdinaryLayoutKeys())
    if (key.code == code) return key.controlId;
  return 0;
}

class KeyboardAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::App();
    const AppOptions options = test::SimulatedProgramOptions(folder_.Path());
    core_ = std::make_unique<AppCore>(options);
    std::string error;
    ASSERT_TRUE(core_->OpenDevice(&error)) << error;
    window_ = std::make_unique<CVantrelDlg>(*core_, sink_, files_);
    window_->SetKeyPageModal(false);
    window_->InitDialog();
    tray_ = std::make_unique<CTrayIcon>(*window_, [] { return true; });
    window_->Start(tray_.get());
    ASSERT_TRUE(ProcessUntil([this] { return window_->InitDone(); }));
    Settle();
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }
  void TearDown() override {
    if (window_ && !window_->Closing()) window_->CloseProgram();
    tray_.reset();
    window_.reset();
    core_.reset();
  }
  void Settle() { test::SettleProgram(*core_); }
  QWidget* Focus() const { return QApplication::focusWidget(); }
  void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(Focus() ? Focus() : window_.get(), static_cast<Qt::Key>(key), modifiers);
  }
  QString Name(QWidget* w) const { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); }

  test::ProgramFolder folder_{"keyboard_access"};
  test::FakeMessageSink sink_;
  test::FakeFileChooser files_;
  std::unique_ptr<AppCore> core_;
  std::unique_ptr<CVantrelDlg> window_;
  std::unique_ptr<CTrayIcon> tray_;
};

TEST_F(KeyboardAccessTest, TabVisitsProfilesThenTheKeyPictureOnceThenTheCommands) {
  window_->Button(ids::kProfile1)->setFocus(Qt::TabFocusReason);
  std::vector<QWidget*> visited{Focus()};
  for (int i = 0; i < 5; ++i) {
    Press(Qt::Key_Tab);
    visited.push_back(Focus());
  }
  EXPECT_EQ(visited[1], window_->Button(ids::kProfile1 + 1));
  EXPECT_EQ(visited[2], window_->Button(ids::kProfile1 + 2));
  // The whole key picture is one stop.
  ASSERT_NE(visited[3], nullptr);
  EXPECT_NE(window_->KeyButton(qobject_cast<CPngButton*>(visited[3])->controlId()), nullptr);
  EXPECT_EQ(visited[4], window_->Button(ids::kSwitch));
  EXPECT_EQ(visited[5], window_->Button(ids::kDefault));  // Apply is disabled: skipped
  // Shift+Tab goes back into the picture, to the same key.
  Press(Qt::Key_Backtab, Qt::ShiftModifier);
  Press(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(Focus(), visited[3]);
}

TEST_F(KeyboardAccessTest, ArrowsMoveByPlaceAndTabReturnsToTheLastKey) {
  window_->KeyButton(KeyId(0x01E))->setFocus(Qt::TabFocusReason);  // A
  Press(Qt::Key_Right);
  EXPECT_EQ(Focus(), window_->KeyButton(KeyId(0x01F)));  // S
  Press(Qt::Key_Up);
  const QString above = Name(Focus());
  EXPECT_TRUE(above == "W" || above == "E") << above.toStdString();
  Press(Qt::Key_Down);
  Press(Qt::Key_Down);
  const QString below = Name(Focus());
  EXPECT_TRUE(below == "X" || below == "Z") << below.toStdString();
  Press(Qt::Key_Left);
  Press(Qt::Key_Left);
  Press(Qt::Key_Left);
  // Leaving and coming back by Tab lands on the key left last.
  QWidget* last = Focus();
  Press(Qt::Key_Tab);
  EXPECT_NE(Focus(), last);
  Press(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(Focus(), last);
}

TEST_F(KeyboardAccessTest, EnterOnAKeyOpensItsPageAndScreenReadersHearTheAssignment) {
  CPngButton* a = window_->KeyButton(KeyId(0x01E));
  QAccessibleInterface* key = QAccessible::queryAccessibleInterface(a);
  EXPECT_EQ(key->role(), QAccessible::Button);
  EXPECT_EQ(key->text(QAccessible::Name), QStringLiteral("A"));
  EXPECT_EQ(key->text(QAccessible::Description), QStringLiteral("A"));
  // G keys and the lamps.
  EXPECT_EQ(Name(window_->KeyButton(keys::GLayoutKeys()[0].controlId)), QStringLiteral("G1"));
  EXPECT_EQ(QAccessible::queryAccessibleInterface(window_->Button(ids::kLockCaps))->role(), QAccessible::CheckBox);

  a->setFocus(Qt::TabFocusReason);
  Press(Qt::Key_Return);
  ASSERT_NE(window_->KeyPage(), nullptr);
  EXPECT_TRUE(window_->KeyPage()->isVisible());
  EXPECT_EQ(window_->EditedKeyValue().controlId, a->controlId());
  // B captured and applied: the key's description says what it does now.
  window_->KeyPage()->ChooseKey(0x030);
  ASSERT_TRUE(window_->KeyPage()->ApplyPage());
  Settle();
  EXPECT_EQ(key->text(QAccessible::Name), QStringLiteral("A"));
  std::string described = std::string("A");  // appended: gcc 12 -O3 warns wrongly on "A" + string
  described += core_->Texts().Text("KEY_PROMPT_SET");
  described += core_->Texts().Text("KEY_PROMPT_SINGLE");
  described += "B)";
  EXPECT_EQ(key->text(QAccessible::Description).toStdString(), described);
  window_->KeyPage()->ClosePage();
}

TEST_F(KeyboardAccessTest, ProfileManagerTabOrderAndEscapeCancels) {
  window_->Button(ids::kProfiles)->setFocus(Qt::TabFocusReason);
  Press(Qt::Key_Space);
  auto* manager = window_->ProfileManager();
  ASSERT_NE(manager, nullptr);
  ASSERT_TRUE(manager->isVisible());
  manager->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(manager));
  CReportCtrl* list = manager->findChild<CReportCtrl*>();
  ASSERT_NE(list, nullptr);
  EXPECT_FALSE(Name(list).isEmpty());
  list->setFocus(Qt::TabFocusReason);
  std::vector<int> ids;
  for (int i = 0; i < 6; ++i) {
    QTest::keyClick(manager->focusWidget(), Qt::Key_Tab);
    if (auto* b = qobject_cast<CPngButton*>(manager->focusWidget())) ids.push_back(b->controlId());
  }
  // Disabled buttons are passed over; those reached come in this order.
  const std::vector<int> order{kIdProfileLoad, kIdProfileAdd, kIdProfileDelete, kIdProfileApply, kIdProfileOk,
                               kIdProfileCancel};
  std::vector<int> expected;
  for (int id : order)
    if (manager->button(id)->isEnabled()) expected.push_back(id);
  ids.resize(std::min(ids.size(), expected.size()));
  EXPECT_EQ(ids, expected);
  QTest::keyClick(manager->focusWidget(), Qt::Key_Escape);
  EXPECT_TRUE(ProcessUntil([&] { return !manager->isVisible(); }, 2000));
}

}  // namespace
}  // namespace vantrel::ui
