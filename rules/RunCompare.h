#pragma once
// Another run laid under the current one on the graph ("Compare With"): the reference run's
// traces are drawn in a lighter shade of each pane's colour, aligned at their starts or shifted so
// that a chosen point of the reference meets the cursor; the pane texts show both values.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

class TRunCompare {
 public:
  explicit TRunCompare(std::string description) : description_(std::move(description)) {}

  // The reference run's time shown at the current run's time t is t + Offset().
  double Offset() const { return offset_; }
  double ReferenceTime(double t) const { return t + offset_; }
  // The point of the reference to align (in its own time), chosen with Ctrl and a click; none
  // until chosen.
  std::optional<double> Point() const { return point_; }
  void SetPoint(double referenceTime) { point_ = referenceTime; }
  // The point (the reference's start while none is chosen) meets the cursor.
  void AlignAt(double cursor) { offset_ = point_.value_or(0) - cursor; }
  // Aligned at their starts again.
  void Reset() { offset_ = 0; }
  bool Shifted() const { return offset_ != 0; }

  // "Compared with: <description>", and the shift while there is one: "  (shifted -12.500 s)".
  std::string Caption() const;

 private:
  std::string description_;
  double offset_ = 0;
  std::optional<double> point_;
};

// The reference run's line in a pane of colour: its colour halfway to white.
uint32_t ComparedColour(uint32_t paneColour);
// A pane's text with both values: "2450 rpm  ref 2300 rpm" ("ref –" where the reference has no
// sample there); empty without the current value.
std::string CompareReadoutText(const std::string& value, const std::string& reference, const std::string& unit);
