#include "ui/app/sheet_printer.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include "sheet/key_sheet_render.h"

namespace vantrel::ui {

bool QtSheetPrinter::Print(QWidget* parent, const std::vector<keys::KeySheet>& sheets) {
  if (sheets.empty()) return false;
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageOrientation(QPageLayout::Landscape);
  // The document's name is what the dialog proposes as the file to print to: a file name.
  printer.setDocName(QString::fromStdString(keys::SheetFileName(sheets.front().title)));
  QPrintDialog dialog(&printer, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  const bool mono = printer.colorMode() == QPrinter::GrayScale;
  // The page in device pixels, from the painter's origin (the printable area's corner).
  const QRectF page(QPointF(0, 0), printer.pageRect(QPrinter::DevicePixel).size());
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    if (i > 0) printer.newPage();
    sheet::DrawKeySheet(painter, sheets[i], page, mono);
  }
  return painter.end();
}

}  // namespace vantrel::ui
