#include "analysis/Table.h"

#include <cstdio>

double TCellStats::Stat(TTableStat stat) const {
  switch (stat) {
    case TTableStat::Mean: return Mean();
    case TTableStat::Min: return Min;
    case TTableStat::Max: return Max;
    case TTableStat::Count: return Count;
  }
  return 0;
}

TTable::TTable(const TAxisEdges& x, const TAxisEdges& y)
    : x_(x), y_(y), cells_(static_cast<size_t>(x.Cells()) * static_cast<size_t>(y.Cells())) {}

int TTable::CellOf(double x, double y) const {
  const int cx = x_.CellOf(x), cy = y_.CellOf(y);
  return cx < 0 || cy < 0 ? -1 : cy * Columns() + cx;
}

TTableCounts TTable::Counts() const {
  TTableCounts c = counts_;
  for (const TCellStats& cell : cells_) c.Counted += cell.Count;
  c.Samples = c.Counted + c.Outside + c.NoSample + c.TooOld + c.Filtered;
  return c;
}

void TTable::Clear() {
  for (TCellStats& c : cells_) c = {};
  counts_ = {};
}

TTable BuildTable(const TSensorList& sensors, const THistorySet& recording, const TTableSpec& spec) {
  TTable table(spec.XEdges, spec.YEdges);
  TObservationWalker walker(sensors, recording, spec);
  TCellRun run(&table);
  walker.WalkCells(run);
  run.Store();
  return table;
}

namespace {
std::string Field(const std::string& text, char separator) {
  if (text.find_first_of(std::string{separator, '"', '\n', '\r'}) == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}
}  // namespace

std::string CellText(const TCellStats& cell, TTableStat stat, uint32_t minCount, int decimals) {
  if (cell.Count == 0 || cell.Count < minCount) return {};
  if (stat == TTableStat::Count) return std::to_string(cell.Count);
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, cell.Stat(stat));
  return buf;
}

std::string TableText(const TTable& table, const TTableTextOptions& o) {
  const char sep = o.Separator;
  std::string text = Field(o.YName + " \\ " + o.XName, sep);
  for (int cx = 0; cx < table.Columns(); ++cx) text += sep + FormatEdge(table.XEdges().Lower(cx));
  text += '\n';
  for (int cy = table.Rows() - 1; cy >= 0; --cy) {
    text += FormatEdge(table.YEdges().Lower(cy));
    for (int cx = 0; cx < table.Columns(); ++cx)
      text += sep + CellText(table.Cell(cx, cy), o.Stat, o.MinCount, o.Decimals);
    text += '\n';
  }
  return text;
}
