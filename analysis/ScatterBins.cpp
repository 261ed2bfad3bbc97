#include "analysis/ScatterBins.h"

#include <cmath>
#include <cstddef>

void TScatterBins::Reset(int columns, int rows, double x0, double x1, double y0, double y1) {
  columns_ = columns > 0 ? columns : 0;
  rows_ = rows > 0 ? rows : 0;
  x0_ = x0;
  x1_ = x1;
  y0_ = y0;
  y1_ = y1;
  xScale_ = x1 > x0 ? columns_ / (x1 - x0) : 0;
  yScale_ = y1 > y0 ? rows_ / (y1 - y0) : 0;
  const size_t n = static_cast<size_t>(columns_) * static_cast<size_t>(rows_);
  count_.assign(n, 0);
  sum_.assign(n, 0.0);
  marked_.assign(n, 0);
  changed_.clear();
}

int TScatterBins::BinOf(double x, double y) const {
  if (!(x >= x0_ && x <= x1_ && y >= y0_ && y <= y1_) || xScale_ == 0 || yScale_ == 0) return -1;
  int column = static_cast<int>((x - x0_) * xScale_);
  int fromBottom = static_cast<int>((y - y0_) * yScale_);
  if (column >= columns_) column = columns_ - 1;
  if (fromBottom >= rows_) fromBottom = rows_ - 1;
  return (rows_ - 1 - fromBottom) * columns_ + column;
}

void TScatterBins::Add(double x, double y, double z) {
  const int bin = BinOf(x, y);
  if (bin < 0 || !std::isfinite(z)) return;
  const auto b = static_cast<size_t>(bin);
  ++count_[b];
  sum_[b] += z;
  if (!marked_[b]) {
    marked_[b] = 1;
    changed_.push_back(bin);
  }
}

void TScatterBins::Render(const TColourScale& scale, uint32_t* pixels, int stride) {
  for (int32_t bin : changed_) marked_[static_cast<size_t>(bin)] = 0;
  changed_.clear();
  for (int row = 0; row < rows_; ++row) {
    uint32_t* line = pixels + static_cast<std::ptrdiff_t>(row) * stride;
    const size_t base = static_cast<size_t>(row) * static_cast<size_t>(columns_);
    for (int column = 0; column < columns_; ++column) {
      const size_t b = base + static_cast<size_t>(column);
      line[column] = count_[b] ? scale.ColourOf(sum_[b] / count_[b]) : 0u;
    }
  }
}

bool TScatterBins::RenderChanged(const TColourScale& scale, uint32_t* pixels, int stride) {
  if (changed_.empty()) return false;
  for (int32_t bin : changed_) {
    const auto b = static_cast<size_t>(bin);
    marked_[b] = 0;
    pixels[static_cast<std::ptrdiff_t>(bin / columns_) * stride + bin % columns_] = scale.ColourOf(sum_[b] / count_[b]);
  }
  changed_.clear();
  return true;
}
