// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/artwork_kit.h"

#include <QAbstractTextDocumentLayout>
#include <QLinearGradient>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QStringList>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "ui/qt/artwork.h"
#include "ui/qt/image_canvas.h"

namespace quavrix::art {

namespace {

const ControlRects& largeRects() {
  static const ControlRects rects = controlRects(false);
  return rects;
}

struct LookColours {
  QColor top;
  QColor bottom;
  QColor edge;
};

LookColours coloursOf(Look look) {
  switch (look) {
    case Look::Help:
      return {{40, 96, 112}, {28, 70, 83}, {92, 172, 194}};
    case Look::HelpShown:
      return {{72, 154, 176}, {50, 118, 138}, {170, 226, 240}};
    case Look::TabOn:
      return {{80, 88, 108}, {62, 68, 84}, {140, 150, 172}};
    case Look::TabOff:
      return {{43, 46, 54}, {37, 40, 47}, {74, 79, 92}};
    case Look::Track:
      return {{36, 39, 46}, {31, 34, 40}, {88, 94, 108}};
    case Look::Well:
      return {{8, 9, 11}, {8, 9, 11}, {66, 70, 80}};
    case Look::Button:
      break;
  }
  return {{68, 73, 86}, {49, 53, 63}, {108, 116, 134}};
}

// Points of a shape given pointing right around the origin, turned the way
// asked and moved to the centre.
QPolygonF turned(std::initializer_list<QPointF> points, Towards towards, QPointF centre) {
  QPolygonF out;
  for (const QPointF& q : points) {
    QPointF r = q;
    switch (towards) {
      case Towards::Right:
        break;
      case Towards::Left:
        r = {-q.x(), q.y()};
        break;
      case Towards::Down:
        r = {q.y(), q.x()};
        break;
      case Towards::Up:
        r = {q.y(), -q.x()};
        break;
    }
    out << centre + r;
  }
  return out;
}

void fillShape(QPainter& p, const QPolygonF& shape, const QColor& colour, double roundness) {
  p.save();
  p.setPen(QPen(colour, roundness, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(colour);
  p.drawPolygon(shape);
  p.restore();
}

double side(const QRectF& box) {
  return std::min(box.width(), box.height());
}

QPointF onCircle(QPointF c, double r, double degrees) {
  const double a = degrees * std::numbers::pi / 180.0;
  return {c.x() + r * std::cos(a), c.y() - r * std::sin(a)};
}

// An arrow head at the end of an arc, pointing along the way the arc runs.
void arcHead(QPainter& p, QPointF c, double r, double degrees, bool counterClockwise, double size,
             const QColor& colour) {
  const double a = degrees * std::numbers::pi / 180.0;
  QPointF along(-std::sin(a), -std::cos(a));
  if (!counterClockwise) along = -along;
  const QPointF out(std::cos(a), -std::sin(a));
  const QPointF at = onCircle(c, r, degrees);
  QPolygonF head;
  head << at + along * size << at + out * size * 0.62 << at - out * size * 0.62;
  fillShape(p, head, colour, 1.0);
}

}  // namespace

ScreenRect rectOf(int code) {
  return largeRects()[code];
}

ScreenRect rectOf(Box box) {
  return largeRects().box(box);
}

QFont uiFont(double pixels, bool bold) {
  QFont font(QString::fromLatin1(VIEW_FONT_FAMILY));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
  font.setWeight(bold ? QFont::Bold : QFont::Normal);
  return font;
}

Sheet::Sheet(QImage& image, Picture picture) : picture_(picture), painter_(&image) {
  painter_.setRenderHint(QPainter::Antialiasing, true);
  painter_.setRenderHint(QPainter::TextAntialiasing, true);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

QRectF Sheet::at(const ScreenRect& r) const {
  return inPicture(picture_, r);
}

QRectF Sheet::at(double left, double top, double right, double bottom) const {
  const ScreenRect region = pictureRegion(picture_);
  const QSize size = pictureSize(picture_);
  const double sx = size.width() / static_cast<double>(region.right - region.left);
  const double sy = size.height() / static_cast<double>(region.bottom - region.top);
  return {(left - region.left) * sx, (top - region.top) * sy, (right - left) * sx,
          (bottom - top) * sy};
}

double Sheet::y(double viewY) const {
  return at(0, viewY, 1, viewY + 1).top();
}

QRectF Sheet::panel(const ScreenRect& r, Look look) {
  const QRectF box = at(r).adjusted(PANEL_INSET, PANEL_INSET, -PANEL_INSET, -PANEL_INSET);
  const double radius = std::min(6.0, side(box) * 0.22);
  const LookColours c = coloursOf(look);
  QLinearGradient fill(box.topLeft(), box.bottomLeft());
  fill.setColorAt(0, c.top);
  fill.setColorAt(1, c.bottom);
  painter_.save();
  painter_.setPen(QPen(c.edge, 1.0));
  painter_.setBrush(fill);
  painter_.drawRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
  if (look != Look::Well && look != Look::Track && box.height() > 10) {
    // A faint sheen along the upper edge lifts the panel off the page.
    painter_.setPen(QPen(QColor(255, 255, 255, 26), 1.0));
    painter_.drawLine(QPointF(box.left() + radius, box.top() + 1.5),
                      QPointF(box.right() - radius, box.top() + 1.5));
  }
  painter_.restore();
  return box;
}

double Sheet::fit(const QString& text, const QRectF& area, double maxPixels, bool bold) {
  const QStringList lines = text.split(QLatin1Char('\n'));
  for (double px = std::floor(maxPixels); px > 7; px -= 1) {
    const QFontMetricsF fm(uiFont(px, bold));
    double width = 0;
    for (const QString& line : lines) width = std::max(width, fm.horizontalAdvance(line));
    if (width <= area.width() && fm.height() * lines.size() <= area.height()) return px;
  }
  return 7;
}

void Sheet::caption(const QRectF& area, const QString& text, double maxPixels, const QColor& colour,
                    bool bold) {
  const QRectF room = area.adjusted(3, 1, -3, -1);
  const double px = fit(text, room, maxPixels, bold);
  painter_.save();
  painter_.setFont(uiFont(px, bold));
  painter_.setPen(QColor(0, 0, 0, 110));
  painter_.drawText(room.translated(0, 1), Qt::AlignCenter, text);
  painter_.setPen(colour);
  painter_.drawText(room, Qt::AlignCenter, text);
  painter_.restore();
}

void Sheet::leftText(const QRectF& area, const QString& text, double pixels, const QColor& colour,
                     bool bold) {
  painter_.save();
  painter_.setFont(uiFont(pixels, bold));
  painter_.setPen(QColor(0, 0, 0, 110));
  painter_.drawText(area.translated(0, 1), Qt::AlignLeft | Qt::AlignVCenter, text);
  painter_.setPen(colour);
  painter_.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, text);
  painter_.restore();
}

void Sheet::richText(const QRectF& area, const QString& html, double maxPixels) {
  QTextDocument doc;
  doc.setDocumentMargin(0);
  doc.setDefaultStyleSheet(
      QStringLiteral("p { margin-top: 0px; margin-bottom: 7px; }"
                     "b { color: #ffd27a; }"
                     "i { color: #9fd3e6; font-style: normal; }"));
  doc.setTextWidth(area.width());
  for (double px = std::floor(maxPixels); px >= 9; px -= 1) {
    doc.setDefaultFont(uiFont(px, false));
    doc.setHtml(html);
    if (doc.size().height() <= area.height()) break;
  }
  painter_.save();
  painter_.translate(area.topLeft());
  QAbstractTextDocumentLayout::PaintContext context;
  context.palette.setColor(QPalette::Text, QColor(214, 219, 228));
  context.clip = QRectF(0, 0, area.width(), area.height());
  doc.documentLayout()->draw(&painter_, context);
  painter_.restore();
}

void Sheet::heading(const QRectF& area, const QString& text, double pixels) {
  leftText(area, text, pixels, ink::HEADING, true);
  painter_.save();
  painter_.setPen(QPen(QColor(70, 80, 96), 1.0));
  const double y = area.bottom() - 0.5;
  painter_.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
  painter_.restore();
}

QRectF middle(const QRectF& face, double fraction) {
  const double s = side(face) * fraction;
  return {face.center().x() - s / 2, face.center().y() - s / 2, s, s};
}

QRectF rows(const QRectF& face, double top, double bottom) {
  return {face.left(), face.top() + face.height() * top, face.width(),
          face.height() * (bottom - top)};
}

void undoRedo(Sheet& s, const QRectF& face, bool redo) {
  curvedArrow(s.painter(), middle(rows(face, 0.04, 0.58), 1.0), redo, ink::SYMBOL);
  s.caption(rows(face, 0.52, 0.96), redo ? QStringLiteral("Redo") : QStringLiteral("Undo"), 14);
}

void triangle(QPainter& p, const QRectF& box, Towards towards, const QColor& colour) {
  const double s = side(box);
  fillShape(p,
            turned({{0.425 * s, 0}, {-0.425 * s, -0.5 * s}, {-0.425 * s, 0.5 * s}}, towards,
                   box.center()),
            colour, std::max(1.0, s * 0.06));
}

void doubleTriangle(QPainter& p, const QRectF& box, Towards towards, const QColor& colour) {
  const double s = side(box);
  for (const double x0 : {-0.5 * s, 0.0}) {
    fillShape(p,
              turned({{x0 + 0.5 * s, 0}, {x0, -0.42 * s}, {x0, 0.42 * s}}, towards, box.center()),
              colour, std::max(1.0, s * 0.05));
  }
}

void rewind(QPainter& p, const QRectF& box, const QColor& colour) {
  const double s = side(box);
  const QPointF c = box.center();
  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawRoundedRect(QRectF(c.x() - 0.5 * s, c.y() - 0.4 * s, 0.12 * s, 0.8 * s), 1, 1);
  p.restore();
  doubleTriangle(p, QRectF(c.x() - 0.38 * s, c.y() - 0.44 * s, 0.88 * s, 0.88 * s), Towards::Left,
                 colour);
}

void loopArrows(QPainter& p, const QRectF& box, const QColor& colour) {
  const double s = side(box);
  const QPointF c = box.center();
  const double r = 0.34 * s;
  const QRectF circle(c.x() - r, c.y() - r, 2 * r, 2 * r);
  p.save();
  p.setPen(QPen(colour, 0.1 * s, Qt::SolidLine, Qt::FlatCap));
  p.setBrush(Qt::NoBrush);
  for (const double start : {25.0, 205.0}) {
    QPainterPath arc;
    arc.arcMoveTo(circle, start);
    arc.arcTo(circle, start, 125);
    p.drawPath(arc);
    arcHead(p, c, r, start + 125, true, 0.22 * s, colour);
  }
  p.restore();
}

void curvedArrow(QPainter& p, const QRectF& box, bool clockwise, const QColor& colour) {
  const double s = side(box);
  const QPointF c(box.center().x(), box.center().y() + 0.14 * s);
  const double r = 0.34 * s;
  const QRectF circle(c.x() - r, c.y() - r, 2 * r, 2 * r);
  const double start = clockwise ? 160.0 : 20.0;
  const double sweep = clockwise ? -140.0 : 140.0;
  QPainterPath arc;
  arc.arcMoveTo(circle, start);
  arc.arcTo(circle, start, sweep);
  p.save();
  p.setPen(QPen(colour, 0.11 * s, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(arc);
  p.restore();
  arcHead(p, c, r, start + sweep, !clockwise, 0.24 * s, colour);
}

void gear(QPainter& p, const QRectF& box, const QColor& colour) {
  const double s = side(box);
  const QPointF c = box.center();
  const int teeth = 8;
  const double outer = 0.48 * s;
  const double inner = 0.36 * s;
  const double step = 360.0 / teeth;
  QPolygonF rim;
  for (int i = 0; i < teeth; ++i) {
    const double a = i * step;
    rim << onCircle(c, inner, a - step * 0.36) << onCircle(c, outer, a - step * 0.2)
        << onCircle(c, outer, a + step * 0.2) << onCircle(c, inner, a + step * 0.36);
  }
  QPainterPath path;
  path.addPolygon(rim);
  path.closeSubpath();
  path.addEllipse(c, 0.15 * s, 0.15 * s);
  path.setFillRule(Qt::OddEvenFill);
  p.save();
  p.setPen(QPen(colour.darker(150), 1.0));
  p.setBrush(colour);
  p.drawPath(path);
  p.restore();
}

void speaker(QPainter& p, const QRectF& box, const QColor& colour) {
  const double s = side(box);
  const QPointF c = box.center();
  QPolygonF body;
  body << QPointF(c.x() - 0.46 * s, c.y() - 0.14 * s) << QPointF(c.x() - 0.26 * s, c.y() - 0.14 * s)
       << QPointF(c.x() - 0.02 * s, c.y() - 0.38 * s) << QPointF(c.x() - 0.02 * s, c.y() + 0.38 * s)
       << QPointF(c.x() - 0.26 * s, c.y() + 0.14 * s)
       << QPointF(c.x() - 0.46 * s, c.y() + 0.14 * s);
  fillShape(p, body, colour, 1.0);
  p.save();
  p.setPen(QPen(colour, std::max(1.2, 0.07 * s), Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  for (const double r : {0.2 * s, 0.36 * s}) {
    const QPointF o(c.x() + 0.02 * s, c.y());
    p.drawArc(QRectF(o.x() - r, o.y() - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
  }
  p.restore();
}

void flatSign(QPainter& p, const QRectF& box, const QColor& colour) {
  const double s = side(box);
  const QPointF c = box.center();
  const double x0 = c.x() - 0.18 * s;
  QPainterPath path;
  path.moveTo(x0, c.y() - 0.48 * s);
  path.lineTo(x0, c.y() + 0.42 * s);
  path.cubicTo(x0 + 0.62 * s, c.y() + 0.1 * s, x0 + 0.5 * s, c.y() - 0.28 * s, x0,
               c.y() + 0.02 * s);
  p.save();
  p.setPen(QPen(colour, std::max(1.3, 0.1 * s), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
  p.restore();
}

void sharpSign(QPainter& p, const QRectF& box, const QColor& colour) {
  const double s = side(box);
  const QPointF c = box.center();
  p.save();
  p.setPen(QPen(colour, std::max(1.2, 0.075 * s), Qt::SolidLine, Qt::FlatCap));
  p.drawLine(QPointF(c.x() - 0.13 * s, c.y() - 0.4 * s),
             QPointF(c.x() - 0.13 * s, c.y() + 0.48 * s));
  p.drawLine(QPointF(c.x() + 0.13 * s, c.y() - 0.48 * s),
             QPointF(c.x() + 0.13 * s, c.y() + 0.4 * s));
  p.setPen(QPen(colour, std::max(1.6, 0.13 * s), Qt::SolidLine, Qt::FlatCap));
  for (const double y : {-0.14 * s, 0.16 * s}) {
    p.drawLine(QPointF(c.x() - 0.3 * s, c.y() + y + 0.07 * s),
               QPointF(c.x() + 0.3 * s, c.y() + y - 0.07 * s));
  }
  p.restore();
}

void plusSign(QPainter& p, const QRectF& box, const QColor& colour) {
  const double s = side(box);
  const QPointF c = box.center();
  p.save();
  p.setPen(QPen(colour, std::max(1.5, 0.17 * s), Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(c.x() - 0.4 * s, c.y()), QPointF(c.x() + 0.4 * s, c.y()));
  p.drawLine(QPointF(c.x(), c.y() - 0.4 * s), QPointF(c.x(), c.y() + 0.4 * s));
  p.restore();
}

void minusSign(QPainter& p, const QRectF& box, const QColor& colour) {
  const double s = side(box);
  const QPointF c = box.center();
  p.save();
  p.setPen(QPen(colour, std::max(1.5, 0.17 * s), Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(c.x() - 0.4 * s, c.y()), QPointF(c.x() + 0.4 * s, c.y()));
  p.restore();
}

void tick(QPainter& p, const QRectF& box, const QColor& colour) {
  const double s = side(box);
  const QPointF c = box.center();
  QPolygonF line;
  line << QPointF(c.x() - 0.4 * s, c.y() + 0.02 * s) << QPointF(c.x() - 0.12 * s, c.y() + 0.32 * s)
       << QPointF(c.x() + 0.42 * s, c.y() - 0.36 * s);
  p.save();
  p.setPen(QPen(colour, std::max(1.5, 0.15 * s), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPolyline(line);
  p.restore();
}

void cross(QPainter& p, const QRectF& box, const QColor& colour) {
  const double s = side(box);
  const QPointF c = box.center();
  p.save();
  p.setPen(QPen(colour, std::max(1.5, 0.16 * s), Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(c.x() - 0.34 * s, c.y() - 0.34 * s),
             QPointF(c.x() + 0.34 * s, c.y() + 0.34 * s));
  p.drawLine(QPointF(c.x() - 0.34 * s, c.y() + 0.34 * s),
             QPointF(c.x() + 0.34 * s, c.y() - 0.34 * s));
  p.restore();
}

void padlock(QPainter& p, const QRectF& box, bool closed, const QColor& colour) {
  const double s = side(box);
  const QPointF c = box.center();
  const QRectF body(c.x() - 0.36 * s, c.y() - 0.04 * s, 0.72 * s, 0.5 * s);
  const double r = 0.22 * s;
  const double lift = closed ? 0.0 : 0.14 * s;
  QPainterPath shackle;
  shackle.moveTo(c.x() - r, body.top() + 1 - (closed ? 0 : 0.0));
  shackle.lineTo(c.x() - r, body.top() - 0.14 * s - lift);
  shackle.arcTo(QRectF(c.x() - r, body.top() - 0.14 * s - lift - r, 2 * r, 2 * r), 180, -180);
  shackle.lineTo(c.x() + r, closed ? body.top() + 1 : body.top() - 0.1 * s - lift);
  p.save();
  p.setPen(QPen(colour, std::max(1.3, 0.1 * s), Qt::SolidLine, Qt::FlatCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(shackle);
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawRoundedRect(body, 0.08 * s, 0.08 * s);
  p.setBrush(QColor(40, 44, 52));
  p.drawEllipse(QPointF(c.x(), body.center().y()), 0.06 * s, 0.06 * s);
  p.restore();
}

void recordDot(QPainter& p, const QRectF& box) {
  const double s = side(box);
  const QPointF c = box.center();
  QRadialGradient glow(c - QPointF(0.12 * s, 0.12 * s), 0.45 * s);
  glow.setColorAt(0, QColor(255, 130, 118));
  glow.setColorAt(1, QColor(200, 28, 28));
  p.save();
  p.setPen(QPen(QColor(120, 16, 16), 1.0));
  p.setBrush(glow);
  p.drawEllipse(c, 0.36 * s, 0.36 * s);
  p.restore();
}

void metronome(QPainter& p, const QRectF& box) {
  const double h = std::min(box.height(), box.width() * 1.15);
  const QPointF c = box.center();
  const double base = c.y() + 0.42 * h;
  const double top = c.y() - 0.46 * h;
  const double halfBase = 0.36 * h;
  const double halfTop = 0.1 * h;
  QPolygonF body;
  body << QPointF(c.x() - halfTop, top) << QPointF(c.x() + halfTop, top)
       << QPointF(c.x() + halfBase, base) << QPointF(c.x() - halfBase, base);
  QLinearGradient wood(QPointF(c.x() - halfBase, 0), QPointF(c.x() + halfBase, 0));
  wood.setColorAt(0, QColor(236, 176, 92));
  wood.setColorAt(1, QColor(168, 104, 44));
  p.save();
  p.setPen(QPen(QColor(252, 214, 156), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(wood);
  p.drawPolygon(body);
  // The scale behind the rod.
  QPolygonF face;
  const double faceTop = top + 0.12 * h;
  const double faceBottom = base - 0.3 * h;
  const auto halfAt = [&](double y) {
    return halfTop + (halfBase - halfTop) * (y - top) / (base - top);
  };
  face << QPointF(c.x() - halfAt(faceTop) * 0.5, faceTop)
       << QPointF(c.x() + halfAt(faceTop) * 0.5, faceTop)
       << QPointF(c.x() + halfAt(faceBottom) * 0.55, faceBottom)
       << QPointF(c.x() - halfAt(faceBottom) * 0.55, faceBottom);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(70, 44, 24));
  p.drawPolygon(face);
  p.setPen(QPen(QColor(240, 220, 190, 150), 1.0));
  for (int i = 1; i < 6; ++i) {
    const double y = faceTop + (faceBottom - faceTop) * i / 6.0;
    p.drawLine(QPointF(c.x() - 2, y), QPointF(c.x() + 2, y));
  }
  // The rod, swung to one side, with its weight.
  const QPointF pivot(c.x(), base - 0.2 * h);
  const double swing = 0.36;
  const QPointF tip = pivot + QPointF(std::sin(swing), -std::cos(swing)) * 0.78 * h;
  p.setPen(QPen(QColor(246, 246, 246), std::max(1.5, 0.05 * h), Qt::SolidLine, Qt::RoundCap));
  p.drawLine(pivot, tip);
  const QPointF weight = pivot + (tip - pivot) * 0.62;
  p.translate(weight);
  p.rotate(swing * 180 / std::numbers::pi);
  p.setPen(QPen(QColor(90, 90, 96), 1.0));
  p.setBrush(QColor(226, 228, 234));
  p.drawRoundedRect(QRectF(-0.09 * h, -0.06 * h, 0.18 * h, 0.12 * h), 1.5, 1.5);
  p.restore();
  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(120, 74, 34));
  p.drawRoundedRect(
      QRectF(c.x() - halfBase - 0.04 * h, base - 0.02 * h, 2 * halfBase + 0.08 * h, 0.07 * h), 1.5,
      1.5);
  p.restore();
}

void arrow(QPainter& p, QPointF from, QPointF to, double width, const QColor& colour) {
  const QPointF d = to - from;
  const double length = std::hypot(d.x(), d.y());
  if (length <= 0) return;
  const QPointF u = d / length;
  const QPointF n(-u.y(), u.x());
  const double head = std::min(length * 0.6, width * 2.8);
  p.save();
  p.setPen(QPen(colour, width, Qt::SolidLine, Qt::FlatCap));
  p.drawLine(from, to - u * head * 0.8);
  p.restore();
  QPolygonF tip;
  tip << to << to - u * head + n * head * 0.7 << to - u * head - n * head * 0.7;
  fillShape(p, tip, colour, 1.0);
}

void ramp(QPainter& p, const QRectF& face, double fromHeight, double toHeight, const QColor& colour,
          int fromAlpha, int toAlpha) {
  const QRectF room = face.adjusted(4, 4, -4, -4);
  QPolygonF wedge;
  wedge << QPointF(room.left(), room.bottom()) << QPointF(room.right(), room.bottom())
        << QPointF(room.right(), room.bottom() - toHeight * room.height())
        << QPointF(room.left(), room.bottom() - fromHeight * room.height());
  QLinearGradient shade(room.topLeft(), room.topRight());
  QColor faint = colour;
  faint.setAlpha(fromAlpha);
  QColor full = colour;
  full.setAlpha(toAlpha);
  shade.setColorAt(0, faint);
  shade.setColorAt(1, full);
  p.save();
  p.setPen(Qt::NoPen);
  p.setBrush(shade);
  p.drawPolygon(wedge);
  p.restore();
}

}  // namespace quavrix::art
