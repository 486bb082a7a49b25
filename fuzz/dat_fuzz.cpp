// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the project file reader and, when a file is taken,
// does with its grid and notes what the program does after loading one: the
// note-off table, the line index and the cells of the first screen, the MIDI
// file of the marked range, and the compaction before playing.

#include <cstdint>
#include <sstream>
#include <vector>

#include "base/prompter.h"
#include "fuzz_file.h"
#include "persist/dat_codec.h"
#include "persist/midi_export.h"
#include "persist/settings.h"
#include "score/cell_grid.h"
#include "score/note_store.h"

namespace {

class SilentPrompter final : public quavrix::Prompter {
 public:
  quavrix::Answer show(std::string_view, quavrix::Icon, quavrix::Buttons) override {
    return quavrix::Answer::No;
  }
};

}  // namespace

// The score's length in positions. A file is taken only when its first word
// says the same, as for a real recording; scripts/make-fuzz-seeds.py writes
// its seeds for this length.
constexpr std::uint32_t POSITIONS = 1500;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quavrix;
  static const fuzz::InputFile file("dat-fuzz");
  if (!file.write(data, size)) return 0;
  SilentPrompter prompter;
  NoteStore notes;
  if (!allocateNotes(notes, POSITIONS * FRAMES_PER_POSITION, prompter)) return 0;
  if (readScoreFile(notes, file.path()) != 0) return 0;
  buildNoteOffs(notes);
  CellGrid grid;
  CellGeometry g;
  g.right = 8 * KEY_COUNT;
  g.keyBottom = 600;
  g.noteBottom = 600;
  g.noteHeight = 600.0f;
  grid.setGeometry(g);
  grid.setVisibleWindow(0, notes.positions);
  refreshGrid(notes, grid);
  std::ostringstream diagnostics;
  std::vector<std::uint8_t> midi;
  buildMidiFile(notes, SettingValues{}, notes.startMarker, notes.endMarker, prompter, diagnostics,
                midi);
  // The tempo map over the whole grid, as "Export MIDI..." writes it.
  MidiExportOptions tempoMap;
  tempoMap.tempo = MidiTempo::Grid;
  const MidiRange range = wholeGridRange(notes);
  buildMidiFile(notes, SettingValues{}, range.start, range.end, prompter, diagnostics, midi,
                tempoMap);
  compactNotes(notes);
  refreshGrid(notes, grid);
  return 0;
}
