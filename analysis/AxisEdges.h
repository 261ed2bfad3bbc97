#pragma once
// The cell edges of a table axis: e0 < e1 < ... < en, written as START:END:STEP or as a list
// E0,E1,...; a value v lies in cell i when ei <= v < ei+1, and outside the axis below e0 or from
// en on.
#include <string>
#include <utility>
#include <vector>

class TDisplayVar;

class TAxisEdges {
 public:
  TAxisEdges() = default;
  // Strictly rising edges (ParseAxisEdges checks them).
  explicit TAxisEdges(std::vector<double> edges)
      : edges_(std::move(edges)), inverseStep_(Cells() ? Cells() / (edges_.back() - edges_.front()) : 0) {}

  const std::vector<double>& Values() const { return edges_; }
  int Cells() const { return edges_.size() < 2 ? 0 : static_cast<int>(edges_.size()) - 1; }
  // The cell v lies in, or -1 outside the edges (and for NaN).
  int CellOf(double v) const {
    const int n = Cells();
    if (n == 0 || !(v >= edges_.front()) || !(v < edges_.back())) return -1;
    // Evenly spaced edges give the cell at once; the edges themselves have the last word.
    int i = static_cast<int>((v - edges_.front()) * inverseStep_);
    if (i >= n) i = n - 1;
    while (i > 0 && v < edges_[static_cast<size_t>(i)]) --i;
    while (i + 1 < n && v >= edges_[static_cast<size_t>(i) + 1]) ++i;
    return i;
  }
  double Lower(int cell) const { return edges_[static_cast<size_t>(cell)]; }
  double Upper(int cell) const { return edges_[static_cast<size_t>(cell) + 1]; }
  double First() const { return edges_.front(); }
  double Last() const { return edges_.back(); }
  bool operator==(const TAxisEdges& o) const { return edges_ == o.edges_; }

 private:
  std::vector<double> edges_;
  double inverseStep_ = 0;
};

// The most cells an axis may have.
constexpr int MaxAxisCells = 1000;

// Parses "START:END:STEP" (the edges START + k x STEP up to END inclusive, each computed by one
// multiplication from the decimals as written, so 0:1:0.1 gives exactly 0.3 and not 0.1 + 0.1 +
// 0.1) or "E0,E1,..." (spaces allowed around the numbers). False with a reason: a number that is
// none, a zero or negative step, edges that do not rise, fewer than two edges or too many cells.
bool ParseAxisEdges(const std::string& text, TAxisEdges& out, std::string* error = nullptr);

// An edge in its shortest exact decimal form: 500, 0.1, -2.5 (never an exponent).
std::string FormatEdge(double value);
// The edges as a list "E0,E1,..." in that form.
std::string EdgesListText(const TAxisEdges& edges);
// The edges as an axis shows them: all with as many decimals as the one that needs most (0, 0.5,
// 1.0, 1.5); an edge that needs more than six keeps its shortest form.
std::vector<std::string> EdgeLabels(const TAxisEdges& edges);

// The edges a sensor starts with when it is put on an axis, as START:END:STEP text: revs 500 to
// 8000 in steps of 500; MAP and the other pressures 0 to the sensor's top reading in ten round
// steps; anything else its display range in about ten round steps.
std::string DefaultEdgesText(TDisplayVar& var);
