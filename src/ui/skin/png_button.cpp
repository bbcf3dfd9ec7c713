#include "ui/skin/png_button.h"

#include <QAccessible>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "core/text/skin_values.h"
#include "ui/skin/skin_accessibility.h"
#include "ui/skin/skin_placement.h"

namespace vantrel::ui {

int TextFormatToQtFlags(unsigned format) {
  int flags = 0;
  if (format & kTextCenter) flags |= Qt::AlignHCenter;
  else if (format & kTextRight) flags |= Qt::AlignRight;
  else flags |= Qt::AlignLeft;
  // Vertical placement applies to single-line text only, as with the platform's flags.
  if ((format & kTextSingleLine) && (format & kTextVCenter)) flags |= Qt::AlignVCenter;
  else if ((format & kTextSingleLine) && (format & kTextBottom)) flags |= Qt::AlignBottom;
  else flags |= Qt::AlignTop;
  if ((format & kTextWordBreak) && !(format & kTextSingleLine)) flags |= Qt::TextWordWrap;
  else flags |= Qt::TextSingleLine;
  return flags;
}

ButtonFace ChooseButtonFace(bool enabled, bool toggleMode, bool toggled, bool pressed, bool hovering, bool selected) {
  if (!enabled) return ButtonFace::Disabled;
  if (toggleMode) return toggled ? ButtonFace::Toggle2 : ButtonFace::Toggle1;
  if (pressed) return ButtonFace::Pressed;
  if (hovering) return ButtonFace::Hover;
  if (selected) return ButtonFace::Selected;
  return ButtonFace::Normal;
}

QRect RecentredRotatedTextRect(const QRect& client, int textWidth, int textHeight, int tenthsOfDegree) {
  const double angle = tenthsOfDegree / 10.0 * std::numbers::pi / 180.0;
  const double c = std::cos(angle), s = std::sin(angle);
  // Text is drawn from its top-left corner, turned counter-clockwise about it. The centre
  // of the turned text lies at (w/2 * cos + h/2 * sin, -w/2 * sin + h/2 * cos) from there.
  const double cx = textWidth / 2.0 * c + textHeight / 2.0 * s;
  const double cy = -textWidth / 2.0 * s + textHeight / 2.0 * c;
  const QPoint centre = client.center();
  const int left = static_cast<int>(std::lround(centre.x() - cx));
  const int top = static_cast<int>(std::lround(centre.y() - cy));
  return QRect(left, top, client.width(), client.height());
}

namespace {

constexpr int kCorner = CPngButton::kFlatRadius;  // side of a corner square, pixels
constexpr int kCornerPixels = kCorner * kCorner;
constexpr int kCornerAtlas = 2 * kCorner;

// How much of each pixel of the four corner squares (top-left, top-right, bottom-left,
// bottom-right; rows top down) the antialiased rounded outline covers, 0..255, read once
// from a rounded square drawn by the rasteriser. Whole-pixel edges are covered fully, so a
// flat face made of filled bands and these corners blended in matches the drawn rounded
// rectangle pixel for pixel, at a fraction of its cost.
using CornerCoverage = std::array<std::array<std::uint8_t, kCornerPixels>, 4>;

const CornerCoverage& FlatCornerCoverage() {
  static const CornerCoverage coverage = [] {
    constexpr int kSide = 4 * kCorner;
    QImage square(kSide, kSide, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    QPainter painter(&square);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(0, 0, kSide, kSide), kCorner, kCorner);
    painter.end();
    CornerCoverage out{};
    for (std::size_t k = 0; k < 4; ++k) {
      const int left = (k & 1) ? kSide - kCorner : 0, top = (k & 2) ? kSide - kCorner : 0;
      for (int i = 0; i < kCornerPixels; ++i)
        out[k][static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(qAlpha(square.pixel(left + i % kCorner, top + i / kCorner)));
    }
    return out;
  }();
  return coverage;
}

}  // namespace

CPngButton::CPngButton(QWidget* parent, int controlId) : QAbstractButton(parent), controlId_(controlId) {
  setMouseTracking(true);
  setAttribute(Qt::WA_Hover, true);
  MarkSkinPainted(*this);
  // Reached by Tab but not taken by a click, so the mouse leaves the focus where it was.
  setFocusPolicy(Qt::TabFocus);
  InstallSkinAccessibility();
  tooltipTimer_.setSingleShot(true);
  tooltipTimer_.setInterval(kTooltipDelayMs);
  connect(&tooltipTimer_, &QTimer::timeout, this, &CPngButton::ShowTooltip);
}

void CPngButton::SetStatePictures(const QPixmap& normal, const QPixmap& hover, const QPixmap& pressed,
                                  const QPixmap& disabled, const QPixmap& selected) {
  pictures_[0] = normal;
  pictures_[1] = hover;
  pictures_[2] = pressed;
  pictures_[3] = disabled;
  pictures_[4] = selected;
  composedFor_ = -1;
  update();
}

void CPngButton::SetFaceOrigin(int x, int y) {
  faceOrigin_ = QPoint(x, y);
  composedFor_ = -1;
  update();
}

void CPngButton::SetTogglePictures(const QPixmap& first, const QPixmap& second) {
  pictures_[5] = first;
  pictures_[6] = second;
  composedFor_ = -1;
  update();
}

void CPngButton::SetToggleMode(bool on) {
  toggleMode_ = on;
  update();
}

void CPngButton::SetToggled(bool toggled) {
  const bool changed = toggled_ != toggled;
  toggled_ = toggled;
  update();
  if (changed && toggleMode_ && QAccessible::isActive()) {
    QAccessible::State state;
    state.checked = true;
    QAccessibleStateChangeEvent event(this, state);
    QAccessible::updateAccessibility(&event);
  }
}

void CPngButton::SetSelected(bool selected) {
  selected_ = selected;
  update();
}

void CPngButton::SetFrameMode(bool on, const QColor& colour) {
  frameMode_ = on;
  frameColour_ = colour;
  composedFor_ = -1;
  update();
}

void CPngButton::SetFlatColour(const QColor& colour) {
  if (colour == flatColour_ || (!colour.isValid() && !flatColour_.isValid())) return;
  flatColour_ = colour;
  // What is drawn for the colour is made when it is first painted.
  flatCornersValid_ = false;
  composedFor_ = -1;
  // Only the flat area changes; the picture around it stays as it is. The area is marked
  // on the parent, which repaints this button with it: a preview frame recolours a hundred
  // keys, and the window's repaint clips every widget marked dirty to the window's shape
  // separately, which would cost more than the painting. One dirty parent is clipped once.
  // In a window drawn scaled the flat area's edges fall between pixels: all of it is redone.
  const QRect area = SkinScaleOf(*this) == 1.0 ? FlatFaceRect() : rect();
  if (QWidget* parent = parentWidget(); parent && !isWindow()) parent->update(area.translated(pos()));
  else update(area);
}

void CPngButton::FillFlatCorners() {
  // The corners, premultiplied, as the rasteriser would blend the colour into them.
  if (flatCorners_.isNull()) flatCorners_ = QImage(kCornerAtlas, kCornerAtlas, QImage::Format_ARGB32_Premultiplied);
  const QRgb rgb = flatColour_.rgb() & 0x00FFFFFF;
  const CornerCoverage& coverage = FlatCornerCoverage();
  auto* pixels = reinterpret_cast<QRgb*>(flatCorners_.bits());
  const auto stride = static_cast<int>(flatCorners_.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb)));
  for (std::size_t k = 0; k < 4; ++k) {
    for (int i = 0; i < kCornerPixels; ++i) {
      const int x = static_cast<int>(k & 1) * kCorner + i % kCorner;
      const int y = static_cast<int>(k >> 1) * kCorner + i / kCorner;
      const QRgb pixel = rgb | (static_cast<QRgb>(coverage[k][static_cast<std::size_t>(i)]) << 24);
      pixels[y * stride + x] = qPremultiply(pixel);
    }
  }
  flatCornersValid_ = true;
}

bool CPngButton::CanComposeFlatFace(ButtonFace face) const {
  const QRect flat = FlatFaceRect();
  if (frameMode_ || !flatColour_.isValid() || flatColour_.alpha() != 255) return false;
  if (flat.width() < kCornerAtlas || flat.height() < kCornerAtlas) return false;
  // The composed face is made in the picture's pixels and drawn as a plain copy: only a
  // picture of the screen's own density, drawn unscaled, gives the same pixels.
  if (devicePixelRatioF() != 1.0 || SkinScaleOf(*this) != 1.0) return false;
  const QPixmap& picture = pictures_[static_cast<std::size_t>(face)];
  if (picture.isNull() || picture.devicePixelRatio() != 1.0 || picture.hasAlphaChannel()) return false;
  const auto origin = text::FaceSourceOrigin(faceOrigin_.x(), faceOrigin_.y());
  const QRect source = flat.translated(origin.x, origin.y);
  return picture.rect().contains(source);
}

bool CPngButton::PaintsOpaquely() const {
  if (frameMode_) return false;
  const QPixmap& picture = pictures_[static_cast<std::size_t>(currentFace())];
  if (picture.isNull() || picture.hasAlphaChannel()) return false;
  const auto origin = text::FaceSourceOrigin(faceOrigin_.x(), faceOrigin_.y());
  const QRect logical(QPoint(0, 0), picture.deviceIndependentSize().toSize());
  return logical.contains(QRect(QPoint(origin.x, origin.y), SkinSize(*this)));
}

namespace {

// Source-over of one premultiplied pixel onto an opaque one, with the raster engine's own
// rounding, so a composed corner equals the corner blended onto the picture when painted.
QRgb BlendOverOpaque(QRgb source, QRgb destination) {
  const std::uint32_t inverse = 255 - qAlpha(source);
  auto scale = [inverse](std::uint32_t channel) {
    const std::uint32_t t = channel * inverse;
    return (t + (t >> 8) + 0x80) >> 8;
  };
  return qRgb(static_cast<int>(qRed(source) + scale(static_cast<std::uint32_t>(qRed(destination)))),
              static_cast<int>(qGreen(source) + scale(static_cast<std::uint32_t>(qGreen(destination)))),
              static_cast<int>(qBlue(source) + scale(static_cast<std::uint32_t>(qBlue(destination)))));
}

}  // namespace

const QImage* CPngButton::ComposedFlatFace(ButtonFace face) {
  const int index = static_cast<int>(face);
  const QRect flat = FlatFaceRect();
  // Checked every time: the window may have moved to a screen of another density.
  if (!CanComposeFlatFace(face)) return nullptr;
  if (composedFor_ == index && composedFace_.size() == flat.size()) return &composedFace_;
  // A picture of the raster engine shares its pixels with the image: no copy is made.
  const QImage picture = pictures_[static_cast<std::size_t>(face)].toImage();
  const bool rowsOfRgb = picture.format() == QImage::Format_RGB32;
  const auto origin = text::FaceSourceOrigin(faceOrigin_.x(), faceOrigin_.y());
  const QPoint source = flat.topLeft() + QPoint(origin.x, origin.y);
  if (composedFace_.size() != flat.size()) composedFace_ = QImage(flat.size(), QImage::Format_RGB32);
  const QRgb rgb = flatColour_.rgb();
  composedFace_.fill(rgb);
  const CornerCoverage& coverage = FlatCornerCoverage();
  for (int k = 0; k < 4; ++k) {
    const int left = (k & 1) ? flat.width() - kCorner : 0, top = (k & 2) ? flat.height() - kCorner : 0;
    for (int y = 0; y < kCorner; ++y) {
      auto* row = reinterpret_cast<QRgb*>(composedFace_.scanLine(top + y));
      const int py = source.y() + top + y;
      const auto* under = rowsOfRgb ? reinterpret_cast<const QRgb*>(picture.constScanLine(py)) : nullptr;
      for (int x = 0; x < kCorner; ++x) {
        const auto cover = static_cast<QRgb>(coverage[static_cast<std::size_t>(k)][static_cast<std::size_t>(y * kCorner + x)]);
        const QRgb corner = qPremultiply((rgb & 0x00FFFFFF) | (cover << 24));
        const int px = source.x() + left + x;
        row[left + x] = BlendOverOpaque(corner, under ? under[px] : picture.pixel(px, py));
      }
    }
  }
  composedFor_ = index;
  return &composedFace_;
}

void CPngButton::SetTextAttributes(int pointSize, const QString& face, const std::array<QColor, 5>& colours,
                                   unsigned format) {
  hasFont_ = true;
  pointSize_ = pointSize;
  face_ = face;
  textColours_ = colours;
  format_ = format;
  update();
}

void CPngButton::SetTextInsets(int left, int right, int top, int bottom) {
  insetLeft_ = left;
  insetRight_ = right;
  insetTop_ = top;
  insetBottom_ = bottom;
  update();
}

void CPngButton::SetRotation(int tenthsOfDegree, bool bold) {
  rotation_ = tenthsOfDegree;
  bold_ = bold;
  update();
}

void CPngButton::SetTooltipText(const QString& tip) {
  if (tooltip_ == tip) return;
  tooltip_ = tip;
  // A key button's tooltip says what the key does: a reader hears the change.
  NotifyDescriptionChanged(this);
  if (text().isEmpty() && accessibleName().isEmpty() && QAccessible::isActive()) {
    QAccessibleEvent name(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&name);
  }
}

ButtonFace CPngButton::currentFace() const {
  return ChooseButtonFace(isEnabled(), toggleMode_, toggled_, isDown(), hovering_, selected_);
}

QFont CPngButton::captionFont() const {
  QFont font(face_);
  // Font height in pixels from points: size x vertical dots per inch / 72.
  font.setPixelSize(std::max(1, pointSize_ * logicalDpiY() / 72));
  font.setWeight(bold_ ? QFont::Black : QFont::Normal);
  return font;
}

void CPngButton::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  // Drawn in skin coordinates: the same pixels as the skin's at 1, made smaller with the window.
  ScaleSkinPainter(painter, *this);
  const QTransform skin = painter.transform();
  const QRect area = SkinRect(*this);
  const ButtonFace face = currentFace();
  const int colourIndex = static_cast<int>(face) <= 4 ? static_cast<int>(face) : 0;
  const QImage* composed = flatColour_.isValid() ? ComposedFlatFace(face) : nullptr;
  const bool focusRing = hasFocus() && focusRing_;
  // A preview frame repaints only the flat face: the composed face covers all of it, so the
  // picture and the caption beneath need not be drawn first.
  if (composed != nullptr && !focusRing && FlatFaceRect().contains(event->rect())) {
    painter.drawImage(FlatFaceRect().topLeft(), *composed);
    if (drawCallback_) drawCallback_(this, face == ButtonFace::Normal);
    return;
  }

  if (frameMode_) {
    QPen pen(frameColour_, 2);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(area).adjusted(1, 1, -1, -1));
  } else {
    const QPixmap& picture = pictures_[static_cast<std::size_t>(face)];
    if (!picture.isNull()) {
      const auto origin = text::FaceSourceOrigin(faceOrigin_.x(), faceOrigin_.y());
      DrawPicturePart(painter, area, picture, QRect(QPoint(origin.x, origin.y), area.size()));
    }
  }

  if (hasFont_ && !text().isEmpty()) {
    const QFont font = captionFont();
    painter.setFont(font);
    painter.setPen(face == ButtonFace::Toggle2 && toggledTextColour_.isValid()
                       ? toggledTextColour_
                       : textColours_[static_cast<std::size_t>(colourIndex)]);
    QRect client = area;
    client.adjust(insetLeft_, insetTop_, insetRight_, insetBottom_);
    const int flags = TextFormatToQtFlags(format_);
    if (rotation_ == 0) {
      painter.drawText(client, flags, text());
    } else {
      QRect target = client;
      if (bold_) {
        const QFontMetrics metrics(font);
        target = RecentredRotatedTextRect(client, metrics.horizontalAdvance(text()), metrics.height(), rotation_);
        painter.translate(target.topLeft());
        painter.rotate(-rotation_ / 10.0);
        painter.drawText(QPoint(0, metrics.ascent()), text());
      } else {
        painter.translate(client.center());
        painter.rotate(-rotation_ / 10.0);
        painter.drawText(client.translated(-client.center()), flags, text());
      }
    }
  }

  if (composed != nullptr) {
    painter.setTransform(skin);
    painter.drawImage(FlatFaceRect().topLeft(), *composed);
  } else if (flatColour_.isValid()) {
    painter.setTransform(skin);
    PaintFlatFace(painter);
  }
  if (focusRing) {
    painter.setTransform(skin);
    PaintFocusRing(painter, area);
  }

  if (drawCallback_) drawCallback_(this, face == ButtonFace::Normal);
}

void CPngButton::PaintFlatFace(QPainter& painter) {
  const QRect face = FlatFaceRect();
  if (face.width() < kCornerAtlas || face.height() < kCornerAtlas || flatColour_.alpha() != 255) {
    // Antialiased like a rounded widget background, so the corners blend into the picture.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(flatColour_);
    painter.drawRoundedRect(QRectF(face), kFlatRadius, kFlatRadius);
    return;
  }
  // The same face from three filled bands and the four corners.
  if (!flatCornersValid_) FillFlatCorners();
  const int sideHeight = face.height() - 2 * kCorner;
  painter.fillRect(face.adjusted(kCorner, 0, -kCorner, 0), flatColour_);
  painter.fillRect(QRect(face.left(), face.top() + kCorner, kCorner, sideHeight), flatColour_);
  painter.fillRect(QRect(face.right() - kCorner + 1, face.top() + kCorner, kCorner, sideHeight), flatColour_);
  for (int k = 0; k < 4; ++k) {
    const QPoint at((k & 1) ? face.right() - kCorner + 1 : face.left(), (k & 2) ? face.bottom() - kCorner + 1 : face.top());
    painter.drawImage(at, flatCorners_, QRect((k & 1) * kCorner, (k >> 1) * kCorner, kCorner, kCorner));
  }
}

void CPngButton::StartHover() {
  if (hovering_) return;
  hovering_ = true;
  update();
  if (!tooltip_.isEmpty()) tooltipTimer_.start();
}

void CPngButton::ShowTooltip() {
  if (hovering_ && !tooltip_.isEmpty()) QToolTip::showText(mapToGlobal(rect().bottomLeft()), tooltip_, this);
}

void CPngButton::enterEvent(QEnterEvent* event) {
  StartHover();
  QAbstractButton::enterEvent(event);
}

void CPngButton::leaveEvent(QEvent* event) {
  hovering_ = false;
  tooltipTimer_.stop();
  QToolTip::hideText();
  update();
  QAbstractButton::leaveEvent(event);
}

void CPngButton::mouseMoveEvent(QMouseEvent* event) {
  // Some platforms send no enter event before the first move (a window shown under the
  // pointer); the first move starts hover tracking then.
  if (rect().contains(event->position().toPoint())) StartHover();
  QAbstractButton::mouseMoveEvent(event);
}

void CPngButton::mouseDoubleClickEvent(QMouseEvent* event) {
  // A double-click is a second single press.
  mousePressEvent(event);
}

void CPngButton::keyPressEvent(QKeyEvent* event) {
  if (!focusRing_) {
    focusRing_ = true;
    update();
  }
  // Enter presses the focused button as Space does (Space is the base class's).
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat() &&
      !(event->modifiers() & ~Qt::KeypadModifier)) {
    if (isEnabled()) click();
    event->accept();
    return;
  }
  QAbstractButton::keyPressEvent(event);
}

void CPngButton::focusInEvent(QFocusEvent* event) {
  focusRing_ = FocusRingShownFor(event->reason());
  update();
  QAbstractButton::focusInEvent(event);
}

void CPngButton::focusOutEvent(QFocusEvent* event) {
  update();
  QAbstractButton::focusOutEvent(event);
}

void CPngButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) update();
  QAbstractButton::changeEvent(event);
}

}  // namespace vantrel::ui
