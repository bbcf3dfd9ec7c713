// Printing of key map sheets goes through this interface, so the program shows Qt's print
// dialog while tests take the sheets without a modal loop.
#pragma once

#include <vector>

#include "core/keys/key_sheet.h"

class QWidget;

namespace vantrel::ui {

// Prints key map sheets: asks for a printer (or a PDF file) and draws a page per sheet.
// False when cancelled or when nothing could be printed.
class SheetPrinter {
 public:
  virtual ~SheetPrinter() = default;
  virtual bool Print(QWidget* parent, const std::vector<keys::KeySheet>& sheets) = 0;
};

// QPrintDialog and QPrinter; a printer set to grey scale gets the black-and-white drawing.
class QtSheetPrinter final : public SheetPrinter {
 public:
  bool Print(QWidget* parent, const std::vector<keys::KeySheet>& sheets) override;
};

}  // namespace vantrel::ui
