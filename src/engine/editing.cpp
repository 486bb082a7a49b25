// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/editing.h"

#include <algorithm>

#include "engine/engine.h"
#include "engine/project.h"
#include "playback/playback.h"
#include "score/beat_grid.h"
#include "score/edit_history.h"
#include "score/note_edit.h"
#include "score/strobe.h"

namespace quavrix {

namespace {

bool onBeatPage(const Engine& engine) {
  const BeatEditorState& ed = engine.notes.editor;
  return ed.page == EditorPage::Beat;
}

}  // namespace

EditorContext editorContext(Engine& engine) {
  ViewState& v = engine.viewState;
  return EditorContext{engine.notes, engine.cellGrid, engine.strobe, *engine.prompter,
                       EditorTexts{v.tempoText, v.divisorText, v.beatsInBarText}};
}

int appendNoteAt(Engine& engine, int track, ScreenPoint press, ScreenPoint release) {
  if (!engine.notes.ready()) return 0;
  return appendNote(engine.notes, engine.cellGrid, *engine.prompter, track, engine.lastNote, press,
                    release);
}

int deleteNoteAt(Engine& engine, int track, ScreenPoint point) {
  if (!engine.notes.ready()) return 0;
  return deleteNoteAt(engine.notes, engine.cellGrid, track, engine.lastNote, point);
}

void undoNoteEdit(Engine& engine) {
  if (engine.notes.ready()) undoNote(engine.notes, engine.cellGrid);
}

void redoNoteEdit(Engine& engine) {
  if (engine.notes.ready()) redoNote(engine.notes, engine.cellGrid);
}

bool editorOpen(const Engine& engine) {
  return engine.notes.editor.open != 0;
}

void toggleEditor(Engine& engine) {
  EditorContext ctx = editorContext(engine);
  if (engine.notes.editor.open) {
    closeEditor(ctx);
  } else {
    openEditor(ctx);
  }
}

void showEditorPage(Engine& engine, EditorPage page) {
  EditorContext ctx = editorContext(engine);
  showPage(ctx, page);
}

void toggleEditorForMidiSave(Engine& engine) {
  BeatEditorState& ed = engine.notes.editor;
  ed.strobeShown = 0;
  ed.helpPage = 0;
  ed.tapMode = 0;
  const bool wasOpen = ed.open != 0;
  if (ed.page != EditorPage::Bar) ed.page = EditorPage::Bar;
  if (wasOpen) {
    EditorContext ctx = editorContext(engine);
    closeEditor(ctx);
  } else {
    ed.open = 1;
  }
}

void setSelection(Engine& engine, std::uint32_t start, std::uint32_t end) {
  if (end < start) std::swap(start, end);
  // A range that leaves the score is no selection at all.
  const std::uint32_t n = engine.notes.positions;
  if (end > n || start + 1 > n) start = end = 0;
  engine.viewState.selectionStart = start;
  engine.viewState.selectionEnd = end;
}

void clearSelection(Engine& engine) {
  engine.viewState.selectionStart = 0;
  engine.viewState.selectionEnd = 0;
}

void commitSelection(Engine& engine) {
  if (!engine.notes.ready() || !engine.notes.editor.open) return;
  EditorContext ctx = editorContext(engine);
  const ViewState& v = engine.viewState;
  selectRange(ctx, engine.notes.editor.page, v.selectionStart, v.selectionEnd);
}

bool editorCommand(Engine& engine, int code) {
  NoteStore& notes = engine.notes;
  if (!notes.ready() || !notes.editor.open) return false;
  BeatEditorState& ed = notes.editor;
  EditorContext ctx = editorContext(engine);
  const std::uint32_t s = engine.viewState.selectionStart;
  const std::uint32_t e = engine.viewState.selectionEnd;
  const std::uint32_t vs = engine.cellGrid.visibleStart;
  const std::uint32_t ve = engine.cellGrid.visibleEnd;

  if (code == CMD_UNDO || code == CMD_REDO) {
    if (ed.page == EditorPage::Bar) barCommand(ctx, code, 1, s, e);
    if (ed.page == EditorPage::Beat) beatCommand(ctx, code, 1, s, e, vs, ve);
    if (ed.page == EditorPage::Division) divisionCommand(ctx, code, 1, s, e);
    return true;
  }
  switch (ed.page) {
    case EditorPage::Bar:
      if (code == CMD_BAR_SAVE_MIDI) {
        saveMidi(engine);
        return true;
      }
      if (code < CMD_BAR_LINE || code > CMD_BAR_RESET) return false;
      barCommand(ctx, code, 1, s, e);
      ctx.texts.beatsInBar = beatsInBarText(beatsInBar(notes, s, e));
      return true;
    case EditorPage::Beat:
      if (ed.strobeShown) {
        if (code < STROBE_UP_LARGE || code > STROBE_CONVERT) return false;
        strobeCommand(engine.strobe, notes, engine.cellGrid, *engine.prompter, code);
        return true;
      }
      if (code >= CMD_APPEND_FREE && code <= CMD_APPEND_AFTER) {
        if (ed.helpPage != 0 && !helpPageAccepts(ed.helpPage, code)) return false;
        setAppendOption(notes, code);
        return true;
      }
      if (code < CMD_FIX || code > CMD_EXTEND_HELP || code == 123) return false;
      beatCommand(ctx, code, 1, s, e, vs, ve);
      return true;
    case EditorPage::Division:
      if (code < CMD_DIVISION_DELETE || code > CMD_ORPHAN_ASK) return false;
      if (code > CMD_DIVISOR_LAST && code < CMD_ORPHAN_DISCARD) return false;
      divisionCommand(ctx, code, 1, s, e);
      return true;
  }
  return false;
}

void strobeRateAt(Engine& engine, int code, float y) {
  if (!engine.notes.ready() || !engine.notes.editor.strobeShown || !onBeatPage(engine)) return;
  const ViewLayout& layout = engine.layout;
  strobeRate(engine.strobe, engine.notes, engine.cellGrid, *engine.prompter, code, y,
             layout.strobeZeroY, layout.strobeHalfHeight);
}

int tap(Engine& engine) {
  const std::int64_t frame = engine.playback.position.load();
  return tapBeat(engine.notes, engine.cellGrid, isPlaying(engine.playback),
                 frame > 0 ? static_cast<std::uint64_t>(frame) : 0);
}

}  // namespace quavrix
