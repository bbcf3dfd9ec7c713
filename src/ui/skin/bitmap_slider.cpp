#include "ui/skin/bitmap_slider.h"


#include <QAccessible>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "ui/skin/skin_accessibility.h"
#include "ui/skin/skin_scale.h"

namespace vantrel::ui {

CBitmapSlider::CBitmapSlider(QWidget* parent, int controlId) : QWidget(parent), controlId_(controlId) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  MarkSkinPainted(*this);
  InstallSkinAccessibility();
}

int CBitmapSlider::Clamp(int position) const { return std::clamp(position, minimum_, std::max(minimum_, maximum_)); }

void CBitmapSlider::SetRange(int minimum, int maximum) {
  minimum_ = minimum;
  maximum_ = std::max(minimum, maximum);
  position_ = Clamp(position_);
  update();
}

void CBitmapSlider::SetPos(int position) {
  const int before = position_;
  position_ = Clamp(position);
  update();
  if (position_ != before) NotifyValue();
}

void CBitmapSlider::SetPosByUser(int position) {
  if (enabled_) MoveByUser(position);
}

void CBitmapSlider::NotifyValue() {
  if (!QAccessible::isActive()) return;
  QAccessibleValueChangeEvent event(this, position_);
  QAccessible::updateAccessibility(&event);
}

void CBitmapSlider::Enable(bool enabled) {
  enabled_ = enabled;
  setEnabled(enabled);
  update();
}

void CBitmapSlider::SetChannelPicture(const QPixmap& picture) {
  channel_ = picture;
  update();
}

void CBitmapSlider::SetThumbPicture(const QPixmap& picture) {
  thumb_ = picture;
  update();
}

void CBitmapSlider::SetMargin(int pixels) {
  margin_ = std::max(0, pixels);
  update();
}

int CBitmapSlider::PositionAt(int x) const {
  // The pointer in skin coordinates, as the track is.
  const qreal scale = SkinScaleOf(*this);
  if (scale != 1.0) x = static_cast<int>(std::lround(x / scale));
  const int span = maximum_ - minimum_;
  const int track = SkinSize(*this).width() - 2 * margin_;
  if (span <= 0 || track <= 1) return minimum_;
  const long long offset = static_cast<long long>(x - margin_) * span;
  const long long rounded = (offset >= 0 ? offset + (track - 1) / 2 : offset - (track - 1) / 2) / (track - 1);
  return Clamp(static_cast<int>(std::clamp<long long>(minimum_ + rounded, minimum_, maximum_)));
}

void CBitmapSlider::MoveByUser(int position) {
  const int before = position_;
  position_ = Clamp(position);
  update();
  if (position_ != before) NotifyValue();
  emit reported(kMsgSliderMoved, controlId_, position_);
  emit sliderMoved(controlId_, position_);
}

void CBitmapSlider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  ScaleSkinPainter(painter, *this);
  const QRect area = SkinRect(*this);
  if (!channel_.isNull()) painter.drawPixmap(0, 0, channel_);
  if (!thumb_.isNull() && maximum_ > minimum_) {
    const int track = area.width() - 2 * margin_;
    const int cx = margin_ + (track - 1) * (position_ - minimum_) / (maximum_ - minimum_);
    const QSize thumb = thumb_.deviceIndependentSize().toSize();
    painter.drawPixmap(cx - thumb.width() / 2, (area.height() - thumb.height()) / 2, thumb_);
  }
  if (hasFocus() && focusRing_ && enabled_) PaintFocusRing(painter, area);
  else if (pointerOver_ && enabled_) {
    QPen pen(QColor(255, 255, 255, 110), 1, Qt::DotLine);
    painter.setPen(pen);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
  }
}

void CBitmapSlider::mousePressEvent(QMouseEvent* event) {
  if (!enabled_ || event->button() != Qt::LeftButton) return;
  dragging_ = true;
  grabMouse();
  setFocus(Qt::MouseFocusReason);
  focus_ = true;
  MoveByUser(PositionAt(event->position().toPoint().x()));
}

void CBitmapSlider::mouseMoveEvent(QMouseEvent* event) {
  if (!enabled_ || !dragging_ || !(event->buttons() & Qt::LeftButton)) return;
  const int next = PositionAt(event->position().toPoint().x());
  if (next != position_) MoveByUser(next);
}

void CBitmapSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton) return;
  dragging_ = false;
  releaseMouse();
  if (enabled_) MoveByUser(position_);
}

void CBitmapSlider::keyPressEvent(QKeyEvent* event) {
  if (!enabled_) return;
  focusRing_ = true;
  switch (event->key()) {
    case Qt::Key_PageUp: MoveByUser(position_ - pageSize_); break;
    case Qt::Key_PageDown: MoveByUser(position_ + pageSize_); break;
    case Qt::Key_End: MoveByUser(maximum_); break;
    case Qt::Key_Home: MoveByUser(minimum_); break;
    case Qt::Key_Right:
    case Qt::Key_Down: MoveByUser(position_ + 1); break;
    case Qt::Key_Left:
    case Qt::Key_Up: MoveByUser(position_ - 1); break;
    default: QWidget::keyPressEvent(event); return;
  }
  event->accept();
}

void CBitmapSlider::wheelEvent(QWheelEvent* event) {
  if (!enabled_) return;
  // One step per notch (120 units); turning away from the user moves up the range.
  wheelRemainder_ += event->angleDelta().y();
  const int steps = wheelRemainder_ / 120;
  wheelRemainder_ -= steps * 120;
  if (steps != 0) MoveByUser(position_ + steps);
  event->accept();
}

void CBitmapSlider::enterEvent(QEnterEvent* event) {
  pointerOver_ = true;
  update();
  QWidget::enterEvent(event);
}

void CBitmapSlider::leaveEvent(QEvent* event) {
  pointerOver_ = false;
  update();
  QWidget::leaveEvent(event);
}

void CBitmapSlider::focusInEvent(QFocusEvent* event) {
  focus_ = true;
  focusRing_ = FocusRingShownFor(event->reason());
  update();
  QWidget::focusInEvent(event);
}

void CBitmapSlider::focusOutEvent(QFocusEvent* event) {
  focus_ = false;
  update();
  QWidget::focusOutEvent(event);
}

}  // namespace vantrel::ui
