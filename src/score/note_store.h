#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The score of a project, held per position: the grid line flags, the note
// slots, the note-off table and the two edit histories.
//
// Other layers read these fields directly (playback walks lineMap, slots and
// noteOffs; the project file and the MIDI export read and write them), so the
// field names below are shared.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "base/large_buffer.h"
#include "base/units.h"
#include "score/edit_history.h"

namespace quavrix {

class Prompter;

// Slack entries behind the last position of every per-position array: the
// note runs of lines near the end reach past N.
inline constexpr std::uint32_t POSITION_SLACK = 32;
// Longest note a slot can describe (its duration has 16 bits).
inline constexpr std::uint32_t MAX_NOTE_DURATION = 0xFFFF;

enum class EditorPage : std::uint8_t { Bar, Beat, Division };

// What the beat editor remembers between commands. The panel itself belongs
// to the view; these are the modes that outlive a single button press.
struct BeatEditorState {
  int open = 0;
  EditorPage page = EditorPage::Beat;
  // Current command of each page, 0 = none: a new selection applies it.
  std::uint16_t barCommand = 0;
  std::uint16_t beatCommand = 0;
  std::uint16_t divisionCommand = 0;
  // Append option of the Beat page: 131 Free, 132 Before, 133 After, 0 = none chosen.
  std::uint16_t appendOption = 0;
  // Help page of the Beat page: 130 Append, 135 AutoFill, 145 Extend, 0 = none.
  std::uint16_t helpPage = 0;
  int strobeShown = 0;
  int tapMode = 0;
};

struct NoteStore {
  // Per-position arrays, positions + POSITION_SLACK entries each once allocated.
  LargeBuffer<std::uint8_t> lineMap;
  LargeBuffer<std::int32_t> slots;
  LargeBuffer<std::uint16_t> noteOffs;
  std::uint32_t positions = 0;  // N = totalFrames / 32
  std::uint32_t totalFrames = 0;

  // Ascending positions of every line. Sized to hold a line on every
  // position, so that no grid, however dense, is ever cut short.
  LargeBuffer<std::uint32_t> lineIndex;
  std::uint32_t lineCount = 0;

  int allocated = 0;
  int initialised = 0;
  int gridChanged = 0;    // set by every grid write; cleared after the orphan check
  int autosaveDirty = 0;  // set by every grid or note write; cleared by an autosave
  float beatInterval = 0.0f;

  GridHistory gridHistory;
  NoteHistory noteHistory;
  std::uint8_t autosaveRotation = 0;  // 0, 1, 2: autosave _A, _B, _C next

  BeatEditorState editor;
  int intervalFixed = 0;
  std::uint32_t startMarker = 0;  // 0 = none
  std::uint32_t endMarker = 0;    // 0 = none
  std::string midiOutputPath;
  std::uint16_t divisor = 4;

  // Orphan policy: exactly one of discard, forward, neighbor is 1.
  int discard = 1;
  int forward = 0;
  int neighbor = 0;
  int ask = 1;
  // Fractions (0.10 = plus or minus 10 %), copied from the settings by their apply step.
  float judgingTolerance = 0.0f;
  float autoFillTolerance = 0.0f;

  bool ready() const { return initialised != 0 && !slots.empty(); }
};

// The per-position arrays of a score, allocated apart from the open score so
// that a recording that cannot be given a score leaves the open one as it was.
struct ScoreArrays {
  LargeBuffer<std::uint8_t> lineMap;
  LargeBuffer<std::int32_t> slots;
  LargeBuffer<std::uint16_t> noteOffs;
  LargeBuffer<std::uint32_t> lineIndex;
  std::uint32_t positions = 0;
  std::uint32_t totalFrames = 0;
};

// Sizes the arrays for a recording of totalFrames frames. Returns 1, or 0
// after the out-of-memory message.
int allocateScoreArrays(ScoreArrays& arrays, std::uint32_t totalFrames, Prompter& prompter);

// Gives the score the arrays (its old ones are freed) and empties it: no
// history entry or marker of the previous recording survives.
void installScoreArrays(NoteStore& notes, ScoreArrays&& arrays);

// allocateScoreArrays and installScoreArrays in one. On failure the score is
// left without arrays.
int allocateNotes(NoteStore& notes, std::uint32_t totalFrames, Prompter& prompter);

// Empties every note slot (the New command rebuilds note-offs and cells after it).
void clearNotes(NoteStore& notes);

// Rebuilds the note-off table from the slots.
void buildNoteOffs(NoteStore& notes);

// Packs the live notes of every line into the slots right behind it, drops
// deleted notes and orphans, lets notes whose end line was removed run to the
// next line, then rebuilds the note-offs. Note history entries follow the
// notes to their new slots.
void compactNotes(NoteStore& notes);

// Writes the slot and note-off tables to the diagnostic console.
void dumpEvents(const NoteStore& notes, std::ostream& out, bool after);

// Writes the note-off value for a note ending at `end` into the table: at end,
// or the first of the 15 entries before it that is free or carries a deleted
// note-off. Returns false when none was free.
bool placeNoteOff(NoteStore& notes, std::uint32_t end, std::uint16_t value);

// Orphan policy commands of the Division page: 180 Discard, 181 Forward,
// 182 Neighbor, 183 toggles Ask.
void setOrphanPolicy(NoteStore& notes, int command);

}  // namespace quavrix
