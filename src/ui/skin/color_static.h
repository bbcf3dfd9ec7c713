// Static text with a transparent background in a chosen colour.
#pragma once

#include <QColor>
#include <QLabel>

namespace vantrel::ui {

class ColorStatic : public QLabel {
  Q_OBJECT
 public:
  explicit ColorStatic(QWidget* parent = nullptr, int controlId = 0);

  int controlId() const { return controlId_; }
  void SetTextColor(const QColor& colour);
  QColor textColor() const { return colour_; }
  // Font height in pixels; 0 keeps the widget's font.
  void SetFontHeight(int pixels);
  int fontHeight() const { return fontHeight_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int controlId_;
  QColor colour_{0xFF, 0xFF, 0xFF};
  int fontHeight_ = 0;
};

// The status line of a secondary window: light grey, 12 pixels, wrapped plain text.
ColorStatic* MakeStatusLine(QWidget* parent, int controlId, const QString& objectName);

}  // namespace vantrel::ui
