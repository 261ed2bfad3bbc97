#include "rules/SettingsLogic.h"

#include <algorithm>
#include <cmath>

#include "vars/Settings.h"

namespace {
using F = TSettingsField;

const char* const kPageCaptions[SettingsPageCount] = {"&General", "&Vehicle", "&Drivetrain",
                                                      "&Recording", "&Lambda", "&Priorities"};

// The six ratio fields in order 1st..5th, final drive.
constexpr F kRatioFields[6] = {F::Ratio1st, F::Ratio2nd, F::Ratio3rd, F::Ratio4th, F::Ratio5th, F::RatioFinal};

// The values as they stand in the settings, nothing checked.
TSettingsValues RawValues(const TSettings& s, const TPortChoice& port, bool associated) {
  TSettingsValues v;
  v.PollSensorsQuickly = s.PollSensorsQuickly;
  v[F::UIUpdateDelayPlaying] = s.UIUpdateDelayPlaying;
  v[F::UIUpdateDelayRecording] = s.UIUpdateDelayRecording;
  v[F::GraphTimespan] = s.GraphTimespan;
  v.SpeedUnit = s.SpeedUnit;
  v.TemperatureUnit = s.TemperatureUnit;
  v.PowerUnit = s.PowerUnit;
  v.TorqueUnit = s.TorqueUnit;
  v.LambdaUnit = s.LambdaUnit;
  v[F::BaroSeaLevelPressure] = s.BaroSeaLevelPressure;
  v.Port = port;
  v[F::ErrorTolerance] = s.ErrorTolerance;
  for (int i = 0; i < 6; ++i) v[kRatioFields[i]] = s.GearRatios[i];
  v.GearRatioQuickSelectIndex = s.GearRatioQuickSelectIndex;
  v[F::BaseIgnitionAdvance] = s.BaseIgnitionAdvance;
  v[F::WheelDiameter] = s.WheelDiameter;
  v[F::TyreWidth] = s.TyreWidth;
  v[F::TyreAspectRatio] = s.TyreAspectRatio;
  v[F::TyrePressure] = s.TyrePressure;
  v[F::TyreRollingDiameter] = s.TyreRollingDiameter;
  v[F::TyreRollingCircumference] = s.TyreRollingCircumference;
  v.UseCalculatedTyreDiameter = s.UseCalculatedTyreDiameter;
  v.ProcessSlider = s.ProcessPriority == HighPriorityClass ? 1 : 0;
  v.PollingSlider = s.PollThreadPriority + 2;
  v.ScreenSlider = s.UpdateUIThreadPriority + 2;
  v.UseDSRForRecording = s.UseDSRForRecording;
  v.UseCDForLap = s.UseCDForLap;
  v.AutoSaveRecordings = s.AutoSaveRecordings;
  v.AutoCloseRecordings = s.AutoCloseRecordings;
  v.Associated = associated;
  v[F::StartofRedline] = s.StartofRedline;
  v[F::MaximumRevs] = s.MaximumRevs;
  v[F::Timeout] = 0;
  return v;
}

bool Shows(const TFieldInfo& f, double value) {
  if (!std::isfinite(value)) return false;
  if (f.Whole) return value >= WholeEditMin && value <= WholeEditLargest && value == std::trunc(value);
  // The calculator may give a circumference beyond what can be typed (pi times the largest
  // diameter); the dialog shows it, so it stays valid the next time too.
  const double max = f.Field == F::TyreRollingCircumference
                         ? std::max(f.Max, CalculatedCircumference(FieldInfo(F::TyreRollingDiameter).Max))
                         : f.Max;
  return value >= f.Min && value <= max;
}

template <typename T>
void Keep(T& value, const T& def, bool ok) {
  if (!ok) value = def;
}

bool IsUnit(int8_t u) { return u == 0 || u == 1; }

}  // namespace

const char* SettingsPageCaption(int page) { return page >= 0 && page < SettingsPageCount ? kPageCaptions[page] : ""; }

int SettingsStartPage(int storedPage) { return storedPage >= 0 && storedPage < SettingsPageCount ? storedPage : 0; }

const std::vector<TFieldInfo>& SettingsFields() {
  static const std::vector<TFieldInfo> fields = {
      {F::ErrorTolerance, "edtErrorTolerance", "Maximum numbers of serial errors per second", "", true, 0, 1000, 0, "99999"},
      {F::Timeout, "edtTimeout", "Timeout", "ms", true, 0, 1000, 0, "99999"},
      {F::GraphTimespan, "edtGraphTimespan", "Default time shown on graph", "s", true, 0, 1000, 0, "99999"},
      {F::UIUpdateDelayPlaying, "edtUpdateDelayPlaying", "When playing update every", "ms", true, 0, 1000, 0, "99999"},
      {F::UIUpdateDelayRecording, "edtUpdateDelayRecording", "When recording update every", "ms", true, 0, 1000, 0, "99999"},
      {F::StartofRedline, "edtStartofRedline", "Start of red line", "rpm", true, 0, 1000, 0, "99999"},
      {F::MaximumRevs, "edtMaximumRevs", "Maximum revs", "rpm", true, 0, 1000, 0, "99999"},
      {F::BaroSeaLevelPressure, "edtBaroSeaLevelPressure", "Air pressure at sea level", "mbar", false, 0, 12000, 0, "12000"},
      {F::BaseIgnitionAdvance, "edtBaseIgnitionAdvance", "", "\xC2\xB0 BTDC", false, -45, 45, 0, "-45"},
      {F::Ratio1st, "edtRatio1st", "1st gear ratio", "", false, 0, 10, 4, "10.0000"},
      {F::Ratio2nd, "edtRatio2nd", "2nd gear ratio", "", false, 0, 10, 4, "10.0000"},
      {F::Ratio3rd, "edtRatio3rd", "3rd gear ratio", "", false, 0, 10, 4, "10.0000"},
      {F::Ratio4th, "edtRatio4th", "4th gear ratio", "", false, 0, 10, 4, "10.0000"},
      {F::Ratio5th, "edtRatio5th", "5th gear ratio", "", false, 0, 10, 4, "10.0000"},
      {F::RatioFinal, "edtRatioFinal", "Final drive ratio", "", false, 0, 10, 4, "10.0000"},
      {F::WheelDiameter, "edtWheelDiameter", "Wheel diameter", "inches", false, 0, 20, 0, "20"},
      {F::TyreWidth, "edtTyreWidth", "Tyre width", "mm", false, 0, 300, 0, "300"},
      {F::TyreAspectRatio, "edtTyreAspectRatio", "Tyre aspect ratio", "%", false, 0, 80, 0, "80"},
      {F::TyreRollingDiameter, "edtTyreRollingDiameter", "Overall diameter", "m", false, 0, 1, 3, "0.000"},
      {F::TyreRollingCircumference, "edtTyreRollingCircumference", "Circumference", "m", false, 0, 3, 3, "0.000"},
      {F::TyrePressure, "edtTyrePressure", "Tyre pressure", "psi", false, 0, 75, 0, "75"},
  };
  return fields;
}

const TFieldInfo& FieldInfo(TSettingsField f) { return SettingsFields()[static_cast<size_t>(f)]; }

const std::array<TGearPreset, GearPresetCount>& GearPresets() {
  static const std::array<TGearPreset, GearPresetCount> presets = {{
      {"S1 (90-93 Integra LS/RS)", {3.166, 1.857, 1.259, 0.935, 0.742, 4.400, 0, 0}},
      {"S1/J1 (DA6 Integra XSi)", {3.230, 2.105, 1.458, 1.107, 0.848, 4.400, 0, 0}},
      {"S80 (Integra LS/RS/GS 94+)", {3.230, 1.900, 1.269, 0.966, 0.714, 4.266, 0, 0}},
      {"S80 (JDM Integra SpecR98)", {3.230, 2.105, 1.458, 1.034, 0.787, 4.785, 0, 0}},
      {"Y1 (EF8/9 Civic/CRX SiR)", {3.166, 2.052, 1.416, 1.103, 0.870, 4.266, 0, 0}},
      {"Y1 (2nd gen)", {3.230, 2.105, 1.458, 1.107, 0.848, 4.400, 0, 0}},
      {"Y2 (Euro)", {3.250, 2.052, 1.416, 1.103, 0.870, 4.133, 0, 0}},
      {"Y2/Y21/S21 (93+ delsol)", {3.307, 2.105, 1.458, 1.107, 0.848, 4.400, 0, 0}},
      {"Y21/S80 (Integra SpecR96-97, EK9 CivicR 98+, EG6/EK4 JDM Civic SiR)", {3.230, 2.105, 1.458, 1.107, 0.848, 4.400, 0, 0}},
      {"Y20/S80 (Ingegra GSR 94+)", {3.230, 1.900, 1.360, 1.034, 0.787, 4.400, 0, 0}},
      {"YS1 (92-93 Integra GSR)", {3.307, 2.105, 1.458, 1.107, 0.880, 4.400, 0, 0}},
  }};
  return presets;
}

TSettingsValues DefaultSettingsValues() {
  const TSettings defaults;
  return RawValues(defaults, TPortChoice{}, false);
}

TSettingsValues FillSettingsValues(const TSettings& s, const TPortChoice& port, bool associated) {
  TSettingsValues v = RawValues(s, port, associated);
  const TSettingsValues d = DefaultSettingsValues();
  for (const TFieldInfo& f : SettingsFields()) {
    double& value = v[f.Field];
    if (!Shows(f, value)) value = d[f.Field];
  }
  Keep(v.SpeedUnit, d.SpeedUnit, IsUnit(v.SpeedUnit));
  Keep(v.TemperatureUnit, d.TemperatureUnit, IsUnit(v.TemperatureUnit));
  Keep(v.PowerUnit, d.PowerUnit, IsUnit(v.PowerUnit));
  Keep(v.TorqueUnit, d.TorqueUnit, IsUnit(v.TorqueUnit));
  Keep(v.LambdaUnit, d.LambdaUnit, IsUnit(v.LambdaUnit));
  Keep(v.GearRatioQuickSelectIndex, d.GearRatioQuickSelectIndex,
       v.GearRatioQuickSelectIndex >= 0 && v.GearRatioQuickSelectIndex < GearPresetCount);
  Keep(v.PollingSlider, d.PollingSlider, v.PollingSlider >= 0 && v.PollingSlider <= 4);
  Keep(v.ScreenSlider, d.ScreenSlider, v.ScreenSlider >= 0 && v.ScreenSlider <= 4);
  Keep(v.Port.ComPort, d.Port.ComPort, v.Port.ComPort >= 0 && v.Port.ComPort < 8);
  return v;
}

void WriteBackSettings(const TSettingsValues& v, TSettings& s) {
  auto whole = [&v](F f) { return static_cast<int32_t>(v[f]); };  // truncates toward zero
  // 1. Polling and refresh.
  s.PollSensorsQuickly = v.PollSensorsQuickly;
  s.UIUpdateDelayPlaying = whole(F::UIUpdateDelayPlaying);
  s.UIUpdateDelayRecording = whole(F::UIUpdateDelayRecording);
  s.GraphTimespan = whole(F::GraphTimespan);
  // 2. Units.
  s.SpeedUnit = v.SpeedUnit == 0 ? 0 : 1;
  s.TemperatureUnit = v.TemperatureUnit == 0 ? 0 : 1;
  s.PowerUnit = v.PowerUnit == 0 ? 0 : 1;
  s.TorqueUnit = v.TorqueUnit == 0 ? 0 : 1;
  s.LambdaUnit = v.LambdaUnit == 0 ? 0 : 1;
  // 3. Barometer, port, error tolerance.
  s.BaroSeaLevelPressure = v[F::BaroSeaLevelPressure];
  StorePortChoice(v.Port, s);
  s.ErrorTolerance = whole(F::ErrorTolerance);
  // 4. Gearing.
  for (int i = 0; i < 6; ++i) s.GearRatios[i] = v[kRatioFields[i]];
  s.GearRatioQuickSelectIndex = v.GearRatioQuickSelectIndex;
  // 5. Vehicle figures.
  s.BaseIgnitionAdvance = whole(F::BaseIgnitionAdvance);
  s.WheelDiameter = whole(F::WheelDiameter);
  s.TyreWidth = whole(F::TyreWidth);
  s.TyreAspectRatio = whole(F::TyreAspectRatio);
  s.TyrePressure = whole(F::TyrePressure);
  s.UseCalculatedTyreDiameter = v.UseCalculatedTyreDiameter;
  s.TyreRollingDiameter = v[F::TyreRollingDiameter];
  s.TyreRollingCircumference = v[F::TyreRollingCircumference];
  // 6. Priorities.
  s.ProcessPriority = v.ProcessSlider == 1 ? HighPriorityClass : NormalPriorityClass;
  s.PollThreadPriority = v.PollingSlider - 2;
  s.UpdateUIThreadPriority = v.ScreenSlider - 2;
  // 7. Recording options.
  s.UseDSRForRecording = v.UseDSRForRecording;
  s.UseCDForLap = v.UseCDForLap;
  s.AutoSaveRecordings = v.AutoSaveRecordings;
  s.AutoCloseRecordings = v.AutoCloseRecordings;
  // 8. Rev counter.
  s.StartofRedline = whole(F::StartofRedline);
  s.MaximumRevs = whole(F::MaximumRevs);
}

void ApplyUnitPreset(TSettingsValues& v, bool metric) {
  const int8_t u = metric ? 1 : 0;
  v.SpeedUnit = v.TemperatureUnit = v.PowerUnit = v.TorqueUnit = u;
}

void ApplyGearPreset(TSettingsValues& v, int index) {
  if (index < 0 || index >= GearPresetCount) return;
  v.GearRatioQuickSelectIndex = index;
  for (int i = 0; i < 6; ++i) v[kRatioFields[i]] = GearPresets()[static_cast<size_t>(index)].Ratios[i];
}

void ApplyLearnedRatios(TSettingsValues& v, const std::vector<std::pair<int, double>>& ratios) {
  for (const auto& [gear, ratio] : ratios)
    if (gear >= 1 && gear <= 5) v[kRatioFields[gear - 1]] = std::trunc(ratio * 10000 + 0.5) / 10000;
}

double RoundTo3(double x) { return std::trunc(x * 1000 + 0.5) / 1000; }

double CalculatedTyreDiameter(double wheelInches, double widthMm, double aspectPercent) {
  return RoundTo3(wheelInches * 0.0254 + widthMm * 0.001 * aspectPercent * 0.01 * 2);
}

double CalculatedCircumference(double diameter) { return RoundTo3(diameter * 3.14159265358979); }

void RecalculateTyre(TSettingsValues& v) {
  v[F::TyreRollingDiameter] = CalculatedTyreDiameter(v[F::WheelDiameter], v[F::TyreWidth], v[F::TyreAspectRatio]);
  v[F::TyreRollingCircumference] = CalculatedCircumference(v[F::TyreRollingDiameter]);
}

TSettingsEnabling SettingsEnabling(const TSettingsValues& v) {
  TSettingsEnabling e;
  e.TyreSize = v.UseCalculatedTyreDiameter;
  e.RollingFigures = !v.UseCalculatedTyreDiameter;
  e.AutoClose = v.AutoSaveRecordings;
  return e;
}
