// Colour swatch button: shows the chosen colour and opens the colour picker when clicked.
#pragma once

#include <QColor>
#include <QPushButton>
#include <functional>
#include <optional>

namespace vantrel::ui {

class CSkinColorBtn : public QPushButton {
  Q_OBJECT
 public:
  explicit CSkinColorBtn(QWidget* parent = nullptr, int controlId = 0);

  int controlId() const { return controlId_; }
  void SetColor(const QColor& colour);
  QColor color() const { return colour_; }

  // The picker asked on a click: nothing when the user cancels. Defaults to QColorDialog.
  using Picker = std::function<std::optional<QColor>(const QColor& current, QWidget* parent)>;
  void SetPicker(Picker picker) { picker_ = std::move(picker); }

 signals:
  void colorChanged(int controlId, const QColor& colour);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void Pick();

  int controlId_;
  QColor colour_{255, 255, 255};
  Picker picker_;
};

}  // namespace vantrel::ui
