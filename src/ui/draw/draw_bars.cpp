// SPDX-License-Identifier: GPL-3.0-or-later
// The two toolbar strips: their pictures, the texts in their boxes and the
// tints and dims that show each switch's state.

#include <algorithm>

#include "engine/engine.h"
#include "engine/transport.h"
#include "score/bar_numbers.h"
#include "ui/draw/draw_steps.h"
#include "ui/model/control_code.h"

namespace quavrix::draw {

using namespace colour;

void topBar(View& view, Canvas& canvas) {
  Engine& engine = view.engine;
  const ViewState& v = engine.viewState;
  const ControlRects& r = view.rects;
  canvas.picture(Picture::TopStrip, toRectF(engine.layout.topBar));
  canvas.text(v.speedText, rectOf(view, SpeedBox), TextFormat::Large, Red);
  // While playing, the boxes follow the music (the bar runs every pass then):
  // the play position's time above, its bar and beat below.
  const bool following = v.playing != 0;
  const std::int64_t at = following ? transportStatus(engine).position : 0;
  const std::uint32_t position = static_cast<std::uint32_t>(std::max<std::int64_t>(0, at / 32));
  canvas.text(following ? playTimeText(at) : v.timeText1, toRectF(r.box(Box::TimeUpper)),
              TextFormat::Small, Red);
  canvas.text(following ? barBeatText(barBeatAt(engine.notes, position)) : v.timeText2,
              toRectF(r.box(Box::TimeLower)), TextFormat::Small, Red);
  if (v.playing) canvas.fill(rectOf(view, PlayButton), Blue20);
  if (looping(engine)) canvas.fill(rectOf(view, LoopButton), Blue20);
  if (!v.differenceSpectrum) canvas.fill(rectOf(view, FftMonoButton), Blue20);

  for (int bank = 0; bank < 8; ++bank) {
    const RectF cell = rectOf(view, BankButtonA + bank);
    if (bank == v.selectedBank) {
      canvas.fill(cell, Yellow20);
      for (int slot = 0; slot < 8; ++slot) {
        const std::uint8_t flags = v.sections[bank][slot].flags;
        if (flags & SLOT_HAS_RECORD) canvas.fill(rectOf(view, SlotButton1 + slot), LimeFaint);
        if (flags & SLOT_SELECTED) canvas.fill(toRectF(r.slotBars[slot]), Yellow50);
      }
    } else if (v.bankFlags[bank] & SLOT_HAS_RECORD) {
      canvas.fill(cell, Yellow10);
    }
  }

  const ChannelSwitches s = channelSwitches(engine);
  if (!s.leftOn) canvas.fill(rectOf(view, LeftChannelButton), Shade25);
  if (!s.rightOn) canvas.fill(rectOf(view, RightChannelButton), Shade25);
  if (!s.rightInverted) canvas.fill(rectOf(view, ReverseButton), Shade25);
  if (!s.mono) canvas.fill(rectOf(view, MonoButton), Shade25);
}

void bottomBar(View& view, Canvas& canvas) {
  Engine& engine = view.engine;
  const ViewState& v = engine.viewState;
  const ViewLayout& l = engine.layout;
  const ControlRects& r = view.rects;
  const ColourSet& c = view.pass.colours;
  const Interaction& in = view.input;
  canvas.picture(Picture::BottomStrip, toRectF(l.bottomBar));

  if (!v.noTrackSelected && v.currentTrack >= 0 && v.currentTrack <= 7) {
    const RectF button = rectOf(view, TickTrackButton + v.currentTrack);
    const float y = static_cast<float>(r[TickTrackButton].top) + 8;
    canvas.line(button.left, y, button.right, y, 5, in.shiftHeld ? Orange : Yellow);
  }
  if (!v.wavButton) canvas.fill(rectOf(view, WavButton), Shade40);
  if (!notesOutput(engine)) canvas.fill(rectOf(view, MidiButton), Shade40);
  if (!trackOutput(engine, 0)) canvas.fill(rectOf(view, TickTrackButton), Shade40);
  for (int t = 1; t <= 7; ++t) {
    if (!trackOutput(engine, t)) canvas.fill(rectOf(view, TickTrackButton + t), Shade40);
    canvas.fill(toRectF(r.trackBars[t]), c.head[t]);
  }

  const auto marker = [&](float x, const ScreenRect& ramp, float inset, float width) {
    canvas.line(x, static_cast<float>(ramp.top) + inset, x, static_cast<float>(ramp.bottom) - inset,
                width, Yellow80);
  };
  marker(v.wavLevelX, l.wavLevelArea, 4, 5);
  marker(v.midiLevelX, l.midiLevelArea, 4, 5);
  marker(v.velocityX, l.velocityInnerArea, 6, 8);

  if (in.ctrlHeld) canvas.fill(rectOf(view, PanicButton), Pink30);
  if (!v.guessing) canvas.fill(rectOf(view, GuessButton), Shade40);
  if (!v.guessRight) canvas.fill(rectOf(view, GuessRightButton), Shade40);
  if (!v.guessLeft) canvas.fill(rectOf(view, GuessLeftButton), Shade40);
  if (alternating(engine)) canvas.fill(rectOf(view, RepeatAfterButton), Yellow30);
  canvas.text(v.tuningText, toRectF(r.box(Box::Tune)), TextFormat::Small, Red);
}

}  // namespace quavrix::draw
