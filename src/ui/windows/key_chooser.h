// Our on-screen key chooser: a small popup listing every key the page can capture, laid
// out in groups. A click captures that key exactly as if it had been pressed. It is how
// keys the keyboard lacks, and keys the desktop keeps for itself (Super on Wayland), are
// assigned and recorded.
#pragma once

#include <QFrame>

#include <cstdint>
#include <vector>

#include "core/text/text_source.h"

class QPushButton;

namespace vantrel::ui {

class KeyChooser final : public QFrame {
  Q_OBJECT
 public:
  KeyChooser(const text::TextSource& texts, QWidget* parent);

  // The key codes offered, in the order shown.
  const std::vector<std::uint16_t>& codes() const { return codes_; }
  QPushButton* buttonFor(std::uint16_t code) const;
  // Labels the keys in the current language (on opening and when the language changes).
  void ApplyTexts();
  // Shows the chooser below (or above) a global rectangle, kept on its screen.
  void ShowNear(const QRect& anchor);

 signals:
  void keyChosen(std::uint16_t code);

 private:
  const text::TextSource& texts_;
  std::vector<std::uint16_t> codes_;
  std::vector<QPushButton*> buttons_;
};

}  // namespace vantrel::ui
