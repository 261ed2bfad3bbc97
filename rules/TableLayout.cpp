#include "rules/TableLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

double RoundStep(double span, int steps) {
  if (!(span > 0) || steps < 1) return 1;
  const double raw = span / steps;
  const int e = static_cast<int>(std::floor(std::log10(raw)));
  for (int exp = e; exp <= e + 1; ++exp)
    for (double m : {1.0, 2.0, 2.5, 3.0, 4.0, 5.0}) {
      // m x 10^exp, divided rather than multiplied by a negative power so 0.1 stays 0.1.
      const double step = exp >= 0 ? m * std::pow(10.0, exp) : m / std::pow(10.0, -exp);
      if (step * steps >= span * (1 - 1e-12)) return step;
    }
  return 10 * std::pow(10.0, e + 1);
}

// ---------------------------------------------------------------------------------------------
// The grid

namespace {
std::vector<int> Split(int from, int length, int parts) {
  std::vector<int> edges(static_cast<size_t>(parts) + 1);
  for (int i = 0; i <= parts; ++i)
    edges[static_cast<size_t>(i)] = from + static_cast<int>(std::lround(static_cast<double>(length) * i / parts));
  return edges;
}

int Stride(int needed, int available) {
  if (available <= 0) return 1 << 20;
  return std::max(1, (needed + available - 1) / available);
}
}  // namespace

bool TGridLayout::CellAt(int x, int y, int& column, int& row) const {
  if (!Cells.Contains(x, y) || ColumnEdges.size() < 2 || RowEdges.size() < 2) return false;
  column = static_cast<int>(std::upper_bound(ColumnEdges.begin(), ColumnEdges.end(), x) - ColumnEdges.begin()) - 1;
  const int fromTop = static_cast<int>(std::upper_bound(RowEdges.begin(), RowEdges.end(), y) - RowEdges.begin()) - 1;
  const int rows = static_cast<int>(RowEdges.size()) - 1;
  column = std::clamp(column, 0, static_cast<int>(ColumnEdges.size()) - 2);
  row = rows - 1 - std::clamp(fromTop, 0, rows - 1);
  return true;
}

TBox TGridLayout::CellBox(int column, int row) const {
  const int rows = static_cast<int>(RowEdges.size()) - 1;
  const auto c = static_cast<size_t>(column), r = static_cast<size_t>(rows - 1 - row);
  return {ColumnEdges[c], RowEdges[r], ColumnEdges[c + 1] - ColumnEdges[c], RowEdges[r + 1] - RowEdges[r]};
}

TGridLayout LayoutGrid(int width, int height, int columns, int rows, const TGridMetrics& m) {
  TGridLayout g;
  columns = std::max(columns, 1);
  rows = std::max(rows, 1);
  const int titleHeight = m.LineHeight + GridPad;
  g.YTitle = {0, titleHeight * 2, titleHeight, std::max(0, height - titleHeight * 2)};
  g.RowLabelsLeft = titleHeight;
  g.RowLabelsWidth = m.YLabelWidth + 2 * GridPad;
  const int left = g.RowLabelsLeft + g.RowLabelsWidth;
  g.XTitle = {left, 0, std::max(0, width - left), titleHeight};
  g.ColumnLabelsTop = titleHeight;
  const int top = titleHeight * 2;
  // Room on the right for half of the last column's label where it is wider than its column.
  const int right = std::max(1, (m.XLabelWidth - (width - left) / columns) / 2 + 1);
  g.Cells = {left, top, std::max(0, width - left - right), std::max(0, height - top - 1)};
  g.ColumnEdges = Split(g.Cells.Left, g.Cells.Width, columns);
  g.RowEdges = Split(g.Cells.Top, g.Cells.Height, rows);
  const int cellWidth = g.Cells.Width / columns, cellHeight = g.Cells.Height / rows;
  g.ColumnLabelStride = Stride(m.XLabelWidth + GridPad, cellWidth);
  g.RowLabelStride = Stride(m.LineHeight, cellHeight);
  // The cells' text as large as the font, smaller where the cells are, none below readable.
  if (m.CellTextWidth > 0 && m.CellTextHeight > 0 && m.FontPx > 0) {
    const double fit = std::min({1.0, (cellWidth - GridPad) / static_cast<double>(m.CellTextWidth),
                                 (cellHeight - 2) / static_cast<double>(m.CellTextHeight)});
    const int px = static_cast<int>(std::floor(m.FontPx * fit));
    g.CellFontPx = px >= MinCellFontPx ? px : 0;
  }
  return g;
}

// ---------------------------------------------------------------------------------------------
// The scatter plot

TScatterLayout LayoutScatter(int width, int height, const TScatterMetrics& m) {
  TScatterLayout s;
  const int line = m.LineHeight;
  const int barWidth = std::max(12, line);
  const int right = GridPad + barWidth + GridPad + m.BarLabelWidth + GridPad;
  const int left = line + GridPad + m.YTickWidth + GridPad;
  const int bottom = line + GridPad + line + GridPad;
  const int top = line + GridPad;
  s.Plot = {left, top, std::max(0, width - left - right), std::max(0, height - top - bottom)};
  s.Bar = {s.Plot.Right() + 2 * GridPad, s.Plot.Top, barWidth, s.Plot.Height};
  s.XTitle = {s.Plot.Left, s.Plot.Bottom() + line + GridPad, s.Plot.Width, line};
  s.YTitle = {0, s.Plot.Top, line, s.Plot.Height};
  s.BarTitle = {s.Bar.Left - GridPad, 0, std::max(0, width - s.Bar.Left + GridPad), line};
  return s;
}

double TickStep(double span, int length, int minSpacing) {
  return RoundStep(span, std::clamp(length / std::max(minSpacing, 1), 1, 10));
}

std::vector<TTick> AxisTicks(double lo, double hi, int length, double step) {
  std::vector<TTick> ticks;
  if (!(hi > lo) || length <= 0 || !(step > 0)) return ticks;
  for (double k = std::ceil(lo / step - 1e-9); k * step <= hi + step * 1e-9; ++k) {
    const double v = k * step;
    ticks.push_back({v, static_cast<int>(std::lround((v - lo) / (hi - lo) * length))});
  }
  return ticks;
}

std::string TickText(double value, double step) {
  int decimals = 0;
  while (decimals < 6 &&
         std::fabs(step * std::pow(10.0, decimals) - std::round(step * std::pow(10.0, decimals))) > 1e-6)
    ++decimals;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, std::fabs(value) < step * 1e-9 ? 0.0 : value);
  return buf;
}

// ---------------------------------------------------------------------------------------------
// Texts

std::string AxisTitle(const std::string& name, const std::string& unit) {
  return unit.empty() ? name : name + " (" + unit + ")";
}

std::string CellTipText(const TCellTip& t) {
  auto range = [](const std::string& name, const std::string& from, const std::string& to, const std::string& unit) {
    return name + " " + from + " to " + to + (unit.empty() ? "" : " " + unit);
  };
  std::string text = range(t.XName, t.XFrom, t.XTo, t.XUnit) + "\n" + range(t.YName, t.YFrom, t.YTo, t.YUnit) + "\n" +
                     std::to_string(t.Count) + (t.Count == 1 ? " sample of " : " samples of ") + t.ZName;
  if (t.Count > 0)
    text += "\nmean " + t.Mean + (t.Min.empty() ? "" : ", min " + t.Min + ", max " + t.Max) +
            (t.ZUnit.empty() ? "" : " " + t.ZUnit);
  return text;
}

std::string SampleCountsText(int64_t counted, int64_t samples, const std::string& z, int64_t outside, int64_t tooOld,
                             int64_t noSample, int64_t filtered) {
  return std::to_string(counted) + " of " + std::to_string(samples) + " samples of " + z + " in cells; " +
         std::to_string(outside) + " outside the edges, " + std::to_string(tooOld) + " too old, " +
         std::to_string(noSample) + " without a sample, " + std::to_string(filtered) + " filtered out";
}
