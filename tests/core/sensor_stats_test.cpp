// The sensor list's statistics of a live link: lowest and highest values since the link came up,
// the rate each sensor is really read at, stale sensors, and the columns sharing the list's width.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "rules/Dashboard.h"
#include "rules/SensorStats.h"
#include "vars/SensorList.h"

namespace {

class SensorStats : public CatalogueTest {
 protected:
  // The poll thread's part: a value read from the ECU.
  void Read(TRawVar& raw, uint16_t value, int times = 1) {
    raw.RawValue = value;
    for (int i = 0; i < times; ++i) raw.ReadCount++;
  }
  TSensorStats stats_;
};

TEST_F(SensorStats, LowestHighestAndTheRateSinceTheLinkCameUp) {
  TRawVar& revs = *sensors_->RawRevs;
  TDisplayVar& var = *sensors_->Revs;
  Read(revs, 500, 7);  // before the link came up: not counted
  stats_.Sample(*sensors_, 0);
  EXPECT_EQ(stats_.CellsOf(var), TSensorStats::TCells{});
  const struct {
    int64_t ms;
    uint16_t raw;
    int reads;
    bool ranged;  // lowest and highest shown
    std::string rate;
  } steps[] = {
      {100, 300, 3, true, ""},      {600, 900, 5, true, ""},      // under a second: no rate yet
      {1000, 600, 2, true, "10"},   {2000, 600, 20, true, "15"},  // 30 reads over 2 s
      {3000, 600, 0, true, "10"},   {4100, 600, 0, true, "0"},    // the last reads more than 2 s ago
  };
  for (const auto& s : steps) {
    Read(revs, s.raw, s.reads);
    stats_.Sample(*sensors_, s.ms);
    const TSensorStats::TCells cells = stats_.CellsOf(var);
    EXPECT_EQ(cells.Rate, s.rate) << s.ms;
    EXPECT_EQ(cells.Lowest.empty(), !s.ranged) << s.ms;
  }
  // The values shown came from the raw values 300, 900 and 600 (the revs fall as the raw value,
  // a period, grows).
  var.Source.load()->RawValue = 900;
  const double fewest = var.GetValue(var.Unit);
  var.Source.load()->RawValue = 300;
  const double most = var.GetValue(var.Unit);
  ASSERT_LT(fewest, most);
  EXPECT_EQ(stats_.CellsOf(var).Lowest, FormatValue(var.Unit, fewest));
  EXPECT_EQ(stats_.CellsOf(var).Highest, FormatValue(var.Unit, most));
  // Logged and not read for two seconds: stale; not logged: only slow.
  EXPECT_TRUE(stats_.CellsOf(var).Stale);
  revs.PollEnabled = 0;
  EXPECT_FALSE(stats_.CellsOf(var).Stale);
  // A new link starts anew.
  stats_.Reset();
  EXPECT_EQ(stats_.CellsOf(var), TSensorStats::TCells{});
}

TEST_F(SensorStats, ANeverReadSensorShowsNoRangeAndAChangedUnitStartsItsRangeAnew) {
  TDisplayVar& map = *sensors_->MAP;
  stats_.Sample(*sensors_, 0);
  stats_.Sample(*sensors_, 1500);
  EXPECT_TRUE(stats_.CellsOf(map).Lowest.empty());
  EXPECT_EQ(stats_.CellsOf(map).Rate, "0");
  map.Unit = UNIT_MBAR;
  Read(*map.Source.load(), 200);
  stats_.Sample(*sensors_, 1600);
  Read(*map.Source.load(), 100);
  stats_.Sample(*sensors_, 1700);
  const TSensorStats::TCells mbar = stats_.CellsOf(map);
  EXPECT_NE(mbar.Lowest, mbar.Highest);
  map.Unit = UNIT_INHG;
  stats_.Sample(*sensors_, 1800);
  const std::string now = FormatValue(map.Unit, map.GetValue(map.Unit));
  EXPECT_EQ(stats_.CellsOf(map), (TSensorStats::TCells{now, now, stats_.CellsOf(map).Rate, false}));
}

TEST(SensorListColumns, RatesAndWidths) {
  EXPECT_EQ(ReadRateText(0), "0");
  EXPECT_EQ(ReadRateText(0.5), "0.5");
  EXPECT_EQ(ReadRateText(9.94), "9.9");
  EXPECT_EQ(ReadRateText(9.96), "10");
  EXPECT_EQ(ReadRateText(24.4), "24");
  // What is left beyond the narrowest widths goes by shares; the last pixels to the first sharers.
  EXPECT_EQ(SpreadColumns(100, {10, 20, 30}, {0, 1, 1}), (std::vector<int>{10, 40, 50}));
  EXPECT_EQ(SpreadColumns(101, {10, 20, 30}, {0, 1, 2}), (std::vector<int>{10, 34, 57}));
  EXPECT_EQ(SpreadColumns(50, {10, 20, 30}, {0, 1, 1}), (std::vector<int>{10, 20, 30}));  // too narrow
  int sum = 0;
  for (int w : SpreadColumns(1900, {30, 160, 55, 50, 75, 75, 75, 65}, {0, 3, 2, 1, 1, 2, 2, 1})) sum += w;
  EXPECT_EQ(sum, 1900);
}

}  // namespace
