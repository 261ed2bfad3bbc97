#include "rules/GraphModel.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "vars/Formatters.h"
#include "recording/Recording.h"
#include "history/History.h"
#include "vars/SensorList.h"

namespace {
// Grid lines or labels beyond these counts would not be readable; they also bound the loops for
// ranges and ticks that make no sense.
constexpr int kMaxGridLines = 4096;
constexpr int kTraceReach = 4096;

// The first i in [from, to) for which pred holds, or to; pred is taken to be false before from
// and, once true, true after. Gallops from from - 1 in steps growing from guess, then bisects.
template <typename Pred>
int64_t FirstTrue(int64_t from, int64_t to, int64_t guess, Pred pred) {
  int64_t lo = from - 1, hi = to;
  for (int64_t step = std::max<int64_t>(guess, 1); lo + step < to; step *= 2) {
    if (pred(lo + step)) {
      hi = lo + step;
      break;
    }
    lo += step;
  }
  while (hi - lo > 1) {
    const int64_t mid = lo + (hi - lo) / 2;
    if (pred(mid))
      hi = mid;
    else
      lo = mid;
  }
  return hi;
}
}  // namespace

uint32_t GraphPaneColour(int index) {
  static constexpr uint32_t colours[9] = {0xFF0000, 0x0000FF, 0x800080, 0xFF00FF, 0x800000,
                                          0x000080, 0x808000, 0x008080, 0xFFFF00};
  if (index < 0 || index >= 27) return 0x000000;
  return colours[index % 9];
}

uint32_t LightenedColour(uint32_t rgb) {
  auto up = [](uint32_t c) { return std::min<uint32_t>(c + 175, 255); };
  return up(rgb >> 16 & 0xFF) << 16 | up(rgb >> 8 & 0xFF) << 8 | up(rgb & 0xFF);
}

int TimeMeasureIndex(double endTime) {
  if (endTime < 600) return 0;
  if (endTime < 6000) return 1;
  return 2;
}

double ChooseTimeStep(double labelWidth, double pixelsPerSecond) {
  const double s = labelWidth / std::max(pixelsPerSecond, 0.01);
  if (!(s > 1)) return 1;
  static constexpr double steps[] = {5, 10, 15, 30, 60, 120, 300};
  for (double step : steps)
    if (step > s) return step;
  if (s < 600) return 600;
  static constexpr double longSteps[] = {1800, 3600, 7200, 14400, 28800};
  for (double step : longSteps)
    if (step > s) return step;
  return 43200;
}

std::string ValueLabelText(double v, double tick) {
  char buf[64];
  if (tick >= 1)
    std::snprintf(buf, sizeof buf, "%d", PixelOf(v));
  else
    std::snprintf(buf, sizeof buf, "%1.2lf", v);
  return buf;
}

int PixelOf(double v) {
  if (std::isnan(v)) return 0;
  if (v > 1e7) return 10000000;
  if (v < -1e7) return -10000000;
  return static_cast<int>(v);
}

int TGraphlet::ValueToY(double v) const { return PixelOf(Bottom() - (v - Minimum) * PixelsPerUnit); }

// ---------------------------------------------------------------------------------------------

TGraphModel::TGraphModel(const TVarRefList* selection, const TGraphMetrics& metrics, TGraphSurface surface, int dpi)
    : Selection(selection), Metrics(metrics) {
  const bool printer = surface == TGraphSurface::Printer;
  LeftMargin = metrics.MarginTextWidth;
  RightMargin = metrics.ZeroWidth * (printer ? 2 : 1);
  TopMargin = printer ? 5 * metrics.ZeroHeight : static_cast<int>(0.75 * metrics.ZeroWidth);
  BottomMargin = metrics.ZeroHeight;
  PaneGap = metrics.ZeroHeight;
  MinLabelSpacing = metrics.SpacingTextHeight;
  TracePenWidth = printer ? std::max(4, 4 * dpi / 300) : 2;
  TextHeight = metrics.ZeroHeight;
}

void TGraphModel::LayoutTimeAxis(const TRecording* recording) {
  if (recording) {
    MaxTime = recording->LengthSeconds();
    if (EndTime == 0) EndTime = std::max(MaxTime, 1.0);
  } else {
    MaxTime = 0;
    StartTime = EndTime = 0;
  }
  TimeSpan = EndTime - StartTime;
  PlotWidth = Width - LeftMargin - RightMargin;
  PixelsPerSecond = TimeSpan > 0 ? PlotWidth / TimeSpan : 0;
  labelWidth_ = Metrics.TimeTextWidths[static_cast<size_t>(TimeMeasureIndex(EndTime))];
  TimeStep = ChooseTimeStep(labelWidth_, PixelsPerSecond);
}

void TGraphModel::Layout(const TRecording* recording) {
  LayoutTimeAxis(recording);
  const int count = Selection ? Selection->Count() : 0;
  PaneCount = std::min(count, MaxGraphPanes);
  for (int i = 0; i < PaneCount; ++i) {
    TGraphlet& p = Panes[static_cast<size_t>(i)];
    p.Colour = GraphPaneColour(i);
    p.Variable = dynamic_cast<TDisplayVar*>(Selection->Get(i));
    p.History = nullptr;
    if (p.Variable) {
      p.Minimum = p.Variable->RangeMin;
      p.Maximum = p.Variable->RangeMax;
      p.Tick = p.Variable->Tick;
      if (recording) p.History = p.Variable->History();
    }
  }
  const int available = Height - TopMargin - BottomMargin - PaneGap * count;
  if (available <= 0 || count == 0) return;
  int y = TopMargin;
  for (int i = 0; i < PaneCount; ++i) {
    TGraphlet& p = Panes[static_cast<size_t>(i)];
    p.Top = y;
    p.Left = LeftMargin;
    p.Width = PlotWidth;
    p.Height = available / count;
    y += p.Height + PaneGap;
    const double range = p.Maximum - p.Minimum;
    p.PixelsPerUnit = p.Height / std::max(range, 0.01);
    if (p.Maximum > 4 && p.Tick > 0) {
      // Double the tick until the labels are far enough apart; one label is as far as it goes.
      auto labels = [&] { return std::trunc(std::max(range / p.Tick, 1.0)); };
      for (double n = labels(); n > 1 && std::floor(p.Height / n) < MinLabelSpacing; n = labels()) p.Tick *= 2;
    }
  }
  NextPaneTop = y;
}

int TGraphModel::TimeToX(double t) const { return PixelOf(LeftMargin + (t - StartTime) * PixelsPerSecond); }

std::vector<double> TGraphModel::GridTimes() const {
  std::vector<double> times;
  if (!(TimeStep > 0) || !(EndTime > StartTime)) return times;
  for (double t = std::ceil(StartTime / TimeStep) * TimeStep; t < EndTime && times.size() < kMaxGridLines; t += TimeStep)
    times.push_back(t);
  return times;
}

std::vector<TTextPlace> TGraphModel::TimeLabels() const {
  std::vector<TTextPlace> labels;
  for (double t : GridTimes())
    labels.push_back({PixelOf(TimeToX(t) - labelWidth_ / 2.0), Height - 2 * TextHeight, FormatAxisTime(t)});
  return labels;
}

TTextPlace TGraphModel::AxisCaption(int captionWidth) const {
  return {(Width - captionWidth) / 2, Height - TextHeight, GraphAxisCaption};
}

std::vector<TGridLine> TGraphModel::ValueGrid(const TGraphlet& pane) const {
  std::vector<TGridLine> lines;
  if (!pane.Variable || !(pane.Tick > 0)) return lines;
  // A label closer than a text height to the last one shown stays blank, so that labels of a
  // crowded pane never overwrite each other; its grid line is still drawn.
  int shownAt = 0;
  bool shown = false;
  for (double v = pane.Minimum; v <= pane.Maximum && lines.size() < kMaxGridLines; v += pane.Tick) {
    TGridLine line{pane.ValueToY(v), {}};
    if (!shown || std::abs(shownAt - line.Pos) >= TextHeight) {
      line.Label = ValueLabelText(v, pane.Tick);
      shownAt = line.Pos;
      shown = true;
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<TTracePoint> TGraphModel::TracePoints(const TGraphlet& pane, TTraceSummary* summary, bool* columns) const {
  std::vector<TTracePoint> pts;
  if (columns) *columns = false;
  const TVarHist* h = pane.History;
  if (!h || !pane.Variable || h->Count() == 0) return pts;
  const int32_t first = h->IndexAt(StartTime);
  const int32_t last = h->IndexAt(EndTime);
  const int32_t stride = std::max((last - first) / std::max(pane.Width, 1), 1);
  const int bottom = pane.Bottom();
  auto xOf = [&](int32_t k) { return PixelOf(pane.Left + (h->TimeOf(k) - StartTime) * PixelsPerSecond); };
  // Far outside the pane a point only sets the direction of its line: pulled in, the line looks
  // the same inside the pane and costs the drawing no more than a short one.
  auto yOf = [&](double v) { return std::clamp(pane.ValueToY(v), pane.Top - kTraceReach, bottom + kTraceReach); };
  auto inX = [&](int x) { return std::clamp(x, pane.Left - kTraceReach, pane.Left + pane.Width + kTraceReach); };
  pts.push_back({pane.Left, bottom});
  if (stride == 1 || !summary) {
    for (int32_t k = first; k <= last; k += stride)
      pts.push_back({inX(xOf(k)), yOf(pane.Variable->GetValueAtIndex(pane.Variable->Unit, k))});
  } else {
    if (columns) *columns = true;
    // Each pixel column: the samples that land in it, reduced to their lowest and highest value,
    // drawn as an upright stroke entered from the end nearer the previous column.
    summary->Extend();
    const std::vector<uint32_t>& groupTicks = summary->GroupTicks();
    constexpr int64_t g8 = TTraceSummary::Fanout;
    auto xOfTicks = [&](uint32_t ticks) { return PixelOf(pane.Left + (ticks * 0.00001 - StartTime) * PixelsPerSecond); };
    int prevY = bottom;
    int64_t guess = 1;  // samples in the previous column: where the next boundary likely is
    for (int32_t k = first; k <= last;) {
      const int x = xOf(k);
      // The first sample after k in a later column: the first group that starts in a later
      // column, then the sample within the group before it.
      const int64_t gFirst = k / g8 + 1;
      const int64_t gEnd = std::min<int64_t>(static_cast<int64_t>(groupTicks.size()), last / g8 + 1);
      int64_t hi;
      if (gFirst < gEnd) {
        const int64_t g = FirstTrue(gFirst, gEnd, guess / g8 + 1,
                                    [&](int64_t j) { return xOfTicks(groupTicks[static_cast<size_t>(j)]) > x; });
        const int64_t from = std::max<int64_t>(k + 1, (g - 1) * g8 + 1);
        const int64_t to = g < gEnd ? g * g8 : int64_t{last} + 1;
        hi = FirstTrue(from, to, g < gEnd ? 1 : guess, [&](int64_t j) { return xOf(static_cast<int32_t>(j)) > x; });
      } else {
        hi = FirstTrue(int64_t{k} + 1, int64_t{last} + 1, guess, [&](int64_t j) { return xOf(static_cast<int32_t>(j)) > x; });
      }
      guess = std::max<int64_t>(1, hi - k);
      double vlo = 0, vhi = 0;
      summary->MinMax(k, static_cast<int32_t>(hi), vlo, vhi);
      k = static_cast<int32_t>(hi);
      if (!(vlo <= vhi)) continue;
      const int yHigh = yOf(vhi), yLow = yOf(vlo);
      const bool highFirst = std::abs(prevY - yHigh) <= std::abs(prevY - yLow);
      const int y1 = highFirst ? yHigh : yLow, y2 = highFirst ? yLow : yHigh;
      pts.push_back({inX(x), y1});
      if (y2 != y1) pts.push_back({inX(x), y2});
      prevY = y2;
    }
  }
  pts.push_back({pane.Left + pane.Width, bottom});
  pts.push_back({pane.Left, bottom});
  return pts;
}

std::vector<TTraceSpan> ColumnSpans(const std::vector<TTracePoint>& points) {
  std::vector<TTraceSpan> spans;
  if (points.size() < 4) return spans;
  const size_t end = points.size() - 2;  // the last two are the bottom corners
  int prevY = points[0].Y;
  for (size_t i = 1; i < end;) {
    TTraceSpan s{points[i].X, std::min(prevY, points[i].Y), std::max(prevY, points[i].Y), points[i].Y};
    for (; i < end && points[i].X == s.X; ++i) {
      s.Top = std::min(s.Top, points[i].Y);
      s.Bottom = std::max(s.Bottom, points[i].Y);
      s.High = std::min(s.High, points[i].Y);
      prevY = points[i].Y;
    }
    spans.push_back(s);
  }
  return spans;
}

std::vector<int> FillTops(const std::vector<TTracePoint>& points, int left, int width, int bottom) {
  std::vector<int> tops(static_cast<size_t>(std::max(width, 0)), bottom);
  if (points.size() < 2 || width <= 0) return tops;
  auto raise = [&](int x, int y) {
    const int c = x - left;
    if (c >= 0 && c < width && y < tops[static_cast<size_t>(c)]) tops[static_cast<size_t>(c)] = y;
  };
  // The closing line back along the bottom adds nothing.
  for (size_t i = 0; i + 2 < points.size(); ++i) {
    TTracePoint a = points[i], b = points[i + 1];
    if (b.X < a.X) std::swap(a, b);
    if (a.X == b.X) {
      raise(a.X, std::min(a.Y, b.Y));
      continue;
    }
    const int from = std::max(a.X, left), to = std::min(b.X, left + width - 1);
    const double slope = static_cast<double>(b.Y - a.Y) / (b.X - a.X);
    for (int x = from; x <= to; ++x) raise(x, static_cast<int>(std::lround(a.Y + slope * (x - a.X))));
  }
  return tops;
}

// ---------------------------------------------------------------------------------------------

TTimeWindow ZoomInWindow(double position, double span) { return {position - 0.4 * span, position + 0.4 * span}; }

TTimeWindow ZoomOutWindow(double position, double span) {
  const double s = position - 0.6 * span;
  if (s >= 0) {
    const double end = s + 1.2 * span;
    return {end - 1.2 * span, end};
  }
  return {0, 1.2 * span};
}

TCursorMove MoveCursor(double position, double maxTime, double start, double end, double span) {
  TCursorMove m;
  m.Position = position > 0 ? std::min(position, maxTime) : 0;  // NaN goes to 0 as well
  if (m.Position < 0) m.Position = 0;
  m.Start = start;
  m.End = end;
  if (m.Position < start) {
    m.Start = m.Position;
    m.End = m.Start + span;
    m.WindowMoved = true;
  } else if (m.Position > end) {
    m.End = m.Position;
    m.Start = m.End - span;
    m.WindowMoved = true;
  }
  return m;
}

// ---------------------------------------------------------------------------------------------

std::string CursorValueText(TDisplayVar& var, double t) {
  const TVarHist* h = var.History();
  if (!h || h->Count() == 0) return {};
  std::string text = FormatValue(var.Unit, var.GetValueAt(var.Unit, t));
  const TCoreContext* core = var.Owner ? var.Owner->Context : nullptr;
  const std::string unit = core ? UnitText(var.Unit, *core->Settings) : std::string();
  if (!unit.empty()) text += " " + unit;
  return text;
}

std::string CursorTimeText(double t) { return FormatSeconds(t); }
