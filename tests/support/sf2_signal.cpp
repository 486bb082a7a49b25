#include "support/sf2_signal.h"

#include <algorithm>
#include <cmath>

namespace quavrix::test {

double rmsLeft(const std::vector<float>& stereo, std::size_t start, std::size_t count) {
  const std::size_t end = std::min(start + count, stereo.size() / 2);
  if (end <= start) return 0.0;
  double sum = 0.0;
  for (std::size_t i = start; i < end; ++i) sum += double(stereo[2 * i]) * stereo[2 * i];
  return std::sqrt(sum / static_cast<double>(end - start));
}

double toneLeft(const std::vector<float>& stereo, std::size_t start, std::size_t count,
                double frequency, double rate) {
  const std::size_t end = std::min(start + count, stereo.size() / 2);
  if (end <= start) return 0.0;
  const double w = 2.0 * 3.14159265358979323846 * frequency / rate;
  const double coeff = 2.0 * std::cos(w);
  double s1 = 0.0, s2 = 0.0;
  for (std::size_t i = start; i < end; ++i) {
    const double s = stereo[2 * i] + coeff * s1 - s2;
    s2 = s1;
    s1 = s;
  }
  const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
  return 2.0 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(end - start);
}

double strongestTone(const std::vector<float>& stereo, std::size_t start, std::size_t count,
                     const std::vector<double>& candidates, double rate) {
  double best = 0.0, bestLevel = -1.0;
  for (const double f : candidates) {
    const double level = toneLeft(stereo, start, count, f, rate);
    if (level > bestLevel) {
      best = f;
      bestLevel = level;
    }
  }
  return best;
}

}  // namespace quavrix::test
