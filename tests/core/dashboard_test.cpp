// The dashboard's and the sensor list's rules over a built catalogue.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <string>

#include "TestSupport.h"
#include "rules/Dashboard.h"
#include "vars/Conversions.h"
#include "vars/ErrorCodes.h"

namespace {

class DashboardTest : public CatalogueTest {
 protected:
  TDisplayVar& Var(uint32_t id) { return *sensors_->FindDisplay(id); }
  void Raw(uint32_t displayId, uint16_t raw) { static_cast<TRawVar*>(Var(displayId).Source)->RawValue = raw; }
};

}  // namespace

TEST(DashboardRules, ThrottleBarFromVolts) {
  const struct {
    double volts;
    int percent;
  } cases[] = {{0.45, 0}, {4.45, 100}, {2.45, 50}, {0.40, -1}, {0.0, -11}, {5.0, 113}};
  for (const auto& c : cases) EXPECT_EQ(TpsBarPercent(c.volts), c.percent) << c.volts;
}

TEST(DashboardRules, PressureScaleGrowsInHundredsAndNeverShrinks) {
  const struct {
    int max;
    double mbar;
    int grown;
  } cases[] = {{1050, 1200, 1250}, {1250, 900, 1250}, {1050, 1050, 1050}, {1050, 1050.01, 1150},
               {1050, std::nan(""), 1050}, {1050, 1e300, 2147483550}};
  for (const auto& c : cases) EXPECT_EQ(GrowMapMaximum(c.max, c.mbar), c.grown) << c.mbar;
}

TEST(DashboardRules, InchesDisplaySwitchesToPoundsAtAtmosphericPressure) {
  const TMapInches boost = MapInches(1013.25, -99);
  EXPECT_STREQ(boost.Unit, "lbs");
  EXPECT_NEAR(boost.Value, 0.000734765, 1e-9);
  const TMapInches vacuum = MapInches(1013.2499, 0.0017);
  EXPECT_STREQ(vacuum.Unit, "Hg");
  EXPECT_EQ(vacuum.Value, 0.0017);
}

TEST(DashboardRules, ErrorBytesAndGuardedLights) {
  EXPECT_EQ(ErrorByte(0x100), 0);
  EXPECT_EQ(ErrorByte(0x1FF), 0xFF);
  EXPECT_EQ(ErrorByte(7.9), 7);
  EXPECT_FALSE(GuardedLight(false, 1));
  EXPECT_FALSE(GuardedLight(true, 0));
  EXPECT_TRUE(GuardedLight(true, -0.5));
}

TEST_F(DashboardTest, EveryGaugeButTheKnockBarIsFedFromItsVariable) {
  Raw(1008, RpmToPeriod(6000));
  Raw(1003, CelsiusToTempByte(85));
  Raw(1004, CelsiusToTempByte(30));
  Raw(1002, 128);  // 2.5 V
  Raw(1007, 40);
  const TDashboardValues d = ComputeDashboard(*sensors_);
  for (int g = 0; g < GaugeCount; ++g) EXPECT_EQ(d.Fed.test(g), g != gcKnock) << GaugeDesign(TGaugeId(g)).Name;
  // Each gauge reads its own variable in the unit it shows.
  const struct {
    TGaugeId gauge;
    uint32_t id;
    uint8_t unit;
  } wiring[] = {{gcRevs, 1008, UNIT_RPM},           {gcRevsFigures, 1008, UNIT_RPM},  {gcTW, 1003, UNIT_TEMPERATURE},
                {gcTAtemp, 1004, UNIT_TEMPERATURE}, {gcTPSvoltage, 1002, UNIT_VOLTS}, {gcThrottlePercent, 1002, UNIT_PERCENT},
                {gcMAPbar, 1007, UNIT_MBAR},        {gcMAPvoltage, 1007, UNIT_VOLTS}, {gcMAPinches, 1007, UNIT_INHG}};
  for (const auto& w : wiring)
    EXPECT_DOUBLE_EQ(d.Value[w.gauge], Var(w.id).GetValue(w.unit)) << GaugeDesign(w.gauge).Name;
  EXPECT_EQ(d.Value[gcTPS], 51);  // trunc(51.25)
  EXPECT_NE(d.Value[gcTW], d.Value[gcAirTemp]);
  EXPECT_EQ(d.MapInchesUnit, "Hg");
}

TEST_F(DashboardTest, BoostSwitchesTheUnitAndGrowsTheBar) {
  Raw(1007, 200);  // about 1.39 bar
  const TDashboardValues d = ComputeDashboard(*sensors_);
  const double m = Var(1007).GetValue(UNIT_MBAR);
  ASSERT_GT(m, 1350);
  EXPECT_EQ(d.MapMaximum, GrowMapMaximum(MapBarInitialMaximum, m));
  EXPECT_EQ(d.MapInchesUnit, "lbs");
  EXPECT_NEAR(d.Value[gcMAPinches], (m * 0.001 - 1.0132) * 14.6953, 1e-9);
  Raw(1007, 40);
  EXPECT_EQ(ComputeDashboard(*sensors_, d.MapMaximum).MapMaximum, d.MapMaximum);
}

TEST_F(DashboardTest, CheckLightFollowsItsSourcesPollFlag) {
  Raw(1022, 0x10);
  ASSERT_EQ(Var(1022).GetValue(UNIT_ONOFF), 1);
  EXPECT_EQ(ComputeDashboard(*sensors_).Value[gcCheckLight], 1);
  Var(1022).Source.load()->PollEnabled = 0;
  EXPECT_EQ(ComputeDashboard(*sensors_).Value[gcCheckLight], 0);
  // An unguarded light ignores the flag.
  Raw(1066, 1);
  Var(1066).Source.load()->PollEnabled = 0;
  EXPECT_EQ(ComputeDashboard(*sensors_).Value[gcRevLimiter], 1);
}

TEST_F(DashboardTest, ErrorBytesEnableTheButtonAndFeedTheList) {
  Raw(1041, 0x100);
  TDashboardValues d = ComputeDashboard(*sensors_);
  EXPECT_EQ(d.ErrorBytes[1], 0);
  EXPECT_FALSE(d.ErrorsEnabled);
  Raw(1116, 0x04);
  d = ComputeDashboard(*sensors_);
  EXPECT_TRUE(d.ErrorsEnabled);
  EXPECT_EQ(d.ErrorBytes[3], 4);
  TErrorCodes codes;
  codes.SetErrorByte(1, 0xFF);  // a byte now read as 0 clears its rows
  FeedErrorList(d, codes);
  TErrorCodes expected;
  expected.SetErrorByte(4, 4);
  EXPECT_EQ(codes.ActiveRows(), expected.ActiveRows());
  EXPECT_FALSE(expected.ActiveRows().empty());
}

TEST_F(DashboardTest, DisplaySettingsFollowTheTemperatureUnit) {
  config_->TemperatureUnit = 0;
  TDisplaySettings f = DisplaySettingsFor(*config_);
  EXPECT_EQ(f.TemperatureUnit, "\xC2\xB0" "F");
  EXPECT_EQ(f.Water.Min, 60);
  EXPECT_EQ(f.Water.Max, 240);
  EXPECT_EQ(f.Water.Bands[0].From, 60);
  EXPECT_EQ(f.Water.Bands[0].To, 200);
  EXPECT_EQ(f.Water.Bands[1].To, 220);
  EXPECT_EQ(f.Water.Bands[2].From, 220);
  EXPECT_EQ(f.Water.Bands[2].To, 240);
  EXPECT_EQ(f.Air.TickMajor, 40);
  config_->TemperatureUnit = 1;
  config_->SpeedUnit = 1;
  config_->StartofRedline = 7000;
  const TDisplaySettings c = DisplaySettingsFor(*config_);
  EXPECT_EQ(c.TemperatureUnit, "\xC2\xB0" "C");
  EXPECT_EQ(c.SpeedUnit, "kph");
  EXPECT_EQ(c.Air.Max, 80);
  EXPECT_EQ(c.Air.Bands[1].To, 70);
  EXPECT_EQ(c.RevsRedline, 7000);
  EXPECT_EQ(c.RevsMaximum, 9500);
}

TEST_F(DashboardTest, LambdaUnitFollowsTheSetting) {
  config_->LambdaUnit = 1;
  ApplyLambdaUnit(*sensors_, *config_);
  EXPECT_EQ(sensors_->Lambda->Unit, UNIT_AFR);
  config_->LambdaUnit = 0;
  ApplyLambdaUnit(*sensors_, *config_);
  EXPECT_EQ(sensors_->Lambda->Unit, UNIT_LAMBDA);
}

TEST(DashboardDesign, NamesAreUniqueAndInIdOrder) {
  std::set<std::string> names;
  for (int g = 0; g < GaugeCount; ++g) {
    EXPECT_EQ(GaugeDesigns()[g].Id, g);
    EXPECT_TRUE(names.insert(GaugeDesigns()[g].Name).second);
  }
  EXPECT_EQ(std::count_if(GaugeDesigns().begin(), GaugeDesigns().end(), [](auto& d) { return IsLight(d.Id); }), 12);
  EXPECT_TRUE(GaugeDesign(gcKnock).Hidden);
}

TEST(DashboardLayout, Proportions) {
  EXPECT_EQ(ReadoutHeight(gcTWtemp, 68), 39);
  EXPECT_EQ(ReadoutHeight(gcMAPbar, 100), 43);
  EXPECT_EQ(ReadoutHeight(gcO2A, 100), 0);
  EXPECT_EQ(DialHeight(254, 500), 215);
  EXPECT_EQ(DialHeight(1000, 600), 390);  // a wide, low window keeps room for the speed panel
  EXPECT_EQ(LampCaptionPx(136), 22);
}

// The rev figures sit in the gap at the dial's foot: below the needle at every value (its two
// ends are the nearest to the box), below the hub and the needle's tail, between the "0" and the
// end labels, and inside the control.
TEST(DashboardLayout, RevFiguresStayClearOfTheDial) {
  constexpr double kPi = 3.14159265358979323846;
  for (double r : {60.0, 120.0, 260.0}) {
    const double cx = 300, cy = r + 10;
    const int height = static_cast<int>(cy + 0.71 * r + 5);  // as low as the arc's end
    const TRect f = RevsFiguresRect(cx, cy, r, height);
    EXPECT_NEAR(f.Width, 2.5 * f.Height, 3) << r;
    EXPECT_GE(f.Height, 0.25 * r) << r;
    EXPECT_LE(f.Bottom(), height) << r;
    EXPECT_GT(f.Top - cy, 0.26 * r) << r;  // the hub (0.15 r) and the needle's tail (0.21 r)
    EXPECT_NEAR(f.Left + f.Width / 2.0, cx, 1) << r;
    // The needle's centre line, its tail (0.21 r) included: 0 degrees points down, angles grow
    // clockwise. Its half width is under 0.04 r.
    double nearest = r;
    for (double a = RevsDial.AngleStart; a <= RevsDial.AngleEnd; a += 0.5) {
      const double dx = -std::sin(a * kPi / 180), dy = std::cos(a * kPi / 180);
      for (double t = -0.21 * r; t <= r; t += 0.5) {
        const double x = cx + dx * t, y = cy + dy * t;
        const double ox = std::max({f.Left - x, x - f.Right(), 0.0}), oy = std::max({f.Top - y, y - f.Bottom(), 0.0});
        nearest = std::min(nearest, std::hypot(ox, oy));
      }
    }
    EXPECT_GT(nearest, 0.04 * r) << r;
    // The scale's labels stand at 0.8 r.
    for (double a : {RevsDial.AngleStart, RevsDial.AngleEnd}) {
      const double lx = cx - std::sin(a * kPi / 180) * 0.8 * r;
      EXPECT_TRUE(lx < f.Left - 0.06 * r || lx > f.Right() + 0.06 * r) << r << " " << a;
    }
  }
}

TEST(DashboardLayout, LampsShrinkToTheirCells) {
  // Text as wide as 5 characters of 0.6 em and 1.2 em high.
  auto text = [](int px) { return TTextSize{3 * px, px * 6 / 5}; };
  // Room enough: the design sizes of the column width.
  EXPECT_EQ(FitLamp(68, 60, 60, false, 6, text), (TLampFit{11, 8}));
  EXPECT_EQ(FitLamp(136, 120, 120, false, 6, text), (TLampFit{22, 16}));
  // A low cell takes a smaller lamp under the caption: 30 - 6 - 13 = 11 pixels for it.
  EXPECT_EQ(FitLamp(68, 60, 30, false, 6, text), (TLampFit{11, 5}));
  // Beside the lamp in a narrow cell the caption shrinks until both fit: 3 px + 2 r + 6 <= 40.
  const TLampFit beside = FitLamp(136, 40, 40, true, 6, text);
  EXPECT_LE(3 * beside.CaptionPx + 2 * beside.Radius + 6, 40);
  EXPECT_GE(beside.Radius, 3);
  EXPECT_LT(beside.CaptionPx, 22);
}

TEST(DashboardLayout, SpeedPanel) {
  TSpeedPanelLayout l = SpeedPanelLayout(250, 200);
  EXPECT_EQ(l.Speed, (TRect{0, 0, 125, 80}));
  EXPECT_EQ(l.Launch, (TRect{125, 24, 90, 56}));
  EXPECT_EQ(l.RevLimiter.Left, 125);
  EXPECT_EQ(l.Gear, (TRect{0, 80, 70, 120}));
  EXPECT_EQ(l.VTEC, (TRect{70, 80, 90, 56}));
  EXPECT_EQ(l.ShiftLight.Left, 160);
  EXPECT_EQ(l.Shift, (TRect{70, 136, 90, 56}));
  EXPECT_EQ(l.Overall, (TRect{160, 136, 90, 56}));
  l = SpeedPanelLayout(1000, 1000);  // every size stops at its cap
  EXPECT_EQ(l.Speed, (TRect{0, 0, 140, 100}));
  EXPECT_EQ(l.Launch, (TRect{140, 25, 120, 75}));
  EXPECT_EQ(l.Gear, (TRect{0, 100, 100, 120}));
  // A wider column (a larger window) scales the caps: twice the design column, twice the caps.
  l = SpeedPanelLayout(1000, 1000, 2 * DesignColumnWidth);
  EXPECT_EQ(l.Speed, (TRect{0, 0, 280, 200}));
  EXPECT_EQ(l.Launch, (TRect{280, 50, 240, 150}));
  EXPECT_EQ(l.Gear, (TRect{0, 200, 200, 240}));
  EXPECT_EQ(l.Overall, (TRect{440, 350, 240, 150}));
  EXPECT_EQ(SpeedPanelLayout(250, 200, 30), SpeedPanelLayout(250, 200));  // never below the design
  EXPECT_EQ(GearCaptionMaxPx(68), 12);
  EXPECT_EQ(GearCaptionMaxPx(136), 24);
}

TEST(SensorListRules, RateStepping) {
  const struct {
    int32_t rate;
    char key;
    int32_t stepped;
  } cases[] = {{-1, '+', 4}, {-1, '-', 0}, {1, '-', 0}, {498, '+', 500}, {500, '.', 500}, {0, '.', 1}, {1, '+', 5},
               {5, ',', 1}, {10, '-', 5}, {0, '-', 0}, {20, 'x', 20}};
  for (const auto& c : cases) EXPECT_EQ(StepRate(c.rate, c.key), c.stepped) << c.rate << c.key;
  EXPECT_TRUE(IsRateKey(','));
  EXPECT_FALSE(IsRateKey('='));
  EXPECT_EQ(RateText(-1), "Max");
  EXPECT_EQ(RateText(15), "15");
}

TEST_F(DashboardTest, SensorRowTexts) {
  config_->TemperatureUnit = 1;
  TDisplayVar& water = Var(1003);
  Raw(1003, CelsiusToTempByte(85));
  water.Source.load()->RateHz = -1;
  water.Source.load()->PollEnabled = 0;
  const TSensorRow row = SensorRow(water, *config_);
  EXPECT_EQ(row.Id, 1003u);
  EXPECT_FALSE(row.Logged);
  EXPECT_EQ(row.Name, "Water Temp");
  EXPECT_EQ(row.Units, "\xC2\xB0" "C");
  EXPECT_EQ(row.Rate, "Max");
  EXPECT_EQ(SensorValueText(water), FormatValue(UNIT_TEMPERATURE, water.GetValue(UNIT_TEMPERATURE)));
  config_->TemperatureUnit = 0;
  EXPECT_EQ(SensorRow(water, *config_).Units, "\xC2\xB0" "F");
  EXPECT_EQ(SensorColumns()[scRate].Caption, std::string("Update (Hz)"));
}
