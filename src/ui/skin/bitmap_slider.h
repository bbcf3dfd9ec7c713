// A slider drawn from pictures: a channel picture filling the control and a thumb picture
// (optional) centred on the position. Every change made by the user is reported.
#pragma once

#include <QPixmap>
#include <QWidget>

namespace vantrel::ui {

// Message number of a slider report (first parameter the control id, second the position).
inline constexpr unsigned kMsgSliderMoved = 0x28D1;

class CBitmapSlider : public QWidget {
  Q_OBJECT
 public:
  explicit CBitmapSlider(QWidget* parent = nullptr, int controlId = 0);

  int controlId() const { return controlId_; }
  void SetRange(int minimum, int maximum);
  void SetPos(int position);  // clamped to the range, then redrawn; not reported
  // As if the user had moved the slider there (assistive technology): clamped, reported.
  void SetPosByUser(int position);
  void SetPageSize(int page) { pageSize_ = page; }
  void Enable(bool enabled);
  int pos() const { return position_; }
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  int pageSize() const { return pageSize_; }
  bool isSliderEnabled() const { return enabled_; }
  bool hasFocusFlag() const { return focus_; }
  // The pointer holds the thumb (between press and release).
  bool dragging() const { return dragging_; }

  void SetChannelPicture(const QPixmap& picture);
  void SetThumbPicture(const QPixmap& picture);
  // Margin in pixels at each end of the channel that the thumb's centre does not enter.
  void SetMargin(int pixels);

  // Position for a pointer at x (client pixels), clamped to the range.
  int PositionAt(int x) const;

 signals:
  // kMsgSliderMoved with the control id and the new position.
  void reported(unsigned message, int controlId, int position);
  void sliderMoved(int controlId, int position);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void MoveByUser(int position);
  void NotifyValue();
  int Clamp(int position) const;

  int controlId_;
  int position_ = 0;
  int minimum_ = 0;
  int maximum_ = 100;
  int pageSize_ = 10;
  bool enabled_ = true;
  bool focus_ = false;
  bool focusRing_ = false;  // focus came from the keyboard, or a key was used since
  bool dragging_ = false;
  bool pointerOver_ = false;
  int margin_ = 0;
  int wheelRemainder_ = 0;
  QPixmap channel_;
  QPixmap thumb_;
};

}  // namespace vantrel::ui
