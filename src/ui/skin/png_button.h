// Owner-drawn image button: its face is the part of a whole-window state picture that lies
// under the button, so one picture per state serves every button of a dialog.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>

#include "ui/skin/skin_scale.h"

class QPainter;

namespace vantrel::ui {

// Text-drawing flags of the caption (values of the platform's text-drawing call).
inline constexpr unsigned kTextLeft = 0x00;
inline constexpr unsigned kTextCenter = 0x01;
inline constexpr unsigned kTextRight = 0x02;
inline constexpr unsigned kTextVCenter = 0x04;
inline constexpr unsigned kTextBottom = 0x08;
inline constexpr unsigned kTextWordBreak = 0x10;
inline constexpr unsigned kTextSingleLine = 0x20;
inline constexpr unsigned kDefaultTextFormat = kTextCenter | kTextVCenter | kTextSingleLine;  // 37
// Qt alignment and wrapping for those flags.
int TextFormatToQtFlags(unsigned format);

enum class ButtonFace { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3, Selected = 4, Toggle1 = 5, Toggle2 = 6 };

// First match wins: disabled, toggle mode (second toggle picture when toggled), pressed,
// hovering, selected flag, normal.
ButtonFace ChooseButtonFace(bool enabled, bool toggleMode, bool toggled, bool pressed, bool hovering, bool selected);

// The caption rectangle used for a bold rotated text: centred again so that the text, of
// extent `textWidth` x `textHeight` turned by `tenthsOfDegree`, stays centred in `client`.
QRect RecentredRotatedTextRect(const QRect& client, int textWidth, int textHeight, int tenthsOfDegree);

// Tooltips show this long after the pointer comes to rest on the button.
inline constexpr int kTooltipDelayMs = 300;

class CPngButton : public QAbstractButton {
  Q_OBJECT
 public:
  explicit CPngButton(QWidget* parent = nullptr, int controlId = 0);

  int controlId() const { return controlId_; }

  void SetStatePictures(const QPixmap& normal, const QPixmap& hover, const QPixmap& pressed, const QPixmap& disabled,
                        const QPixmap& selected);
  void SetFaceOrigin(int x, int y);
  QPoint faceOrigin() const { return faceOrigin_; }

  void SetTogglePictures(const QPixmap& first, const QPixmap& second);
  void SetToggleMode(bool on);
  bool isToggleMode() const { return toggleMode_; }
  void SetToggled(bool toggled);
  bool isToggled() const { return toggled_; }
  void SetSelected(bool selected);
  bool isSelectedFlag() const { return selected_; }

  void SetFrameMode(bool on, const QColor& colour = QColor(0, 0, 0));

  // A flat colour painted over the face, 2 px in from each edge with corners of radius 3,
  // hiding the picture and the caption beneath; an invalid colour removes it. Setting the
  // colour shown already schedules no repaint, so a preview frame costs only the keys
  // whose colour changed.
  void SetFlatColour(const QColor& colour);
  QColor flatColour() const { return flatColour_; }
  // The button covers all of its place with opaque pixels whenever it is painted: its
  // picture has no transparency and reaches over the whole button.
  bool PaintsOpaquely() const;
  // Where the flat colour lies, in the button's coordinates.
  QRect FlatFaceRect() const { return SkinRect(*this).adjusted(kFlatInset, kFlatInset, -kFlatInset, -kFlatInset); }
  static constexpr int kFlatInset = 2;
  static constexpr int kFlatRadius = 3;

  // Caption font (points) and face, the five text colours and the text-drawing flags.
  void SetTextAttributes(int pointSize, const QString& face, const std::array<QColor, 5>& colours,
                         unsigned format = kDefaultTextFormat);
  void SetTextInsets(int left, int right, int top, int bottom);
  // The caption's colour while the button is toggled on (a lit lamp); otherwise the normal
  // colour serves both toggle faces.
  void SetToggledTextColour(const QColor& colour) { toggledTextColour_ = colour; }
  void SetRotation(int tenthsOfDegree, bool bold);
  // Also the button's accessible description (and its name while it has no caption).
  void SetTooltipText(const QString& text);
  QString tooltipText() const { return tooltip_; }

  // Called after each drawing with the button and whether the normal picture was used.
  using DrawCallback = std::function<void(CPngButton*, bool usedNormal)>;
  void SetDrawCallback(DrawCallback callback) { drawCallback_ = std::move(callback); }

  bool isHovering() const { return hovering_; }
  ButtonFace currentFace() const;
  // Caption font in pixels as used for drawing (size x vertical dots per inch / 72).
  QFont captionFont() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void StartHover();
  void PaintFlatFace(QPainter& painter);
  void FillFlatCorners();
  // The flat face with its corners already blended over `face`'s picture, or null when it
  // cannot be made so (no opaque picture of the screen's density under it, a translucent
  // colour, a face too small for the corners).
  const QImage* ComposedFlatFace(ButtonFace face);
  bool CanComposeFlatFace(ButtonFace face) const;
  void ShowTooltip();

  int controlId_;
  std::array<QPixmap, 7> pictures_;
  QPoint faceOrigin_{0, 0};
  bool toggleMode_ = false;
  bool toggled_ = false;
  bool selected_ = false;
  bool frameMode_ = false;
  QColor frameColour_{0, 0, 0};
  QColor flatColour_;  // invalid: none
  QImage flatCorners_;  // the four corner squares of the flat face, side by side in pairs
  bool flatCornersValid_ = false;
  QImage composedFace_;     // the whole flat face, opaque, over the picture of composedFor_
  int composedFor_ = -1;    // the face index composedFace_ was made over; -1: none
  bool hasFont_ = false;
  int pointSize_ = 8;
  QString face_ = QStringLiteral("Tahoma Unicode MS");
  std::array<QColor, 5> textColours_{QColor(0, 0, 0), QColor(0, 0, 0), QColor(0, 0, 0), QColor(0, 0, 0),
                                     QColor(0, 0, 0)};
  unsigned format_ = kDefaultTextFormat;
  QColor toggledTextColour_;  // invalid: the normal colour
  int insetLeft_ = 0, insetRight_ = 0, insetTop_ = 0, insetBottom_ = 0;
  int rotation_ = 0;
  bool bold_ = false;
  QString tooltip_;
  DrawCallback drawCallback_;
  bool hovering_ = false;
  bool focusRing_ = false;  // focus came from the keyboard, or a key was used since
  QTimer tooltipTimer_;
};

}  // namespace vantrel::ui
