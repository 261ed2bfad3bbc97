#pragma once
// The Tables page's drawing maths and texts without a drawing library: where the grid's cells,
// axis labels and titles go, how large the cells' text may be, where the scatter plot, its ticks
// and its colour bar go, and the texts of a cell's tip and of what became of the samples. The
// widgets measure their font, hand the measurements in and draw what these place.
#include <cstdint>
#include <string>
#include <vector>

// The smallest step of 1, 2, 2.5, 3, 4 or 5 times a power of ten that covers span in at most
// `steps` steps.
double RoundStep(double span, int steps);

struct TBox {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  int Right() const { return Left + Width; }
  int Bottom() const { return Top + Height; }
  bool Contains(int x, int y) const { return x >= Left && x < Right() && y >= Top && y < Bottom(); }
  bool operator==(const TBox&) const = default;
};

// ---------------------------------------------------------------------------------------------
// The grid

struct TGridMetrics {
  int LineHeight = 0;      // of the labels' font
  int XLabelWidth = 0;     // the widest column label (an X edge)
  int YLabelWidth = 0;     // the widest row label (a Y edge)
  int FontPx = 0;          // the cells' font size
  int CellTextWidth = 0;   // the widest cell text at that size
  int CellTextHeight = 0;  // its height
};

// At most this small a cell text still reads; below it the cells show colour alone.
constexpr int MinCellFontPx = 8;
constexpr int GridPad = 4;

struct TGridLayout {
  TBox XTitle;  // above the column labels
  TBox YTitle;  // left of the row labels, written upwards
  int ColumnLabelsTop = 0;
  int RowLabelsLeft = 0, RowLabelsWidth = 0;
  TBox Cells;                    // all cells
  std::vector<int> ColumnEdges;  // Columns + 1 x positions
  std::vector<int> RowEdges;     // Rows + 1 y positions, the first at the top (the highest row)
  int ColumnLabelStride = 1;     // a label on every n-th column so labels never overlap
  int RowLabelStride = 1;
  int CellFontPx = 0;  // 0: the cells show no text

  // The cell under a point: column and row (0 the lowest), or false outside the cells.
  bool CellAt(int x, int y, int& column, int& row) const;
  // A cell's box (row 0 the lowest).
  TBox CellBox(int column, int row) const;
};

TGridLayout LayoutGrid(int width, int height, int columns, int rows, const TGridMetrics& m);

// ---------------------------------------------------------------------------------------------
// The scatter plot

struct TScatterMetrics {
  int LineHeight = 0;
  int YTickWidth = 0;     // the widest Y tick label
  int BarLabelWidth = 0;  // the widest colour bar label
};

struct TScatterLayout {
  TBox Plot;
  TBox Bar;  // the colour bar, rich to lean from bottom to top
  TBox XTitle, YTitle, BarTitle;
};

constexpr int ScatterDot = 4;  // the side of a point's square, in logical pixels

TScatterLayout LayoutScatter(int width, int height, const TScatterMetrics& m);

struct TTick {
  double Value;
  int Pixel;  // along the axis from its start (left or bottom)
};
// A round step for ticks over span drawn length pixels long: at least minSpacing pixels apart,
// at most ten.
double TickStep(double span, int length, int minSpacing);
// Ticks at the multiples of step between lo and hi, placed over length pixels.
std::vector<TTick> AxisTicks(double lo, double hi, int length, double step);
// A tick's text: as few decimals as the step needs.
std::string TickText(double value, double step);

// ---------------------------------------------------------------------------------------------
// Texts

// The sensors of a table as the page writes them.
struct TTableNames {
  std::string XName, XUnit, YName, YUnit, ZName, ZUnit;
  uint8_t ZUnitCode = 0;  // how Z's values are written (FormatValue)
};

// "Revs (rpm)"; a sensor without a unit stands alone.
std::string AxisTitle(const std::string& name, const std::string& unit);

// A cell's tip: the ranges it covers and its statistics (already formatted; a scatter plot's dot
// has no minimum and maximum).
struct TCellTip {
  std::string XName, XFrom, XTo, XUnit;
  std::string YName, YFrom, YTo, YUnit;
  std::string ZName, ZUnit;
  uint32_t Count = 0;
  std::string Mean, Min, Max;
};
// "Revs 2000 to 2500 rpm\nMAP 0.4 to 0.6 bar\n12 samples of Lambda\nmean 0.98, min 0.91, max 1.05 L"
// (the last line "mean 0.98 L" without a minimum and maximum).
std::string CellTipText(const TCellTip& tip);

// What became of the samples of Z: "1234 of 5678 samples of Lambda in cells; 12 outside the edges,
// 3 too old, 0 without a sample, 5 filtered out".
std::string SampleCountsText(int64_t counted, int64_t samples, const std::string& z, int64_t outside, int64_t tooOld,
                             int64_t noSample, int64_t filtered);
