#include "skin_render.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace skingen {
namespace {

// Palette of the dark skin.
const QColor kWindowTop(0x15, 0x18, 0x1E);
const QColor kWindowBottom(0x0C, 0x0E, 0x12);
const QColor kWindowBorder(0x2C, 0x32, 0x3C);
const QColor kCard(0x17, 0x1B, 0x22);
const QColor kCardBorder(0x27, 0x2D, 0x37);
const QColor kAccent(0x2E, 0xC5, 0xFF);
const QColor kAccentDeep(0x16, 0x8F, 0xD0);
const QColor kAmber(0xFF, 0xB5, 0x47);
const QColor kText(0xE7, 0xEA, 0xF0);
const QColor kTextDim(0x8A, 0x93, 0xA3);
const QColor kTextOff(0x4B, 0x51, 0x5C);
const QColor kWell(0x0E, 0x11, 0x16);

QFont Font(int pixels, int weight = QFont::Normal, bool condensed = false) {
  QFont f(condensed ? "DejaVu Sans Condensed" : "DejaVu Sans");
  f.setPixelSize(pixels);
  f.setWeight(static_cast<QFont::Weight>(weight));
  f.setHintingPreference(QFont::PreferFullHinting);
  f.setStyleStrategy(QFont::PreferAntialias);
  return f;
}

}  // namespace

QImage Canvas(const QSize& logical, int scale, QImage::Format format) {
  // A picture of `scale` times the pixels, drawn in logical coordinates: the painter
  // follows the device pixel ratio, so every shape and text is drawn at full resolution.
  QImage img(logical * scale, format);
  img.setDevicePixelRatio(scale);
  return img;
}

namespace {

QPainterPath Rounded(const QRectF& r, double radius) {
  QPainterPath p;
  p.addRoundedRect(r, radius, radius);
  return p;
}

void Card(QPainter& p, const QRect& r, int radius = 12) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, kCard.lighter(106));
  g.setColorAt(1, kCard);
  p.setPen(QPen(kCardBorder, 1));
  p.setBrush(g);
  p.drawPath(Rounded(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), radius));
}

void Chrome(QPainter& p, const DialogLayout& d) {
  const QRect all(QPoint(0, 0), d.size);
  QLinearGradient g(0, 0, 0, d.size.height());
  g.setColorAt(0, kWindowTop);
  g.setColorAt(1, kWindowBottom);
  p.fillRect(all, QColor(0x08, 0x09, 0x0C));
  p.setPen(QPen(kWindowBorder, 1));
  p.setBrush(g);
  p.drawPath(Rounded(QRectF(all).adjusted(0.5, 0.5, -0.5, -0.5), 12));
  // Title bar with a thin accent line under it.
  const int titleH = d.iniName == "Main.ini" ? 56 : 46;
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 8));
  QPainterPath top;
  top.addRoundedRect(QRectF(1, 1, d.size.width() - 2, titleH + 12), 11, 11);
  QPainterPath cut;
  cut.addRect(QRectF(0, titleH, d.size.width(), 20));
  p.drawPath(top.subtracted(cut));
  QLinearGradient line(0, 0, d.size.width(), 0);
  line.setColorAt(0, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 0));
  line.setColorAt(0.15, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 150));
  line.setColorAt(0.85, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 40));
  line.setColorAt(1, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 0));
  p.fillRect(QRect(1, titleH, d.size.width() - 2, 1), line);

  if (d.iniName == "Main.ini") {
    // Logo: an accent chevron and the name.
    QPainterPath chevron;
    chevron.moveTo(26, 18);
    chevron.lineTo(36, 38);
    chevron.lineTo(46, 18);
    p.setPen(QPen(kAccent, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(chevron);
    p.setPen(kText);
    p.setFont(Font(20, QFont::Bold));
    p.drawText(QRect(54, 12, 120, 32), Qt::AlignVCenter | Qt::AlignLeft, d.title);
  } else {
    // Dialog titles are drawn by the program in the user's language, in the rectangle of
    // "DIALOG_TITLE": the picture carries only the accent bar before it.
    for (const auto& e : d.elements)
      if (e.key == "DIALOG_TITLE") p.fillRect(QRect(e.rect.left() - 12, e.rect.center().y() - 9, 4, 20), kAccent);
  }
}

void Legend(QPainter& p, const QRect& r, const QString& text, const QColor& colour, bool keyCap) {
  if (text.isEmpty()) return;
  int px = 13;
  bool condensed = false;
  if (keyCap) {
    if (text.size() == 1) px = 14;
    else if (text.size() <= 3) px = 11;
    else {
      px = 10;
      condensed = true;
    }
  }
  p.setFont(Font(px, keyCap && text.size() == 1 ? QFont::DemiBold : QFont::Normal, condensed));
  p.setPen(colour);
  p.drawText(r, Qt::AlignCenter, text);
}

void KeyCap(QPainter& p, const QRect& r, const QString& legend, State s, bool gKey) {
  const QRectF f = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
  const double radius = 5;
  if (s == State::Disabled) {
    p.setPen(QPen(QColor(0x26, 0x2A, 0x31), 1));
    p.setBrush(QColor(0x1B, 0x1E, 0x24));
    p.drawPath(Rounded(f, radius));
    Legend(p, r, legend, kTextOff, true);
    return;
  }
  if (s == State::Down) {
    QLinearGradient g(f.topLeft(), f.bottomLeft());
    g.setColorAt(0, kAccent);
    g.setColorAt(1, kAccentDeep);
    p.setPen(QPen(kAccent.lighter(120), 1));
    p.setBrush(g);
    p.drawPath(Rounded(f, radius));
    Legend(p, r.translated(0, 1), legend, QColor(0x06, 0x12, 0x1C), true);
    return;
  }
  const bool hover = s == State::Hover;
  // Skirt: the darker lower edge that gives the cap its depth.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x12, 0x15, 0x1A));
  p.drawPath(Rounded(f, radius));
  const QRectF top = f.adjusted(1, 1, -1, -3);
  QLinearGradient g(top.topLeft(), top.bottomLeft());
  const QColor base = gKey ? QColor(0x2B, 0x31, 0x3D) : QColor(0x2E, 0x33, 0x3D);
  g.setColorAt(0, hover ? base.lighter(135) : base.lighter(112));
  g.setColorAt(1, hover ? base.lighter(118) : base);
  QColor border = hover ? kAccent : QColor(0x3C, 0x42, 0x4E);
  if (s == State::Colour1) border = kAmber;
  p.setPen(QPen(border, s == State::Colour1 ? 2 : 1));
  p.setBrush(g);
  p.drawPath(Rounded(s == State::Colour1 ? top.adjusted(0.5, 0.5, -0.5, -0.5) : top, radius - 1));
  // Top highlight.
  p.setPen(QPen(QColor(255, 255, 255, hover ? 40 : 22), 1));
  p.drawLine(QPointF(top.left() + 4, top.top() + 1.5), QPointF(top.right() - 4, top.top() + 1.5));
  QColor text = hover ? QColor(255, 255, 255) : kText;
  if (gKey && s != State::Hover) text = kAccent.lighter(115);
  if (s == State::Colour0) {
    text = kTextDim;
    p.setPen(QPen(kTextDim, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(top.right() - 8.5, top.top() + 3.5, 5, 5));
  } else if (s == State::Colour1) {
    text = QColor(0xFF, 0xDC, 0xA8);
    p.setPen(Qt::NoPen);
    p.setBrush(kAmber);
    p.drawEllipse(QRectF(top.right() - 9, top.top() + 3, 6, 6));
  }
  Legend(p, top.toRect().adjusted(0, 0, 0, 1), legend, text, true);
}

void Button(QPainter& p, const QRect& r, const QString& legend, State s, double radius = 6) {
  const QRectF f = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
  QColor text = kText;
  switch (s) {
    case State::Disabled:
      p.setPen(QPen(QColor(0x25, 0x29, 0x30), 1));
      p.setBrush(QColor(0x19, 0x1C, 0x21));
      text = kTextOff;
      break;
    case State::Down: {
      QLinearGradient g(f.topLeft(), f.bottomLeft());
      g.setColorAt(0, kAccent);
      g.setColorAt(1, kAccentDeep);
      p.setPen(QPen(kAccent.lighter(115), 1));
      p.setBrush(g);
      text = QColor(0x06, 0x12, 0x1C);
      break;
    }
    case State::Hover: {
      QLinearGradient g(f.topLeft(), f.bottomLeft());
      g.setColorAt(0, QColor(0x2F, 0x37, 0x45));
      g.setColorAt(1, QColor(0x27, 0x2E, 0x3A));
      p.setPen(QPen(kAccent, 1));
      p.setBrush(g);
      text = QColor(255, 255, 255);
      break;
    }
    default: {
      QLinearGradient g(f.topLeft(), f.bottomLeft());
      g.setColorAt(0, QColor(0x27, 0x2C, 0x36));
      g.setColorAt(1, QColor(0x1F, 0x23, 0x2B));
      p.setPen(QPen(QColor(0x37, 0x3E, 0x4A), 1));
      p.setBrush(g);
      break;
    }
  }
  p.drawPath(Rounded(f, radius));
  if (s == State::Normal || s == State::Hover || s == State::Background || s == State::Colour0 ||
      s == State::Colour1) {
    p.setPen(QPen(QColor(255, 255, 255, 16), 1));
    p.drawLine(QPointF(f.left() + radius, f.top() + 1.5), QPointF(f.right() - radius, f.top() + 1.5));
  }
  if (!legend.isEmpty()) {
    p.setFont(Font(12, QFont::DemiBold));
    p.setPen(text);
    p.drawText(r, Qt::AlignCenter, legend);
  }
}

void Glyph(QPainter& p, const QRectF& r, const QString& name, const QColor& c) {
  p.setPen(QPen(c, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  const QPointF m = r.center();
  if (name == "close" || name == "remove") {
    p.drawLine(m + QPointF(-5, -5), m + QPointF(5, 5));
    p.drawLine(m + QPointF(-5, 5), m + QPointF(5, -5));
  } else if (name == "min") {
    p.drawLine(m + QPointF(-6, 4), m + QPointF(6, 4));
  } else if (name == "menu") {
    for (int i = -1; i <= 1; ++i) p.drawLine(m + QPointF(-6, i * 5), m + QPointF(6, i * 5));
  } else if (name == "help") {
    p.drawEllipse(m, 8, 8);
    p.setFont(Font(12, QFont::Bold));
    p.setPen(c);
    p.drawText(r, Qt::AlignCenter, "?");
  } else if (name == "up" || name == "down" || name == "top" || name == "bottom") {
    // dir 1 points the chevron up.
    const double dir = (name == "up" || name == "top") ? 1 : -1;
    QPainterPath a;
    a.moveTo(m + QPointF(-6, 3 * dir));
    a.lineTo(m + QPointF(0, -3 * dir));
    a.lineTo(m + QPointF(6, 3 * dir));
    p.drawPath(a);
    if (name == "top" || name == "bottom") p.drawLine(m + QPointF(-6, -7 * dir), m + QPointF(6, -7 * dir));
  }
}

void IconButton(QPainter& p, const QRect& r, const QString& glyph, State s) {
  const QRectF f = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
  QColor c = kTextDim;
  p.setPen(Qt::NoPen);
  if (s == State::Hover) {
    p.setBrush(glyph == "close" || glyph == "remove" ? QColor(0xE5, 0x48, 0x4D) : QColor(255, 255, 255, 26));
    p.drawPath(Rounded(f, 6));
    c = QColor(255, 255, 255);
  } else if (s == State::Down) {
    p.setBrush(glyph == "close" ? QColor(0xB8, 0x32, 0x37) : kAccentDeep);
    p.drawPath(Rounded(f, 6));
    c = QColor(255, 255, 255);
  } else if (s == State::Disabled) {
    c = kTextOff;
  } else if (glyph != "close" && glyph != "min" && glyph != "menu" && glyph != "help") {
    // Tool buttons beside lists get a visible body.
    p.setPen(QPen(QColor(0x37, 0x3E, 0x4A), 1));
    p.setBrush(QColor(0x22, 0x27, 0x30));
    p.drawPath(Rounded(f, 6));
    c = kText;
  }
  Glyph(p, f, glyph, c);
}

// A round choice lamp (radio), or a lock lamp at the left of a pill whose caption the
// program draws.
void Led(QPainter& p, const QRect& r, bool radio, State s) {
  const QPointF lamp = radio ? QRectF(r).center() : QPointF(r.left() + 13, r.center().y() + 0.5);
  const double radius = radio ? 8 : 5;
  if (!radio) {
    const QRectF f = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(s == State::Hover ? kAccent : QColor(0x2C, 0x32, 0x3C), 1));
    p.setBrush(QColor(0x15, 0x18, 0x1E));
    p.drawPath(Rounded(f, r.height() / 2.0));
  }
  const bool on = s == State::Down;
  if (on) {
    QRadialGradient glow(lamp, radius * 2.6);
    glow.setColorAt(0, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 140));
    glow.setColorAt(1, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(lamp, radius * 2.6, radius * 2.6);
  }
  p.setPen(QPen(s == State::Disabled ? QColor(0x2A, 0x2E, 0x35) : (s == State::Hover ? kAccent : QColor(0x4A, 0x52, 0x60)), 1.2));
  p.setBrush(radio ? QColor(0x10, 0x13, 0x18) : (on ? kAccent : QColor(0x26, 0x2B, 0x33)));
  p.drawEllipse(lamp, radius, radius);
  if (radio && on) {
    p.setPen(Qt::NoPen);
    p.setBrush(kAccent);
    p.drawEllipse(lamp, radius - 4, radius - 4);
  }
}

void Link(QPainter& p, const QRect& r, const QString& glyph, State s) {
  const QRectF f = QRectF(r).adjusted(1, 1, -1, -1);
  QColor ring = QColor(0x37, 0x3E, 0x4A), text = kTextDim, fill = QColor(0x1A, 0x1E, 0x25);
  if (s == State::Hover) ring = kAccent, text = QColor(255, 255, 255);
  if (s == State::Down) fill = kAccentDeep, ring = kAccent, text = QColor(255, 255, 255);
  if (s == State::Disabled) text = kTextOff, ring = QColor(0x25, 0x29, 0x30);
  p.setPen(QPen(ring, 1.2));
  p.setBrush(fill);
  p.drawEllipse(f);
  p.setPen(text);
  p.setFont(Font(glyph.size() > 1 ? 9 : 14, QFont::Bold));
  p.drawText(r, Qt::AlignCenter, glyph);
}

void DrawElement(QPainter& p, const DialogLayout& d, const skingen::Element& e, State s) {
  const State face = s == State::Background ? State::Normal : s;
  switch (e.kind) {
    case Kind::KeyCap: KeyCap(p, e.rect, e.legend, face, false); break;
    case Kind::GKey: KeyCap(p, e.rect, e.legend, face, true); break;
    case Kind::Button: Button(p, e.rect, e.legend, face == State::Colour0 || face == State::Colour1 ? State::Normal : face); break;
    case Kind::Segment: Button(p, e.rect, e.legend, face == State::Colour0 || face == State::Colour1 ? State::Normal : face, 4); break;
    case Kind::IconButton: IconButton(p, e.rect, e.legend, face); break;
    case Kind::Led: Led(p, e.rect, true, face); break;
    case Kind::Lamp: Led(p, e.rect, false, face); break;
    case Kind::Link: Link(p, e.rect, e.legend, face); break;
    // Lists, drop-downs, edits and swatches draw their own frames.
    case Kind::Field:
    case Kind::Swatch: break;
    case Kind::Decoration:
      if (e.key == "KEYBOARD_PLATE" || e.key == "LIGHT_PANEL" || e.key == "CONTROL_MASK") Card(p, e.rect);
      else if (e.key == "CONTROL_TITLE") p.fillRect(e.rect.adjusted(1, 0, -1, 0), kAccent);
      break;
    case Kind::Label:
    case Kind::Picture:
    case Kind::Slider:
    case Kind::Arrow: break;
  }
  (void)d;
}

}  // namespace

QImage RenderDialog(const DialogLayout& d, State state, int scale) {
  QImage img = Canvas(d.size, scale, QImage::Format_RGB32);
  img.fill(QColor(0x08, 0x09, 0x0C));
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  if (state != State::Background) p.translate(-1, -1);
  Chrome(p, d);
  // Decorations first, so cards lie under the controls placed on them.
  for (const auto& e : d.elements)
    if (e.kind == Kind::Decoration) DrawElement(p, d, e, state);
  // The background holds the keyboard only: controls that a dialog shows and hides (tab
  // pages, the lighting panel) must not leave their faces behind on it.
  for (const auto& e : d.elements) {
    if (e.kind == Kind::Decoration) continue;
    if (state == State::Background && e.kind != Kind::KeyCap && e.kind != Kind::GKey) continue;
    DrawElement(p, d, e, state);
  }
  return img;
}

QImage RenderMask(const DialogLayout& d, int scale) {
  QImage img = Canvas(d.size, scale, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawRoundedRect(QRect(QPoint(0, 0), d.size), 12, 12);
  return img;
}

QImage RenderArrowPicture(int scale) {
  const QSize size = ArrowPictureSize();
  QImage img = Canvas(size, scale, QImage::Format_RGB32);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  // Faces sit on the window's lower background colour.
  p.fillRect(QRect(QPoint(0, 0), size), QColor(0x0F, 0x12, 0x17));
  for (int col = 0; col < 2; ++col)
    for (int row = 0; row < 4; ++row) {
      const QRectF cell(col * kArrowFace, row * kArrowFace, kArrowFace, kArrowFace);
      const bool up = row < 2, on = row % 2 == 1;
      const QPointF m = cell.center();
      QPainterPath tri;
      const double dir = up ? -1 : 1;
      tri.moveTo(m + QPointF(-6, -3.5 * dir));
      tri.lineTo(m + QPointF(6, -3.5 * dir));
      tri.lineTo(m + QPointF(0, 5 * dir));
      tri.closeSubpath();
      if (on) {
        QRadialGradient glow(m, 11);
        glow.setColorAt(0, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 90));
        glow.setColorAt(1, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 0));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(m, 11, 11);
      }
      p.setPen(Qt::NoPen);
      p.setBrush(on ? kAccent : QColor(0x3A, 0x41, 0x4D));
      p.drawPath(tri);
    }
  return img;
}

namespace {

// Scale of the panel pictures being drawn (1, or 2 for the "@2x" set).
int panelScale = 1;

QImage Blank(int w, int h) {
  QImage img = Canvas(QSize(w, h), panelScale, QImage::Format_RGB32);
  img.fill(kCard);
  return img;
}

// The picture's own rectangle in logical pixels.
QRect Area(const QImage& img) { return QRect(QPoint(0, 0), img.deviceIndependentSize().toSize()); }

// A small rounded chip, the shared body of the panel's choice pictures.
void Chip(QPainter& p, const QRectF& r, bool selected) {
  p.setPen(QPen(selected ? kAccent : QColor(0x37, 0x3E, 0x4A), selected ? 1.6 : 1));
  p.setBrush(selected ? QColor(0x1B, 0x2C, 0x38) : QColor(0x20, 0x25, 0x2E));
  p.drawPath(Rounded(r.adjusted(0.5, 0.5, -0.5, -0.5), 5));
}

QImage Direction(const QString& kind, bool selected) {
  QImage img = Blank(36, 26);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  Chip(p, Area(img), selected);
  const QColor c = selected ? kAccent : kTextDim;
  p.setPen(QPen(c, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  const QPointF m(18, 13);
  auto arrow = [&](QPointF from, QPointF to) {
    p.drawLine(from, to);
    const QPointF d = to - from;
    const double len = std::hypot(d.x(), d.y());
    const QPointF u = d / len, n(-u.y(), u.x());
    p.drawLine(to, to - u * 4 + n * 3.5);
    p.drawLine(to, to - u * 4 - n * 3.5);
  };
  if (kind == "left") arrow(m + QPointF(7, 0), m + QPointF(-7, 0));
  else if (kind == "right") arrow(m + QPointF(-7, 0), m + QPointF(7, 0));
  else if (kind == "up") arrow(m + QPointF(0, 6), m + QPointF(0, -6));
  else if (kind == "down") arrow(m + QPointF(0, -6), m + QPointF(0, 6));
  else if (kind == "kuosan") {  // spreading out from the centre
    arrow(m + QPointF(-2, 0), m + QPointF(-11, 0));
    arrow(m + QPointF(2, 0), m + QPointF(11, 0));
  } else {  // gathering into the centre
    arrow(m + QPointF(-12, 0), m + QPointF(-3, 0));
    arrow(m + QPointF(12, 0), m + QPointF(3, 0));
  }
  return img;
}

QImage ColourChoice(const QColor& colour, bool selected) {
  QImage img = Blank(36, 26);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  Chip(p, Area(img), selected);
  p.setPen(QPen(colour.darker(140), 1));
  p.setBrush(colour);
  p.drawEllipse(QPointF(18, 13), 7, 7);
  if (selected) {
    p.setPen(QPen(QColor(255, 255, 255), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath tick;
    tick.moveTo(14.5, 13);
    tick.lineTo(17, 15.5);
    tick.lineTo(21.5, 10.5);
    p.drawPath(tick);
  }
  return img;
}

QImage Multicolour(bool on) {
  QImage img = Blank(36, 26);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  Chip(p, Area(img), on);
  QConicalGradient g(QPointF(18, 13), 90);
  const int alpha = on ? 255 : 90;
  for (int i = 0; i <= 6; ++i) {
    QColor c = QColor::fromHsv((i * 60) % 360, 220, 255);
    c.setAlpha(alpha);
    g.setColorAt(i / 6.0, c);
  }
  p.setPen(Qt::NoPen);
  p.setBrush(g);
  p.drawEllipse(QPointF(18, 13), 8, 8);
  p.setBrush(on ? QColor(0x1B, 0x2C, 0x38) : QColor(0x20, 0x25, 0x2E));
  p.drawEllipse(QPointF(18, 13), 3.5, 3.5);
  return img;
}

QImage Tool(int tool, bool down) {
  QImage img = Blank(36, 26);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  Chip(p, Area(img), down);
  const QColor c = down ? kAccent : kTextDim;
  p.setPen(QPen(c, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  if (tool == 1) {  // brush: a handle and a tip
    p.drawLine(QPointF(24, 6), QPointF(16, 14));
    p.setBrush(c);
    QPainterPath tip;
    tip.moveTo(16, 14);
    tip.cubicTo(12, 15, 12, 20, 10, 21);
    tip.cubicTo(15, 21, 18, 19, 17.5, 15.5);
    tip.closeSubpath();
    p.drawPath(tip);
  } else {  // fill: a bucket
    p.setBrush(Qt::NoBrush);
    QPainterPath bucket;
    bucket.moveTo(11, 10);
    bucket.lineTo(20, 6);
    bucket.lineTo(25, 15);
    bucket.lineTo(16, 19);
    bucket.closeSubpath();
    p.drawPath(bucket);
    p.setBrush(c);
    p.drawEllipse(QPointF(26, 19.5), 2, 2.5);
  }
  return img;
}

QImage Lamp(bool on) {
  QImage img = Blank(40, 40);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  const QPointF m(20, 20);
  if (on) {
    QRadialGradient glow(m, 20);
    glow.setColorAt(0, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 120));
    glow.setColorAt(1, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(m, 20, 20);
  }
  p.setPen(QPen(on ? kAccent : QColor(0x4A, 0x52, 0x60), 2));
  p.setBrush(on ? QColor(0x15, 0x3A, 0x4C) : QColor(0x1F, 0x23, 0x2B));
  p.drawEllipse(m, 14, 14);
  // Power symbol.
  p.setPen(QPen(on ? QColor(255, 255, 255) : kTextDim, 2.2, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(13, 13, 14, 14), 120 * 16, 300 * 16);
  p.drawLine(QPointF(20, 10.5), QPointF(20, 19));
  return img;
}

QImage Progress(int frame) {
  QImage img = Blank(232, 10);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(Qt::NoPen);
  p.setBrush(kWell);
  p.drawRoundedRect(QRectF(0, 1, 232, 8), 4, 4);
  // Ten frames of a segment sweeping across, with a soft tail.
  const double x = (frame - 1) * 232.0 / 10.0;
  QLinearGradient g(x - 40, 0, x + 46, 0);
  g.setColorAt(0, QColor(kAccent.red(), kAccent.green(), kAccent.blue(), 0));
  g.setColorAt(0.8, kAccent);
  g.setColorAt(1, kAccent.lighter(130));
  p.setBrush(g);
  p.drawRoundedRect(QRectF(std::max(0.0, x - 40), 1, std::min(86.0, 232 - std::max(0.0, x - 40)), 8), 4, 4);
  return img;
}

// Channel picture n: a five-step track (positions 0..4) filled up to step n % 5.
QImage Channel(int n) {
  QImage img = Blank(160, 24);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  const int level = n % 5;
  const double left = 10, right = 150, cy = 12;
  const double x = left + (right - left) * level / 4.0;
  p.setPen(Qt::NoPen);
  p.setBrush(kWell);
  p.drawRoundedRect(QRectF(left - 4, cy - 3, right - left + 8, 6), 3, 3);
  QLinearGradient g(left, 0, right, 0);
  g.setColorAt(0, kAccentDeep);
  g.setColorAt(1, kAccent);
  p.setBrush(g);
  p.drawRoundedRect(QRectF(left - 4, cy - 3, x - left + 8, 6), 3, 3);
  for (int i = 0; i <= 4; ++i) {
    const double tx = left + (right - left) * i / 4.0;
    p.setBrush(i <= level ? QColor(255, 255, 255, 150) : QColor(0x3A, 0x41, 0x4D));
    p.drawEllipse(QPointF(tx, cy), 1.5, 1.5);
  }
  p.setPen(QPen(kAccent, 2));
  p.setBrush(QColor(0xF4, 0xF7, 0xFA));
  p.drawEllipse(QPointF(x, cy), 7, 7);
  return img;
}

}  // namespace

QImage RenderPanelPicture(const QString& name, int scale) {
  panelScale = scale;
  const QString base = name.section('.', 0, 0);
  if (base == "dengup") return Lamp(false);
  if (base == "dengdown") return Lamp(true);
  for (const char* dir : {"left", "right", "up", "down"}) {
    if (base == QString(dir) + "up") return Direction(dir, false);
    if (base == QString(dir) + "down") return Direction(dir, true);
  }
  if (base == "kuosan") return Direction("kuosan", false);
  if (base == "kuosandown") return Direction("kuosan", true);
  if (base == "julong") return Direction("julong", false);
  if (base == "julongdown") return Direction("julong", true);
  const std::pair<const char*, QColor> colours[] = {{"hong", QColor(0xF0, 0x3E, 0x3E)},
                                                    {"huang", QColor(0xFF, 0xD0, 0x3A)},
                                                    {"lv", QColor(0x3C, 0xD6, 0x6B)},
                                                    {"lan", QColor(0x3D, 0x7B, 0xFF)}};
  for (const auto& [n, c] : colours) {
    if (base == n) return ColourChoice(c, false);
    if (base == QString(n) + "ok") return ColourChoice(c, true);
  }
  if (base == "sjsup") return Multicolour(false);
  if (base == "sjsdown") return Multicolour(true);
  if (base == "user1up") return Tool(1, false);
  if (base == "user1down") return Tool(1, true);
  if (base == "user2up") return Tool(2, false);
  if (base == "user2down") return Tool(2, true);
  if (base.startsWith("jdt")) {
    bool ok = false;
    const int frame = base.mid(3).toInt(&ok);
    if (ok && frame >= 1 && frame <= 10) return Progress(frame);
  }
  bool ok = false;
  const int n = base.toInt(&ok);
  if (ok && n >= 0 && n <= 25) return Channel(n);
  return {};
}

QImage RenderIcon(int id, int size) {
  QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.scale(size / 64.0, size / 64.0);
  const bool absent = id == 128;
  const QColor body = absent ? QColor(0x6B, 0x72, 0x80) : kAccent;
  if (id == 0) {
    // Program icon: the logo chevron on a dark rounded tile.
    QLinearGradient g(0, 0, 0, 64);
    g.setColorAt(0, QColor(0x22, 0x27, 0x31));
    g.setColorAt(1, QColor(0x0D, 0x10, 0x15));
    p.setPen(QPen(QColor(0x33, 0x3A, 0x46), 1.5));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 14, 14);
    QPainterPath chevron;
    chevron.moveTo(17, 20);
    chevron.lineTo(32, 46);
    chevron.lineTo(47, 20);
    p.setPen(QPen(kAccent, 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(chevron);
    return img;
  }
  // Tray: a keyboard outline with key dots.
  p.setPen(QPen(body, 4));
  p.setBrush(QColor(0x12, 0x15, 0x1A, 220));
  p.drawRoundedRect(QRectF(4, 16, 56, 34), 7, 7);
  p.setPen(Qt::NoPen);
  p.setBrush(body);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 6; ++c) p.drawRoundedRect(QRectF(11 + c * 7.6, 22 + r * 8, 5, 5), 1, 1);
  p.drawRoundedRect(QRectF(18, 39, 28, 5), 2, 2);
  if (absent) {
    p.setPen(QPen(QColor(0xE5, 0x48, 0x4D), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10, 56), QPointF(54, 10));
  } else if (id == 142) {
    p.setPen(QPen(QColor(0x12, 0x15, 0x1A), 3));
    p.setBrush(kAmber);
    p.drawEllipse(QPointF(52, 14), 9, 9);
  }
  return img;
}

}  // namespace skingen
