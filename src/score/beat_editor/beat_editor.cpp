// SPDX-License-Identifier: GPL-3.0-or-later
#include "score/beat_editor/beat_editor.h"

#include <algorithm>

#include "base/prompter.h"
#include "score/beat_editor/editor_pages.h"
#include "score/beat_grid.h"
#include "score/note_edit.h"
#include "score/strobe.h"

namespace quavrix {

namespace editor {

void beginGroup(NoteStore& notes) {
  notes.gridHistory.groupStart = 1;
}

void setBits(NoteStore& notes, std::uint32_t position, std::uint8_t bits) {
  if (position >= notes.positions) return;
  const std::uint8_t byte = notes.lineMap[position];
  if ((byte | bits) != byte) setLine(notes, position, byte | bits, true);
}

void clearBits(NoteStore& notes, std::uint32_t position, std::uint8_t bits) {
  if (position >= notes.positions) return;
  const std::uint8_t byte = notes.lineMap[position];
  if (byte & bits) setLine(notes, position, byte & static_cast<std::uint8_t>(~bits), true);
}

void addBeat(NoteStore& notes, std::uint32_t position) {
  if (position >= notes.positions) return;
  const std::uint8_t byte = notes.lineMap[position];
  const std::uint8_t beat = (byte & static_cast<std::uint8_t>(~LINE_DIVISION)) | LINE_BEAT;
  if (beat != byte) setLine(notes, position, beat, true);
}

std::vector<std::uint32_t> collectLines(const NoteStore& notes, std::uint32_t from,
                                        std::uint32_t to, std::uint8_t bits, std::size_t limit) {
  std::vector<std::uint32_t> found;
  const std::uint32_t stop = std::min(to, notes.positions);
  for (std::uint32_t p = nextLine(notes, from, bits); p < stop; p = nextLine(notes, p + 1, bits)) {
    if ((notes.lineMap[p] & bits) != bits) continue;
    found.push_back(p);
    if (found.size() > limit) break;
  }
  return found;
}

void refreshAfterEdit(EditorContext& ctx) {
  rebuildLineIndex(ctx.notes);
  rebuildColumns(ctx.grid, ctx.notes);
  rebuildCells(ctx.grid, ctx.notes);
}

}  // namespace editor

namespace {

bool isHelpCommand(int command) {
  return command == CMD_APPEND_HELP || command == CMD_AUTOFILL_HELP || command == CMD_EXTEND_HELP;
}

void showBeatTexts(EditorContext& ctx) {
  editor::refreshAfterEdit(ctx);
  ctx.texts.tempo = intervalText(ctx.notes);
}

}  // namespace

bool helpPageAccepts(int helpPage, int command) {
  switch (helpPage) {
    case CMD_APPEND_HELP:
      return command == CMD_NONE || command == CMD_UNDO || command == CMD_REDO ||
             (command >= CMD_APPEND && command <= CMD_APPEND_AFTER && command != CMD_APPEND_HELP);
    case CMD_AUTOFILL_HELP:
      return command == CMD_NONE || command == CMD_UNDO || command == CMD_REDO ||
             command == CMD_FIX || (command >= CMD_LOCK_BOTH_ENDS && command <= CMD_UNLOCK_WHOLE) ||
             command == CMD_AUTOFILL;
    case CMD_EXTEND_HELP:
      return command == CMD_NONE ||
             (command >= CMD_LOCK_BOTH_ENDS && command <= CMD_UNLOCK_WHOLE) ||
             command == CMD_EXTEND;
    default:
      return true;
  }
}

void openEditor(EditorContext& ctx) {
  BeatEditorState& ed = ctx.notes.editor;
  ed.open = 1;
  ed.page = EditorPage::Beat;
  ed.beatCommand = CMD_NONE;
  ed.helpPage = 0;
  ed.strobeShown = 0;
  ed.tapMode = 0;
}

void showPage(EditorContext& ctx, EditorPage page) {
  BeatEditorState& ed = ctx.notes.editor;
  ed.page = page;
  ed.helpPage = 0;
  ed.strobeShown = 0;
  ed.tapMode = 0;
}

void closeEditor(EditorContext& ctx) {
  NoteStore& notes = ctx.notes;
  BeatEditorState& ed = notes.editor;
  if (ed.page == EditorPage::Division) {
    if (notes.gridChanged && checkOrphans(notes, ctx.prompter) != 0) {
      buildNoteOffs(notes);
      rebuildCells(ctx.grid, notes);
    }
    notes.gridChanged = 0;
  }
  ed.open = 0;
  ed.helpPage = 0;
  ed.strobeShown = 0;
  ed.tapMode = 0;
}

void barCommand(EditorContext& ctx, int command, int pressed, std::uint32_t s, std::uint32_t e) {
  NoteStore& notes = ctx.notes;
  if (pressed) {
    switch (command) {
      case CMD_UNDO:
        undoGrid(notes);
        editor::refreshAfterEdit(ctx);
        return;
      case CMD_REDO:
        redoGrid(notes);
        editor::refreshAfterEdit(ctx);
        return;
      case CMD_BAR_SAVE_MIDI:  // the export lives above the score: the engine runs it
        return;
      default:
        notes.editor.barCommand = static_cast<std::uint16_t>(command);
        break;
    }
  }
  if (e == 0) return;
  editor::applyBar(ctx, notes.editor.barCommand, s, e);
  editor::refreshAfterEdit(ctx);
}

void beatCommand(EditorContext& ctx, int command, int pressed, std::uint32_t s, std::uint32_t e,
                 std::uint32_t vs, std::uint32_t ve) {
  NoteStore& notes = ctx.notes;
  BeatEditorState& ed = notes.editor;
  if (ed.helpPage != 0) {
    if (pressed && command == ed.helpPage) {
      ed.helpPage = 0;
      return;
    }
    if (!helpPageAccepts(ed.helpPage, command)) return;
  } else if (pressed && isHelpCommand(command)) {
    ed.helpPage = static_cast<std::uint16_t>(command);
    return;
  }

  if (pressed) {
    switch (command) {
      case CMD_UNDO:
        undoGrid(notes);
        showBeatTexts(ctx);
        return;
      case CMD_REDO:
        redoGrid(notes);
        showBeatTexts(ctx);
        return;
      case CMD_FIX:
        strobeTakeInterval(ctx.strobe, notes.beatInterval);
        if (static_cast<float>(static_cast<int>(notes.beatInterval)) > MIN_INTERVAL) {
          notes.intervalFixed = notes.intervalFixed ? 0 : 1;
        }
        ctx.texts.tempo = intervalText(notes);
        return;
      case CMD_EXTEND:
        editor::extendBeats(ctx, vs, ve);
        showBeatTexts(ctx);
        return;
      case CMD_TAP:
        ed.tapMode = ed.tapMode ? 0 : 1;
        return;
      case CMD_STROBO:
        ed.strobeShown = 1;
        ed.tapMode = 0;
        return;
      case CMD_APPEND:
        if (ed.appendOption == 0) return;
        command = ed.appendOption;
        break;
      default:
        break;
    }
    ed.beatCommand = static_cast<std::uint16_t>(command);
  }
  editor::applyBeat(ctx, ed.beatCommand, s, e);
  showBeatTexts(ctx);
}

void divisionCommand(EditorContext& ctx, int command, int pressed, std::uint32_t s,
                     std::uint32_t e) {
  NoteStore& notes = ctx.notes;
  if (pressed) {
    if (command == CMD_UNDO || command == CMD_REDO) {
      command == CMD_UNDO ? undoGrid(notes) : redoGrid(notes);
      editor::refreshAfterEdit(ctx);
      return;
    }
    if (command >= CMD_DIVISOR_FIRST && command <= CMD_DIVISOR_LAST) {
      setDivisor(ctx, command);
      return;
    }
    if (command >= CMD_ORPHAN_DISCARD && command <= CMD_ORPHAN_ASK) {
      setOrphanPolicy(notes, command);
      return;
    }
    notes.editor.divisionCommand = static_cast<std::uint16_t>(command);
  }
  if (e == 0 || e < s) return;
  editor::applyDivision(ctx, notes.editor.divisionCommand, s, e);
  editor::refreshAfterEdit(ctx);
}

void selectRange(EditorContext& ctx, EditorPage page, std::uint32_t s, std::uint32_t e) {
  NoteStore& notes = ctx.notes;
  switch (page) {
    case EditorPage::Bar:
      barCommand(ctx, notes.editor.barCommand, 0, s, e);
      ctx.texts.beatsInBar = beatsInBarText(beatsInBar(notes, s, e));
      break;
    case EditorPage::Beat:
      if (!notes.intervalFixed) notes.beatInterval = measureInterval(notes, s, e);
      beatCommand(ctx, notes.editor.beatCommand, 0, s, e, ctx.grid.visibleStart,
                  ctx.grid.visibleEnd);
      break;
    case EditorPage::Division:
      divisionCommand(ctx, notes.editor.divisionCommand, 0, s, e);
      break;
  }
  rebuildColumns(ctx.grid, notes);
  rebuildCells(ctx.grid, notes);
  ctx.texts.tempo = intervalText(notes);
}

void setDivisor(EditorContext& ctx, int command) {
  static constexpr std::uint16_t DIVISORS[] = {2, 3, 4, 5, 6, 8, 9, 12, 16, 24};
  if (command < CMD_DIVISOR_FIRST || command > CMD_DIVISOR_LAST) return;
  ctx.notes.divisor = DIVISORS[command - CMD_DIVISOR_FIRST];
  ctx.texts.divisor = std::to_string(ctx.notes.divisor);
}

void setAppendOption(NoteStore& notes, int command) {
  if (command >= CMD_APPEND_FREE && command <= CMD_APPEND_AFTER) {
    notes.editor.appendOption = static_cast<std::uint16_t>(command);
  }
}

}  // namespace quavrix
