#include "ui/app/key_event_filter.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include "core/keys/key_codes.h"
#include "platform/native_key_codes.h"

namespace vantrel::ui {

void KeyEventFilter::Install() {
  if (installed_ || !QCoreApplication::instance()) return;
  QCoreApplication::instance()->installEventFilter(this);
  installed_ = true;
  lastMouseType_ = 0;
}

void KeyEventFilter::Remove() {
  if (!installed_) return;
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
  installed_ = false;
}

bool KeyEventFilter::eventFilter(QObject* watched, QEvent* event) {
  // Input reaches the window first and then its widget; only the widget delivery counts.
  if (!watched->isWidgetType()) return false;
  switch (event->type()) {
    case QEvent::ShortcutOverride: {
      // A key we take must not trigger a shortcut on its way.
      auto* key = static_cast<QKeyEvent*>(event);
      const std::uint16_t code = platform::KeyCodeOfNativeScanCode(key->nativeScanCode(), key->nativeVirtualKey());
      if (code == 0 || keys::IsMediaKey(code)) return false;
      event->accept();
      return true;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      if (!keyHandler_) return false;
      auto* key = static_cast<QKeyEvent*>(event);
      const std::uint16_t code = platform::KeyCodeOfNativeScanCode(key->nativeScanCode(), key->nativeVirtualKey());
      return keyHandler_(
          KeyInput{code, event->type() == QEvent::KeyRelease, key->isAutoRepeat(), key->timestamp(), key->modifiers()});
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: {
      if (!mouseHandler_) return false;
      auto* mouse = static_cast<QMouseEvent*>(event);
      const QPoint pos = mouse->globalPosition().toPoint();
      if (static_cast<int>(event->type()) == lastMouseType_ && static_cast<int>(mouse->button()) == lastMouseButton_ &&
          mouse->timestamp() == lastMouseTime_ && pos == lastMousePos_)
        return false;
      lastMouseType_ = static_cast<int>(event->type());
      lastMouseButton_ = static_cast<int>(mouse->button());
      lastMouseTime_ = mouse->timestamp();
      lastMousePos_ = pos;
      std::uint16_t code = 0;
      if (mouse->button() == Qt::LeftButton) code = keys::kCodeMouseLeft;
      else if (mouse->button() == Qt::RightButton) code = keys::kCodeMouseRight;
      else if (mouse->button() == Qt::MiddleButton) code = keys::kCodeMouseMiddle;
      if (code != 0)
        mouseHandler_(code, event->type() == QEvent::MouseButtonRelease, pos, static_cast<QWidget*>(watched),
                      mouse->timestamp());
      return false;
    }
    default: return false;
  }
}

}  // namespace vantrel::ui
