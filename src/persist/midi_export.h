#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Standard MIDI File export: the notes of the chosen tracks between the START
// and END markers, on a tick grid taken from the beat and division lines.
// The tempo either follows the grid (a tempo map, time signatures and a
// track per instrument: the notes sound where their lines are in the
// recording) or is the single tempo of the range's first beat (one track).

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "base/prompter.h"
#include "persist/settings.h"
#include "score/note_store.h"

namespace quavrix {

inline constexpr int MIDI_TICKS_PER_QUARTER = 240;
// Note-offs fall this many ticks before the line that follows the note's end.
inline constexpr int MIDI_NOTE_OFF_LEAD = 8;
inline constexpr int MIDI_MIN_BPM = 40;
inline constexpr int MIDI_MAX_BPM = 200;
// Largest value a variable-length quantity holds (four bytes).
inline constexpr std::uint32_t MIDI_MAX_VLQ = 0x0FFFFFFF;

// Results of exportMidi and saveMidiFile.
enum MidiExportResult : int {
  MIDI_EXPORT_WRITTEN = 0,
  MIDI_EXPORT_STOPPED = -1,       // no data, bad range or no lines; or no usable .dat path
  MIDI_EXPORT_REFUSED = -2,       // tempo or key check failed; nothing written
  MIDI_EXPORT_WRITE_FAILED = -3,  // the file could not be written
};

// How the file's tempo is made.
enum class MidiTempo {
  Single,  // one tempo from the first beat, format 0
  Grid,    // a tempo map and time signatures from the grid, format 1
};

struct MidiExportOptions {
  MidiTempo tempo = MidiTempo::Single;
  // Grid tempo: entry t (1..7) names the file's track of instrument track t;
  // an empty name becomes "Track t".
  std::array<std::string, 8> trackNames;
  // The completion message names the file written (the beat editor's does not).
  bool namePathWhenDone = false;
  // The range ends at the last line of the grid rather than at an END marker:
  // the notes on that line are exported too, lasting at most one beat.
  bool notesOnLastLine = false;
};

struct MidiRange {
  std::uint32_t start = 0;
  std::uint32_t end = 0;
};

inline constexpr const char* MIDI_NO_DAT_TEXT =
    "MIDI SAVE\nCan not find .dat file. \n\n Please, save to .dat flie before.";
inline constexpr const char* MIDI_NO_DAT_EXTENSION_TEXT =
    "MIDI SAVE\n Can not find .dat extention. \n\n Please, save to .dat flie before.";
inline constexpr const char* MIDI_END_BEFORE_START_TEXT =
    " Please, set START line and END line correctly\n  ERROR : end < start ";
inline constexpr const char* MIDI_END_OUT_OF_SCOPE_TEXT = " ERROR : END line is out of scope.";
inline constexpr const char* MIDI_NO_LINES_TEXT = " Error : not found beat line. ";
inline constexpr const char* MIDI_NO_NEXT_LINE_TEXT =
    " Error  Can not find BAR LINE or BEAT LINE. ";
inline constexpr const char* MIDI_BAD_BAR_LINES_TEXT = " Error  BAR LINEs are incorrect. ";
inline constexpr const char* MIDI_TOO_SLOW_TEXT = " Error  BPM is Too slow ( < 40 ). ";
inline constexpr const char* MIDI_TOO_FAST_TEXT = " Error  BPM is Too fast ( 200 < ). ";
inline constexpr const char* MIDI_NO_TEMPO_TEXT = " Error  Can not get TEMPO. ";
inline constexpr const char* MIDI_BAD_KEY_TEXT =
    " Error  KEY number is out of range ( 1 - 85 ). \n\n Nothing was saved. ";
// Followed by the path of the file.
inline constexpr const char* MIDI_WRITE_FAILED_TEXT = "MIDI SAVE\n Can not write .mid file. \n\n ";
inline constexpr const char* MIDI_COMPLETED_TEXT =
    "  Saving to MIDI (.mid) \n\n     OK, COMPLETED.";

// The refusal of a beat too slow for a tempo event: where the beat is in the
// recording and how long it lasts.
std::string beatTooLongText(std::uint32_t position, std::uint32_t interval);

// The range an export without markers takes: the START and END markers where
// they are set; otherwise from the first bar line (the first beat line when
// there is no bar line; the beat line before the first note when notes come
// earlier) to the last beat line. {0, 0} without lines.
MidiRange wholeGridRange(const NoteStore& notes);

// The .dat path with its last ".dat" replaced by ".mid", so that a folder
// whose name contains ".dat" stays the folder; empty when there is none.
std::string midiPathForDat(const std::string& datPath);

// Appends a variable-length quantity; values above MIDI_MAX_VLQ are written
// as MIDI_MAX_VLQ after a line on `diagnostics`.
void appendVariableLength(std::vector<std::uint8_t>& out, std::uint32_t value,
                          std::ostream& diagnostics);

// Builds the whole file for the range start..end (the markers) from the grid
// and notes and the settings' programs, levels and output flags, with the
// tempo the options ask for. Shows its own messages. Returns
// MIDI_EXPORT_WRITTEN with `file` filled, or MIDI_EXPORT_STOPPED /
// MIDI_EXPORT_REFUSED.
int buildMidiFile(const NoteStore& notes, const SettingValues& values, std::uint32_t start,
                  std::uint32_t end, Prompter& prompter, std::ostream& diagnostics,
                  std::vector<std::uint8_t>& file, const MidiExportOptions& options = {});

// Builds the file and writes it to `path`, replacing it whole; shows the
// completion message only after a successful write. Returns a
// MidiExportResult; after MIDI_EXPORT_WRITE_FAILED `failure`, when given,
// holds the system's reason.
int exportMidi(const NoteStore& notes, const SettingValues& values, const std::string& path,
               std::uint32_t start, std::uint32_t end, Prompter& prompter,
               std::ostream& diagnostics, std::string* failure = nullptr,
               const MidiExportOptions& options = {});

// The "SAVE to MIDI FILE" command: checks the project's .dat path, sets
// `midiPath` (cleared first) to the file beside it and exports the range
// between the START and END markers there. Returns a MidiExportResult;
// `failure` as for exportMidi.
int saveMidiFile(const std::string& datPath, std::string& midiPath, const NoteStore& notes,
                 const SettingValues& values, Prompter& prompter, std::ostream& diagnostics,
                 std::string* failure = nullptr, const MidiExportOptions& options = {});

}  // namespace quavrix
