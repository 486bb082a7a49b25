// SPDX-License-Identifier: GPL-3.0-or-later
// The Beat page of the beat editor: locks, delete, append, AutoFill and moves.

#include <algorithm>
#include <cmath>

#include "base/prompter.h"
#include "score/beat_editor/editor_pages.h"
#include "score/beat_grid.h"

namespace quavrix::editor {

namespace {

constexpr std::size_t MAX_LOCK_BEATS = 1023;
constexpr std::size_t MAX_AUTOFILL_LOCKS = 1024;
constexpr std::uint8_t LOCKED_BEAT = LINE_BEAT | LINE_LOCK;

void lockBeats(EditorContext& ctx, int command, std::uint32_t s, std::uint32_t e) {
  NoteStore& notes = ctx.notes;
  if (command == CMD_UNLOCK && (s == 0 || e == 0)) return;
  const auto beats = collectLines(notes, s, e, LINE_BEAT, MAX_LOCK_BEATS);
  if (beats.size() > MAX_LOCK_BEATS) {
    ctx.prompter.error(" Too many BEATS ");
    return;
  }
  if (beats.empty()) return;
  beginGroup(notes);
  if (command == CMD_LOCK_BOTH_ENDS) {
    setBits(notes, beats.front(), LINE_LOCK);
    setBits(notes, beats.back(), LINE_LOCK);
    return;
  }
  for (std::uint32_t p : beats) {
    command == CMD_LOCK_ALL ? setBits(notes, p, LINE_LOCK) : clearBits(notes, p, LINE_LOCK);
  }
}

void unlockWhole(NoteStore& notes) {
  beginGroup(notes);
  for (std::uint32_t p = nextLine(notes, 0, LINE_LOCK); p < notes.positions;
       p = nextLine(notes, p + 1, LINE_LOCK)) {
    clearBits(notes, p, LINE_LOCK);
  }
}

void deleteBeats(NoteStore& notes, std::uint32_t s, std::uint32_t e) {
  beginGroup(notes);
  for (std::uint32_t p = nextLine(notes, s, LINE_BEAT); p <= e && p < notes.positions;
       p = nextLine(notes, p + 1, LINE_BEAT)) {
    if (!(notes.lineMap[p] & LINE_LOCK)) clearBits(notes, p, LINE_BEAT | LINE_BAR);
  }
}

void appendBeats(NoteStore& notes, int command, std::uint32_t s, std::uint32_t e) {
  std::uint32_t interval = static_cast<std::uint32_t>(std::max(0.0f, notes.beatInterval));
  if (interval == 0) {
    interval = static_cast<std::uint32_t>(std::max(0.0f, measureInterval(notes, s, e)));
  }
  if (interval < 1 || s >= e) return;
  if (command == CMD_APPEND_BEFORE) {
    const std::uint32_t first = nextLine(notes, s, LINE_BEAT);
    if (first >= e || first >= notes.positions) return;
    const std::uint32_t count = (first - s) / interval;
    beginGroup(notes);
    for (std::uint32_t k = 1; k <= count; ++k) {
      const std::uint32_t p = first - k * interval;
      if (p != 0) addBeat(notes, p);
    }
  } else {
    const std::uint32_t last = e > 0 ? previousLine(notes, e - 1, s, LINE_BEAT) : NO_LINE;
    if (last == NO_LINE) return;
    const std::uint32_t count = (e - last) / interval;
    beginGroup(notes);
    for (std::uint32_t k = 1; k <= count; ++k) addBeat(notes, last + k * interval);
  }
}

void autoFill(EditorContext& ctx, std::uint32_t s, std::uint32_t e) {
  NoteStore& notes = ctx.notes;
  const float interval = notes.beatInterval;
  const int whole = static_cast<int>(interval);
  const float tolerance = notes.autoFillTolerance;
  if (whole <= 1 || s >= e) return;
  const auto locks = collectLines(notes, s, e, LOCKED_BEAT, MAX_AUTOFILL_LOCKS);
  if (locks.size() > MAX_AUTOFILL_LOCKS || locks.size() < 2) return;
  for (std::size_t k = 0; k + 1 < locks.size(); ++k) {
    const std::uint32_t a = locks[k];
    const std::uint32_t b = locks[k + 1];
    const std::uint32_t gap = b - a;
    int parts = static_cast<int>(static_cast<float>(gap) / interval);
    if (static_cast<float>(gap % static_cast<std::uint32_t>(whole)) / interval >= 0.5f) ++parts;
    const float step = parts > 0 ? static_cast<float>(gap) / static_cast<float>(parts) : 0.0f;
    const float ratio = step / interval;
    if (parts == 0 || ratio < 1.0f - tolerance || ratio > 1.0f + tolerance) {
      ctx.prompter.error(
          " AUTOFILL\nThe GAP is too large. \n can not fill with this interval value.");
      return;
    }
    beginGroup(notes);
    for (std::uint32_t p = nextLine(notes, a + 1, LINE_BEAT); p < b;
         p = nextLine(notes, p + 1, LINE_BEAT)) {
      if (!(notes.lineMap[p] & LINE_LOCK)) clearBits(notes, p, LINE_BEAT | LINE_BAR);
    }
    beginGroup(notes);
    const std::uint32_t wholeStep = static_cast<std::uint32_t>(step);
    for (int j = 1; j < parts; ++j) addBeat(notes, a + static_cast<std::uint32_t>(j) * wholeStep);
  }
}

// 136 and 137: the one beat of the range goes to its top or bottom.
void moveSingleBeat(NoteStore& notes, int command, std::uint32_t s, std::uint32_t e) {
  if (s == 0 || e == 0) return;
  const std::uint32_t lo = std::min(s, e);
  const std::uint32_t hi = std::min(std::max(s, e), notes.positions - 1);
  if (hi <= lo + 1) return;
  std::uint32_t beat = NO_LINE;
  int beats = 0;
  for (std::uint32_t p = nextLine(notes, lo, LINE_VISIBLE); p <= hi && p < notes.positions;
       p = nextLine(notes, p + 1, LINE_VISIBLE)) {
    if (notes.lineMap[p] & LINE_DIVISION) return;
    beat = p;
    ++beats;
  }
  if (beats != 1) return;
  const std::uint32_t target = command == CMD_MOVE_TOP ? lo + 1 : hi - 1;
  if (notes.lineMap[target] != 0) return;
  moveLine(notes, beat, target);
}

// 138 .. 141: every beat and division line of the range moves by the step,
// as long as it stays inside the range and lands on an empty position.
void moveLines(EditorContext& ctx, int command, std::uint32_t s, std::uint32_t e) {
  NoteStore& notes = ctx.notes;
  if (s == 0 || e == 0) return;
  const int step = command == CMD_MOVE_UP_13     ? -13
                   : command == CMD_MOVE_DOWN_13 ? 13
                   : command == CMD_MOVE_UP_4    ? -4
                                                 : 4;
  const std::int64_t lo = std::min(s, e);
  const std::int64_t hi = std::min<std::int64_t>(std::max(s, e), notes.positions - 1);
  const auto moveOne = [&](std::int64_t p) {
    const std::int64_t target = p + step;
    if (target >= 0 && target < notes.positions && notes.lineMap[target] != 0) return false;
    if (target < lo + 1 || target > hi - 1) {
      ctx.prompter.error(" MOVE\nPlease, expand the scope of range.");
      return false;
    }
    return moveLine(notes, static_cast<std::uint32_t>(p), static_cast<std::uint32_t>(target));
  };
  if (step < 0) {
    for (std::int64_t p = lo; p <= hi; ++p) {
      if ((notes.lineMap[p] & LINE_VISIBLE) && !moveOne(p)) return;
    }
  } else {
    for (std::int64_t p = hi; p >= lo; --p) {
      if ((notes.lineMap[p] & LINE_VISIBLE) && !moveOne(p)) return;
    }
  }
}

}  // namespace

void applyBeat(EditorContext& ctx, int command, std::uint32_t s, std::uint32_t e) {
  NoteStore& notes = ctx.notes;
  if (!notes.ready()) return;
  switch (command) {
    case CMD_LOCK_BOTH_ENDS:
    case CMD_UNLOCK:
    case CMD_LOCK_ALL:
      lockBeats(ctx, command, s, e);
      break;
    case CMD_UNLOCK_WHOLE:
      unlockWhole(notes);
      break;
    case CMD_BEAT_DELETE:
      deleteBeats(notes, s, e);
      break;
    case CMD_APPEND_FREE:
      if (s != 0) {
        beginGroup(notes);
        addBeat(notes, s);
      }
      break;
    case CMD_APPEND_BEFORE:
    case CMD_APPEND_AFTER:
      appendBeats(notes, command, s, e);
      break;
    case CMD_AUTOFILL:
      autoFill(ctx, s, e);
      break;
    case CMD_MOVE_TOP:
    case CMD_MOVE_BOTTOM:
      moveSingleBeat(notes, command, s, e);
      break;
    case CMD_MOVE_UP_13:
    case CMD_MOVE_DOWN_13:
    case CMD_MOVE_UP_4:
    case CMD_MOVE_DOWN_4:
      moveLines(ctx, command, s, e);
      break;
    default:
      break;
  }
}

}  // namespace quavrix::editor
