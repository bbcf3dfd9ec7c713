// Key input as the Linux window systems deliver it, while the key page captures or records:
// held keys as repeated release/press pairs, modifiers, the events' own timestamps, and
// the keyboard grab that follows the page's activation.
#include <QLineEdit>

#include "key_page_harness.h"
#include "ui/skin/report_ctrl.h"

namespace vantrel::ui::test {
namespace {

using keys::MacroAction;

class RecordInputTest : public KeyPageTest {
 protected:
  MacroEditor& Editor() { return page_->macroEditor(); }
  // G1's page on the macro tab with one new macro selected, recording.
  void StartRecordingNewMacro(bool measuredDelays) {
    ASSERT_TRUE(page_->Begin(1000));
    Click(kIdTabMacro);
    Click(kIdMacroAdd);
    if (measuredDelays != (Editor().recordDelayMode() == 1)) Click(kIdRecordDelays);
    Click(kIdRecord);
    ASSERT_TRUE(Editor().recording());
  }
  // A key event with its own timestamp (ms; 0 for none) and the modifiers held.
  void Send(std::uint16_t code, bool release, bool repeat, std::uint64_t timestamp, int qtKey = 0,
            Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : page_.get();
    QKeyEvent e(release ? QEvent::KeyRelease : QEvent::KeyPress, qtKey, modifiers,
                platform::NativeScanCodeOfKeyCode(code), 0, 0, QString(), repeat);
    e.setTimestamp(timestamp);
    QApplication::sendEvent(target, &e);
  }
  // A key held from `down` to `up`: X11 and Wayland repeat it every 33 ms from 500 ms on
  // as a release and a press, both marked as repeats; the last release is a plain one.
  void Hold(std::uint16_t code, std::uint64_t down, std::uint64_t up, int qtKey,
            Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    Send(code, false, false, down, qtKey, modifiers);
    for (std::uint64_t t = down + 500; t < up; t += 33) {
      Send(code, true, true, t, qtKey, modifiers);
      Send(code, false, true, t, qtKey, modifiers);
    }
    Send(code, true, false, up, qtKey, modifiers);
  }
  // The steps, once a release the editor holds back (to tell it from a repeat) is in.
  const std::vector<MacroAction>& Recorded() {
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Editor().holdingRelease(); }, 2000));
    return Editor().actions();
  }
  void MakeActive(QWidget& window) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }
};

TEST_F(RecordInputTest, HeldKeysAndShiftRecordOneStepPerEdgeWithTheHoldTimeAsDelay) {
  StartRecordingNewMacro(/*measuredDelays=*/true);
  // Shift held while "ab" is typed; A is held for 1.5 s.
  Send(keys::kCodeLeftShift, false, false, 100000, Qt::Key_Shift);
  Hold(0x01E, 100100, 101600, Qt::Key_A, Qt::ShiftModifier);
  Hold(0x030, 101700, 101800, Qt::Key_B, Qt::ShiftModifier);
  Send(keys::kCodeLeftShift, true, false, 101900, Qt::Key_Shift, Qt::ShiftModifier);
  EXPECT_EQ(Recorded(), (std::vector<MacroAction>{{100, keys::kCodeLeftShift, keys::kPress},
                                                          {1500, 0x01E, keys::kPress},
                                                          {100, 0x01E, keys::kRelease},
                                                          {100, 0x030, keys::kPress},
                                                          {100, 0x030, keys::kRelease},
                                                          {0, keys::kCodeLeftShift, keys::kRelease}}));
  EXPECT_EQ(Editor().actionList()->GetItemCount(), 6);

  // A modifier held alone repeats too: right Shift for a second.
  Hold(keys::kCodeRightShift, 102000, 103000, Qt::Key_Shift, Qt::ShiftModifier);
  ASSERT_EQ(Recorded().size(), 8u);
  EXPECT_EQ(Editor().actions()[5].delay, 100);
  EXPECT_EQ(Editor().actions()[6], (MacroAction{1000, keys::kCodeRightShift, keys::kPress}));
  EXPECT_EQ(Editor().actions()[7], (MacroAction{0, keys::kCodeRightShift, keys::kRelease}));
}

// An X server repeats a held key as a release and a press with one time stamp; the toolkit
// marks the pair only when it finds the press already queued, and a busy program often
// does not: such unmarked pairs used to be recorded as steps (14 for a key held 1.5 s).
TEST_F(RecordInputTest, RepeatPairsTheToolkitDidNotMarkAreNoSteps) {
  StartRecordingNewMacro(/*measuredDelays=*/true);
  Send(0x01E, false, false, 5000, Qt::Key_A);
  for (std::uint64_t t = 5660; t < 6500; t += 40) {
    const bool marked = t % 200 == 0;  // the toolkit caught a few of them
    Send(0x01E, true, marked, t, Qt::Key_A);
    Send(0x01E, false, marked, t, Qt::Key_A);
  }
  Send(0x01E, true, false, 6500, Qt::Key_A);
  EXPECT_EQ(Recorded(), (std::vector<MacroAction>{{1500, 0x01E, keys::kPress}, {0, 0x01E, keys::kRelease}}));
  EXPECT_EQ(Editor().actionList()->GetItemCount(), 2);
  // A key pressed again right after its release is two presses.
  Send(0x030, false, false, 6600, Qt::Key_B);
  Send(0x030, true, false, 6650, Qt::Key_B);
  Send(0x030, false, false, 6651, Qt::Key_B);
  Send(0x030, true, false, 6700, Qt::Key_B);
  Click(kIdRecord);  // stopping lets the last release in at once
  EXPECT_FALSE(Editor().holdingRelease());
  EXPECT_EQ(Editor().actions().size(), 6u);
}

// Keys sent to the window by another program (XSendEvent, as xdotool's "type" does for a
// window without the focus) report Shift in their modifiers without any Shift key event.
TEST_F(RecordInputTest, ModifiersReportedWithoutTheirKeysAreRecordedAroundTheKeys) {
  StartRecordingNewMacro(/*measuredDelays=*/false);
  for (const auto& [code, qtKey] : {std::pair{0x01E, Qt::Key_A}, std::pair{0x030, Qt::Key_B}}) {
    Send(static_cast<std::uint16_t>(code), false, false, 0, qtKey, Qt::ShiftModifier);
    Send(static_cast<std::uint16_t>(code), true, false, 0, qtKey, Qt::ShiftModifier);
  }
  Send(0x02E, false, false, 0, Qt::Key_C);
  Send(0x02E, true, false, 0, Qt::Key_C);
  // Ctrl still reported as held when recording stops is released with the stop.
  Send(0x02E, false, false, 0, Qt::Key_C, Qt::ControlModifier);
  Click(kIdRecord);
  std::vector<std::pair<std::uint16_t, std::uint16_t>> steps;
  for (const auto& a : Editor().actions()) steps.emplace_back(a.code, a.direction);
  EXPECT_EQ(steps, (std::vector<std::pair<std::uint16_t, std::uint16_t>>{
                       {keys::kCodeLeftShift, keys::kPress}, {0x01E, keys::kPress}, {0x01E, keys::kRelease},
                       {0x030, keys::kPress}, {0x030, keys::kRelease}, {keys::kCodeLeftShift, keys::kRelease},
                       {0x02E, keys::kPress}, {0x02E, keys::kRelease}, {keys::kCodeLeftCtrl, keys::kPress},
                       {0x02E, keys::kPress}, {keys::kCodeLeftCtrl, keys::kRelease}}));
  EXPECT_EQ(Editor().actionList()->GetItemCount(), 11);
}

TEST_F(RecordInputTest, DelaysComeFromTheEventTimestampsNotFromWhenTheyAreHandled) {
  StartRecordingNewMacro(/*measuredDelays=*/true);
  // The events were queued while the program was busy: the clock stands still.
  Send(0x01E, false, false, 0xFFFFFF00u, Qt::Key_A);
  Send(0x01E, true, false, 0xFFFFFFC8u, Qt::Key_A);  // 200 ms later
  Send(0x030, false, false, 0x64u, Qt::Key_B);       // 156 ms later, past the 32-bit wrap
  Send(0x030, true, false, 0x64u + 70, Qt::Key_B);
  // An event without a timestamp is measured by the clock, from the last step's time on.
  now_ += 70 + 200 + 156 + 40;
  Send(0x02E, false, false, 0, Qt::Key_C);
  EXPECT_EQ(Editor().actions(), (std::vector<MacroAction>{{200, 0x01E, keys::kPress},
                                                          {156, 0x01E, keys::kRelease},
                                                          {70, 0x030, keys::kPress},
                                                          {40, 0x030, keys::kRelease},
                                                          {0, 0x02E, keys::kPress}}));
  // A late event stamped before the last step gets no delay, not a wrapped one.
  Send(0x02E, true, false, 0x64u, Qt::Key_C);
  EXPECT_EQ(Recorded()[4].delay, 0);
  EXPECT_EQ(Editor().actions().size(), 6u);
}

TEST_F(RecordInputTest, TheKeyboardGrabFollowsActivationTabsRecordingAndClosing) {
  QWidget other;
  other.resize(200, 100);
  ASSERT_TRUE(page_->Begin(kButtonA));
  MakeActive(*page_);
  EXPECT_EQ(QWidget::keyboardGrabber(), page_.get());

  // Another window becomes active: its keys are its own.
  MakeActive(other);
  EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
  EXPECT_TRUE(page_->capturing()) << "the page still takes the keys that reach it";
  MakeActive(*page_);
  EXPECT_EQ(QWidget::keyboardGrabber(), page_.get());

  // The macro tab grabs only while recording.
  Click(kIdTabMacro);
  EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
  Click(kIdMacroAdd);
  Click(kIdRecord);
  ASSERT_TRUE(Editor().recording());
  EXPECT_EQ(QWidget::keyboardGrabber(), page_.get());
  MakeActive(other);
  EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
  EXPECT_TRUE(Editor().recording());
  MakeActive(*page_);
  EXPECT_EQ(QWidget::keyboardGrabber(), page_.get());
  Click(kIdRecord);
  EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);

  Click(kIdTabSingle);
  EXPECT_EQ(QWidget::keyboardGrabber(), page_.get());
  page_->ClosePage();
  EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
}

}  // namespace
}  // namespace vantrel::ui::test
