// SPDX-License-Identifier: GPL-3.0-or-later
// The Bar page of the beat editor: bar lines and the START and END markers.

#include <algorithm>

#include "base/prompter.h"
#include "score/beat_editor/editor_pages.h"
#include "score/beat_grid.h"

namespace quavrix::editor {

namespace {

// First bar line in s .. e (both included), or NO_LINE.
std::uint32_t firstBar(const NoteStore& notes, std::uint32_t s, std::uint32_t e) {
  const std::uint32_t p = nextLine(notes, s, LINE_BAR);
  return p <= e && p < notes.positions ? p : NO_LINE;
}

void markBars(NoteStore& notes, std::uint32_t s, std::uint32_t e) {
  beginGroup(notes);
  const std::uint32_t first = nextLine(notes, s, LINE_BEAT);
  if (first <= e && first < notes.positions) setBits(notes, first, LINE_BAR);
  const std::uint32_t last = previousLine(notes, e, s, LINE_BEAT);
  if (last != NO_LINE) setBits(notes, last, LINE_BAR);
}

void extendBars(EditorContext& ctx, std::uint32_t s, std::uint32_t e) {
  NoteStore& notes = ctx.notes;
  const int perBar = beatsInBar(notes, s, e);
  if (perBar < 2) {
    ctx.prompter.error("EXTEND\n ERROR : BEATS in BAR is Unknown or 1.");
    return;
  }
  const std::uint32_t lastBar = previousLine(notes, e, s, LINE_BAR);
  const std::uint32_t from = lastBar == NO_LINE ? 1 : lastBar + 1;
  beginGroup(notes);
  int counted = 0;
  for (std::uint32_t p = nextLine(notes, from, LINE_BEAT); p < notes.positions;
       p = nextLine(notes, p + 1, LINE_BEAT)) {
    if (++counted == perBar) {
      setBits(notes, p, LINE_BAR);
      counted = 0;
    }
  }
}

// Moves a marker bit to the first bar line of the range.
void placeMarker(EditorContext& ctx, std::uint32_t s, std::uint32_t e, std::uint8_t bit,
                 std::uint32_t& marker, const char* missing) {
  NoteStore& notes = ctx.notes;
  const std::uint32_t bar = firstBar(notes, s, e);
  if (bar == NO_LINE) {
    ctx.prompter.error(missing);
    return;
  }
  beginGroup(notes);
  if (marker != 0) clearBits(notes, marker, bit);
  setBits(notes, bar, bit);
  marker = bar;
}

}  // namespace

void applyBar(EditorContext& ctx, int command, std::uint32_t s, std::uint32_t e) {
  NoteStore& notes = ctx.notes;
  switch (command) {
    case CMD_BAR_LINE:
      markBars(notes, s, e);
      ctx.texts.beatsInBar = beatsInBarText(beatsInBar(notes, s, e));
      break;
    case CMD_BAR_DELETE:
      beginGroup(notes);
      for (std::uint32_t p = nextLine(notes, s, LINE_BEAT); p <= e && p < notes.positions;
           p = nextLine(notes, p + 1, LINE_BEAT)) {
        clearBits(notes, p, LINE_BAR);
      }
      break;
    case CMD_BAR_EXTEND:
      extendBars(ctx, s, e);
      notes.editor.barCommand = CMD_NONE;
      break;
    case CMD_BAR_START:
      if (notes.endMarker != 0 && notes.endMarker < e) return;
      placeMarker(ctx, s, e, LINE_START, notes.startMarker,
                  "BAR START\n Err : BAR Line が見つかりませんでした。");
      break;
    case CMD_BAR_END:
      if (notes.startMarker != 0 && notes.startMarker > s) return;
      placeMarker(ctx, s, e, LINE_END, notes.endMarker,
                  "BAR END\n Err : BAR Line が見つかりませんでした。");
      break;
    case CMD_BAR_RESET:
      beginGroup(notes);
      if (notes.startMarker != 0) clearBits(notes, notes.startMarker, LINE_START);
      if (notes.endMarker != 0) clearBits(notes, notes.endMarker, LINE_END);
      // Forgotten as well: a remembered marker without its bit would still
      // bound the export and block the next Start or End.
      notes.startMarker = 0;
      notes.endMarker = 0;
      break;
    default:
      break;
  }
}

}  // namespace quavrix::editor
