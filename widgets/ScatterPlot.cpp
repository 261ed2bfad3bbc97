#include "widgets/ScatterPlot.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <cmath>

#include "vars/Units.h"
#include "widgets/TableGrid.h"

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

// The colour bar's labels, from the top: the lean end, the target, the rich end.
std::vector<std::string> BarLabels(const TColourScale& s, uint8_t unit) {
  auto label = [&](double position, const char* word) {
    std::string text = FormatValue(unit, s.ValueAt(position));
    if (text.empty()) text = FormatEdge(s.ValueAt(position));
    return *word ? text + " " + word : text;
  };
  return {label(1, s.AboveWord()), label(0, s.Mixture ? "target" : ""), label(-1, s.BelowWord())};
}
}  // namespace

TScatterPlot::TScatterPlot(QWidget* parent) : QWidget(parent) {
  setObjectName("ScatterPlot");
  setMouseTracking(true);
  setMinimumSize(160, 120);
}

void TScatterPlot::SetPoints(const TScatterPoints* points, const TAxisEdges& x, const TAxisEdges& y,
                             const TTableNames& names) {
  points_ = points;
  x_ = x;
  y_ = y;
  names_ = names;
  Relayout();
}

void TScatterPlot::SetScale(const TColourScale& scale) {
  scale_ = scale;
  Relayout();
}

void TScatterPlot::Relayout() {
  const QFontMetrics fm(font());
  TScatterMetrics m;
  m.LineHeight = fm.height();
  for (const std::string& label : BarLabels(scale_, names_.ZUnitCode))
    m.BarLabelWidth = std::max(m.BarLabelWidth, fm.horizontalAdvance(Q(label)));
  layout_ = LayoutScatter(width(), height(), m);
  // The Y ticks the plot's height gives decide the room their labels take.
  for (const TTick& t : YTicks())
    m.YTickWidth = std::max(m.YTickWidth, fm.horizontalAdvance(Q(TickText(t.Value, YStep()))));
  layout_ = LayoutScatter(width(), height(), m);
  Rebin();
}

double TScatterPlot::XStep() const {
  return TickStep(x_.Last() - x_.First(), layout_.Plot.Width, fontMetrics().height() * 4);
}
double TScatterPlot::YStep() const {
  return TickStep(y_.Last() - y_.First(), layout_.Plot.Height, fontMetrics().height() * 2);
}
std::vector<TTick> TScatterPlot::XTicks() const {
  return x_.Cells() ? AxisTicks(x_.First(), x_.Last(), layout_.Plot.Width, XStep()) : std::vector<TTick>{};
}
std::vector<TTick> TScatterPlot::YTicks() const {
  return y_.Cells() ? AxisTicks(y_.First(), y_.Last(), layout_.Plot.Height, YStep()) : std::vector<TTick>{};
}

void TScatterPlot::Rebin() {
  const int columns = std::max(1, layout_.Plot.Width / ScatterDot),
            rows = std::max(1, layout_.Plot.Height / ScatterDot);
  if (x_.Cells() > 0 && y_.Cells() > 0)
    bins_.Reset(columns, rows, x_.First(), x_.Last(), y_.First(), y_.Last());
  else
    bins_.Reset(0, 0, 0, 1, 0, 1);
  dots_ = QImage(std::max(bins_.Columns(), 1), std::max(bins_.Rows(), 1), QImage::Format_ARGB32);
  binned_ = 0;
  BinNew();
  bins_.Render(scale_, reinterpret_cast<uint32_t*>(dots_.bits()), static_cast<int>(dots_.bytesPerLine() / 4));
  update();
}

void TScatterPlot::BinNew() {
  if (!points_) return;
  for (size_t i = binned_; i < points_->size(); ++i) {
    const TScatterPoint& p = (*points_)[i];
    bins_.Add(p.X, p.Y, p.Z);
  }
  binned_ = points_->size();
}

void TScatterPlot::PointsAdded() {
  // Emptied by a table that started over: everything again.
  if (points_ && points_->size() < binned_) return Rebin();
  BinNew();
  if (bins_.RenderChanged(scale_, reinterpret_cast<uint32_t*>(dots_.bits()),
                          static_cast<int>(dots_.bytesPerLine() / 4)))
    update();
}

void TScatterPlot::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  Relayout();
}

void TScatterPlot::paintEvent(QPaintEvent*) {
  QPainter p(this);
  Draw(p);
}

void TScatterPlot::Draw(QPainter& p) {
  const QPalette& pal = palette();
  p.fillRect(QRect(0, 0, width(), height()), pal.color(QPalette::Base));
  auto box = [](const TBox& b) { return QRect(b.Left, b.Top, b.Width, b.Height); };
  const QRect plot = box(layout_.Plot);
  const QFontMetrics fm(font());
  p.setPen(pal.color(QPalette::Text));
  DrawAxisTitles(p, layout_.XTitle, layout_.YTitle, names_);
  if (plot.width() <= 0 || plot.height() <= 0 || x_.Cells() == 0 || y_.Cells() == 0) return;

  // The table's cells as a faint grid under the dots, so both read alike.
  QColor grid = pal.color(QPalette::Text);
  grid.setAlpha(35);
  p.setPen(grid);
  for (double e : x_.Values()) {
    const int x =
        plot.left() + static_cast<int>(std::lround((e - x_.First()) / (x_.Last() - x_.First()) * plot.width()));
    p.drawLine(x, plot.top(), x, plot.bottom());
  }
  for (double e : y_.Values()) {
    const int y =
        plot.bottom() - static_cast<int>(std::lround((e - y_.First()) / (y_.Last() - y_.First()) * plot.height()));
    p.drawLine(plot.left(), y, plot.right(), y);
  }
  // The dots: one pixel of the image per bin, each a square of ScatterDot.
  p.drawImage(QRect(plot.left(), plot.top(), bins_.Columns() * ScatterDot, bins_.Rows() * ScatterDot), dots_);
  p.setPen(pal.color(QPalette::Text));
  p.setBrush(Qt::NoBrush);
  p.drawRect(plot.adjusted(0, 0, -1, -1));

  // Ticks and their values.
  const int line = fm.height();
  for (const TTick& t : XTicks()) {
    const int x = plot.left() + t.Pixel;
    p.drawLine(x, plot.bottom(), x, plot.bottom() + GridPad);
    p.drawText(QRect(x - line * 3, plot.bottom() + GridPad, line * 6, line), Qt::AlignHCenter | Qt::AlignTop,
               Q(TickText(t.Value, XStep())));
  }
  const double yStep = YStep();
  for (const TTick& t : YTicks()) {
    const int y = plot.bottom() - t.Pixel;
    p.drawLine(plot.left() - GridPad, y, plot.left(), y);
    p.drawText(QRect(0, y - line / 2, plot.left() - 2 * GridPad, line), Qt::AlignRight | Qt::AlignVCenter,
               Q(TickText(t.Value, yStep)));
  }

  // The colour bar: the rich end at the bottom where higher is lean.
  const QRect bar = box(layout_.Bar);
  QLinearGradient gradient(bar.bottomLeft(), bar.topLeft());
  for (int k = 0; k <= 20; ++k) {
    const double position = -1 + k / 10.0;
    gradient.setColorAt(k / 20.0, QColor::fromRgba(scale_.ColourOf(scale_.ValueAt(position))));
  }
  p.fillRect(bar, gradient);
  p.drawRect(bar.adjusted(0, 0, -1, -1));
  const std::vector<std::string> labels = BarLabels(scale_, names_.ZUnitCode);
  const int labelLeft = bar.right() + GridPad + 1;
  const int ys[3] = {bar.top(), bar.center().y() - line / 2, bar.bottom() - line + 1};
  for (int k = 0; k < 3; ++k)
    p.drawText(QRect(labelLeft, ys[k], width() - labelLeft, line), Qt::AlignLeft | Qt::AlignVCenter,
               Q(labels[static_cast<size_t>(k)]));
  p.drawText(box(layout_.BarTitle), Qt::AlignLeft | Qt::AlignVCenter, Q(AxisTitle(names_.ZName, names_.ZUnit)));
}

QString TScatterPlot::TipAt(const QPoint& at) const {
  const TBox& plot = layout_.Plot;
  if (bins_.Columns() == 0 || !plot.Contains(at.x(), at.y())) return {};
  const int column = (at.x() - plot.Left) / ScatterDot, row = (at.y() - plot.Top) / ScatterDot;
  if (column >= bins_.Columns() || row >= bins_.Rows()) return {};
  const int bin = row * bins_.Columns() + column;
  TCellTip tip;
  tip.XName = names_.XName;
  tip.XUnit = names_.XUnit;
  auto text = [](double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4g", v);
    return std::string(buf);
  };
  tip.XFrom = text(bins_.XAt(column));
  tip.XTo = text(bins_.XAt(column + 1));
  tip.YName = names_.YName;
  tip.YUnit = names_.YUnit;
  tip.YFrom = text(bins_.YAt(row + 1));
  tip.YTo = text(bins_.YAt(row));
  tip.ZName = names_.ZName;
  tip.ZUnit = names_.ZUnit;
  tip.Count = bins_.Count(bin);
  tip.Mean = FormatValue(names_.ZUnitCode, bins_.Mean(bin));
  return Q(CellTipText(tip));
}

void TScatterPlot::mouseMoveEvent(QMouseEvent* e) {
  const QString tip = TipAt(e->position().toPoint());
  if (tip.isEmpty())
    QToolTip::hideText();
  else
    QToolTip::showText(e->globalPosition().toPoint(), tip, this);
}
