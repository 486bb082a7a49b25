#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Finds the beats, the bar lines and the tempo of a recording: the grid a
// transcription starts from. Toolkit-free; reads only the samples.
//
// The tracker follows a tempo that drifts (a ramp, a rubato ballad): a
// tempogram gives the tempo of every few seconds, a path through it that may
// bend slowly but not jump an octave fixes the local beat period, and a
// dynamic programme then places each beat where the onsets are strong and the
// interval to the beat before stays near that period. Bars come from where
// the harmony changes and the bass enters, tried against 2, 3 and 4 beats a
// bar.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quavrix {

struct Recording;
struct BeatFeatures;

struct BeatTrack {
  std::vector<double> beats;      // seconds from the recording's first frame, ascending
  std::vector<double> downbeats;  // the beats that begin a bar
  int beatsPerBar = 0;            // the bar length found, 0 without beats
  double bpm = 0.0;               // median of the beat intervals' tempi, 0 below two beats
};

// Tracks `frames` stereo frames of 16-bit samples at 44100 Hz.
BeatTrack trackBeats(const std::int16_t* left, const std::int16_t* right, std::size_t frames);

// Tracks the frames from the curves already worked out of them.
BeatTrack trackBeats(const std::int16_t* left, const std::int16_t* right, std::size_t frames,
                     const BeatFeatures& features);

// Tracks the frames of an opened recording (after its lead-in).
BeatTrack trackBeats(const Recording& recording);

// Finds the onsets of an opened recording and tracks its beats in one pass
// over the samples: as opening does when the grid opens with tracked beats.
void detectOnsetsTrackingBeats(Recording& recording);

}  // namespace quavrix
