#include "sheet/key_sheet_render.h"

#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QBuffer>
#include <algorithm>
#include <filesystem>
#include <span>
#include <string>

#include "core/profiles/atomic_file.h"

namespace vantrel::sheet {
namespace {

// Every size below is in page units (0.1 mm).
constexpr double kMargin = 80;
constexpr double kTitleHeight = 90;
constexpr double kGap = 50;
constexpr double kTableWidth = 760;
constexpr double kMacroLine = 34;
constexpr double kMacroColumnWidth = 540;

QString Q(const std::string& s) { return QString::fromStdString(s); }

QFont Font(int pixels, bool bold = false) {
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(std::max(1, pixels));
  f.setBold(bold);
  // No ligatures: "fi" stays two letters, so a PDF's text can be searched and copied.
  f.setStyleStrategy(QFont::PreferNoShaping);
  return f;
}

struct Colours {
  QColor ink, keyFill, keyFrame, assignedFill, assignedFrame, assignedInk, rule, headingFill;
};

Colours ColoursFor(bool mono) {
  if (mono) return {Qt::black, Qt::white, Qt::black, Qt::white, Qt::black, Qt::black, Qt::black, Qt::white};
  return {QColor(0x20, 0x20, 0x20), QColor(0xF3, 0xF3, 0xF3), QColor(0x8A, 0x8A, 0x8A), QColor(0xD9, 0xE8, 0xFF),
          QColor(0x1F, 0x5F, 0xBF), QColor(0x0B, 0x3D, 0x91), QColor(0xB0, 0xB0, 0xB0), QColor(0xE8, 0xEE, 0xF7)};
}

// Draws text wrapped into the rectangle in the largest size from maxPixels down to
// minPixels that fits; at the smallest size what does not fit is cut with an ellipsis.
void DrawFitted(QPainter& p, const QRectF& r, const QString& text, int maxPixels, int minPixels, bool bold, int align) {
  if (text.isEmpty() || r.width() <= 0 || r.height() <= 0) return;
  const int flags = align | Qt::TextWordWrap;
  for (int px = maxPixels; px >= minPixels; --px) {
    const QFont f = Font(px, bold);
    const QFontMetricsF m(f);
    const QRectF need = m.boundingRect(r, flags, text);
    if (need.width() <= r.width() + 0.5 && need.height() <= r.height() + 0.5) {
      p.setFont(f);
      p.drawText(r, flags, text);
      return;
    }
  }
  const QFont f = Font(minPixels, bold);
  p.setFont(f);
  p.drawText(r, align | Qt::TextSingleLine, QFontMetricsF(f).elidedText(text, Qt::ElideRight, r.width()));
}

void DrawKeys(QPainter& p, const keys::KeySheet& sheet, const QRectF& area, const Colours& c, bool mono) {
  if (sheet.keys.empty() || sheet.bounds.width <= 0 || sheet.bounds.height <= 0) return;
  const double scale = std::min(area.width() / sheet.bounds.width, area.height() / sheet.bounds.height);
  const double left = area.left() + (area.width() - sheet.bounds.width * scale) / 2;
  for (const keys::SheetKey& k : sheet.keys) {
    const QRectF r(left + (k.rect.x - sheet.bounds.x) * scale, area.top() + (k.rect.y - sheet.bounds.y) * scale,
                   k.rect.width * scale, k.rect.height * scale);
    const QRectF face = r.adjusted(3, 3, -3, -3);
    const bool assigned = !k.assignment.empty();
    p.setPen(QPen(assigned ? c.assignedFrame : c.keyFrame, assigned ? (mono ? 7 : 4) : 2));
    p.setBrush(assigned ? c.assignedFill : c.keyFill);
    p.drawRoundedRect(face, 8, 8);
    const QRectF inner = face.adjusted(6, 4, -6, -4);
    const int legendMax = static_cast<int>(std::clamp(inner.height() * 0.34, 10.0, 30.0));
    p.setPen(c.ink);
    if (!assigned) {
      DrawFitted(p, inner, Q(k.legend), legendMax, 10, false, Qt::AlignLeft | Qt::AlignTop);
      continue;
    }
    const QRectF legendRect(inner.left(), inner.top(), inner.width(), inner.height() * 0.36);
    DrawFitted(p, legendRect, Q(k.legend), std::min(legendMax, 22), 9, false, Qt::AlignLeft | Qt::AlignTop);
    const QRectF wordsRect(inner.left(), legendRect.bottom(), inner.width(), inner.bottom() - legendRect.bottom());
    p.setPen(c.assignedInk);
    DrawFitted(p, wordsRect, Q(k.assignment), 26, 12, true, Qt::AlignHCenter | Qt::AlignVCenter);
  }
}

// The G-key table: a heading, then one row per G key with its two layers.
double DrawGKeyTable(QPainter& p, const keys::KeySheet& sheet, const QRectF& area, const Colours& c) {
  const double row = 70;
  const double nameWidth = 110;
  const double layerWidth = (area.width() - nameWidth) / 2;
  double y = area.top();
  p.setPen(c.ink);
  DrawFitted(p, QRectF(area.left(), y, area.width(), 50), Q(sheet.gKeyHeading), 36, 16, true,
             Qt::AlignLeft | Qt::AlignVCenter);
  y += 60;
  const auto cell = [&](double x, double w, const QString& text, bool bold, const QColor& fill, const QColor& ink) {
    const QRectF r(x, y, w, row);
    p.setPen(QPen(c.rule, 2));
    p.setBrush(fill);
    p.drawRect(r);
    p.setPen(ink);
    DrawFitted(p, r.adjusted(10, 4, -10, -4), text, 24, 11, bold, Qt::AlignLeft | Qt::AlignVCenter);
  };
  const QColor plain(Qt::white);
  cell(area.left(), nameWidth, QString(), true, c.headingFill, c.ink);
  cell(area.left() + nameWidth, layerWidth, Q(sheet.layer1Heading), true, c.headingFill, c.ink);
  cell(area.left() + nameWidth + layerWidth, layerWidth, Q(sheet.layer2Heading), true, c.headingFill, c.ink);
  y += row;
  const QString factory = QStringLiteral("\u2013");
  for (const keys::SheetGKey& g : sheet.gKeys) {
    cell(area.left(), nameWidth, Q(g.name), true, c.headingFill, c.ink);
    cell(area.left() + nameWidth, layerWidth, g.layer1.empty() ? factory : Q(g.layer1), !g.layer1.empty(), plain,
         g.layer1.empty() ? c.ink : c.assignedInk);
    cell(area.left() + nameWidth + layerWidth, layerWidth, g.layer2.empty() ? factory : Q(g.layer2),
         !g.layer2.empty(), plain, g.layer2.empty() ? c.ink : c.assignedInk);
    y += row;
  }
  return y;
}

// The macros in columns: the name in bold, the repeat count, then the steps. A macro that
// does not fit in the space left ends with how many steps are not shown.
void DrawMacros(QPainter& p, const keys::KeySheet& sheet, const QRectF& area, const Colours& c) {
  if (sheet.macros.empty()) return;
  p.setPen(c.ink);
  DrawFitted(p, QRectF(area.left(), area.top(), area.width(), 50), Q(sheet.macroHeading), 36, 16, true,
             Qt::AlignLeft | Qt::AlignVCenter);
  const double top = area.top() + 64;
  const int columns = std::max(1, static_cast<int>(area.width() / kMacroColumnWidth));
  const double columnWidth = area.width() / columns;
  int column = 0;
  double y = top;
  const auto line = [&](const QString& text, bool bold) -> bool {
    if (y + kMacroLine > area.bottom()) {
      if (++column >= columns) return false;
      y = top;
    }
    p.setPen(c.ink);
    DrawFitted(p, QRectF(area.left() + column * columnWidth, y, columnWidth - 30, kMacroLine), text, 26, 12, bold,
               Qt::AlignLeft | Qt::AlignVCenter);
    y += kMacroLine;
    return true;
  };
  for (std::size_t m = 0; m < sheet.macros.size(); ++m) {
    const keys::SheetMacro& macro = sheet.macros[m];
    // A macro starts where its name and first steps fit together.
    if (y != top && y + 3 * kMacroLine > area.bottom()) {
      if (++column >= columns) return;
      y = top;
    }
    if (!line(Q(macro.name), true) || !line(Q(macro.cycles), false)) return;
    for (std::size_t i = 0; i < macro.steps.size(); ++i) {
      const bool last = column == columns - 1 && y + 2 * kMacroLine > area.bottom() && i + 1 < macro.steps.size();
      if (last) {
        line(QStringLiteral("\u2026 +%1").arg(macro.steps.size() - i), false);
        return;
      }
      if (!line(QStringLiteral("   ") + Q(macro.steps[i]), false)) return;
    }
    y += kMacroLine / 2;
  }
}

}  // namespace

void DrawKeySheet(QPainter& painter, const keys::KeySheet& sheet, const QRectF& page, bool mono) {
  painter.save();
  const double scale = std::min(page.width() / kPageWidth, page.height() / kPageHeight);
  painter.translate(page.left() + (page.width() - kPageWidth * scale) / 2,
                    page.top() + (page.height() - kPageHeight * scale) / 2);
  painter.scale(scale, scale);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  const Colours c = ColoursFor(mono);
  painter.fillRect(QRectF(0, 0, kPageWidth, kPageHeight), Qt::white);

  const QRectF content(kMargin, kMargin, kPageWidth - 2 * kMargin, kPageHeight - 2 * kMargin);
  painter.setPen(c.ink);
  DrawFitted(painter, QRectF(content.left(), content.top(), content.width() * 0.7, kTitleHeight), Q(sheet.title), 56,
             20, true, Qt::AlignLeft | Qt::AlignVCenter);
  DrawFitted(painter, QRectF(content.left() + content.width() * 0.7, content.top(), content.width() * 0.3, kTitleHeight),
             Q(sheet.date), 34, 14, false, Qt::AlignRight | Qt::AlignVCenter);
  painter.setPen(QPen(c.rule, 3));
  painter.drawLine(QPointF(content.left(), content.top() + kTitleHeight + 10),
                   QPointF(content.right(), content.top() + kTitleHeight + 10));

  // The key picture across the whole width, as tall as its shape wants and at most half
  // the page; the G-key table and the macros share what is left below it.
  const double top = content.top() + kTitleHeight + 40;
  double keysHeight = (content.bottom() - top) * 0.5;
  if (sheet.bounds.width > 0 && sheet.bounds.height > 0) {
    keysHeight = std::min(keysHeight, content.width() * sheet.bounds.height / sheet.bounds.width);
  }
  const QRectF keysArea(content.left(), top, content.width(), keysHeight);
  DrawKeys(painter, sheet, keysArea, c, mono);
  const double below = keysArea.bottom() + kGap;
  DrawGKeyTable(painter, sheet, QRectF(content.right() - kTableWidth, below, kTableWidth, content.bottom() - below), c);
  DrawMacros(painter, sheet,
             QRectF(content.left(), below, content.width() - kTableWidth - kGap, content.bottom() - below), c);
  painter.restore();
}

SheetFormat SheetFormatOf(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QLatin1String("pdf")) return SheetFormat::Pdf;
  if (suffix == QLatin1String("svg")) return SheetFormat::Svg;
  if (suffix == QLatin1String("png")) return SheetFormat::Png;
  return SheetFormat::Unknown;
}

bool WriteKeySheets(const std::vector<keys::KeySheet>& sheets, const QString& path, bool mono, QString* error) {
  const auto fail = [&](const QString& why) {
    if (error) *error = why;
    return false;
  };
  const SheetFormat format = SheetFormatOf(path);
  if (format == SheetFormat::Unknown) return fail(QStringLiteral("the file name must end in .pdf, .svg or .png"));
  if (sheets.empty()) return fail(QStringLiteral("no sheet to write"));
  const int count = static_cast<int>(sheets.size());

  // Drawn into memory first, then saved in one go through a temporary file.
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  switch (format) {
    case SheetFormat::Pdf: {
      QPdfWriter writer(&buffer);
      writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0)));
      writer.setResolution(600);
      writer.setTitle(QString::fromStdString(sheets.front().title));
      writer.setCreator(QStringLiteral("Vantrel"));
      QPainter painter;
      if (!painter.begin(&writer)) return fail(QStringLiteral("the PDF could not be started"));
      for (int i = 0; i < count; ++i) {
        if (i > 0) writer.newPage();
        DrawKeySheet(painter, sheets[static_cast<std::size_t>(i)], QRectF(0, 0, writer.width(), writer.height()), mono);
      }
      painter.end();
      break;
    }
    case SheetFormat::Svg: {
      QSvgGenerator generator;
      generator.setOutputDevice(&buffer);
      generator.setSize(QSize(static_cast<int>(kPageWidth), static_cast<int>(kPageHeight) * count));
      generator.setViewBox(QRectF(0, 0, kPageWidth, kPageHeight * count));
      generator.setTitle(QString::fromStdString(sheets.front().title));
      QPainter painter;
      if (!painter.begin(&generator)) return fail(QStringLiteral("the SVG could not be started"));
      for (int i = 0; i < count; ++i) {
        DrawKeySheet(painter, sheets[static_cast<std::size_t>(i)], QRectF(0, kPageHeight * i, kPageWidth, kPageHeight),
                     mono);
      }
      painter.end();
      break;
    }
    case SheetFormat::Png: {
      QImage image(static_cast<int>(kPageWidth), static_cast<int>(kPageHeight) * count, QImage::Format_RGB32);
      image.fill(Qt::white);
      QPainter painter(&image);
      for (int i = 0; i < count; ++i) {
        DrawKeySheet(painter, sheets[static_cast<std::size_t>(i)], QRectF(0, kPageHeight * i, kPageWidth, kPageHeight),
                     mono);
      }
      painter.end();
      if (!image.save(&buffer, "PNG")) return fail(QStringLiteral("the PNG could not be encoded"));
      break;
    }
    case SheetFormat::Unknown: break;
  }
  buffer.close();

  // The program's one way of writing a file: a link to a device or a FIFO, a FIFO, a
  // device or a folder is refused rather than replaced.
  const std::span<const std::uint8_t> parts[] = {
      std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()))};
  std::string why;
  if (!profiles::WriteFileAtomically(std::filesystem::path(path.toStdString()), parts, {}, &why)) {
    return fail(QString::fromStdString(why));
  }
  return true;
}

}  // namespace vantrel::sheet
