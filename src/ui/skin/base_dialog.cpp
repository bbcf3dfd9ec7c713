#include "ui/skin/base_dialog.h"

#include <QChildEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "ui/skin/png_button.h"
#include "ui/skin/skin_scale.h"

namespace vantrel::ui {

CBaseDialog::CBaseDialog(int resourceId, QWidget* parent, const QString& iniPath, const QString& skinFolder)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      resourceId_(resourceId),
      iniPath_(iniPath),
      skinFolder_(skinFolder),
      ini_(std::filesystem::path(iniPath.toStdString())) {
  // The background picture covers the whole window: nothing is erased under it.
  setAttribute(Qt::WA_OpaquePaintEvent, true);
  setAutoFillBackground(false);
  // A Wayland compositor takes the mask as the input region only: the window's buffer
  // needs an alpha channel for the parts outside the shape to be clear, not black.
  if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) setAttribute(Qt::WA_TranslucentBackground, true);
}

CBaseDialog::~CBaseDialog() { ReleasePictures(); }

void CBaseDialog::InitDialog() {
  if (initialised_) return;
  initialised_ = true;
  ApplySkin();
  OnInitDialog();
  SetSkinScale(ScaleForScreen());
}

void CBaseDialog::showEvent(QShowEvent* event) {
  // A dialog shown again after OK or Cancel loads its pictures again.
  if (initialised_ && !skin_.ok()) ApplySkin();
  InitDialog();
  FollowScreen();
  QDialog::showEvent(event);
}

qreal CBaseDialog::ScaleForScreen() const {
  const QScreen* on = screen();
  if (!isWindow() || !skin_.ok() || on == nullptr) return skinScale_;
  return FittingScaleFactor(skinSize_, on->availableGeometry());
}

void CBaseDialog::FollowScreen() {
  if (followingScreen_ || !isWindow() || windowHandle() == nullptr) return;
  followingScreen_ = true;
  // The screen it opens on may not be the one it was made for; a window moved to another
  // screen is drawn at that screen's factor.
  SetSkinScale(ScaleForScreen());
  connect(windowHandle(), &QWindow::screenChanged, this, [this] { SetSkinScale(ScaleForScreen()); });
}

void CBaseDialog::SetSkinScale(qreal scale) {
  if (!(scale > 0.0) || scale == skinScale_) return;
  const qreal from = skinScale_;
  skinScale_ = scale;
  ScaleChildren(*this, from, scale);
  ShapeToScale();
  update();
}

bool CBaseDialog::event(QEvent* event) {
  // A control made after the window was scaled (placed in skin coordinates) is scaled when
  // it is first shown with the window.
  if (event->type() == QEvent::ChildPolished && skinScale_ != 1.0) {
    if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child())) ScaleChild(*child, skinScale_, skinScale_);
  }
  return QDialog::event(event);
}

void CBaseDialog::ShapeToScale() {
  if (!skin_.ok()) return;
  const QSize size = ScaledSize(skinSize_, skinScale_);
  resize(size);
  if (skin_.mask.isNull()) return;
  // The shape from the mask at the window's size: exact white stays exact white when the
  // picture is sampled rather than filtered.
  setMask(MaskToRegion(skinScale_ == 1.0 ? skin_.mask
                                         : skin_.mask.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
}

void CBaseDialog::done(int result) {
  ReleasePictures();
  QDialog::done(result);
}

void CBaseDialog::ReleasePictures() {
  skin_.background = QPixmap();
  skin_.mask = QImage();
}

void CBaseDialog::SetTitleText(const QString& title) {
  title_ = title;
  setWindowTitle(title);
  update();
}

void CBaseDialog::ApplySkin() {
  skin_ = ApplyDialogSkin(*this, iniPath_, skinFolder_);
  if (skin_.ok()) skinSize_ = size();
  if (skinScale_ != 1.0) ShapeToScale();
  const auto r = ReadSkinRect(iniPath_, QStringLiteral("BUTTONINFO"), QStringLiteral("DIALOG_TITLE"));
  titleRect_ = text::IsDisabledPlacement(r) ? QRect() : QRect(r.x, r.y, r.width, r.height);
}

QRegion CBaseDialog::OpaqueButtonsIn(const QRect& bounds) const {
  QRegion covered;
  for (QObject* child : children()) {
    auto* button = qobject_cast<CPngButton*>(child);
    if (button == nullptr || !button->isVisible() || !button->updatesEnabled() || !button->mask().isEmpty()) continue;
    const QRect place = button->geometry();
    if (place.intersects(bounds) && button->PaintsOpaquely()) covered += place;
  }
  return covered;
}

void CBaseDialog::paintEvent(QPaintEvent* event) {
  // The skinned buttons are drawn over the background from opaque pictures that cover
  // them: the background beneath them would be painted only to be hidden. A preview
  // frame repaints a hundred key faces, all of it beneath buttons.
  QRegion area = event->region();
  // Scaled buttons are filtered at their edges: the background shows through there.
  const QRegion covered = skinScale_ == 1.0 ? OpaqueButtonsIn(area.boundingRect()) : QRegion();
  if (!covered.isEmpty()) {
    area -= covered;
    if (area.isEmpty()) return;
  }
  QPainter painter(this);
  if (!covered.isEmpty()) painter.setClipRegion(area);
  // Not every platform cuts a window to its shape (a Wayland compositor takes the mask as
  // the input region only): a translucent window stays clear outside it.
  // Elsewhere the window system cuts the window itself, and clipping every repaint to a
  // shape of hundreds of rectangles would cost the live preview dearly.
  static const bool maskIsInputOnly = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
  if (maskIsInputOnly && testAttribute(Qt::WA_TranslucentBackground) && !mask().isEmpty()) {
    painter.setClipRegion(mask(), covered.isEmpty() ? Qt::ReplaceClip : Qt::IntersectClip);
  }
  if (skin_.background.isNull()) painter.fillRect(rect(), QColor(0x16, 0x19, 0x1F));
  ScaleSkinPainter(painter, *this);
  if (!skin_.background.isNull()) painter.drawPixmap(0, 0, skin_.background);
  if (title_.isEmpty()) return;
  const QRect place = titleRect_;
  if (place.isEmpty()) return;
  // The style of the skin's title bar: light, semi-bold, 15 pixels, after its accent bar.
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(15);
  font.setWeight(QFont::DemiBold);
  painter.setFont(font);
  painter.setPen(QColor(0xE7, 0xEA, 0xF0));
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  const QString shown = QFontMetrics(font).elidedText(title_, Qt::ElideRight, place.width());
  painter.drawText(place, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, shown);
}

void CBaseDialog::mousePressEvent(QMouseEvent* event) {
  // A press on the dialog's own surface (not on a child control) moves the window, as a
  // press on a title bar would.
  if (event->button() == Qt::LeftButton && childAt(event->position().toPoint()) == nullptr) {
    if (isWindow() && windowHandle() && windowHandle()->startSystemMove()) return;
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - (isWindow() ? frameGeometry().topLeft() : pos());
    return;
  }
  QDialog::mousePressEvent(event);
}

void CBaseDialog::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - dragOffset_);
    return;
  }
  QDialog::mouseMoveEvent(event);
}

void CBaseDialog::mouseReleaseEvent(QMouseEvent* event) {
  if (dragging_ && event->button() == Qt::LeftButton) {
    dragging_ = false;
    return;
  }
  QDialog::mouseReleaseEvent(event);
}

}  // namespace vantrel::ui
