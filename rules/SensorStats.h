#pragma once
// The sensor list's statistics of a live link: per sensor the lowest and highest value shown since
// the link came up, and the rate at which the poll thread really reads its source, from the
// source's read count over the last two seconds. A sensor that is logged (and supported) but has
// not been read in that time is stale.
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

class TSensorList;
class TDisplayVar;

// "0" for none, one decimal below ten ("2.5"), whole numbers from ten ("24").
std::string ReadRateText(double perSecond);

class TSensorStats {
 public:
  static constexpr int64_t RateWindowMs = 2000;
  // The shortest stretch a rate is worked out over, so the first refreshes show no wild figures.
  static constexpr int64_t FirstRateMs = 1000;

  // Forgets the values and counts (the link has come up anew).
  void Reset();
  // One refresh of the live link at nowMs (a steady clock, in milliseconds): every display
  // sensor's value in its unit, as the list shows it, and every raw variable's read count. A
  // sensor counts once its source has been read since the reset; a change of its unit starts its
  // lowest and highest values anew.
  void Sample(const TSensorList& sensors, int64_t nowMs);

  struct TCells {
    std::string Lowest, Highest, Rate;  // empty before there is anything to show
    bool Stale = false;                 // logged, yet not read for RateWindowMs
    bool operator==(const TCells&) const = default;
  };
  TCells CellsOf(const TDisplayVar& var) const;

 private:
  struct TRange {
    uint8_t Unit = 0;
    double Low = 0, High = 0;
  };
  struct TSnapshot {
    int64_t Ms = 0;
    std::vector<uint32_t> Reads;  // by the raw variable's place in the catalogue
  };
  const TSensorList* sensors_ = nullptr;
  std::vector<uint32_t> base_;  // read counts at the reset
  std::deque<TSnapshot> snapshots_;
  std::unordered_map<const TDisplayVar*, TRange> ranges_;
};
