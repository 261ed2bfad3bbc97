#pragma once
// The Settings dialog's rules as plain values: its pages and fields with their captions, units and
// limits, the values it shows (filled from the settings, a stored value the dialog cannot show
// replaced by its default), the unit presets, the gearbox presets, the tyre calculator, the
// enabling rules and the write-back into the settings on OK. The dialog itself only binds
// controls to these.
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "rules/PortList.h"

struct TSettings;

// ---------------------------------------------------------------------------------------------
// Pages

enum TSettingsPage { spGeneral = 0, spVehicle, spDrivetrain, spRecording, spLambda, spPriorities, SettingsPageCount };
// "&General", "&Vehicle", ...
const char* SettingsPageCaption(int page);
// A stored page outside 0..5 opens the first page.
int SettingsStartPage(int storedPage);

// ---------------------------------------------------------------------------------------------
// Fields with a number in an edit

enum class TSettingsField : uint8_t {
  // Whole-number edits (base 10, at most five characters).
  ErrorTolerance,
  Timeout,
  GraphTimespan,
  UIUpdateDelayPlaying,
  UIUpdateDelayRecording,
  StartofRedline,
  MaximumRevs,
  // Decimal edits.
  BaroSeaLevelPressure,
  BaseIgnitionAdvance,
  Ratio1st,
  Ratio2nd,
  Ratio3rd,
  Ratio4th,
  Ratio5th,
  RatioFinal,
  WheelDiameter,
  TyreWidth,
  TyreAspectRatio,
  TyreRollingDiameter,
  TyreRollingCircumference,
  TyrePressure,
  Count
};
constexpr size_t SettingsFieldCount = static_cast<size_t>(TSettingsField::Count);

struct TFieldInfo {
  TSettingsField Field;
  const char* Name;     // the control's object name, e.g. "edtErrorTolerance"
  const char* Caption;  // the label before the edit (empty: the group says it)
  const char* Unit;     // the label after the edit (empty: none)
  bool Whole;           // a whole-number edit (TNumberEdit) rather than a decimal one
  double Min, Max;      // what the edit accepts
  int Decimals;         // decimal edits: digits after the point
  const char* Longest;  // the longest text the edit is sized for
};
const TFieldInfo& FieldInfo(TSettingsField f);
const std::vector<TFieldInfo>& SettingsFields();

// Whole-number edits: the range their rules check (with checking off they take any five digits).
constexpr int WholeEditMin = 0;
constexpr int WholeEditMax = 1000;
constexpr int WholeEditMaxLength = 5;
// The largest number a five-digit whole-number edit can show.
constexpr int WholeEditLargest = 99999;

// ---------------------------------------------------------------------------------------------
// Presets

struct TGearPreset {
  const char* Name;
  double Ratios[8];  // 1st..5th, final drive, two unused
};
constexpr int GearPresetCount = 11;
const std::array<TGearPreset, GearPresetCount>& GearPresets();

// ---------------------------------------------------------------------------------------------
// What the dialog shows

struct TSettingsValues {
  // General
  int8_t SpeedUnit = 0, TemperatureUnit = 0, PowerUnit = 0, TorqueUnit = 0, LambdaUnit = 0;
  bool Associated = false;
  // Drivetrain
  int GearRatioQuickSelectIndex = 0;
  bool UseCalculatedTyreDiameter = false;
  // Recording
  TPortChoice Port;
  bool PollSensorsQuickly = true;
  bool UseDSRForRecording = false, UseCDForLap = false, AutoSaveRecordings = false, AutoCloseRecordings = false;
  // Priorities: process slider 0..1, polling and screen-update sliders 0..4.
  int ProcessSlider = 0, PollingSlider = 2, ScreenSlider = 2;
  // Every number edit's value, by field.
  std::array<double, SettingsFieldCount> Numbers{};

  double& operator[](TSettingsField f) { return Numbers[static_cast<size_t>(f)]; }
  double operator[](TSettingsField f) const { return Numbers[static_cast<size_t>(f)]; }
};

// The values a fresh installation shows.
TSettingsValues DefaultSettingsValues();

// What the dialog shows for these settings. A value the dialog cannot show (outside its edit's
// limits, a unit other than 0 or 1, a slider position off its scale, a preset index that does not
// exist) is shown as its default. The Timeout box always starts at 0.
TSettingsValues FillSettingsValues(const TSettings& s, const TPortChoice& port, bool associated);

// OK: writes the values back in the dialog's order (the whole-number vehicle figures truncated
// toward zero) and the port choice. The priorities are applied by the caller.
void WriteBackSettings(const TSettingsValues& v, TSettings& s);

// ---------------------------------------------------------------------------------------------
// Control behaviour

// "&Imperial": mph, Fahrenheit, hp, ft-lbs; "&Metric": kph, Celcius, kW, NM. The lambda unit stays.
void ApplyUnitPreset(TSettingsValues& v, bool metric);
// Quick select: the index (an index outside the list changes nothing) and the six ratios.
void ApplyGearPreset(TSettingsValues& v, int index);

// Learned gear ratios taken into the ratio edits: gear numbers 1..5 with their ratios, rounded to
// the edits' four decimals; the other gears and the final drive stay.
void ApplyLearnedRatios(TSettingsValues& v, const std::vector<std::pair<int, double>>& ratios);
constexpr const char* LearnGearsCaption = "Learn from recording";

// Three decimals, halves upward: trunc(x * 1000 + 0.5) / 1000.
double RoundTo3(double x);
// The tyre calculator: overall diameter in metres from the rim (inches), width (mm) and aspect
// ratio (%), and the circumference from that diameter.
double CalculatedTyreDiameter(double wheelInches, double widthMm, double aspectPercent);
double CalculatedCircumference(double diameter);
// A change of wheel diameter, tyre width or aspect ratio: both results recalculated.
void RecalculateTyre(TSettingsValues& v);

struct TSettingsEnabling {
  bool TyreSize = false;         // wheel diameter, tyre width, aspect ratio
  bool RollingFigures = true;    // overall diameter, circumference
  bool AutoClose = false;        // "Close recording after auto-save"
  bool operator==(const TSettingsEnabling&) const = default;
};
TSettingsEnabling SettingsEnabling(const TSettingsValues& v);

// Process slider 1 stores 128 (high), 0 stores 32 (normal).
constexpr int NormalPriorityClass = 32;
constexpr int HighPriorityClass = 128;
