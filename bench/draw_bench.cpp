// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing pass into an offscreen image at the large layout: a window of
// 1000 grid lines with 16 notes on every line and the guessing curve on. The
// steady pass (nothing dirty but the roll) is what the 50 ms timer costs while
// the person works; the full pass (every region dirty) follows every scroll;
// the playing pass adds what the timer draws while the music plays.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

#include <unistd.h>

#include "engine/engine.h"
#include "engine/project_open.h"
#include "engine/transport.h"
#include "score/beat_grid.h"
#include "ui/draw/drawing_pass.h"
#include "ui/model/view.h"
#include "ui/model/view_refresh.h"
#include "ui/model/visible_window.h"
#include "ui/qt/artwork.h"
#include "ui/qt/image_canvas.h"

namespace quavrix {
namespace {

constexpr int LINES = 1000;
constexpr int LINE_SPACING = 40;  // positions
constexpr int FRAMES = (LINES + 40) * LINE_SPACING * 32;

void writeWav(const std::string& path) {
  std::mt19937 random(3);
  std::uniform_int_distribution<int> noise(-3000, 3000);
  std::vector<std::int16_t> samples(2 * static_cast<std::size_t>(FRAMES));
  for (int f = 0; f < FRAMES; ++f) {
    const double t = f / 44100.0;
    const int tone =
        static_cast<int>(8000 * std::sin(2 * M_PI * 440 * t) + 5000 * std::sin(2 * M_PI * 185 * t));
    samples[2 * f] = static_cast<std::int16_t>(tone + noise(random));
    samples[2 * f + 1] = static_cast<std::int16_t>(tone / 2 + noise(random));
  }
  std::ofstream out(path, std::ios::binary);
  const auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  const auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  const std::uint32_t bytes = static_cast<std::uint32_t>(samples.size() * 2);
  out.write("RIFF", 4);
  u32(36 + bytes);
  out.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(2);
  u32(44100);
  u32(44100 * 4);
  u16(4);
  u16(16);
  out.write("data", 4);
  u32(bytes);
  out.write(reinterpret_cast<const char*>(samples.data()), bytes);
}

struct Scene {
  Scene() {
    const std::string dir = "/tmp/quavrix-draw-bench-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    writeWav(dir + "/lines.wav");
    EngineOptions options;
    options.programPath = dir + "/quavrix";
    options.audioDevice = "null";
    options.console = &log;
    engine = createEngine(options);
    view = std::make_unique<View>(*engine);
    linkView(*view, false);
    if (openRecording(*engine, dir + "/lines.wav") != 1) std::abort();
    viewAfterOpen(*view);
    // 1000 beat lines, 16 notes on each, every note held to the next line.
    NoteStore& notes = engine->notes;
    std::fill(notes.lineMap.begin(), notes.lineMap.end(), 0);
    const std::uint32_t first = LEAD_IN_POSITIONS + 8;
    for (int k = 0; k < LINES; ++k) {
      const std::uint32_t p = first + static_cast<std::uint32_t>(k * LINE_SPACING);
      notes.lineMap[p] = LINE_BEAT;
      for (int n = 0; n < 16; ++n)
        notes.slots[p + n] = makeNote(1 + n % 7, 1 + (k * 5 + n * 5) % 84, LINE_SPACING - n - 1);
    }
    buildNoteOffs(notes);
    refreshGrid(notes, engine->cellGrid);
    setWindow(*engine, static_cast<int>(first * 32 - 16),
              static_cast<int>((first + LINES * LINE_SPACING) * 32 - 64));
    engine->viewState.guessing = 1;
    // Play a moment and pause, so that the curve has a spectrum row to show.
    togglePlay(*engine);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    togglePlay(*engine);
    image = QImage(1889, 956, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    pass();
  }
  void pass() {
    ImageCanvas canvas(image, &artwork);
    drawPass(*view, canvas);
  }
  std::ostringstream log;
  std::unique_ptr<Engine> engine;
  std::unique_ptr<View> view;
  Artwork artwork;
  QImage image;
};

Scene& scene() {
  static int argc = 1;
  static char name[] = "draw_bench";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  (void)app;
  static Scene* s = new Scene();
  return *s;
}

void BM_SteadyPass(benchmark::State& state) {
  Scene& s = scene();
  state.counters["lines"] = static_cast<double>(s.engine->cellGrid.columnCount - 1);
  for (auto _ : state) {
    s.engine->viewState.dirty = DirtyFlags{};
    s.pass();
  }
}
BENCHMARK(BM_SteadyPass)->Unit(benchmark::kMillisecond);

void BM_FullPass(benchmark::State& state) {
  Scene& s = scene();
  for (auto _ : state) {
    redrawAll(*s.view);
    s.pass();
  }
}
BENCHMARK(BM_FullPass)->Unit(benchmark::kMillisecond);

// The steady pass while playing: every fourth line a bar line (numbered in
// the margin), the playhead in the middle of the window, and the top bar with
// the play position, which the timer redraws on every pass while playing.
void BM_PlayingPass(benchmark::State& state) {
  Scene& s = scene();
  Engine& e = *s.engine;
  const CellGrid& grid = e.cellGrid;
  for (std::uint32_t i = 0; i + 1 < grid.columnCount; i += 4)
    e.notes.lineMap[grid.columnPositions[i]] |= LINE_BAR;
  const VisibleWindow& w = e.viewState.window;
  e.playback.position.store((std::int64_t{w.firstVisible} + w.span / 2) * 32);
  e.viewState.playing = 1;
  for (auto _ : state) {
    e.viewState.dirty = DirtyFlags{};
    e.viewState.dirty.topBar = true;
    s.pass();
  }
  e.viewState.playing = 0;
}
BENCHMARK(BM_PlayingPass)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quavrix
