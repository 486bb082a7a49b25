// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/model/hit_test.h"

#include <initializer_list>

#include "engine/engine.h"
#include "ui/model/control_code.h"
#include "ui/model/view.h"

namespace quavrix {

namespace {

// The first of the codes whose rectangle holds the point, or `otherwise`.
int firstOf(const View& view, ScreenPoint p, std::initializer_list<int> codes, int otherwise) {
  for (const int code : codes)
    if (view.rects[code].contains(p)) return code;
  return otherwise;
}

int beatPageHit(const View& view, ScreenPoint p) {
  const ControlRects& r = view.rects;
  if (p.y < r[FixButton].bottom) return r[FixButton].contains(p) ? FixButton : PanelBackground;
  if (r[AppendButton].contains(p))
    return r[AppendHelpButton].contains(p) ? AppendHelpButton : AppendButton;
  const int listed = firstOf(
      view, p,
      {FreeButton, BeforeButton, AfterButton, BeatDeleteButton, MoveUpLargeButton,
       MoveDownLargeButton, MoveUpButton, MoveDownButton, MoveUpSmallButton, MoveDownSmallButton,
       LockBothEndsButton, UnlockButton, LockAllButton, UnlockWholeButton},
      NoControl);
  if (listed != NoControl) return listed;
  if (r[AutoFillButton].contains(p))
    return r[AutoFillHelpButton].contains(p) ? AutoFillHelpButton : AutoFillButton;
  if (r[TapButton].contains(p)) return TapButton;
  if (r[StroboButton].contains(p)) return StroboButton;
  if (r[BeatExtendButton].contains(p))
    return r[ExtendHelpButton].contains(p) ? ExtendHelpButton : BeatExtendButton;
  return firstOf(view, p,
                 {ScrollStep1Button, ScrollStep2Button, ScrollStep4Button, ScrollFreeSlider},
                 PanelBackground);
}

int divisionPageHit(const View& view, ScreenPoint p) {
  const ControlRects& r = view.rects;
  if (r.box(Box::Divisor).contains(p)) {
    for (int code = DivisorButton2; code <= DivisorButton24; ++code)
      if (r[code].contains(p)) return code;
    return PanelBackground;
  }
  if (p.y < r[DivDeleteButton].bottom)
    return firstOf(view, p, {DivAppendButton, DivDeleteButton}, PanelBackground);
  return firstOf(view, p,
                 {DivExtendButton, NotesDiscardButton, NotesForwardButton, NotesNeighborButton,
                  AskEverytimeButton},
                 PanelBackground);
}

}  // namespace

int panelHitTest(const View& view, ScreenPoint p) {
  const Engine& engine = view.engine;
  if (engine.busy) return NoControl;
  const BeatEditorState& ed = engine.notes.editor;
  if (!ed.open) return PanelBackground;
  const ControlRects& r = view.rects;
  if (p.y < r[BarTab].bottom)
    return firstOf(view, p, {PanelCloseButton, BarTab, BeatTab, DivisionTab}, PanelBackground);
  if (p.y < r[PanelUndoButton].bottom && p.x < r[PanelRedoButton].right)
    return firstOf(view, p, {PanelUndoButton, PanelRedoButton}, PanelBackground);
  switch (ed.page) {
    case EditorPage::Bar:
      return firstOf(view, p,
                     {BarLineButton, BarDeleteButton, BarExtendButton, StartButton, EndButton,
                      ResetButton, SaveMidiButton, PanelSettingsButton},
                     PanelBackground);
    case EditorPage::Beat:
      if (ed.strobeShown) {
        return firstOf(view, p,
                       {StroboCoarseColumn, StroboFineColumn, TopLineUpButton, TopLineDownButton,
                        TopLineUpSmallButton, TopLineDownSmallButton, StroboStartButton,
                        StroboEndButton, StroboClearButton, StroboConvertButton},
                       PanelBackground);
      }
      return beatPageHit(view, p);
    case EditorPage::Division:
      return divisionPageHit(view, p);
  }
  return PanelBackground;
}

int hitTest(const View& view, ScreenPoint p) {
  const Engine& engine = view.engine;
  const ViewLayout& l = engine.layout;
  if (engine.busy) return NoControl;
  if (engine.notes.editor.open && l.beatEditorPanelArea.contains(p)) return panelHitTest(view, p);
  if (p.x < l.zoomColumn.right) {
    if (p.x < l.overviewCentreX) return OverviewLeft;
    if (p.x < l.overviewColumn.right) return OverviewRight;
    if (p.x <= l.zoomCentreX) return ZoomLeft;
    return ZoomRight;
  }
  if (p.y < l.topBar.bottom) {
    for (const std::uint16_t code : topBarHitOrder())
      if (view.rects[code].contains(p)) return code;
    return NoControl;
  }
  if (p.y >= l.marginStrip1.bottom) {
    for (const std::uint16_t code : bottomBarHitOrder())
      if (view.rects[code].contains(p)) return code;
    return NoControl;
  }
  if (p.x >= l.rollArea.left) return l.rollArea.contains(p) ? RollCode : NoControl;
  if (l.marginStrip3.contains(p)) return MarginStrip3Code;
  if (l.marginStrip2.contains(p)) return MarginStrip2Code;
  if (l.marginStrip1.contains(p)) return MarginStrip1Code;
  return NoControl;
}

}  // namespace quavrix
