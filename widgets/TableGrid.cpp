#include "widgets/TableGrid.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "analysis/Table.h"
#include "vars/Units.h"

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
QColor Argb(uint32_t c) { return QColor::fromRgba(c); }
}  // namespace

void DrawAxisTitles(QPainter& p, const TBox& x, const TBox& y, const TTableNames& names) {
  p.drawText(QRect(x.Left, x.Top, x.Width, x.Height), Qt::AlignCenter, Q(AxisTitle(names.XName, names.XUnit)));
  p.save();
  p.translate(y.Left + y.Width / 2.0, y.Top + y.Height / 2.0);
  p.rotate(-90);
  p.drawText(QRectF(-y.Height / 2.0, -y.Width / 2.0, y.Height, y.Width), Qt::AlignCenter,
             Q(AxisTitle(names.YName, names.YUnit)));
  p.restore();
}

TTableGrid::TTableGrid(QWidget* parent) : QWidget(parent) {
  setObjectName("TableGrid");
  setMouseTracking(true);
  setMinimumSize(160, 120);
}

void TTableGrid::SetTable(const TTable* table, const TTableNames& names) {
  table_ = table;
  names_ = names;
  cursorCell_ = hoverCell_ = -1;
  TableChanged();
}

void TTableGrid::SetStat(TTableStat stat, uint32_t minCount) {
  stat_ = stat;
  minCount_ = minCount;
  TableChanged();
}

void TTableGrid::SetScale(const TColourScale& scale) {
  scale_ = scale;
  update();
}

void TTableGrid::TableChanged() {
  Relayout();
  update();
}

void TTableGrid::SetCursorCell(int cell) {
  if (cell == cursorCell_) return;
  cursorCell_ = cell;
  update();
}

bool TTableGrid::Shows(int cell) const {
  if (!table_ || cell < 0 || cell >= table_->Columns() * table_->Rows()) return false;
  const TCellStats& c = table_->Cell(cell % table_->Columns(), cell / table_->Columns());
  return c.Count > 0 && c.Count >= minCount_;
}

QString TTableGrid::CellText(int cell) const {
  if (!Shows(cell)) return {};
  const TCellStats& c = table_->Cell(cell % table_->Columns(), cell / table_->Columns());
  if (stat_ == TTableStat::Count) return QString::number(c.Count);
  return Q(FormatValue(names_.ZUnitCode, c.Stat(stat_)));
}

QColor TTableGrid::CellColour(int cell) const {
  if (!Shows(cell)) return palette().color(QPalette::Base);
  const TCellStats& c = table_->Cell(cell % table_->Columns(), cell / table_->Columns());
  // A count says nothing about the mixture: the cell then shows the colour of its mean.
  return Argb(scale_.ColourOf(stat_ == TTableStat::Count ? c.Mean() : c.Stat(stat_)));
}

QString TTableGrid::CellTip(int cell) const {
  if (!table_ || cell < 0 || cell >= table_->Columns() * table_->Rows()) return {};
  const int cx = cell % table_->Columns(), cy = cell / table_->Columns();
  const TCellStats& c = table_->Cell(cx, cy);
  TCellTip tip;
  tip.XName = names_.XName;
  tip.XUnit = names_.XUnit;
  tip.XFrom = FormatEdge(table_->XEdges().Lower(cx));
  tip.XTo = FormatEdge(table_->XEdges().Upper(cx));
  tip.YName = names_.YName;
  tip.YUnit = names_.YUnit;
  tip.YFrom = FormatEdge(table_->YEdges().Lower(cy));
  tip.YTo = FormatEdge(table_->YEdges().Upper(cy));
  tip.ZName = names_.ZName;
  tip.ZUnit = names_.ZUnit;
  tip.Count = c.Count;
  tip.Mean = FormatValue(names_.ZUnitCode, c.Mean());
  tip.Min = FormatValue(names_.ZUnitCode, c.Min);
  tip.Max = FormatValue(names_.ZUnitCode, c.Max);
  return Q(CellTipText(tip));
}

int TTableGrid::CellAt(const QPoint& p) const {
  int column = 0, row = 0;
  if (!table_ || !layout_.CellAt(p.x(), p.y(), column, row)) return -1;
  return row * table_->Columns() + column;
}

void TTableGrid::Relayout() {
  const QFontMetrics fm(font());
  TGridMetrics m;
  m.LineHeight = fm.height();
  m.FontPx = QFontInfo(font()).pixelSize();
  m.CellTextHeight = fm.height();
  const int columns = table_ ? table_->Columns() : 1, rows = table_ ? table_->Rows() : 1;
  if (table_) {
    xLabels_ = EdgeLabels(table_->XEdges());
    yLabels_ = EdgeLabels(table_->YEdges());
    for (int c = 0; c < columns; ++c)
      m.XLabelWidth = std::max(m.XLabelWidth, fm.horizontalAdvance(Q(xLabels_[static_cast<size_t>(c)])));
    for (int r = 0; r < rows; ++r)
      m.YLabelWidth = std::max(m.YLabelWidth, fm.horizontalAdvance(Q(yLabels_[static_cast<size_t>(r)])));
    for (int cell = 0; cell < columns * rows; ++cell)
      m.CellTextWidth = std::max(m.CellTextWidth, fm.horizontalAdvance(CellText(cell)));
  }
  layout_ = LayoutGrid(width(), height(), columns, rows, m);
}

void TTableGrid::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  Relayout();
}

void TTableGrid::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPalette& pal = palette();
  p.fillRect(rect(), pal.color(QPalette::Base));
  p.setPen(pal.color(QPalette::Text));
  auto box = [](const TBox& b) { return QRect(b.Left, b.Top, b.Width, b.Height); };
  DrawAxisTitles(p, layout_.XTitle, layout_.YTitle, names_);
  if (!table_) return;

  const int columns = table_->Columns(), rows = table_->Rows();
  const int lineHeight = fontMetrics().height();
  for (int c = 0; c < columns; c += layout_.ColumnLabelStride) {
    const TBox cell = layout_.CellBox(c, 0);
    p.drawText(QRect(cell.Left - cell.Width, layout_.ColumnLabelsTop, cell.Width * 3, lineHeight), Qt::AlignCenter,
               Q(xLabels_[static_cast<size_t>(c)]));
  }
  for (int r = 0; r < rows; r += layout_.RowLabelStride) {
    const TBox cell = layout_.CellBox(0, r);
    p.drawText(QRect(layout_.RowLabelsLeft, cell.Top, layout_.RowLabelsWidth - GridPad, cell.Height),
               Qt::AlignRight | Qt::AlignVCenter, Q(yLabels_[static_cast<size_t>(r)]));
  }

  QFont cellFont = font();
  if (layout_.CellFontPx > 0) cellFont.setPixelSize(layout_.CellFontPx);
  p.setFont(cellFont);
  for (int cell = 0; cell < columns * rows; ++cell) {
    if (!Shows(cell)) continue;
    const QRect r = box(layout_.CellBox(cell % columns, cell / columns));
    const QColor back = CellColour(cell);
    p.fillRect(r, back);
    if (layout_.CellFontPx > 0) {
      p.setPen(Argb(TextColourOn(back.rgba())));
      p.drawText(r, Qt::AlignCenter, CellText(cell));
    }
  }
  // The grid's lines, then the frames of the cursor's and the hovered cell.
  QColor line = pal.color(QPalette::Text);
  line.setAlpha(60);
  p.setPen(line);
  for (int x : layout_.ColumnEdges) p.drawLine(x, layout_.Cells.Top, x, layout_.Cells.Bottom());
  for (int y : layout_.RowEdges) p.drawLine(layout_.Cells.Left, y, layout_.Cells.Right(), y);
  auto frame = [&](int cell, const QColor& outer, const QColor& inner) {
    if (cell < 0 || cell >= columns * rows) return;
    const QRect r = box(layout_.CellBox(cell % columns, cell / columns));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(outer, 2));
    p.drawRect(r.adjusted(1, 1, -1, -1));
    p.setPen(QPen(inner, 1));
    p.drawRect(r.adjusted(2, 2, -3, -3));
  };
  frame(hoverCell_, pal.color(QPalette::Highlight), Qt::transparent);
  frame(cursorCell_, Qt::black, Qt::white);
}

void TTableGrid::mouseMoveEvent(QMouseEvent* e) {
  const int cell = CellAt(e->position().toPoint());
  if (cell == hoverCell_) return;
  hoverCell_ = cell;
  update();
  if (cell < 0) {
    QToolTip::hideText();
    return;
  }
  const TBox b = layout_.CellBox(cell % table_->Columns(), cell / table_->Columns());
  QToolTip::showText(e->globalPosition().toPoint(), CellTip(cell), this, QRect(b.Left, b.Top, b.Width, b.Height));
}

void TTableGrid::leaveEvent(QEvent* e) {
  QWidget::leaveEvent(e);
  hoverCell_ = -1;
  update();
}

void TTableGrid::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return QWidget::mousePressEvent(e);
  const int cell = CellAt(e->position().toPoint());
  if (cell >= 0) emit CellClicked(cell);
}
