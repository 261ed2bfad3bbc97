#pragma once
// The chart's two cursors: the cursor (the play position) and the reference cursor the user may
// set beside it. What each pane shows at them beside its name, where their times go on the time
// axis, and the table that Copy puts on the clipboard.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rules/GraphModel.h"

class TDisplayVar;
class TTraceSummary;
class TVarHist;

// A pane's values at the cursors, as the sensor's unit writes them (empty when unknown).
struct TCursorReadout {
  std::string Name;
  std::string Unit;
  std::string AtCursor;
  // With a reference cursor: the value there, the cursor's value less it, and the lowest,
  // highest and mean value from the sample in force at the earlier cursor to the one in force
  // at the later.
  std::string AtReference;
  std::string Delta;
  std::string Lowest;
  std::string Highest;
  std::string Mean;

  // Beside the pane's name: "2450 rpm", with a reference "2450 rpm  Δ -350  min 2100  max 6800
  // mean 4510"; empty without data.
  std::string Text() const;
};
// The sensor's values at the cursor and, when set, the reference, from its history (through its
// summary, which must be the one of var's own history and unit).
TCursorReadout CursorReadout(TDisplayVar& var, TTraceSummary& summary, double cursor, std::optional<double> reference);

// A cursor's time, "0:01:05.250s", to the nearest millisecond: PositionText.
std::string CursorTimeText(double t);
// A cursor's place on the axis: its time as above, or metres with one decimal ("1234.5 m").
std::string CursorAxisText(TGraphAxisUnit unit, double x);
// A sensor's value as the pane texts write it in its unit (a unit that writes nothing: two
// decimals).
std::string SensorValueText(uint8_t unit, double v);
// The sensor's value at t in a history of its source (another run's, a lap's), through that
// history's summary; empty when the history holds no sample.
std::string HistoryValueText(TDisplayVar& var, TTraceSummary& summary, const TVarHist& history, double t);
// "Δ 0:00:05.230s": the time between the cursors in the same form.
std::string CursorDeltaText(double cursor, double reference);

// The cursor's time, the reference's and the time between them in the caption row below the time
// labels, each in a box kept whole inside the surface, apart from each other; "Time (s)" is left
// out where a box would cover it.
struct TAxisBox {
  bool Shown = false;
  int X = 0;  // the box's left edge; its top is the caption row's
  int Width = 0;
  std::string Text;
};
struct TCursorAxis {
  TAxisBox Cursor;
  TAxisBox Reference;
  TAxisBox Delta;
  int Y = 0;
  bool CaptionShown = true;
};
// The boxes are the text's width and padding pixels either side. A cursor outside the window has
// no box; the time between the two is shown while the reference is set.
TCursorAxis CursorAxis(const TGraphModel& m, double cursor, std::optional<double> reference, int captionWidth, int padding);

// What Copy puts on the clipboard: tab-separated lines with a header; a "Time" line (unit "s")
// and a line per pane with data. Without a reference: sensor, unit, at the cursor.
std::string CursorTable(const std::vector<TCursorReadout>& rows, double cursor, std::optional<double> reference);
