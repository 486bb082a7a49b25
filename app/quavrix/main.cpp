// quavrix [--audio NAME] [RECORDING.wav [PROJECT.dat]]: the desktop program.

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "ui/qt/about_dialog.h"
#include "ui/qt/main_frame.h"

namespace quavrix {

// The application object: the toolkit's, with the program's name and icon.
class CQuavrixApp : public QApplication {
 public:
  CQuavrixApp(int& argc, char** argv) : QApplication(argc, argv) {
    // No display name: the toolkit would add it to every window's title.
    setApplicationName(QStringLiteral("quavrix"));
    setWindowIcon(programIcon());
  }
};

}  // namespace quavrix

int main(int argc, char** argv) {
  using namespace quavrix;
  CQuavrixApp app(argc, argv);
  FrameOptions options;
  std::vector<std::string> files;
  const QStringList args = QCoreApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    const QString a = args[i];
    if (a == "--audio" && i + 1 < args.size()) {
      options.audioDevice = args[++i].toStdString();
    } else if (a == "--help" || a == "-h") {
      std::printf(
          "usage: quavrix [--audio portaudio|null|wav:OUT.wav] [RECORDING.wav [PROJECT.dat]]\n");
      return 0;
    } else {
      files.push_back(a.toStdString());
    }
  }
  CMainFrame frame(options);
  frame.show();
  if (!files.empty()) {
    const std::string wav = files[0];
    const std::string dat = files.size() > 1 ? files[1] : std::string();
    QTimer::singleShot(0, &frame, [&frame, wav, dat] { frame.openFromCommandLine(wav, dat); });
  }
  return app.exec();
}
