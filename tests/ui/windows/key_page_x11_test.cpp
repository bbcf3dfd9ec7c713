// The key page under a real X server: xdotool sends key events through the server, as a
// keyboard would, and moves the input focus to another program's window. Skipped on other
// platforms; tests/ui/windows/key_page_x11_test.sh runs these under xvfb-run.
#include <QProcess>
#include <QStandardPaths>

#include "key_page_harness.h"

namespace vantrel::ui::test {
namespace {

using keys::MacroAction;

class KeyPageX11Test : public KeyPageTest {
 protected:
  void SetUp() override {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X display (xvfb-run)";
    if (QStandardPaths::findExecutable("xdotool").isEmpty()) GTEST_SKIP() << "needs xdotool";
  }
  MacroEditor& Editor() { return page_->macroEditor(); }
  // Runs xdotool to its end, then lets the events it made arrive.
  void Xdotool(const QStringList& args) {
    QProcess p;
    p.start("xdotool", args);
    ASSERT_TRUE(p.waitForFinished(15000)) << args.join(' ').toStdString();
    ASSERT_EQ(p.exitCode(), 0) << args.join(' ').toStdString() << ": " << p.readAllStandardError().toStdString();
    QTest::qWait(200);
  }
  void Show(QWidget& window) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }
};

// Another program: xev, which prints the key events its window gets.
TEST_F(KeyPageX11Test, KeysTypedIntoAnotherProgramAreNotCaptured) {
  if (QStandardPaths::findExecutable("xev").isEmpty()) GTEST_SKIP() << "needs xev";
  ASSERT_TRUE(page_->Begin(kButtonA));
  Show(*page_);
  EXPECT_EQ(QWidget::keyboardGrabber(), page_.get());
  Xdotool({"key", "b"});
  EXPECT_EQ(page_->capturedKey(), 0x030);
  Xdotool({"key", "super"});  // the desktop's key, kept from it by the grab
  EXPECT_EQ(page_->capturedKey(), keys::kCodeLeftWin);

  QProcess xev;
  xev.start("xev", {"-name", "vantrel-x11-peer", "-geometry", "200x100+600+600", "-event", "keyboard"});
  ASSERT_TRUE(xev.waitForStarted(5000));
  QProcess search;
  search.start("xdotool", {"search", "--sync", "--name", "^vantrel-x11-peer$"});
  ASSERT_TRUE(search.waitForFinished(15000));
  const QString peer = QString::fromLatin1(search.readAllStandardOutput()).split('\n').value(0).trimmed();
  ASSERT_FALSE(peer.isEmpty());
  Xdotool({"windowfocus", "--sync", peer});
  EXPECT_TRUE(QTest::qWaitFor([&] { return !page_->isActiveWindow(); }, 3000));
  EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
  QTest::qWait(100);
  Xdotool({"key", "x", "y"});  // key, not type: key goes through the XTEST keyboard as typing does
  EXPECT_EQ(page_->capturedKey(), keys::kCodeLeftWin) << "a key typed into the other program was captured";
  xev.terminate();
  xev.waitForFinished(5000);
  const QString seen = QString::fromLocal8Bit(xev.readAllStandardOutput());
  EXPECT_TRUE(seen.contains("keycode 53 ") && seen.contains("keycode 29 ")) << seen.toStdString();  // x, y

  Xdotool({"windowfocus", "--sync", QString::number(page_->winId())});
  EXPECT_TRUE(QTest::qWaitFor([&] { return page_->isActiveWindow(); }, 3000));
  EXPECT_EQ(QWidget::keyboardGrabber(), page_.get());
  Xdotool({"key", "c"});
  EXPECT_EQ(page_->capturedKey(), 0x02E);
}

// The keyboard alone: Tab is taken as the key to assign, a second Tab moves the focus
// off the field, Shift+Tab comes back, Enter waits for a key again, and Escape, taken and
// pressed again, closes the page without storing anything.
TEST_F(KeyPageX11Test, TheKeyboardAloneAssignsTabAndLeavesThePage) {
  ASSERT_TRUE(page_->Begin(kButtonA));
  Show(*page_);
  Xdotool({"key", "Tab"});
  EXPECT_EQ(page_->capturedKey(), 0x00F);
  EXPECT_EQ(QWidget::keyboardGrabber(), nullptr) << "no grab once the key is taken";
  EXPECT_EQ(QApplication::focusWidget(), page_->capturedKeyField());
  Xdotool({"key", "Tab"});
  EXPECT_EQ(QApplication::focusWidget(), page_->button(kIdMou));
  Xdotool({"key", "shift+Tab"});
  EXPECT_EQ(QApplication::focusWidget(), page_->capturedKeyField());
  EXPECT_EQ(page_->capturedKey(), 0x00F);
  Xdotool({"key", "Return"});
  EXPECT_TRUE(page_->capturing());
  EXPECT_EQ(QWidget::keyboardGrabber(), page_.get());
  Xdotool({"key", "Escape"});
  EXPECT_EQ(page_->capturedKey(), 0x001);
  EXPECT_TRUE(page_->isVisible());
  Xdotool({"key", "Escape"});
  EXPECT_FALSE(page_->isVisible());
  EXPECT_EQ(Record(0, 0x01E).kind, keys::kKindFactory);
}

TEST_F(KeyPageX11Test, ShiftHeldWhileTypingAndAHeldKeyAreRecordedOnce) {
  ASSERT_TRUE(page_->Begin(1000));
  Show(*page_);
  QTest::mouseClick(page_->button(kIdTabMacro), Qt::LeftButton);
  QTest::mouseClick(Editor().button(kIdMacroAdd), Qt::LeftButton);
  QTest::mouseClick(Editor().button(kIdRecordDelays), Qt::LeftButton);
  ASSERT_EQ(Editor().recordDelayMode(), 1);
  QTest::mouseClick(Editor().button(kIdRecord), Qt::LeftButton);
  ASSERT_TRUE(Editor().recording());
  EXPECT_EQ(QWidget::keyboardGrabber(), page_.get());

  Xdotool({"keydown", "shift", "key", "a", "key", "b", "keyup", "shift"});
  const std::vector<std::pair<std::uint16_t, keys::Direction>> shifted = {
      {keys::kCodeLeftShift, keys::kPress}, {0x01E, keys::kPress},   {0x01E, keys::kRelease},
      {0x030, keys::kPress},                {0x030, keys::kRelease}, {keys::kCodeLeftShift, keys::kRelease}};
  ASSERT_EQ(Editor().actions().size(), shifted.size());
  for (std::size_t i = 0; i < shifted.size(); ++i) {
    EXPECT_EQ(Editor().actions()[i].code, shifted[i].first) << i;
    EXPECT_EQ(Editor().actions()[i].direction, shifted[i].second) << i;
  }

  // A held for 1.5 s: whatever the server repeats, one press and one release, and the
  // press's delay is the time the key was held.
  Xdotool({"keydown", "a", "sleep", "1.5", "keyup", "a"});
  ASSERT_EQ(Editor().actions().size(), shifted.size() + 2);
  const MacroAction& press = Editor().actions()[shifted.size()];
  EXPECT_EQ(press.code, 0x01E);
  EXPECT_EQ(press.direction, keys::kPress);
  EXPECT_GE(press.delay, 1400);
  EXPECT_LE(press.delay, 2500);
  EXPECT_EQ(Editor().actions().back().direction, keys::kRelease);
}

// xdotool's "type" for a window without the focus sends the keys with XSendEvent: the
// letters carry Shift in their state, and no Shift key event comes.
TEST_F(KeyPageX11Test, KeysSentByAnotherProgramKeepTheirShift) {
  ASSERT_TRUE(page_->Begin(1000));
  Show(*page_);
  QTest::mouseClick(page_->button(kIdTabMacro), Qt::LeftButton);
  QTest::mouseClick(Editor().button(kIdMacroAdd), Qt::LeftButton);
  QTest::mouseClick(Editor().button(kIdRecord), Qt::LeftButton);
  ASSERT_TRUE(Editor().recording());
  QWidget other;
  other.resize(200, 100);
  Show(other);
  Xdotool({"type", "--window", QString::number(page_->winId()), "AB"});
  Show(*page_);
  QTest::mouseClick(Editor().button(kIdRecord), Qt::LeftButton);
  std::vector<std::pair<std::uint16_t, std::uint16_t>> steps;
  for (const auto& a : Editor().actions()) steps.emplace_back(a.code, a.direction);
  EXPECT_EQ(steps, (std::vector<std::pair<std::uint16_t, std::uint16_t>>{
                       {keys::kCodeLeftShift, keys::kPress}, {0x01E, keys::kPress}, {0x01E, keys::kRelease},
                       {0x030, keys::kPress}, {0x030, keys::kRelease}, {keys::kCodeLeftShift, keys::kRelease}}));
}

}  // namespace
}  // namespace vantrel::ui::test
