#include "rules/GraphMouse.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
using TKind = TGraphMouseAction::TKind;

TGraphMouseAction At(TKind kind, double t) { return {kind, t, {}}; }

}  // namespace

bool OnCursorLine(const TGraphModel& m, int x, double t) {
  return m.PixelsPerSecond > 0 && m.StartTime <= t && t <= m.EndTime && std::abs(x - m.TimeToX(t)) <= CursorGrip;
}

TGraphMouseAction TGraphMouse::Press(const TGraphModel& m, int x, int y, bool shift, double cursor,
                                     std::optional<double> reference) {
  pressX_ = x_ = x;
  pressY_ = y_ = y;
  moved_ = false;
  mode_ = TMode::None;
  if (shift) return At(TKind::SetReference, m.XToTime(x));
  if (OnCursorLine(m, x, cursor))
    mode_ = TMode::Cursor;
  else if (reference && OnCursorLine(m, x, *reference))
    mode_ = TMode::Reference;
  else
    mode_ = TMode::Band;
  return {};
}

TGraphMouseAction TGraphMouse::Move(const TGraphModel& m, int x, int y) {
  if (mode_ == TMode::None) return {};
  x_ = x;
  y_ = y;
  if (std::abs(x - pressX_) >= DragThreshold || std::abs(y - pressY_) >= DragThreshold) moved_ = true;
  if (!moved_) return {};
  if (mode_ == TMode::Cursor) return At(TKind::SetCursor, m.XToTime(x));
  if (mode_ == TMode::Reference) return At(TKind::SetReference, m.XToTime(x));
  return {};
}

TGraphMouseAction TGraphMouse::Release(const TGraphModel& m, int x, int y) {
  if (mode_ == TMode::None) return {};
  Move(m, x, y);
  const TMode mode = mode_;
  mode_ = TMode::None;
  if (mode == TMode::Reference && moved_) return At(TKind::SetReference, m.XToTime(x));
  if (mode == TMode::Band && std::abs(x - pressX_) >= DragThreshold)
    return {TKind::Zoom, 0, SpanWindow(m.XToTime(pressX_), m.XToTime(x), m.MaxTime)};
  // A click, or the end of a cursor's drag.
  return At(TKind::SetCursor, m.XToTime(mode == TMode::Band ? pressX_ : x));
}

TGraphMouseAction TGraphMouse::DoubleClick() const { return {TKind::ShowFullLength, 0, {}}; }

std::optional<TDragBand> TGraphMouse::Band() const {
  if (mode_ != TMode::Band || !moved_) return std::nullopt;
  return TDragBand{std::min(pressX_, x_), std::min(pressY_, y_), std::max(pressX_, x_), std::max(pressY_, y_)};
}

TTimeWindow WheelWindow(const TGraphModel& m, int angleX, int angleY, bool shift, int anchorX) {
  const double span = m.EndTime - m.StartTime;
  int pan = 0;
  if (shift)
    pan = angleY != 0 ? angleY : angleX;
  else if (std::abs(angleX) > std::abs(angleY))
    pan = angleX;
  if (pan != 0) return PanWindow(m.StartTime, m.EndTime, -pan * WheelPanShare * span / WheelNotch, m.MaxTime);
  if (shift || angleY == 0) return {m.StartTime, m.EndTime};
  return ZoomAroundWindow(m.StartTime, m.EndTime, m.XToTime(anchorX), std::pow(WheelZoomFactor, static_cast<double>(angleY) / WheelNotch),
                          m.MaxTime);
}
