// Laps laid over each other: the laps and their table, the distance from the road speed, the
// samples of a lap placed along it, and the time gained or lost on the reference lap.
#include <cmath>

#include "analysis/DistanceTrack.h"
#include "analysis/Laps.h"
#include "recording_support.h"

namespace {

constexpr double kSpeedConstant = 10000;  // raw 100 is 100 km/h, raw 200 is 50 km/h
constexpr double kMetresPerSecondAt100 = 100 / 3.6;

TEST(LapList, EachSignalEndsALapAndTheFastestIsTheReference) {
  auto laps = LapsFromSignals({6550000, 12825000, 19000000});
  ASSERT_EQ(laps.size(), 3u);
  EXPECT_EQ(laps[1].Number, 2);
  EXPECT_EQ(laps[1].StartTicks, 6550000u);
  EXPECT_EQ(laps[1].EndTicks, 12825000u);
  EXPECT_DOUBLE_EQ(laps[1].Start, 65.5);
  EXPECT_DOUBLE_EQ(laps[1].Seconds, 62.75);
  EXPECT_DOUBLE_EQ(laps[2].Seconds, 61.75);
  EXPECT_EQ(FastestLap(laps), 2);
  EXPECT_NEAR(laps[0].Delta, 3.75, 1e-9);
  EXPECT_DOUBLE_EQ(laps[2].Delta, 0);
  EXPECT_EQ(LapTable(laps),
            "Lap,Start (s),Time (s),Delta (s)\n1,0.000,65.500,3.750\n2,65.500,62.750,1.000\n3,128.250,61.750,0.000\n");
  // Equal laps: the first is the reference.
  EXPECT_EQ(FastestLap(LapsFromSignals({100, 200, 300})), 0);
  EXPECT_EQ(FastestLap({}), -1);
  EXPECT_EQ(LapTable({}), "Lap,Start (s),Time (s),Delta (s)\n");
}

// A lap signal after the tick counter's wrap ends a lap 2^32 ticks later than its stored time.
TEST(LapList, ALapAcrossTheTickCountersWrapKeepsItsTrueLength) {
  const auto laps = LapsFromSignals({6000000, 4294000000u, 300000});
  ASSERT_EQ(laps.size(), 3u);
  EXPECT_EQ(laps[2].StartTicks, 4294000000);
  EXPECT_EQ(laps[2].EndTicks, (int64_t{1} << 32) + 300000);
  EXPECT_NEAR(laps[2].Seconds, 12.67296, 1e-9);
  EXPECT_NEAR(laps[1].Seconds, 42880, 1e-9);
  EXPECT_EQ(FastestLap(laps), 2);
  EXPECT_NEAR(laps[0].Delta, 60 - 12.67296, 1e-9);
}

class LapAnalysis : public RecordingTest {
 protected:
  // Samples every second from..to (inclusive) of one raw value.
  static void Every(std::vector<std::pair<uint32_t, uint16_t>>& samples, int from, int to, uint16_t raw) {
    for (int s = from; s <= to; ++s) samples.push_back({static_cast<uint32_t>(s) * 100000u, raw});
  }
};

TEST_F(LapAnalysis, TheRecordingsLapsComeFromItsLapSignals) {
  std::unique_ptr<TRecording> rec(MakeRecording("R", 200000, {{1, {{0, 1}}}, {LapSignalVarId, {{6550000, 1}, {12825000, 2}}}}));
  auto laps = RecordingLaps(*rec);
  ASSERT_EQ(laps.size(), 2u);
  EXPECT_DOUBLE_EQ(laps[1].Seconds, 62.75);
  std::unique_ptr<TRecording> none(MakeRecording("R", 200000, {{1, {{0, 1}}}}));
  EXPECT_TRUE(RecordingLaps(*none).empty());
}

TEST_F(LapAnalysis, DistanceIsTheSpeedIntegratedWithTheSpeedChangingEvenlyBetweenSamples) {
  // At rest from 1 s, 36 km/h (10 m/s) at 3 s, then held.
  TVarHist speed(19);
  speed.Append(100000, 0);
  speed.Append(300000, static_cast<uint16_t>(kSpeedConstant / 36));
  TDistanceTrack track(speed, kSpeedConstant);
  const double v = kSpeedConstant / static_cast<uint16_t>(kSpeedConstant / 36) / 3.6;
  EXPECT_EQ(track.At(0.5), 0);
  EXPECT_EQ(track.At(1), 0);
  EXPECT_NEAR(track.At(2), v / 4, 1e-12);  // a quarter of the way at half the time
  EXPECT_NEAR(track.At(3), v, 1e-12);
  EXPECT_NEAR(track.At(5), 3 * v, 1e-12);
  // The way back: the first time the distance is reached.
  EXPECT_NEAR(track.TimeAt(v / 4), 2, 1e-12);
  EXPECT_NEAR(track.TimeAt(3 * v), 5, 1e-12);
  EXPECT_EQ(track.TimeAt(0), 0);
  EXPECT_EQ(track.TimeAt(0, 1.5), 1.5);
  EXPECT_EQ(track.FirstSampleAfter(1), 1u);
  // Standing still after the last sample, a distance beyond it is never reached.
  TVarHist stop(19);
  stop.Append(0, 100);
  stop.Append(100000, 0);
  TDistanceTrack stopped(stop, kSpeedConstant);
  EXPECT_NEAR(stopped.At(10), kMetresPerSecondAt100 / 2, 1e-12);
  EXPECT_TRUE(std::isinf(stopped.TimeAt(100)));
}

// Lap 1: 60 s at 100 km/h. Lap 2: 30 s at 100 km/h, then 50 km/h (the change spread over the
// second between the samples at 90 and 91 s) until it has covered lap 1's distance at 149.5 s.
class KnownLaps : public LapAnalysis {
 protected:
  void SetUp() override {
    LapAnalysis::SetUp();
    std::vector<std::pair<uint32_t, uint16_t>> speed, revs;
    Every(speed, 0, 90, 100);
    Every(speed, 91, 150, 200);
    Every(revs, 0, 150, 0);
    for (auto& s : revs) s.second = static_cast<uint16_t>(1000 + s.first / 100000);
    rec_.reset(MakeRecording("R", 150000, {{19, speed}, {1, revs}, {LapSignalVarId, {{6000000, 1}, {14950000, 2}}}}));
    laps_ = RecordingLaps(*rec_);
    track_ = std::make_unique<TDistanceTrack>(*rec_->HistoryById(19), kSpeedConstant);
  }
  std::unique_ptr<TRecording> rec_;
  std::vector<TLap> laps_;
  std::unique_ptr<TDistanceTrack> track_;
};

TEST_F(KnownLaps, EachLapsSamplesLieAlongItFromItsStart) {
  ASSERT_EQ(laps_.size(), 2u);
  const TVarHist& revs = *rec_->HistoryById(1);
  // Lap 2 by time: the sample at its start (60 s) at 0, then one a second up to its end.
  auto byTime = LapTrace(revs, laps_[1], TLapAxis::Time);
  ASSERT_EQ(byTime.size(), 90u);
  EXPECT_EQ(byTime[0].X, 0);
  EXPECT_EQ(byTime[0].Index, 60);
  EXPECT_NEAR(byTime[1].X, 1, 1e-12);
  EXPECT_EQ(byTime[1].Index, 61);
  EXPECT_NEAR(byTime.back().X, 89, 1e-9);
  // By distance: 100 km/h for the first half.
  auto byDistance = LapTrace(revs, laps_[1], TLapAxis::Distance, track_.get());
  ASSERT_EQ(byDistance.size(), byTime.size());
  EXPECT_EQ(byDistance[0].X, 0);
  EXPECT_NEAR(byDistance[10].X, 10 * kMetresPerSecondAt100, 1e-9);
  // A lap that starts between samples begins with the one in force.
  TLap between = laps_[1];
  between.StartTicks += 50000;
  between.Start += 0.5;
  auto held = LapTrace(revs, between, TLapAxis::Time);
  EXPECT_EQ(held[0].Index, 60);
  EXPECT_NEAR(held[1].X, 0.5, 1e-9);
}

TEST_F(KnownLaps, DeltaTimeIsTheTimeLostOnTheReferenceAlongTheLap) {
  ASSERT_EQ(FastestLap(laps_), 0);
  const double lapLength = track_->At(60);
  EXPECT_NEAR(lapLength, 60 * kMetresPerSecondAt100, 1e-9);
  EXPECT_NEAR(track_->At(149.5) - track_->At(60), lapLength, 1e-9);

  auto delta = DeltaTime(*track_, laps_[1], laps_[0]);
  ASSERT_EQ(delta.size(), 91u);  // the start, 89 samples, the end
  for (const TDeltaPoint& p : delta) {
    if (p.Metres <= 30 * kMetresPerSecondAt100) {
      EXPECT_NEAR(p.Seconds, 0, 1e-9) << p.Metres;
    }
  }
  EXPECT_NEAR(delta.back().Metres, lapLength, 1e-9);
  EXPECT_NEAR(delta.back().Seconds, 29.5, 1e-9);
  // Half a metre a second slower: the loss grows as 1 - 50/100 of the time at 50 km/h.
  EXPECT_NEAR(delta[70].Seconds - delta[60].Seconds, 5, 1e-9);
  for (size_t i = 1; i < delta.size(); ++i) EXPECT_GE(delta[i].Seconds, delta[i - 1].Seconds - 1e-12);

  // The reference against itself is even all the way; the slow lap as the reference is gained on.
  for (const TDeltaPoint& p : DeltaTime(*track_, laps_[0], laps_[0])) EXPECT_NEAR(p.Seconds, 0, 1e-9);
  EXPECT_NEAR(DeltaTime(*track_, laps_[0], laps_[1]).back().Seconds, -29.5, 1e-9);
}

}  // namespace
