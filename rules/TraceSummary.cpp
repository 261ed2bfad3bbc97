#include "rules/TraceSummary.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "history/History.h"
#include "vars/SensorList.h"

namespace {
// A sensor whose value also reads the next samples (the acceleration reads two ahead) may still
// change for the newest samples while recording: those stay out of the buckets and sums.
constexpr int32_t kSettlingSamples = 2;
// Level 0 is sized for about this many samples a bucket.
constexpr double kSamplesPerBucket = 4;
// The size is chosen again once the samples have grown this many times since.
constexpr int32_t kRechooseGrowth = 16;
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr TTraceSummary::TRange kEmpty{kInf, -kInf};

// The smallest k with 2^k >= ticks, within 0 .. 62.
int ShiftFor(double ticks) {
  int k = 0;
  while (k < 62 && static_cast<double>(uint64_t{1} << k) < ticks) ++k;
  return k;
}

// The bucket of a time at a bucket size of 2^shift ticks (times along a history never fall below
// the first, which is not negative).
size_t BucketOf(TTicks ticks, int shift) { return static_cast<size_t>(static_cast<uint64_t>(std::max<TTicks>(ticks, 0)) >> shift); }

// Level 0 may hold a bucket for every second sample, so that a pause in the samples costs no more
// than they do; past that the buckets are made wider.
size_t BucketCapFor(int32_t samples) { return std::max<size_t>(4096, static_cast<size_t>(samples) / 2); }

void Widen(TTraceSummary::TRange& r, float lo, float hi) {
  if (lo < r.Lo) r.Lo = lo;
  if (hi > r.Hi) r.Hi = hi;
}
}  // namespace

TTraceSummary::TTraceSummary(TDisplayVar& var, const TVarHist& history, uint8_t unit)
    : var_(var), history_(history), unit_(unit), byRaw_(var.ValueFollowsRaw()), followsBefore_(var.FollowsSamplesBefore()) {}

double TTraceSummary::ValueAt(int32_t i) {
  if (byRaw_) return Converted(history_.RawOf(i));
  if (!followsBefore_) return var_.GetValueAtIndex(unit_, i);
  if (i <= state_.Last || i - state_.Last > HeldEvery) {
    // From the state kept at or before i.
    state_ = held_[std::min(static_cast<size_t>(i / HeldEvery), held_.size() - 1)];
  }
  while (state_.Last + 1 < i) var_.GetValueAtIndex(unit_, state_.Last + 1, state_);
  return var_.GetValueAtIndex(unit_, i, state_);
}

double TTraceSummary::Converted(uint16_t raw) {
  // As long as the largest raw value seen: a few hundred entries for a one-byte sensor.
  if (raw >= table_.size()) table_.resize(raw + size_t{1}, std::numeric_limits<double>::quiet_NaN());
  double& v = table_[raw];
  if (std::isnan(v)) v = var_.ConvertRecorded(unit_, raw);
  return v;
}

int TTraceSummary::LevelFor(double ticks) const {
  int level = -1;
  for (int l = 0; l < LevelCount() && static_cast<double>(BucketTicks(l)) <= ticks; ++l) level = l;
  return level;
}

void TTraceSummary::Extend() {
  const int32_t usable = history_.Count() - kSettlingSamples;
  if (usable <= done_) return;
  if (shift_ < 0) {
    if (usable < 2) return;
    // From the first and last sample: about four samples a bucket.
    const double span = static_cast<double>(history_.TicksOf(usable - 1) - history_.TicksOf(0));
    shift_ = ShiftFor(kSamplesPerBucket * span / (usable - 1));
    chosenAt_ = usable;
    levels_.assign(1, {});
  }
  size_t touched = SIZE_MAX;
  bool fits = true;
  const size_t cap = BucketCapFor(usable);
  std::vector<TRange>& first = levels_[0];
  int32_t i = done_;
  history_.ForEachSample(done_, usable, [&](TTicks ticks, uint16_t raw) {
    const double v = byRaw_ ? Converted(raw) : var_.GetValueAtIndex(unit_, i, extendState_);
    total_ += v;
    if (++i % HeldEvery == 0 && followsBefore_) held_.push_back(extendState_);
    if (i % SumBlock == 0) sums_.push_back(total_);
    if (!fits) return;
    const size_t b = BucketOf(ticks, shift_);
    if (b >= first.size()) {
      // A time far beyond what the size was chosen for: all samples are bucketed again below.
      if (b >= cap) {
        fits = false;
        return;
      }
      first.resize(b + 1, kEmpty);
    }
    touched = std::min(touched, b);
    const auto f = static_cast<float>(v);
    Widen(first[b], f, f);
  });
  done_ = usable;
  if (!fits || done_ >= kRechooseGrowth * chosenAt_)
    Rebucket();
  else
    UpdateLevels(touched);
}

void TTraceSummary::Rebucket() {
  // Times along a history never fall: the first and the last span them.
  const TTicks lo = history_.TicksOf(0), hi = history_.TicksOf(done_ - 1);
  shift_ = ShiftFor(kSamplesPerBucket * static_cast<double>(hi - lo) / std::max(done_ - 1, 1));
  while (BucketOf(hi, shift_) >= BucketCapFor(done_)) ++shift_;
  chosenAt_ = done_;
  levels_.assign(1, {});
  std::vector<TRange>& first = levels_[0];
  int32_t i = 0;
  TDisplayVar::TReadState state;
  history_.ForEachSample(0, done_, [&](TTicks ticks, uint16_t raw) {
    const size_t b = BucketOf(ticks, shift_);
    if (b >= first.size()) first.resize(b + 1, kEmpty);
    const auto f = static_cast<float>(byRaw_ ? Converted(raw) : var_.GetValueAtIndex(unit_, i, state));
    Widen(first[b], f, f);
    ++i;
  });
  UpdateLevels(0);
}

void TTraceSummary::UpdateLevels(size_t firstTouched) {
  if (firstTouched == SIZE_MAX) return;
  size_t from = firstTouched;
  for (size_t level = 0; levels_[level].size() > 1; ++level) {
    if (level + 1 == levels_.size()) levels_.emplace_back();
    const std::vector<TRange>& below = levels_[level];
    std::vector<TRange>& above = levels_[level + 1];
    const size_t n = (below.size() + Fanout - 1) / Fanout;
    above.resize(n, kEmpty);
    from /= Fanout;
    for (size_t j = from; j < n; ++j) {
      TRange r = kEmpty;
      for (size_t k = j * Fanout; k < std::min(below.size(), (j + 1) * Fanout); ++k) Widen(r, below[k].Lo, below[k].Hi);
      above[j] = r;
    }
  }
}

double TTraceSummary::SumBefore(int32_t i) {
  const int32_t k = std::min(i, done_) / SumBlock;
  double s = sums_[static_cast<size_t>(k)];
  for (int32_t j = k * SumBlock; j < i; ++j) s += ValueAt(j);
  return s;
}

TTraceSummary::TStats TTraceSummary::Stats(int32_t first, int32_t last) {
  TStats s;
  first = std::max(first, 0);
  last = std::min(last, history_.Count());
  if (last <= first) return s;
  s.Count = last - first;
  s.Sum = SumBefore(last) - SumBefore(first);
  TRange r = kEmpty;
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  auto take = [&](int32_t i) {
    const double v = ValueAt(i);
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  };
  // Samples in time order fill whole buckets between the first's and the last's: those are read
  // from the buckets, the samples at either end one by one.
  int32_t a = first, b = std::min(last, done_);
  if (shift_ >= 0 && b - a > 2 * SumBlock) {
    const size_t ba = BucketOf(history_.TicksOf(a), shift_), bb = BucketOf(history_.TicksOf(b - 1), shift_);
    while (a < b && BucketOf(history_.TicksOf(a), shift_) == ba) take(a++);
    while (b > a && BucketOf(history_.TicksOf(b - 1), shift_) == bb) take(--b);
    size_t ga = ba + 1, gb = bb;
    for (size_t level = 0; ga < gb; ++level) {
      const std::vector<TRange>& l = levels_[level];
      if (level + 1 == levels_.size()) {
        for (size_t j = ga; j < gb; ++j) Widen(r, l[j].Lo, l[j].Hi);
        break;
      }
      for (; ga < gb && ga % Fanout != 0; ++ga) Widen(r, l[ga].Lo, l[ga].Hi);
      for (; gb > ga && gb % Fanout != 0; --gb) Widen(r, l[gb - 1].Lo, l[gb - 1].Hi);
      ga /= Fanout;
      gb /= Fanout;
    }
    a = b;  // the samples between are in r
  }
  for (int32_t i = a; i < b; ++i) take(i);
  for (int32_t i = std::max(first, std::min(last, done_)); i < last; ++i) take(i);
  s.Lo = r.Empty() ? lo : std::min<double>(lo, r.Lo);
  s.Hi = r.Empty() ? hi : std::max<double>(hi, r.Hi);
  return s;
}

size_t TTraceSummary::MemoryBytes() const {
  size_t n = table_.capacity() * sizeof(double) + sums_.capacity() * sizeof(double) +
             held_.capacity() * sizeof(TDisplayVar::TReadState);
  for (const auto& l : levels_) n += l.capacity() * sizeof(TRange);
  return n;
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
