// Skinned windows on screens smaller than their skin: the whole window is drawn at one
// factor below 1, its proportions kept. The window's children are placed at the factor
// (their skin rectangles multiplied), windows' ordinary controls get fonts made smaller by
// it, and the skinned controls draw their pictures in skin coordinates through a scaled
// painter, so a picture, its caption and its flat colour stay where the skin put them.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

class QPainter;
class QWidget;

namespace vantrel::ui {

// Below this a skin is not made smaller: its captions would no longer be legible, and a
// window too large for the screen then is at least whole when moved.
inline constexpr qreal kSmallestSkinScale = 0.5;

// The factor that makes a window of `natural` size fit `available` (a screen's available
// area), the same across and down; 1 when it fits or nothing is known of the screen.
qreal FittingScaleFactor(const QSize& natural, const QRect& available);

// `natural` at `scale`: the edges are multiplied and rounded, so that controls that touch in
// the skin still touch.
QRect ScaledRect(const QRect& natural, qreal scale);
QSize ScaledSize(const QSize& natural, qreal scale);
// A font at `scale`, in points or pixels as it was given.
QFont ScaledFont(const QFont& natural, qreal scale);

// The factor the skinned window holding `widget` is drawn at; 1 outside one.
qreal SkinScaleOf(const QWidget& widget);
// The widget's size in skin coordinates (its size as placed before any scaling).
QSize SkinSize(const QWidget& widget);
inline QRect SkinRect(const QWidget& widget) { return QRect(QPoint(0, 0), SkinSize(widget)); }

// Marks a control that draws itself in skin coordinates (ScaleSkinPainter): its font is
// not made smaller with the window's ordinary controls.
void MarkSkinPainted(QWidget& control);
bool IsSkinPainted(const QWidget& control);

// Scales `painter` (just made on `widget`) by the widget's skin factor. Returns the factor.
qreal ScaleSkinPainter(QPainter& painter, const QWidget& widget);

// Places every child of `window` (not other windows) at `scale`, the window having been drawn
// at `from`, and sets the fonts of the window and its ordinary controls at `scale`. Going from
// 1, each child's rectangle and font as they are are kept as their skin values; otherwise the
// kept values are scaled, so a window can be drawn at another factor (moved to another
// screen) and back to 1.
void ScaleChildren(QWidget& window, qreal from, qreal scale);
// One child of such a window (a control made after the window was scaled), with its
// controls' fonts.
void ScaleChild(QWidget& child, qreal from, qreal scale);

// Places `control` at the skin rectangle `natural`, at its window's factor.
void PlaceInSkin(QWidget& control, const QRect& natural);

}  // namespace vantrel::ui
