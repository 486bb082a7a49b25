#pragma once
// The score of a project, held per position: the grid line flags, the note
// slots, the note-off table and the two edit histories.
//
// Other layers read these fields directly (playback walks lineMap, slots and
// noteOffs; the project file and the MIDI export read and write them), so the
// field names below are shared.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quavrix {

inline constexpr int HISTORY_CAPACITY = 2048;

struct GridHistory {
  struct Entry {
    std::uint8_t oldByte = 0;
    std::uint8_t newByte = 0;
  };
  std::array<Entry, HISTORY_CAPACITY> entries{};
  std::array<std::uint32_t, HISTORY_CAPACITY> positions{};
  std::uint16_t count = 0;
  std::uint16_t top = 0;
  int empty = 1;
  int groupStart = 1;
  int modified = 0;
};

struct NoteHistory {
  struct Entry {
    std::int32_t oldWord = 0;
    std::int32_t newWord = 0;
  };
  std::array<Entry, HISTORY_CAPACITY> entries{};
  std::array<std::uint32_t, HISTORY_CAPACITY> slots{};
  std::uint16_t count = 0;
  std::uint16_t top = 0;
  int empty = 1;
  int modified = 0;
};

struct NoteStore {
  // Per-position arrays, positions + 32 entries each once allocated.
  std::vector<std::uint8_t> lineMap;
  std::vector<std::int32_t> slots;
  std::vector<std::uint16_t> noteOffs;
  std::uint32_t positions = 0;  // N = totalFrames / 32
  std::uint32_t totalFrames = 0;

  // Ascending positions of every line; holds every line the map can carry.
  std::vector<std::uint32_t> lineIndex;
  std::uint32_t lineCount = 0;

  int allocated = 0;
  int initialised = 0;
  int gridChanged = 0;
  int autosaveDirty = 0;
  float beatInterval = 0.0f;

  GridHistory gridHistory;
  NoteHistory noteHistory;
  std::uint8_t autosaveRotation = 0;

  std::uint16_t barPageCommand = 0;
  std::uint16_t beatPageCommand = 0;
  std::uint16_t divisionPageCommand = 0;
  int intervalFixed = 0;
  std::uint32_t startMarker = 0;
  std::uint32_t endMarker = 0;
  std::string midiOutputPath;
  std::uint16_t divisor = 4;

  // Orphan policy: exactly one of discard, forward, neighbor is 1.
  int discard = 1;
  int forward = 0;
  int neighbor = 0;
  int ask = 1;
  float judgingTolerance = 0.0f;
  float autoFillTolerance = 0.0f;

  std::string wavPath;  // the recording this score belongs to
};

}  // namespace quavrix
