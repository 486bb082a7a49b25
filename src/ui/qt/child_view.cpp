// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/child_view.h"

#include <QPainter>
#include <QPainterPath>
#include <QWindow>

#include "engine/engine.h"
#include "ui/draw/drawing_pass.h"
#include "ui/input/input.h"
#include "ui/model/view.h"
#include "ui/qt/image_canvas.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace quavrix {

namespace {

constexpr int TIMER_MS = 50;
constexpr int WHEEL_NOTCH = 120;

ScreenPoint pointOf(const QMouseEvent* event) {
  const QPointF p = event->position();
  return {static_cast<int>(p.x()), static_cast<int>(p.y())};
}

// Keys by what they are: the key's own code first, then (for letters on a
// layout that puts other characters there) where the key sits.
Key keyOf(const QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return Key::Enter;
    case Qt::Key_Shift:
      return Key::Shift;
    case Qt::Key_Control:
      return Key::Control;
    case Qt::Key_Escape:
      return Key::Escape;
    case Qt::Key_Space:
      return Key::Space;
    case Qt::Key_Left:
      return Key::Left;
    case Qt::Key_Up:
      return Key::Up;
    case Qt::Key_Right:
      return Key::Right;
    case Qt::Key_Down:
      return Key::Down;
    case Qt::Key_1:
      return Key::Digit1;
    case Qt::Key_2:
      return Key::Digit2;
    case Qt::Key_4:
      return Key::Digit4;
    case Qt::Key_R:
      return Key::R;
    case Qt::Key_D:
      return Key::D;
    case Qt::Key_F:
      return Key::F;
    case Qt::Key_G:
      return Key::G;
    case Qt::Key_Y:
      return Key::Y;
    case Qt::Key_Z:
      return Key::Z;
    default:
      break;
  }
  // X11 key codes of the letters' places on a standard keyboard.
  switch (event->nativeScanCode()) {
    case 27:
      return Key::R;
    case 40:
      return Key::D;
    case 41:
      return Key::F;
    case 42:
      return Key::G;
    case 29:
      return Key::Y;
    case 52:
      return Key::Z;
    default:
      return Key::Other;
  }
}

}  // namespace

CChildView::CChildView(View& view, const Artwork& artwork, QWidget* parent)
    : QWidget(parent), view_(view), artwork_(artwork) {
  const ScreenRect& area = view.engine.layout.clientArea;
  setFixedSize(area.right - area.left, area.bottom - area.top);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  const qreal dpr = devicePixelRatioF();
  image_ = QImage(QSize(static_cast<int>(width() * dpr), static_cast<int>(height() * dpr)),
                  QImage::Format_ARGB32_Premultiplied);
  image_.setDevicePixelRatio(dpr);
  image_.fill(Qt::black);
  connect(&timer_, &QTimer::timeout, this, &CChildView::tick);
  timer_.start(TIMER_MS);
}

void CChildView::drawNow() {
  {
    ImageCanvas canvas(image_, &artwork_);
    drawPass(view_, canvas);
  }
  update();
}

void CChildView::tick() {
  if (!view_.engine.busy) onTimer(view_);
  drawNow();
  Q_EMIT ticked();
}

void CChildView::setProgress(const QString& stage, const QString& title) {
  if (progress_.isEmpty() && !stage.isEmpty()) progressClock_.start();
  progress_ = stage;
  progressTitle_ = title;
  update();
}

void CChildView::mousePressEvent(QMouseEvent* event) {
  setFocus();
  switch (event->button()) {
    case Qt::LeftButton:
      leftDown(view_, pointOf(event));
      break;
    case Qt::RightButton:
      rightDown(view_, pointOf(event));
      break;
    case Qt::MiddleButton:
      middleDown(view_, pointOf(event));
      break;
    default:
      return;
  }
  drawNow();
}

void CChildView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    leftUp(view_, pointOf(event));
  } else if (event->button() == Qt::RightButton) {
    rightUp(view_, pointOf(event));
  } else {
    return;
  }
  drawNow();
}

void CChildView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    leftDoubleClick(view_, pointOf(event));
  } else {
    mousePressEvent(event);
    return;
  }
  drawNow();
}

void CChildView::mouseMoveEvent(QMouseEvent* event) {
  mouseMove(view_, pointOf(event));
  // Drags follow the mouse at once; plain hovering waits for the timer.
  if (event->buttons() != Qt::NoButton) drawNow();
}

void CChildView::wheelEvent(QWheelEvent* event) {
  // A touchpad sends small deltas: they add up to notches of 120.
  wheelRemainder_ += event->angleDelta().y();
  const int notches = wheelRemainder_ / WHEEL_NOTCH;
  wheelRemainder_ -= notches * WHEEL_NOTCH;
  if (notches != 0) {
    wheel(view_, notches, (event->modifiers() & Qt::ControlModifier) != 0);
    drawNow();
  }
  event->accept();
}

void CChildView::leaveEvent(QEvent*) {
  mouseLeave(view_);
}

void CChildView::keyPressEvent(QKeyEvent* event) {
  if (event->isAutoRepeat() && (event->key() == Qt::Key_Shift || event->key() == Qt::Key_Control))
    return;
  keyDown(view_, keyOf(event), (event->modifiers() & Qt::ControlModifier) != 0);
  drawNow();
}

void CChildView::keyReleaseEvent(QKeyEvent* event) {
  if (event->isAutoRepeat()) return;
  keyUp(view_, keyOf(event));
  drawNow();
}

void CChildView::focusOutEvent(QFocusEvent*) {
  focusLost(view_);
}

void CChildView::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) focusLost(view_);
  QWidget::changeEvent(event);
}

bool CChildView::focusNextPrevChild(bool) {
  // Tab belongs to the view, not to focus moves.
  return false;
}

void CChildView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(QRectF(0, 0, width(), height()), image_);
  if (!progress_.isEmpty()) paintProgress(painter);
}

void CChildView::paintProgress(QPainter& painter) {
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF box(width() / 2.0 - 260, height() / 2.0 - 70, 520, 140);
  painter.setPen(QColor(255, 255, 0));
  painter.setBrush(QColor(20, 20, 28, 235));
  painter.drawRoundedRect(box, 10, 10);
  QFont font(VIEW_FONT_FAMILY);
  font.setPixelSize(22);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(box.adjusted(20, 16, -20, -70), Qt::AlignCenter, progressTitle_);
  font.setPixelSize(16);
  painter.setFont(font);
  const double seconds = progressClock_.isValid() ? progressClock_.elapsed() / 1000.0 : 0.0;
  painter.setPen(QColor(0, 255, 0));
  painter.drawText(box.adjusted(20, 60, -20, -40), Qt::AlignCenter, progress_);
  painter.setPen(QColor(200, 200, 200));
  painter.drawText(box.adjusted(20, 92, -20, -12), Qt::AlignCenter,
                   QStringLiteral("%1 s").arg(seconds, 0, 'f', 1));
}

}  // namespace quavrix
