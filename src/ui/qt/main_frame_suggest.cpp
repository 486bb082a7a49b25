// SPDX-License-Identifier: GPL-3.0-or-later
// "Suggest notes" of the main frame: the note model runs on a worker thread
// while the window stays live and shows how far it got.

#include <QEventLoop>
#include <QMenuBar>
#include <QTimer>
#include <atomic>
#include <thread>

#include "engine/engine.h"
#include "engine/suggestions.h"
#include "ui/qt/child_view.h"
#include "ui/qt/main_frame.h"

namespace quavrix {

void CMainFrame::suggestNotes() {
  Engine& e = *engine_;
  if (!e.recording.hasSamples()) return;
  // While the model reads the recording nothing may replace it: the menus
  // rest and closing waits, as while a recording opens.
  opening_ = true;
  menuBar()->setEnabled(false);
  std::atomic<bool> done{false};
  std::atomic<int> percent{0};
  std::vector<Suggestion> found;
  std::string reason;
  bool ok = false;
  std::thread worker([&] {
    ok = findSuggestions(e.recording, found, &reason,
                         [&](double share) { percent.store(static_cast<int>(share * 100)); });
    done.store(true);
  });
  const QString title = QStringLiteral("Suggesting notes");
  QEventLoop loop;
  QTimer poll;
  connect(&poll, &QTimer::timeout, &loop, [&] {
    childView_->setProgress(QStringLiteral("%1 % of the recording").arg(percent.load()), title);
    if (done.load()) loop.quit();
  });
  childView_->setProgress(QStringLiteral("Loading the note model..."), title);
  poll.start(30);
  loop.exec();
  worker.join();
  opening_ = false;
  menuBar()->setEnabled(true);
  childView_->setProgress(QString());
  if (ok) {
    installSuggestions(e, std::move(found));
    if (QAction* hide = action(ID_HIDE_SUGGESTIONS)) hide->setChecked(false);
  } else {
    e.prompter->error("Suggest notes\n " + reason);
  }
  afterCommand();
}

}  // namespace quavrix
