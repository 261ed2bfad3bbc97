#pragma once
// A table of observations: per cell of X across and Y down, the count, sum, lowest and highest Z;
// how many samples of Z were skipped and why; and the table as text (CSV or tab-separated).
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "analysis/AxisEdges.h"
#include "analysis/ObservationWalker.h"
#include "analysis/TableSpec.h"

struct TCellStats {
  uint32_t Count = 0;
  double Sum = 0;
  double Min = std::numeric_limits<double>::infinity();
  double Max = -std::numeric_limits<double>::infinity();

  void Add(double z) {
    ++Count;
    Sum += z;
    if (z < Min) Min = z;
    if (z > Max) Max = z;
  }
  double Mean() const { return Count ? Sum / Count : 0; }
  double Stat(TTableStat stat) const;
};

// What became of the samples of Z.
struct TTableCounts {
  int64_t Samples = 0;   // walked
  int64_t Counted = 0;   // in a cell
  int64_t Outside = 0;   // observed, but X or Y outside the edges
  int64_t NoSample = 0;  // X, Y or a filter sensor had no sample yet
  int64_t TooOld = 0;    // ... or only one older than the maximum age
  int64_t Filtered = 0;  // a condition did not hold

  bool operator==(const TTableCounts&) const = default;
};

class TTable {
 public:
  TTable(const TAxisEdges& x, const TAxisEdges& y);

  const TAxisEdges& XEdges() const { return x_; }
  const TAxisEdges& YEdges() const { return y_; }
  int Columns() const { return x_.Cells(); }
  int Rows() const { return y_.Cells(); }
  // Column cx (0: the lowest X) and row cy (0: the lowest Y).
  const TCellStats& Cell(int cx, int cy) const { return cells_[static_cast<size_t>(cy * Columns() + cx)]; }
  // Counted and Samples are summed from the cells when asked for.
  TTableCounts Counts() const;

  // The cell (cy x Columns + cx) of X and Y; -1 when either is outside.
  int CellOf(double x, double y) const;
  // Files one observation in its cell; the cell, or -1 when it is in none.
  int Add(const TObservation& o) {
    if (o.Fate == TObservationFate::Observed && o.Cell >= 0) {
      cells_[static_cast<size_t>(o.Cell)].Add(o.Z);
      return o.Cell;
    }
    switch (o.Fate) {
      case TObservationFate::Observed: ++counts_.Outside; break;
      case TObservationFate::NoSample: ++counts_.NoSample; break;
      case TObservationFate::TooOld: ++counts_.TooOld; break;
      case TObservationFate::Filtered: ++counts_.Filtered; break;
    }
    return -1;
  }
  void Clear();

 private:
  friend class TTableFiller;
  friend struct TCellRun;
  // Counts a sample of Z in no cell by the code TObservationWalker::WalkCells gives it.
  void Skip(int32_t code) {
    TObservation o;  // observed in no cell unless the code says otherwise
    o.Fate = static_cast<TObservationFate>(-1 - code);
    Add(o);
  }
  TAxisEdges x_, y_;
  std::vector<TCellStats> cells_;
  TTableCounts counts_;  // the skipped ones
};

// Files observations into a table as Add does, but keeps the figures of the cell the observations
// are in while they stay there in variables of its own, writing them back when another cell
// begins (or on Flush): the same additions in the same order, without a round trip through memory
// for each sample. Nothing else may change the table while it fills.
class TTableFiller {
 public:
  explicit TTableFiller(TTable& table) : table_(table) {}
  ~TTableFiller() { Flush(); }
  TTableFiller(const TTableFiller&) = delete;
  TTableFiller& operator=(const TTableFiller&) = delete;

  int Add(const TObservation& o) {
    if (o.Fate != TObservationFate::Observed || o.Cell < 0) return table_.Add(o);
    if (o.Cell != cell_) {
      Flush();
      cell_ = o.Cell;
      run_ = table_.cells_[static_cast<size_t>(cell_)];
    }
    run_.Add(o.Z);
    return cell_;
  }
  void Flush() {
    if (cell_ >= 0) table_.cells_[static_cast<size_t>(cell_)] = run_;
    cell_ = -1;
  }

 private:
  TTable& table_;
  int cell_ = -1;
  TCellStats run_;
};

// Files observations into a table by the codes TObservationWalker::WalkCells gives, as TTableFiller
// does, but as a value with the running cell's figures in fields of their own, so that a walk
// holding a copy keeps them in registers. Store writes them back.
struct TCellRun {
  explicit TCellRun(TTable* table) : Table(table), Cells(table->cells_.data()) {}
  TTable* Table;
  TCellStats* Cells;  // the table's
  int Cell = -1;
  uint32_t Count = 0;
  double Sum = 0, Min = 0, Max = 0;

  void Add(int32_t code, double z) {
    if (code < 0) [[unlikely]] {
      Table->Skip(code);
      return;
    }
    if (code != Cell) {
      Store();
      Cell = code;
      const TCellStats& s = Cells[Cell];
      Count = s.Count, Sum = s.Sum, Min = s.Min, Max = s.Max;
    }
    ++Count;  // as TCellStats::Add
    Sum += z;
    if (z < Min) Min = z;
    if (z > Max) Max = z;
  }
  void Store() {
    if (Cell >= 0) Cells[Cell] = {Count, Sum, Min, Max};
  }
};

// The table of every sample of Z the recording holds.
TTable BuildTable(const TSensorList& sensors, const THistorySet& recording, const TTableSpec& spec);

// The .tdf export writes every value with six decimals; a table's means, minima and maxima get
// two more.
constexpr int TdfValueDecimals = 6;
constexpr int TableValueDecimals = TdfValueDecimals + 2;

struct TTableTextOptions {
  std::string XName, YName;
  TTableStat Stat = TTableStat::Mean;
  uint32_t MinCount = 1;  // cells with fewer observations stay empty
  char Separator = ',';
  int Decimals = TableValueDecimals;
};
// The first line is "<Y name> \ <X name>" and each column's lower edge; then one line per row from
// the highest Y to the lowest: the row's lower edge and the cells. Edges in their shortest exact
// form, values with the given decimals (a count whole), '.' as the decimal point, LF line ends. A
// field holding the separator or a quote is quoted.
std::string TableText(const TTable& table, const TTableTextOptions& options);
// The text of one cell as TableText writes it; empty when it has fewer than minCount observations.
std::string CellText(const TCellStats& cell, TTableStat stat, uint32_t minCount, int decimals);
