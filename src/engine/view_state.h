#pragma once
// Display and editing state of the view that the core reads and writes.

#include <array>
#include <cstdint>
#include <string>

#include "analysis/key_axis_map.h"
#include "base/units.h"

namespace quavrix {

struct SettingValues;

// Class of a key row as drawn: white key, black key, or the marked pitch class.
enum KeyClass : std::uint8_t { KEY_WHITE = 0, KEY_BLACK = 1, KEY_TONIC = 2 };

struct ViewState {
  int playing = 0;
  // The WAV button: the recording is heard when playback starts. (The channel
  // toggles of the recording live with the player, which reads them per block.)
  int wavButton = 1;
  int differenceSpectrum = 0;  // 1 while the difference spectrum is shown
  // Note-guessing curve toggles and gain (replaced by the magnification setting).
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
  // the lower first; 0, 0 = none.
  std::uint32_t selectionStart = 0;
  std::uint32_t selectionEnd = 0;

  SpectrumMap spectrumMap;
  SettingValues* values = nullptr;
};

}  // namespace quavrix
