// The About box (dialog 100): modeless, its four language texts and the program version.
#pragma once

#include <QDialog>

#include "ui/windows/control_ids.h"

class QLabel;
class QPushButton;

namespace vantrel::ui {

class AppCore;

class CAboutBox final : public QDialog {
  Q_OBJECT

 public:
  CAboutBox(AppCore& core, QWidget* parent = nullptr);
  void Retranslate();
  QString Introduction() const;
  QString Copyright() const;
  QString Version() const;

 private:
  AppCore& core_;
  QLabel* introduction_;   // kIdAboutIntroduction
  QLabel* copyright_;      // kIdAboutCopyright
  QLabel* version_;
  QPushButton* ok_;        // kIdAboutOk
};

// The program's version text.
QString ProgramVersion();

}  // namespace vantrel::ui
