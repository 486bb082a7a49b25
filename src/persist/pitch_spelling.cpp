// SPDX-License-Identifier: GPL-3.0-or-later
#include "persist/pitch_spelling.h"

#include <array>
#include <cstddef>

namespace quavrix {

namespace {

constexpr std::array<char, 7> LETTERS = {'C', 'D', 'E', 'F', 'G', 'A', 'B'};
constexpr std::array<int, 7> NATURAL = {0, 2, 4, 5, 7, 9, 11};
// Letters in the order a key signature adds sharps; flats go the other way.
constexpr std::array<int, 7> SHARP_ORDER = {3, 0, 4, 1, 5, 2, 6};  // F C G D A E B

int letterOf(int pitchClass) {
  for (int l = 0; l < 7; ++l) {
    if (NATURAL[l] == pitchClass) return l;
  }
  return -1;
}

SpelledPitch spelled(int midiKey, int letter, int alter) {
  const int natural = midiKey - alter;
  return {LETTERS[letter], alter, natural / 12 - 1};
}

}  // namespace

int tonicPitchClass(int keySetting) {
  return keySetting > 0 && keySetting < 12 ? 12 - keySetting : 0;
}

int keyFifths(int keySetting) {
  // Tonics C, C#, D, Eb, E, F, F#, G, Ab, A, Bb, B.
  static constexpr std::array<int, 12> FIFTHS = {0, 7, 2, -3, 4, -1, 6, 1, -4, 3, -2, 5};
  return FIFTHS[static_cast<std::size_t>(tonicPitchClass(keySetting))];
}

SpelledPitch spellPitch(int midiKey, int fifths) {
  std::array<int, 7> alter{};
  for (int i = 0; i < 7 && i < (fifths < 0 ? -fifths : fifths); ++i) {
    if (fifths > 0) {
      alter[SHARP_ORDER[i]] = 1;
    } else {
      alter[SHARP_ORDER[6 - i]] = -1;
    }
  }
  const int pitchClass = ((midiKey % 12) + 12) % 12;
  for (int l = 0; l < 7; ++l) {
    if ((NATURAL[l] + alter[l] + 12) % 12 == pitchClass) return spelled(midiKey, l, alter[l]);
  }
  if (const int l = letterOf(pitchClass); l >= 0) return spelled(midiKey, l, 0);
  // A black key outside the scale.
  bool sharp = fifths > 0;
  if (fifths == 0) sharp = pitchClass == 1 || pitchClass == 6;  // C#, F#; Eb, Ab, Bb
  return sharp ? spelled(midiKey, letterOf(pitchClass - 1), 1)
               : spelled(midiKey, letterOf(pitchClass + 1), -1);
}

}  // namespace quavrix
