// An application-wide filter of key and mouse events, installed only while the key page
// captures a key or records a macro. Keys are reported by their hardware identity (our key
// code from the native scan code), never by the character or the layout.
#pragma once

#include <QObject>
#include <QPoint>

#include <cstdint>
#include <functional>

class QEvent;
class QWidget;

namespace vantrel::ui {

class KeyEventFilter final : public QObject {
  Q_OBJECT
 public:
  struct KeyInput {
    std::uint16_t code = 0;  // 0: not a key of ours
    bool release = false;
    // Set on both halves of the release/press pairs X11 and Wayland send while a key is held.
    bool autoRepeat = false;
    // The event's own time in ms on the window system's clock; 0 when it carries none.
    std::uint64_t timestamp = 0;
    // The modifiers held as the event happened (a modifier's own press does not have it).
    Qt::KeyboardModifiers modifiers;
  };
  // Returns true to swallow the event (nobody else sees it).
  using KeyHandler = std::function<bool(const KeyInput& input)>;
  // Button presses and releases of the left, right and middle button (0x171-0x173). The
  // event is always delivered on. target: the widget the event is delivered to.
  using MouseHandler = std::function<void(std::uint16_t code, bool release, const QPoint& globalPos, QWidget* target,
                                          std::uint64_t timestamp)>;

  explicit KeyEventFilter(QObject* parent = nullptr) : QObject(parent) {}
  ~KeyEventFilter() override { Remove(); }

  void SetKeyHandler(KeyHandler handler) { keyHandler_ = std::move(handler); }
  void SetMouseHandler(MouseHandler handler) { mouseHandler_ = std::move(handler); }

  void Install();
  void Remove();
  bool installed() const { return installed_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  KeyHandler keyHandler_;
  MouseHandler mouseHandler_;
  bool installed_ = false;
  // The last mouse event handled: its copies sent to the parent widgets are not new input.
  int lastMouseType_ = 0;
  int lastMouseButton_ = 0;
  quint64 lastMouseTime_ = 0;
  QPoint lastMousePos_;
};

}  // namespace vantrel::ui
