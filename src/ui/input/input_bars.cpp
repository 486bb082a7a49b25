// SPDX-License-Identifier: GPL-3.0-or-later
// The top and bottom bars' buttons and sliders, and the beat-editor panel's.

#include "ui/input/input_bars.h"

#include <algorithm>
#include <cmath>

#include "engine/editing.h"
#include "engine/engine.h"
#include "engine/transport.h"
#include "ui/input/input.h"
#include "ui/input/input_actions.h"
#include "ui/input/input_sections.h"
#include "ui/model/control_code.h"
#include "ui/model/visible_window.h"

namespace quavrix::input {

namespace {

// 2048 - trunc(sqrt(d) * span) over a slider's width.
int sliderSpeed(const View& view, int code, int x, int fastest, int span) {
  const ScreenRect& r = view.rects[code];
  const double d = std::clamp(static_cast<double>(x - r.left) / (r.right - r.left), 0.0, 1.0);
  return fastest - static_cast<int>(std::sqrt(d) * span);
}

float rampWidth(const Engine& engine, int code) {
  const ViewLayout& l = engine.layout;
  return code == WavLevelSlider    ? l.wavRampWidth
         : code == MidiLevelSlider ? l.midiRampWidth
                                   : l.velocityRampWidth;
}

float currentLevel(const Engine& engine, int code) {
  const auto& level = engine.settings.values.level;
  if (code == WavLevelSlider) return level[LEVEL_WAV];
  if (code == MidiLevelSlider) return level[LEVEL_MIDI];
  const int t = engine.viewState.currentTrack;
  return t >= 1 && t <= 7 ? level[t + LEVEL_TRACK_OFFSET] : level[LEVEL_TICK];
}

void toggleChannelsGuess(View& view, bool left) {
  ViewState& v = view.engine.viewState;
  int& mine = left ? v.guessLeft : v.guessRight;
  int& other = left ? v.guessRight : v.guessLeft;
  mine = mine ? 0 : 1;
  // One of the two always stays on.
  if (!mine && !other) other = 1;
}

void magnify(View& view, int step) {
  Engine& engine = view.engine;
  const int mag = std::clamp(static_cast<int>(engine.viewState.spectrumGain) + step, 1, 10);
  engine.viewState.spectrumGain = static_cast<float>(mag);
  engine.settings.values.displayMagnification = mag;
}

void fftMono(View& view) {
  Engine& engine = view.engine;
  const ChannelSwitches channels = channelSwitches(engine);
  const bool difference = engine.viewState.differenceSpectrum != 0;
  if (!difference && !(channels.mono && channels.rightInverted)) return;
  // The whole recording is analysed again: seconds on a long one, so the
  // window stays alive meanwhile.
  const SpectrumSwitch s = beginSpectrumSwitch(engine, !difference);
  runLong(view, "Computing the spectrum...",
          [&engine, &s] { computeSpectrumSwitch(engine.recording, s); });
  finishSpectrumSwitch(engine, s);
}

void panelCode(View& view, int code, ScreenPoint p) {
  Engine& engine = view.engine;
  VisibleWindow& w = engine.viewState.window;
  switch (code) {
    case PanelCloseButton:
      toggleEditor(engine);
      return;
    case BarTab:
      showEditorPage(engine, EditorPage::Bar);
      return;
    case BeatTab:
      showEditorPage(engine, EditorPage::Beat);
      return;
    case DivisionTab:
      showEditorPage(engine, EditorPage::Division);
      return;
    case PanelSettingsButton:
      if (view.openSettings) view.openSettings();
      return;
    case ScrollStep1Button:
      w.scrollStep = 1;
      return;
    case ScrollStep2Button:
      w.scrollStep = 2;
      return;
    case ScrollStep4Button:
      w.scrollStep = 4;
      return;
    case ScrollFreeSlider:
      w.scrollStep = 0;
      view.input.freeScrollDrag = true;
      view.input.freeScrollStart = w.freeScroll;
      view.input.freeScrollStartX = static_cast<float>(p.x);
      return;
    case StroboCoarseColumn:
    case StroboFineColumn:
      strobeRateAt(engine, code, static_cast<float>(p.y));
      return;
    case AskEverytimeButton:
      editorCommand(engine, code);
      bottomDirty(view);
      return;
    default:
      editorCommand(engine, code);
      return;
  }
}

}  // namespace

void levelDrag(View& view, int x) {
  Engine& engine = view.engine;
  Interaction& in = view.input;
  const float level = std::clamp(
      in.levelStart - static_cast<float>(in.levelPress.x - x) / rampWidth(engine, in.levelCode),
      0.0f, 1.0f);
  if (in.levelCode == WavLevelSlider) {
    setRecordingLevel(engine, level);
  } else if (in.levelCode == MidiLevelSlider) {
    setNotesLevel(engine, level);
  } else {
    setTrackLevel(engine, engine.viewState.currentTrack, level);
  }
  placeLevelMarkers(view);
  bottomDirty(view);
}

void freeScrollDrag(View& view, int x) {
  Interaction& in = view.input;
  ViewState& v = view.engine.viewState;
  const float left = view.rects.scrollFreeLeft;
  const float width = view.rects.scrollFreeRight - left;
  const float value = static_cast<float>(in.freeScrollStart) -
                      (in.freeScrollStartX - static_cast<float>(x)) / width * 255.0f;
  v.window.freeScroll = std::clamp(static_cast<int>(value), 5, 255);
  view.engine.settings.values.scrollStep = v.window.freeScroll;
  v.freeScrollX = left + static_cast<float>(v.window.freeScroll) * width / 255.0f;
}

void barPress(View& view, int code, ScreenPoint p) {
  Engine& engine = view.engine;
  Interaction& in = view.input;
  const ViewLayout& l = engine.layout;
  switch (code) {
    case BeatEditorButton:
      toggleEditor(engine);
      break;
    case SectionDeleteButton:
    case SectionRecordButton:
    case SectionAddButton:
      sectionButton(view, code);
      break;
    case LoopButton:
    case LoopButton2:
      setLoop(engine, !looping(engine));
      break;
    case PlayButton:
    case PlayButton2:
      togglePlay(engine);
      break;
    case RewindButton:
    case RewindButton2:
      rewindPlayback(engine);
      break;
    case SlowX1Button:
      setSpeed(engine, 2048);
      break;
    case SlowX2Button:
      setSpeed(engine, 1024);
      break;
    case SlowX4Button:
      setSpeed(engine, 512);
      break;
    case SlowX8Button:
      setSpeed(engine, 256);
      break;
    case SlowSlider12:
      setSpeed(engine, sliderSpeed(view, code, p.x, 2048, 1024));
      break;
    case SlowSlider24:
      setSpeed(engine, sliderSpeed(view, code, p.x, 1024, 512));
      break;
    case SlowSlider48:
      setSpeed(engine, sliderSpeed(view, code, p.x, 512, 256));
      break;
    case FasterButton:
      setSpeed(engine, fasterSpeed(playbackSpeed(engine)));
      break;
    case SlowerButton:
      setSpeed(engine, slowerSpeed(playbackSpeed(engine)));
      break;
    case LeftChannelButton:
      toggleLeftChannel(engine);
      break;
    case MonoButton:
      toggleMonoMix(engine);
      break;
    case RightChannelButton:
      toggleRightChannel(engine);
      break;
    case ReverseButton:
      toggleDifferenceMix(engine);
      break;
    case FftMonoButton:
      fftMono(view);
      break;
    case SettingsButton:
      if (view.openSettings) view.openSettings();
      break;
    case WavButton:
      setRecordingOutput(engine, !engine.viewState.wavButton);
      break;
    case WavLevelSlider:
    case MidiLevelSlider:
    case VelocitySlider:
      in.levelDrag = true;
      in.levelCode = code;
      in.levelPress = p;
      in.levelStart = currentLevel(engine, code);
      break;
    case MidiButton:
      setNotesOutput(engine, !notesOutput(engine));
      break;
    case PanicButton:
      panic(engine, in.ctrlHeld);
      break;
    case UndoButton:
      undoNoteEdit(engine);
      break;
    case RedoButton:
      redoNoteEdit(engine);
      break;
    case RepeatAfterButton:
      setAlternate(engine, !alternating(engine));
      break;
    case KeyLowButton:
      octave(view, -1);
      break;
    case KeyHighButton:
      octave(view, +1);
      break;
    case KeyWidenButton:
    case KeyNarrowButton: {
      const ScreenRect& roll = l.rollArea;
      keyRows(view, code == KeyWidenButton ? -1 : +1, p.x >= (roll.left + roll.right) / 2);
      break;
    }
    case TuneDown10Button:
      tune(view, -10);
      break;
    case TuneDown1Button:
      tune(view, -1);
      break;
    case TuneUp1Button:
      tune(view, +1);
      break;
    case TuneUp10Button:
      tune(view, +10);
      break;
    case GuessButton:
      engine.viewState.guessing = engine.viewState.guessing ? 0 : 1;
      break;
    case GuessUpButton:
      magnify(view, +1);
      break;
    case GuessDownButton:
      magnify(view, -1);
      break;
    case GuessLeftButton:
      toggleChannelsGuess(view, true);
      break;
    case GuessRightButton:
      toggleChannelsGuess(view, false);
      break;
    default:
      if (code >= BankButtonA && code <= BankButtonH) {
        selectBank(view, code - BankButtonA);
      } else if (code >= SlotButton1 && code <= SlotButton8) {
        selectSlot(view, code - SlotButton1);
      } else if (code >= TickTrackButton && code <= TrackButton7) {
        trackLeft(view, code - TickTrackButton);
      } else if (isPanelCode(code)) {
        panelCode(view, code, p);
      }
      break;
  }
}

}  // namespace quavrix::input
