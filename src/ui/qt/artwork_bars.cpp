// SPDX-License-Identifier: GPL-3.0-or-later
// The two toolbar strips.

#include <QString>
#include <algorithm>

#include "ui/model/control_code.h"
#include "ui/qt/artwork_kit.h"
#include "ui/qt/artwork_pictures.h"

namespace quavrix::art {

namespace {

void mirroredR(Sheet& s, const QRectF& face) {
  QPainter& p = s.painter();
  p.save();
  p.translate(face.center().x(), 0);
  p.scale(-1, 1);
  p.translate(-face.center().x(), 0);
  s.caption(face, QStringLiteral("R"), 17);
  p.restore();
}

// Two arrows pointing away from the middle, or towards it.
void widthArrows(Sheet& s, const QRectF& face, bool outward) {
  const double y = face.center().y();
  const double x0 = face.left() + 4;
  const double x1 = face.right() - 4;
  const double mid = face.center().x();
  const double w = 1.6;
  if (outward) {
    arrow(s.painter(), {mid - 2, y}, {x0, y}, w, ink::SYMBOL);
    arrow(s.painter(), {mid + 2, y}, {x1, y}, w, ink::SYMBOL);
  } else {
    arrow(s.painter(), {x0, y}, {mid - 2.5, y}, w, ink::SYMBOL);
    arrow(s.painter(), {x1, y}, {mid + 2.5, y}, w, ink::SYMBOL);
    // The keys they squeeze together.
    s.painter().fillRect(QRectF(mid - 0.75, y - face.height() * 0.28, 1.5, face.height() * 0.56),
                         ink::SOFT_TEXT);
  }
}

// "Lo" or "Hi" over an arrow pointing the way the keys move.
void octaveButton(Sheet& s, const QRectF& face, bool high) {
  s.caption(rows(face, 0.02, 0.55), high ? QStringLiteral("Hi") : QStringLiteral("Lo"), 13);
  const QRectF lower = rows(face, 0.55, 0.95);
  const double y = lower.center().y();
  const double w = std::max(1.6, face.height() * 0.07);
  if (high) {
    arrow(s.painter(), {lower.left() + 4, y}, {lower.right() - 3, y}, w, ink::SYMBOL);
  } else {
    arrow(s.painter(), {lower.right() - 4, y}, {lower.left() + 3, y}, w, ink::SYMBOL);
  }
}

const QColor RAMP_GREY{178, 184, 196};

}  // namespace

void paintTopStrip(QImage& image) {
  Sheet s(image, Picture::TopStrip);
  QPainter& p = s.painter();

  metronome(p, s.button(BeatEditorButton).adjusted(8, 4, -8, -4));
  s.well(Box::TimeUpper);
  s.well(Box::TimeLower);

  // The section banks and their slots.
  s.caption(s.button(SectionDeleteButton), QStringLiteral("DEL"), 13);
  recordDot(p, middle(s.button(SectionRecordButton), 0.75));
  plusSign(p, middle(s.button(SectionAddButton), 0.5), ink::TEXT);
  for (int i = 0; i < 8; ++i) {
    s.caption(s.button(BankButtonA + i), QString(QChar('A' + i)), 17);
    const QRectF slot = s.button(SlotButton1 + i);
    // The lowest rows hold the bar that marks the selected slot.
    const QRectF bar = s.at(rectOf(SlotButton1 + i).left, 52, rectOf(SlotButton1 + i).right, 58);
    s.caption(QRectF(slot.left(), slot.top(), slot.width(), bar.top() - slot.top()),
              QString::number(i + 1), 14);
    p.fillRect(QRectF(slot.left() + 4, bar.top() + 1, slot.width() - 8, 2),
               QColor(255, 255, 255, 34));
  }

  // Transport.
  loopArrows(p, middle(s.button(LoopButton), 0.62), ink::SYMBOL);
  triangle(p, middle(s.button(PlayButton), 0.5), Towards::Right, ink::GREEN);
  rewind(p, middle(s.button(RewindButton), 0.5), ink::SYMBOL);

  // Slow-down factors: the buttons and the ramps between them climb as
  // playback gets slower.
  s.caption(s.button(SlowX1Button), QStringLiteral("x1"), 18);
  const QRectF playTime = s.button(SlowSlider12, Look::Track);
  ramp(p, playTime, 0.1, 0.5, RAMP_GREY, 60, 180);
  s.caption(QRectF(playTime.left() + 2, playTime.top() + 2, playTime.width() * 0.62,
                   playTime.height() * 0.5),
            QStringLiteral("PlayTime"), 14, ink::TEXT);
  s.caption(s.button(SlowX2Button), QStringLiteral("2"), 18);
  ramp(p, s.button(SlowSlider24, Look::Track), 0.5, 0.72, RAMP_GREY, 180, 220);
  s.caption(s.button(SlowX4Button), QStringLiteral("4"), 18);
  ramp(p, s.button(SlowSlider48, Look::Track), 0.72, 0.92, RAMP_GREY, 220, 255);
  s.caption(s.button(SlowX8Button), QStringLiteral("8"), 18);
  triangle(p, middle(s.button(FasterButton), 0.56), Towards::Left, ink::BLUE);
  triangle(p, middle(s.button(SlowerButton), 0.56), Towards::Right, ink::RED);
  s.button(SpeedBox, Look::Well);

  // Channels.
  s.caption(s.button(LeftChannelButton), QStringLiteral("L"), 17);
  s.caption(s.button(MonoButton), QStringLiteral("Mono"), 15);
  s.caption(s.button(RightChannelButton), QStringLiteral("R"), 17);
  mirroredR(s, s.button(ReverseButton));
  s.caption(s.button(FftMonoButton), QStringLiteral("FFT Mono"), 12);

  gear(p, middle(s.button(SettingsButton), 0.76), ink::SYMBOL);
}

void paintBottomStrip(QImage& image) {
  Sheet s(image, Picture::BottomStrip);
  QPainter& p = s.painter();

  const auto speakerCaption = [&](int code, const QString& text) {
    const QRectF face = s.button(code);
    const double size = face.height() * 0.62;
    symbolCaption(
        s, face, [&](const QRectF& box) { speaker(p, box, ink::SYMBOL); }, size, text, 16);
  };
  speakerCaption(WavButton, QStringLiteral("WAV"));
  ramp(p, s.button(WavLevelSlider, Look::Track), 0.12, 0.9, RAMP_GREY);
  speakerCaption(MidiButton, QStringLiteral("MIDI"));
  ramp(p, s.button(MidiLevelSlider, Look::Track), 0.12, 0.9, RAMP_GREY);

  s.caption(s.button(PanicButton), QStringLiteral("Panic"), 15, QColor(255, 138, 124));
  undoRedo(s, s.button(UndoButton), false);
  undoRedo(s, s.button(RedoButton), true);
  s.caption(s.button(RepeatAfterButton), QStringLiteral("Rpt\nAfter"), 14);

  // Tick and tracks: the top rows carry the selected-track line and the
  // lowest ones the track's colour, so the captions sit between them.
  const double captionTop = s.y(911);
  const double captionBottom = s.y(947);
  const auto between = [&](const QRectF& face) {
    return QRectF(face.left(), captionTop, face.width(), captionBottom - captionTop);
  };
  s.caption(between(s.button(TickTrackButton)), QStringLiteral("Tick"), 15);
  for (int t = 0; t < 7; ++t) {
    const QRectF area = between(s.button(TrackButton1 + t));
    if (t == 0) {
      s.caption(QRectF(area.left(), area.top(), area.width(), area.height() * 0.34),
                QStringLiteral("TRACK"), 10, ink::SOFT_TEXT);
    }
    s.caption(
        QRectF(area.left(), area.top() + area.height() * 0.3, area.width(), area.height() * 0.7),
        QString::number(t + 1), 22);
  }
  const QRectF velocity = s.button(VelocitySlider, Look::Track);
  ramp(p, velocity, 0.06, 0.78, RAMP_GREY);
  s.caption(QRectF(velocity.left() + 2, velocity.top() + 2, velocity.width() * 0.45,
                   velocity.height() * 0.45),
            QStringLiteral("Velo"), 14);

  loopArrows(p, middle(s.button(LoopButton2), 0.62), ink::SYMBOL);
  triangle(p, middle(s.button(PlayButton2), 0.5), Towards::Right, ink::GREEN);
  rewind(p, middle(s.button(RewindButton2), 0.5), ink::SYMBOL);

  // Key range.
  octaveButton(s, s.button(KeyLowButton), false);
  widthArrows(s, s.button(KeyWidenButton), true);
  widthArrows(s, s.button(KeyNarrowButton), false);
  octaveButton(s, s.button(KeyHighButton), true);

  // Tuning: the view writes the cents into the box.
  const ScreenRect tune = rectOf(Box::Tune);
  s.caption(s.at(tune.left - 50, tune.top, tune.left - 1, tune.bottom), QStringLiteral("Tune"), 13,
            ink::SOFT_TEXT);
  s.well(Box::Tune);
  s.caption(s.at(tune.right, tune.top, tune.right + 18, tune.bottom), QStringLiteral("c."), 13,
            ink::SOFT_TEXT);
  doubleTriangle(p, middle(s.button(TuneDown10Button), 0.6), Towards::Left, ink::SYMBOL);
  flatSign(p, middle(s.button(TuneDown1Button), 0.78), ink::SYMBOL);
  sharpSign(p, middle(s.button(TuneUp1Button), 0.78), ink::SYMBOL);
  doubleTriangle(p, middle(s.button(TuneUp10Button), 0.6), Towards::Right, ink::SYMBOL);

  // Note guessing.
  s.caption(s.button(GuessButton), QStringLiteral("Guess"), 15);
  triangle(p, middle(s.button(GuessUpButton), 0.5), Towards::Up, ink::SYMBOL);
  s.caption(s.button(GuessLeftButton), QStringLiteral("L"), 14);
  s.caption(s.button(GuessRightButton), QStringLiteral("R"), 14);
  triangle(p, middle(s.button(GuessDownButton), 0.5), Towards::Down, ink::SYMBOL);
}

}  // namespace quavrix::art
