// A window that shows every dialog's skin with its controls placed and working, without
// any keyboard: for checking a skin by eye.
#pragma once

#include <QString>
#include <QWidget>
#include <vector>

#include "core/text/skin_keys.h"
#include "ui/skin/base_dialog.h"

class QTabWidget;

namespace vantrel::ui {

// Dark style for the framework's own controls (lists, drop-downs, edits) on skinned dialogs.
QString SkinStyleSheet();

// One dialog of the skin with every control its skin file places.
class SkinPreviewDialog : public CBaseDialog {
  Q_OBJECT
 public:
  SkinPreviewDialog(text::SkinFile file, const QString& skinFolder, QWidget* parent = nullptr);

  text::SkinFile file() const { return file_; }
  // The control placed under `key`, if any.
  QWidget* control(const QString& key) const;

 protected:
  void OnInitDialog() override;

 private:
  void BuildControls();
  void ShowTab(int tab);
  void ShowEffectGroup(int group);
  void SetPanelOpen(bool open);

  text::SkinFile file_;
  std::vector<std::pair<QString, QWidget*>> controls_;
  bool panelOpen_ = true;
  int effectGroup_ = 1;
};

class SkinGallery : public QWidget {
  Q_OBJECT
 public:
  explicit SkinGallery(const QString& skinFolder, QWidget* parent = nullptr);
  const std::vector<SkinPreviewDialog*>& dialogs() const { return dialogs_; }

 private:
  QTabWidget* tabs_;
  std::vector<SkinPreviewDialog*> dialogs_;
};

}  // namespace vantrel::ui
