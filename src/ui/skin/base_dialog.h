// Base of every skinned dialog: frameless, drawn from its background picture, shaped by
// its mask and moved by dragging its own surface.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QPoint>

#include "core/text/ini_file.h"
#include "ui/skin/skin_placement.h"

namespace vantrel::ui {

class CBaseDialog : public QDialog {
  Q_OBJECT
 public:
  CBaseDialog(int resourceId, QWidget* parent, const QString& iniPath, const QString& skinFolder);
  ~CBaseDialog() override;

  int resourceId() const { return resourceId_; }
  const QString& iniPath() const { return iniPath_; }
  const QString& skinFolder() const { return skinFolder_; }
  const text::CIniFile& ini() const { return ini_; }
  const QPixmap& background() const { return skin_.background; }
  bool hasSkin() const { return skin_.ok(); }
  // Why the dialog has no skin ("<file>: <what is wrong>"); empty when it has one.
  const QString& skinProblem() const { return skin_.problem; }

  // The dialog's title in the user's language: drawn over the background in the rectangle
  // of the skin key "DIALOG_TITLE" (section "BUTTONINFO"; nothing is drawn without it) and
  // given to the desktop as the window title.
  void SetTitleText(const QString& title);
  const QString& titleText() const { return title_; }
  // Where the title is drawn; empty when the skin has no place for it.
  const QRect& titleRect() const { return titleRect_; }

  // Applies the skin, then runs the dialog's own initialisation (OnInitDialog), which places
  // the controls in skin coordinates; on a screen too small for the skin they are then
  // scaled with the window.
  void InitDialog();

  // The factor the window is drawn at: below 1 when its skin does not fit the screen's
  // available area (see FittingScaleFactor), else 1.
  qreal skinScale() const { return skinScale_; }
  // The window's size in skin coordinates: its background picture's.
  QSize skinSize() const { return skinSize_; }
  // Draws the window at `scale` (children, fonts, shape); kept until the screen changes.
  void SetSkinScale(qreal scale);

  void done(int result) override;

 protected:
  // Dialogs place their controls here; the skin (background, size, shape) is already set.
  virtual void OnInitDialog() {}
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Where skinned buttons among the dialog's own children, visible within `bounds`, paint
  // every pixel of their place themselves.
  QRegion OpaqueButtonsIn(const QRect& bounds) const;
  void ReleasePictures();
  void ApplySkin();
  // Size and shape at the current factor.
  void ShapeToScale();
  // The factor for the screen the window is on, or will open on.
  qreal ScaleForScreen() const;
  void FollowScreen();

  int resourceId_;
  QString iniPath_;
  QString skinFolder_;
  text::CIniFile ini_;
  DialogSkin skin_;
  bool initialised_ = false;
  bool dragging_ = false;
  QPoint dragOffset_;
  QString title_;
  QRect titleRect_;
  qreal skinScale_ = 1.0;
  QSize skinSize_;
  bool followingScreen_ = false;
};

}  // namespace vantrel::ui
