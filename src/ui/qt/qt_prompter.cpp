// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/qt_prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QPushButton>
#include <QThread>

namespace quavrix {

namespace {

// Boxes and dialogs live on the window's thread. Work that runs beside the
// window (the SoundFont of an open) may still have to ask: the window's
// thread then shows the box while its progress loop runs, and the worker waits.
template <typename F>
auto onWindowThread(F&& show) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() == app->thread()) return show();
  decltype(show()) result{};
  QMetaObject::invokeMethod(
      app, [&] { result = show(); }, Qt::BlockingQueuedConnection);
  return result;
}

QMessageBox::Icon boxIcon(Icon icon) {
  switch (icon) {
    case Icon::Error:
      return QMessageBox::Critical;
    case Icon::Warning:
      return QMessageBox::Warning;
    case Icon::Information:
      return QMessageBox::Information;
    case Icon::Question:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void QtPrompter::configure(QMessageBox& box, std::string_view text, Icon icon, Buttons buttons) {
  box.setWindowTitle(QString::fromUtf8(APP_CAPTION));
  box.setIcon(boxIcon(icon));
  // The texts keep their own blanks and line breaks.
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  if (buttons == Buttons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
  } else if (buttons == Buttons::OkCancel) {
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
}

Answer QtPrompter::show(std::string_view text, Icon icon, Buttons buttons) {
  return onWindowThread([&] { return showHere(text, icon, buttons); });
}

Answer QtPrompter::showHere(std::string_view text, Icon icon, Buttons buttons) {
  QMessageBox box(parent_);
  configure(box, text, icon, buttons);
  const int result = box.exec();
  if (buttons == Buttons::Ok) return Answer::Ok;
  if (buttons == Buttons::OkCancel) return result == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
  return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

QStringList QtFileChooser::filters(const FileDialogRequest& request) {
  QStringList list;
  if (!request.filterPattern.empty()) {
    QString label = QString::fromStdString(request.filterLabel);
    const QString pattern = QString::fromStdString(request.filterPattern);
    // A label that does not end in its pattern gets it, so the dialog filters.
    if (!label.contains('(')) label += " (" + pattern + ")";
    list << label;
  }
  list << QStringLiteral("All files (*)");
  return list;
}

std::optional<std::string> QtFileChooser::choose(const FileDialogRequest& request) {
  return onWindowThread([&] { return chooseHere(request); });
}

std::optional<std::string> QtFileChooser::chooseHere(const FileDialogRequest& request) {
  QFileDialog dialog(parent_);
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilters(filters(request));
  if (!request.defaultExtension.empty())
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
  if (!request.folder.empty()) dialog.setDirectory(QString::fromStdString(request.folder));
  // An initial name with a wildcard ("*.wav") is a filter, not a name to type over.
  const QString initial = QString::fromStdString(request.initialName);
  if (!initial.isEmpty() && !initial.contains('*')) dialog.selectFile(initial);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

}  // namespace quavrix
