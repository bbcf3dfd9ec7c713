#include "ui/skin/base_dialog.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

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
}

CBaseDialog::~CBaseDialog() { ReleasePictures(); }

void CBaseDialog::InitDialog() {
  if (initialised_) return;
  initialised_ = true;
  skin_ = ApplyDialogSkin(*this, iniPath_, skinFolder_);
  OnInitDialog();
}

void CBaseDialog::showEvent(QShowEvent* event) {
  // A dialog shown again after OK or Cancel loads its pictures again.
  if (initialised_ && !skin_.ok()) skin_ = ApplyDialogSkin(*this, iniPath_, skinFolder_);
  InitDialog();
  QDialog::showEvent(event);
}

void CBaseDialog::done(int result) {
  ReleasePictures();
  QDialog::done(result);
}

void CBaseDialog::ReleasePictures() {
  skin_.background = QPixmap();
  skin_.mask = QImage();
}

void CBaseDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!skin_.background.isNull()) painter.drawPixmap(0, 0, skin_.background);
  else painter.fillRect(rect(), QColor(0x16, 0x19, 0x1F));
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
