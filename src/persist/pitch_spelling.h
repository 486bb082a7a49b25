#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Key signatures and note names for written scores: the major key of the
// tonic the key setting marks, and each MIDI note spelled as that key spells it.

namespace quavrix {

struct SpelledPitch {
  char step = 'C';  // letter name
  int alter = 0;    // -1 flat, 0 natural, +1 sharp
  int octave = 4;   // octave of the letter, MIDI note 60 = C4
};

// The key setting k renames the roll so that its marked (tonic) rows read
// "C": they sound pitch class (12 - k) mod 12. Returns that pitch class; a
// setting outside 0..11 counts as 0.
int tonicPitchClass(int keySetting);

// Sharps (positive) or flats (negative) of the major key on that tonic,
// spelled as the program names pitch classes (C#, Eb, F#, Ab, Bb).
int keyFifths(int keySetting);

// The key's own letter for notes of its scale; naturals for the white keys
// outside it; sharps in sharp keys and flats in flat keys for the rest, and
// in C the program's names.
SpelledPitch spellPitch(int midiKey, int fifths);

}  // namespace quavrix
