#pragma once
// The chart under the mouse, as plain rules: what a click, a drag, a double-click and the wheel
// do to the cursors and the time window. The chart widget hands the events in and carries out
// what comes back.
//   - a click puts the cursor at the clicked time; with Shift, the reference cursor;
//   - a drag draws a band and, released, zooms to the dragged time span (under DragThreshold
//     pixels it is a click); a drag that starts on a cursor's line moves that cursor instead;
//   - a double-click shows the full length;
//   - the wheel zooms around the time under the pointer; with Shift, or sideways, it pans.
#include <cstdint>
#include <optional>

#include "rules/GraphModel.h"

constexpr int DragThreshold = 4;
// How near a cursor's line a press takes hold of it.
constexpr int CursorGrip = 3;
// One wheel notch: the span becomes 0.8 of itself (as Zoom In), or pans by a tenth of it.
constexpr double WheelZoomFactor = 0.8;
constexpr double WheelPanShare = 0.1;

// Whether x lies within CursorGrip of the line of a cursor at t on the chart.
bool OnCursorLine(const TGraphModel& m, int x, double t);
constexpr int WheelNotch = 120;  // angle units of one notch

struct TGraphMouseAction {
  enum class TKind : uint8_t { None, SetCursor, SetReference, Zoom, ShowFullLength };
  TKind Kind = TKind::None;
  double Time = 0;      // SetCursor, SetReference
  TTimeWindow Window;   // Zoom
};

struct TDragBand {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  bool operator==(const TDragBand&) const = default;
};

class TGraphMouse {
 public:
  // A left-button press at (x, y); cursor and reference are the cursors' times (reference: none
  // when not set).
  TGraphMouseAction Press(const TGraphModel& m, int x, int y, bool shift, double cursor, std::optional<double> reference);
  TGraphMouseAction Move(const TGraphModel& m, int x, int y);
  TGraphMouseAction Release(const TGraphModel& m, int x, int y);
  TGraphMouseAction DoubleClick() const;
  // The band drawn while dragging; none before the pointer has moved DragThreshold pixels.
  std::optional<TDragBand> Band() const;
  // The view changed: a band in progress is dropped.
  void Cancel() { mode_ = TMode::None; }

 private:
  enum class TMode : uint8_t { None, Band, Cursor, Reference };
  TMode mode_ = TMode::None;
  int pressX_ = 0;
  int pressY_ = 0;
  int x_ = 0;
  int y_ = 0;
  bool moved_ = false;
};

// What a wheel turn does: angleX and angleY in eighths of a degree (one notch is 120), positive
// away from the user and to the left. Sideways, or with Shift, it pans (away from the user and to
// the left go back in time); otherwise it zooms around the time at anchorX (away from the user
// zooms in).
TTimeWindow WheelWindow(const TGraphModel& m, int angleX, int angleY, bool shift, int anchorX);
