#pragma once
// The strip chart without a drawing library: pane layout, the shared time axis, grid and label
// placement, the traces' points and the window's zoom and follow rules. The graph widget measures
// its font, hands the measurements in and draws what these place; the printout does the same on a
// page.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rules/TraceSummary.h"

class TDisplayVar;
class TRecording;
class TVarHist;
class TVarList;
class TVarRefList;

// Panes drawn at most, and panes the chart holds.
constexpr int MaxGraphPanes = 31;
constexpr int GraphPaneSlots = 32;

// 0xRRGGBB of pane i: red, blue, purple, fuchsia, maroon, navy, olive, teal, yellow, three times
// over, then black.
uint32_t GraphPaneColour(int index);
// A fill's colour: each channel raised by 175, at most 255.
uint32_t LightenedColour(uint32_t rgb);
constexpr uint32_t GraphCursorColour = 0x0000FF;
constexpr uint32_t GraphNameBackground = 0xC0C0C0;
constexpr const char* GraphAxisCaption = "Time (s)";

// What the chart measures of its surface's font, in the surface's pixels.
struct TGraphMetrics {
  int ZeroWidth = 0;          // text width of "0"
  int ZeroHeight = 0;         // text height of "0"
  int MarginTextWidth = 0;    // text width of "012345"
  int SpacingTextHeight = 0;  // text height of "012"
  // Widths of the texts that measure a time label: "0:00x", "12:00x", "123:00x".
  std::array<int, 3> TimeTextWidths{};
};
enum class TGraphSurface : uint8_t { Screen, Printer };

// The label measured for the time step: "0:00x" below 600 s, "12:00x" below 6000 s (up to
// 99:59), "123:00x" from there on.
int TimeMeasureIndex(double endTime);
// Seconds between time grid lines for labels labelWidth pixels wide: 1, 5, 10, 15, 30, 60, 120,
// 300, 600, and for longer stretches 1800, 3600, 7200, 14400, 28800, 43200 so that labels never
// overlap on a recording of many hours.
double ChooseTimeStep(double labelWidth, double pixelsPerSecond);
// "%d" of trunc(v) for a tick of at least 1, else "%1.2lf".
std::string ValueLabelText(double v, double tick);
// A double turned into a pixel coordinate: truncated toward zero, kept within +-1e7 (NaN gives 0).
int PixelOf(double v);

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

  int Bottom() const { return Top + Height; }
  // trunc(bottom - (v - minimum) x pixels per unit).
  int ValueToY(double v) const;
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

// The chart's layout and time window over one surface.
class TGraphModel {
 public:
  // selection: the program's graph selection (not copied); may be none.
  // dpi: the surface's resolution; a printer's trace is 4 pixels of a 300-dot page, thicker on
  // finer pages so that it prints as boldly.
  TGraphModel(const TVarRefList* selection, const TGraphMetrics& metrics, TGraphSurface surface, int dpi = 96);

  const TVarRefList* Selection;
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

  // The time window from the recording (none: 0..0), the plot width, pixels per second and time
  // step.
  void LayoutTimeAxis(const TRecording* recording);
  // The time axis, then every pane's variable, range, history and rectangle. Without room for the
  // panes they keep their previous rectangles.
  void Layout(const TRecording* recording);
  int TimeToX(double t) const;
  // Times of the time grid: ceil(start / step) x step while below the end time.
  std::vector<double> GridTimes() const;
  // The time labels' places (FormatAxisTime, centred on their grid line) and the caption's.
  std::vector<TTextPlace> TimeLabels() const;
  int LabelWidth() const { return labelWidth_; }
  TTextPlace AxisCaption(int captionWidth) const;
  // The value grid of a pane with a variable: every tick from minimum to maximum (none for a tick
  // that is not positive). A label that would overlap the one below it is left empty.
  std::vector<TGridLine> ValueGrid(const TGraphlet& pane) const;

  // The trace of a pane through its samples in the window: starting and ending at the pane's
  // bottom corners, one point per sample while the window holds at most one sample per pixel
  // column, otherwise the lowest and highest value of each column's samples from the summary
  // (columns is then set). Points far outside the pane are pulled in to 4096 pixels from it.
  std::vector<TTracePoint> TracePoints(const TGraphlet& pane, TTraceSummary* summary, bool* columns = nullptr) const;

 private:
  int labelWidth_ = 0;
};

// A trace of per-column extremes drawn as one upright stroke per column: from the highest to the
// lowest point of the column and of the previous column's last point, which joins the two.
// High is the column's own highest point, where a fill under the trace starts.
struct TTraceSpan {
  int X = 0;
  int Top = 0;
  int Bottom = 0;
  int High = 0;
  bool operator==(const TTraceSpan&) const = default;
};
// The spans of TracePoints' column points, without the bottom corners it starts and ends with.
std::vector<TTraceSpan> ColumnSpans(const std::vector<TTracePoint>& points);
// Where a fill under TracePoints' line starts in each pixel column left .. left + width - 1: the
// highest point of the line over that column (bottom where the line does not pass).
std::vector<int> FillTops(const std::vector<TTracePoint>& points, int left, int width, int bottom);

// Where the time window goes.
struct TTimeWindow {
  double Start = 0;
  double End = 0;
};
// Zoom In: 0.8 of the span around the position.
TTimeWindow ZoomInWindow(double position, double span);
// Zoom Out: 1.2 of the span around the position, starting at 0 when it would start before.
TTimeWindow ZoomOutWindow(double position, double span);

// A cursor move: the position clamped to 0 .. maxTime; the window keeps its span and jumps so
// that the cursor sits on its left edge (moving back) or right edge (moving forward).
struct TCursorMove {
  double Position = 0;
  double Start = 0;
  double End = 0;
  bool WindowMoved = false;
};
TCursorMove MoveCursor(double position, double maxTime, double start, double end, double span);

// Beside a pane's name while the cursor is inside the window: the sensor's value at the cursor in
// its unit ("2450 rpm"); empty without a history or with no sample yet.
std::string CursorValueText(TDisplayVar& var, double t);
// On the time axis at the cursor: FormatSeconds of the position.
std::string CursorTimeText(double t);
