// The simulated ECU: its replies to the protocol's requests, and an engine whose values, read
// through the program's own conversions, move as a car's would over a drive cycle.
#include <algorithm>
#include <cmath>
#include <set>

#include "TestSupport.h"
#include "ecu/SimEcu.h"
#include "vars/Conversions.h"

namespace {

uint16_t Ask(TSimEcu& ecu, uint8_t request, double t) {
  uint8_t reply[2] = {0xAA, 0xAA};
  int n = ecu.Respond(request, t, reply);
  EXPECT_EQ(n, 1) << "request " << int(request);
  if (!TSimEcu::IsTwoByte(request)) return reply[0];
  uint8_t high[2];
  EXPECT_EQ(ecu.Respond(0x00, t, high), 1);
  return static_cast<uint16_t>(reply[0] + 256 * high[0]);
}

}  // namespace

TEST(SimEcuProtocol, IdentifiesItselfWithTheModelByte) {
  TSimEcu obd1;
  uint8_t reply[2];
  ASSERT_EQ(obd1.Respond(0xFE, 0.0, reply), 1);
  EXPECT_EQ(reply[0], 2);
  EXPECT_EQ(obd1.Family(), FAMILY_OBD1);
  TSimEcu any(4), obd0(7);
  ASSERT_EQ(any.Respond(0xFE, 0.0, reply), 1);
  EXPECT_EQ(reply[0], 4);
  EXPECT_EQ(any.Family(), FAMILY_ANY);
  EXPECT_EQ(obd0.Family(), FAMILY_OBD0);
}

TEST(SimEcuProtocol, ClearingTheErrorCodesAnswersNothing) {
  TSimEcu ecu;
  EXPECT_NE(Ask(ecu, 0x18, 0.0), 0);  // a stored code to begin with
  ecu.SetErrorCodes(0, 0x41);
  EXPECT_EQ(Ask(ecu, 0x16, 0.0), 0x41);
  uint8_t reply[2];
  EXPECT_EQ(ecu.Respond(0xFD, 0.0, reply), 0);
  for (uint8_t code : {0x16, 0x17, 0x18, 0x26}) EXPECT_EQ(Ask(ecu, code, 0.0), 0) << int(code);
}

TEST(SimEcuProtocol, ATwoByteValueSendsItsHighByteOnTheFollowingZeroRequest) {
  TSimEcu ecu;
  ecu.AdvanceTo(3.0);
  const uint16_t period = ecu.Value(0x0A);
  ASSERT_GT(period, 255);
  uint8_t reply[2];
  ASSERT_EQ(ecu.Respond(0x0A, 3.0, reply), 1);
  EXPECT_EQ(reply[0], period & 0xFF);
  ASSERT_EQ(ecu.Respond(0x00, 3.0, reply), 1);
  EXPECT_EQ(reply[0], period >> 8);
  // A second 0x00, or one after a one-byte value, has no high byte to give.
  ASSERT_EQ(ecu.Respond(0x00, 3.0, reply), 1);
  EXPECT_EQ(reply[0], 0);
  ecu.Respond(0x03, 3.0, reply);
  ecu.Respond(0x00, 3.0, reply);
  EXPECT_EQ(reply[0], 0);
  EXPECT_EQ(ecu.Requests(), 5u);
}

TEST(SimEcuProtocol, TheSpeedRequestFollowsTheFamilysEncoding) {
  for (uint8_t model : {uint8_t(0), uint8_t(2), uint8_t(4)}) {
    TSimEcu ecu(model);
    ecu.AdvanceTo(60.0);
    while (ecu.Engine().Phase != TSimEngine::PhaseCruise) ecu.AdvanceTo(ecu.Time() + 0.1);
    ecu.AdvanceTo(ecu.Time() + 10.0);
    const double kmh = ecu.Engine().SpeedKmh();
    ASSERT_NEAR(kmh, 100.0, 3.0);
    const double k = model == 0 ? 182800.0 : 228500.0;
    EXPECT_NEAR(k / Ask(ecu, 0x09, ecu.Time()), kmh, 0.5) << int(model);
    EXPECT_NEAR(Ask(ecu, 0xE7, ecu.Time()) * 0.01, kmh, 0.05);
  }
  TSimEcu parked;
  EXPECT_EQ(Ask(parked, 0x09, 1.0), 0xFFFF);  // standing still: no reading
}

// ---------------------------------------------------------------------------------------------
// The drive cycle, read through the program's conversions

class SimEcuDrive : public CatalogueTest {};

TEST_F(SimEcuDrive, ACycleIdlesAcceleratesThroughTheGearsCruisesBrakesAndRepeats) {
  TSimEcu ecu(2);
  ecu_->SetModel(2);
  sensors_->ApplyEcuType(ecu_->Family);
  std::set<int> gears;
  double maxRpm = 0, minIdle = 1e9, maxIdle = 0, maxKmh = 0, minMap = 9, maxMap = 0, minTps = 200, maxTps = -200;
  double minAdv = 99, maxAdv = -99, maxInj = 0, minO2 = 9, maxO2 = 0, minTrim = 99, maxTrim = -99;
  bool brakeSeen = false, clutchSeen = false, vtecSeen = false, limiterSeen = false, fuelCutSeen = false;
  int idleEntries = 0;
  bool wasIdle = true;
  int gearAgreement = 0, gearSamples = 0;
  double lastKmhWhileBraking = 1e9;
  bool speedFellWhileBraking = true;
  for (double t = 0.0; t < 130.0; t += 0.05) {
    const double rpm = PeriodToRpm(Ask(ecu, 0x0A, t));
    const double kmh = 228500.0 / std::max<uint16_t>(1, Ask(ecu, 0x09, t));
    const uint16_t speedRaw = Ask(ecu, 0x09, t);
    const double map = MapVoltsToBar(ByteToVolts(static_cast<uint8_t>(Ask(ecu, 0x07, t))), false);
    const double tps = (ByteToVolts(static_cast<uint8_t>(Ask(ecu, 0x08, t))) - 0.45) * 25.0;
    const double adv = IgnRawToDegrees(Ask(ecu, 0x12, t)) - 20 + 14;
    const double inj = InjRawToMs(Ask(ecu, 0x11, t));
    const double o2 = ByteToVolts(static_cast<uint8_t>(Ask(ecu, 0x01, t)));
    const double trim = (Ask(ecu, 0x24, t) * 0.000030517578125 - 1) * 100;
    const TSimEngine& e = ecu.Engine();
    if (e.Phase == TSimEngine::PhaseIdle) {
      if (!wasIdle) ++idleEntries;
      if (e.PhaseTime > 2.0) {
        minIdle = std::min(minIdle, rpm);
        maxIdle = std::max(maxIdle, rpm);
        EXPECT_EQ(speedRaw, 0xFFFF);
      }
    }
    wasIdle = e.Phase == TSimEngine::PhaseIdle;
    maxRpm = std::max(maxRpm, rpm);
    if (speedRaw != 0xFFFF) maxKmh = std::max(maxKmh, kmh);
    minMap = std::min(minMap, map);
    maxMap = std::max(maxMap, map);
    minTps = std::min(minTps, tps);
    maxTps = std::max(maxTps, tps);
    minAdv = std::min(minAdv, adv);
    maxAdv = std::max(maxAdv, adv);
    maxInj = std::max(maxInj, inj);
    if (inj == 0.0) fuelCutSeen = true;
    minO2 = std::min(minO2, o2);
    maxO2 = std::max(maxO2, o2);
    minTrim = std::min(minTrim, trim);
    maxTrim = std::max(maxTrim, trim);
    brakeSeen |= (Ask(ecu, 0xEF, t) & 1) != 0;
    clutchSeen |= (Ask(ecu, 0x19, t) & 4) != 0;
    vtecSeen |= Ask(ecu, 0x0F, t) == 0x03;
    limiterSeen |= (Ask(ecu, 0xEE, t) & 1) != 0;
    if (e.Gear > 0) gears.insert(e.Gear);
    if (e.Phase == TSimEngine::PhaseBrake && e.Speed > 0) {
      speedFellWhileBraking &= kmh <= lastKmhWhileBraking + 0.5;
      lastKmhWhileBraking = kmh;
    } else {
      lastKmhWhileBraking = 1e9;
    }
    // The program's gear display, from the simulated revs and speed, agrees with the gearbox
    // while the clutch is engaged and the car is moving.
    if ((e.Phase == TSimEngine::PhaseAccelerate || e.Phase == TSimEngine::PhaseCruise) && kmh > 15.0 &&
        !e.Clutch) {
      sensors_->RawRevs->RawValue = Ask(ecu, 0x0A, t);
      sensors_->RawSpeed->RawValue = speedRaw;
      ++gearSamples;
      if (static_cast<int>(sensors_->Gear->GetValue(UNIT_INTEGER)) == e.Gear) ++gearAgreement;
    }
  }
  EXPECT_GE(idleEntries, 2) << "the cycle repeats";
  EXPECT_GT(minIdle, 650);
  EXPECT_LT(maxIdle, 1300);
  EXPECT_GE(maxRpm, 7600);
  EXPECT_LE(maxRpm, 7900);
  EXPECT_GE(maxKmh, 100);
  EXPECT_LT(maxKmh, 160);
  EXPECT_EQ(gears, (std::set<int>{1, 2, 3, 4, 5}));
  EXPECT_LT(minMap, 0.3);
  EXPECT_GT(maxMap, 0.9);
  EXPECT_LT(minTps, 2);
  EXPECT_GT(maxTps, 95);
  EXPECT_LT(minAdv, 16);
  EXPECT_GT(maxAdv, 28);
  EXPECT_GT(maxInj, 8);
  EXPECT_TRUE(fuelCutSeen);
  EXPECT_LT(minO2, 0.15);
  EXPECT_GT(maxO2, 0.8);
  EXPECT_LT(minTrim, -3);
  EXPECT_GT(maxTrim, 3);
  EXPECT_TRUE(brakeSeen);
  EXPECT_TRUE(clutchSeen);
  EXPECT_TRUE(vtecSeen);
  EXPECT_TRUE(limiterSeen);
  EXPECT_TRUE(speedFellWhileBraking);
  ASSERT_GT(gearSamples, 100);
  EXPECT_GT(gearAgreement, gearSamples * 9 / 10);
}

TEST(SimEcuDriveSlow, TheEngineWarmsUpAndTheIdleTargetFollows) {
  TSimEcu ecu;
  const double coldWater = TempByteToCelsius(static_cast<uint8_t>(Ask(ecu, 0x03, 0.0)));
  const double coldTarget = PeriodToRpm(Ask(ecu, 0x27, 0.0));
  EXPECT_NEAR(coldWater, 45.0, 3.0);
  ecu.AdvanceTo(600.0);
  const double warmWater = TempByteToCelsius(static_cast<uint8_t>(Ask(ecu, 0x03, 600.0)));
  const double warmTarget = PeriodToRpm(Ask(ecu, 0x27, 600.0));
  EXPECT_GT(warmWater, 80.0);
  EXPECT_LT(warmWater, 95.0);
  EXPECT_GT(coldTarget, warmTarget + 200);
  EXPECT_NEAR(warmTarget, 750, 20);
  const double air = TempByteToCelsius(static_cast<uint8_t>(Ask(ecu, 0x04, 600.0)));
  EXPECT_GT(air, 20.0);
  EXPECT_LT(air, 45.0);
  EXPECT_NEAR(MapVoltsToBar(ByteToVolts(static_cast<uint8_t>(Ask(ecu, 0x3F, 600.0))), false), 1.013, 0.02);
}

TEST(SimEcuDriveSlow, TheRpmThresholdsDecodeToTheirSettings) {
  TSimEcu ecu;
  EXPECT_NEAR(PeriodToRpm(Ask(ecu, 0x1A, 0.0)), 4500, 20);
  EXPECT_NEAR(PackedByteToRpm(static_cast<uint8_t>(Ask(ecu, 0x1B, 0.0))), 5500, 60);
  EXPECT_NEAR(PackedByteToRpm(static_cast<uint8_t>(Ask(ecu, 0x1C, 0.0))), 7000, 80);
  EXPECT_NEAR(PackedByteToRpm(static_cast<uint8_t>(Ask(ecu, 0x1D, 0.0))), 7600, 100);
  EXPECT_NEAR(PackedByteToRpm(static_cast<uint8_t>(Ask(ecu, 0x1E, 0.0))), 7800, 100);
}
