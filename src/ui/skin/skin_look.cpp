#include "ui/skin/skin_look.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

#include "ui/skin/skin_gallery.h"

namespace vantrel::ui {

QPalette SkinPalette() {
  const QColor window(0x17, 0x1B, 0x22), field(0x0E, 0x11, 0x16), text(0xE7, 0xEA, 0xF0);
  const QColor dim(0x8A, 0x93, 0xA3), off(0x4B, 0x51, 0x5C), accent(0x2E, 0xC5, 0xFF);
  QPalette p;
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, field);
  p.setColor(QPalette::AlternateBase, QColor(0x12, 0x16, 0x1C));
  p.setColor(QPalette::ToolTipBase, QColor(0x1A, 0x1E, 0x25));
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, dim);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, QColor(0x22, 0x27, 0x30));
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, QColor(0xFF, 0xFF, 0xFF));
  p.setColor(QPalette::Light, QColor(0x37, 0x3E, 0x4A));
  p.setColor(QPalette::Midlight, QColor(0x2C, 0x32, 0x3C));
  p.setColor(QPalette::Mid, QColor(0x1F, 0x23, 0x2B));
  p.setColor(QPalette::Dark, QColor(0x0C, 0x0E, 0x12));
  p.setColor(QPalette::Shadow, QColor(0x05, 0x06, 0x08));
  p.setColor(QPalette::Highlight, QColor(0x16, 0x8F, 0xD0));
  p.setColor(QPalette::HighlightedText, QColor(0xFF, 0xFF, 0xFF));
  p.setColor(QPalette::Link, accent);
  p.setColor(QPalette::LinkVisited, accent.lighter(130));
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText})
    p.setColor(QPalette::Disabled, role, off);
  p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x26, 0x2B, 0x33));
  p.setColor(QPalette::Disabled, QPalette::Base, window);
  return p;
}

QString SkinApplicationStyleSheet() {
  return SkinStyleSheet() +
         QStringLiteral(
             "QMenu { background: #14171D; color: #E7EAF0; border: 1px solid #2E3540; padding: 4px;"
             " font-family: 'DejaVu Sans'; font-size: 12px; }"
             "QMenu::item { padding: 5px 24px 5px 24px; border-radius: 4px; }"
             "QMenu::item:selected { background: #168FD0; color: #FFFFFF; }"
             "QMenu::item:disabled { color: #4B515C; }"
             "QMenu::separator { height: 1px; background: #2E3540; margin: 4px 8px; }"
             "QMenu::indicator { width: 12px; height: 12px; left: 6px; }"
             "QMenu::indicator:checked { background: #2EC5FF; border: 1px solid #2EC5FF; border-radius: 3px; }"
             "QMessageBox { background: #171B22; }"
             "QMessageBox QLabel { color: #E7EAF0; font-family: 'DejaVu Sans'; font-size: 12px; }"
             "QDialog { background: #171B22; color: #E7EAF0; }"
             // Push buttons of the standard dialogs only: the skinned windows' own buttons
             // (the colour swatch, the key chooser's keys) keep their sizes and looks.
             "QMessageBox QPushButton, QFileDialog QPushButton, QColorDialog QPushButton, QInputDialog QPushButton, QDialogButtonBox QPushButton { background: #222730; color: #E7EAF0; border: 1px solid #373E4A; border-radius: 5px;"
             " padding: 5px 16px; min-width: 64px; font-family: 'DejaVu Sans'; font-size: 12px; }"
             "QMessageBox QPushButton:hover, QFileDialog QPushButton:hover, QColorDialog QPushButton:hover, QInputDialog QPushButton:hover, QDialogButtonBox QPushButton:hover, QMessageBox QPushButton:focus, QFileDialog QPushButton:focus, QColorDialog QPushButton:focus, QInputDialog QPushButton:focus, QDialogButtonBox QPushButton:focus { border-color: #2EC5FF; }"
             "QMessageBox QPushButton:default, QFileDialog QPushButton:default, QColorDialog QPushButton:default, QInputDialog QPushButton:default, QDialogButtonBox QPushButton:default { border-color: #168FD0; }"
             "QMessageBox QPushButton:pressed, QFileDialog QPushButton:pressed, QColorDialog QPushButton:pressed, QInputDialog QPushButton:pressed, QDialogButtonBox QPushButton:pressed { background: #168FD0; color: #06121C; }"
             "QMessageBox QPushButton:disabled, QFileDialog QPushButton:disabled, QColorDialog QPushButton:disabled, QInputDialog QPushButton:disabled, QDialogButtonBox QPushButton:disabled { background: #191C21; color: #4B515C; border-color: #25292F; }"
             "QToolTip { background: #1A1E25; color: #E7EAF0; border: 1px solid #2E3540; padding: 4px; }");
}

void ApplySkinLook(QApplication& app) {
  if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);
  app.setPalette(SkinPalette());
  app.setStyleSheet(SkinApplicationStyleSheet());
}

}  // namespace vantrel::ui
