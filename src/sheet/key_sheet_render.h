// Drawing of the printed key map: one keys::KeySheet laid out on a page with QPainter,
// and written as a PDF (QPdfWriter, one page per sheet), an SVG (QSvgGenerator) or a PNG
// (QImage), chosen by the file's extension. Needs a QGuiApplication for the fonts.
#pragma once

#include <QRectF>
#include <QString>
#include <vector>

#include "core/keys/key_sheet.h"

class QPainter;

namespace vantrel::sheet {

// The page in drawing units: A4 landscape, 297 x 210 mm in tenths of a millimetre.
inline constexpr double kPageWidth = 2970;
inline constexpr double kPageHeight = 2100;

// Draws the sheet into `page` (any size: the layout is scaled to fit, keeping its shape).
// `mono` draws for a black-and-white printer: no fills, assigned keys by a heavy frame
// and bold text.
void DrawKeySheet(QPainter& painter, const keys::KeySheet& sheet, const QRectF& page, bool mono);

enum class SheetFormat { Pdf, Svg, Png, Unknown };
// By the extension, in any case: .pdf, .svg, .png.
SheetFormat SheetFormatOf(const QString& path);

// Writes the sheets: a PDF gets one page each, an SVG or PNG shows them one below the
// other. The file is written through a temporary file and renamed, so a failure leaves no
// partial file. False with a reason when it cannot be written.
bool WriteKeySheets(const std::vector<keys::KeySheet>& sheets, const QString& path, bool mono, QString* error);

}  // namespace vantrel::sheet
