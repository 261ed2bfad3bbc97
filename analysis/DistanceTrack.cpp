#include "analysis/DistanceTrack.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "history/History.h"
#include "vars/Conversions.h"

TDistanceTrack::TDistanceTrack(const TVarHist& speed, double speedConstant) {
  const int32_t n = speed.Count();
  times_.reserve(static_cast<size_t>(n));
  speeds_.reserve(static_cast<size_t>(n));
  metres_.reserve(static_cast<size_t>(n));
  double travelled = 0;
  for (int32_t i = 0; i < n; ++i) {
    const double t = speed.TimeOf(i);
    const double v = SpeedRawToKmh(speed.RawOf(i), speedConstant) / 3.6;
    if (i > 0 && t > times_.back()) travelled += (speeds_.back() + v) / 2 * (t - times_.back());
    times_.push_back(t);
    speeds_.push_back(v);
    metres_.push_back(travelled);
  }
}

size_t TDistanceTrack::FirstSampleAfter(double t) const {
  return static_cast<size_t>(std::upper_bound(times_.begin(), times_.end(), t) - times_.begin());
}

double TDistanceTrack::At(double t) const {
  const size_t after = FirstSampleAfter(t);
  if (after == 0) return 0;
  const size_t j = after - 1;
  const double tau = t - times_[j];
  if (after == times_.size()) return metres_[j] + speeds_[j] * tau;
  const double change = (speeds_[after] - speeds_[j]) / (times_[after] - times_[j]);
  return metres_[j] + speeds_[j] * tau + change * tau * tau / 2;
}

double TDistanceTrack::TimeAt(double metres, double notBefore) const {
  if (At(notBefore) >= metres) return notBefore;
  // The first sample at or beyond the distance; the way there lies between it and the one before.
  const size_t from = FirstSampleAfter(notBefore);
  const size_t k = static_cast<size_t>(std::lower_bound(metres_.begin() + static_cast<std::ptrdiff_t>(from), metres_.end(), metres) -
                                       metres_.begin());
  if (k == times_.size()) {
    const double v = speeds_.back();
    return v > 0 ? times_.back() + (metres - metres_.back()) / v : std::numeric_limits<double>::infinity();
  }
  // Within the segment the distance is v0 tau + (v1 - v0) / (2 dt) tau^2; the root in the form
  // that stays exact when the speed barely changes.
  const size_t j = k - 1;
  const double dt = times_[k] - times_[j];
  const double rest = metres - metres_[j];
  const double v0 = speeds_[j];
  const double half = (speeds_[k] - v0) / (2 * dt);
  const double root = v0 + std::sqrt(std::max(0.0, v0 * v0 + 4 * half * rest));
  return times_[j] + (root > 0 ? std::min(dt, 2 * rest / root) : dt);
}
