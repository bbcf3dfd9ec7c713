// Drawing of the skin pictures from the layout description.
#pragma once

#include <QImage>

#include "skin_layout.h"

namespace skingen {

// Every picture is drawn in the dialog's logical pixels; `scale` 2 gives the "@2x" twin of
// twice the width and height, drawn at full resolution (not enlarged).
QImage Canvas(const QSize& logical, int scale, QImage::Format format);

// The whole dialog in one state (Background: the dialog's background picture). State
// pictures are drawn one pixel up and left of the background, because a button at skin
// position (x, y) takes its face from (x - 1, y - 1) of them.
QImage RenderDialog(const DialogLayout& dialog, State state, int scale = 1);
// The window shape: black inside, exact white outside.
QImage RenderMask(const DialogLayout& dialog, int scale = 1);
QImage RenderArrowPicture(int scale = 1);

// Lighting panel bitmaps, by file name ("dengup.bmp", "7.bmp", ...); null for unknown names.
QImage RenderPanelPicture(const QString& name, int scale = 1);
// Tray icons (128 no keyboard, 141 present, 142 indicator) and the program icon (0).
QImage RenderIcon(int id, int size);

}  // namespace skingen
