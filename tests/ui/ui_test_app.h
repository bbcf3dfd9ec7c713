// One QApplication for the ui tests (offscreen), created on first use.
#pragma once

#include <QApplication>

#include "ui/skin/skin_look.h"

namespace vantrel::ui::test {

inline QApplication& App() {
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
  static int argc = 1;
  static char name[] = "ui_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    auto* created = new QApplication(argc, argv);
    // The windows are tested in the look the program gives them.
    ApplySkinLook(*created);
    return created;
  }();
  return *app;
}

}  // namespace vantrel::ui::test
