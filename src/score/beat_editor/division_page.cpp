// SPDX-License-Identifier: GPL-3.0-or-later
// The Division page of the beat editor: division lines between beats.

#include <algorithm>

#include "base/prompter.h"
#include "score/beat_editor/editor_pages.h"
#include "score/beat_grid.h"

namespace quavrix::editor {

namespace {

// Shortest division the editor writes, in positions (about 8.7 ms).
constexpr float MIN_DIVISION = 12.0f;

// The first beat in [s, e) and the last beat in (s, e]; false without two
// distinct beats in order.
bool beatBounds(const NoteStore& notes, std::uint32_t s, std::uint32_t e, std::uint32_t& first,
                std::uint32_t& last) {
  first = nextLine(notes, s, LINE_BEAT);
  last = previousLine(notes, e, s + 1, LINE_BEAT);
  return first < e && first < notes.positions && last != NO_LINE && last > first;
}

void divide(EditorContext& ctx, std::uint32_t from, std::uint32_t to, int divisor) {
  NoteStore& notes = ctx.notes;
  const auto beats = collectLines(notes, from, to + 1, LINE_BEAT, notes.positions);
  if (beats.size() < 2) return;
  beginGroup(notes);
  for (std::size_t k = 0; k + 1 < beats.size(); ++k) {
    const std::uint32_t c = beats[k];
    const std::uint32_t next = beats[k + 1];
    if (next < c) {
      ctx.prompter.error("APPEND DIVISIONS\n Bad idx,  begin or end.");
      return;
    }
    const float length = static_cast<float>(next - c) / static_cast<float>(divisor);
    if (length < MIN_DIVISION) {
      ctx.prompter.error("APPEND DIVISIONS\nToo FAST, Please slow down.");
      return;
    }
    for (int l = 1; l < divisor; ++l) {
      const std::uint32_t p = c + static_cast<std::uint32_t>(static_cast<float>(l) * length);
      if (notes.lineMap[p] & LINE_BEAT) {
        clearBits(notes, p, LINE_DIVISION);
      } else {
        setBits(notes, p, LINE_DIVISION);
      }
    }
  }
}

}  // namespace

void applyDivision(EditorContext& ctx, int command, std::uint32_t s, std::uint32_t e) {
  NoteStore& notes = ctx.notes;
  if (!notes.ready()) return;
  std::uint32_t first = 0;
  std::uint32_t last = 0;
  switch (command) {
    case CMD_DIVISION_DELETE:
      if (s >= e) return;
      // Without a beat at the start of the range nothing outside it may go.
      if (!beatBounds(notes, s, e, first, last)) {
        ctx.prompter.error("DELETE divisions\nAt least, 2 BEAT lines are needed.");
        return;
      }
      beginGroup(notes);
      for (std::uint32_t p = nextLine(notes, first, LINE_DIVISION); p < last;
           p = nextLine(notes, p + 1, LINE_DIVISION)) {
        clearBits(notes, p, LINE_DIVISION);
      }
      break;
    case CMD_DIVISION_APPEND:
      divide(ctx, s, e, notes.divisor);
      break;
    case CMD_DIVISION_EXTEND: {
      if (s >= e) return;
      if (!beatBounds(notes, s, e, first, last)) {
        ctx.prompter.error("EXTEND divisions\nAt least, 2 BEAT lines are needed.");
        return;
      }
      const std::uint32_t end = nextLine(notes, last + 1, LINE_DIVISION | LINE_LOCK);
      if (notes.divisor < 2 || notes.divisor > 24) {
        ctx.prompter.error("EXTEND divisions\n Divisor is unknown.");
        return;
      }
      divide(ctx, last, end, notes.divisor);
      break;
    }
    default:
      break;
  }
}

}  // namespace quavrix::editor
