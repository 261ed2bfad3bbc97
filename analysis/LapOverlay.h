#pragma once
// Laps laid over each other on the graph: every lap of the current recording drawn from its own
// start, against the time or the distance since then, the fastest lap as the reference, and the
// time each lap gains or loses on it along the way ("Δ time"). What the graph draws and writes
// comes from here; the chart widget only paints it.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/DistanceTrack.h"
#include "analysis/Laps.h"
#include "rules/GraphModel.h"

class TRecording;
class TSensorList;

constexpr const char* LapTimeAxisCaption = "Lap time (s)";
constexpr const char* LapDistanceAxisCaption = "Distance (m)";
constexpr const char* DeltaTimePaneTitle = "\xCE\x94 time";  // "Δ time"
// The Δ time pane's lines and its zero line.
constexpr uint32_t DeltaTimeColour = 0x008000;

// A row of the legend: "Lap 3  62.75 s" (the lap time as the Laps page writes it), the fastest
// marked, the others with their time lost on it ("Lap 1  65.5 s  +3.75").
struct TLapLegendRow {
  size_t Lap = 0;  // index into the laps
  std::string Text;
  bool Visible = true;
  bool Reference = false;
  uint32_t Colour = 0;  // the lap's line in a pane of the given colour
};

// Whether a recording has lap signals, and road-speed samples (the catalogue's speed variable).
bool HasLapSignals(const TRecording& recording);
bool HasRoadSpeed(const TRecording& recording, const TSensorList& sensors);

class TLapOverlay {
 public:
  // The laps of a recording; the distance from its road speed (speed: that history, none without
  // one) with the speed constant its samples are read with.
  TLapOverlay(const TRecording& recording, const TVarHist* speed, double speedConstant);
  // The overlay of the current recording as the catalogue reads it.
  static TLapOverlay Of(const TRecording& recording, const TSensorList& sensors);

  const std::vector<TLap>& Laps() const { return laps_; }
  bool HasLaps() const { return !laps_.empty(); }
  // The fastest lap (the first of equal ones).
  size_t Reference() const { return reference_; }

  TLapAxis Axis() const { return axis_; }
  // Distance only with a road speed; time otherwise.
  void SetAxis(TLapAxis axis);
  TGraphAxisUnit AxisUnit() const { return axis_ == TLapAxis::Distance ? TGraphAxisUnit::Metres : TGraphAxisUnit::Seconds; }
  const char* AxisCaption() const { return axis_ == TLapAxis::Distance ? LapDistanceAxisCaption : LapTimeAxisCaption; }

  bool Visible(size_t lap) const { return lap < visible_.size() && visible_[lap]; }
  void SetVisible(size_t lap, bool visible);
  void Toggle(size_t lap) { SetVisible(lap, !Visible(lap)); }
  // The visible laps in drawing order: the others by number, then the reference on top.
  std::vector<size_t> DrawOrder() const;
  // The visible laps as the pane texts list them: the reference first, then the others by number.
  std::vector<size_t> ReadoutOrder() const;

  // A lap's length along the axis (seconds, or metres travelled) and the longest visible lap's
  // (at least a millisecond or a millimetre; every lap's when none is visible).
  double LapLength(size_t lap) const;
  double Length() const;

  // A lap's line in a pane of colour: the reference in the pane's colour, the others lighter, in
  // shades that tell neighbouring laps apart. The reference's line is one pixel thicker.
  uint32_t LapColour(uint32_t paneColour, size_t lap) const;
  int LapPenWidth(int penWidth, size_t lap) const { return lap == reference_ ? penWidth + 1 : penWidth; }
  std::vector<TLapLegendRow> Legend(uint32_t paneColour) const;

  // A sensor's samples in a lap along the axis (value: the sensor's value of sample k of history),
  // kept until ForgetTraces; key tells the sensor and unit apart.
  const std::vector<TPlacedValue>& Trace(const TVarHist& history, uint64_t key, size_t lap,
                                         const std::function<double(int32_t)>& value);
  // The time a lap lost (positive) or gained on the reference along the distance; none on the
  // time axis.
  const std::vector<TPlacedValue>& Delta(size_t lap);
  // The Δ time pane's range over the visible laps (zero always inside) and a tick that gives it
  // four to eight lines.
  struct TDeltaRange {
    double Minimum = -1;
    double Maximum = 1;
    double Tick = 0.5;
  };
  TDeltaRange DeltaRange();
  // The samples or the recording changed: the lines are placed again.
  void ForgetTraces();

  // Where the recording's time t lies on the axis: since the start of the lap that holds it;
  // none outside the laps.
  std::optional<double> ToAxis(double t) const;
  // The recording's time at x along the reference lap.
  double FromAxis(double x) const;

 private:
  std::vector<TLap> laps_;
  size_t reference_ = 0;
  std::optional<TDistanceTrack> track_;
  TLapAxis axis_ = TLapAxis::Time;
  std::vector<bool> visible_;
  std::map<std::tuple<uint64_t, size_t, TLapAxis>, std::vector<TPlacedValue>> traces_;
  std::map<size_t, std::vector<TPlacedValue>> deltas_;
};

// The legend beside the panes, right of the plot: a title row "Laps", then a row per lap with a
// check box, a swatch of the lap's line and its text. A click on a row shows or hides its lap.
constexpr const char* LapLegendTitle = "Laps";
struct TLegendRowPlace {
  size_t Lap = 0;
  int Top = 0;       // the row's top; every row is Height of the layout's RowHeight
  int CheckX = 0;    // the check box (CheckSize square, centred on the row)
  int SwatchX = 0;   // the swatch (SwatchWidth wide, a line across the row's middle)
  int TextX = 0;
};
struct TLapLegendLayout {
  int X = 0, Y = 0, Width = 0, Height = 0;
  int RowHeight = 0, CheckSize = 0, SwatchWidth = 0;
  int TitleX = 0;
  std::vector<TLegendRowPlace> Rows;
};
// The legend's width for these rows in the model's font (the right margin the plot leaves it).
int LapLegendWidth(const TGraphModel& m, const std::vector<TLapLegendRow>& rows);
// The legend at the surface's right edge, from the top of the panes.
TLapLegendLayout LayLapLegend(const TGraphModel& m, const std::vector<TLapLegendRow>& rows);
// The lap of the row at (x, y); none outside the rows.
std::optional<size_t> LapLegendHit(const TLapLegendLayout& legend, int x, int y);

// The value in force at x in a lap's placed samples: the last at or before x; none before the
// first and beyond the lap's end (length).
std::optional<double> PlacedValueAt(const std::vector<TPlacedValue>& values, double x, double length);
// A pane's text with one value per lap, the reference first: "L3 2450  L1 2300  L2 2510 rpm".
std::string LapReadoutText(const std::vector<std::pair<int, std::string>>& lapValues, const std::string& unit);
