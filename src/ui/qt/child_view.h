#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The view widget: one custom-painted widget exactly the layout's client
// area. It runs the drawing pass into a persistent image (regions are only
// redrawn when dirty) and every paint event shows that image.

#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace quavrix {

struct View;
class Artwork;

class CChildView : public QWidget {
  Q_OBJECT

 public:
  CChildView(View& view, const Artwork& artwork, QWidget* parent = nullptr);

  // One drawing pass into the image, then a repaint.
  void drawNow();
  const QImage& image() const { return image_; }
  View& view() { return view_; }

  // While a recording opens (or other long work runs): the stage to show
  // over the picture under the title; empty ends it.
  void setProgress(const QString& stage,
                   const QString& title = QStringLiteral("Opening the recording"));
  const QString& progress() const { return progress_; }

 Q_SIGNALS:
  // After every timer pass, for the window (title, menus).
  void ticked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  void tick();
  void paintProgress(class QPainter& painter);

  View& view_;
  const Artwork& artwork_;
  QImage image_;
  QTimer timer_;
  QString progress_;
  QString progressTitle_;
  QElapsedTimer progressClock_;
  int wheelRemainder_ = 0;
};

}  // namespace quavrix
