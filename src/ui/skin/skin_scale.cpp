#include "ui/skin/skin_scale.h"

#include <QPainter>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "ui/skin/base_dialog.h"

namespace vantrel::ui {

namespace {

constexpr const char* kNaturalGeometry = "vantrelSkinGeometry";
constexpr const char* kNaturalFont = "vantrelSkinFont";
constexpr const char* kSkinPainted = "vantrelSkinPainted";

int Scaled(int value, qreal scale) { return static_cast<int>(std::lround(value * scale)); }

// The skin value kept under `name`. `current` is kept instead when the window is drawn at 1
// (what it shows then is the skin value) or nothing was kept yet.
template <typename T>
T Natural(QWidget& widget, const char* name, const T& current, bool atOne) {
  const QVariant kept = widget.property(name);
  if (kept.isValid() && !atOne) return kept.value<T>();
  widget.setProperty(name, QVariant::fromValue(current));
  return current;
}

}  // namespace

qreal FittingScaleFactor(const QSize& natural, const QRect& available) {
  if (natural.width() <= 0 || natural.height() <= 0 || available.width() <= 0 || available.height() <= 0) return 1.0;
  const qreal across = static_cast<qreal>(available.width()) / natural.width();
  const qreal down = static_cast<qreal>(available.height()) / natural.height();
  const qreal fit = std::min(across, down);
  if (fit >= 1.0) return 1.0;
  // Whole thousandths, rounded down: the scaled window never comes out a pixel too large.
  return std::max(kSmallestSkinScale, std::floor(fit * 1000.0) / 1000.0);
}

QRect ScaledRect(const QRect& natural, qreal scale) {
  const int left = Scaled(natural.x(), scale), top = Scaled(natural.y(), scale);
  const int right = Scaled(natural.x() + natural.width(), scale);
  const int bottom = Scaled(natural.y() + natural.height(), scale);
  return QRect(left, top, right - left, bottom - top);
}

QSize ScaledSize(const QSize& natural, qreal scale) {
  return QSize(Scaled(natural.width(), scale), Scaled(natural.height(), scale));
}

QFont ScaledFont(const QFont& natural, qreal scale) {
  QFont font(natural);
  if (natural.pointSizeF() > 0) font.setPointSizeF(natural.pointSizeF() * scale);
  else if (natural.pixelSize() > 0) font.setPixelSize(std::max(1, Scaled(natural.pixelSize(), scale)));
  return font;
}

qreal SkinScaleOf(const QWidget& widget) {
  for (const QWidget* w = &widget; w != nullptr; w = w->parentWidget()) {
    if (const auto* dialog = qobject_cast<const CBaseDialog*>(w)) return dialog->skinScale();
    if (w->isWindow()) break;
  }
  return 1.0;
}

QSize SkinSize(const QWidget& widget) {
  const QVariant kept = widget.property(kNaturalGeometry);
  if (kept.isValid() && SkinScaleOf(widget) != 1.0) return kept.toRect().size();
  return widget.size();
}

void MarkSkinPainted(QWidget& control) { control.setProperty(kSkinPainted, true); }
bool IsSkinPainted(const QWidget& control) { return control.property(kSkinPainted).toBool(); }

qreal ScaleSkinPainter(QPainter& painter, const QWidget& widget) {
  const qreal scale = SkinScaleOf(widget);
  if (scale != 1.0) {
    // Pictures made smaller are filtered, not sampled: one-pixel lines of the skin survive.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.scale(scale, scale);
  }
  return scale;
}

void ScaleChild(QWidget& child, qreal from, qreal scale) {
  if (child.isWindow()) return;
  const bool atOne = from == 1.0;
  child.setGeometry(ScaledRect(Natural(child, kNaturalGeometry, child.geometry(), atOne), scale));
  // Ordinary controls that set a font of their own do not take the window's.
  QList<QWidget*> controls = child.findChildren<QWidget*>();
  controls.prepend(&child);
  for (QWidget* control : controls) {
    if (control->isWindow() || IsSkinPainted(*control)) continue;
    if (!control->testAttribute(Qt::WA_SetFont) && !control->property(kNaturalFont).isValid()) continue;
    const QFont natural = Natural(*control, kNaturalFont, control->font(), atOne);
    // A font of its own that leaves the size to the window follows the window's.
    if ((natural.resolveMask() & QFont::SizeResolved) == 0) continue;
    control->setFont(ScaledFont(natural, scale));
  }
}

void ScaleChildren(QWidget& window, qreal from, qreal scale) {
  window.setFont(ScaledFont(Natural(window, kNaturalFont, window.font(), from == 1.0), scale));
  for (QObject* object : window.children()) {
    if (auto* child = qobject_cast<QWidget*>(object)) ScaleChild(*child, from, scale);
  }
}

void PlaceInSkin(QWidget& control, const QRect& natural) {
  const qreal scale = SkinScaleOf(control);
  if (scale == 1.0) {
    control.setGeometry(natural);
    return;
  }
  control.setProperty(kNaturalGeometry, natural);
  control.setGeometry(ScaledRect(natural, scale));
}

}  // namespace vantrel::ui
