// The datalog presets: which raw variables are polled, switched through the display variables.
#include <set>

#include "TestSupport.h"
#include "ecu/DatalogPreset.h"

namespace {

class DatalogPreset : public CatalogueTest {
 protected:
  std::set<uint32_t> Polled() {
    std::set<uint32_t> ids;
    for (int i = 0; i < sensors_->RawVars->Count(); ++i)
      if (sensors_->Raw(i)->PollEnabled) ids.insert(sensors_->Raw(i)->Id);
    return ids;
  }
  // Raw variables no display variable shows: no preset touches them ("IAC off", and Inputs and
  // Outputs until an "Any" ECU rewires the VTEC switches to them).
  std::set<uint32_t> NotShown() {
    std::set<uint32_t> ids;
    for (int i = 0; i < sensors_->RawVars->Count(); ++i) {
      bool shown = false;
      for (int d = 0; d < sensors_->DisplayVars->Count(); ++d) shown |= sensors_->Display(d)->Source == sensors_->Raw(i);
      if (!shown) ids.insert(sensors_->Raw(i)->Id);
    }
    return ids;
  }
  void SetAll(uint8_t on) {
    for (int i = 0; i < sensors_->RawVars->Count(); ++i) sensors_->Raw(i)->PollEnabled = on;
  }
};

}  // namespace

TEST_F(DatalogPreset, PerformanceKeepsRevsSpeedAndTheErrorCodes) {
  EXPECT_EQ(NotShown(), (std::set<uint32_t>{102, 166, 167}));
  SetAll(1);
  ApplyDatalogPreset(*sensors_, TDatalogPreset::Performance);
  EXPECT_EQ(Polled(), (std::set<uint32_t>{1, 161, 40, 41, 42, 53, 102, 166, 167}));
}

TEST_F(DatalogPreset, MixtureKeepsTheFuellingSensors) {
  SetAll(0);
  ApplyDatalogPreset(*sensors_, TDatalogPreset::Mixture);
  EXPECT_EQ(Polled(), (std::set<uint32_t>{1, 9, 15, 2, 3, 112, 113, 40, 41, 42, 53}));
}

TEST_F(DatalogPreset, AllEnablesEverySourceOfADisplayVariable) {
  SetAll(0);
  ApplyDatalogPreset(*sensors_, TDatalogPreset::All);
  std::set<uint32_t> expected;
  for (int i = 0; i < sensors_->RawVars->Count(); ++i)
    if (!NotShown().count(sensors_->Raw(i)->Id)) expected.insert(sensors_->Raw(i)->Id);
  EXPECT_EQ(Polled(), expected);
  EXPECT_EQ(expected.size(), 36u);
}

TEST_F(DatalogPreset, TheSpeedSourceIsFollowedAfterTheFamilyChanges) {
  ecu_->SetModel(2);
  sensors_->ApplyEcuType(ecu_->Family);
  SetAll(0);
  ApplyDatalogPreset(*sensors_, TDatalogPreset::Performance);
  EXPECT_TRUE(Polled().count(19));
  EXPECT_EQ(sensors_->RawSpeed->PollEnabled, 1);
}

TEST(DatalogPresetNames, AreParsedWithoutRegardToCase) {
  TDatalogPreset p = TDatalogPreset::All;
  EXPECT_TRUE(ParseDatalogPreset("Performance", p));
  EXPECT_EQ(p, TDatalogPreset::Performance);
  EXPECT_TRUE(ParseDatalogPreset("MIXTURE", p));
  EXPECT_EQ(p, TDatalogPreset::Mixture);
  EXPECT_TRUE(ParseDatalogPreset("all", p));
  EXPECT_EQ(p, TDatalogPreset::All);
  EXPECT_FALSE(ParseDatalogPreset("", p));
  EXPECT_FALSE(ParseDatalogPreset("fast", p));
}
