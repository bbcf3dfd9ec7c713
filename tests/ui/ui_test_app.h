// One QApplication for the ui tests (offscreen), created on first use.
#pragma once

#include <QApplication>
#include <QByteArray>

#include "ui/skin/skin_look.h"

namespace vantrel::ui::test {

inline QApplication& App() {
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
  static int argc = 1;
  static char name[] = "ui_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    // The offscreen platform's own screen (800 x 800) is smaller than the main window, which
    // would then be drawn scaled to fit: the windows are tested on a screen they fit on,
    // unless a test asks for a screen of its own.
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
      QByteArray screens = qgetenv("VANTREL_TEST_SCREENS");
      if (screens.isEmpty()) screens = VANTREL_SOURCE_DIR "/tests/ui/offscreen_screens.json";
      qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens);
    }
    auto* created = new QApplication(argc, argv);
    // The windows are tested in the look the program gives them.
    ApplySkinLook(*created);
    return created;
  }();
  return *app;
}

}  // namespace vantrel::ui::test
