// Unit texts, formats, conversion functions, the display-variable classes and the ECU family switch.
#include <cmath>

#include "TestSupport.h"
#include "vars/Conversions.h"

namespace {

TEST(UnitFormat, OnOffIsExactlyOne) {
  EXPECT_EQ(FormatValue(13, 1.0), "on");
  EXPECT_EQ(FormatValue(13, 0.999), "off");
  EXPECT_EQ(FormatValue(13, 1.0000001), "off");
}

TEST(UnitFormat, HexAndIntegerFormatsTruncate) {
  EXPECT_EQ(FormatValue(14, 17.9), "0x11");
  EXPECT_EQ(FormatValue(14, 255), "0xFF");
  EXPECT_EQ(FormatValue(14, 0x1234), "0x1234");
  EXPECT_EQ(FormatValue(15, 17.9), "0x0011");
  EXPECT_EQ(FormatValue(15, 0x12345), "0x2345");
  EXPECT_EQ(FormatValue(16, 3.99), "3");
  EXPECT_EQ(FormatValue(16, -2.7), "-2");
}

TEST(UnitFormat, DecimalFormats) {
  EXPECT_EQ(FormatValue(1, 2.5), "2.500");
  EXPECT_EQ(FormatValue(3, 12.345), "12.35");  // not 12.34: 12.345 is stored slightly above
  EXPECT_EQ(FormatValue(4, 999.6), "1000");
  EXPECT_EQ(FormatValue(12, -3.25), "-3.2");
  EXPECT_EQ(FormatValue(21, 0.856), "0.86");
  EXPECT_EQ(FormatValue(22, 14.66), "14.7");
  EXPECT_EQ(FormatValue(0, 5), "");
  EXPECT_EQ(FormatValue(99, 5), "");
}

using Units = CatalogueTest;

TEST_F(Units, TextsFollowTheSettingsAtTheMomentOfTheCall) {
  EXPECT_EQ(UnitText(2, *config_), "\xC2\xB0" "F");
  EXPECT_EQ(UnitText(6, *config_), "mph");
  config_->TemperatureUnit = 1;
  config_->SpeedUnit = 1;
  EXPECT_EQ(UnitText(2, *config_), "\xC2\xB0" "C");
  EXPECT_EQ(UnitText(6, *config_), "kph");
  EXPECT_EQ(UnitText8Bit(2, *config_), "\xB0" "C");
  EXPECT_EQ(UnitText8Bit(5, *config_), "\xB0");
}

TEST_F(Units, FixedTexts) {
  const char* expected[] = {"", "V", nullptr, "%", "rpm", nullptr, nullptr, "ms", "bar", "mbar", "\"", "",
                            "%", "", "", "", "", "rpm", "g", "m", "ft", "L", "A/F"};
  for (int u = 0; u <= 22; ++u) {
    if (expected[u]) {
      EXPECT_EQ(UnitText(static_cast<uint8_t>(u), *config_), expected[u]) << u;
    }
  }
  EXPECT_EQ(UnitText(23, *config_), "?");
}

TEST(ConversionFunctions, EnginePeriods) {
  EXPECT_EQ(PeriodToRpm(1875), 1000);
  EXPECT_EQ(PeriodToRpm(0), 0);
  EXPECT_EQ(PackedByteToRpm(0), PeriodToRpm(187));
  EXPECT_EQ(PackedByteToRpm(0), 10026);
  EXPECT_EQ(RpmToPeriod(0), 0xFFFF);
  EXPECT_EQ(RpmToPeriod(1000), 1875);
  EXPECT_EQ(RpmToPackedByte(10026), 0);
}

TEST(ConversionFunctions, Volts) {
  EXPECT_DOUBLE_EQ(ByteToVolts(255), 4.98046875);
  EXPECT_EQ(VoltsToByte(5.0), 256);
  EXPECT_EQ(VoltsToByte(2.5), 128);
}

TEST(ConversionFunctions, Temperatures) {
  EXPECT_DOUBLE_EQ(CelsiusToFahrenheit(100), 212);
  EXPECT_NEAR(FahrenheitToCelsius(212), 100, 1e-12);
  EXPECT_DOUBLE_EQ(TempVoltsToCelsius(0), 120);
  // No rounding term: 4.05 V * 51.2 = 207.36 -> 207.
  EXPECT_EQ(CelsiusToTempByte(0), 207);
}

TEST(ConversionFunctions, Misc) {
  EXPECT_NEAR(InjRawToMs(49375), 200.0, 1e-9);
  EXPECT_NEAR(InjMsToRaw(200.0), 49375, 1e-9);
  EXPECT_DOUBLE_EQ(IgnRawToDegrees(80), 20);
  EXPECT_EQ(Percent(2.45, 0.45, 4.45), 50);
  EXPECT_EQ(Percent(1, 2, 2), 0);
  EXPECT_DOUBLE_EQ(ToFixedDigits(1.23456, 3), 1.235);
  EXPECT_DOUBLE_EQ(LambdaToAfr(1.0), 14.7);
  EXPECT_NEAR(BarToPsi(1.0), 14.6953, 1e-12);
}

using Classes = CatalogueTest;

TEST_F(Classes, RevsTreatsFFFFAsNoReading) {
  sensors_->RawRevs->RawValue = 0xFFFF;
  EXPECT_EQ(sensors_->Revs->GetValue(4), 0);
  sensors_->RawRevs->RawValue = 1875;
  EXPECT_EQ(sensors_->Revs->GetValue(4), 1000);
}

TEST_F(Classes, ThrottleBelowClosedGoesNegative) {
  EXPECT_LT(sensors_->TPS->Convert(3, 23), 0);
  EXPECT_GT(sensors_->TPS->Convert(3, 23), -0.1);
  EXPECT_DOUBLE_EQ(sensors_->TPS->Convert(1, 23), ByteToVolts(23));
}

TEST_F(Classes, OneBarMapSensor) {
  TDisplayVar* map = sensors_->MAP;
  EXPECT_NEAR(map->Convert(8, 128), 0.8725, 1e-12);
  EXPECT_NEAR(map->Convert(9, 128), 872.5, 1e-9);
  EXPECT_NEAR(map->Convert(3, 128), 87.25, 1e-9);
  EXPECT_NEAR(map->Convert(10, 128), 29.92 - 0.8725 * 0.98692326671601285 * 29.92, 1e-12);
  EXPECT_DOUBLE_EQ(map->Convert(1, 128), 2.5);
  EXPECT_EQ(map->Convert(4, 128), 0);  // a unit the class does not offer
}

TEST_F(Classes, ThreeBarMapSensor) {
  ecu_->SetMapIs3Bar(1);
  EXPECT_NEAR(sensors_->MAP->Convert(8, 128), 2.5 * 0.58 + 0.0645, 1e-12);
}

TEST_F(Classes, ElevationAtSeaLevelPressureIsZero) {
  TDisplayVar* elevation = sensors_->FindDisplay(1125);
  // Choose the sea-level pressure equal to what raw 200 reads.
  double bar = MapVoltsToBar(ByteToVolts(200), false);
  config_->BaroSeaLevelPressure = bar * 1000;
  EXPECT_NEAR(elevation->Convert(19, 200), 0, 1e-9);
  config_->BaroSeaLevelPressure = 1013;
  EXPECT_GT(elevation->Convert(19, 100), 0);  // lower pressure, higher up
  EXPECT_LT(elevation->Convert(19, 160), 0);  // higher pressure, below sea level
  EXPECT_NEAR(elevation->Convert(20, 100), elevation->Convert(19, 100) * 3.28, 1e-9);
  EXPECT_EQ(elevation->Convert(19, 0), 0);  // a non-positive ratio
}

TEST_F(Classes, IgnitionAdvanceAddsTheStaticAdvance) {
  config_->BaseIgnitionAdvance = 14;
  EXPECT_DOUBLE_EQ(sensors_->IgnAdvance->Convert(5, 80), 14);
  config_->BaseIgnitionAdvance = 16;
  EXPECT_DOUBLE_EQ(sensors_->IgnAdvance->Convert(5, 80), 16);
}

TEST_F(Classes, FuelTrimCentre) {
  EXPECT_DOUBLE_EQ(sensors_->FindDisplay(1056)->Convert(12, 32768), 0);
  EXPECT_DOUBLE_EQ(sensors_->FindDisplay(1056)->Convert(12, 0), -100);
}

TEST_F(Classes, RoadSpeedWithTheFamilyConstant) {
  ecu_->SetFamily(FAMILY_OBD0);
  config_->SpeedUnit = 1;
  EXPECT_DOUBLE_EQ(sensors_->Speed->Convert(6, 1828), 100);
  config_->SpeedUnit = 0;
  EXPECT_NEAR(sensors_->Speed->Convert(6, 1828), 62.137273664980676, 1e-9);
  EXPECT_EQ(sensors_->Speed->Convert(6, 0xFFFF), 0);
  EXPECT_EQ(sensors_->Speed->Convert(6, 0), 0);
}

TEST_F(Classes, SpeedRawFollowsFamily) {
  ecu_->SetFamily(FAMILY_ANY);
  EXPECT_DOUBLE_EQ(SpeedRawToKmh(10000, ecu_->SpeedConstant), 100);
  ecu_->SetFamily(FAMILY_OBD0);
  EXPECT_DOUBLE_EQ(SpeedRawToKmh(10000, ecu_->SpeedConstant), 18.28);
}

TEST_F(Classes, TemperatureInBothScales) {
  TDisplayVar* water = sensors_->WaterTemp;
  double c = TempByteToCelsius(100);
  config_->TemperatureUnit = 1;
  EXPECT_DOUBLE_EQ(water->Convert(2, 100), c);
  config_->TemperatureUnit = 0;
  EXPECT_DOUBLE_EQ(water->Convert(2, 100), CelsiusToFahrenheit(c));
  EXPECT_DOUBLE_EQ(water->Convert(1, 100), ByteToVolts(100));
  water->SetDefaultRange();
  EXPECT_EQ(water->Tick, 40);
  config_->TemperatureUnit = 1;
  water->SetDefaultRange();
  EXPECT_EQ(water->Tick, 20);
}

TEST_F(Classes, DutyCycleFromInjectorTimeAndRevs) {
  sensors_->RawRevs->RawValue = 1875;  // 1000 rpm: a cycle of 120 ms
  sensors_->RawInjDuration->RawValue = 2469;
  double ms = InjRawToMs(2469);
  EXPECT_NEAR(sensors_->DutyCycle->GetValue(3), 100 * ms / 120, 1e-9);
  sensors_->RawRevs->RawValue = 0;  // no revs: a cycle of 100 ms
  EXPECT_NEAR(sensors_->DutyCycle->GetValue(3), ms, 1e-9);
}

TEST_F(Classes, IdleDifference) {
  TDisplayVar* diff = sensors_->FindDisplay(1047);
  sensors_->RawRevs->RawValue = 1875;          // 1000 rpm
  sensors_->FindRaw(100)->RawValue = 2500;     // 750 rpm target
  EXPECT_EQ(diff->GetValue(4), 250);
}

TEST_F(Classes, BooleanAndMaskPolarities) {
  TBooleanVar* acSwitch = sensors_->ACSwitch;  // bit 7, active low
  EXPECT_EQ(acSwitch->Convert(13, 0x00), 1);
  EXPECT_EQ(acSwitch->Convert(13, 0x80), 0);
  acSwitch->Enabled = 0;
  EXPECT_EQ(acSwitch->Convert(13, 0x00), 0);
  EXPECT_EQ(acSwitch->Convert(13, 0x80), 0);
  TBitMaskVar* spool = sensors_->VTECSpool;
  spool->Mask = 3;
  EXPECT_EQ(spool->Convert(13, 0x03), 1);
  EXPECT_EQ(spool->Convert(13, 0x01), 0);
  spool->ActiveHigh = 0;
  EXPECT_EQ(spool->Convert(13, 0x04), 1);
  EXPECT_EQ(spool->Convert(13, 0x01), 0);
}

TEST_F(Classes, LambdaFollowsTheTableAndUnit) {
  EXPECT_DOUBLE_EQ(sensors_->Lambda->Convert(21, 128), 1.1);  // 2.5 V
  EXPECT_NEAR(sensors_->Lambda->Convert(22, 128), 1.1 * 14.7, 1e-12);
}

TEST_F(Classes, GearWindowsAndHysteresis) {
  auto* gear = static_cast<TGearVar*>(sensors_->Gear);
  gear->SetDefaultRange();
  EXPECT_DOUBLE_EQ(gear->Upper[1], 3.9);
  EXPECT_DOUBLE_EQ(gear->Lower[1], 2.651);
  EXPECT_DOUBLE_EQ(gear->Lower[5], 0.87 * 0.8);
  ecu_->SetFamily(FAMILY_ANY);  // speed raw x 0.01 = km/h
  // w = s / 3.6 * 60 / 1.856 * 4.133; pick s = 100 km/h.
  double w = 100 * 0.27777777777777778 * 60 / 1.856 * 4.133;
  sensors_->RawSpeed->RawValue = 10000;
  sensors_->RawRevs->RawValue = static_cast<uint16_t>(1875000 / static_cast<int>(3.0 * w));
  double q = PeriodToRpm(sensors_->RawRevs->RawValue) / w;
  ASSERT_GT(q, 2.651);
  ASSERT_LT(q, 3.9);
  EXPECT_EQ(gear->GetValue(16), 1);
  // q = 4.0 lies in no window: the gear stays.
  sensors_->RawRevs->RawValue = static_cast<uint16_t>(1875000 / static_cast<int>(4.0 * w));
  EXPECT_EQ(gear->GetValue(16), 1);
  // Standing still: 0, and the remembered gear is kept.
  sensors_->RawSpeed->RawValue = 0;
  EXPECT_EQ(gear->GetValue(16), 0);
  sensors_->RawSpeed->RawValue = 10000;
  EXPECT_EQ(gear->GetValue(16), 1);
}

// ---------------------------------------------------------------------------------------------
// Ranges

TEST_F(Classes, RescaleWorkedExample) {
  TDisplayVar* v = sensors_->FindDisplay(1056);  // a trim: auto-ranged, floor -50, ceiling 50
  v->RangeMin = -12;
  v->RangeMax = 40;
  v->Tick = 1;
  v->Rescale();
  EXPECT_DOUBLE_EQ(v->RangeMax, 42.0);
  EXPECT_DOUBLE_EQ(v->RangeMin, -20);
  EXPECT_DOUBLE_EQ(v->Tick, 10);
}

TEST_F(Classes, RescaleTruncatesWhenTicksAreCoarse) {
  TDisplayVar* revs = sensors_->Revs;
  revs->RangeMin = 0;
  revs->RangeMax = 8500;
  revs->Tick = 1000;
  revs->Rescale();
  EXPECT_DOUBLE_EQ(revs->RangeMax, 8925);
  EXPECT_DOUBLE_EQ(revs->RangeMin, 0);
  EXPECT_DOUBLE_EQ(revs->Tick, 1000);
  revs->RangeMax = 20000;
  revs->Rescale();
  EXPECT_DOUBLE_EQ(revs->RangeMax, 12000);  // the ceiling
  EXPECT_DOUBLE_EQ(revs->Tick, 4096);
}

TEST_F(Classes, RescaleDoesNothingWithoutAutoRange) {
  TDisplayVar* tps = sensors_->TPS;
  tps->SetDefaultRange();
  tps->RangeMax = 1234;
  tps->Rescale();
  EXPECT_EQ(tps->RangeMax, 1234);
}

TEST_F(Classes, ExtendRangeInsideChangesNothing) {
  TDisplayVar* trim = sensors_->FindDisplay(1056);
  trim->RangeMin = -10;
  trim->RangeMax = 10;
  trim->Tick = 7;  // an odd tick that any rescale would replace
  sensors_->FindRaw(112)->RawValue = 32768;  // 0 %
  trim->ExtendRange();
  EXPECT_EQ(trim->Tick, 7);
  EXPECT_EQ(trim->RangeMax, 10);
  sensors_->FindRaw(112)->RawValue = 49152;  // +50 %
  trim->ExtendRange();
  // 50 widened to 52 and clamped at the ceiling; -10 moved to -9 then down to -10; span 60.
  EXPECT_EQ(trim->RangeMax, 50);
  EXPECT_EQ(trim->RangeMin, -10);
  EXPECT_EQ(trim->Tick, 10);
}

TEST_F(Classes, AutoRangeFromHistoryWidensToTheData) {
  TRecording rec(*sensors_->RawVars);
  rec.CreateHistories();
  TVarHist* h = rec.HistoryFor(*sensors_->RawRevs);
  h->Append(0, 1875);   // 1000 rpm
  h->Append(10, 187);   // 10026 rpm
  SetCurrentRecording(core_, &rec);
  sensors_->Revs->AutoRangeFromHistory();
  EXPECT_DOUBLE_EQ(sensors_->Revs->RangeMax, 10527);  // trunc(10026 * 1.05)
  EXPECT_DOUBLE_EQ(sensors_->Revs->RangeMin, 0);
  EXPECT_DOUBLE_EQ(sensors_->Revs->Tick, 4096);
  SetCurrentRecording(core_, nullptr);
  sensors_->Revs->AutoRangeFromHistory();  // no recording: the defaults
  EXPECT_DOUBLE_EQ(sensors_->Revs->RangeMax, 8500);
}

TEST_F(Classes, AccelerationFromTheHistory) {
  ecu_->SetFamily(FAMILY_ANY);
  TRecording rec(*sensors_->RawVars);
  rec.CreateHistories();
  TVarHist* h = rec.HistoryFor(*sensors_->RawSpeed);
  h->Append(0, 0);
  h->Append(50000, 1000);
  h->Append(100000, 3600);  // 36 km/h after 1 s: 10 m/s^2
  h->Append(150000, 3600);
  SetCurrentRecording(core_, &rec);
  TDisplayVar* accel = sensors_->Acceleration;
  EXPECT_NEAR(accel->GetValueAtIndex(18, 0), 10 * 0.10200750775257059, 1e-9);
  EXPECT_EQ(accel->GetValueAtIndex(18, 2), 0);  // no sample two further on
  EXPECT_NEAR(accel->GetValueAt(18, 0.2), accel->GetValueAtIndex(18, 0), 1e-12);
  // "Now": from the index of the last time lookup, with the current raw speed.
  h->SampleAt(0.0);
  sensors_->RawSpeed->RawValue = 0;
  EXPECT_NEAR(accel->GetValue(18), 10 * 0.10200750775257059, 1e-9);
  SetCurrentRecording(core_, nullptr);
  EXPECT_EQ(accel->GetValue(18), 0);
}

// Asked by ascending index, the values of the sensors that read the revs at their samples' times
// (and the acceleration) are GetValueAtIndex's: before the first revs sample, on a revs sample's
// tick and on two at once, between them, across the revs history's blocks and after its last;
// also asked again backwards, and with the tick counter wrapping in the revs history or the
// sensor's own.
TEST_F(Classes, ValuesInOrderAreTheValuesAtIndex) {
  // Both histories from 0; both wrapping after 4096 ticks; only the sensor's own wrapping.
  for (const uint32_t offset : {0u, 0xFFFFF000u, 0xFFFFC000u}) {
    TRecording rec(*sensors_->RawVars);
    rec.CreateHistories();
    TVarHist* revs = rec.HistoryFor(*sensors_->RawRevs);
    const uint32_t revsOffset = offset == 0xFFFFC000u ? 0 : offset;
    // Revs every 13 ticks from 7 on, with a second sample on every tenth one's tick.
    for (uint32_t t = 7; t < 40000; t += 13) {
      revs->Append(revsOffset + t, static_cast<uint16_t>(300 + t % 1700));
      if (t % 130 == 7) revs->Append(revsOffset + t, 400);
    }
    sensors_->Gear->SetDefaultRange();
    TDisplayVar* vars[] = {sensors_->DutyCycle, sensors_->FindDisplay(1047), sensors_->Gear, sensors_->Acceleration};
    for (TDisplayVar* var : vars) {
      TVarHist* h = rec.HistoryFor(*var->Source.load());
      if (h->Count() == 0)
        for (uint32_t t = 0; t < 42000; ++t) h->Append(offset + t, static_cast<uint16_t>(500 + t % 900));
    }
    SetCurrentRecording(core_, &rec);
    for (TDisplayVar* var : vars) {
      TValuesInOrder inOrder(*var);
      const int32_t n = var->SampleCount();
      ASSERT_GT(n, 2 * TVarHist::BlockSamples);
      // Every value against a reader of the variable's own that asks in order, and some against
      // the variable asked out of the blue (a gear then looks back for the gear held).
      TDisplayVar::TReadState state;
      for (int32_t i = 0; i < n; ++i) {
        const double value = inOrder.At(i);
        ASSERT_EQ(value, var->GetValueAtIndex(var->Unit, i, state)) << var->Name << " " << i;
        ASSERT_EQ(value, var->GetValueAtIndex(var->Unit, i, state)) << var->Name << " asked again at " << i;
        if (i % 97 == 0) {
          ASSERT_EQ(value, var->GetValueAtIndex(var->Unit, i)) << var->Name << " " << i;
        }
      }
      for (int32_t i = n - 1; i >= n - 50; --i) ASSERT_EQ(inOrder.At(i), var->GetValueAtIndex(var->Unit, i)) << var->Name << " " << i;
    }
    SetCurrentRecording(core_, nullptr);
  }
}

// ---------------------------------------------------------------------------------------------
// ECU type

TEST(EcuType, ModelsToFamilies) {
  TECUType t;
  EXPECT_STREQ(t.FamilyName(), "Unknown");
  EXPECT_EQ(t.SpeedConstant, 1.0);
  t.SetModel(3);
  EXPECT_EQ(t.Family, FAMILY_OBD1);
  EXPECT_EQ(t.SpeedConstant, 228500);
  t.SetModel(4);
  EXPECT_EQ(t.Family, FAMILY_ANY);
  EXPECT_EQ(t.SpeedConstant, 0);
  EXPECT_STREQ(t.FamilyName(), "Any");
  t.SetModel(7);
  EXPECT_EQ(t.Family, FAMILY_OBD0);
  EXPECT_EQ(t.SpeedConstant, 182800);
  t.SetModel(2);
  EXPECT_STREQ(t.FamilyName(), "OBD1");
  t.SetModel(0);
  EXPECT_STREQ(t.FamilyName(), "OBD0");
  t.SetFamily(9);  // anything unknown is OBD0
  EXPECT_EQ(t.Family, FAMILY_OBD0);
}

using Families = CatalogueTest;

TEST_F(Families, SpeedIdFollowsTheFamily) {
  TRawVar* speed = sensors_->RawSpeed;
  sensors_->ApplyEcuType(FAMILY_OBD0);
  EXPECT_EQ(sensors_->FindRaw(19), speed);
  EXPECT_EQ(sensors_->FindRaw(161), nullptr);
  EXPECT_EQ(speed->RequestCode, 9);
  EXPECT_EQ(sensors_->Speed->SourceId, 19);
  EXPECT_EQ(sensors_->Gear->SourceId, 19);
  EXPECT_EQ(sensors_->Acceleration->SourceId, 19);
  sensors_->ApplyEcuType(FAMILY_ANY);
  EXPECT_EQ(sensors_->FindRaw(161), speed);
  EXPECT_EQ(sensors_->FindRaw(19), nullptr);
  EXPECT_EQ(speed->RequestCode, 231);
  EXPECT_EQ(sensors_->Speed->SourceId, 161);
}

TEST_F(Families, SwitchFlagsDisabledOutsideObd0) {
  for (uint8_t family : {FAMILY_OBD1, FAMILY_ANY}) {
    sensors_->ApplyEcuType(family);
    for (TBooleanVar* v : {sensors_->ACSwitch, sensors_->Start, sensors_->PurgeValve, sensors_->ACRelay,
                           sensors_->ErrorLED}) {
      EXPECT_EQ(v->Convert(13, 0x00), 0) << v->Name;
      EXPECT_EQ(v->Convert(13, 0xFF), 0) << v->Name;
    }
  }
  sensors_->ApplyEcuType(FAMILY_OBD0);
  EXPECT_EQ(sensors_->ACSwitch->Convert(13, 0x00), 1);
}

TEST_F(Families, SupportAndRewiring) {
  TSensorList& s = *sensors_;
  s.ApplyEcuType(FAMILY_OBD1);
  EXPECT_EQ(s.RawInputs->Supported, 0);
  EXPECT_EQ(s.RawOutputs->Supported, 0);
  EXPECT_EQ(s.RawP0->Supported, 1);
  EXPECT_EQ(s.RawDigitalIn->Supported, 1);
  EXPECT_EQ(s.VTECPressure->Source, s.RawDigitalIn);
  EXPECT_EQ(s.VTECPressure->ActiveHigh, 0);
  EXPECT_EQ(s.VTECSpool->Source, s.RawP1);
  EXPECT_EQ(s.FuelPump->Mask, 7u);
  EXPECT_EQ(s.CheckLight->Mask, 4u);
  EXPECT_EQ(s.VTECPressure->Mask, 7u);
  EXPECT_EQ(s.VTECSpool->Mask, 1u);

  s.ApplyEcuType(FAMILY_ANY);
  EXPECT_EQ(s.RawInputs->Supported, 1);
  EXPECT_EQ(s.RawP1->Supported, 0);
  EXPECT_EQ(s.RawDigitalIn->Supported, 0);
  EXPECT_EQ(s.VTECPressure->Source, s.RawInputs);
  EXPECT_EQ(s.VTECPressure->ActiveHigh, 1);
  EXPECT_EQ(s.VTECSpool->Source, s.RawOutputs);
  EXPECT_EQ(s.VTECPressure->Mask, 1u);
  EXPECT_EQ(s.VTECSpool->Mask, 3u);

  s.ApplyEcuType(FAMILY_OBD0);
  EXPECT_EQ(s.VTECPressure->Source, s.RawInputs);  // unchanged by OBD0
  EXPECT_EQ(s.VTECPressure->Mask, 1u);
  EXPECT_EQ(s.FuelPump->Mask, 2u);
  EXPECT_EQ(s.CheckLight->Mask, 6u);
  EXPECT_EQ(s.VTECSpool->Mask, 3u);
  EXPECT_EQ(s.VTECSpool->Source, s.RawP1);
}

TEST_F(Families, UnknownFamilyChangesNothing) {
  sensors_->ApplyEcuType(0);
  EXPECT_EQ(sensors_->RawSpeed->Id, 161u);
  EXPECT_EQ(sensors_->VTECSpool->Mask, 0u);
}

}  // namespace
