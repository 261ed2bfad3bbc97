// Gear ratios learned from a run's steady driving, on drives with known ratios.
#include <algorithm>
#include <cmath>
#include <random>

#include "TableRecordings.h"
#include "TestSupport.h"
#include "analysis/GearLearning.h"

namespace {

class Gears : public CatalogueTest {
 protected:
  void SetUp() override {
    CatalogueTest::SetUp();
    // The any-ECU family reports road speed in hundredths of km/h (raw 161).
    ecu_->SetFamily(FAMILY_ANY);
    sensors_->ApplyEcuType(FAMILY_ANY);
  }
  TGearLearning Learn(const TDrive& drive, const std::map<int32_t, TSamples>& histories) {
    rec_ = std::make_unique<TRecording>(*sensors_->RawVars);
    AddHistories(*rec_, histories);
    SetCurrentRecording(core_, rec_.get());
    TGearLearnSettings s;
    s.FinalDrive = drive.Final;
    s.Circumference = drive.Circumference;
    return LearnGears(*sensors_, *rec_, s);
  }
  void TearDown() override {
    SetCurrentRecording(core_, nullptr);
    rec_.reset();
    CatalogueTest::TearDown();
  }
  std::unique_ptr<TRecording> rec_;
};

void ExpectRatios(const TGearLearning& learned, const TDrive& drive) {
  ASSERT_EQ(learned.Gears.size(), 5u) << learned.Problem;
  double shares = 0;
  for (size_t g = 0; g < 5; ++g) {
    EXPECT_NEAR(learned.Gears[g].Ratio, drive.Ratios[g], drive.Ratios[g] * 0.01) << "gear " << g + 1;
    EXPECT_GT(learned.Gears[g].Samples, 100);
    shares += learned.Gears[g].Share;
  }
  EXPECT_LE(shares, 1.0 + 1e-12);
  EXPECT_GT(shares, 0.9);
  EXPECT_TRUE(learned.Problem.empty());
}

TEST_F(Gears, AnExactDriveGivesItsRatios) {
  TDrive drive;
  ExpectRatios(Learn(drive, drive.Histories()), drive);
}

// The same drive with the tick counter wrapping a minute into it: the same steady samples.
TEST_F(Gears, ADriveAcrossTheTickCountersWrapGivesWhatItGivesWithout) {
  TDrive drive;
  const TGearLearning plain = Learn(drive, drive.Histories());
  std::map<int32_t, TSamples> shifted = drive.Histories();
  for (auto& [id, samples] : shifted)
    for (auto& sample : samples) sample.first += 0xFFFFFFFFu - 60 * 100000;
  const TGearLearning wrapped = Learn(drive, shifted);
  EXPECT_EQ(wrapped.SteadySamples, plain.SteadySamples);
  ASSERT_EQ(wrapped.Gears.size(), plain.Gears.size());
  for (size_t g = 0; g < plain.Gears.size(); ++g) EXPECT_EQ(wrapped.Gears[g].Ratio, plain.Gears[g].Ratio);
}

TEST_F(Gears, NoisyDrivesOfOtherGearboxesComeOutWithinOnePercent) {
  TDrive drive;
  drive.Noise = 0.012;
  for (uint32_t seed : {1u, 2u, 3u}) {
    drive.Seed = seed;
    ExpectRatios(Learn(drive, drive.Histories()), drive);
  }
  // A close-ratio box on a shorter final drive and smaller wheels.
  const double closeRatios[5] = {3.230, 2.105, 1.458, 1.034, 0.787};
  std::copy(std::begin(closeRatios), std::end(closeRatios), drive.Ratios);
  drive.Final = 4.785;
  drive.Circumference = 1.78;
  ExpectRatios(Learn(drive, drive.Histories()), drive);
}

TEST_F(Gears, CoastingWithTheClutchPressedIsNotAGear) {
  TDrive drive;
  drive.CoastSeconds = 60;  // longer than any gear is held: with the clutch ignored it would win
  ExpectRatios(Learn(drive, drive.Histories()), drive);
  // Without the clutch switch in the recording the coasting counts as steady driving.
  std::map<int32_t, TSamples> noClutch = drive.Histories();
  noClutch.erase(46);
  const TGearLearning learned = Learn(drive, noClutch);
  ASSERT_EQ(learned.Gears.size(), 5u);
  const double coasting = 900 / (60 / 3.6 / drive.Circumference * 60 * drive.Final);
  EXPECT_NEAR(learned.Gears.back().Ratio, coasting, 0.01);
}

TEST_F(Gears, TooLittleSteadyDrivingIsSaid) {
  TDrive drive;
  drive.CruiseSeconds = 0.2;
  // The first three seconds: pulling away in first gear, nothing steady.
  std::map<int32_t, TSamples> start = drive.Histories();
  for (auto& [id, samples] : start)
    samples.erase(std::remove_if(samples.begin(), samples.end(), [](const auto& s) { return s.first > 300000; }),
                  samples.end());
  const TGearLearning learned = Learn(drive, start);
  EXPECT_TRUE(learned.Gears.empty());
  EXPECT_NE(learned.Problem.find("too little steady driving"), std::string::npos) << learned.Problem;
  EXPECT_LT(learned.SteadySamples, MinSteadySamples);

  EXPECT_EQ(Learn(drive, {{1, {{0, 1000}}}}).Problem, "the recording has no Speed samples");
  TGearLearnSettings unset;
  EXPECT_NE(LearnGears(*sensors_, *rec_, unset).Problem.find("final drive"), std::string::npos);
}

TEST(GearGroups, RatiosGatherAroundTheirGearsAndStraysAreLeftOut) {
  std::mt19937 rng(5);
  std::normal_distribution<double> scatter(0, 0.006);
  std::vector<double> ratios;
  const double gears[3] = {3.0, 1.5, 1.0};
  const int counts[3] = {300, 200, 100};
  for (int g = 0; g < 3; ++g)
    for (int k = 0; k < counts[g]; ++k) ratios.push_back(gears[g] * (1 + scatter(rng)));
  for (int k = 0; k < 10; ++k) ratios.push_back(2.2 + k * 0.01);  // a shift's slipping clutch
  ratios.push_back(-1);
  ratios.push_back(NAN);
  const std::vector<TLearnedGear> found = GroupRatios(ratios, 5);
  ASSERT_EQ(found.size(), 3u);
  for (int g = 0; g < 3; ++g) {
    EXPECT_NEAR(found[g].Ratio, gears[g], gears[g] * 0.003);
    EXPECT_EQ(found[g].Samples, counts[g]);
    EXPECT_NEAR(found[g].Share, counts[g] / 610.0, 1e-12);
  }
  EXPECT_EQ(GroupRatios(ratios, 2).size(), 2u);
  EXPECT_EQ(GroupRatios(ratios, 2)[0].Ratio, found[0].Ratio);  // the best populated ones
  EXPECT_TRUE(GroupRatios({}, 5).empty());
  EXPECT_EQ(GearsText({{3.2304, 10, 0.5}, {0.8476, 7, 0.2}}, {1, 5}), "Gear,Ratio,Samples\n1,3.230,10\n5,0.848,7\n");
}

}  // namespace
