// SPDX-License-Identifier: GPL-3.0-or-later
// Costs of the score operations that run after every edit, scroll and zoom
// (columns and cells of the visible window) and at every playback start and
// save (compaction and the note-off table).

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "base/prompter.h"
#include "score/beat_grid.h"
#include "score/cell_grid.h"
#include "score/note_store.h"

namespace quavrix {
namespace {

class QuietPrompter final : public Prompter {
 public:
  Answer show(std::string_view, Icon, Buttons) override { return Answer::Yes; }
};

constexpr std::uint32_t LINE_SPACING = 172;  // divisions of a beat at 120 BPM

// A window of 1000 lines, each holding 16 notes that last one to four lines.
struct DenseWindow {
  DenseWindow() {
    QuietPrompter prompter;
    const std::uint32_t lines = 1000;
    allocateNotes(*notes, (lines + 20) * LINE_SPACING * FRAMES_PER_POSITION, prompter);
    for (std::uint32_t l = 0; l < lines + 10; ++l) {
      const std::uint32_t p = 1000 + l * LINE_SPACING;
      notes->lineMap[p] = l % 4 == 0 ? LINE_BEAT : LINE_DIVISION;
      for (std::uint32_t k = 0; k < SLOTS_PER_LINE; ++k) {
        const int span = 1 + static_cast<int>((l + k) % 4);
        notes->slots[p + k] =
            makeNote(1 + static_cast<int>(k % 7), 10 + static_cast<int>(k * 4),
                     span * static_cast<int>(LINE_SPACING) - 1 - static_cast<int>(k));
      }
    }
    rebuildLineIndex(*notes);
    CellGeometry g;
    g.left = 303;
    g.right = 1885;
    g.keyTop = 60;
    g.keyBottom = 895;
    g.noteTop = 60;
    g.noteBottom = 895;
    g.noteHeight = 835.0f;
    grid->setGeometry(g);
    grid->setVisibleWindow(1000, 1000 + lines * LINE_SPACING);
  }
  std::unique_ptr<NoteStore> notes = std::make_unique<NoteStore>();
  std::unique_ptr<CellGrid> grid = std::make_unique<CellGrid>();
};

void BM_RebuildColumnsAndCells(benchmark::State& state) {
  DenseWindow w;
  for (auto _ : state) {
    benchmark::DoNotOptimize(rebuildColumns(*w.grid, *w.notes));
    rebuildCells(*w.grid, *w.notes);
    benchmark::ClobberMemory();
  }
  state.counters["columns"] = static_cast<double>(w.grid->columnCount);
}
BENCHMARK(BM_RebuildColumnsAndCells)->Unit(benchmark::kMicrosecond);

void BM_RebuildCellsOnly(benchmark::State& state) {
  DenseWindow w;
  rebuildColumns(*w.grid, *w.notes);
  for (auto _ : state) {
    rebuildCells(*w.grid, *w.notes);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RebuildCellsOnly)->Unit(benchmark::kMicrosecond);

// Ten minutes at 120 BPM with four divisions a beat, 10,000 notes spread over
// the lines (two or three a line), one in eight of them deleted.
struct TenMinutes {
  TenMinutes() {
    QuietPrompter prompter;
    allocateNotes(*notes, 600u * SAMPLE_RATE + LEAD_IN_FRAMES, prompter);
    const std::uint32_t n = notes->positions;
    std::uint32_t placed = 0;
    for (std::uint32_t p = LEAD_IN_POSITIONS; p + LINE_SPACING < n; p += LINE_SPACING) {
      notes->lineMap[p] = (p / LINE_SPACING) % 4 == 0 ? LINE_BEAT : LINE_DIVISION;
    }
    rebuildLineIndex(*notes);
    for (std::uint32_t l = 0; placed < 10000 && l < notes->lineCount; ++l) {
      const std::uint32_t p = notes->lineIndex[l];
      const std::uint32_t perLine = 2 + l % 2;
      for (std::uint32_t k = 0; k < perLine && placed < 10000; ++k, ++placed) {
        std::int32_t word = makeNote(1 + static_cast<int>(placed % 7), 20 + static_cast<int>(k * 5),
                                     static_cast<int>(LINE_SPACING * (1 + k) - 1 - k));
        if (placed % 8 == 7) {
          word = static_cast<std::int32_t>(static_cast<std::uint32_t>(word) | NOTE_DELETED);
        }
        notes->slots[p + k] = word;
      }
    }
    original = notes->slots;
  }
  std::unique_ptr<NoteStore> notes = std::make_unique<NoteStore>();
  LargeBuffer<std::int32_t> original;
};

void BM_CompactTenMinutes(benchmark::State& state) {
  TenMinutes t;
  for (auto _ : state) {
    state.PauseTiming();
    t.notes->slots = t.original;
    state.ResumeTiming();
    compactNotes(*t.notes);  // includes buildNoteOffs
    benchmark::ClobberMemory();
  }
  state.counters["positions"] = static_cast<double>(t.notes->positions);
}
BENCHMARK(BM_CompactTenMinutes)->Unit(benchmark::kMillisecond);

void BM_BuildNoteOffsTenMinutes(benchmark::State& state) {
  TenMinutes t;
  for (auto _ : state) {
    buildNoteOffs(*t.notes);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BuildNoteOffsTenMinutes)->Unit(benchmark::kMillisecond);

void BM_RebuildLineIndexTenMinutes(benchmark::State& state) {
  TenMinutes t;
  for (auto _ : state) {
    rebuildLineIndex(*t.notes);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RebuildLineIndexTenMinutes)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quavrix
