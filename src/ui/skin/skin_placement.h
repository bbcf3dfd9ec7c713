// Placement of controls and dialogs from a skin INI file, and the shared state pictures.
#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QRectF>
#include <QRegion>
#include <QString>
#include <functional>
#include <initializer_list>
#include <vector>

#include "core/text/skin_values.h"

class QPainter;
class QWidget;

namespace vantrel::ui {

class CPngButton;

// Reads one rectangle of the skin file (missing file or key: 1,1,1,1).
text::SkinRect ReadSkinRect(const QString& iniPath, const QString& section, const QString& key);

// Rectangle, the five state pictures, the face origin (x, y) and the enabled state: a
// button at x = 1 and y = 1 (where a missing key puts it) is disabled.
void PlaceSkinnedButton(CPngButton& button, const QString& iniPath, const QString& section, const QString& key,
                        const QPixmap& normal, const QPixmap& hover, const QPixmap& pressed, const QPixmap& disabled,
                        const QPixmap& selected);
// Each button at the skin key of its object name, with the state pictures "<stem>_normal.jpg",
// "<stem>_over.jpg", "<stem>_down.jpg" (pressed and selected) and "<stem>_disable.jpg" of the
// skin folder (required pictures).
void PlaceNamedButtons(std::initializer_list<CPngButton*> buttons, const QString& iniPath, const QString& section,
                       const QString& skinFolder, const QString& stem);
// Rectangle only.
void PlaceControl(QWidget& control, const QString& iniPath, const QString& section, const QString& key);
// Rectangle from the first key, face origin from the second, one picture for every state.
void PlaceWithFaceKey(CPngButton& button, const QString& iniPath, const QString& rectSection,
                      const QString& rectKey, const QString& faceSection, const QString& faceKey,
                      const QPixmap& picture);
// Position only: the control keeps its size.
void MoveControl(QWidget& control, const QString& iniPath, const QString& section, const QString& key);

// Where a window of `size` goes to sit centred over `opener` (the frame of the window that
// opened it, global coordinates), moved as little as needed to lie inside `area` (the
// screen's available part); a window larger than `area` keeps its top-left corner in it.
QPoint CentredOver(const QRect& opener, const QSize& size, const QRect& area);
// Places a top-level window over the window that opens it: centred over `opener` when that
// is on screen, else in the middle of the screen. Nothing on Wayland, where the compositor
// places windows.
void PlaceOverOpener(QWidget& window, const QWidget* opener);

// The part `source` (logical pixels, as skin coordinates are) of a picture drawn into
// `target`; pictures loaded for a high-density screen hold 2 device pixels per logical one.
void DrawPicturePart(QPainter& painter, const QRect& target, const QPixmap& picture, const QRect& source);
// `logical` in the picture's own device pixels.
QRectF PictureSource(const QPixmap& picture, const QRect& logical);

// A face of another width made from one cut out of a state picture, drawn with `painter`
// at `at`: the left and right `edge` columns of `source` are kept and the column next to
// the left edge (clear of a centred legend) is stretched between them. `width` must be at
// least 2 x `edge`.
void DrawWidenedFace(QPainter& painter, const QPoint& at, int width, const QPixmap& picture, const QRect& source,
                     int edge);

// Window shape from a mask: every run of pixels that is not exactly white, joined in
// batches of 2000 one-pixel-high rectangles.
QRegion MaskToRegion(const QImage& mask);

struct DialogSkin {
  QPixmap background;
  QImage mask;
  // Without a background: which file is wrong and how ("<path>: is not a regular file").
  QString problem;
  bool ok() const { return !background.isNull(); }
};
// Background and mask named under "SCREEN" ("Mask" defaults to "Main"): resizes the dialog
// to the background, keeping its top-left corner, and sets the shape. A missing, empty or
// junk skin file or background picture leaves the dialog as it is and returns empty
// pictures with the problem. Only regular files are opened.
DialogSkin ApplyDialogSkin(QWidget& dialog, const QString& iniPath, const QString& skinFolder);

// What ends the process when a required picture cannot be loaded: by default std::exit
// with the given code (0). Tests install their own.
using ProcessEndAction = std::function<void(int exitCode)>;
void SetProcessEndAction(ProcessEndAction action);
// `reason` names the file and what is wrong with it; the end action reads it through
// ProcessEndReason().
void EndProcess(int exitCode, const QString& reason = {});
QString ProcessEndReason();

// Empty when the file is a regular file holding a picture Qt can read; otherwise
// "<path>: <what is wrong>". Reads only the picture's header.
QString SkinPictureProblem(const QString& path);

// A picture a dialog needs by name, loaded once per process and kept until it ends. A
// picture that cannot be loaded ends the process with exit code 0 and a reason naming
// it; should the end action return (tests), an empty picture is returned.
QPixmap RequiredSkinPicture(const QString& skinFolder, const QString& name);
// Forgets the pictures loaded so far (tests that load other skin folders).
void ClearSkinPictureCache();

// The device pixel ratio skin pictures are loaded for (the application's, 1 without one).
qreal SkinPictureRatio();
// A skin picture from a regular file (empty otherwise). When the screen's device pixel
// ratio is above 1 and "<name>@2x.<ext>" beside it is exactly twice its size, that twin
// is loaded instead, with device pixel ratio 2: its size in logical pixels stays that of
// the named picture, so skin coordinates and window sizes do not change.
QPixmap LoadSkinPixmap(const QString& path);

// A picture or icon the program does without when it is missing: loaded only from a
// regular file (opening a FIFO would block the program until a writer came), and empty
// when the file is anything else or holds no picture. Nothing is reported.
QPixmap OptionalPicture(const QString& path);
QIcon OptionalIcon(const QString& path);

}  // namespace vantrel::ui
