#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Note suggestions: the note model's notes of the open recording, drawn on
// the roll as outlines for the musician to accept, move or ignore. They are
// kept while the recording is open and cached per recording content under
// the user's cache folder; they are never saved in the project nor exported.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "analysis/recording.h"
#include "score/cell_grid.h"

namespace quavrix {

struct Engine;

struct Suggestion {
  std::uint32_t start = 0;  // positions, as the grid's
  std::uint32_t end = 0;
  int key = 0;  // key row number 1..84
  int velocity = 0;
};

struct SuggestionState {
  std::vector<Suggestion> notes;
  bool present = false;  // suggestions were made for the open recording
  bool shown = true;     // the toggle that hides them
  std::string recordingPath;
};

// The part that runs beside the window: touches no engine state. Takes the
// cached suggestions of a recording of the same content when there are, else
// runs the note model and caches its notes. `progress` gets 0..1.
bool findSuggestions(const Recording& recording, std::vector<Suggestion>& out, std::string* reason,
                     const std::function<void(double)>& progress = {},
                     const std::atomic<bool>* cancel = nullptr);

// Makes `found` the suggestions of the open recording and shows them.
void installSuggestions(Engine& engine, std::vector<Suggestion>&& found);
// Forgets them (another recording was opened).
void clearSuggestions(Engine& engine);
void setSuggestionsShown(Engine& engine, bool shown);

// The rectangle of a suggestion on screen; false when it lies outside the
// window or the key range.
bool suggestionRect(const Engine& engine, const Suggestion& s, ScreenRect& rect);
// The shown suggestion under a point of the roll, or -1.
int suggestionAt(const Engine& engine, ScreenPoint point);
// Places suggestion `index` as a note of the selected track, from the grid
// line nearest its start to the line nearest its end, as a drag would place
// it; one undo step. Returns 1 when a note was placed.
int acceptSuggestion(Engine& engine, int index);
// Places every suggestion in view; one undo group. Returns the notes placed.
int acceptSuggestionsInView(Engine& engine);

// The cache file of a recording's suggestions (keyed by its samples).
std::string suggestionCachePath(const Recording& recording);

}  // namespace quavrix
