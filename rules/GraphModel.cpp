#include "rules/GraphModel.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "history/History.h"
#include "recording/Recording.h"
#include "vars/Formatters.h"
#include "vars/GraphSelection.h"
#include "vars/SensorList.h"

namespace {
// Grid lines or labels beyond these counts would not be readable; they also bound the loops for
// ranges and ticks that make no sense.
constexpr int kMaxGridLines = 4096;
constexpr int kTraceReach = 4096;

// Points gathered into pixel columns: each column's lowest and highest value, entered from the
// end nearer the previous column's last point.
template <class YOf>
class TColumns {
 public:
  TColumns(std::vector<TTracePoint>& points, const YOf& yOf) : points_(points), yOf_(yOf) {}
  void Add(int x, double lo, double hi) {
    if (!(lo <= hi)) return;
    if (x != column_) {
      Flush();
      column_ = x;
      lo_ = lo;
      hi_ = hi;
    } else {
      lo_ = std::min(lo_, lo);
      hi_ = std::max(hi_, hi);
    }
  }
  void Flush() {
    if (column_ == INT_MIN) return;
    const int yHigh = yOf_(hi_), yLow = yOf_(lo_);
    const bool highFirst = prevY_ == INT_MIN || std::abs(prevY_ - yHigh) <= std::abs(prevY_ - yLow);
    points_.push_back({column_, highFirst ? yHigh : yLow});
    if (yHigh != yLow) points_.push_back({column_, highFirst ? yLow : yHigh});
    prevY_ = points_.back().Y;
    column_ = INT_MIN;
  }

 private:
  std::vector<TTracePoint>& points_;
  const YOf& yOf_;
  int column_ = INT_MIN;
  int prevY_ = INT_MIN;
  double lo_ = 0, hi_ = 0;
};
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

uint32_t TowardsWhite(uint32_t rgb, double f) {
  auto up = [f](uint32_t c) { return static_cast<uint32_t>(std::lround(c + (255 - c) * f)); };
  return up(rgb >> 16 & 0xFF) << 16 | up(rgb >> 8 & 0xFF) << 8 | up(rgb & 0xFF);
}

std::optional<uint32_t> TraceEdgeColour(uint32_t rgb) {
  const double r = rgb >> 16 & 0xFF, g = rgb >> 8 & 0xFF, b = rgb & 0xFF;
  // Light enough to vanish on white: the yellow, not the fuchsia or the other pane colours.
  if (0.2126 * r + 0.7152 * g + 0.0722 * b < 0.6 * 255) return std::nullopt;
  auto dark = [](double c) { return static_cast<uint32_t>(c * 0.45); };
  return dark(r) << 16 | dark(g) << 8 | dark(b);
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

double ChooseDistanceStep(double labelWidth, double pixelsPerMetre) {
  const double s = labelWidth / std::max(pixelsPerMetre, 1e-6);
  for (double decade = 1; decade < 1e9; decade *= 10)
    for (double m : {1.0, 2.0, 5.0})
      if (m * decade > s) return m * decade;
  return 1e9;
}

std::string AxisLabelText(TGraphAxisUnit unit, double v) {
  if (unit == TGraphAxisUnit::Seconds) return FormatAxisTime(v);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.0f", std::round(v) == 0 ? 0.0 : std::round(v));
  return buf;
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

TGraphTrace TGraphlet::OwnTrace() const {
  return {Variable, History, Colour, Variable && Variable->FillTrace};
}

// ---------------------------------------------------------------------------------------------

TGraphModel::TGraphModel(const TGraphSelection* selection, const TGraphMetrics& metrics, TGraphSurface surface, int dpi)
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
    MaxTime = AxisLength ? *AxisLength : recording->LengthSeconds();
    if (EndTime == 0) EndTime = std::max(MaxTime, 1.0);
  } else {
    MaxTime = 0;
    StartTime = EndTime = 0;
  }
  TimeSpan = EndTime - StartTime;
  PlotWidth = Width - LeftMargin - RightMargin;
  PixelsPerSecond = TimeSpan > 0 ? PlotWidth / TimeSpan : 0;
  if (AxisUnit == TGraphAxisUnit::Metres) {
    labelWidth_ = TextWidth(AxisLabelText(AxisUnit, EndTime) + "00");
    TimeStep = ChooseDistanceStep(labelWidth_, PixelsPerSecond);
    return;
  }
  labelWidth_ = Metrics.TimeTextWidths[static_cast<size_t>(TimeMeasureIndex(EndTime))];
  TimeStep = ChooseTimeStep(labelWidth_, PixelsPerSecond);
}

void TGraphModel::Layout(const TRecording* recording) {
  LayoutTimeAxis(recording);
  const bool extra = !ExtraPane.Title.empty();
  const int count = (Selection ? Selection->Count() : 0) + (extra ? 1 : 0);
  PaneCount = std::min(count, MaxGraphPanes);
  if (extra) {
    // The extra pane takes the last place.
    TGraphlet& p = Panes[static_cast<size_t>(PaneCount - 1)];
    const TGraphlet geometry = p;
    p = ExtraPane;
    p.Left = geometry.Left;
    p.Top = geometry.Top;
    p.Width = geometry.Width;
    p.Height = geometry.Height;
  }
  for (int i = 0; i < PaneCount - (extra ? 1 : 0); ++i) {
    TGraphlet& p = Panes[static_cast<size_t>(i)];
    p.Title.clear();
    p.TitleUnit.clear();
    p.Variable = dynamic_cast<TDisplayVar*>(Selection->Get(i));
    p.Colour = Selection->Colour(Selection->IdAt(i)).value_or(GraphPaneColour(i));
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

double TGraphModel::XToTime(int x) const {
  if (!(PixelsPerSecond > 0)) return StartTime;
  return std::clamp(StartTime + (x - LeftMargin) / PixelsPerSecond, StartTime, std::max(StartTime, EndTime));
}

int TGraphModel::PaneAt(int y) const {
  for (int i = 0; i < PaneCount; ++i) {
    const TGraphlet& p = Panes[static_cast<size_t>(i)];
    if (y >= p.Top && y < p.Bottom() + PaneGap) return i;
  }
  return -1;
}

int TGraphModel::TextWidth(const std::string& text) const {
  return Metrics.TextWidth ? Metrics.TextWidth(text) : Metrics.ZeroWidth * static_cast<int>(text.size());
}

std::vector<double> TGraphModel::GridTimes() const {
  std::vector<double> times;
  if (!(TimeStep > 0) || !(EndTime > StartTime)) return times;
  for (double t = std::ceil(StartTime / TimeStep) * TimeStep; t < EndTime && times.size() < kMaxGridLines; t += TimeStep)
    times.push_back(t);
  return times;
}

std::vector<TTextPlace> TGraphModel::TimeLabels() const {
  std::vector<TTextPlace> labels;
  std::vector<int> widths;
  for (double t : GridTimes()) {
    std::string text = AxisLabelText(AxisUnit, t);
    const int w = TextWidth(text);
    const int x = std::max(LeftMargin, std::min(PixelOf(TimeToX(t) - labelWidth_ / 2.0), Width - w));
    labels.push_back({x, Height - 2 * TextHeight, std::move(text)});
    widths.push_back(w);
  }
  // Only a label moved in at either end can touch its neighbour.
  auto touch = [&](size_t a, size_t b) { return labels[a].X + widths[a] >= labels[b].X; };
  if (labels.size() >= 2 && touch(labels.size() - 2, labels.size() - 1)) labels.pop_back();
  if (labels.size() >= 2 && touch(0, 1)) labels.erase(labels.begin());
  return labels;
}

TTextPlace TGraphModel::AxisCaption(int captionWidth) const {
  return {(Width - captionWidth) / 2, Height - TextHeight, AxisCaptionText};
}

std::vector<TGridLine> TGraphModel::ValueGrid(const TGraphlet& pane) const {
  std::vector<TGridLine> lines;
  if ((!pane.Variable && pane.Title.empty()) || !(pane.Tick > 0)) return lines;
  // Every k-th label, k a power of two, k lines at least a text height apart.
  const double spacing = pane.Tick * pane.PixelsPerUnit;
  int every = 1;
  while (every < kMaxGridLines && std::floor(every * spacing) < TextHeight) every *= 2;
  int index = 0;
  for (double v = pane.Minimum; v <= pane.Maximum && lines.size() < kMaxGridLines; v += pane.Tick, ++index)
    lines.push_back({pane.ValueToY(v), index % every == 0 ? ValueLabelText(v, pane.Tick) : std::string()});
  return lines;
}

TTrace TGraphModel::Trace(const TGraphlet& pane, const TGraphTrace& trace, TTraceSummary* summary) const {
  TTrace out;
  const TVarHist* h = trace.History;
  TDisplayVar* var = trace.Variable;
  if (!h || !var || h->Count() == 0 || pane.Width <= 0) return out;
  const int32_t count = h->Count();
  // The window on the trace's own times.
  const double start = StartTime + trace.Offset, end = EndTime + trace.Offset;
  // (A run shifted later starts inside the window: its times before 0 hold no samples.)
  const int32_t first = std::max(h->IndexAtSeconds(std::max(start, 0.0)), 0);
  int32_t last = std::max(h->IndexAtSeconds(std::max(end, 0.0)), first);
  if (last + 1 < count && h->TimeOf(last) < end) ++last;
  const int bottom = pane.Bottom();
  auto xOf = [&](int32_t k) { return PixelOf(pane.Left + (h->TimeOf(k) - start) * PixelsPerSecond); };
  // Far outside the pane a point only sets the direction of its line: pulled in, the line looks
  // the same inside the pane and costs the drawing no more than a short one.
  auto yOf = [&](double v) { return std::clamp(pane.ValueToY(v), pane.Top - kTraceReach, bottom + kTraceReach); };
  auto inX = [&](int x) { return std::clamp(x, pane.Left - kTraceReach, pane.Left + pane.Width + kTraceReach); };
  auto value = [&](int32_t k) { return summary ? summary->ValueAt(k) : var->GetValueAtIndex(var->Unit, k); };

  if (last - first < pane.Width || !summary) {
    const int32_t stride = summary ? 1 : std::max((last - first) / pane.Width, 1);
    for (int32_t k = first; k <= last; k += stride) out.Points.push_back({inX(xOf(k)), yOf(value(k))});
    return out;
  }

  // Pixel columns: each one's lowest and highest value.
  out.Columns = true;
  out.Points.reserve(static_cast<size_t>(2 * pane.Width + 8));
  TColumns columns(out.Points, yOf);
  auto add = [&](int x, double vlo, double vhi) { columns.Add(x, vlo, vhi); };
  summary->Extend();
  const double ticksPerColumn = 100000.0 / PixelsPerSecond;
  const int level = summary->LevelFor(ticksPerColumn);
  int32_t from = first;
  if (level >= 0) {
    // Buckets no wider than a column, each in the column of its middle: the sample times are
    // never read.
    const std::vector<TTraceSummary::TRange>& buckets = summary->Level(level);
    const auto ticks = static_cast<double>(summary->BucketTicks(level));
    const auto firstBucket = static_cast<size_t>(std::max(0.0, start * 100000.0 / ticks));
    const auto lastBucket = static_cast<size_t>(std::max(0.0, end * 100000.0 / ticks));
    const int right = pane.Left + pane.Width - 1;
    for (size_t b = firstBucket; b <= lastBucket && b < buckets.size(); ++b) {
      if (buckets[b].Empty()) continue;
      const int x = std::clamp(PixelOf(pane.Left + ((b + 0.5) * ticks * 0.00001 - start) * PixelsPerSecond), pane.Left, right);
      add(x, buckets[b].Lo, buckets[b].Hi);
    }
    from = std::max(first, summary->Summarised());  // the newest samples are not in the buckets yet
  }
  for (int32_t k = from; k <= last; ++k) {
    const double v = value(k);
    add(inX(xOf(k)), v, v);
  }
  columns.Flush();
  return out;
}

TTrace TGraphModel::PlacedTrace(const TGraphlet& pane, const std::vector<TPlacedValue>& values) const {
  TTrace out;
  if (values.empty() || pane.Width <= 0) return out;
  auto below = [](const TPlacedValue& v, double x) { return v.X < x; };
  const auto from = std::lower_bound(values.begin(), values.end(), StartTime, below);
  const size_t first = from == values.begin() ? 0 : static_cast<size_t>(from - values.begin()) - 1;
  const auto to = std::upper_bound(values.begin(), values.end(), EndTime, [](double x, const TPlacedValue& v) { return x < v.X; });
  const size_t last = to == values.end() ? values.size() - 1 : static_cast<size_t>(to - values.begin());
  const int bottom = pane.Bottom();
  auto xOf = [&](double x) {
    return std::clamp(PixelOf(pane.Left + (x - StartTime) * PixelsPerSecond), pane.Left - kTraceReach, pane.Left + pane.Width + kTraceReach);
  };
  auto yOf = [&](double v) { return std::clamp(pane.ValueToY(v), pane.Top - kTraceReach, bottom + kTraceReach); };
  if (last - first < static_cast<size_t>(pane.Width)) {
    for (size_t k = first; k <= last; ++k) out.Points.push_back({xOf(values[k].X), yOf(values[k].Value)});
    return out;
  }
  out.Columns = true;
  TColumns columns(out.Points, yOf);
  for (size_t k = first; k <= last; ++k) columns.Add(xOf(values[k].X), values[k].Value, values[k].Value);
  columns.Flush();
  return out;
}

TTraceStrokes ColumnStrokes(const std::vector<TTracePoint>& points) {
  TTraceStrokes strokes;
  const TTracePoint* prev = nullptr;
  for (size_t i = 0; i < points.size();) {
    const TTracePoint& first = points[i];
    TTraceSpan s{first.X, first.Y, first.Y};
    if (prev && prev->X >= first.X - 1) {
      s.Top = std::min(s.Top, prev->Y);
      s.Bottom = std::max(s.Bottom, prev->Y);
    } else if (prev) {
      strokes.Lines.push_back({*prev, first});
    }
    for (; i < points.size() && points[i].X == s.X; ++i) {
      s.Top = std::min(s.Top, points[i].Y);
      s.Bottom = std::max(s.Bottom, points[i].Y);
      prev = &points[i];
    }
    strokes.Spans.push_back(s);
  }
  return strokes;
}

std::vector<int> FillTops(const std::vector<TTracePoint>& points, int left, int width, int bottom) {
  std::vector<int> tops(static_cast<size_t>(std::max(width, 0)), bottom);
  if (points.empty() || width <= 0) return tops;
  auto raise = [&](int x, int y) {
    const int c = x - left;
    if (c >= 0 && c < width && y < tops[static_cast<size_t>(c)]) tops[static_cast<size_t>(c)] = y;
  };
  raise(points[0].X, points[0].Y);
  for (size_t i = 0; i + 1 < points.size(); ++i) {
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

TTimeWindow FitWindow(double start, double end, double maxTime) {
  if (!(maxTime > 0)) return {start, end};
  const double span = end - start;
  if (!(span < maxTime)) return {0, maxTime};
  if (start < 0) return {0, span};
  if (end > maxTime) return {maxTime - span, maxTime};
  return {start, end};
}

TTimeWindow ZoomAroundWindow(double start, double end, double anchor, double factor, double maxTime) {
  const double span = end - start;
  if (!(span > 0) || !(factor > 0)) return {start, end};
  const double wanted = std::max(span * factor, MinGraphSpan);
  const double s = anchor - (anchor - start) * wanted / span;
  return FitWindow(s, s + wanted, maxTime);
}

TTimeWindow PanWindow(double start, double end, double seconds, double maxTime) {
  return FitWindow(start + seconds, end + seconds, maxTime);
}

TTimeWindow SpanWindow(double t1, double t2, double maxTime) {
  double lo = std::min(t1, t2), hi = std::max(t1, t2);
  if (hi - lo < MinGraphSpan) {
    const double mid = (lo + hi) / 2;
    lo = mid - MinGraphSpan / 2;
    hi = mid + MinGraphSpan / 2;
  }
  return FitWindow(lo, hi, maxTime);
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
