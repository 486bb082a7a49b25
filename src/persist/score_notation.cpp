// SPDX-License-Identifier: GPL-3.0-or-later
#include "persist/score_notation.h"

#include <algorithm>

namespace quavrix {

namespace {

// Longest value written in whole beats: a dotted breve (twelve quarters).
constexpr int LONGEST_IN_QUARTERS = 12;

// Lengths one note value can show, counted in its smallest value: plain
// (2^e), dotted (3 x 2^e) and double-dotted (7 x 2^e).
struct Shape {
  int length = 1;
  int exponent = 0;  // of the note's own type, relative to the smallest value
  int dots = 0;
};

Shape largestShape(int n, int limit) {
  Shape best;
  for (int e = 0; (1 << e) <= std::min(n, limit); ++e) {
    const int plain = 1 << e;
    if (plain <= n && plain <= limit && plain > best.length) best = {plain, e, 0};
    const int dotted = 3 << e;
    if (dotted <= n && dotted <= limit && dotted > best.length) best = {dotted, e + 1, 1};
    const int doubleDotted = 7 << e;
    if (doubleDotted <= n && doubleDotted <= limit && doubleDotted > best.length) {
      best = {doubleDotted, e + 2, 2};
    }
  }
  return best;
}

int floorLog2(int n) {
  int e = 0;
  while ((2 << e) <= n) ++e;
  return e;
}

// Parts first..last-1 of a beat split into `parts` equal parts. A beat of
// 3 x 2^m parts reads as 2^m triplets, one on each 2^m-th of the beat (six
// parts: two triplets of sixteenths); other counts that are no power of two
// as one tuplet over the whole beat (five: five sixteenths in the time of four).
void notateInBeat(const ScoreGrid& grid, int beat, int first, int last,
                  std::vector<WrittenValue>& out) {
  const int parts = grid.beats[static_cast<std::size_t>(beat)].parts;
  const std::int64_t unit = grid.unitsPerBeat / parts;
  if (first == 0 && last == parts) {
    out.push_back({grid.unitsPerBeat, 0, 0, 0, 0, beat});
    return;
  }
  const int triplets = parts / 3;
  const int size = parts % 3 == 0 && (triplets & (triplets - 1)) == 0 ? 3 : parts;
  const int groupExp = floorLog2(parts / size);  // a group lasts a quarter / 2^groupExp
  // The smallest value of a group: its length / normal, where normal is the
  // largest power of two not above its parts; other part counts are tuplets.
  const int normalExp = floorLog2(size);
  const int normal = 1 << normalExp;
  const bool tuplet = normal != size;
  for (int at = first; at < last;) {
    const int group = at / size;
    const int stop = std::min(last, (group + 1) * size);
    const int bracket = beat * MAX_PARTS_PER_BEAT + group;
    if (stop - at == size) {  // a whole group of a split beat: a plain value
      out.push_back({size * unit, -groupExp, 0, 0, 0, bracket});
      at = stop;
      continue;
    }
    for (int left = stop - at; left > 0;) {
      const Shape s = largestShape(left, size);
      out.push_back({s.length * unit, s.exponent - normalExp - groupExp, s.dots, tuplet ? size : 0,
                     tuplet ? normal : 0, bracket});
      left -= s.length;
    }
    at = stop;
  }
}

}  // namespace

std::vector<ChordGroup> voicedChords(const std::vector<GridNote>& trackNotes) {
  std::vector<ChordGroup> chords;
  for (const GridNote& n : trackNotes) {
    auto same = std::find_if(chords.begin(), chords.end(), [&](const ChordGroup& c) {
      return c.start == n.start && c.end == n.end;
    });
    if (same == chords.end()) {
      chords.push_back({n.start, n.end, {n.midiKey}, 1});
    } else if (std::find(same->midiKeys.begin(), same->midiKeys.end(), n.midiKey) ==
               same->midiKeys.end()) {
      same->midiKeys.push_back(n.midiKey);
    }
  }
  for (ChordGroup& c : chords) std::sort(c.midiKeys.begin(), c.midiKeys.end());
  // Earlier chords first; of those that start together, the higher one takes
  // the upper voice, as a melody over a held note is usually written.
  std::stable_sort(chords.begin(), chords.end(), [](const ChordGroup& a, const ChordGroup& b) {
    if (a.start != b.start) return a.start < b.start;
    return a.midiKeys.back() > b.midiKeys.back();
  });
  std::vector<std::int64_t> voiceEnds;
  for (ChordGroup& c : chords) {
    std::size_t v = 0;
    while (v < voiceEnds.size() && voiceEnds[v] > c.start) ++v;
    if (v == voiceEnds.size()) voiceEnds.push_back(0);
    voiceEnds[v] = c.end;
    c.voice = static_cast<int>(v) + 1;
  }
  return chords;
}

std::vector<WrittenValue> notateSpan(const ScoreGrid& grid, std::int64_t from, std::int64_t to) {
  std::vector<WrittenValue> out;
  const std::int64_t u = grid.unitsPerBeat;
  const auto partOf = [&](int beat, std::int64_t offset) {
    return static_cast<int>(offset / (u / grid.beats[static_cast<std::size_t>(beat)].parts));
  };
  if (from % u != 0) {
    const int beat = static_cast<int>(from / u);
    const std::int64_t beatEnd = grid.beatStart(beat + 1);
    const std::int64_t stop = std::min(to, beatEnd);
    notateInBeat(grid, beat, partOf(beat, from % u), partOf(beat, stop - grid.beatStart(beat)),
                 out);
    from = stop;
  }
  int wholeBeats = static_cast<int>((to - from) / u);
  int beat = static_cast<int>(from / u);
  // Whole beats and a plain share of the next, such as a dotted quarter in
  // eighths, read best as one value.
  if (wholeBeats > 0 && from + wholeBeats * u < to) {
    const int tail = beat + wholeBeats;
    const int parts = grid.beats[static_cast<std::size_t>(tail)].parts;
    const int exp = floorLog2(parts);
    const int length = wholeBeats * parts + partOf(tail, to - grid.beatStart(tail));
    const Shape s = largestShape(length, length);
    if ((1 << exp) == parts && s.length == length && wholeBeats < LONGEST_IN_QUARTERS) {
      out.push_back({to - from, s.exponent - exp, s.dots, 0, 0, beat});
      return out;
    }
  }
  while (wholeBeats > 0) {
    const Shape s = largestShape(wholeBeats, LONGEST_IN_QUARTERS);
    out.push_back({s.length * u, s.exponent, s.dots, 0, 0, beat});
    wholeBeats -= s.length;
    beat += s.length;
    from += s.length * u;
  }
  if (from < to) notateInBeat(grid, beat, 0, partOf(beat, to - from), out);
  return out;
}

std::vector<VoiceSpan> voiceSpans(const ScoreGrid& grid, const GridMeasure& measure,
                                  const std::vector<ChordGroup>& chords, int voice) {
  const std::int64_t start = grid.measureStart(measure);
  const std::int64_t end = grid.measureEnd(measure);
  std::vector<VoiceSpan> spans;
  std::int64_t cursor = start;
  for (const ChordGroup& c : chords) {
    if (c.voice != voice || c.end <= start || c.start >= end) continue;
    const std::int64_t from = std::max(c.start, start);
    const std::int64_t to = std::min(c.end, end);
    if (from > cursor) spans.push_back({cursor, from, nullptr, false, false});
    spans.push_back({from, to, &c, c.start<start, c.end> end});
    cursor = to;
  }
  if (spans.empty()) return spans;
  if (cursor < end) spans.push_back({cursor, end, nullptr, false, false});
  return spans;
}

}  // namespace quavrix
