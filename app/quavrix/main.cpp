// SPDX-License-Identifier: GPL-3.0-or-later
// quavrix [--audio NAME] [RECORDING.wav [PROJECT.dat]]: the desktop program.

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/display.h"
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

namespace {

constexpr const char* USAGE =
    "usage: quavrix [--audio portaudio|null|wav:OUT.wav] [RECORDING [PROJECT.dat]]\n"
    "\n"
    "Transcribe a recording into MIDI by ear and by eye.\n"
    "\n"
    "  RECORDING          a recording to open at start-up (WAV, FLAC, MP3, Ogg, Opus, AIFF)\n"
    "  PROJECT.dat        its project file, opened with the project's settings\n"
    "  --audio NAME       audio output: portaudio (the sound card, default), null\n"
    "                     (silent) or wav:PATH (write what is heard to a WAV file)\n"
    "  --help             show this text and exit\n"
    "  --version          show the version and exit\n"
    "\n"
    "The environment variable QUAVRIX_LAYOUT=large|small forces a window layout.\n";

// The platform the toolkit will be asked for: its -platform option, else
// the environment's choice; empty for the system's own window system.
std::string requestedPlatform(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "-platform") return argv[i + 1];
  const char* env = std::getenv("QT_QPA_PLATFORM");
  return env ? env : "";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quavrix;
  // Answered before the toolkit starts, so that they work without a display.
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(USAGE, stdout);
      return 0;
    }
    if (a == "--version") {
      std::printf("quavrix %s\n", QUAVRIX_VERSION);
      return 0;
    }
    if (a == "--audio") ++i;
  }
  std::string reason;
  if (!displayAvailable(requestedPlatform(argc, argv), reason)) {
    std::fprintf(stderr, "quavrix: %s\n", reason.c_str());
    return 1;
  }
  CQuavrixApp app(argc, argv);
  FrameOptions options;
  std::vector<std::string> files;
  const QStringList args = QCoreApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    const QString a = args[i];
    if (a == "--audio" && i + 1 < args.size()) {
      options.audioDevice = args[++i].toStdString();
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
