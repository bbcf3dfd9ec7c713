// The macro editor's recording: key and mouse events turned into steps, with the
// modifiers a key event reports but whose own presses the window never saw.
#include "ui/windows/macro_editor.h"

#include <QElapsedTimer>
#include <QGuiApplication>

#include <algorithm>
#include <utility>

#include "core/keys/key_codes.h"
#include "core/text/safe_format.h"
#include "ui/skin/png_button.h"
#include "ui/skin/report_ctrl.h"
#include "ui/skin/skin_placement.h"
#include "ui/app/key_event_filter.h"

namespace vantrel::ui {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The modifiers a key event reports, and their keys.
struct ModifierKeys {
  Qt::KeyboardModifier modifier;
  std::uint16_t left;
  std::uint16_t right;
};
constexpr ModifierKeys kModifierKeys[] = {
    {Qt::ShiftModifier, keys::kCodeLeftShift, keys::kCodeRightShift},
    {Qt::ControlModifier, keys::kCodeLeftCtrl, keys::kCodeRightCtrl},
    {Qt::AltModifier, keys::kCodeLeftAlt, keys::kCodeRightAlt},
    {Qt::MetaModifier, keys::kCodeLeftWin, keys::kCodeRightWin},
};

}  // namespace

// ---- Recording ----

void MacroEditor::ToggleRecording() {
  if (recorder_.recording) {
    StopRecordingIfActive();
    return;
  }
  if (selected_ < 0 || !FinishCellEdit()) return;
  keys::StartRecording(recorder_, clock_());
  timestampOffset_.reset();
  modifierKeysDown_ = modifiersAdded_ = 0;
  repeats_.Reset();
  auto* b = button(kIdRecord);
  b->setText(Q(texts_.Text("MACRO_ACTION_STOP_RECORD")));
  b->SetSelected(true);
  button(kIdMacroAdd)->setEnabled(false);
  button(kIdMacroDelete)->setEnabled(false);
  nameBox_->setEnabled(false);
  filter_->Install();
  emit recordingChanged(true);
}

void MacroEditor::StopRecordingIfActive() {
  if (!recorder_.recording) return;
  FlushHeldRelease();
  ReleaseAddedModifiers();
  keys::StopRecording(recorder_);
  filter_->Remove();
  auto* b = button(kIdRecord);
  b->setText(Q(texts_.Text("MACRO_ACTION_RECORD")));
  b->SetSelected(false);
  button(kIdMacroAdd)->setEnabled(true);
  button(kIdMacroDelete)->setEnabled(true);
  nameBox_->setEnabled(true);
  emit recordingChanged(false);
}

std::uint32_t MacroEditor::EventTime(std::uint64_t timestamp) {
  std::uint32_t now = 0;
  if (timestamp == 0) {
    now = clock_();
  } else {
    // The window system's clock (32-bit ms on X11 and Wayland) has another origin than
    // ours; the first timestamped event of the recording ties the two. From then on the
    // delays are differences of the events' own times, however late the loop got to them.
    const auto ts = static_cast<std::uint32_t>(timestamp);
    if (!timestampOffset_) timestampOffset_ = clock_() - ts;
    now = ts + *timestampOffset_;
  }
  // Time never runs back: an event with an old timestamp after a key chosen on the chooser
  // gets no delay rather than a wrapped one.
  if (static_cast<std::int32_t>(now - recorder_.lastEventTime) < 0) now = recorder_.lastEventTime;
  return now;
}

bool MacroEditor::OnRecordKey(const KeyEventFilter::KeyInput& in, bool followModifiers) {
  // Unknown and media keys are not recorded and go on their way.
  if (in.code == 0 || keys::IsMediaKey(in.code)) return false;
  if (!followModifiers) {
    // A key of the chooser: after anything held, straight to the recorder.
    FlushHeldRelease();
    RecordKey(in, false);
    return true;
  }
  const keys::KeyRepeatFilter::Event event{in.code, in.release, in.autoRepeat, in.timestamp,
                                           static_cast<std::uint32_t>(in.modifiers.toInt())};
  for (const auto& out : repeats_.Feed(event))
    RecordKey({out.code, out.release, out.autoRepeat, out.timestamp, Qt::KeyboardModifiers::fromInt(static_cast<int>(out.modifiers))},
              true);
  if (repeats_.Holding()) releaseTimer_->start();
  else releaseTimer_->stop();
  return true;
}

void MacroEditor::FlushHeldRelease() {
  releaseTimer_->stop();
  if (const auto held = repeats_.Flush())
    RecordKey({held->code, held->release, held->autoRepeat, held->timestamp,
               Qt::KeyboardModifiers::fromInt(static_cast<int>(held->modifiers))},
              true);
}

void MacroEditor::RecordKey(const KeyEventFilter::KeyInput& in, bool followModifiers) {
  if (!recorder_.recording) return;
  SyncSelectionFromView();
  const std::size_t before = rows_.actions.size();
  const std::uint32_t now = EventTime(in.timestamp);
  if (followModifiers && !in.autoRepeat && in.code != 0 && !keys::IsMediaKey(in.code)) FollowModifiers(in, now);
  // X11 and Wayland send a held key as repeated release/press pairs, both halves marked as
  // repeats. The repeated release is no step: it is passed to the recorder as the repeat
  // it is (swallowed, nothing recorded), so only the real release ends the key, with the
  // time since the press as the press step's delay.
  const keys::KeyEvent event{in.code, in.release && !in.autoRepeat, in.autoRepeat};
  (void)keys::OnKeyEvent(recorder_, rows_, event, now);
  AfterRecordedStep(before);
}

// Key events sent to a window by another program (XSendEvent on X11, as xdotool's "type"
// does for a window without the focus) carry the modifiers in their state but come without
// the modifier keys' own events. Such a modifier is recorded as a press of its left-hand
// key before the event that first reports it, and as a release before the first event
// without it; a modifier whose key was seen pressed is left to its own events.
void MacroEditor::FollowModifiers(const KeyEventFilter::KeyInput& in, std::uint32_t now) {
  for (std::size_t i = 0; i < std::size(kModifierKeys); ++i) {
    const ModifierKeys& m = kModifierKeys[i];
    const auto keyBits = static_cast<std::uint8_t>(3u << (2 * i));  // left, right
    const auto addedBit = static_cast<std::uint8_t>(1u << i);
    if (in.code == m.left || in.code == m.right) {
      const auto bit = static_cast<std::uint8_t>(1u << (2 * i + (in.code == m.right ? 1 : 0)));
      modifierKeysDown_ = in.release ? modifierKeysDown_ & ~bit : modifierKeysDown_ | bit;
      modifiersAdded_ &= static_cast<std::uint8_t>(~addedBit);  // its own events take over
      continue;
    }
    const bool held = in.modifiers.testFlag(m.modifier);
    if (held && !(modifierKeysDown_ & keyBits) && !(modifiersAdded_ & addedBit)) {
      keys::OnKeyEvent(recorder_, rows_, keys::KeyEvent{m.left, false, false}, now);
      modifiersAdded_ |= addedBit;
    } else if (!held && (modifiersAdded_ & addedBit)) {
      keys::OnKeyEvent(recorder_, rows_, keys::KeyEvent{m.left, true, false}, now);
      modifiersAdded_ &= static_cast<std::uint8_t>(~addedBit);
    }
  }
}

// A recording that ends with added modifiers still held releases them, so the macro does
// not leave them down on the keyboard.
void MacroEditor::ReleaseAddedModifiers() {
  if (modifiersAdded_ == 0) return;
  SyncSelectionFromView();
  const std::size_t before = rows_.actions.size();
  const std::uint32_t now = EventTime(0);
  for (std::size_t i = 0; i < std::size(kModifierKeys); ++i)
    if (modifiersAdded_ & (1u << i)) keys::OnKeyEvent(recorder_, rows_, keys::KeyEvent{kModifierKeys[i].left, true, false}, now);
  modifiersAdded_ = 0;
  AfterRecordedStep(before);
}

void MacroEditor::OnRecordMouse(std::uint16_t code, bool release, const QPoint& globalPos, QWidget* target,
                                std::uint64_t timestamp) {
  if (mouseIgnored_ && mouseIgnored_(target)) return;
  FlushHeldRelease();  // a key released before the click comes before it
  auto* record = button(kIdRecord);
  const QRect recordRect(record->mapToGlobal(QPoint(0, 0)), record->size());
  SyncSelectionFromView();
  const std::size_t before = rows_.actions.size();
  const auto message = code == keys::kCodeMouseLeft    ? (release ? keys::MouseMessage::kLeftUp : keys::MouseMessage::kLeftDown)
                       : code == keys::kCodeMouseRight ? (release ? keys::MouseMessage::kRightUp : keys::MouseMessage::kRightDown)
                                                       : (release ? keys::MouseMessage::kMiddleUp : keys::MouseMessage::kMiddleDown);
  keys::OnMouseMessage(recorder_, rows_, message, recordRect.contains(globalPos), EventTime(timestamp));
  AfterRecordedStep(before);
}

void MacroEditor::RecordChosenKey(std::uint16_t code) {
  if (!recorder_.recording) return;
  // A key of the chooser says nothing about the modifiers the keyboard holds.
  OnRecordKey(KeyEventFilter::KeyInput{code, false, false, 0, {}}, false);
  OnRecordKey(KeyEventFilter::KeyInput{code, true, false, 0, {}}, false);
}

void MacroEditor::AfterRecordedStep(std::size_t before) {
  const std::size_t added = rows_.actions.size() - before;
  if (added == 0 || !rows_.selected) return;
  // The new steps end at the selected row; the row before them took a new delay.
  const int last = static_cast<int>(*rows_.selected);
  const int first = last - static_cast<int>(added) + 1;
  for (int row = first; row <= last; ++row) list_->InsertItem(row, {});
  for (int row = std::max(0, first - 1); row <= last; ++row) ShowRow(row);
  SelectRow(last);
  MarkChanged();
}

}  // namespace vantrel::ui
