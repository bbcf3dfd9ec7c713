#include "ui/skin/skin_accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QPainter>
#include <QWidget>
#include <limits>

#include "ui/skin/bitmap_slider.h"
#include "ui/skin/png_button.h"
#include "ui/skin/skin_color_btn.h"

namespace vantrel::ui {

namespace {

QString PlainCaption(QString text) {
  // Captions may carry a mnemonic marker; a reader says the word without it.
  text.remove(QLatin1Char('&'));
  return text;
}

// Image button: a push button, or a check box while it toggles between two pictures.
class PngButtonAccessible final : public QAccessibleWidget {
 public:
  explicit PngButtonAccessible(CPngButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

  CPngButton* button() const { return static_cast<CPngButton*>(widget()); }

  QAccessible::Role role() const override {
    return button()->isToggleMode() ? QAccessible::CheckBox : QAccessible::Button;
  }

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    if (button()->isToggleMode()) {
      s.checkable = true;
      s.checked = button()->isToggled();
    }
    if (button()->isDown()) s.pressed = true;
    return s;
  }

  QString text(QAccessible::Text t) const override {
    const CPngButton* b = button();
    switch (t) {
      case QAccessible::Name:
        if (!b->accessibleName().isEmpty()) return b->accessibleName();
        if (!b->text().isEmpty()) return PlainCaption(b->text());
        return b->tooltipText();
      case QAccessible::Description:
        if (!b->accessibleDescription().isEmpty()) return b->accessibleDescription();
        return b->tooltipText();
      default: return QAccessibleWidget::text(t);
    }
  }

  QStringList actionNames() const override {
    if (!button()->isEnabled()) return {};
    return {button()->isToggleMode() ? toggleAction() : pressAction()};
  }

  void doAction(const QString& action) override {
    if (button()->isEnabled() && (action == pressAction() || action == toggleAction())) button()->click();
  }
};

// Picture slider: a slider with a value.
class SliderAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit SliderAccessible(CBitmapSlider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

  CBitmapSlider* slider() const { return static_cast<CBitmapSlider*>(widget()); }

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return QString::number(slider()->pos());
    return QAccessibleWidget::text(t);
  }

  QVariant currentValue() const override { return slider()->pos(); }
  void setCurrentValue(const QVariant& value) override {
    if (slider()->isSliderEnabled()) slider()->SetPosByUser(value.toInt());
  }
  QVariant maximumValue() const override { return slider()->maximum(); }
  QVariant minimumValue() const override { return slider()->minimum(); }
  QVariant minimumStepSize() const override { return 1; }
};

// Colour swatch: a push button whose value is the colour shown.
class ColourButtonAccessible final : public QAccessibleWidget {
 public:
  explicit ColourButtonAccessible(CSkinColorBtn* button) : QAccessibleWidget(button, QAccessible::Button) {
    addControllingSignal(QLatin1String("clicked(bool)"));
  }

  CSkinColorBtn* button() const { return static_cast<CSkinColorBtn*>(widget()); }

  QString text(QAccessible::Text t) const override {
    const CSkinColorBtn* b = button();
    switch (t) {
      case QAccessible::Name:
        if (!b->accessibleName().isEmpty()) return b->accessibleName();
        if (!b->text().isEmpty()) return PlainCaption(b->text());
        return b->toolTip();
      case QAccessible::Value: return b->color().name().toUpper();
      default: return QAccessibleWidget::text(t);
    }
  }

  QStringList actionNames() const override { return button()->isEnabled() ? QStringList{pressAction()} : QStringList{}; }
  void doAction(const QString& action) override {
    if (action == pressAction() && button()->isEnabled()) button()->click();
  }
};

QAccessibleInterface* SkinAccessibleFactory(const QString& className, QObject* object) {
  if (!object || !object->isWidgetType()) return nullptr;
  if (className == QLatin1String(CPngButton::staticMetaObject.className()))
    return new PngButtonAccessible(static_cast<CPngButton*>(object));
  if (className == QLatin1String(CBitmapSlider::staticMetaObject.className()))
    return new SliderAccessible(static_cast<CBitmapSlider*>(object));
  if (className == QLatin1String(CSkinColorBtn::staticMetaObject.className()))
    return new ColourButtonAccessible(static_cast<CSkinColorBtn*>(object));
  return nullptr;
}

}  // namespace

void InstallSkinAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(SkinAccessibleFactory);
    return true;
  }();
  (void)installed;
}

void PaintFocusRing(QPainter& painter, const QRect& rect) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setBrush(Qt::NoBrush);
  // 1.5 px, drawn on half pixels inside the rectangle so no part of it is clipped.
  painter.setPen(QPen(kFocusRingColour, 1.5));
  painter.drawRoundedRect(QRectF(rect).adjusted(1, 1, -1, -1), 3, 3);
  painter.restore();
}

bool FocusRingShownFor(Qt::FocusReason reason) {
  return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::OtherFocusReason ||
         reason == Qt::ShortcutFocusReason;
}

void NotifyDescriptionChanged(QWidget* widget) {
  if (!widget || !QAccessible::isActive()) return;
  QAccessibleEvent description(widget, QAccessible::DescriptionChanged);
  QAccessible::updateAccessibility(&description);
}

void SetTabChain(const QList<QWidget*>& chain) {
  QWidget* previous = nullptr;
  for (QWidget* w : chain) {
    if (!w) continue;
    if (previous) QWidget::setTabOrder(previous, w);
    previous = w;
  }
}

int NearestInDirection(const QRect& from, const std::vector<QRect>& candidates, ArrowDirection direction) {
  const QPointF c = QRectF(from).center();
  int best = -1;
  double bestScore = std::numeric_limits<double>::max();
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    const QPointF p = QRectF(candidates[i]).center();
    double ahead = 0, aside = 0;
    switch (direction) {
      case ArrowDirection::Left: ahead = c.x() - p.x(), aside = p.y() - c.y(); break;
      case ArrowDirection::Right: ahead = p.x() - c.x(), aside = p.y() - c.y(); break;
      case ArrowDirection::Up: ahead = c.y() - p.y(), aside = p.x() - c.x(); break;
      case ArrowDirection::Down: ahead = p.y() - c.y(), aside = p.x() - c.x(); break;
    }
    if (ahead < 1.0) continue;
    // Keys of the same row overlap vertically; sideways offsets within the rectangle's own
    // extent (a wide key above narrow ones) cost nothing.
    const bool horizontal = direction == ArrowDirection::Left || direction == ArrowDirection::Right;
    const double slack = (horizontal ? from.height() : from.width()) / 2.0;
    const double off = std::max(0.0, std::abs(aside) - slack);
    const double score = ahead + 10.0 * off + 0.01 * std::abs(aside);
    if (score < bestScore) {
      bestScore = score;
      best = static_cast<int>(i);
    }
  }
  return best;
}

ArrowKeyGroup::ArrowKeyGroup(const QList<QWidget*>& buttons, QObject* owner) : QObject(owner) {
  for (QWidget* b : buttons) {
    if (!b) continue;
    buttons_.push_back(b);
    b->installEventFilter(this);
    b->setFocusPolicy(Qt::NoFocus);
  }
  for (const auto& b : buttons_) {
    if (b->isEnabled()) {
      MakeTabStop(b);
      break;
    }
  }
}

void ArrowKeyGroup::MakeTabStop(QWidget* button) {
  if (current_ == button) return;
  if (current_) current_->setFocusPolicy(Qt::NoFocus);
  current_ = button;
  if (current_) current_->setFocusPolicy(Qt::TabFocus);
}

bool ArrowKeyGroup::Move(QWidget* from, ArrowDirection direction) {
  if (!from) return false;
  std::vector<QRect> rects;
  std::vector<QWidget*> targets;
  for (const auto& b : buttons_) {
    if (!b || b == from || !b->isEnabled() || b->isHidden()) continue;
    targets.push_back(b);
    rects.push_back(b->geometry());
  }
  const int next = NearestInDirection(from->geometry(), rects, direction);
  if (next < 0) return false;
  QWidget* target = targets[static_cast<std::size_t>(next)];
  MakeTabStop(target);
  target->setFocus(Qt::OtherFocusReason);
  return true;
}

bool ArrowKeyGroup::eventFilter(QObject* watched, QEvent* event) {
  auto* w = qobject_cast<QWidget*>(watched);
  if (!w) return false;
  switch (event->type()) {
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->modifiers() & ~Qt::KeypadModifier) return false;
      ArrowDirection d;
      switch (key->key()) {
        case Qt::Key_Left: d = ArrowDirection::Left; break;
        case Qt::Key_Right: d = ArrowDirection::Right; break;
        case Qt::Key_Up: d = ArrowDirection::Up; break;
        case Qt::Key_Down: d = ArrowDirection::Down; break;
        default: return false;
      }
      Move(w, d);
      return true;  // at the edge of the picture the focus stays where it is
    }
    case QEvent::FocusIn: MakeTabStop(w); break;
    case QEvent::EnabledChange:
    case QEvent::HideToParent:
    case QEvent::ShowToParent: {
      // The tab stop must stay reachable: it passes to the first usable button, or to a
      // button that becomes usable while the stop is not.
      const auto usable = [](const QWidget* b) { return b && b->isEnabled() && !b->isHidden(); };
      if (!usable(current_) && usable(w)) {
        MakeTabStop(w);
      } else if (w == current_ && !usable(w)) {
        for (const auto& b : buttons_) {
          if (b && b != w && b->isEnabled() && !b->isHidden()) {
            MakeTabStop(b);
            break;
          }
        }
      }
      break;
    }
    default: break;
  }
  return false;
}

}  // namespace vantrel::ui
