// Lap rows from the lap signals of the current recording.
#include "rules/LapRows.h"
#include "recording_support.h"

namespace {

class Laps : public RecordingTest {};

TEST_F(Laps, EachSignalEndsALapMeasuredFromThePreviousOne) {
  auto rows = LapRowsFromTimes({65.5, 128.25});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].LapText, "1");
  EXPECT_EQ(rows[0].TimeText, "65.5");
  EXPECT_EQ(rows[1].LapText, "2");
  EXPECT_EQ(rows[1].TimeText, "62.75");
  EXPECT_DOUBLE_EQ(rows[1].Seconds, 62.75);
}

TEST_F(Laps, TimesAreGeneralNumbersWithoutTrailingZeros) {
  EXPECT_EQ(FormatLapTime(62.34521), "62.34521");
  EXPECT_EQ(FormatLapTime(60.0), "60");
  // Tick arithmetic noise disappears at 15 digits.
  EXPECT_EQ(FormatLapTime(6550000 * 0.00001), "65.5");
  EXPECT_EQ(FormatLapTime(12825000 * 0.00001 - 6550000 * 0.00001), "62.75");
}

TEST_F(Laps, ComeFromTheLapHistoryOfTheCurrentRecording) {
  std::unique_ptr<TRecording> five(MakeRecording(
      "five", 600000, {{1, {{0, 1}}}, {158, {{1000000, 1}, {2000000, 2}, {3000000, 3}, {4000000, 4}, {5000000, 5}}}}));
  std::unique_ptr<TRecording> two(MakeRecording("two", 200000, {{158, {{6550000, 1}, {12825000, 2}}}}));
  std::unique_ptr<TRecording> none(MakeRecording("none", 200000, {{1, {{0, 1}}}}));
  EXPECT_TRUE(LapRows(*sensors_).empty());
  SetCurrentRecording(core_, five.get());
  EXPECT_EQ(LapRows(*sensors_).size(), 5u);
  SetCurrentRecording(core_, two.get());
  auto rows = LapRows(*sensors_);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].TimeText, "65.5");
  EXPECT_EQ(rows[1].TimeText, "62.75");
  SetCurrentRecording(core_, none.get());
  EXPECT_TRUE(LapRows(*sensors_).empty());
  SetCurrentRecording(core_, nullptr);
  EXPECT_TRUE(LapRows(*sensors_).empty());
}

}  // namespace
