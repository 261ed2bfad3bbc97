#pragma once
// The cell edges of a table axis: e0 < e1 < ... < en, written as START:END:STEP or as a list
// E0,E1,...; a value v lies in cell i when ei <= v < ei+1, and outside the axis below e0 or from
// en on.
#include <string>
#include <vector>

class TDisplayVar;

struct TAxisEdges {
  std::vector<double> Edges;  // strictly rising; at least two once parsed

  int Cells() const { return Edges.size() < 2 ? 0 : static_cast<int>(Edges.size()) - 1; }
  // The cell v lies in, or -1 outside the edges (and for NaN).
  int CellOf(double v) const;
  double Lower(int cell) const { return Edges[static_cast<size_t>(cell)]; }
  double Upper(int cell) const { return Edges[static_cast<size_t>(cell) + 1]; }
  double First() const { return Edges.front(); }
  double Last() const { return Edges.back(); }
  bool operator==(const TAxisEdges&) const = default;
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

// The edges a sensor starts with when it is put on an axis, as START:END:STEP text: revs 500 to
// 8000 in steps of 500; MAP and the other pressures 0 to the sensor's top reading in ten round
// steps; anything else its display range in about ten round steps.
std::string DefaultEdgesText(TDisplayVar& var);
// The smallest step of 1, 2, 2.5, 3, 4 or 5 times a power of ten that covers span in at most
// `cells` steps.
double RoundStep(double span, int cells);
