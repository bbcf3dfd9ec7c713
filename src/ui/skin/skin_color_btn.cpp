#include "ui/skin/skin_color_btn.h"

#include <QColorDialog>
#include <QPainter>
#include <QStyleOptionButton>

namespace vantrel::ui {

CSkinColorBtn::CSkinColorBtn(QWidget* parent, int controlId) : QPushButton(parent), controlId_(controlId) {
  setFlat(true);
  setCursor(Qt::PointingHandCursor);
  connect(this, &QPushButton::clicked, this, &CSkinColorBtn::Pick);
}

void CSkinColorBtn::SetColor(const QColor& colour) {
  colour_ = colour;
  update();
}

void CSkinColorBtn::Pick() {
  std::optional<QColor> chosen;
  if (picker_) {
    chosen = picker_(colour_, this);
  } else {
    const QColor c = QColorDialog::getColor(colour_, this);
    if (c.isValid()) chosen = c;
  }
  if (chosen && chosen->isValid() && *chosen != colour_) {
    colour_ = *chosen;
    emit colorChanged(controlId_, colour_);
  }
  // Repaint after the pop-up closes, whatever was chosen.
  update();
}

void CSkinColorBtn::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, true);
  // Border: the inner (focus) rectangle grown by 3 pixels on each side, which is the
  // client rectangle; the swatch sits inside the inner rectangle.
  const QRectF outer = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  const QRectF inner = outer.adjusted(3, 3, -3, -3);
  const bool hot = underMouse() || isDown();
  painter.setPen(QPen(hot ? QColor(0x3D, 0xC8, 0xFF) : QColor(0x5A, 0x62, 0x70), 1));
  painter.setBrush(QColor(0x1B, 0x1F, 0x26));
  painter.drawRoundedRect(outer, 3, 3);
  painter.setPen(QPen(QColor(0, 0, 0, 120), 1));
  painter.setBrush(colour_);
  painter.drawRoundedRect(inner, 2, 2);
}

void CSkinColorBtn::leaveEvent(QEvent* event) {
  update();
  QPushButton::leaveEvent(event);
}

}  // namespace vantrel::ui
