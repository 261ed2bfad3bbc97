#pragma once
// A scatter plot's points gathered into bins, one bin per dot on the screen: however many samples
// a recording holds, drawing costs one pass over the bins. Each bin keeps its count and the sum of
// Z, and is drawn in the colour of its mean Z.
#include <cstdint>
#include <vector>

#include "analysis/ColourScale.h"

class TScatterBins {
 public:
  // columns x rows bins over x0 .. x1 (left to right) and y0 .. y1 (bottom to top); all empty.
  void Reset(int columns, int rows, double x0, double x1, double y0, double y1);
  int Columns() const { return columns_; }
  int Rows() const { return rows_; }

  // The bin of a point, row 0 at the top (the highest Y); -1 outside. The top and right edges
  // belong to the last bins.
  int BinOf(double x, double y) const;
  void Add(double x, double y, double z);
  uint32_t Count(int bin) const { return count_[static_cast<size_t>(bin)]; }
  double Mean(int bin) const {
    return count_[static_cast<size_t>(bin)] ? sum_[static_cast<size_t>(bin)] / count_[static_cast<size_t>(bin)] : 0;
  }
  // The X and Y a bin covers.
  double XAt(double column) const { return x0_ + (x1_ - x0_) * column / columns_; }
  double YAt(double row) const { return y1_ - (y1_ - y0_) * row / rows_; }

  // One 0xAARRGGBB pixel per bin (row 0 at the top), empty bins transparent.
  void Render(const TColourScale& scale, uint32_t* pixels, int stride);
  // Only the bins changed since the last render; false when none did.
  bool RenderChanged(const TColourScale& scale, uint32_t* pixels, int stride);

 private:
  int columns_ = 0, rows_ = 0;
  double x0_ = 0, x1_ = 1, y0_ = 0, y1_ = 1;
  double xScale_ = 0, yScale_ = 0;
  std::vector<uint32_t> count_;
  std::vector<double> sum_;
  std::vector<int32_t> changed_;
  std::vector<uint8_t> marked_;
};
