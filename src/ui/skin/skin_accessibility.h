// What assistive technology (screen readers, keyboard users) gets from the skinned
// controls: accessible interfaces for the controls whose role Qt cannot tell from their
// base class, the focus ring they paint, and keyboard movement between buttons laid out
// on a picture.
#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <vector>

class QPainter;
class QWidget;

namespace vantrel::ui {

// Registers the accessible interfaces of the skinned controls once per process. Every
// skinned control calls it when it is built, so each window gets them.
void InstallSkinAccessibility();

// The focus ring of a skinned control: a light rounded outline inside `rect`.
inline const QColor kFocusRingColour{0x9B, 0xE4, 0xFF};
void PaintFocusRing(QPainter& painter, const QRect& rect);
// Whether focus gained for `reason` shows the ring at once: focus from the keyboard does;
// focus the window hands out on activation or a click shows it only after a key is used.
bool FocusRingShownFor(Qt::FocusReason reason);

// Tells assistive technology that the accessible description of `widget` changed.
void NotifyDescriptionChanged(QWidget* widget);

// Sets the tab order of `chain` as listed (hidden or disabled entries are skipped by Qt
// itself when moving; null entries are left out). Qt leaves controls that take no focus
// where they are, so this runs before an ArrowKeyGroup takes the focus from its buttons.
void SetTabChain(const QList<QWidget*>& chain);

enum class ArrowDirection { Left, Right, Up, Down };

// Index of the rectangle in `candidates` nearest to `from` in `direction`, -1 when none
// lies that way. A candidate lies that way when its centre is beyond `from`'s centre in
// that direction; the one with the smallest distance wins, where distance sideways counts
// ten times (beyond half the key's own extent) so that the next key in the same row (or
// column) beats a closer one in the next row.
int NearestInDirection(const QRect& from, const std::vector<QRect>& candidates, ArrowDirection direction);

// Arrow keys move the focus between `buttons` by their place on the window, and the group
// is one stop of the tab chain: the button that had the focus last keeps the tab stop.
// Owned by `owner`.
class ArrowKeyGroup final : public QObject {
  Q_OBJECT
 public:
  ArrowKeyGroup(const QList<QWidget*>& buttons, QObject* owner);

  // The button that takes the focus when Tab enters the group.
  QWidget* tabStop() const { return current_; }
  // Moves the focus from `from` in `direction`; false when no button lies that way.
  bool Move(QWidget* from, ArrowDirection direction);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void MakeTabStop(QWidget* button);

  QList<QPointer<QWidget>> buttons_;
  QPointer<QWidget> current_;
};

}  // namespace vantrel::ui
