#include "ui/skin/color_static.h"


#include <QPainter>

#include "ui/skin/skin_scale.h"

namespace vantrel::ui {

ColorStatic::ColorStatic(QWidget* parent, int controlId) : QLabel(parent), controlId_(controlId) {
  setAttribute(Qt::WA_TranslucentBackground, true);
  setAutoFillBackground(false);
  MarkSkinPainted(*this);
}

void ColorStatic::SetTextColor(const QColor& colour) {
  colour_ = colour;
  // The parent's background shows through, so the area under the text is drawn again too.
  if (parentWidget()) parentWidget()->update(geometry());
  repaint();
}

void ColorStatic::SetFontHeight(int pixels) {
  fontHeight_ = pixels;
  if (pixels > 0) {
    QFont f = font();
    f.setPixelSize(pixels);
    setFont(f);
  }
  if (parentWidget()) parentWidget()->update(geometry());
  repaint();
}

void ColorStatic::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // The text at the window's factor: laid out in skin coordinates, where it was placed.
  const qreal scale = ScaleSkinPainter(painter, *this);
  const QRect place = scale == 1.0 ? contentsRect() : SkinRect(*this).marginsRemoved(contentsMargins());
  painter.setPen(colour_);
  painter.setFont(font());
  const int flags = static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0);
  painter.drawText(place, flags, text());
}

ColorStatic* MakeStatusLine(QWidget* parent, int controlId, const QString& objectName) {
  auto* line = new ColorStatic(parent, controlId);
  line->setObjectName(objectName);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(12);
  line->setFont(font);
  line->SetTextColor(QColor(0xC4, 0xCA, 0xD4));
  line->setWordWrap(true);
  line->setTextFormat(Qt::PlainText);
  return line;
}

}  // namespace vantrel::ui
