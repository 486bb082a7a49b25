#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Display and editing state of the view that the core reads and writes. The
// view's behaviour (layout, hit test, window moves, drawing, input) lives in
// ui/; this is the data the engine must hold for it.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/key_axis_map.h"
#include "base/units.h"

namespace quavrix {

struct SettingValues;

// Class of a key row as drawn: white key, black key, or the marked pitch class.
enum KeyClass : std::uint8_t { KEY_WHITE = 0, KEY_BLACK = 1, KEY_TONIC = 2 };

// The part of the recording shown in the roll and the zoom column. Sample
// values count frames at 44100 Hz in buffer indices (the lead-in included).
// Invariants once a recording is open: start >= 8192, end <= total,
// end - start >= 4096.
struct VisibleWindow {
  std::int32_t start = 0;
  std::int32_t end = 0;
  std::int32_t previousStart = 0;  // the window before the last change, for "back"
  std::int32_t previousEnd = 0;
  std::int32_t committedStart = 0;  // the window as a finished drag left it
  std::int32_t committedEnd = 0;
  std::int32_t committedLength = 0;
  std::int32_t total = 0;
  std::int32_t samplesPerPixel = 1;  // of the overview
  float top = 0;                     // the window's y range in the overview
  float bottom = 0;
  std::int32_t minHeight = 0;      // 4096 samples in overview pixels
  float dragDelta = 0;             // pixels of the current overview drag
  std::int32_t zoomDelta = 0;      // pixels of the current zoom drag or wheel step
  std::uint32_t firstVisible = 0;  // positions
  std::uint32_t lastVisible = 0;
  std::uint32_t span = 0;
  int scrollStep = 0;    // 0 = Free, or 1, 2, 4 beats
  int freeScroll = 255;  // 5..255; the wheel unit is freeScroll * 64 / 255
  // The zoom column shows a little more than the window, by the margin ratios.
  double zoomStart = 0;
  double zoomEnd = 0;

  // Drags in progress: while one is set, moves change only start and end.
  bool dragNew = false;
  bool dragTop = false;
  bool dragBottom = false;
  bool dragWhole = false;
  bool zoomUpper = false;
  bool zoomLower = false;
  bool zoomWhole = false;

  bool anyOverviewDrag() const { return dragNew || dragTop || dragBottom || dragWhole; }
  bool anyZoomDrag() const { return zoomUpper || zoomLower || zoomWhole; }
  void endOverviewDrags() { dragNew = dragTop = dragBottom = dragWhole = false; }
  void endZoomDrags() { zoomUpper = zoomLower = zoomWhole = false; }
};

// Which regions the next drawing pass redraws.
struct DirtyFlags {
  bool overview = false;
  bool zoom = false;
  bool topBar = false;
  bool bottomBar = false;
  bool fullRedraw = false;     // the timer turns it into topBar
  bool overviewHover = false;  // the overview stays dirty while hovered
};

// One section record slot of the top bar: a bank A..H and a slot 1..8.
struct SectionSlotFlags {
  std::uint8_t flags = 0;  // bit 0 holds a record, bit 1 selected
};

struct ViewState {
  int playing = 0;
  // The WAV button: the recording is heard when playback starts. (The channel
  // toggles of the recording live with the player, which reads them per block.)
  int wavButton = 1;
  int differenceSpectrum = 0;  // 1 while the spectrum is of the mixed signal (FFT mono)
  // Note guessing: the curve, its channels and its magnification.
  int guessing = 1;
  int guessLeft = 1;
  int guessRight = 1;
  float spectrumGain = 2.0f;
  int smallLayout = 0;

  std::array<std::uint8_t, KEY_COUNT> keyClass{};
  // The first 12 are the key names of rows 0..11 (every row modulo 12).
  std::array<std::string, 24> names{};

  std::string timeText1;
  std::string timeText2;
  std::string speedText = "1.0";
  std::string tempoText = "Unknown";
  std::string divisorText = "4";
  std::string beatsInBarText = "Unknown";
  std::string tuningText = "-  0";
  std::string noteNameText1;
  std::string noteNameText2;
  // The view's own window text: " Notes    wav : " and the recording's path.
  std::string viewText;

  // The line range the mouse selected in the margin strips, positions with
  // the lower first; 0, 0 = none. The y range is what the pass fills.
  std::uint32_t selectionStart = 0;
  std::uint32_t selectionEnd = 0;
  float selectionTopY = 0;
  float selectionBottomY = 0;

  VisibleWindow window;
  DirtyFlags dirty;
  int passRunning = 0;  // a drawing pass is in progress

  // The track notes are put on (0 tick, 1..7) and whether none is selected.
  int currentTrack = 7;
  int noTrackSelected = 0;
  // Where the level ramps' markers stand, in view x.
  float wavLevelX = 0;
  float midiLevelX = 0;
  float velocityX = 0;
  float freeScrollX = 0;

  // Overview: x = overviewCentreX -/+ magnitude * overviewScale per sub-row.
  float overviewScale = 0;
  float overviewLeftX = 0;
  float overviewRightX = 0;
  // Envelope x per display sub-row (column factor sub-rows per pixel row).
  std::vector<float> overviewLeft;
  std::vector<float> overviewRight;
  std::vector<float> zoomLeft;
  std::vector<float> zoomRight;
  std::vector<float> zoomOnset;

  // Section banks A..H and their slots 1..8 (rows and columns 9, 10 spare).
  std::array<std::array<SectionSlotFlags, 10>, 10> sections{};
  std::array<std::uint8_t, 10> bankFlags{};
  int selectedBank = 0;
  int selectedSlot = 0;
  // A section record changed since the project was last opened, loaded or
  // saved: the records are kept in the project's settings file.
  int sectionsModified = 0;

  SpectrumMap spectrumMap;
  SettingValues* values = nullptr;
};

}  // namespace quavrix
