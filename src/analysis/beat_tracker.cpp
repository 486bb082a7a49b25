// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/beat_tracker.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "analysis/beat_features.h"
#include "analysis/beat_meter.h"
#include "analysis/onsets.h"
#include "analysis/recording.h"
#include "base/units.h"

namespace quavrix {

namespace {

// Tempi the grid accepts (its beat editor refuses intervals outside them).
constexpr double SLOWEST_BPM = 50.0;
constexpr double FASTEST_BPM = 187.0;
// Tempo candidates lie half a per cent apart.
constexpr double TEMPO_STEP = 0.005;
// Without other evidence a beat is felt near this tempo; the prior's width
// in octaves decides how much stronger an octave below or above must be.
constexpr double PRIOR_CENTRE_BPM = 95.0;
constexpr double PRIOR_WIDTH_OCTAVES = 2.0;
// The tempogram's windows and their spacing, in seconds.
constexpr double TEMPO_WINDOW_SECONDS = 8.0;
constexpr double TEMPO_HOP_SECONDS = 2.0;
// How far the tempo may move from one window to the next (candidates), and
// what a move of one candidate costs against the log of the evidence.
constexpr int TEMPO_MOVE = 12;
constexpr double TEMPO_MOVE_COST = 0.003;
// Attacks in the bass (kick drum, bass line) mark beats more than others.
constexpr double BASS_WEIGHT = 2.0;
// How much the bass line's own repetition counts towards a tempo: a left
// hand or a bass that keeps the beat outweighs a loud syncopated figure.
constexpr double TEMPO_BASS_WEIGHT = 1.0;
// How strictly a beat keeps the local period (against the normalised onsets).
constexpr double TIGHTNESS = 100.0;
// Seconds from the start of an onset frame to the attack it responds to most.
constexpr double ONSET_DELAY_SECONDS = 0.0135;

std::vector<double> tempoCandidates() {
  std::vector<double> bpm;
  for (double t = SLOWEST_BPM; t <= FASTEST_BPM; t *= std::exp(TEMPO_STEP)) bpm.push_back(t);
  return bpm;
}

// The onsets with the slow swell of the music taken away, scaled to
// deviation 1: what the beats are placed on.
std::vector<double> beatEnvelope(const std::vector<float>& all, const std::vector<float>& bass) {
  const std::size_t n = all.size();
  std::vector<double> onset(n);
  for (std::size_t i = 0; i < n; ++i) onset[i] = all[i] + BASS_WEIGHT * bass[i];
  std::vector<double> out(n, 0.0);
  const int half = static_cast<int>(std::lround(0.2 * ONSET_RATE));
  std::vector<double> prefix(n + 1, 0.0);
  for (std::size_t i = 0; i < n; ++i) prefix[i + 1] = prefix[i] + onset[i];
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t a = i > static_cast<std::size_t>(half) ? i - half : 0;
    const std::size_t b = std::min(n, i + half + 1);
    const double mean = (prefix[b] - prefix[a]) / static_cast<double>(b - a);
    out[i] = std::max(0.0, onset[i] - mean);
  }
  double sq = 0.0;
  for (double v : out) sq += v * v;
  const double sd = n ? std::sqrt(sq / static_cast<double>(n)) : 0.0;
  if (sd > 0.0)
    for (double& v : out) v /= sd;
  return out;
}

// The onsets' autocorrelation about their mean over the tempogram's windows,
// for every window and every whole lag a tempo candidate's period touches.
// Window w reads frames [from, to); for lag L its sum runs over the t with
// t + L < to - 1 (`inner`, the shorter run a fractional lag L + part reads)
// and over those with t + L < to (`outer`, the run of lag L - 1 + part).
// Per lag one pass of running products serves every window, so the cost does
// not grow with the windows' overlap or the number of tempo candidates.
struct LagSums {
  std::size_t firstLag = 0;
  std::size_t lags = 0;
  std::vector<double> inner;  // [w * lags + (L - firstLag)]
  std::vector<double> outer;
};

LagSums lagSums(const std::vector<double>& env, const std::vector<std::size_t>& starts,
                std::size_t window, std::size_t firstLag, std::size_t lastLag) {
  const std::size_t n = env.size();
  LagSums sums;
  sums.firstLag = firstLag;
  sums.lags = lastLag - firstLag + 1;
  sums.inner.assign(starts.size() * sums.lags, 0.0);
  sums.outer.assign(starts.size() * sums.lags, 0.0);
  std::vector<double> prefix(n + 1, 0.0);
  for (std::size_t i = 0; i < n; ++i) prefix[i + 1] = prefix[i] + env[i];
  // means[w]: the window's mean.
  std::vector<double> means(starts.size());
  for (std::size_t w = 0; w < starts.size(); ++w) {
    const std::size_t to = std::min(n, starts[w] + window);
    means[w] = (prefix[to] - prefix[starts[w]]) /
               static_cast<double>(std::max<std::size_t>(1, to - starts[w]));
  }
  // Four lags at a time, so that their running sums advance side by side.
  // The curve reads as zeros past its end, which adds nothing to a sum.
  constexpr std::size_t GROUP = 4;
  std::vector<double> padded(env);
  padded.resize(n + lastLag + GROUP + 1, 0.0);
  std::vector<double> products((n + 1) * GROUP);  // [x * GROUP + g]
  for (std::size_t first = firstLag; first <= lastLag; first += GROUP) {
    // products[x * GROUP + g]: sum of env[t] env[t + first + g] over t < x.
    std::array<double, GROUP> running{};
    for (std::size_t g = 0; g < GROUP; ++g) products[g] = 0.0;
    for (std::size_t t = 0; t < n; ++t)
      for (std::size_t g = 0; g < GROUP; ++g) {
        running[g] += env[t] * padded[t + first + g];
        products[(t + 1) * GROUP + g] = running[g];
      }
    for (std::size_t g = 0; g < GROUP && first + g <= lastLag; ++g) {
      const std::size_t lag = first + g;
      for (std::size_t w = 0; w < starts.size(); ++w) {
        const std::size_t from = starts[w];
        const std::size_t to = std::min(n, from + window);
        const double m = means[w];
        // Sum of (env[t] - m)(env[t + lag] - m) over t in [from, end).
        const auto centred = [&](std::size_t end) {
          if (end <= from) return 0.0;
          const double cross = products[end * GROUP + g] - products[from * GROUP + g];
          const double early = prefix[end] - prefix[from];
          const double late = prefix[end + lag] - prefix[from + lag];
          return cross - m * (early + late) + static_cast<double>(end - from) * m * m;
        };
        const std::size_t at = w * sums.lags + (lag - firstLag);
        sums.inner[at] = to > lag + 1 ? centred(to - lag - 1) : 0.0;
        sums.outer[at] = to > lag ? centred(to - lag) : 0.0;
      }
    }
  }
  return sums;
}

// Evidence for every tempo candidate in window w: how well the onsets repeat
// after one beat period (the later onsets read between whole frames),
// weighted by how readily a listener feels a beat at that tempo.
std::vector<double> tempoEvidence(const LagSums& sums, std::size_t w, std::size_t from,
                                  std::size_t to, const std::vector<double>& bpm,
                                  const std::vector<double>& prior) {
  std::vector<double> evidence(bpm.size(), 0.0);
  for (std::size_t j = 0; j < bpm.size(); ++j) {
    const double lag = 60.0 * ONSET_RATE / bpm[j];
    const auto whole = static_cast<std::size_t>(lag);
    const double part = lag - static_cast<double>(whole);
    const std::size_t count = to > from + whole + 1 ? to - from - whole - 1 : 0;
    double r = 0.0;
    if (count) {
      const std::size_t at = w * sums.lags + (whole - sums.firstLag);
      r = ((1.0 - part) * sums.inner[at] + part * sums.outer[at + 1]) / static_cast<double>(count);
    }
    evidence[j] = std::max(0.0, r) * prior[j];
  }
  return evidence;
}

// How readily a listener feels a beat at each tempo candidate.
std::vector<double> tempoPrior(const std::vector<double>& bpm) {
  std::vector<double> prior(bpm.size());
  for (std::size_t j = 0; j < bpm.size(); ++j) {
    const double octaves = std::log2(bpm[j] / PRIOR_CENTRE_BPM) / PRIOR_WIDTH_OCTAVES;
    prior[j] = std::exp(-0.5 * octaves * octaves);
  }
  return prior;
}

// The beat period (frames) at every frame: a path through the windows'
// tempo evidence, of all onsets and of the bass's, that moves slowly and
// never jumps an octave.
std::vector<double> localPeriods(const std::vector<double>& env, const std::vector<double>& bass) {
  const std::size_t n = env.size();
  const std::vector<double> bpm = tempoCandidates();
  const auto window = static_cast<std::size_t>(std::lround(TEMPO_WINDOW_SECONDS * ONSET_RATE));
  const auto hop = static_cast<std::size_t>(std::lround(TEMPO_HOP_SECONDS * ONSET_RATE));
  std::vector<std::size_t> starts;
  if (n <= window) {
    starts.push_back(0);
  } else {
    for (std::size_t s = 0; s + window < n + hop; s += hop)
      starts.push_back(std::min(s, n - window));
  }
  const std::size_t states = bpm.size();
  std::vector<double> score(states, 0.0);
  std::vector<std::vector<int>> back(starts.size(), std::vector<int>(states, -1));
  const auto firstLag = static_cast<std::size_t>(60.0 * ONSET_RATE / bpm.back());
  const auto lastLag = static_cast<std::size_t>(60.0 * ONSET_RATE / bpm.front()) + 1;
  const std::vector<double> prior = tempoPrior(bpm);
  const LagSums envSums = lagSums(env, starts, window, firstLag, lastLag);
  const LagSums bassSums = lagSums(bass, starts, window, firstLag, lastLag);
  for (std::size_t w = 0; w < starts.size(); ++w) {
    const std::size_t from = starts[w];
    const std::size_t to = std::min(n, from + window);
    std::vector<double> evidence = tempoEvidence(envSums, w, from, to, bpm, prior);
    const std::vector<double> low = tempoEvidence(bassSums, w, from, to, bpm, prior);
    for (std::size_t j = 0; j < evidence.size(); ++j) evidence[j] += TEMPO_BASS_WEIGHT * low[j];
    const double top = *std::max_element(evidence.begin(), evidence.end());
    std::vector<double> next(states);
    for (std::size_t j = 0; j < states; ++j) {
      const double emit = std::log((top > 0.0 ? evidence[j] / top : 0.0) + 0.01);
      if (w == 0) {
        next[j] = emit;
        continue;
      }
      double best = -std::numeric_limits<double>::infinity();
      for (int d = -TEMPO_MOVE; d <= TEMPO_MOVE; ++d) {
        const long i = static_cast<long>(j) + d;
        if (i < 0 || i >= static_cast<long>(states)) continue;
        const double v = score[static_cast<std::size_t>(i)] - TEMPO_MOVE_COST * d * d;
        if (v > best) {
          best = v;
          back[w][j] = static_cast<int>(i);
        }
      }
      next[j] = best + emit;
    }
    score = std::move(next);
  }
  std::vector<int> path(starts.size());
  path.back() = static_cast<int>(std::max_element(score.begin(), score.end()) - score.begin());
  for (std::size_t w = starts.size() - 1; w > 0; --w)
    path[w - 1] = back[w][static_cast<std::size_t>(path[w])];

  // Periods between the windows' middles follow the path linearly.
  std::vector<double> periods(n);
  const double halfWindow = static_cast<double>(std::min(window, n)) / 2.0;
  std::size_t w = 0;  // the window whose middle is the last one at or before t
  for (std::size_t t = 0; t < n; ++t) {
    const double at = static_cast<double>(t);
    while (w + 1 < starts.size() && static_cast<double>(starts[w + 1]) + halfWindow <= at) ++w;
    const double centre = static_cast<double>(starts[w]) + halfWindow;
    double tempo = bpm[static_cast<std::size_t>(path[w])];
    if (w + 1 < starts.size() && at > centre && path[w + 1] != path[w]) {
      const double nextCentre = static_cast<double>(starts[w + 1]) + halfWindow;
      const double f = (at - centre) / (nextCentre - centre);
      tempo *= std::pow(bpm[static_cast<std::size_t>(path[w + 1])] / tempo, f);
    }
    periods[t] = 60.0 * ONSET_RATE / tempo;
  }
  return periods;
}

// Beat frames: each beat on a strong onset, each interval near the local
// period, the best such chain over the whole recording.
std::vector<std::size_t> placeBeats(const std::vector<double>& env,
                                    const std::vector<double>& periods) {
  const std::size_t n = env.size();
  std::vector<double> total(n, 0.0);
  std::vector<long> previous(n, -1);
  // log(gap / period) = log(gap) - log(period); the gaps are whole frames.
  const double longest = *std::max_element(periods.begin(), periods.end());
  std::vector<double> logGap(static_cast<std::size_t>(2.0 * longest) + 3, 0.0);
  for (std::size_t g = 1; g < logGap.size(); ++g) logGap[g] = std::log(static_cast<double>(g));
  std::vector<double> candidates(logGap.size());
  for (std::size_t t = 0; t < n; ++t) {
    const double period = periods[t];
    const double logPeriod = std::log(period);
    const long lo = static_cast<long>(t) - std::lround(1.5 * period);
    const long hi = static_cast<long>(t) - std::lround(period / 1.5);
    double best = -std::numeric_limits<double>::infinity();
    long from = -1;
    // The scores first, then their maximum, then its earliest place: three
    // plain loops the compiler runs several values at a time.
    const long first = std::max(0L, lo);
    const long count = hi - first + 1;
    if (count > 0) {
      const double* before = total.data() + first;
      const double* gaps = logGap.data() + (static_cast<long>(t) - first);
      for (long k = 0; k < count; ++k) {
        const double stretch = gaps[-k] - logPeriod;
        candidates[static_cast<std::size_t>(k)] = before[k] - TIGHTNESS * stretch * stretch;
      }
      // Four running maxima, so that the comparisons overlap; the maximum
      // is the same whatever the order.
      std::array<double, 4> top;
      top.fill(-std::numeric_limits<double>::infinity());
      const double* c = candidates.data();
      long k = 0;
      for (; k + 4 <= count; k += 4)
        for (long j = 0; j < 4; ++j)
          top[static_cast<std::size_t>(j)] = std::max(top[static_cast<std::size_t>(j)], c[k + j]);
      for (; k < count; ++k) top[0] = std::max(top[0], c[k]);
      best = std::max(std::max(top[0], top[1]), std::max(top[2], top[3]));
      k = 0;
      while (candidates[static_cast<std::size_t>(k)] != best) ++k;
      from = first + k;
    }
    total[t] = env[t] + (from >= 0 ? best : 0.0);
    previous[t] = from;
  }
  if (n == 0) return {};
  // The chain ends on the best total within the last two periods.
  const long tail = std::max(0L, static_cast<long>(n) - std::lround(2.0 * periods[n - 1]));
  long last = tail;
  for (long t = tail; t < static_cast<long>(n); ++t)
    if (total[static_cast<std::size_t>(t)] > total[static_cast<std::size_t>(last)]) last = t;
  std::vector<std::size_t> beats;
  for (long t = last; t >= 0; t = previous[static_cast<std::size_t>(t)])
    beats.push_back(static_cast<std::size_t>(t));
  std::reverse(beats.begin(), beats.end());

  // Beats in the quiet before the music starts and after it ends are the
  // chain coasting on: drop those where hardly anything sounds.
  std::vector<double> strength(beats.size());
  double sq = 0.0;
  for (std::size_t i = 0; i < beats.size(); ++i) {
    const double period = periods[beats[i]];
    const long a = static_cast<long>(beats[i]) - std::lround(period / 2);
    const long b = static_cast<long>(beats[i]) + std::lround(period / 2);
    double sum = 0.0;
    long count = 0;
    for (long k = std::max(0L, a); k <= b && k < static_cast<long>(n); ++k, ++count)
      sum += env[static_cast<std::size_t>(k)];
    strength[i] = count ? sum / count : 0.0;
    sq += strength[i] * strength[i];
  }
  const double floor = 0.5 * std::sqrt(sq / std::max<std::size_t>(1, beats.size()));
  std::size_t first = 0;
  std::size_t end = beats.size();
  while (first < end && strength[first] <= floor) ++first;
  while (end > first && strength[end - 1] <= floor) --end;
  return {beats.begin() + static_cast<long>(first), beats.begin() + static_cast<long>(end)};
}

// A beat frame as a fractional frame: the top of a parabola through the
// onset peak it sits on.
double refineFrame(const std::vector<double>& env, std::size_t t) {
  if (t == 0 || t + 1 >= env.size()) return static_cast<double>(t);
  const double a = env[t - 1], b = env[t], c = env[t + 1];
  const double curve = a - 2.0 * b + c;
  if (b < a || b < c || curve >= 0.0) return static_cast<double>(t);
  return static_cast<double>(t) + std::clamp(0.5 * (a - c) / curve, -0.5, 0.5);
}

// Moves a beat onto the attack that begins within a few milliseconds of it:
// the first run of 32 frames whose loudness jumps well above the runs just
// before it.
double onAttack(const std::int16_t* left, const std::int16_t* right, std::size_t frames,
                double seconds) {
  constexpr long RUN = 32;
  constexpr long REACH = 10;  // runs either side: 7 ms
  constexpr long BEFORE = 8;
  const long centre = std::lround(seconds * SAMPLE_RATE / RUN);
  const long first = std::max(0L, centre - REACH - BEFORE);
  const long last = std::min(static_cast<long>(frames / RUN) - 1, centre + REACH + 1);
  if (last <= first) return seconds;
  std::vector<double> loudness(static_cast<std::size_t>(last - first + 1));
  for (long j = first; j <= last; ++j) {
    long sum = 0;
    for (long f = j * RUN; f < (j + 1) * RUN; ++f) sum += std::abs(left[f] + right[f]);
    loudness[static_cast<std::size_t>(j - first)] = static_cast<double>(sum);
  }
  const auto at = [&](long j) { return loudness[static_cast<std::size_t>(j - first)]; };
  double bestRise = 0.0;
  long best = -1;
  for (long j = std::max(0L, centre - REACH); j <= centre + REACH && j + 1 <= last; ++j) {
    // Before the recording's first frame there is silence.
    double before = 0.0;
    for (long k = std::max(first, j - BEFORE); k < j; ++k) before += at(k);
    before /= BEFORE;
    const double after = 0.5 * (at(j) + at(j + 1));
    if (after > 2.0 * before + 1.0 && after - before > bestRise) {
      bestRise = after - before;
      best = j;
    }
  }
  return best < 0 ? seconds : static_cast<double>(best) * RUN / SAMPLE_RATE;
}

}  // namespace

BeatTrack trackBeats(const std::int16_t* left, const std::int16_t* right, std::size_t frames) {
  return trackBeats(left, right, frames, computeBeatFeatures(left, right, frames));
}

BeatTrack trackBeats(const std::int16_t* left, const std::int16_t* right, std::size_t frames,
                     const BeatFeatures& features) {
  BeatTrack track;
  if (features.onset.size() < 8) return track;
  const std::vector<double> env = beatEnvelope(features.onset, features.bass);
  const std::vector<float> nothing(features.bass.size(), 0.0f);
  const std::vector<double> bassEnv = beatEnvelope(nothing, features.bass);
  const std::vector<std::size_t> frameBeats = placeBeats(env, localPeriods(env, bassEnv));
  if (frameBeats.empty()) return track;

  std::vector<double> fine;
  for (std::size_t t : frameBeats) fine.push_back(refineFrame(env, t));
  for (double f : fine) {
    const double seconds = f * ONSET_HOP / SAMPLE_RATE + ONSET_DELAY_SECONDS;
    track.beats.push_back(onAttack(left, right, frames, std::max(0.0, seconds)));
  }
  const Meter meter = findMeter(features, fine);
  track.beatsPerBar = meter.beatsPerBar;
  for (std::size_t i = static_cast<std::size_t>(meter.firstDownbeat); i < track.beats.size();
       i += static_cast<std::size_t>(meter.beatsPerBar))
    track.downbeats.push_back(track.beats[i]);
  if (track.beats.size() >= 2) {
    std::vector<double> tempi;
    for (std::size_t i = 1; i < track.beats.size(); ++i)
      tempi.push_back(60.0 / (track.beats[i] - track.beats[i - 1]));
    std::nth_element(tempi.begin(), tempi.begin() + static_cast<long>(tempi.size() / 2),
                     tempi.end());
    track.bpm = tempi[tempi.size() / 2];
  }
  return track;
}

namespace {

// The frames of an opened recording the tracker reads: those after the
// lead-in that the file held.
std::size_t trackedFrames(const Recording& recording) {
  return std::min<std::size_t>(
      recording.framesRead,
      recording.left.size() - std::min<std::size_t>(recording.left.size(), LEAD_IN_FRAMES));
}

}  // namespace

BeatTrack trackBeats(const Recording& recording) {
  if (!recording.hasSamples()) return {};
  return trackBeats(recording.left.data() + LEAD_IN_FRAMES, recording.right.data() + LEAD_IN_FRAMES,
                    trackedFrames(recording));
}

void detectOnsetsTrackingBeats(Recording& recording) {
  if (!recording.hasSamples()) {
    detectOnsets(recording);
    recording.beatTrack = {};
    recording.beatsTracked = true;
    return;
  }
  const std::int16_t* left = recording.left.data() + LEAD_IN_FRAMES;
  const std::int16_t* right = recording.right.data() + LEAD_IN_FRAMES;
  const std::size_t frames = trackedFrames(recording);
  BeatFeatureStream stream(left, right, frames);
  detectOnsets(recording, [&](std::size_t read) {
    if (read > LEAD_IN_FRAMES) stream.readTo(read - LEAD_IN_FRAMES);
  });
  recording.beatTrack = trackBeats(left, right, frames, stream.finish());
  recording.beatsTracked = true;
}

}  // namespace quavrix
