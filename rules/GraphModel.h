#pragma once
// The strip chart without a drawing library: pane layout, the shared time axis, grid and label
// placement, the traces' points and the window's zoom, pan and follow rules. The graph widget
// measures its font, hands the measurements in and draws what these place; the printout does the
// same on a page.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "rules/TraceSummary.h"

class TDisplayVar;
class TGraphSelection;
class TRecording;
class TVarHist;

// Panes drawn at most, and panes the chart holds.
constexpr int MaxGraphPanes = 31;
constexpr int GraphPaneSlots = 32;

// 0xRRGGBB of pane i: red, blue, purple, fuchsia, maroon, navy, olive, teal, yellow, three times
// over, then black.
uint32_t GraphPaneColour(int index);
// A fill's colour: each channel raised by 175, at most 255.
uint32_t LightenedColour(uint32_t rgb);
// A lighter shade: each channel the fraction f of the way to 255.
uint32_t TowardsWhite(uint32_t rgb, double f);
// A trace colour too light to read on white (the yellow) is drawn with a thin edge of this darker
// colour around it; none for the others.
std::optional<uint32_t> TraceEdgeColour(uint32_t rgb);
constexpr uint32_t GraphCursorColour = 0x0000FF;
constexpr uint32_t GraphReferenceColour = 0x008000;
constexpr uint32_t GraphNameBackground = 0xC0C0C0;
constexpr const char* GraphAxisCaption = "Time (s)";

// What the chart's x axis measures: seconds (of the recording, or since a lap's start) or metres
// since a lap's start.
enum class TGraphAxisUnit : uint8_t { Seconds, Metres };

// What the chart measures of its surface's font, in the surface's pixels.
struct TGraphMetrics {
  int ZeroWidth = 0;          // text width of "0"
  int ZeroHeight = 0;         // text height of "0"
  int MarginTextWidth = 0;    // text width of "012345"
  int SpacingTextHeight = 0;  // text height of "012"
  // Widths of the texts that measure a time label: "0:00x", "12:00x", "123:00x".
  std::array<int, 3> TimeTextWidths{};
  // The width of any text; without it, ZeroWidth per byte.
  std::function<int(const std::string&)> TextWidth;
};
enum class TGraphSurface : uint8_t { Screen, Printer };

// The label measured for the time step: "0:00x" below 600 s, "12:00x" below 6000 s (up to
// 99:59), "123:00x" from there on.
int TimeMeasureIndex(double endTime);
// Seconds between time grid lines for labels labelWidth pixels wide: 1, 5, 10, 15, 30, 60, 120,
// 300, 600, and for longer stretches 1800, 3600, 7200, 14400, 28800, 43200 so that labels never
// overlap on a recording of many hours.
double ChooseTimeStep(double labelWidth, double pixelsPerSecond);
// Metres between grid lines for labels labelWidth pixels wide: 1, 2 or 5 times a power of ten.
double ChooseDistanceStep(double labelWidth, double pixelsPerMetre);
// A label of the x axis: FormatAxisTime for seconds, whole metres ("1500") for metres.
std::string AxisLabelText(TGraphAxisUnit unit, double v);
// "%d" of trunc(v) for a tick of at least 1, else "%1.2lf".
std::string ValueLabelText(double v, double tick);
// A double turned into a pixel coordinate: truncated toward zero, kept within +-1e7 (NaN gives 0).
int PixelOf(double v);

// One line drawn in a pane: a sensor's history in a colour. A pane draws its own sensor from the
// current recording; other lines (another run, a lap) may join it on the same scale.
struct TGraphTrace {
  TDisplayVar* Variable = nullptr;
  const TVarHist* History = nullptr;
  uint32_t Colour = 0;
  bool Fill = false;  // the area under the line is filled with the lightened colour
  // Seconds the samples are drawn earlier: the sample at t is drawn at t - Offset (another run
  // shifted against this one).
  double Offset = 0;
};

// A value placed on the x axis (seconds or metres), for lines that are not a history against
// the recording's time: a lap against its own start, the time gained on a lap.
struct TPlacedValue {
  double X = 0;
  double Value = 0;
};

// One pane.
struct TGraphlet {
  TDisplayVar* Variable = nullptr;  // none when its id resolves to no variable
  TVarHist* History = nullptr;      // the source's history in the current recording
  double Minimum = 0;
  double Maximum = 1;
  double Tick = 1;
  double PixelsPerUnit = 1;
  uint32_t Colour = 0;
  int Left = 0;
  int Top = 0;
  int Width = 1;
  int Height = 1;
  // A pane without a sensor (the "Δ time" pane): its name and unit; empty for a sensor's pane.
  std::string Title;
  std::string TitleUnit;

  int Bottom() const { return Top + Height; }
  // trunc(bottom - (v - minimum) x pixels per unit).
  int ValueToY(double v) const;
  // The pane's own line: its sensor from the current recording, in its colour.
  TGraphTrace OwnTrace() const;
};

struct TTextPlace {
  int X = 0;  // left edge
  int Y = 0;  // top
  std::string Text;
};
struct TGridLine {
  int Pos = 0;  // x of a time line, y of a value line
  std::string Label;
};
struct TTracePoint {
  int X = 0;
  int Y = 0;
  bool operator==(const TTracePoint&) const = default;
};
// A line through a pane, in time order. Columns: the points are each pixel column's extremes
// (one or two points a column, entered from the end nearer the previous column), not samples.
struct TTrace {
  std::vector<TTracePoint> Points;
  bool Columns = false;
};

// The chart's layout and time window over one surface.
class TGraphModel {
 public:
  // selection: the program's graph selection (not copied); may be none.
  // dpi: the surface's resolution; a printer's trace is 4 pixels of a 300-dot page, thicker on
  // finer pages so that it prints as boldly.
  TGraphModel(const TGraphSelection* selection, const TGraphMetrics& metrics, TGraphSurface surface, int dpi = 96);

  const TGraphSelection* Selection;
  TGraphMetrics Metrics;
  int PaneCount = 0;
  std::array<TGraphlet, GraphPaneSlots> Panes{};
  int Width = 0;
  int Height = 0;
  int LeftMargin = 0;
  int RightMargin = 0;
  int TopMargin = 0;
  int BottomMargin = 0;
  int PaneGap = 0;
  int MinLabelSpacing = 0;
  int NextPaneTop = 0;
  int PlotWidth = 0;
  int TracePenWidth = 2;
  int TextHeight = 0;
  double TimeStep = 1.0;
  double StartTime = 0;
  double EndTime = 0;
  double TimeSpan = 0;
  double MaxTime = 0;
  double PixelsPerSecond = 0;
  // The x axis: its unit, caption and, when it is not the recording's time, its length (laps laid
  // over each other). Every time above (window, maximum, step) is then in the axis's unit.
  TGraphAxisUnit AxisUnit = TGraphAxisUnit::Seconds;
  std::string AxisCaptionText = GraphAxisCaption;
  std::optional<double> AxisLength;
  // A pane without a sensor below the sensors' panes (the "Δ time" pane), when Title is set: its
  // title, unit, range and tick; Layout puts it in the slot after the last sensor's pane.
  TGraphlet ExtraPane;

  // The time window from the recording (none: 0..0), the plot width, pixels per second and time
  // step.
  void LayoutTimeAxis(const TRecording* recording);
  // The time axis, then every pane's variable, colour (the one chosen for its sensor, else its
  // pane's), range, history and rectangle. Without room for the panes they keep their previous
  // rectangles.
  void Layout(const TRecording* recording);
  int TimeToX(double t) const;
  // The time at x, kept within the window.
  double XToTime(int x) const;
  // The pane at y, with the gap below it; -1 for none.
  int PaneAt(int y) const;
  int TextWidth(const std::string& text) const;
  // Times of the time grid: ceil(start / step) x step while below the end time.
  std::vector<double> GridTimes() const;
  // The time labels (FormatAxisTime, centred on their grid line) in the row above the caption; a
  // label at either end is kept whole inside the surface, clear of the value labels on the left,
  // and left out where it would then touch its neighbour.
  std::vector<TTextPlace> TimeLabels() const;
  int LabelWidth() const { return labelWidth_; }
  // The axis's caption ("Time (s)") centred in the bottom row.
  TTextPlace AxisCaption(int captionWidth) const;
  // The value grid of a pane with a variable: every tick from minimum to maximum (none for a tick
  // that is not positive). Where labels would collide, only every second, fourth, ... line from
  // the bottom keeps its label, so that those shown stay evenly stepped.
  std::vector<TGridLine> ValueGrid(const TGraphlet& pane) const;

  // A trace through the window: from the sample in force at the window's start to the first one
  // after its end, so that the line runs to the pane's edges as the samples do and no further.
  // Up to one sample a pixel column it goes through every sample. With more, each column gets
  // the lowest and highest value of its samples, read from the summary's buckets (a few per
  // column, placed within half a column) or, for a narrow window, from the samples; a one-sample
  // spike survives any zoom and the cost does not grow with the recording's length. Without a
  // summary every stride-th sample is taken. Points far outside the pane are pulled in to 4096
  // pixels from it.
  TTrace Trace(const TGraphlet& pane, const TGraphTrace& trace, TTraceSummary* summary) const;
  // A line through values placed along the x axis (in rising X): from the one before the window
  // to the first after it; with more values than pixel columns, each column's extremes.
  TTrace PlacedTrace(const TGraphlet& pane, const std::vector<TPlacedValue>& values) const;

 private:
  int labelWidth_ = 0;
};

// A trace of column extremes drawn as one upright stroke per column, from its highest to its
// lowest point and to the previous column's last point where that column is the one next to it;
// across columns without samples the line is a slanted segment.
struct TTraceSpan {
  int X = 0;
  int Top = 0;
  int Bottom = 0;
  bool operator==(const TTraceSpan&) const = default;
};
struct TTraceStrokes {
  std::vector<TTraceSpan> Spans;
  std::vector<std::pair<TTracePoint, TTracePoint>> Lines;
};
TTraceStrokes ColumnStrokes(const std::vector<TTracePoint>& points);
// Where a fill under a trace's line starts in each pixel column left .. left + width - 1: the
// highest point of the line over that column; bottom (no fill) where the line does not pass.
std::vector<int> FillTops(const std::vector<TTracePoint>& points, int left, int width, int bottom);

// Where the time window goes.
struct TTimeWindow {
  double Start = 0;
  double End = 0;
  bool operator==(const TTimeWindow&) const = default;
};
// The narrowest window a drag or the wheel zooms to.
constexpr double MinGraphSpan = 0.01;
// Zoom In: 0.8 of the span around the position.
TTimeWindow ZoomInWindow(double position, double span);
// Zoom Out: 1.2 of the span around the position, starting at 0 when it would start before.
TTimeWindow ZoomOutWindow(double position, double span);
// A window moved inside 0 .. maxTime keeping its span; one wider than that shows it all.
TTimeWindow FitWindow(double start, double end, double maxTime);
// The window scaled by factor around anchor (which keeps its place on screen), at least
// MinGraphSpan wide, inside 0 .. maxTime.
TTimeWindow ZoomAroundWindow(double start, double end, double anchor, double factor, double maxTime);
// The window moved by seconds, inside 0 .. maxTime.
TTimeWindow PanWindow(double start, double end, double seconds, double maxTime);
// The window between two times in either order, at least MinGraphSpan wide, inside 0 .. maxTime.
TTimeWindow SpanWindow(double t1, double t2, double maxTime);

// A cursor move: the position clamped to 0 .. maxTime; the window keeps its span and jumps so
// that the cursor sits on its left edge (moving back) or right edge (moving forward).
struct TCursorMove {
  double Position = 0;
  double Start = 0;
  double End = 0;
  bool WindowMoved = false;
};
TCursorMove MoveCursor(double position, double maxTime, double start, double end, double span);
