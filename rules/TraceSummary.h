#pragma once
// A graphed sensor's values by sample index, with the lowest and highest value of every 8, 64,
// 512, ... samples kept beside its history, so that a chart of any length finds the extremes of
// each pixel column in a few steps and a one-sample spike never vanishes as the view widens.
// It is built by the user-interface thread as it draws, for the samples appended since the last
// time: the poll thread only appends to the history and never waits for it.
#include <cstdint>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

class TDisplayVar;
class TVarHist;

class TTraceSummary {
 public:
  static constexpr int32_t Fanout = 8;

  TTraceSummary(TDisplayVar& var, const TVarHist& history, uint8_t unit);

  // The sensor's value at sample i (below the history's count), in the summary's unit.
  double ValueAt(int32_t i);
  // Summarises what the history gained since the last call.
  void Extend();
  // Lowest and highest value of samples first .. last - 1 (first < last <= the count that Extend
  // last saw or later samples, which are read one by one).
  void MinMax(int32_t first, int32_t last, double& lo, double& hi);
  // Samples covered by whole groups.
  int32_t Summarised() const;
  // The time (ticks) of the first sample of each group of 8: where a column of a wide view ends
  // is found in these few bytes instead of all over the history.
  const std::vector<uint32_t>& GroupTicks() const { return groupTicks_; }
  size_t MemoryBytes() const;

 private:
  struct TRange {
    float Lo;
    float Hi;
  };
  TDisplayVar& var_;
  const TVarHist& history_;
  uint8_t unit_;
  bool byRaw_;
  // Converted values by raw value, filled as raw values turn up (NaN: not yet converted).
  std::vector<double> table_;
  // levels_[0][j]: samples 8j .. 8j + 7; levels_[k][j]: groups 8j .. 8j + 7 of level k - 1.
  std::vector<std::vector<TRange>> levels_;
  std::vector<uint32_t> groupTicks_;
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
