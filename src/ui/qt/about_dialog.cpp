// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/about_dialog.h"

#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quavrix {

QIcon programIcon() {
  QIcon icon;
  for (const int size : {16, 32, 48, 64, 128}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size / 64.0;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(24, 28, 44));
    p.drawRoundedRect(QRectF(1 * s, 1 * s, 62 * s, 62 * s), 12 * s, 12 * s);
    // Two beamed eighth notes in the program's yellow.
    p.setBrush(QColor(255, 210, 40));
    p.drawEllipse(QRectF(12 * s, 40 * s, 14 * s, 10 * s));
    p.drawEllipse(QRectF(36 * s, 34 * s, 14 * s, 10 * s));
    p.drawRect(QRectF(23 * s, 14 * s, 3.5 * s, 31 * s));
    p.drawRect(QRectF(47 * s, 8 * s, 3.5 * s, 31 * s));
    QPainterPath beam;
    beam.moveTo(23 * s, 14 * s);
    beam.lineTo(50.5 * s, 8 * s);
    beam.lineTo(50.5 * s, 15 * s);
    beam.lineTo(23 * s, 21 * s);
    beam.closeSubpath();
    p.drawPath(beam);
    p.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("about QUAVRIX"));
  auto* grid = new QGridLayout(this);
  auto* icon = new QLabel(this);
  icon->setPixmap(programIcon().pixmap(40, 40));
  grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
  grid->addWidget(new QLabel(QString::fromUtf8(PRODUCT_LINE), this), 0, 1);
  grid->addWidget(
      new QLabel(QStringLiteral("Transcribe recordings into MIDI by ear and by eye."), this), 1, 1);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  grid->addWidget(ok, 2, 1, Qt::AlignRight);
}

QWidget* showShortcutKeyWindow(QWidget* parent, const std::string& path) {
  auto* window = new QDialog(parent);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle(QStringLiteral("Short Cut Key"));
  window->setModal(false);
  auto* layout = new QVBoxLayout(window);
  auto* text = new QPlainTextEdit(window);
  text->setObjectName(QStringLiteral("shortcutText"));
  text->setReadOnly(true);
  QFont mono(QStringLiteral("DejaVu Sans Mono"));
  mono.setStyleHint(QFont::Monospace);
  text->setFont(mono);
  QFile file(QString::fromStdString(path));
  if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    text->setPlainText(QString::fromUtf8(file.readAll()));
  } else {
    text->setPlainText(QStringLiteral("The list of keys is missing: %1\n(%2)")
                           .arg(QString::fromStdString(path), file.errorString()));
  }
  layout->addWidget(text);
  auto* close = new QPushButton(QStringLiteral("Close"), window);
  QObject::connect(close, &QPushButton::clicked, window, &QDialog::close);
  layout->addWidget(close, 0, Qt::AlignRight);
  window->resize(720, 640);
  window->show();
  return window;
}

}  // namespace quavrix
