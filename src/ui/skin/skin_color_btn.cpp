#include "ui/skin/skin_color_btn.h"

#include <QAccessible>
#include <QColorDialog>
#include <QEvent>
#include <QKeyEvent>
#include <QValidator>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QStyleOptionButton>

#include "ui/skin/skin_accessibility.h"
#include "ui/skin/skin_scale.h"

namespace vantrel::ui {

CSkinColorBtn::CSkinColorBtn(QWidget* parent, int controlId) : QPushButton(parent), controlId_(controlId) {
  setFlat(true);
  MarkSkinPainted(*this);
  setCursor(Qt::PointingHandCursor);
  // Tab reaches it; a click leaves the focus where it was, as with the image buttons.
  setFocusPolicy(Qt::TabFocus);
  setAutoDefault(false);
  InstallSkinAccessibility();
  connect(this, &QPushButton::clicked, this, &CSkinColorBtn::Pick);
}

void CSkinColorBtn::SetColor(const QColor& colour) {
  const bool changed = colour != colour_;
  colour_ = colour;
  update();
  if (changed && QAccessible::isActive()) {
    QAccessibleValueChangeEvent event(this, colour_.name().toUpper());
    QAccessible::updateAccessibility(&event);
  }
}

void CSkinColorBtn::Pick() {
  std::optional<QColor> chosen;
  if (picker_) {
    chosen = picker_(colour_, this);
  } else {
    // Qt's own dialog, like the file dialogs: it follows the program's dark look.
    const QColor c = QColorDialog::getColor(colour_, this, QString(), QColorDialog::DontUseNativeDialog);
    if (c.isValid()) chosen = c;
  }
  if (chosen && reportSame_ && chosen->isValid() && *chosen == colour_) {
    emit colorChanged(controlId_, colour_);
  } else if (chosen) {
    Choose(*chosen);
  }
  // Repaint after the pop-up closes, whatever was chosen.
  update();
}

void CSkinColorBtn::Choose(const QColor& colour) {
  if (!colour.isValid() || colour == colour_) return;
  SetColor(colour);
  emit colorChanged(controlId_, colour_);
}

void CSkinColorBtn::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, true);
  ScaleSkinPainter(painter, *this);
  const QRect area = SkinRect(*this);
  // Border: the inner (focus) rectangle grown by 3 pixels on each side, which is the
  // client rectangle; the swatch sits inside the inner rectangle.
  const QRectF outer = QRectF(area).adjusted(0.5, 0.5, -0.5, -0.5);
  const QRectF inner = outer.adjusted(3, 3, -3, -3);
  const bool hot = underMouse() || isDown();
  painter.setPen(QPen(hot ? QColor(0x3D, 0xC8, 0xFF) : QColor(0x5A, 0x62, 0x70), 1));
  painter.setBrush(QColor(0x1B, 0x1F, 0x26));
  painter.drawRoundedRect(outer, 3, 3);
  painter.setPen(QPen(QColor(0, 0, 0, 120), 1));
  painter.setBrush(colour_);
  painter.drawRoundedRect(inner, 2, 2);
  if (hasFocus() && focusRing_) PaintFocusRing(painter, area);
}

void CSkinColorBtn::focusInEvent(QFocusEvent* event) {
  focusRing_ = FocusRingShownFor(event->reason());
  QPushButton::focusInEvent(event);
}

void CSkinColorBtn::keyPressEvent(QKeyEvent* event) {
  focusRing_ = true;
  // Enter opens the picker as Space does.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()) {
    click();
    event->accept();
    return;
  }
  QPushButton::keyPressEvent(event);
}

void CSkinColorBtn::leaveEvent(QEvent* event) {
  update();
  QPushButton::leaveEvent(event);
}

namespace {

// 0 to 255: digits only, and a value above 255 cannot even be typed.
class ByteValidator final : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    if (input.isEmpty()) return Intermediate;
    if (input.size() > 3) return Invalid;
    for (QChar c : input)
      if (c < u'0' || c > u'9') return Invalid;
    return input.toInt() <= 255 ? Acceptable : Invalid;
  }
};

// Takes the fields' values on editing's end; puts the button's value back into a field
// left without an acceptable number.
class RgbFieldsBinding final : public QObject {
 public:
  RgbFieldsBinding(const std::array<QLineEdit*, 3>& fields, CSkinColorBtn& button)
      : QObject(&button), button_(button) {
    for (std::size_t i = 0; i < 3; ++i) {
      QLineEdit* field = fields[i];
      fields_[i] = field;
      field->setReadOnly(false);
      field->setValidator(new ByteValidator(field));
      field->installEventFilter(this);
      connect(field, &QLineEdit::editingFinished, this, [this] { Take(); });
    }
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusOut) {
      for (const auto& field : fields_)
        if (field == watched && !field->hasAcceptableInput()) ShowButtonValue();
    }
    return false;
  }

 private:
  // False while the window is being taken apart.
  bool Whole() const { return fields_[0] && fields_[1] && fields_[2]; }
  void Take() {
    if (!Whole()) return;
    int rgb[3];
    for (std::size_t i = 0; i < 3; ++i) {
      if (!fields_[i]->hasAcceptableInput()) return;
      rgb[i] = fields_[i]->text().toInt();
    }
    button_.Choose(QColor(rgb[0], rgb[1], rgb[2]));
    // The same colour again is not reported; the fields still show it plainly ("007": 7).
    ShowButtonValue();
  }
  void ShowButtonValue() {
    if (!Whole()) return;
    const QColor c = button_.color();
    const int values[3] = {c.red(), c.green(), c.blue()};
    for (std::size_t i = 0; i < 3; ++i) {
      const QString text = QString::number(values[i]);
      if (fields_[i]->text() != text) fields_[i]->setText(text);
    }
  }

  std::array<QPointer<QLineEdit>, 3> fields_;
  CSkinColorBtn& button_;
};

}  // namespace

void BindRgbFields(const std::array<QLineEdit*, 3>& fields, CSkinColorBtn& button) {
  for (QLineEdit* field : fields)
    if (!field) return;
  new RgbFieldsBinding(fields, button);
}

}  // namespace vantrel::ui
