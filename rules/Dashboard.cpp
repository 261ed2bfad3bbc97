#include "rules/Dashboard.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "vars/Formatters.h"
#include "vars/ErrorCodes.h"
#include "vars/Settings.h"
#include "vars/SensorList.h"
#include "vars/Units.h"

namespace {

constexpr const char* kDegC = "\xC2\xB0" "C";
constexpr const char* kDeg = "\xC2\xB0";

using K = TGaugeKind;
using G = TDashGroup;

// Bar scales whose bands the settings do not set: all three bands empty.
constexpr TBarDesign kNoBands{0, 0, 0, true, {TBand{0, 0, kDashGreen}, TBand{0, 0, kDashYellow}, TBand{0, 0, kDashRed}}};

constexpr TBarDesign Ticks(TBarDesign b, int major, int minor, int majorWidth) {
  b.TickMajor = major;
  b.TickMinor = minor;
  b.TickMajorWidth = majorWidth;
  return b;
}

// Readouts, bars, the dial and lights. Readouts without a caption sit in the bold-captioned
// column groups, borderless; the captioned ones keep their frame.
constexpr TGaugeDesign V(TGaugeId id, const char* name, G group, const char* caption, double min, double max,
                         const char* format, int font, const char* unit, bool border, int unitSize = 65) {
  return {id, name, K::Value, group, caption, "", min, max, format, font, unit, border, unitSize, 0, 0, false, {}, false};
}
constexpr TGaugeDesign B(TGaugeId id, const char* name, G group, const char* caption, int min, int max, int font,
                         TBarDesign bar = {}, bool hidden = false) {
  return {id, name, K::Bar, group, caption, "", double(min), double(max), "", font, "", true, 0, 0, 0, hidden, bar, false};
}
constexpr TGaugeDesign L(TGaugeId id, const char* name, G group, const char* caption, uint32_t colour = 0,
                         const char* hint = "") {
  return {id, name, K::Light, group, caption, hint, 0, 0, "", 0, "", true, 0, 0, colour, false, {}, false};
}

TGaugeDesign Gear() {
  TGaugeDesign d = V(gcGear, "gcGear", G::SpeedPanel, "Gear", 0, 5, "#", 41, "", true);
  d.CaptionMaxPx = 12;
  return d;
}

// The rev-limiter light shares a low strip above the launch display.
TGaugeDesign RevLimiter() {
  TGaugeDesign d = L(gcRevLimiter, "gcRevLimiter", G::SpeedPanel, "Rev Limit", 0, "Rev limiter operation");
  d.CaptionBeside = true;
  return d;
}

TGaugeDesign Dial() {
  return {gcRevs, "gcRevs", K::Dial, G::Middle, "", "", 0, 9500, "", 19, "", false, 0, 0, 0, false, {}, false};
}

const std::array<TGaugeDesign, GaugeCount> kDesigns = {
    V(gcTWtemp, "gcTWtemp", G::Water, "", -50, 250, "##0", 25, kDegC, false),
    B(gcTW, "gcTW", G::Water, "", 0, 120, 16),
    V(gcTAtemp, "gcTAtemp", G::Air, "", -50, 250, "##0", 25, kDegC, false),
    B(gcAirTemp, "gcAirTemp", G::Air, "", 0, 80, 16),
    Dial(),
    V(gcRevsFigures, "gcRevsFigures", G::Middle, "", 0, 19999, "####0", 20, "rpm", false),
    V(gcSpeed, "gcSpeed", G::SpeedPanel, "Speed", 0, 300, "##0.0", 29, "kph", true),
    RevLimiter(),
    V(gcLaunchrpm, "gcLaunchrpm", G::SpeedPanel, "Launch", 0, 19999, "####0", 15, "rpm", true, 0),
    Gear(),
    V(gcVTECrpm, "gcVTECrpm", G::SpeedPanel, "VTEC", 0, 19999, "####0", 15, "rpm", true, 0),
    V(gcShiftLightrpm, "gcShiftLightrpm", G::SpeedPanel, "Shift Light", 0, 19999, "####0", 15, "rpm", true, 0),
    V(gcShiftrpm, "gcShiftrpm", G::SpeedPanel, "Shift", 0, 19999, "####0", 15, "rpm", true, 0),
    V(gcOverallrpm, "gcOverallrpm", G::SpeedPanel, "Overall", 0, 19999, "####0", 15, "rpm", true, 0),
    V(gcTPSvoltage, "gcTPSvoltage", G::Throttle, "", 0, 5, "0.00", 25, "V", false),
    V(gcThrottlePercent, "gcThrottlePercent", G::Throttle, "", -20, 120, "##0", 29, "%", false),
    B(gcTPS, "gcTPS", G::Throttle, "", 0, 100, 16, Ticks(kNoBands, 20, 0, 8)),
    V(gcMAPvoltage, "gcMAPvoltage", G::Map, "", 0, 5, "0.00", 25, "V", false),
    V(gcMAPinches, "gcMAPinches", G::Map, "", -50, 40, "##0.0", 17, "Hg", false),
    V(gcMAPbar, "gcMAPbar", G::Map, "", 0, 5000, "###0", 17, "mb", false),
    B(gcMAP, "gcMAP", G::Map, "", 0, MapBarInitialMaximum, 15, Ticks(kNoBands, 200, 100, 0)),
    V(gcO2A, "gcO2A", G::GaugePanel, "O2 A", 0, 5, "0.00", 23, "V", true),
    V(gcO2B, "gcO2B", G::GaugePanel, "O2 B", 0, 5, "0.00", 23, "V", true),
    V(gcInjectorDuration, "gcInjectorDuration", G::GaugePanel, "Duration", 0, 99.9, "#0.0", 21, "mS", true),
    V(gcDutyCycle, "gcDutyCycle", G::GaugePanel, "Duty cycle", 0, 100, "##0", 29, "%", true),
    V(gcIgnitionAdvance, "gcIgnitionAdvance", G::GaugePanel, "Advance", 0, 90, "#0.0", 25, kDeg, true),
    L(gcVTECPressure, "gcVTECPressure", G::Vtec, "Pressure", kDashGreen),
    L(gcVTECSpool, "gcVTECSpool", G::Vtec, "Spool"),
    L(gcBrakes, "gcBrakes", G::Inputs, "Brake"),
    L(gcClutch, "gcClutch", G::Inputs, "Clutch"),
    L(gcACSwitch, "gcACSwitch", G::Inputs, "A/C"),
    L(gcStart, "gcStart", G::Inputs, "Start"),
    L(gcFuelPump, "gcFuelPump", G::Outputs, "Fuel"),
    L(gcErrorLED, "gcErrorLED", G::Outputs, "LED"),
    L(gcPurgeValve, "gcPurgeValve", G::Outputs, "Purge"),
    L(gcCheckLight, "gcCheckLight", G::Outputs, "Check"),
    L(gcACRelay, "gcACRelay", G::Outputs, "A/C"),
    B(gcKnock, "gcKnock", G::Lights, "Knock", 0, 8, 16,
      {2, 1, 0, true, {TBand{0, 4, kDashYellow}, TBand{4, 6, kDashGreen}, TBand{6, 8, kDashRed}}}, true),
};

int TruncInt(double v) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return 0;
  return static_cast<int>(v);
}

// Green up to the first limit, yellow up to the second, red to the maximum.
std::array<TBand, 3> Bands(int min, int green, int yellow, int max) {
  return {TBand{min, green, kDashGreen}, TBand{green, yellow, kDashYellow}, TBand{yellow, max, kDashRed}};
}

}  // namespace

const std::array<TGaugeDesign, GaugeCount>& GaugeDesigns() { return kDesigns; }

const char* GroupCaption(TDashGroup group) {
  switch (group) {
    case G::Water: return "Water";
    case G::Air: return "Air";
    case G::Throttle: return "Throttle";
    case G::Map: return "MAP";
    case G::Vtec: return "VTEC";
    case G::Inputs: return "Inputs";
    case G::Outputs: return "Outputs";
    default: return "";
  }
}

bool IsLight(TGaugeId id) { return id < GaugeCount && kDesigns[id].Kind == K::Light; }

// ---------------------------------------------------------------------------------------------
// One refresh

int TpsBarPercent(double volts) { return TruncInt((volts - 0.45) * 100 / (4.45 - 0.45)); }

int GrowMapMaximum(int maximum, double mbar) {
  if (!(mbar > maximum)) return maximum;  // also a reading that is not a number
  // Steps of 100 until the maximum is not below the reading; an absurd reading stops at the
  // largest step that fits.
  const double steps = std::ceil((mbar - maximum) / 100.0);
  const double grown = maximum + 100.0 * steps;
  if (grown > std::numeric_limits<int>::max()) return maximum + 100 * ((std::numeric_limits<int>::max() - maximum) / 100);
  return static_cast<int>(grown);
}

TMapInches MapInches(double mbar, double inHg) {
  if (mbar >= 1013.25) return {(mbar * 0.001 - 1.0132) * 14.6953, "lbs"};
  return {inHg, "Hg"};
}

uint8_t ErrorByte(double value) { return static_cast<uint8_t>(TruncInt(value) & 0xFF); }

bool GuardedLight(bool pollEnabled, double value) { return pollEnabled && value != 0; }

TDashboardValues ComputeDashboard(const TSensorList& sensors, int mapMaximum) {
  TDashboardValues out;
  out.MapMaximum = mapMaximum;
  auto set = [&out](TGaugeId g, double v) {
    out.Value[g] = v;
    out.Fed.set(g);
  };
  auto light = [&set](TGaugeId g, double v) { set(g, v != 0 ? 1 : 0); };
  auto guarded = [&set](TGaugeId g, TDisplayVar& var, double v) {
    const TRawVar* source = var.Source;
    set(g, GuardedLight(source && source->PollEnabled != 0, v) ? 1 : 0);
  };
  auto error = [&out](int i, double v) {
    out.ErrorBytes[i] = ErrorByte(v);
    out.ErrorByteRead[i] = true;
  };

  for (TVar* item : *sensors.DisplayVars) {
    auto& var = static_cast<TDisplayVar&>(*item);
    const uint8_t own = var.Unit;
    switch (var.Id) {
      case 1000: set(gcO2A, var.GetValue(UNIT_VOLTS)); break;
      case 1001: set(gcO2B, var.GetValue(UNIT_VOLTS)); break;
      case 1002: {
        const double volts = var.GetValue(UNIT_VOLTS);
        set(gcTPS, TpsBarPercent(volts));
        set(gcThrottlePercent, var.GetValue(UNIT_PERCENT));
        set(gcTPSvoltage, volts);
        break;
      }
      case 1003: {
        const double t = var.GetValue(UNIT_TEMPERATURE);
        set(gcTW, t);
        set(gcTWtemp, t);
        break;
      }
      case 1004: {
        const double t = var.GetValue(UNIT_TEMPERATURE);
        set(gcAirTemp, t);
        set(gcTAtemp, t);
        break;
      }
      case 1007: {
        const double m = var.GetValue(UNIT_MBAR);
        out.MapMaximum = GrowMapMaximum(out.MapMaximum, m);
        set(gcMAP, m);
        set(gcMAPbar, m);
        const TMapInches inches = MapInches(m, var.GetValue(UNIT_INHG));
        set(gcMAPinches, inches.Value);
        out.MapInchesUnit = inches.Unit;
        set(gcMAPvoltage, var.GetValue(UNIT_VOLTS));
        break;
      }
      case 1008: {
        const double r = var.GetValue(own);
        set(gcRevs, r);
        set(gcRevsFigures, r);
        break;
      }
      case 1010: set(gcInjectorDuration, var.GetValue(own)); break;
      case 1011: set(gcDutyCycle, var.GetValue(own)); break;
      case 1012: set(gcIgnitionAdvance, var.GetValue(own)); break;
      case 1014: light(gcBrakes, var.GetValue(own)); break;
      case 1015: light(gcVTECPressure, var.GetValue(own)); break;
      case 1016: light(gcVTECSpool, var.GetValue(own)); break;
      case 1017: guarded(gcErrorLED, var, var.GetValue(own)); break;
      case 1018: guarded(gcACSwitch, var, var.GetValue(own)); break;
      case 1019: guarded(gcACRelay, var, var.GetValue(own)); break;
      case 1020: set(gcKnock, var.GetValue(own)); break;
      case 1021: guarded(gcStart, var, var.GetValue(own)); break;
      case 1022: guarded(gcCheckLight, var, var.GetValue(own)); break;
      case 1023: guarded(gcFuelPump, var, var.GetValue(own)); break;
      case 1024: guarded(gcPurgeValve, var, var.GetValue(own)); break;
      case 1035: set(gcGear, var.GetValue(own)); break;
      case 1040: error(0, var.GetValue(own)); break;
      case 1041: error(1, var.GetValue(own)); break;
      case 1042: error(2, var.GetValue(own)); break;
      case 1116: error(3, var.GetValue(own)); break;
      case 1060: light(gcClutch, var.GetValue(own)); break;
      case 1061: set(gcLaunchrpm, var.GetValue(own)); break;
      case 1062: set(gcVTECrpm, var.GetValue(own)); break;
      case 1063: set(gcShiftLightrpm, var.GetValue(own)); break;
      case 1064: set(gcShiftrpm, var.GetValue(own)); break;
      case 1065: set(gcOverallrpm, var.GetValue(own)); break;
      case 1066: light(gcRevLimiter, var.GetValue(own)); break;
      case 1126: set(gcSpeed, var.GetValue(own)); break;
      default: break;  // no gauge
    }
  }
  out.ErrorsEnabled = std::any_of(out.ErrorBytes.begin(), out.ErrorBytes.end(), [](uint8_t e) { return e != 0; });
  return out;
}

void FeedErrorList(const TDashboardValues& values, TErrorCodes& codes) {
  for (int i = 0; i < 4; ++i)
    if (values.ErrorByteRead[static_cast<size_t>(i)]) codes.SetErrorByte(i + 1, values.ErrorBytes[static_cast<size_t>(i)]);
}

// ---------------------------------------------------------------------------------------------
// Unit and range settings

TDisplaySettings DisplaySettingsFor(const TSettings& settings) {
  const int8_t t = settings.TemperatureUnit;
  using S = TSettings;
  TDisplaySettings d;
  d.TemperatureUnit = UnitText(UNIT_TEMPERATURE, settings);
  d.SpeedUnit = UnitText(UNIT_SPEED, settings);
  d.Water = {S::WaterTempMin.Pick(t), S::WaterTempMax.Pick(t), S::WaterTempMajorTick.Pick(t),
             S::WaterTempMinorTick.Pick(t),
             Bands(S::WaterTempMin.Pick(t), S::WaterTempBand1.Pick(t), S::WaterTempBand2.Pick(t), S::WaterTempMax.Pick(t))};
  d.Air = {S::AirTempMin.Pick(t), S::AirTempMax.Pick(t), S::AirTempMajorTick.Pick(t), S::AirTempMinorTick.Pick(t),
           Bands(S::AirTempMin.Pick(t), S::AirTempBand1.Pick(t), S::AirTempBand2.Pick(t), S::AirTempMax.Pick(t))};
  d.RevsRedline = settings.StartofRedline;
  d.RevsMaximum = settings.MaximumRevs;
  d.LambdaUnit = settings.LambdaUnit != 0 ? UNIT_AFR : UNIT_LAMBDA;
  return d;
}

void ApplyLambdaUnit(TSensorList& sensors, const TSettings& settings) {
  if (sensors.Lambda) sensors.Lambda->Unit = DisplaySettingsFor(settings).LambdaUnit;
}

// ---------------------------------------------------------------------------------------------
// Proportions

int ReadoutHeight(TGaugeId id, int width) {
  switch (id) {
    case gcTWtemp:
    case gcTAtemp: return TruncInt(width * 0.58);
    case gcTPSvoltage:
    case gcMAPvoltage: return TruncInt(width * 0.55);
    case gcThrottlePercent: return TruncInt(width * 0.6);
    case gcMAPinches: return TruncInt(width * 0.4);
    case gcMAPbar: return TruncInt(width * 0.43);
    default: return 0;
  }
}

int DialHeight(int width, int columnHeight) {
  return std::max(0, std::min(TruncInt(0.85 * width), TruncInt(0.65 * columnHeight)));
}

TRect RevsFiguresRect(double cx, double cy, double r, int dialHeight) {
  constexpr double kAspect = 2.5;  // width to height: five digits and the unit
  constexpr double kPi = 3.14159265358979323846;
  // The scale's end nearer to straight down bounds the box's corners: at every value the needle
  // lies above the line from the centre to that end, the box below it, a needle's width apart.
  const double alpha = std::min(RevsDial.AngleStart, 360.0 - RevsDial.AngleEnd) * kPi / 180.0;
  const double clear = 0.06 * r / std::sin(alpha);
  const double slope = 1.0 / std::tan(alpha);  // how far down a corner must be per pixel aside
  const double room = dialHeight - cy - 2;
  const double h = std::max(0.0, std::min(0.3 * r, (room - clear) / (1.0 + slope * kAspect / 2)));
  const double w = kAspect * h;
  const double top = cy + slope * w / 2 + clear;
  return {TruncInt(cx - w / 2), TruncInt(top), TruncInt(w), TruncInt(h)};
}

double DashboardScale(int columnWidth) { return std::max(1.0, columnWidth / static_cast<double>(DesignColumnWidth)); }

int GearCaptionMaxPx(int columnWidth) { return TruncInt(12 * DashboardScale(columnWidth)); }

TSpeedPanelLayout SpeedPanelLayout(int pw, int ph, int columnWidth) {
  const double k = DashboardScale(columnWidth);
  auto cap = [k](int design) { return TruncInt(design * k); };
  TSpeedPanelLayout l;
  l.Speed = {0, 0, std::min(pw / 2, cap(140)), std::min(TruncInt(0.4 * ph), cap(100))};
  const int rpmWidth = std::min(TruncInt(0.36 * pw), cap(120));
  const int rpmHeight = std::min(TruncInt(0.28 * ph), cap(75));
  l.Launch = {l.Speed.Right(), l.Speed.Bottom() - rpmHeight, rpmWidth, rpmHeight};
  // The light fills what the launch display leaves above it beside the speed.
  l.RevLimiter = {l.Speed.Width, 0, rpmWidth, std::max(0, l.Launch.Top)};
  const int gearTop = l.Speed.Bottom();
  l.Gear = {0, gearTop, std::min(TruncInt(0.28 * pw), cap(100)), std::min(ph - gearTop, cap(120))};
  l.VTEC = {l.Gear.Right(), gearTop, rpmWidth, rpmHeight};
  l.ShiftLight = {l.VTEC.Right(), gearTop, rpmWidth, rpmHeight};
  l.Shift = {l.VTEC.Left, l.VTEC.Bottom(), rpmWidth, rpmHeight};
  l.Overall = {l.ShiftLight.Left, l.Shift.Top, rpmWidth, rpmHeight};
  return l;
}

int LampHeight(int panelHeight, int groupChrome) { return std::max(1, (panelHeight - 2 * groupChrome) / 9); }

int LampCaptionPx(int columnWidth) { return std::max(11, columnWidth * 11 / 68); }

TLampFit FitLamp(int columnWidth, int cellWidth, int cellHeight, bool captionBeside, int chrome,
                 const std::function<TTextSize(int px)>& captionAt) {
  constexpr int kSmallestLamp = 3;
  const int design = std::max(8, columnWidth * 8 / 68);
  TLampFit fit;
  for (fit.CaptionPx = LampCaptionPx(columnWidth); fit.CaptionPx > 1; --fit.CaptionPx) {
    const TTextSize text = captionAt(fit.CaptionPx);
    const int width = cellWidth - chrome - (captionBeside ? text.Width : 0);
    const int height = cellHeight - chrome - (captionBeside ? 0 : text.Height);
    fit.Radius = std::min({design, width / 2, height / 2});
    const bool captionFits = text.Width + chrome <= cellWidth && text.Height + chrome <= cellHeight;
    if (captionFits && fit.Radius >= std::min(design, kSmallestLamp)) return fit;
  }
  fit.Radius = std::max(1, fit.Radius);
  return fit;
}

int GaugePanelReadoutHeight(int panelHeight, int vtecGroupHeight) {
  return std::max(1, (panelHeight - vtecGroupHeight) / 5);
}

// ---------------------------------------------------------------------------------------------
// Sensor list

const std::array<TSensorColumnDesign, SensorColumnCount>& SensorColumns() {
  static const std::array<TSensorColumnDesign, SensorColumnCount> columns = {
      {{"Log", 30, "", 0, false},
       {"Sensor", 160, "Rev Limiter RPM", 1, false},
       {"Value", 55, "-1000.000", 2, true},
       {"Units", 50, "mbar", 1, false},
       {"Update (Hz)", 75, "Update (Hz)", 1, true},
       {"Lowest", 75, "-1000.000", 2, true},
       {"Highest", 75, "-1000.000", 2, true},
       {"Reads/s", 65, "Reads/s", 1, true}}};
  return columns;
}

std::vector<int> SpreadColumns(int width, const std::vector<int>& narrowest, const std::vector<int>& shares) {
  std::vector<int> widths = narrowest;
  int left = width, total = 0;
  for (size_t i = 0; i < widths.size(); ++i) {
    left -= widths[i];
    total += i < shares.size() ? shares[i] : 0;
  }
  if (left <= 0 || total <= 0) return widths;
  int given = 0;
  for (size_t i = 0; i < widths.size() && i < shares.size(); ++i) {
    const int more = left * shares[i] / total;
    widths[i] += more;
    given += more;
  }
  for (size_t i = 0; given < left && i < widths.size(); ++i)
    if (i < shares.size() && shares[i] > 0) {
      ++widths[i];
      ++given;
    }
  return widths;
}

std::string RateText(int32_t rateHz) { return rateHz == -1 ? "Max" : std::to_string(rateHz); }

std::string SensorValueText(TDisplayVar& var) { return FormatValue(var.Unit, var.GetValue(var.Unit)); }

TSensorRow SensorRow(const TDisplayVar& var, const TSettings& settings) {
  TSensorRow row;
  row.Id = var.Id;
  const TRawVar* source = var.Source;
  row.Logged = source && source->PollEnabled != 0;
  row.Name = var.Name;
  row.Units = UnitText(var.Unit, settings);
  row.Rate = source ? RateText(source->RateHz) : std::string();
  return row;
}

bool IsRateKey(char key) { return key == '+' || key == '.' || key == ',' || key == '-'; }

int32_t StepRate(int32_t rate, char key) {
  if (key == '+' || key == '.') {
    if (rate == 0) return 1;
    if (rate == 1) return 5;
    return std::min(rate + 5, 500);
  }
  if (key == ',' || key == '-') {
    if (rate == 5) return 1;
    return std::max(rate - 5, 0);
  }
  return rate;
}
