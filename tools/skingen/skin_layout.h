// The one layout description of every skinned dialog: each control's key, rectangle, kind
// and legend. The pictures and the INI files are both produced from it.
#pragma once

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <vector>

namespace skingen {

enum class Kind {
  KeyCap,      // keyboard key, legend baked into the pictures
  GKey,        // G key, legend baked in
  Button,      // command button; its caption is drawn by the program
  IconButton,  // title-bar button with a glyph baked in (legend: "close", "min", "help", "menu")
  Segment,     // report-rate choice, legend baked in; without one, its caption is drawn by the program
  Lamp,        // lock indicator: a lamp baked in, its caption drawn by the program beside it
  Led,         // round choice lamp with no caption
  Link,        // small round link button, glyph letter baked in
  Field,       // recessed well under a list, drop-down or edit drawn by the program
  Label,       // text drawn by the program: nothing in the pictures
  Picture,     // panel picture drawn from its own bitmap: a soft socket in the background
  Swatch,      // colour button: a socket in the background
  Slider,      // picture slider: its channel picture is drawn by the program
  Arrow,       // arrow indicator: faces from Arrow.jpg
  Decoration,  // part of the background only
};

struct Element {
  QString key;
  QRect rect;  // pixels of the dialog's client area
  Kind kind;
  QString legend;
};

enum class State { Background, Normal, Hover, Down, Disabled, Colour0, Colour1 };

struct StatePicture {
  QString name;
  State state;
};

struct DialogLayout {
  QString iniName;     // "Main.ini"
  QString title;       // the main window's logo text (dialog titles are drawn by the program)
  QSize size;
  QString background;  // "SCREEN" "Main"
  QString mask;        // "SCREEN" "Mask"
  QString link;        // "SCREEN" "Link" (main window only)
  std::vector<StatePicture> pictures;
  std::vector<Element> elements;
  // "BUTTONINFO2" picture origins (main window only), values of Arrow.jpg.
  std::vector<std::pair<QString, QPoint>> faceKeys;
};

std::vector<DialogLayout> AllDialogs();

// Arrow.jpg: the arrow indicator faces (left/right x up/down x off/on), each kArrowFace.
inline constexpr int kArrowFace = 22;
QSize ArrowPictureSize();

}  // namespace skingen
