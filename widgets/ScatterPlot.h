#pragma once
// The Tables page's scatter plot: X across, Y up over the table's edges, every observation a dot in
// the colour of Z on the table's scale, with the colour bar beside it. The dots are gathered into
// bins of one dot each, so a recording of any length draws in one pass over the bins; new
// observations are binned as they come. Hovering shows what lies under the pointer.
#include <QImage>
#include <QWidget>
#include <vector>

#include "analysis/AxisEdges.h"
#include "analysis/ColourScale.h"
#include "analysis/ScatterBins.h"
#include "analysis/TableTracker.h"
#include "rules/TableLayout.h"

class TScatterPlot : public QWidget {
  Q_OBJECT
 public:
  explicit TScatterPlot(QWidget* parent = nullptr);

  // The observations to draw (kept by their owner, which only appends to them or empties them),
  // over the edges of X and Y; all are binned again.
  void SetPoints(const TScatterPoints* points, const TAxisEdges& x, const TAxisEdges& y,
                 const TTableNames& names);
  void SetScale(const TColourScale& scale);
  // Bins the observations appended since the last call (all again when they were emptied).
  void PointsAdded();

  const TScatterLayout& Layout() const { return layout_; }
  const TScatterBins& Bins() const { return bins_; }
  // What the pointer at p would show; empty outside the plot.
  QString TipAt(const QPoint& p) const;
  // Draws the whole plot into a painter (the widget's paint and the benchmark use it).
  void Draw(QPainter& p);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;

 private:
  void Relayout();
  // All observations binned again and the picture drawn anew.
  void Rebin();
  void BinNew();
  double XStep() const;
  double YStep() const;
  std::vector<TTick> XTicks() const;
  std::vector<TTick> YTicks() const;

  const TScatterPoints* points_ = nullptr;
  size_t binned_ = 0;
  TAxisEdges x_, y_;
  TTableNames names_;
  TColourScale scale_;
  TScatterLayout layout_;
  TScatterBins bins_;
  QImage dots_;  // one pixel per bin
};
