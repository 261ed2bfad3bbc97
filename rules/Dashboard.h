#pragma once
// The dashboard page and the sensor list page as plain rules: which display variable drives which
// gauge in which unit, the throttle and pressure transformations, the guarded lights, the error
// bytes, the growing pressure scale, the gauges' design (ranges, formats, fonts, units, bands),
// the unit and range settings, the proportional layout, and the sensor list's columns, cell texts
// and rate stepping. The two pages only create their controls from these tables and copy the
// results into them.
#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TSensorList;
class TDisplayVar;
class TErrorCodes;
struct TSettings;

// ---------------------------------------------------------------------------------------------
// Gauges

// Every gauge of the dashboard, column by column from the left.
enum TGaugeId : uint8_t {
  gcTWtemp,
  gcTW,
  gcTAtemp,
  gcAirTemp,
  gcRevs,
  gcRevsFigures,
  gcSpeed,
  gcRevLimiter,
  gcLaunchrpm,
  gcGear,
  gcVTECrpm,
  gcShiftLightrpm,
  gcShiftrpm,
  gcOverallrpm,
  gcTPSvoltage,
  gcThrottlePercent,
  gcTPS,
  gcMAPvoltage,
  gcMAPinches,
  gcMAPbar,
  gcMAP,
  gcO2A,
  gcO2B,
  gcInjectorDuration,
  gcDutyCycle,
  gcIgnitionAdvance,
  gcVTECPressure,
  gcVTECSpool,
  gcBrakes,
  gcClutch,
  gcACSwitch,
  gcStart,
  gcFuelPump,
  gcErrorLED,
  gcPurgeValve,
  gcCheckLight,
  gcACRelay,
  gcKnock,
  GaugeCount
};

enum class TGaugeKind : uint8_t { Value, Bar, Dial, Light };

// Where a gauge sits. Water, Air, Throttle and Map are the bold-captioned column groups; Vtec sits
// in the gauge panel, Inputs and Outputs in the lights panel.
enum class TDashGroup : uint8_t { Water, Air, Middle, SpeedPanel, Throttle, Map, GaugePanel, Vtec, Inputs, Outputs, Lights };

// Colours as 0xRRGGBB.
constexpr uint32_t kDashGreen = 0x008000;
constexpr uint32_t kDashYellow = 0xFFFF00;
constexpr uint32_t kDashRed = 0xFF0000;

struct TBand {
  int From = 0, To = 0;
  uint32_t Colour = 0;
};

// A bar scale's ticks and bands; a tick field of 0 keeps the control's default, and the bands are
// set only when SetsBands is true.
struct TBarDesign {
  int TickMajor = 0;
  int TickMinor = 0;
  int TickMajorWidth = 0;
  bool SetsBands = false;
  std::array<TBand, 3> Bands{};
};

struct TGaugeDesign {
  TGaugeId Id;
  const char* Name;     // the control's name, "gcTWtemp" ...
  TGaugeKind Kind;
  TDashGroup Group;
  const char* Caption;  // empty for none
  const char* Hint;     // empty for none
  double Min, Max;      // design range (lights: unused)
  const char* Format;   // value displays' picture format
  int FontPx;           // pixel height of the digits or scale labels (bold Arial); 0 keeps the default
  const char* Unit;     // design unit text
  bool Border;          // false: no border; true: the control's default border
  int UnitSize;         // per cent of the caption size; 0 keeps the control's default
  int CaptionMaxPx;     // 0 keeps the control's default
  uint32_t LampColour;  // lights; 0 keeps the control's default red
  bool Hidden;
  TBarDesign Bar;
  bool CaptionBeside;   // lights: the caption left of the lamp (a low, wide cell)
};

// The design of every gauge, in TGaugeId order.
const std::array<TGaugeDesign, GaugeCount>& GaugeDesigns();
inline const TGaugeDesign& GaugeDesign(TGaugeId id) { return GaugeDesigns()[id]; }

// The bold captions of the column groups and the small groups.
const char* GroupCaption(TDashGroup group);

// The rev counter's fixed drawing details.
struct TDialDesign {
  double AngleStart = 45.0, AngleEnd = 300.0;
  uint32_t NeedleColour = 0x00FF00;
  int CircleMargin = 4;
  int ArcWidth = 3;
  int LabelDivider = 1000;
  int NeedleBaseRadius = 18;
};
constexpr TDialDesign RevsDial{};

// ---------------------------------------------------------------------------------------------
// One refresh

// The design maximum of the pressure bar; it only grows from here.
constexpr int MapBarInitialMaximum = 1050;

struct TDashboardValues {
  // Gauge values; a light is 1 when on, 0 when off.
  std::array<double, GaugeCount> Value{};
  // The gauges this refresh wrote; the others keep what they show.
  std::bitset<GaugeCount> Fed;
  // The pressure bar's maximum after the refresh.
  int MapMaximum = MapBarInitialMaximum;
  // "Hg" for vacuum, "lbs" for boost; empty when no pressure was read.
  std::string MapInchesUnit;
  std::array<uint8_t, 4> ErrorBytes{};
  std::array<bool, 4> ErrorByteRead{};
  // The "Errors" button: enabled exactly when a stored error byte is non-zero.
  bool ErrorsEnabled = false;
};

// One pass over the display variables in catalogue order, each read in the unit its gauge shows.
TDashboardValues ComputeDashboard(const TSensorList& sensors, int mapMaximum = MapBarInitialMaximum);
// Hands the error bytes read by the refresh to the error list (1..4).
void FeedErrorList(const TDashboardValues& values, TErrorCodes& codes);

// The throttle bar: 0.45 V is 0 and 4.45 V is 100, truncated toward zero and never clamped.
int TpsBarPercent(double volts);
// The pressure bar's maximum raised in steps of 100 until it is not below mbar.
int GrowMapMaximum(int maximum, double mbar);
// The inches display: boost in pounds from atmospheric pressure up, otherwise the vacuum in inches
// of mercury (inHg: the variable's own reading in that unit).
struct TMapInches {
  double Value;
  const char* Unit;
};
TMapInches MapInches(double mbar, double inHg);
// The low byte of an error-code reading.
uint8_t ErrorByte(double value);
// A light whose source may be switched off: off whenever its source is not polled.
bool GuardedLight(bool pollEnabled, double value);

// True for the indicator lights (they take on/off rather than a number).
bool IsLight(TGaugeId id);

// ---------------------------------------------------------------------------------------------
// Unit and range settings

struct TBarRange {
  int Min, Max, TickMajor, TickMinor;
  std::array<TBand, 3> Bands;
};

struct TDisplaySettings {
  std::string TemperatureUnit;  // "°C" or "°F"
  std::string SpeedUnit;        // "kph" or "mph"
  TBarRange Water;
  TBarRange Air;
  int RevsRedline;
  int RevsMaximum;
  uint8_t LambdaUnit;  // UNIT_AFR or UNIT_LAMBDA
};

TDisplaySettings DisplaySettingsFor(const TSettings& settings);
// Sets the Lambda display variable's unit to the air/fuel ratio or lambda, as the settings say.
void ApplyLambdaUnit(TSensorList& sensors, const TSettings& settings);

// ---------------------------------------------------------------------------------------------
// Proportions (all products truncated)

struct TRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  int Right() const { return Left + Width; }
  int Bottom() const { return Top + Height; }
  bool operator==(const TRect&) const = default;
};

// The height of a column's readout for its width; 0 for a gauge without a proportion.
int ReadoutHeight(TGaugeId id, int width);
// The dial is 0.85 of its width high, but never takes more than 65% of the middle column, so the
// speed panel keeps room on a wide, low window.
int DialHeight(int width, int columnHeight);
// The rev figures, in the dial control's coordinates from its circle (centre cx, cy and radius r)
// and its height: centred below the hub in the gap between the scale's ends, as large as fits
// (at most 0.3 r high, 2.5 times as wide as high) while staying clear of the needle at every
// value, of the hub and of the scale's labels, and inside the control.
TRect RevsFiguresRect(double cx, double cy, double r, int dialHeight);

// The design's column width, at which the dashboard has its design sizes; wider columns scale
// the size caps of the speed panel and the gear caption.
constexpr int DesignColumnWidth = 68;
// The scale of the caps for a column width: 1 up to the design width, then in proportion.
double DashboardScale(int columnWidth);

// The speed panel below the dial: speed, rev-limiter light, launch, gear and the rpm thresholds.
// Each size is a share of the panel up to a cap (speed 140 x 100, launch and the thresholds
// 120 x 75, gear 100 x 120 pixels at the design column width), the caps scaled with the column
// width so the cluster grows with the window.
struct TSpeedPanelLayout {
  TRect Speed, RevLimiter, Launch, Gear, VTEC, ShiftLight, Shift, Overall;
  bool operator==(const TSpeedPanelLayout&) const = default;
};
TSpeedPanelLayout SpeedPanelLayout(int width, int height, int columnWidth = DesignColumnWidth);
// The gear readout's caption: at most 12 pixels at the design column width, scaled with it.
int GearCaptionMaxPx(int columnWidth);

// The lamps of the lights panel: nine lamps in two groups whose frames (caption and edges) take
// groupChrome pixels each.
int LampHeight(int panelHeight, int groupChrome);
// The lamps' caption size in pixels: 11 at 68 pixels, growing with the column.
int LampCaptionPx(int columnWidth);
// A light's caption size and lamp radius in a cell: the design sizes for the column width (caption
// LampCaptionPx, radius 8 at 68 pixels growing with the column), made smaller until the caption
// and the lamp, one above the other or side by side, fit the cell with chrome pixels of margins
// and border along each direction. captionAt gives the caption's size at a pixel size.
struct TTextSize {
  int Width = 0, Height = 0;
};
struct TLampFit {
  int CaptionPx = 0;
  int Radius = 0;
  bool operator==(const TLampFit&) const = default;
};
TLampFit FitLamp(int columnWidth, int cellWidth, int cellHeight, bool captionBeside, int chrome,
                 const std::function<TTextSize(int px)>& captionAt);
// The five readouts of the gauge panel share what the VTEC group leaves.
int GaugePanelReadoutHeight(int panelHeight, int vtecGroupHeight);

// ---------------------------------------------------------------------------------------------
// Sensor list

// The five columns of the design, then the live link's statistics (rules/SensorStats): the lowest
// and highest value since the link came up and the rate the sensor is really read at.
constexpr int SensorColumnCount = 8;
enum TSensorColumn : uint8_t { scLog, scSensor, scValue, scUnits, scRate, scLowest, scHighest, scReads };
// Width is the design width at 96 dots per inch (the narrowest the column gets); Widest is the
// longest text the column shows in practice, so a larger screen font widens the column instead of
// cutting its texts. Share is the column's part of the width the list has beyond its columns'
// narrowest; Numbers are right-aligned.
struct TSensorColumnDesign {
  const char* Caption;
  int Width;
  const char* Widest;
  int Share;
  bool Numbers;
};
const std::array<TSensorColumnDesign, SensorColumnCount>& SensorColumns();
// The columns' widths in a list of the given width: each its narrowest, and what is left over
// shared out by the columns' shares (the last pixels to the first sharing columns).
std::vector<int> SpreadColumns(int width, const std::vector<int>& narrowest, const std::vector<int>& shares);

// "Max" for -1, else the rate in decimal.
std::string RateText(int32_t rateHz);
// The value cell: the variable's reading in its own unit, formatted for that unit.
std::string SensorValueText(TDisplayVar& var);

// A row as the list shows it after a fill (the value cell stays empty until the next refresh).
struct TSensorRow {
  uint32_t Id = 0;
  bool Logged = false;
  std::string Name, Units, Rate;
};
TSensorRow SensorRow(const TDisplayVar& var, const TSettings& settings);

// "+" and "." step the rate up (0, 1, 5, 10 ... 500), "," and "-" down; true for those keys.
bool IsRateKey(char key);
int32_t StepRate(int32_t rateHz, char key);
