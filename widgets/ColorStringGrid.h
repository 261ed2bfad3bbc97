#pragma once
// A string grid that asks its owner for each cell's colours before drawing the cell.
#include <QBrush>
#include <QColor>
#include <QFont>
#include <QTableWidget>

#include <functional>

// How a cell is being drawn.
enum TGridDrawStateFlag { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using TGridDrawState = int;

// The font a cell's text is drawn with, and its colour.
struct TGridFont {
  QFont Font;
  QColor Color;
};

class TColorStringGrid : public QTableWidget {
  Q_OBJECT
 public:
  explicit TColorStringGrid(QWidget* parent = nullptr);

  // String grid shape: the first FixedRows rows and FixedCols columns are headings (not
  // selectable, not editable, drawn in FixedColor).
  int ColCount() const { return columnCount(); }
  void SetColCount(int n);
  int RowCount() const { return rowCount(); }
  void SetRowCount(int n);
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int n);
  int FixedCols() const { return fixedCols_; }
  void SetFixedCols(int n);
  QString Cells(int col, int row) const;
  void SetCells(int col, int row, const QString& text);
  int DefaultRowHeight() const;
  void SetDefaultRowHeight(int h);
  int ColWidths(int col) const { return columnWidth(col); }
  void SetColWidths(int col, int w) { setColumnWidth(col, w); }
  // Background of ordinary and of fixed cells.
  QColor Color() const { return color_; }
  void SetColor(const QColor& c);
  QColor FixedColor() const { return fixedColor_; }
  void SetFixedColor(const QColor& c);

  // Called before each cell is drawn with the brush and font it will be drawn with.
  std::function<void(TColorStringGrid* sender, long ARow, long ACol, TGridDrawState AState, QBrush& ABrush,
                     TGridFont& AFont)>
      OnGetCellColor;

  // The state, brush and font a cell is drawn with (after OnGetCellColor).
  TGridDrawState CellState(int row, int col, bool selected) const;
  void CellStyle(int row, int col, TGridDrawState state, QBrush* brush, TGridFont* font);

 private:
  void ApplyFixed();
  QTableWidgetItem* Item(int row, int col);

  int fixedRows_ = 1;
  int fixedCols_ = 1;
  QColor color_;
  QColor fixedColor_;
};
