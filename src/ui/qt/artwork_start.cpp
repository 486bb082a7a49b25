// SPDX-License-Identifier: GPL-3.0-or-later
// The start picture: the name, our note symbol and the version line over a
// faint piano roll.

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <QTransform>
#include <cmath>

#include "ui/qt/artwork.h"
#include "ui/qt/artwork_kit.h"
#include "ui/qt/artwork_pictures.h"

namespace quavrix::art {

namespace {

constexpr double WIDTH = 1920;
constexpr double HEIGHT = 1080;

// The backdrop: key stripes running down the picture as in the roll, the
// beat grid across them and a few notes, all kept dim.
void backdrop(QPainter& p) {
  QRadialGradient glow(QPointF(WIDTH * 0.5, HEIGHT * 0.44), WIDTH * 0.62);
  glow.setColorAt(0, QColor(38, 44, 62));
  glow.setColorAt(0.55, QColor(20, 23, 32));
  glow.setColorAt(1, QColor(9, 10, 14));
  p.fillRect(QRectF(0, 0, WIDTH, HEIGHT), glow);

  const double keyWidth = WIDTH / 84.0;
  static constexpr bool BLACK[12] = {false, true,  false, true,  false, false,
                                     true,  false, true,  false, true,  false};
  for (int k = 0; k < 84; ++k) {
    if (BLACK[k % 12]) p.fillRect(QRectF(k * keyWidth, 0, keyWidth, HEIGHT), QColor(0, 0, 0, 46));
  }
  for (int k = 0; k <= 7; ++k) {
    p.fillRect(QRectF(k * 12 * keyWidth, 0, 1.0, HEIGHT), QColor(255, 150, 40, 24));
  }
  for (int line = 0; line < 40; ++line) {
    const double y = 40 + line * 27.0;
    const bool bar = line % 4 == 0;
    p.fillRect(QRectF(0, y, WIDTH, bar ? 2.0 : 1.0),
               bar ? QColor(255, 255, 255, 30) : QColor(255, 255, 255, 12));
  }
  // A melody and a bass line, as the transcription would show them.
  static constexpr int MELODY[][3] = {
      {52, 1, 2},  {55, 3, 2},  {59, 5, 4},  {57, 9, 2},  {55, 11, 2}, {54, 13, 4}, {52, 17, 2},
      {50, 19, 2}, {52, 21, 6}, {59, 27, 2}, {62, 29, 2}, {64, 31, 4}, {62, 35, 4},
  };
  static constexpr int BASS[][3] = {{28, 1, 8},  {33, 9, 8},  {31, 17, 8},
                                    {28, 25, 8}, {26, 33, 4}, {28, 37, 3}};
  const auto notes = [&](const auto& table, const QColor& colour) {
    for (const auto& n : table) {
      const QRectF cell(n[0] * keyWidth + 1, 40 + n[1] * 27.0 + 1, keyWidth - 2, n[2] * 27.0 - 2);
      QColor head = colour;
      head.setAlpha(130);
      QColor tail = colour;
      tail.setAlpha(60);
      p.fillRect(cell, tail);
      p.fillRect(QRectF(cell.left(), cell.top(), cell.width(), 8), head);
    }
  };
  notes(MELODY, QColor(120, 200, 255));
  notes(BASS, QColor(255, 170, 90));

  // Darken the middle band so that the name stands clear of the grid.
  QLinearGradient veil(QPointF(0, 0), QPointF(0, HEIGHT));
  veil.setColorAt(0.0, QColor(8, 9, 13, 40));
  veil.setColorAt(0.32, QColor(8, 9, 13, 170));
  veil.setColorAt(0.62, QColor(8, 9, 13, 170));
  veil.setColorAt(1.0, QColor(8, 9, 13, 60));
  p.fillRect(QRectF(0, 0, WIDTH, HEIGHT), veil);
}

// Two quavers joined by a beam, heads tilted as engravers draw them.
void noteSymbol(QPainter& p, QPointF leftHead, double size) {
  const double rx = size * 0.2;
  const double ry = size * 0.14;
  const double spacing = size * 0.78;
  const double stem = size * 0.96;
  const double stemWidth = size * 0.055;
  const double beam = size * 0.17;
  QLinearGradient gold(QPointF(leftHead.x(), leftHead.y() - stem),
                       QPointF(leftHead.x(), leftHead.y() + ry));
  gold.setColorAt(0, QColor(255, 206, 120));
  gold.setColorAt(1, QColor(240, 132, 40));
  QPainterPath path;
  for (int i = 0; i < 2; ++i) {
    const QPointF head = leftHead + QPointF(i * spacing, -i * size * 0.12);
    QPainterPath ellipse;
    ellipse.addEllipse(QPointF(0, 0), rx, ry);
    QTransform turn;
    turn.translate(head.x(), head.y());
    turn.rotate(-22);
    path.addPath(turn.map(ellipse));
    const double x = head.x() + rx * 0.86;
    path.addRect(QRectF(x - stemWidth, head.y() - stem, stemWidth, stem - ry * 0.2));
  }
  // The beam, rising with the heads.
  const double x0 = leftHead.x() + rx * 0.86 - stemWidth;
  const double x1 = leftHead.x() + spacing + rx * 0.86;
  const double y0 = leftHead.y() - stem;
  const double y1 = leftHead.y() - size * 0.12 - stem;
  QPolygonF beamShape;
  beamShape << QPointF(x0, y0) << QPointF(x1, y1) << QPointF(x1, y1 + beam)
            << QPointF(x0, y0 + beam);
  path.addPolygon(beamShape);
  path.setFillRule(Qt::WindingFill);
  p.save();
  // A soft shadow first, then the symbol.
  p.translate(4, 6);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 110));
  p.drawPath(path.simplified());
  p.translate(-4, -6);
  p.setBrush(gold);
  p.setPen(QPen(QColor(255, 226, 170), 1.5));
  p.drawPath(path.simplified());
  p.restore();
}

}  // namespace

void paintStart(QImage& image) {
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  backdrop(p);

  // The picture is squeezed more in height than in width on its way into
  // the view; drawing the name taller by the same ratio keeps it upright.
  const ScreenRect region = pictureRegion(Picture::Start);
  const double squeeze =
      (region.right - region.left) / WIDTH / ((region.bottom - region.top) / HEIGHT);
  p.translate(WIDTH / 2, HEIGHT * 0.45);
  p.scale(1.0, squeeze);

  const QString name = QStringLiteral("Quavrix");
  const QFont nameFont = uiFont(168, true);
  const double nameWidth = QFontMetricsF(nameFont).horizontalAdvance(name);
  const double symbolSize = 190;
  const double gap = 70;
  const double total = symbolSize * 1.1 + gap + nameWidth;
  const double left = -total / 2;

  noteSymbol(p, QPointF(left + symbolSize * 0.2, symbolSize * 0.5), symbolSize);

  const QRectF nameBox(left + symbolSize * 1.1 + gap, -120, nameWidth + 10, 200);
  p.setFont(nameFont);
  p.setPen(QColor(0, 0, 0, 140));
  p.drawText(nameBox.translated(4, 6), Qt::AlignLeft | Qt::AlignVCenter, name);
  QLinearGradient silver(QPointF(0, nameBox.top() + 40), QPointF(0, nameBox.bottom() - 30));
  silver.setColorAt(0, QColor(255, 255, 255));
  silver.setColorAt(1, QColor(188, 204, 226));
  p.setPen(QPen(QBrush(silver), 1));
  p.drawText(nameBox, Qt::AlignLeft | Qt::AlignVCenter, name);

  // An orange rule under the name, then the version line.
  const double ruleY = nameBox.bottom() + 18;
  const QRectF under(nameBox.left() - 30, ruleY, nameBox.width() + 60, 3);
  QLinearGradient rule(under.topLeft(), under.topRight());
  rule.setColorAt(0, QColor(255, 148, 40, 0));
  rule.setColorAt(0.3, QColor(255, 148, 40, 220));
  rule.setColorAt(0.7, QColor(255, 148, 40, 220));
  rule.setColorAt(1, QColor(255, 148, 40, 0));
  p.fillRect(under, rule);
  p.setFont(uiFont(38, false));
  p.setPen(QColor(176, 186, 204));
  p.drawText(QRectF(under.left(), ruleY + 20, under.width(), 60), Qt::AlignHCenter | Qt::AlignTop,
             QStringLiteral("quavrix lumo  V3.10"));
}

}  // namespace quavrix::art
