#pragma once
// A graphed sensor's values kept beside its history so that a chart of any length costs the same:
//   - buckets by unwrapped time: level 0 holds the lowest and highest value of the samples in each stretch
//     of 2^k ticks (k chosen so that a bucket holds about four samples), each level above joins
//     four buckets of the level below; a wide view reads a few buckets per pixel column and never
//     the sample times, and a one-sample spike stays in its bucket at every level;
//   - running sums every 64 samples, for the mean of any stretch (and, for a value that follows
//     from the samples before, the reading state every 16, so any value is a few samples' work).
// It is built by the user-interface thread as it draws, for the samples appended since the last
// time: the poll thread only appends to the history and never waits for it.
#include <cstdint>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "vars/SensorList.h"

class TVarHist;

class TTraceSummary {
 public:
  static constexpr int Fanout = 4;
  static constexpr int32_t SumBlock = 64;

  TTraceSummary(TDisplayVar& var, const TVarHist& history, uint8_t unit);

  // The sensor's value at sample i (below the history's count), in the summary's unit.
  double ValueAt(int32_t i);
  // Summarises what the history gained since the last call.
  void Extend();
  // Samples in the buckets and sums (the newest ones stay out until they settle).
  int32_t Summarised() const { return done_; }

  struct TRange {
    float Lo;
    float Hi;
    bool Empty() const { return !(Lo <= Hi); }
  };
  // Levels of buckets; none before two samples have settled.
  int LevelCount() const { return static_cast<int>(levels_.size()); }
  // Ticks one bucket of a level spans.
  uint64_t BucketTicks(int level) const { return uint64_t{1} << (shift_ + 2 * level); }
  const std::vector<TRange>& Level(int level) const { return levels_[static_cast<size_t>(level)]; }
  // The coarsest level whose buckets span at most the given ticks; -1 when even level 0 is wider.
  int LevelFor(double ticks) const;

  struct TStats {
    int32_t Count = 0;
    double Lo = 0;
    double Hi = 0;
    double Sum = 0;
    double Mean() const { return Count > 0 ? Sum / Count : 0; }
  };
  // Lowest, highest and sum of the values of samples first .. last - 1 (last <= the count).
  TStats Stats(int32_t first, int32_t last);
  size_t MemoryBytes() const;

 private:
  // The value of a raw sample for a sensor that converts the raw value alone.
  double Converted(uint16_t raw);
  // Chooses the bucket size anew for the samples below done_ and buckets them all again.
  void Rebucket();
  void UpdateLevels(size_t firstTouched);
  // The sum of the values of samples 0 .. i - 1.
  double SumBefore(int32_t i);

  TDisplayVar& var_;
  const TVarHist& history_;
  uint8_t unit_;
  bool byRaw_;
  bool followsBefore_;  // the value depends on the samples before it (the gear)
  // Converted values by raw value, filled as raw values turn up (NaN: not yet converted).
  std::vector<double> table_;
  int32_t done_ = 0;
  // For values that follow from the samples before (the gear): the state after every 16th
  // sample as Extend passed it (held_[k] after sample 16k - 1), so a value asked anywhere is
  // worked out from at most 15 samples before it; the states of Extend and of ValueAt.
  static constexpr int32_t HeldEvery = 16;
  std::vector<TDisplayVar::TReadState> held_{TDisplayVar::TReadState{}};
  TDisplayVar::TReadState extendState_, state_;
  int shift_ = -1;         // level 0 spans 2^shift_ ticks; -1 until chosen
  int32_t chosenAt_ = 0;   // samples when the size was chosen; chosen again at 16 times as many
  std::vector<std::vector<TRange>> levels_;
  std::vector<double> sums_{0.0};  // sums_[k]: the sum of samples 0 .. 64k - 1
  double total_ = 0;
};

// The summaries a chart keeps, one per sensor, history and unit in use.
class TTraceCache {
 public:
  TTraceSummary& For(TDisplayVar& var, const TVarHist& history, uint8_t unit);
  // Forgets every summary (the recording or the values' meaning changed).
  void Clear() { map_.clear(); }
  // Forgets the summaries not asked for since the last call.
  void DropUnused();
  size_t Size() const { return map_.size(); }

 private:
  using TKey = std::tuple<const TDisplayVar*, const TVarHist*, uint8_t>;
  struct TEntry {
    std::unique_ptr<TTraceSummary> Summary;
    bool Used = true;
  };
  std::map<TKey, TEntry> map_;
};
