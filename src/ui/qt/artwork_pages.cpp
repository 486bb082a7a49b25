// SPDX-License-Identifier: GPL-3.0-or-later
// The beat editor's pages: Bar, Beat, Division, the Stroboscope and the
// three help pages that stand in for the Beat page.

#include <QString>
#include <algorithm>
#include <initializer_list>

#include "ui/model/control_code.h"
#include "ui/qt/artwork_kit.h"
#include "ui/qt/artwork_pictures.h"

namespace quavrix::art {

namespace {

constexpr int DIVISORS[] = {2, 3, 4, 5, 6, 8, 9, 12, 16, 24};

// The Stroboscope's rate bars meet their centre line here (view y), and
// reach this far above and below it.
constexpr double RATE_CENTRE_Y = 525.5;
constexpr double RATE_HALF_HEIGHT = 241.5;

enum class Tab { Bar, Beat, Division };

// The face of a button left of the HELP button nested in it.
QRectF leftOfHelp(Sheet& s, const QRectF& face, int help) {
  const QRectF helpBox = s.at(rectOf(help));
  return {face.left(), face.top(), helpBox.left() - face.left(), face.height()};
}

void plusCaption(Sheet& s, const QRectF& face, const QString& text, double px) {
  symbolCaption(
      s, face, [&](const QRectF& box) { plusSign(s.painter(), box, ink::TEXT); },
      std::min(px * 0.9, face.height() * 0.5), text, px);
}

void minusCaption(Sheet& s, const QRectF& face, const QString& text, double px) {
  symbolCaption(
      s, face, [&](const QRectF& box) { minusSign(s.painter(), box, ink::TEXT); },
      std::min(px * 0.9, face.height() * 0.5), text, px);
}

void lockCaption(Sheet& s, const QRectF& face, bool closed, const QString& text) {
  symbolCaption(
      s, face,
      [&](const QRectF& box) {
        padlock(s.painter(), box, closed, closed ? ink::AMBER : ink::SOFT_TEXT);
      },
      face.height() * 0.52, text, 15);
}

// Start and End carry the colour of the marker line they set.
void markerCaption(Sheet& s, const QRectF& face, const QString& text, const QColor& colour) {
  QPainter& p = s.painter();
  const double x = face.left() + 10;
  p.save();
  p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(x, face.top() + 7), QPointF(x, face.bottom() - 7));
  p.restore();
  s.caption(face.adjusted(14, 0, 0, 0), text, 16);
}

// A rate bar of the Stroboscope: faster above the centre line, slower below.
void rateBar(Sheet& s, int code, const QString& label) {
  QPainter& p = s.painter();
  const QRectF face = s.button(code, Look::Track);
  const double zero = s.y(RATE_CENTRE_Y);
  const QRectF inner = face.adjusted(3, 3, -3, -3);
  QLinearGradient faster(0, zero, 0, inner.top());
  faster.setColorAt(0, QColor(74, 148, 255, 0));
  faster.setColorAt(1, QColor(74, 148, 255, 90));
  p.fillRect(QRectF(inner.left(), inner.top(), inner.width(), zero - inner.top()), faster);
  QLinearGradient slower(0, zero, 0, inner.bottom());
  slower.setColorAt(0, QColor(232, 64, 58, 0));
  slower.setColorAt(1, QColor(232, 64, 58, 90));
  p.fillRect(QRectF(inner.left(), zero, inner.width(), inner.bottom() - zero), slower);
  p.save();
  for (int k = 1; k < 8; ++k) {
    p.setPen(QPen(QColor(255, 255, 255, 40 + 14 * k), 1.0));
    const double length = inner.width() * (k % 2 == 0 ? 0.3 : 0.18);
    for (const double sign : {-1.0, 1.0}) {
      const double y = s.y(RATE_CENTRE_Y + sign * RATE_HALF_HEIGHT * k / 8.0);
      p.drawLine(QPointF(inner.left(), y), QPointF(inner.left() + length, y));
      p.drawLine(QPointF(inner.right() - length, y), QPointF(inner.right(), y));
    }
  }
  p.setPen(QPen(ink::LIME, 2.0));
  p.drawLine(QPointF(inner.left(), zero), QPointF(inner.right(), zero));
  p.restore();
  s.caption(QRectF(face.left(), face.top() + 3, face.width(), 22), label, 14);
}

// Every control the pages can show.
void control(Sheet& s, int code, bool helpShown) {
  QPainter& p = s.painter();
  const Look helpLook = helpShown ? Look::HelpShown : Look::Help;
  switch (code) {
    case PanelUndoButton:
      undoRedo(s, s.button(code), false);
      break;
    case PanelRedoButton:
      undoRedo(s, s.button(code), true);
      break;
    // Bar page.
    case BarLineButton:
      plusCaption(s, s.button(code), QStringLiteral("Bar line"), 19);
      break;
    case BarDeleteButton:
      minusCaption(s, s.button(code), QStringLiteral("Delete"), 19);
      break;
    case BarExtendButton:
      s.caption(s.button(code), QStringLiteral("Extend"), 20);
      break;
    case StartButton:
      markerCaption(s, s.button(code), QStringLiteral("Start"), ink::ORANGE);
      break;
    case EndButton:
      markerCaption(s, s.button(code), QStringLiteral("End"), ink::LIME);
      break;
    case ResetButton:
      s.caption(s.button(code), QStringLiteral("Reset"), 16);
      break;
    case SaveMidiButton:
      s.caption(s.button(code), QStringLiteral("SAVE to\nMIDI FILE"), 17);
      break;
    case PanelSettingsButton:
      gear(p, middle(s.button(code), 0.74), ink::SYMBOL);
      break;
    // Beat page.
    case FixButton: {
      const QRectF face = s.button(code);
      symbolCaption(
          s, face, [&](const QRectF& box) { tick(p, box, ink::LIME); }, face.height() * 0.5,
          QStringLiteral("Fix"), 17);
      break;
    }
    case AppendButton:
      plusCaption(s, leftOfHelp(s, s.button(code), AppendHelpButton), QStringLiteral("Append"), 19);
      break;
    case AppendHelpButton:
    case AutoFillHelpButton:
    case ExtendHelpButton:
      s.caption(s.button(code, helpLook), QStringLiteral("HELP"), 12);
      break;
    case FreeButton:
      s.caption(s.button(code), QStringLiteral("Free"), 17);
      break;
    case BeforeButton:
      s.caption(s.button(code), QStringLiteral("Before"), 16);
      break;
    case AfterButton:
      s.caption(s.button(code), QStringLiteral("After"), 16);
      break;
    case BeatDeleteButton:
      minusCaption(s, s.button(code), QStringLiteral("Delete"), 19);
      break;
    case MoveUpLargeButton:
      triangle(p, middle(s.button(code), 0.72), Towards::Up, ink::SYMBOL);
      break;
    case MoveDownLargeButton:
      triangle(p, middle(s.button(code), 0.72), Towards::Down, ink::SYMBOL);
      break;
    case MoveUpButton:
      triangle(p, middle(s.button(code), 0.52), Towards::Up, ink::SYMBOL);
      break;
    case MoveDownButton:
      triangle(p, middle(s.button(code), 0.52), Towards::Down, ink::SYMBOL);
      break;
    case MoveUpSmallButton:
      triangle(p, middle(s.button(code), 0.32), Towards::Up, ink::SYMBOL);
      break;
    case MoveDownSmallButton:
      triangle(p, middle(s.button(code), 0.32), Towards::Down, ink::SYMBOL);
      break;
    case AutoFillButton:
      s.caption(leftOfHelp(s, s.button(code), AutoFillHelpButton), QStringLiteral("AutoFill"), 18);
      break;
    case BeatExtendButton:
      s.caption(leftOfHelp(s, s.button(code), ExtendHelpButton),
                QStringLiteral("Extend until next\nlocked beat"), 16);
      break;
    case LockBothEndsButton:
      lockCaption(s, s.button(code), true, QStringLiteral("Lock BOTH ENDS"));
      break;
    case LockAllButton:
      lockCaption(s, s.button(code), true, QStringLiteral("Lock ALL"));
      break;
    case UnlockButton:
      lockCaption(s, s.button(code), false, QStringLiteral("Unlock"));
      break;
    case UnlockWholeButton:
      lockCaption(s, s.button(code), false, QStringLiteral("Unlock Whole"));
      break;
    case TapButton:
      plusCaption(s, s.button(code), QStringLiteral("Tap"), 22);
      break;
    case StroboButton: {
      // A train of evenly spaced marks, as the Stroboscope lays them.
      const QRectF face = s.button(code);
      p.save();
      p.setPen(QPen(ink::LIME, 3, Qt::SolidLine, Qt::RoundCap));
      const double x = face.left() + face.width() * 0.18;
      for (int i = 0; i < 5; ++i) {
        const double y = face.top() + face.height() * (0.2 + 0.15 * i);
        p.drawLine(QPointF(x - 9, y), QPointF(x + 9, y));
      }
      p.restore();
      s.caption(face.adjusted(face.width() * 0.3, 0, 0, 0), QStringLiteral("Strobo"), 24);
      break;
    }
    case ScrollStep1Button:
      s.caption(s.button(code), QStringLiteral("1"), 19);
      break;
    case ScrollStep2Button:
      s.caption(s.button(code), QStringLiteral("2"), 19);
      break;
    case ScrollStep4Button:
      s.caption(s.button(code), QStringLiteral("4"), 19);
      break;
    case ScrollFreeSlider: {
      const QRectF face = s.button(code, Look::Track);
      ramp(p, face, 0.08, 0.8, QColor(178, 184, 196));
      s.caption(QRectF(face.left() + 2, face.top() + 2, face.width() * 0.45, face.height() * 0.5),
                QStringLiteral("Free"), 15);
      break;
    }
    // Division page.
    case DivAppendButton:
      plusCaption(s, s.button(code), QStringLiteral("Append"), 19);
      break;
    case DivDeleteButton:
      minusCaption(s, s.button(code), QStringLiteral("Delete"), 19);
      break;
    case DivExtendButton:
      s.caption(s.button(code), QStringLiteral("Extend until next\nlocked beat"), 15);
      break;
    case NotesDiscardButton:
      s.caption(s.button(code), QStringLiteral("Discard"), 14);
      break;
    case NotesForwardButton:
      s.caption(s.button(code), QStringLiteral("Move to FORWARD"), 14);
      break;
    case NotesNeighborButton:
      s.caption(s.button(code), QStringLiteral("Move to Neighboring Lines"), 14);
      break;
    case AskEverytimeButton:
      s.caption(s.button(code), QStringLiteral("Ask\neverytime"), 15);
      break;
    // Stroboscope page.
    case StroboCoarseColumn:
      rateBar(s, code, QStringLiteral("x20"));
      break;
    case StroboFineColumn:
      rateBar(s, code, QStringLiteral("x 1"));
      break;
    case TopLineUpButton:
      triangle(p, middle(s.button(code), 0.66), Towards::Up, ink::SYMBOL);
      break;
    case TopLineDownButton:
      triangle(p, middle(s.button(code), 0.66), Towards::Down, ink::SYMBOL);
      break;
    case TopLineUpSmallButton:
      triangle(p, middle(s.button(code), 0.38), Towards::Up, ink::SYMBOL);
      break;
    case TopLineDownSmallButton:
      triangle(p, middle(s.button(code), 0.38), Towards::Down, ink::SYMBOL);
      break;
    case StroboStartButton:
      s.caption(s.button(code), QStringLiteral("Start"), 18);
      break;
    case StroboEndButton:
      s.caption(s.button(code), QStringLiteral("End -1"), 18);
      break;
    case StroboClearButton:
      s.caption(s.button(code), QStringLiteral("Clear"), 18);
      break;
    case StroboConvertButton:
      s.caption(s.button(code), QStringLiteral("Convert"), 24);
      break;
    default:
      if (code >= DivisorButton2 && code <= DivisorButton24) {
        s.caption(s.button(code), QString::number(DIVISORS[code - DivisorButton2]), 20);
      }
      break;
  }
}

void controls(Sheet& s, std::initializer_list<int> codes, int shownHelp = 0) {
  for (const int code : codes) control(s, code, code == shownHelp);
}

void controlsOf(Sheet& s, Place place) {
  for (const ControlSpec& c : controlSpecs()) {
    if (c.place == place) control(s, c.code, false);
  }
}

void tabs(Sheet& s, Tab shown) {
  QPainter& p = s.painter();
  const struct {
    int code;
    Tab tab;
    const char* name;
  } TABS[] = {{BarTab, Tab::Bar, "Bar"},
              {BeatTab, Tab::Beat, "Beat"},
              {DivisionTab, Tab::Division, "Division"}};
  const double closeRight = s.at(rectOf(PanelCloseButton)).right();
  for (const auto& t : TABS) {
    const bool on = t.tab == shown;
    QRectF face = s.button(t.code, on ? Look::TabOn : Look::TabOff);
    if (on) {
      p.fillRect(QRectF(face.left() + 10, face.bottom() - 5, face.width() - 20, 3), ink::ORANGE);
    }
    if (t.code == BarTab) face.setLeft(closeRight + 1);
    s.caption(face.adjusted(0, 0, 0, -4), QString::fromLatin1(t.name), on ? 22 : 19,
              on ? ink::TEXT : ink::SOFT_TEXT);
  }
  cross(p, middle(s.button(PanelCloseButton, Look::Well), 0.56), ink::RED);
}

void title(Sheet& s, const QRectF& area, const QString& text) {
  s.leftText(area, text, Sheet::fit(text, area, 24, true), ink::HEADING, true);
}

void label(Sheet& s, const QRectF& area, const QString& text, double px) {
  s.caption(area, text, px, ink::SOFT_TEXT, true);
}

void barPage(Sheet& s) {
  controlsOf(s, Place::BarPage);
  const ScreenRect box = rectOf(Box::BeatsInBar);
  s.well(Box::BeatsInBar);
  s.leftText(s.at(box.right + 8, box.top, 800, box.bottom), QStringLiteral("BEATS in BAR"), 15,
             ink::SOFT_TEXT, true);
  s.heading(s.at(388, 543, 568, 563), QStringLiteral("Markers"), 13);
  title(s, s.at(560, 302, 792, 340), QStringLiteral("Bar lines"));
  s.richText(
      s.at(560, 352, 792, 530),
      QStringLiteral("<p>Choose a command, then drag over the recording: every new selection "
                     "applies it again.</p>"
                     "<p><i>Extend</i> carries the bar length found in the selection on to the "
                     "end.</p>"
                     "<p><i>Start</i> and <i>End</i> mark the first and last bar of the MIDI "
                     "file.</p>"),
      14);
}

void beatPage(Sheet& s) {
  controlsOf(s, Place::BeatPage);
  const ScreenRect bpm = rectOf(Box::Bpm);
  s.well(Box::Bpm);
  label(s, s.at(bpm.right + 2, bpm.top, 802, bpm.bottom), QStringLiteral("BPM"), 15);
  label(s, s.at(342, 350, 384, 414), QStringLiteral("Op."), 13);
  label(s, s.at(406, 487, 440, 572), QStringLiteral("Move"), 11);
  s.leftText(s.at(346, 733, 470, 772), QStringLiteral("Scroll"), 16, ink::SOFT_TEXT, true);
}

void divisionPage(Sheet& s) {
  QPainter& p = s.painter();
  title(s, s.at(452, 234, 792, 276), QStringLiteral("Division lines"));
  // The Divisor frame around its ten buttons, with the display in the
  // middle left for the view to write the divisor into.
  const ScreenRect frame = rectOf(Box::Divisor);
  const QRectF outline = s.at(frame.left - 5, frame.top - 6, frame.right + 5, frame.bottom + 5);
  p.save();
  p.setPen(QPen(QColor(104, 114, 134), 1.2));
  p.setBrush(QColor(34, 37, 45));
  p.drawRoundedRect(outline, 8, 8);
  p.restore();
  const ScreenRect display = rectOf(Box::DivisorDisplay);
  const QRectF name = s.at(display.left + 8, frame.top - 14, display.right - 8, frame.top + 1);
  p.fillRect(name, QColor(34, 37, 45));
  s.caption(name, QStringLiteral("Divisor"), 13, ink::HEADING);
  controlsOf(s, Place::DivisionPage);
  s.well(Box::DivisorDisplay);
  s.richText(
      s.at(342, 552, 792, 652),
      QStringLiteral("<p><i>Append</i> splits every beat of the selection into <i>Divisor</i> "
                     "equal parts; <i>Delete</i> takes the division lines out again. "
                     "<i>Extend</i> divides from the last beat of the selection on, up to the "
                     "next locked beat or division line.</p>"),
      14);
  s.heading(s.at(438, 660, 777, 682), QStringLiteral("Notes left without a line"), 13);
}

void stroboPage(Sheet& s) {
  title(s, s.at(452, 234, 792, 276), QStringLiteral("Stroboscope"));
  controlsOf(s, Place::StroboPage);
  const double zero = s.y(RATE_CENTRE_Y);
  label(s, QRectF(s.at(324, 0, 339, 1).left(), zero - 9, s.at(324, 0, 339, 1).width(), 18),
        QStringLiteral("0"), 12);
  // Which way the bars turn the tempo.
  QPainter& p = s.painter();
  const QRectF up = s.at(442, 455, 494, 490);
  const QRectF down = s.at(442, 561, 494, 596);
  triangle(p, middle(rows(up, 0.0, 0.45), 0.7), Towards::Up, ink::BLUE);
  label(s, rows(up, 0.45, 1.0), QStringLiteral("faster"), 12);
  label(s, rows(down, 0.0, 0.55), QStringLiteral("slower"), 12);
  triangle(p, middle(rows(down, 0.55, 1.0), 0.7), Towards::Down, ink::RED);
  s.heading(s.at(649, 283, 783, 303), QStringLiteral("TOP line adj."), 12);
  const ScreenRect bpm = rectOf(Box::StroboBpm);
  s.well(Box::StroboBpm);
  label(s, s.at(bpm.right + 2, bpm.top, 647, bpm.bottom), QStringLiteral("BPM"), 15);
  s.richText(
      s.at(452, 614, 792, 770),
      QStringLiteral("<p><i>Start</i> lays a train of beats from the first beat in view; "
                     "<i>End -1</i> lays one fewer. Drag on <i>x20</i> (coarse) or <i>x 1</i> "
                     "(fine): above the centre line the train speeds up, below it slows down. "
                     "<i>TOP line adj.</i> nudges the starting beat.</p>"
                     "<p><i>Convert</i> writes the train as beat lines; <i>Clear</i> switches it "
                     "off.</p>"),
      14);
}

void helpTitle(Sheet& s, const QRectF& area, const QString& text) {
  QPainter& p = s.painter();
  const double d = std::min(area.height() * 0.8, 30.0);
  const QRectF badge(area.left(), area.center().y() - d / 2, d, d);
  p.save();
  p.setPen(QPen(QColor(170, 226, 240), 1.2));
  p.setBrush(QColor(40, 96, 112));
  p.drawEllipse(badge);
  p.restore();
  s.caption(badge, QStringLiteral("?"), d * 0.7);
  title(s, area.adjusted(d + 10, 0, 0, 0), text);
}

void helpAppend(Sheet& s) {
  controls(s, {AppendButton, AppendHelpButton, FreeButton, BeforeButton, AfterButton},
           AppendHelpButton);
  label(s, s.at(342, 350, 384, 414), QStringLiteral("Op."), 13);
  helpTitle(s, s.at(454, 232, 792, 278), QStringLiteral("Help : Append"));
  s.richText(s.at(344, 432, 790, 778),
             QStringLiteral(
                 "<p><b>Append</b> adds beat lines in the range you drag on the roll. Choose one "
                 "of the options, then select a range; every new selection appends again.</p>"
                 "<p><i>Free</i> &mdash; one beat where the selection starts.</p>"
                 "<p><i>Before</i> &mdash; beats one interval apart, counted back from the first "
                 "beat in the range towards the start of the selection.</p>"
                 "<p><i>After</i> &mdash; the interval carried on from the last beat in the range "
                 "into the empty part, up to the end of the selection.</p>"
                 "<p>The interval is the average of the beats in the selection, or the fixed one "
                 "while <i>Fix</i> is on; Before and After need two beats in the selection "
                 "otherwise. Undo takes back a whole append at once.</p>"),
             16);
}

void helpAutoFill(Sheet& s) {
  controls(s,
           {FixButton, LockBothEndsButton, LockAllButton, UnlockButton, UnlockWholeButton,
            AutoFillButton, AutoFillHelpButton},
           AutoFillHelpButton);
  const ScreenRect bpm = rectOf(Box::Bpm);
  s.well(Box::Bpm);
  label(s, s.at(bpm.right + 2, bpm.top, 802, bpm.bottom), QStringLiteral("BPM"), 15);
  helpTitle(s, s.at(344, 290, 598, 330), QStringLiteral("Help : AutoFill"));
  s.richText(
      s.at(344, 340, 596, 584),
      QStringLiteral("<p><b>AutoFill</b> fills the gaps between locked beats with evenly "
                     "spaced beats.</p>"
                     "<p>1. Lock the beats you trust: <i>Lock BOTH ENDS</i> locks the first and "
                     "last beat of a selection, <i>Lock ALL</i> every beat in it.</p>"
                     "<p>2. Press <i>AutoFill</i> and select the range to fill.</p>"
                     "<p>Each gap between two neighbouring locked beats is divided into equal "
                     "steps as close as possible to the beat interval; the unlocked beats in "
                     "the gap are replaced.</p>"),
      15);
  s.richText(
      s.at(344, 642, 790, 778),
      QStringLiteral("<p>With <i>Fix</i> on, the tempo in the BPM box is used. A gap that cannot "
                     "be divided within the AutoFill tolerance (Settings) is reported and "
                     "stops the fill; the gaps before it stay filled.</p>"
                     "<p><i>Unlock</i> frees the beats of a selection, <i>Unlock Whole</i> every "
                     "beat of the project.</p>"),
      15);
}

void helpExtend(Sheet& s) {
  controls(s,
           {LockBothEndsButton, LockAllButton, UnlockButton, UnlockWholeButton, BeatExtendButton,
            ExtendHelpButton},
           ExtendHelpButton);
  helpTitle(s, s.at(344, 232, 792, 278), QStringLiteral("Help : Extend"));
  s.richText(
      s.at(344, 296, 598, 632),
      QStringLiteral("<p><b>Extend until next locked beat</b> carries a steady beat on to a "
                     "locked beat further ahead.</p>"
                     "<p>1. Scroll so that the window starts with a few good beats at the right "
                     "tempo, and lock the last of them (or all of them).</p>"
                     "<p>2. Lock a later beat where the music clearly lands, a downbeat for "
                     "instance.</p>"
                     "<p>3. Press <i>Extend</i>.</p>"
                     "<p>The average interval of the good beats is the reference. The unlocked "
                     "beats between the two locked beats are replaced by beats spaced equally "
                     "so that the last step lands on the later locked beat.</p>"),
      15);
  s.richText(
      s.at(606, 512, 790, 706),
      QStringLiteral("<p>Extend works on the window in view; the selection does not matter.</p>"
                     "<p>Beats already close to a new position keep their place.</p>"),
      14);
  s.richText(
      s.at(344, 712, 790, 778),
      QStringLiteral("<p>If an interval strays beyond the judging tolerance (Settings, interval "
                     "JUDGE) you are asked before anything changes.</p>"),
      14);
}

}  // namespace

void paintPage(QImage& image, Picture page) {
  Sheet s(image, page);
  const Tab shown = page == Picture::BarPage        ? Tab::Bar
                    : page == Picture::DivisionPage ? Tab::Division
                                                    : Tab::Beat;
  tabs(s, shown);
  if (page != Picture::HelpExtend) controls(s, {PanelUndoButton, PanelRedoButton});
  switch (page) {
    case Picture::BarPage:
      barPage(s);
      break;
    case Picture::DivisionPage:
      divisionPage(s);
      break;
    case Picture::StroboPage:
      stroboPage(s);
      break;
    case Picture::HelpAppend:
      helpAppend(s);
      break;
    case Picture::HelpAutoFill:
      helpAutoFill(s);
      break;
    case Picture::HelpExtend:
      helpExtend(s);
      break;
    default:
      beatPage(s);
      break;
  }
}

}  // namespace quavrix::art
