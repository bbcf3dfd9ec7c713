// One dark look for everything the skin pictures do not draw: message boxes, menus,
// drop-down lists, tooltips and the standard file and colour dialogs.
#pragma once

#include <QPalette>
#include <QString>

class QApplication;

namespace vantrel::ui {

// The skin's colours as a palette: dark window and fields, light text, the accent blue
// for selections.
QPalette SkinPalette();
// The rules every window shares: the skinned fields of SkinStyleSheet() plus menus, message
// boxes, push buttons of the standard dialogs and tooltips. Drop-down lists open as plain
// lists (combobox-popup: 0), so their maximum visible rows apply.
QString SkinApplicationStyleSheet();
// Sets the Fusion style, the palette and the style sheet once for the whole program; the
// same look then applies wherever a popup or a dialog is opened from.
void ApplySkinLook(QApplication& app);

}  // namespace vantrel::ui
