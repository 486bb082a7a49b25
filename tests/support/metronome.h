#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// A metronome for the beat tracker's tests: a short high click on every beat,
// and on the first beat of each bar a louder click over a low thump, as a
// drummer's count-in would mark it.

#include <cstdint>
#include <functional>
#include <vector>

namespace quavrix::test {

// Beat instants (seconds) from `first` up to `seconds` for a tempo that may
// change with time: each beat follows the one before by 60 / bpm(its time).
std::vector<double> beatInstants(double seconds, const std::function<double(double)>& bpm,
                                 double first = 0.25);

// Interleaved stereo frames at 44100 Hz, `seconds` long, a click at every
// instant; every `beatsPerBar`-th beat (from the first) is accented.
std::vector<std::int16_t> metronomeFrames(const std::vector<double>& instants, int beatsPerBar,
                                          double seconds);

}  // namespace quavrix::test
