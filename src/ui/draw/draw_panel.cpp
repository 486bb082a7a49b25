// SPDX-License-Identifier: GPL-3.0-or-later
// The beat-editor panel: the page shown, with its texts, the command in
// force, and the options that are off.

#include "engine/engine.h"
#include "score/beat_editor/beat_editor.h"
#include "ui/draw/draw_steps.h"
#include "ui/model/control_code.h"

namespace quavrix::draw {

namespace {

using namespace colour;

// The button that shows the Beat page's command in force.
int beatCommandButton(int command) {
  if (command >= FreeButton && command <= AfterButton) return AppendButton;
  return command;
}

void highlight(View& view, Canvas& canvas, int code) {
  if (code != 0) canvas.fill(rectOf(view, code), Lavender50);
}

void appendOptions(View& view, Canvas& canvas, const BeatEditorState& ed) {
  for (int option = FreeButton; option <= AfterButton; ++option) {
    if (ed.appendOption != option) canvas.fill(rectOf(view, option), Shade25);
  }
}

bool oneOf(int command, std::initializer_list<int> codes) {
  for (const int c : codes)
    if (command == c) return true;
  return false;
}

void beatPage(View& view, Canvas& canvas, const BeatEditorState& ed, const RectF& area) {
  const ViewState& v = view.engine.viewState;
  const int active = beatCommandButton(ed.beatCommand);
  const RectF bpm = toRectF(view.rects.box(Box::Bpm));
  switch (ed.helpPage) {
    case AppendHelpButton:
      canvas.picture(Picture::HelpAppend, area);
      if (active == AppendButton) highlight(view, canvas, active);
      appendOptions(view, canvas, ed);
      return;
    case AutoFillHelpButton:
      canvas.picture(Picture::HelpAutoFill, area);
      canvas.text(v.tempoText, bpm, TextFormat::Small, Red);
      if (oneOf(active, {LockBothEndsButton, UnlockButton, LockAllButton, AutoFillButton}))
        highlight(view, canvas, active);
      return;
    case ExtendHelpButton:
      canvas.picture(Picture::HelpExtend, area);
      if (oneOf(active, {LockBothEndsButton, UnlockButton, LockAllButton}))
        highlight(view, canvas, active);
      return;
    default:
      break;
  }
  canvas.picture(Picture::BeatPage, area);
  canvas.text(v.tempoText, bpm, TextFormat::Small, Red);
  if (oneOf(active, {LockBothEndsButton, UnlockButton, LockAllButton, BeatDeleteButton,
                     AppendButton, AutoFillButton, MoveUpLargeButton, MoveDownLargeButton,
                     MoveUpButton, MoveDownButton, MoveUpSmallButton, MoveDownSmallButton}))
    highlight(view, canvas, active);
  appendOptions(view, canvas, ed);
  if (ed.tapMode) highlight(view, canvas, TapButton);
  const int step = v.window.scrollStep;
  if (step == 0) {
    const RectF ramp = rectOf(view, ScrollFreeSlider);
    canvas.line(v.freeScrollX, ramp.bottom, v.freeScrollX, ramp.top, 5, Lime);
  } else {
    const int code = step == 1   ? ScrollStep1Button
                     : step == 2 ? ScrollStep2Button
                                 : ScrollStep4Button;
    const RectF button = rectOf(view, code);
    canvas.line(button.left, button.bottom, button.right, button.bottom, 3, Lime);
  }
}

void strobePage(View& view, Canvas& canvas, const RectF& area) {
  const StrobeState& s = view.engine.strobe;
  canvas.picture(Picture::StroboPage, area);
  canvas.text(s.tempoText, toRectF(view.rects.box(Box::StroboBpm)), TextFormat::Large, Lime);
  const int lit = s.mode == StrobeMode::Start         ? StroboStartButton
                  : s.mode == StrobeMode::EndMinusOne ? StroboEndButton
                                                      : StroboClearButton;
  highlight(view, canvas, lit);
}

void barPage(View& view, Canvas& canvas, const BeatEditorState& ed, const RectF& area) {
  canvas.picture(Picture::BarPage, area);
  if (ed.barCommand >= BarLineButton && ed.barCommand <= EndButton)
    highlight(view, canvas, ed.barCommand);
  canvas.text(view.engine.viewState.beatsInBarText, toRectF(view.rects.box(Box::BeatsInBar)),
              TextFormat::Small, Lime);
}

void divisionPage(View& view, Canvas& canvas, const BeatEditorState& ed, const RectF& area) {
  const NoteStore& notes = view.engine.notes;
  canvas.picture(Picture::DivisionPage, area);
  canvas.text(view.engine.viewState.divisorText, toRectF(view.rects.box(Box::DivisorDisplay)),
              TextFormat::Huge, Lime);
  if (ed.divisionCommand == DivDeleteButton || ed.divisionCommand == DivAppendButton)
    highlight(view, canvas, ed.divisionCommand);
  if (!notes.discard) canvas.fill(rectOf(view, NotesDiscardButton), Shade40);
  if (!notes.forward) canvas.fill(rectOf(view, NotesForwardButton), Shade40);
  if (!notes.neighbor) canvas.fill(rectOf(view, NotesNeighborButton), Shade40);
  if (!notes.ask) canvas.fill(rectOf(view, AskEverytimeButton), Shade40);
}

}  // namespace

void panel(View& view, Canvas& canvas) {
  Engine& engine = view.engine;
  const BeatEditorState& ed = engine.notes.editor;
  const RectF area = toRectF(engine.layout.beatEditorPanelArea);
  selection(view, canvas);
  if (view.input.panelHidden) {
    canvas.line(area.left, area.bottom, area.left, area.top, 3, Yellow);
    return;
  }
  switch (ed.page) {
    case EditorPage::Beat:
      if (ed.strobeShown) {
        strobePage(view, canvas, area);
      } else {
        beatPage(view, canvas, ed, area);
      }
      break;
    case EditorPage::Bar:
      barPage(view, canvas, ed, area);
      break;
    case EditorPage::Division:
      divisionPage(view, canvas, ed, area);
      break;
  }
}

}  // namespace quavrix::draw
