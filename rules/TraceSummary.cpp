#include "rules/TraceSummary.h"

#include <cmath>
#include <limits>

#include "history/History.h"
#include "vars/SensorList.h"

namespace {
// A sensor whose value also reads the next samples (the acceleration reads two ahead) may still
// change for the newest samples while recording: those stay out of the groups.
constexpr int32_t kSettlingSamples = 2;
constexpr double kInf = std::numeric_limits<double>::infinity();
}  // namespace

TTraceSummary::TTraceSummary(TDisplayVar& var, const TVarHist& history, uint8_t unit)
    : var_(var), history_(history), unit_(unit), byRaw_(var.ValueFollowsRaw()) {
  levels_.emplace_back();
}

double TTraceSummary::ValueAt(int32_t i) {
  if (!byRaw_) return var_.GetValueAtIndex(unit_, i);
  const uint16_t raw = history_.RawOf(i);
  // As long as the largest raw value seen: a few hundred entries for a one-byte sensor.
  if (raw >= table_.size()) table_.resize(raw + size_t{1}, std::numeric_limits<double>::quiet_NaN());
  double& v = table_[raw];
  if (std::isnan(v)) v = var_.ConvertRecorded(unit_, raw);
  return v;
}

void TTraceSummary::Extend() {
  const int32_t usable = history_.Count() - kSettlingSamples;
  if (usable <= 0) return;
  const auto groups = static_cast<size_t>(usable / Fanout);
  auto& first = levels_[0];
  while (first.size() < groups) {
    const auto base = static_cast<int32_t>(first.size()) * Fanout;
    double lo = kInf, hi = -kInf;
    for (int32_t k = base; k < base + Fanout; ++k) {
      const double v = ValueAt(k);
      if (v < lo) lo = v;
      if (v > hi) hi = v;
    }
    first.push_back({static_cast<float>(lo), static_cast<float>(hi)});
    groupTicks_.push_back(history_.TicksOf(base));
  }
  for (size_t level = 0; levels_[level].size() >= static_cast<size_t>(Fanout); ++level) {
    if (level + 1 == levels_.size()) levels_.emplace_back();
    const auto& below = levels_[level];
    auto& above = levels_[level + 1];
    while (above.size() < below.size() / Fanout) {
      const size_t base = above.size() * Fanout;
      TRange r{below[base].Lo, below[base].Hi};
      for (size_t k = base + 1; k < base + Fanout; ++k) {
        if (below[k].Lo < r.Lo) r.Lo = below[k].Lo;
        if (below[k].Hi > r.Hi) r.Hi = below[k].Hi;
      }
      above.push_back(r);
    }
  }
}

int32_t TTraceSummary::Summarised() const { return static_cast<int32_t>(levels_[0].size()) * Fanout; }

size_t TTraceSummary::MemoryBytes() const {
  size_t n = table_.capacity() * sizeof(double);
  for (const auto& l : levels_) n += l.capacity() * sizeof(TRange);
  return n;
}

void TTraceSummary::MinMax(int32_t first, int32_t last, double& lo, double& hi) {
  lo = kInf;
  hi = -kInf;
  auto take = [&](double v) {
    if (v < lo) lo = v;
    if (v > hi) hi = v;
  };
  auto takeRange = [&](const TRange& r) {
    if (r.Lo < lo) lo = r.Lo;
    if (r.Hi > hi) hi = r.Hi;
  };
  int32_t a = first, b = last;
  const int32_t covered = Summarised();
  while (b > a && b > covered) take(ValueAt(--b));
  while (a < b && a % Fanout != 0) take(ValueAt(a++));
  while (b > a && b % Fanout != 0) take(ValueAt(--b));
  size_t ga = static_cast<size_t>(a / Fanout), gb = static_cast<size_t>(b / Fanout);
  for (size_t level = 0; ga < gb; ++level) {
    const auto& groups = levels_[level];
    if (level + 1 == levels_.size()) {
      for (size_t j = ga; j < gb; ++j) takeRange(groups[j]);
      break;
    }
    while (ga < gb && ga % Fanout != 0) takeRange(groups[ga++]);
    while (gb > ga && gb % Fanout != 0) takeRange(groups[--gb]);
    ga /= Fanout;
    gb /= Fanout;
  }
}

TTraceSummary& TTraceCache::For(TDisplayVar& var, const TVarHist& history, uint8_t unit) {
  TEntry& e = map_[TKey{&var, &history, unit}];
  if (!e.Summary) e.Summary = std::make_unique<TTraceSummary>(var, history, unit);
  e.Used = true;
  return *e.Summary;
}

void TTraceCache::DropUnused() {
  for (auto it = map_.begin(); it != map_.end();) {
    if (!it->second.Used) {
      it = map_.erase(it);
    } else {
      it->second.Used = false;
      ++it;
    }
  }
}
