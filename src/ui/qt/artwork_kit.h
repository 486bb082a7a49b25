#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing kit the pictures share: one dark theme, button panels,
// captions shrunk to fit their buttons, and the symbols as vector paths.
// Places are given as rectangles of the large layout and land in the
// picture's own pixels, so every panel sits inside the rectangle the hit
// test uses for it.

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>

#include "score/cell_grid.h"
#include "ui/draw/canvas.h"
#include "ui/model/controls.h"

namespace quavrix::art {

namespace ink {
inline const QColor BACKGROUND{28, 30, 36};
inline const QColor TEXT{236, 239, 244};
inline const QColor SOFT_TEXT{168, 175, 188};
inline const QColor HEADING{132, 190, 214};
inline const QColor SYMBOL{218, 223, 232};
inline const QColor RED{232, 64, 58};
inline const QColor BLUE{74, 148, 255};
inline const QColor GREEN{108, 214, 124};
inline const QColor ORANGE{255, 148, 40};
inline const QColor LIME{120, 235, 110};
inline const QColor AMBER{222, 158, 72};
}  // namespace ink

// How a panel looks.
enum class Look {
  Button,
  Help,       // the HELP buttons
  HelpShown,  // the HELP button that leaves its help page
  TabOn,
  TabOff,
  Track,  // the ramps and rate bars
  Well,   // display boxes the view writes into
};

enum class Towards { Up, Down, Left, Right };

// Panels stay this far (picture pixels) inside their rectangles, so that
// buttons that touch keep a line of background between them.
inline constexpr double PANEL_INSET = 2.0;

// The large layout's rectangle of a control, and of a display box.
ScreenRect rectOf(int code);
ScreenRect rectOf(Box box);

QFont uiFont(double pixels, bool bold);

class Sheet {
 public:
  Sheet(QImage& image, Picture picture);
  Sheet(const Sheet&) = delete;
  Sheet& operator=(const Sheet&) = delete;

  QPainter& painter() { return painter_; }
  QRectF at(const ScreenRect& r) const;
  QRectF at(double left, double top, double right, double bottom) const;
  // Where a view y lands.
  double y(double viewY) const;

  // Draws a panel inside the rectangle and returns its face.
  QRectF panel(const ScreenRect& r, Look look = Look::Button);
  QRectF button(int code, Look look = Look::Button) { return panel(rectOf(code), look); }
  QRectF well(Box box) { return panel(rectOf(box), Look::Well); }

  // Centred text, lines split at '\n', shrunk until it fits the area.
  void caption(const QRectF& area, const QString& text, double maxPixels,
               const QColor& colour = ink::TEXT, bool bold = true);
  void leftText(const QRectF& area, const QString& text, double pixels, const QColor& colour,
                bool bold);
  // Rich text (a little HTML) wrapped into the area, shrunk until it fits.
  void richText(const QRectF& area, const QString& html, double maxPixels);
  // A heading with a thin rule under it.
  void heading(const QRectF& area, const QString& text, double pixels);

  // The largest size up to maxPixels at which the text fits the area.
  static double fit(const QString& text, const QRectF& area, double maxPixels, bool bold);

 private:
  Picture picture_;
  QPainter painter_;
};

// A square of `fraction` of the face's shorter side, centred in it.
QRectF middle(const QRectF& face, double fraction);
// The band of the face between two fractions of its height.
QRectF rows(const QRectF& face, double top, double bottom);

// Undo or Redo: a curved arrow over the word.
void undoRedo(Sheet& s, const QRectF& face, bool redo);

// Symbols, each fitted into the box given and centred in it.
void triangle(QPainter& p, const QRectF& box, Towards towards, const QColor& colour);
void doubleTriangle(QPainter& p, const QRectF& box, Towards towards, const QColor& colour);
void rewind(QPainter& p, const QRectF& box, const QColor& colour);
void loopArrows(QPainter& p, const QRectF& box, const QColor& colour);
void curvedArrow(QPainter& p, const QRectF& box, bool clockwise, const QColor& colour);
void gear(QPainter& p, const QRectF& box, const QColor& colour);
void speaker(QPainter& p, const QRectF& box, const QColor& colour);
void flatSign(QPainter& p, const QRectF& box, const QColor& colour);
void sharpSign(QPainter& p, const QRectF& box, const QColor& colour);
void plusSign(QPainter& p, const QRectF& box, const QColor& colour);
void minusSign(QPainter& p, const QRectF& box, const QColor& colour);
void tick(QPainter& p, const QRectF& box, const QColor& colour);
void cross(QPainter& p, const QRectF& box, const QColor& colour);
void padlock(QPainter& p, const QRectF& box, bool closed, const QColor& colour);
void recordDot(QPainter& p, const QRectF& box);
void metronome(QPainter& p, const QRectF& box);
// A straight arrow from one point to another, head at `to`.
void arrow(QPainter& p, QPointF from, QPointF to, double width, const QColor& colour);
// A wedge rising from the left to the right: the look of a level ramp.
// The colour fades in from `fromAlpha` at the left.
void ramp(QPainter& p, const QRectF& face, double fromHeight, double toHeight, const QColor& colour,
          int fromAlpha = 70, int toAlpha = 255);

// A symbol followed by a caption, the pair centred in the face.
template <typename Symbol>
void symbolCaption(Sheet& s, const QRectF& face, Symbol symbol, double symbolSize,
                   const QString& text, double maxPixels) {
  const double gap = symbolSize * 0.45;
  QRectF textArea(face.left(), face.top(), face.width() - symbolSize - gap - 8, face.height());
  const double px = Sheet::fit(text, textArea.adjusted(0, 2, 0, -2), maxPixels, true);
  const double textWidth = QFontMetricsF(uiFont(px, true)).horizontalAdvance(text);
  const double total = symbolSize + gap + textWidth;
  const double x0 = face.center().x() - total / 2;
  symbol(QRectF(x0, face.center().y() - symbolSize / 2, symbolSize, symbolSize));
  s.leftText(QRectF(x0 + symbolSize + gap, face.top(), textWidth + 2, face.height()), text, px,
             ink::TEXT, true);
}

}  // namespace quavrix::art
