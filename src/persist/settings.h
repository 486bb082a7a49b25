#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// The settings record: every user-adjustable value of the program, the names
// its XML file uses, and the change requests the dialogs leave for the apply
// step.
//
// Consumers (sampler, playback thread, view) read SettingValues through a
// pointer and index the arrays with the constants below; changes go only
// into SettingValues and take effect through the apply step
// (settings_apply.h). Levels, programs and timing values are read by the
// playback threads without a lock.

#include <array>
#include <cstdint>
#include <string>

namespace quavrix {

// Written into every file and read back; nothing depends on it.
inline constexpr int SETTINGS_FORMAT_VERSION = 310;

// Entries of the per-track arrays: index k is track k (1..7); 0, 8 and 9 are
// spare and never stored in a file.
inline constexpr int SETTING_TRACK_ENTRIES = 10;
inline constexpr int FIRST_SETTING_TRACK = 1;
inline constexpr int LAST_SETTING_TRACK = 7;

// Longest SoundFont file name and instrument name a value holds (the file's
// readers truncate longer ones).
inline constexpr std::size_t SOUNDFONT_NAME_MAX = 255;
inline constexpr std::size_t INSTRUMENT_NAME_MAX = 19;

// Values of SettingValues::gridOnOpening: one beat line per onset run, or
// the beats and bar lines the beat tracker finds.
inline constexpr std::int32_t GRID_FROM_ONSETS = 0;
inline constexpr std::int32_t GRID_FROM_BEATS = 1;

// Indices into SettingValues::level (fractions 0..1).
inline constexpr int LEVEL_WAV = 0;   // playback level of the recording
inline constexpr int LEVEL_MIDI = 1;  // overall level of the sampler
inline constexpr int LEVEL_TICK = 2;  // level of the tick track
// Note velocity of track k (1..7) is level[k + LEVEL_TRACK_OFFSET].
inline constexpr int LEVEL_TRACK_OFFSET = 2;
inline constexpr int LEVEL_COUNT = 10;
inline constexpr float DEFAULT_LEVEL = 0.67f;

// Indices into SettingValues::runtimeWords, the view's mute switches (1 = silent).
inline constexpr int MUTE_ALL_TRACKS = 3;
// Track k (1..7) is muted by word k + MUTE_TRACK_OFFSET (words 5..11).
inline constexpr int MUTE_TRACK_OFFSET = 4;
inline constexpr int MUTE_TICK = 14;
inline constexpr int RUNTIME_WORD_COUNT = 15;

// Records of SettingValues::colours.
inline constexpr int COLOUR_EBONY_KEY = 0;
inline constexpr int COLOUR_IVORY_KEY = 1;
inline constexpr int COLOUR_IVORY_KEY_C = 2;  // the marked (C) key row
inline constexpr int COLOUR_BAR_LINES = 3;
inline constexpr int COLOUR_BEAT_LINES = 4;
inline constexpr int COLOUR_DIV_LINES = 5;
inline constexpr int COLOUR_NOTE_GUESSING = 6;
// Track k (1..7) has record k + COLOUR_TRACK_OFFSET (8..14); record 7 is unused.
inline constexpr int COLOUR_TRACK_OFFSET = 7;
inline constexpr int COLOUR_RECORD_COUNT = 15;

// Recorded sections of the view: groups A..H, slots 1..8 (9 and 10 spare).
inline constexpr int SECTION_GROUPS = 8;
inline constexpr int SECTION_SLOTS = 10;
inline constexpr int SECTION_SLOTS_STORED = 8;

// One colour of the piano roll. r, g, b and a are percent 0..100; t is a line
// thickness on the same percent scale. For the track records a holds the
// opacity of a note's head and t that of its tail.
struct ColourRecord {
  std::int32_t r = 0;
  std::int32_t g = 0;
  std::int32_t b = 0;
  std::int32_t a = 0;
  std::int32_t t = 0;
  std::array<std::int32_t, 3> spare{};

  friend bool operator==(const ColourRecord&, const ColourRecord&) = default;
};

struct SectionRange {
  std::int32_t start = 0;  // "T" in the file
  std::int32_t end = 0;    // "B" in the file

  friend bool operator==(const SectionRange&, const SectionRange&) = default;
};

// The playhead's colour and line thickness, also where a file has no element for it.
inline constexpr ColourRecord DEFAULT_PLAYHEAD{100, 80, 10, 100, 25, {}};

// The colours that remain where a settings file lacks an element.
constexpr std::array<ColourRecord, COLOUR_RECORD_COUNT> builtInColours() {
  std::array<ColourRecord, COLOUR_RECORD_COUNT> c{};
  for (int i = 0; i < COLOUR_RECORD_COUNT; ++i) {
    if (i == COLOUR_TRACK_OFFSET) continue;  // no track 0
    c[i].r = c[i].g = c[i].b = c[i].a = 10;
    c[i].t = (i <= COLOUR_IVORY_KEY_C) ? 0 : 10;
  }
  return c;
}

// The values saved in and loaded from a settings file. Member initializers
// are the built-in defaults.
struct SettingValues {
  std::int32_t formatVersion = SETTINGS_FORMAT_VERSION;
  // File name or path of the .sf2 bank, at most SOUNDFONT_NAME_MAX characters.
  std::string soundFontFile;
  // Delay of the playback thread's note timer in milliseconds, 0..12.
  std::int32_t midiInterval = 4;
  // Instrument of track k in entry k: the 1-based position of a preset in the
  // bank's preset list sorted by bank then program; 0 = none.
  std::array<std::int32_t, SETTING_TRACK_ENTRIES> trackProgram{};
  // Instrument of the tick track, counted like the track programs.
  std::int32_t tickProgram = 128;
  // Display names of the chosen instruments, at most INSTRUMENT_NAME_MAX characters.
  std::array<std::string, SETTING_TRACK_ENTRIES> trackInstrument{};
  std::string tickInstrument;  // written to the file, never read back
  std::array<float, LEVEL_COUNT> level = {
      DEFAULT_LEVEL, DEFAULT_LEVEL, DEFAULT_LEVEL, DEFAULT_LEVEL, DEFAULT_LEVEL,
      DEFAULT_LEVEL, DEFAULT_LEVEL, DEFAULT_LEVEL, DEFAULT_LEVEL, DEFAULT_LEVEL};
  // Mute switches of the view; not stored in the file.
  std::array<std::int32_t, RUNTIME_WORD_COUNT> runtimeWords{};
  // Key number of the tick track's percussion sound (36, the bass drum).
  std::int32_t tickNote = 36;
  // 1 = track k is written to an exported MIDI file.
  std::array<std::int32_t, SETTING_TRACK_ENTRIES> midiOutput = {0, 0, 0, 0, 0, 0, 0, 1, 0, 0};
  std::array<ColourRecord, COLOUR_RECORD_COUNT> colours = builtInColours();
  // sections[group][slot], group 0..7 = A..H, slot 0..7 = 1..8.
  std::array<std::array<SectionRange, SECTION_SLOTS>, SECTION_GROUPS> sections{};
  std::int32_t singleNoteDelay = 0;
  // View value changed by dragging, kept within 5..255 by the view.
  std::int32_t scrollStep = 255;
  // Time lag between recording and notes in milliseconds.
  std::int32_t midiTiming = 0;
  // Tuning offset in cents from A = 440 Hz.
  std::int32_t tuning = 0;
  // Key setting 0..11: pitch class of the lowest key row.
  std::int32_t cKeyTo = 0;
  // Beat-editor tolerances in hundredths.
  std::int32_t judgingTolerance = 4;
  std::int32_t autoFillTolerance = 4;
  // Note-guessing display magnification, 0..10.
  std::int32_t displayMagnification = 10;
  // The line across the roll at the playback position (a: opacity, t: thickness).
  ColourRecord playhead = DEFAULT_PLAYHEAD;
  // What a newly opened recording's grid starts from: GRID_FROM_ONSETS or
  // GRID_FROM_BEATS.
  std::int32_t gridOnOpening = 0;
  // Tempo of exported MIDI files: 1 = a tempo map that follows the grid,
  // 0 = the single tempo of the range's first beat.
  std::int32_t midiTempoMap = 1;

  friend bool operator==(const SettingValues&, const SettingValues&) = default;
};

// Element and attribute names of the settings file; the writer takes them
// from here and the reader compares against them.
struct SettingNames {
  const char* root = "Settings";
  const char* comment = "ver. 3.1  dated:2020.12.22";
  const char* versionGroup = "Quavrix_lumo";
  const char* version = "Version";
  const char* soundFontGroup = "SoundFont";
  const char* soundFontFile = "file_name";
  const char* intervalGroup = "MIDI_interval";
  const char* interval = "mSec_value";
  const char* trackGroup = "Track";
  const char* wav = "WAV";
  const char* midi = "MIDI";
  const char* tick = "TickTack";
  const char* velo = "velo";
  const char* prg = "prg";
  const char* instrument = "instrument";
  const char* note = "Note";
  const char* midiOutput = "mXML";
  // Entry k is the element of track k (1..7); entry 0 is unused.
  std::array<const char*, 8> tracks = {"", "TR1", "TR2", "TR3", "TR4", "TR5", "TR6", "TR7"};
  const char* linesGroup = "Lines";
  // Element of colour record i (7 and the track records use `tracks`).
  std::array<const char*, 7> colourRecords = {"Ebony_Key",    "Ivory_Key",  "Ivory_Key_c",
                                              "Bar_Lines",    "Beat_Lines", "Div_Lines",
                                              "Note_guessing"};
  const char* r = "R";
  const char* g = "G";
  const char* b = "B";
  const char* a = "A";
  const char* t = "T";
  const char* headAlpha = "AH";
  const char* tailAlpha = "AT";
  const char* sectionGroup = "Section";
  // "A1" .. "H8", group-major.
  std::array<std::array<char, 4>, SECTION_GROUPS* SECTION_SLOTS_STORED> sections = sectionNames();
  const char* sectionStart = "T";
  const char* sectionEnd = "B";
  const char* singleNoteGroup = "Single_note";
  const char* singleNote = "Delay";
  const char* scrollGroup = "Scroll";
  const char* scroll = "Step";
  const char* timingGroup = "MIDI_Timing";
  const char* timing = "mSec";
  const char* tuningGroup = "Tuning";
  const char* tuning = "Cent";
  const char* transposeGroup = "Transpose";
  const char* transpose = "C_key_to";
  const char* beatGroup = "Beat";
  const char* judgingTolerance = "Judging_tolerance";
  const char* autoFillTolerance = "AutoFill_tolerance";
  const char* guessingGroup = "Note_guessing";
  const char* magnification = "Display_mag";
  const char* playhead = "Playhead";
  const char* gridOnOpeningGroup = "Grid_on_opening";
  const char* gridOnOpening = "value";
  const char* tempoMapGroup = "MIDI_tempo_map";
  const char* tempoMap = "value";

  static constexpr std::array<std::array<char, 4>, SECTION_GROUPS * SECTION_SLOTS_STORED>
  sectionNames() {
    std::array<std::array<char, 4>, SECTION_GROUPS * SECTION_SLOTS_STORED> n{};
    for (int g = 0; g < SECTION_GROUPS; ++g) {
      for (int s = 0; s < SECTION_SLOTS_STORED; ++s) {
        n[g * SECTION_SLOTS_STORED + s] = {static_cast<char>('A' + g), static_cast<char>('1' + s),
                                           '\0', '\0'};
      }
    }
    return n;
  }
};

// The masks of the apply step.
enum ApplyMask : int {
  APPLY_ALL = 0,        // everything below, SoundFont reload included
  APPLY_SOUNDFONT = 1,  // reload the SoundFont
  APPLY_PROGRAMS = 2,   // copy programs and tick note into the sampler
  APPLY_SOUND = 4,      // velocities, tuning, key tables, tolerances, lag, magnification
  APPLY_COLOURS = 8,    // rebuild the view's colours
};

// Change requests left by the dialogs; the apply pass clears them all.
struct ApplyFlags {
  std::int32_t soundFontChanged = 0;  // apply everything
  std::int32_t intervalChanged = 0;   // recompute the playback timer period
  std::uint8_t soundFont = 0;         // apply APPLY_SOUNDFONT
  std::uint8_t programs = 0;          // apply APPLY_PROGRAMS
  std::uint8_t sound = 0;             // apply APPLY_SOUND
  std::uint8_t colours = 0;           // apply APPLY_COLOURS
};

struct Settings {
  // File last loaded from or saved to by name; empty at start-up.
  std::string currentPath;
  // The shipped start-up settings (the install's data folder + "default_settings.xml").
  std::string defaultPath;
  // Where SAVE under DEFAULT writes the person's own start-up settings; when
  // that file exists it is read instead of the shipped one. Empty = defaultPath.
  std::string userDefaultPath;
  // 1 once a named settings file was found and loaded; never cleared.
  std::int32_t hasUserFile = 0;
  SettingValues values;
  SettingNames names;
  ApplyFlags applyFlags;
  // 1 after any successful read of a settings file; never cleared. Nothing
  // loads a SoundFont while it is 0.
  std::int32_t loaded = 0;

  // Advanced by every apply of the colours; the view rebuilds its pens and
  // brushes when it sees a value it has not drawn with yet.
  std::uint32_t colourRevision = 0;
};

}  // namespace quavrix
