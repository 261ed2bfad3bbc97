#include "widgets/ColorStringGrid.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

#include "widgets/DisplayControl.h"

namespace {

class TCellPainter : public QStyledItemDelegate {
 public:
  explicit TCellPainter(TColorStringGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const int row = index.row(), col = index.column();
    const TGridDrawState state = grid_->CellState(row, col, option.state & QStyle::State_Selected);
    QBrush brush;
    TGridFont font;
    grid_->CellStyle(row, col, state, &brush, &font);
    const QRect r = option.rect;
    p->save();
    p->fillRect(r, brush);
    if (state & gdFixed) PaintBevel(*p, r, dbsRaised, option.palette);
    p->setFont(font.Font);
    p->setPen(font.Color);
    p->drawText(r.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, index.data(Qt::DisplayRole).toString());
    if (state & gdFocused) {
      QStyleOptionFocusRect focus;
      focus.rect = r.adjusted(1, 1, -1, -1);
      focus.palette = option.palette;
      focus.backgroundColor = brush.color();
      grid_->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, p, grid_);
    }
    p->restore();
  }

 private:
  TColorStringGrid* grid_;
};

}  // namespace

TColorStringGrid::TColorStringGrid(QWidget* parent) : QTableWidget(parent) {
  color_ = palette().color(QPalette::Base);
  fixedColor_ = palette().color(QPalette::Button);
  horizontalHeader()->hide();
  verticalHeader()->hide();
  setItemDelegate(new TCellPainter(this));
  setColumnCount(5);
  setRowCount(5);
  ApplyFixed();
}

void TColorStringGrid::SetColCount(int n) {
  setColumnCount(std::max(n, 0));
  ApplyFixed();
}

void TColorStringGrid::SetRowCount(int n) {
  setRowCount(std::max(n, 0));
  ApplyFixed();
}

void TColorStringGrid::SetFixedRows(int n) {
  fixedRows_ = std::max(n, 0);
  ApplyFixed();
}

void TColorStringGrid::SetFixedCols(int n) {
  fixedCols_ = std::max(n, 0);
  ApplyFixed();
}

QTableWidgetItem* TColorStringGrid::Item(int row, int col) {
  QTableWidgetItem* it = item(row, col);
  if (!it) {
    it = new QTableWidgetItem();
    setItem(row, col, it);
  }
  return it;
}

void TColorStringGrid::ApplyFixed() {
  for (int r = 0; r < rowCount(); ++r)
    for (int c = 0; c < columnCount(); ++c) {
      QTableWidgetItem* it = Item(r, c);
      const bool fixed = r < fixedRows_ || c < fixedCols_;
      it->setFlags(fixed ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    }
  viewport()->update();
}

QString TColorStringGrid::Cells(int col, int row) const {
  const QTableWidgetItem* it = item(row, col);
  return it ? it->text() : QString();
}

void TColorStringGrid::SetCells(int col, int row, const QString& text) {
  if (row < 0 || col < 0 || row >= rowCount() || col >= columnCount()) return;
  Item(row, col)->setText(text);
}

int TColorStringGrid::DefaultRowHeight() const { return verticalHeader()->defaultSectionSize(); }

void TColorStringGrid::SetDefaultRowHeight(int h) {
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(h);
  for (int r = 0; r < rowCount(); ++r) setRowHeight(r, h);
}

void TColorStringGrid::SetColor(const QColor& c) {
  color_ = c;
  viewport()->update();
}

void TColorStringGrid::SetFixedColor(const QColor& c) {
  fixedColor_ = c;
  viewport()->update();
}

TGridDrawState TColorStringGrid::CellState(int row, int col, bool selected) const {
  if (row < fixedRows_ || col < fixedCols_) return gdFixed;
  TGridDrawState s = 0;
  if (selected) s |= gdSelected;
  const QModelIndex cur = currentIndex();
  if (cur.isValid() && cur.row() == row && cur.column() == col && hasFocus()) s |= gdFocused;
  return s;
}

void TColorStringGrid::CellStyle(int row, int col, TGridDrawState state, QBrush* brush, TGridFont* font) {
  const QPalette& pal = palette();
  font->Font = this->font();
  if (state & gdFixed) {
    *brush = fixedColor_;
    font->Color = pal.color(QPalette::ButtonText);
  } else if (state & gdSelected) {
    *brush = pal.color(QPalette::Highlight);
    font->Color = pal.color(QPalette::HighlightedText);
  } else {
    *brush = color_;
    font->Color = pal.color(QPalette::Text);
  }
  if (OnGetCellColor) OnGetCellColor(this, row, col, state, *brush, *font);
}
