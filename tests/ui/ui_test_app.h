// One QApplication for the ui tests (offscreen), created on first use.
#pragma once

#include <QApplication>

namespace vantrel::ui::test {

inline QApplication& App() {
  if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) return *existing;
  static int argc = 1;
  static char name[] = "ui_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace vantrel::ui::test
