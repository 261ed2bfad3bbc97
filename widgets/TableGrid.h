#pragma once
// The Tables page's grid: one cell per X across and Y down (the highest Y on top), each coloured
// on the scale around the target and showing its statistic; the edges along the axes, the cell
// of the cursor framed. Hovering a cell shows its count, mean, minimum and maximum; a click on a
// cell is reported.
#include <QWidget>
#include <string>
#include <vector>

#include "analysis/ColourScale.h"
#include "analysis/TableSpec.h"
#include "rules/TableLayout.h"

class QPainter;
class TTable;

// The axis titles of the tables' widgets, "Revs (rpm)": X's centred in its box, Y's written upwards.
void DrawAxisTitles(QPainter& p, const TBox& xTitle, const TBox& yTitle, const TTableNames& names);

class TTableGrid : public QWidget {
  Q_OBJECT
 public:
  explicit TTableGrid(QWidget* parent = nullptr);

  // What the grid shows; the table is read at every paint (none: an empty grid).
  void SetTable(const TTable* table, const TTableNames& names);
  void SetStat(TTableStat stat, uint32_t minCount);
  void SetScale(const TColourScale& scale);
  // The table gained samples.
  void TableChanged();
  // The cell framed as the cursor's; -1 for none.
  void SetCursorCell(int cell);
  int CursorCell() const { return cursorCell_; }

  const TGridLayout& Layout() const { return layout_; }
  // The cell's index (row x columns + column) under a point, or -1.
  int CellAt(const QPoint& p) const;
  // The tip of a cell: its ranges, count, mean, minimum and maximum.
  QString CellTip(int cell) const;
  // The text a cell shows (empty below the minimum count).
  QString CellText(int cell) const;
  QColor CellColour(int cell) const;

 signals:
  void CellClicked(int cell);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void leaveEvent(QEvent* e) override;

 private:
  void Relayout();
  bool Shows(int cell) const;

  const TTable* table_ = nullptr;
  TTableNames names_;
  TTableStat stat_ = TTableStat::Mean;
  uint32_t minCount_ = 1;
  TColourScale scale_;
  int cursorCell_ = -1;
  int hoverCell_ = -1;
  TGridLayout layout_;
  std::vector<std::string> xLabels_, yLabels_;  // the edges as the axes show them
};
