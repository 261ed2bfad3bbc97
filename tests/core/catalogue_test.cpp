// The variable catalogue: order, ids, request codes, rates, read modes, flags and roles.
#include "TestSupport.h"
#include "recording/Recording.h"
#include "vars/Conversions.h"

namespace {

struct RawRow {
  uint32_t id;
  const char* name;
  int32_t request, rate;
  uint8_t mode, poll, supported;
};

const RawRow kRaw[] = {
    {1, "Revs", 10, 20, 2, 1, 1},
    {161, "Speed", 231, 20, 2, 1, 1},
    {4, "TW", 3, 1, 0, 1, 1},
    {5, "TA", 4, 1, 0, 1, 1},
    {9, "MAP", 7, 20, 0, 1, 1},
    {165, "PA", 63, 1, 0, 1, 1},
    {6, "TPS", 8, 20, 0, 1, 1},
    {15, "Injector Duration", 17, 20, 2, 1, 1},
    {16, "Ignition Advance", 18, 10, 0, 1, 1},
    {2, "O2 Sensor A", 1, 10, 0, 1, 1},
    {3, "O2 Sensor B", 2, 10, 0, 1, 1},
    {112, "O2A Short Term", 36, 10, 2, 1, 1},
    {113, "O2B Short Term", 37, 10, 2, 1, 1},
    {110, "0x270", 34, 10, 2, 1, 1},
    {111, "0x272", 35, 10, 2, 1, 1},
    {166, "Inputs", 229, 10, 0, 1, 1},
    {167, "Outputs", 228, 10, 0, 1, 1},
    {13, "Digital In", 13, 10, 0, 1, 1},
    {10000, "P0", 14, 10, 0, 1, 1},
    {10001, "P1", 15, 10, 0, 1, 1},
    {159, "Brake", 239, 10, 0, 1, 1},
    {40, "Error codes #1", 22, 1, 0, 1, 1},
    {41, "Error codes #2", 23, 1, 0, 1, 1},
    {42, "Error codes #3", 24, 1, 0, 1, 1},
    {53, "Error codes #4", 38, 1, 0, 1, 1},
    {47, "Launch Revs", 26, 1, 2, 1, 1},
    {48, "VTEC Revs", 27, 1, 0, 1, 1},
    {49, "Shift Light", 28, 1, 0, 1, 1},
    {50, "Shift Limiter", 29, 1, 0, 1, 1},
    {51, "Rev Limiter RPM", 30, 1, 0, 1, 1},
    {46, "User Flags", 25, 10, 0, 1, 1},
    {52, "Rev Limiter", 238, 10, 0, 1, 1},
    {158, "Lap", 238, 0, 0, 0, 0},
    {12, "ALT", 5, 1, 0, 1, 1},
    {11, "EACV", 6, 1, 0, 1, 1},
    {160, "Datalog Error", 0, 1, 0, 1, 0},
    {100, "Target Idle", 39, 1, 2, 1, 1},
    {101, "IAC on", 40, 1, 2, 1, 1},
    {102, "IAC off", 41, 1, 2, 1, 1},
};

struct DisplayRow {
  uint32_t id;
  const char* name;
  int32_t source;
  uint8_t unit, fill;
};

const DisplayRow kDisplay[] = {
    {1008, "Revs", 1, 4, 0},
    {1126, "Speed", 161, 6, 0},
    {1035, "Gear", 161, 16, 0},
    {1113, "Acceleration", 161, 18, 0},
    {1003, "Water Temp", 4, 2, 0},
    {1004, "Air Temp", 5, 2, 0},
    {1007, "MAP", 9, 8, 0},
    {1124, "Air Pressure", 165, 9, 0},
    {1125, "Elevation", 165, 19, 0},
    {1002, "TPS", 6, 3, 1},
    {1010, "Injector Duration", 15, 7, 0},
    {1011, "Duty Cycle", 15, 3, 0},
    {1012, "Ignition Advance", 16, 5, 0},
    {1000, "O2 Sensor A", 2, 1, 0},
    {1001, "O2 Sensor B", 3, 1, 0},
    {1056, "O2A Short Term", 112, 12, 0},
    {1057, "O2B Short Term", 113, 12, 0},
    {1054, "O2A Long Term", 110, 12, 0},
    {1055, "O2B Long Term", 111, 12, 0},
    {1131, "Lambda", 2, 21, 0},
    {1015, "VTEC Pressure", 13, 13, 0},
    {1018, "A/C Switch", 3, 13, 0},
    {1021, "Start", 3, 13, 0},
    {1014, "Brakes", 159, 13, 1},
    {1023, "Fuel Pump", 10000, 13, 0},
    {1024, "Purge Valve", 3, 13, 0},
    {1022, "Check Light", 10000, 13, 0},
    {1019, "A/C Relay", 3, 13, 0},
    {1016, "VTEC Spool", 10001, 13, 0},
    {1017, "Error LED", 3, 13, 0},
    {1040, "Error codes #1", 40, 14, 0},
    {1041, "Error codes #2", 41, 14, 0},
    {1042, "Error codes #3", 42, 14, 0},
    {1116, "Error codes #4", 53, 14, 0},
    {1061, "Launch Revs", 47, 4, 0},
    {1062, "VTEC Revs", 48, 17, 0},
    {1063, "Shift Light", 49, 17, 0},
    {1064, "Shift Limiter", 50, 17, 0},
    {1065, "Rev Limiter RPM", 51, 17, 0},
    {1060, "Clutch", 46, 13, 1},
    {1066, "Rev Limiter", 52, 13, 0},
    {1112, "Lap", 158, 16, 0},
    {1005, "ALT", 12, 1, 0},
    {1006, "EACV", 11, 1, 0},
    {1115, "Datalog Error", 160, 13, 1},
    {1044, "Target Idle", 100, 4, 0},
    {1045, "IAC duty", 101, 3, 0},
    {1047, "Idle Difference", 100, 4, 0},
};

using Catalogue = CatalogueTest;

TEST_F(Catalogue, RawVariablesInPollOrder) {
  ASSERT_EQ(sensors_->RawVars->Count(), 39);
  for (int i = 0; i < 39; ++i) {
    SCOPED_TRACE(kRaw[i].name);
    const TRawVar* v = sensors_->Raw(i);
    EXPECT_EQ(v->Id, kRaw[i].id);
    EXPECT_STREQ(v->Name, kRaw[i].name);
    EXPECT_EQ(v->RequestCode, kRaw[i].request);
    EXPECT_EQ(v->RateHz, kRaw[i].rate);
    EXPECT_EQ(v->ReadMode, kRaw[i].mode);
    EXPECT_EQ(v->PollEnabled, kRaw[i].poll);
    EXPECT_EQ(v->Supported, kRaw[i].supported);
    EXPECT_EQ(v->IsRaw, 1);
    EXPECT_EQ(v->RawValue, 0);
  }
}

TEST_F(Catalogue, DisplayVariablesInListOrder) {
  ASSERT_EQ(sensors_->DisplayVars->Count(), 48);
  for (int i = 0; i < 48; ++i) {
    SCOPED_TRACE(kDisplay[i].name);
    const TDisplayVar* v = sensors_->Display(i);
    EXPECT_EQ(v->Id, kDisplay[i].id);
    EXPECT_STREQ(v->Name, kDisplay[i].name);
    EXPECT_EQ(v->SourceId, kDisplay[i].source);
    ASSERT_NE(v->Source.load(), nullptr);
    EXPECT_EQ(v->Source.load()->Id, static_cast<uint32_t>(kDisplay[i].source));
    EXPECT_EQ(v->Unit, kDisplay[i].unit);
    EXPECT_EQ(v->FillTrace, kDisplay[i].fill);
    EXPECT_EQ(v->IsRaw, 0);
  }
}

TEST_F(Catalogue, SharedRequestCodeOnlyRevLimiterPolled) {
  auto* limiter = sensors_->FindRaw(52);
  auto* lap = sensors_->FindRaw(158);
  EXPECT_EQ(limiter->RequestCode, 238);
  EXPECT_EQ(lap->RequestCode, 238);
  EXPECT_TRUE(limiter->PollEnabled && limiter->Supported);
  EXPECT_FALSE(lap->PollEnabled || lap->Supported);
}

TEST_F(Catalogue, IacOffHasNoDisplayVariable) {
  for (TVar* v : *sensors_->DisplayVars) EXPECT_NE(static_cast<TDisplayVar*>(v)->SourceId, 102);
  EXPECT_TRUE(sensors_->FindRaw(102)->PollEnabled);
}

TEST_F(Catalogue, BrakesAreFilled) {
  TDisplayVar* brakes = sensors_->FindDisplay(1014);
  ASSERT_NE(brakes, nullptr);
  EXPECT_STREQ(brakes->Name, "Brakes");
  EXPECT_EQ(brakes->FillTrace, 1);
}

TEST_F(Catalogue, RolesPointAtTheirVariables) {
  TSensorList& s = *sensors_;
  EXPECT_EQ(s.RawRevs->Id, 1u);
  EXPECT_EQ(s.Revs->Id, 1008u);
  EXPECT_EQ(s.RawSpeed->Id, 161u);
  EXPECT_EQ(s.Speed->Id, 1126u);
  EXPECT_EQ(s.Gear->Id, 1035u);
  EXPECT_EQ(s.Acceleration->Id, 1113u);
  EXPECT_EQ(s.RawTW->Id, 4u);
  EXPECT_EQ(s.WaterTemp->Id, 1003u);
  EXPECT_EQ(s.RawTA->Id, 5u);
  EXPECT_EQ(s.AirTemp->Id, 1004u);
  EXPECT_EQ(s.RawMAP->Id, 9u);
  EXPECT_EQ(s.MAP->Id, 1007u);
  EXPECT_EQ(s.RawTPS->Id, 6u);
  EXPECT_EQ(s.TPS->Id, 1002u);
  EXPECT_EQ(s.RawInjDuration->Id, 15u);
  EXPECT_EQ(s.InjDuration->Id, 1010u);
  EXPECT_EQ(s.DutyCycle->Id, 1011u);
  EXPECT_EQ(s.RawIgnAdvance->Id, 16u);
  EXPECT_EQ(s.IgnAdvance->Id, 1012u);
  EXPECT_EQ(s.RawO2A->Id, 2u);
  EXPECT_EQ(s.O2A->Id, 1000u);
  EXPECT_EQ(s.Lambda->Id, 1131u);
  EXPECT_EQ(s.RawInputs->Id, 166u);
  EXPECT_EQ(s.RawOutputs->Id, 167u);
  EXPECT_EQ(s.RawDigitalIn->Id, 13u);
  EXPECT_EQ(s.RawP0->Id, 10000u);
  EXPECT_EQ(s.RawP1->Id, 10001u);
  EXPECT_EQ(s.RawErrorCodes[0]->Id, 40u);
  EXPECT_EQ(s.RawErrorCodes[1]->Id, 41u);
  EXPECT_EQ(s.RawErrorCodes[2]->Id, 42u);
  EXPECT_EQ(s.RawErrorCodes[3]->Id, 53u);
  EXPECT_EQ(s.VTECPressure->Id, 1015u);
  EXPECT_EQ(s.VTECSpool->Id, 1016u);
  EXPECT_EQ(s.ACSwitch->Id, 1018u);
  EXPECT_EQ(s.Start->Id, 1021u);
  EXPECT_EQ(s.FuelPump->Id, 1023u);
  EXPECT_EQ(s.PurgeValve->Id, 1024u);
  EXPECT_EQ(s.CheckLight->Id, 1022u);
  EXPECT_EQ(s.ACRelay->Id, 1019u);
  EXPECT_EQ(s.ErrorLED->Id, 1017u);
}

TEST_F(Catalogue, SecondInputsAreDisplayRevs) {
  EXPECT_EQ(static_cast<TGearVar*>(sensors_->Gear)->RevsVar, sensors_->Revs);
  EXPECT_EQ(static_cast<TDutyCycleVar*>(sensors_->DutyCycle)->RevsVar, sensors_->Revs);
  EXPECT_EQ(static_cast<TIdleDiffVar*>(sensors_->FindDisplay(1047))->RevsVar, sensors_->Revs);
}

TEST_F(Catalogue, InitialMasks) {
  EXPECT_EQ(sensors_->FuelPump->Mask, 0x80u);
  EXPECT_EQ(sensors_->CheckLight->Mask, 0x10u);
  EXPECT_EQ(sensors_->VTECPressure->Mask, 0x02u);
  EXPECT_EQ(sensors_->VTECSpool->Mask, 0u);
  EXPECT_EQ(sensors_->ACSwitch->Enabled, 1);
}

TEST_F(Catalogue, FindDisplayByNameIgnoresCase) {
  EXPECT_EQ(sensors_->FindDisplayByName("water temp"), sensors_->WaterTemp);
  EXPECT_EQ(sensors_->FindDisplayByName("A/C Switch"), sensors_->ACSwitch);
  EXPECT_EQ(sensors_->FindDisplayByName("nothing"), nullptr);
}

TEST_F(Catalogue, AVariableFindsItsHistoryInEachRecordingWhereverItStands) {
  TRecording a(*sensors_->RawVars), b(*sensors_->RawVars);
  for (int32_t id : {1, 6}) a.AddHistory(new TVarHist(id));
  for (int32_t id : {6, 1}) b.AddHistory(new TVarHist(id));
  for (TRecording* r : {&a, &b, &a}) {
    SetCurrentRecording(core_, r);
    EXPECT_EQ(sensors_->RawRevs->History(), r->HistoryById(1));
    EXPECT_EQ(sensors_->RawTPS->History(), r->HistoryById(6));
    EXPECT_EQ(sensors_->RawTW->History(), nullptr);
  }
  SetCurrentRecording(core_, nullptr);
  EXPECT_EQ(sensors_->RawRevs->History(), nullptr);
}

}  // namespace
