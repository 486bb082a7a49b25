// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/suggestions.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "analysis/note_model.h"
#include "analysis/transcription.h"
#include "base/atomic_file.h"
#include "base/units.h"
#include "engine/editing.h"
#include "engine/engine.h"
#include "platform/user_cache.h"
#include "score/edit_history.h"

namespace quavrix {

namespace {

// Bumped whenever what is cached would come out differently.
constexpr const char* CACHE_HEADER = "quavrix note suggestions 1";

std::uint32_t positionOf(double seconds) {
  const double frame = LEAD_IN_FRAMES + std::max(seconds, 0.0) * SAMPLE_RATE;
  return static_cast<std::uint32_t>(frame / FRAMES_PER_POSITION);
}

bool readCache(const std::string& path, std::vector<Suggestion>& out) {
  std::ifstream in(path);
  std::string header;
  if (!in || !std::getline(in, header) || header != CACHE_HEADER) return false;
  out.clear();
  for (Suggestion s; in >> s.start >> s.end >> s.key >> s.velocity;) out.push_back(s);
  return in.eof();
}

void writeCache(const std::string& path, const std::vector<Suggestion>& notes) {
  std::ostringstream text;
  text << CACHE_HEADER << '\n';
  for (const Suggestion& s : notes)
    text << s.start << ' ' << s.end << ' ' << s.key << ' ' << s.velocity << '\n';
  const std::string data = text.str();
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  writeFileAtomically(path, data.data(), data.size());  // a cache that cannot be written is no loss
}

// The visible columns the nearest line of a position falls on.
int nearestColumn(const CellGrid& grid, std::uint32_t position, int columns) {
  int best = 0;
  for (int c = 1; c < columns; ++c) {
    const auto d = [&](int col) {
      const std::uint32_t q = grid.columnPositions[static_cast<std::size_t>(col)];
      return q > position ? q - position : position - q;
    };
    if (d(c) < d(best)) best = c;
  }
  return best;
}

ScreenPoint middle(const ScreenRect& keys, const ScreenRect& band) {
  return {(keys.left + keys.right) / 2, (band.top + band.bottom) / 2};
}

}  // namespace

std::string suggestionCachePath(const Recording& rec) {
  // FNV-1a over the samples the model hears.
  std::uint64_t h = 1469598103934665603ull;
  const auto mix = [&](std::uint64_t v) {
    h ^= v;
    h *= 1099511628211ull;
  };
  mix(rec.framesRead);
  for (std::size_t f = 0; f < rec.framesRead; ++f) {
    const std::size_t i = LEAD_IN_FRAMES + f;
    mix((static_cast<std::uint64_t>(static_cast<std::uint16_t>(rec.left[i])) << 16) |
        static_cast<std::uint16_t>(rec.right[i]));
  }
  char name[48];
  std::snprintf(name, sizeof name, "suggestions-%016" PRIx64 ".txt", h);
  return (std::filesystem::path(userCacheFolder()) / name).string();
}

bool findSuggestions(const Recording& rec, std::vector<Suggestion>& out, std::string* reason,
                     const std::function<void(double)>& progress, const std::atomic<bool>* cancel) {
  const std::string cache = suggestionCachePath(rec);
  if (readCache(cache, out)) return true;
  const auto model = NoteModel::load(noteModelPath(), reason);
  if (!model) return false;
  PosteriorOptions options;
  options.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  options.progress = progress;
  options.cancel = cancel;
  Transcription t;
  if (!transcribeRecording(rec, *model, t, reason, options)) return false;
  out.clear();
  for (const ModelNote& n : t.notes) {
    const int key = n.pitch - KEY_TO_MIDI;
    if (key < 1 || key > KEY_COUNT) continue;  // beyond the roll's keys
    out.push_back({positionOf(n.start), positionOf(n.end), key, n.velocity});
  }
  writeCache(cache, out);
  return true;
}

void installSuggestions(Engine& engine, std::vector<Suggestion>&& found) {
  SuggestionState& s = engine.suggestions;
  s.notes = std::move(found);
  s.present = true;
  s.shown = true;
  s.recordingPath = engine.recording.path;
}

void clearSuggestions(Engine& engine) {
  engine.suggestions = {};
}

void setSuggestionsShown(Engine& engine, bool shown) {
  engine.suggestions.shown = shown;
}

bool suggestionRect(const Engine& engine, const Suggestion& s, ScreenRect& rect) {
  const CellGrid& grid = engine.cellGrid;
  const std::uint32_t a = grid.visibleStart, b = grid.visibleEnd;
  if (!grid.enabled || b <= a || s.end <= a || s.start >= b) return false;
  const int row = s.key - 1 - static_cast<int>(grid.firstKeyRow);
  if (row < 0 || row >= static_cast<int>(grid.keyRows)) return false;
  const CellGeometry& g = grid.geometry;
  const auto yOf = [&](std::uint32_t q) {
    q = std::clamp(q, a, b);
    return static_cast<std::int32_t>(static_cast<float>(q - a) * g.noteHeight /
                                         static_cast<float>(b - a) +
                                     static_cast<float>(g.noteTop));
  };
  const ScreenRect& keys = grid.keyRects[static_cast<std::size_t>(row)];
  rect = {keys.left, yOf(s.start), keys.right, std::max(yOf(s.end), yOf(s.start) + 2)};
  return true;
}

int suggestionAt(const Engine& engine, ScreenPoint point) {
  const SuggestionState& s = engine.suggestions;
  if (!s.present || !s.shown) return -1;
  for (std::size_t i = 0; i < s.notes.size(); ++i) {
    ScreenRect r;
    if (suggestionRect(engine, s.notes[i], r) && r.contains(point)) return static_cast<int>(i);
  }
  return -1;
}

int acceptSuggestion(Engine& engine, int index) {
  const SuggestionState& s = engine.suggestions;
  const CellGrid& grid = engine.cellGrid;
  const int track = engine.viewState.currentTrack;
  if (index < 0 || static_cast<std::size_t>(index) >= s.notes.size() || track < 1 || track > 7 ||
      engine.viewState.noTrackSelected || grid.columnOverflow || grid.columnCount < 2)
    return 0;
  const Suggestion& n = s.notes[static_cast<std::size_t>(index)];
  const int row = n.key - 1 - static_cast<int>(grid.firstKeyRow);
  if (row < 0 || row >= static_cast<int>(grid.keyRows)) return 0;
  // Columns 0 .. columnCount - 2 are the visible lines; the last entry is the
  // window's end. The note starts on the line nearest its start and ends
  // before the line nearest its end, at least one column long.
  const int lines = static_cast<int>(grid.columnCount) - 1;
  const int first = nearestColumn(grid, n.start, lines);
  int last = nearestColumn(grid, n.end, lines + 1) - 1;
  last = std::clamp(last, first, lines - 1);
  const ScreenRect& keys = grid.keyRects[static_cast<std::size_t>(row)];
  return appendNoteAt(engine, track,
                      middle(keys, grid.columnRects[static_cast<std::size_t>(first)]),
                      middle(keys, grid.columnRects[static_cast<std::size_t>(last)]));
}

int acceptSuggestionsInView(Engine& engine) {
  const SuggestionState& s = engine.suggestions;
  if (!s.present || !s.shown || !engine.notes.ready()) return 0;
  int placed = 0;
  beginNoteGroup(engine.notes);
  for (std::size_t i = 0; i < s.notes.size(); ++i) {
    ScreenRect r;
    if (suggestionRect(engine, s.notes[i], r))
      placed += acceptSuggestion(engine, static_cast<int>(i));
  }
  endNoteGroup(engine.notes);
  return placed;
}

}  // namespace quavrix
