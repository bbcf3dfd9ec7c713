// Colour swatch button: shows the chosen colour and opens the colour picker when clicked.
#pragma once

#include <QColor>
#include <QPushButton>
#include <array>
#include <functional>
#include <optional>

class QLineEdit;

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
  // colorChanged also for the colour already shown (a choice that means more than the
  // colour, e.g. leaving multicolour).
  void SetReportSameColour(bool on) { reportSame_ = on; }
  // As if the user had picked `colour`: shown, and reported when it differs.
  void Choose(const QColor& colour);

 signals:
  void colorChanged(int controlId, const QColor& colour);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  void Pick();

  int controlId_;
  bool reportSame_ = false;
  bool focusRing_ = false;  // focus came from the keyboard, or a key was used since
  QColor colour_{255, 255, 255};
  Picker picker_;
};

// Three number fields (red, green, blue: 0 to 255) that edit a colour button's colour: the
// values are taken when a field is left or Enter is pressed in it, as if the colour had
// been picked with the button. A field left empty shows the button's value again.
void BindRgbFields(const std::array<QLineEdit*, 3>& fields, CSkinColorBtn& button);

}  // namespace vantrel::ui
