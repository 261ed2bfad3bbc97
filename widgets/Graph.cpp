#include "widgets/Graph.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPageLayout>
#include <QPainter>
#include <QPaintEvent>
#include <QPalette>
#include <QPolygon>
#include <QPrinter>

#include <algorithm>

#include "recording/Recording.h"
#include "vars/SensorList.h"

QColor GraphColour(uint32_t rgb) {
  return QColor(static_cast<int>(rgb >> 16 & 0xFF), static_cast<int>(rgb >> 8 & 0xFF), static_cast<int>(rgb & 0xFF));
}

void BoxedText(QPainter& p, int x, int y, const QString& text, const QColor& background) {
  const QFontMetrics fm = p.fontMetrics();
  p.fillRect(QRect(x, y, fm.horizontalAdvance(text), fm.height()), background);
  p.drawText(x, y + fm.ascent(), text);
}

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }

// Solid bars clipped to a rectangle. On an image with 32-bit pixels and no transform beyond its
// pixel ratio they are written straight into the pixels: thousands of one-pixel-wide bars cost
// the painter far more in calls than in pixels.
void FillBars(QPainter& p, const QVector<QRect>& bars, const QColor& colour, const QRect& clip) {
  QImage* image = p.device()->devType() == QInternal::Image ? static_cast<QImage*>(p.device()) : nullptr;
  const QTransform& t = p.deviceTransform();
  const bool direct = image && !t.isRotating() && t.dx() == 0 && t.dy() == 0 && t.m11() == t.m22() &&
                      (image->format() == QImage::Format_RGB32 || image->format() == QImage::Format_ARGB32_Premultiplied);
  if (!direct) {
    p.save();
    p.setClipRect(clip);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRects(bars);
    p.restore();
    return;
  }
  const double scale = t.m11();
  const QRect limit = QRect(QPoint(qRound(clip.left() * scale), qRound(clip.top() * scale)),
                            QPoint(qRound((clip.right() + 1) * scale) - 1, qRound((clip.bottom() + 1) * scale) - 1))
                          .intersected(image->rect());
  const QRgb pixel = colour.rgba();
  const qsizetype stride = image->bytesPerLine() / 4;
  auto* bits = reinterpret_cast<QRgb*>(image->bits());
  for (const QRect& b : bars) {
    const QRect d = QRect(QPoint(qRound(b.left() * scale), qRound(b.top() * scale)),
                          QPoint(qRound((b.right() + 1) * scale) - 1, qRound((b.bottom() + 1) * scale) - 1))
                        .intersected(limit);
    for (int y = d.top(); y <= d.bottom(); ++y) std::fill_n(bits + y * stride + d.left(), d.width(), pixel);
  }
}
}  // namespace

TGraphMetrics MeasureGraphFont(const QFont& font, const QPaintDevice* device) {
  const QFontMetrics fm = device ? QFontMetrics(font, device) : QFontMetrics(font);
  TGraphMetrics m;
  m.ZeroWidth = fm.horizontalAdvance(QStringLiteral("0"));
  m.ZeroHeight = fm.height();
  m.MarginTextWidth = fm.horizontalAdvance(QStringLiteral("012345"));
  m.SpacingTextHeight = fm.height();
  m.TimeTextWidths = {fm.horizontalAdvance(QStringLiteral("0:00x")), fm.horizontalAdvance(QStringLiteral("12:00x")),
                      fm.horizontalAdvance(QStringLiteral("123:00x"))};
  return m;
}

// ---------------------------------------------------------------------------------------------

TGraph::TGraph(const TVarRefList* selection, const QFont& font, const QPaintDevice* device, TGraphSurface surface)
    : Model(selection, MeasureGraphFont(font, device), surface, device ? device->logicalDpiY() : 96),
      LabelFont(font),
      RotatedFont(font) {
  Background = surface == TGraphSurface::Printer ? QColor(Qt::white) : QApplication::palette().color(QPalette::Button);
  // Ten pixels tall on a 96-dot screen, the same size on a page of any resolution.
  const int dpi = device && surface == TGraphSurface::Printer ? device->logicalDpiY() : 96;
  RotatedFont.setPixelSize(std::max(1, 10 * dpi / 96));
}

void TGraph::Layout(const TRecording* recording) {
  Model.Layout(recording);
  traces_.DropUnused();
}

void TGraph::PaintAll(QPainter& p) {
  const TGraphModel& m = Model;
  p.fillRect(0, 0, m.Width, m.Height, Background);
  p.setFont(LabelFont);
  p.setPen(Qt::black);
  // A label at either end is kept whole inside the surface, clear of the value labels on the left.
  for (const TTextPlace& label : m.TimeLabels()) {
    const QString text = Q(label.Text);
    const int x = std::max(m.LeftMargin, std::min(label.X, m.Width - p.fontMetrics().horizontalAdvance(text)));
    BoxedText(p, x, label.Y, text, Background);
  }
  const TTextPlace caption = m.AxisCaption(p.fontMetrics().horizontalAdvance(QString::fromUtf8(GraphAxisCaption)));
  p.drawText(caption.X, caption.Y + p.fontMetrics().ascent(), Q(caption.Text));
  for (int i = 0; i < m.PaneCount; ++i) {
    const TGraphlet& pane = m.Panes[static_cast<size_t>(i)];
    if (pane.Width != 0) PaintGraphlet(p, pane);
  }
}

void TGraph::PaintGraphlet(QPainter& p, const TGraphlet& pane) {
  const QRect r(pane.Left, pane.Top, pane.Width, pane.Height);
  p.fillRect(r, Qt::white);
  QPolygon poly;
  std::vector<TTracePoint> pts;
  std::vector<TTraceSpan> spans;  // a trace of column extremes, drawn column by column
  if (pane.History && pane.Variable) {
    bool columns = false;
    pts = Model.TracePoints(pane, &traces_.For(*pane.Variable, *pane.History, pane.Variable->Unit), &columns);
    poly.reserve(static_cast<int>(pts.size()));
    for (const TTracePoint& pt : pts) poly << QPoint(pt.X, pt.Y);
    if (columns) spans = ColumnSpans(pts);
  }
  p.save();
  p.setClipRect(r);
  QColor fill = Qt::white;
  if (!poly.isEmpty() && pane.Variable->FillTrace) {
    fill = GraphColour(LightenedColour(pane.Colour));
    // Column by column, from the line down to the bottom: the same area as the closed outline,
    // without the cost of filling an outline of thousands of edges.
    QVector<QRect> bars;
    bars.reserve(pane.Width);
    if (spans.empty()) {
      const std::vector<int> tops = FillTops(pts, pane.Left, pane.Width, pane.Bottom());
      for (int c = 0; c < pane.Width; ++c)
        if (tops[static_cast<size_t>(c)] < pane.Bottom())
          bars.append(QRect(pane.Left + c, tops[static_cast<size_t>(c)], 1, pane.Bottom() - tops[static_cast<size_t>(c)]));
    } else {
      for (const TTraceSpan& s : spans) bars.append(QRect(s.X, s.High, 1, pane.Bottom() - s.High));
    }
    FillBars(p, bars, fill, r);
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(fill);
  p.drawRect(r.adjusted(0, 0, -1, -1));
  p.setPen(Qt::black);
  for (double t : Model.GridTimes()) {
    const int x = Model.TimeToX(t);
    p.drawLine(x, pane.Top, x, pane.Bottom() - 1);
  }
  const std::vector<TGridLine> grid = Model.ValueGrid(pane);
  for (const TGridLine& line : grid) p.drawLine(pane.Left, line.Pos, pane.Left + pane.Width - 1, line.Pos);
  p.restore();

  if (pane.Variable) {
    p.setPen(Qt::black);
    const QFontMetrics fm = p.fontMetrics();
    for (const TGridLine& line : grid) {
      if (line.Label.empty()) continue;
      const QString text = Q(line.Label);
      BoxedText(p, pane.Left - fm.horizontalAdvance(text), line.Pos - Model.TextHeight / 2, text, Background);
    }
    const TCoreContext* core = pane.Variable->Owner ? pane.Variable->Owner->Context : nullptr;
    if (core) {
      p.save();
      p.setFont(RotatedFont);
      const QString unit = Q(UnitText(pane.Variable->Unit, *core->Settings));
      // Upward from the pane's middle; left out where it would reach into the pane above.
      if (p.fontMetrics().horizontalAdvance(unit) <= pane.Height / 2 + Model.PaneGap / 2) {
        p.translate(0, pane.Top + pane.Height / 2);
        p.rotate(-90);
        p.drawText(0, p.fontMetrics().ascent(), unit);
      }
      p.restore();
    }
  }

  if (poly.size() > 1) {
    p.save();
    p.setClipRect(r);
    const QColor colour = GraphColour(pane.Colour);
    const int w = Model.TracePenWidth;
    p.setPen(QPen(colour, w, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
    if (spans.empty()) {
      // Segment by segment and without antialiasing: the rasterizer draws each line on its own,
      // where one outline of many overlapping strokes would cost it many times more.
      QVector<QLine> lines;
      lines.reserve(poly.size());
      for (int i = 0; i + 2 < poly.size(); ++i) lines.append(QLine(poly[i], poly[i + 1]));
      p.setPen(QPen(colour, w, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
      p.drawLines(lines);
    } else {
      // Pixel columns: one upright bar each, the pen's width wide, and the lines from and to the
      // bottom corners.
      p.drawLine(poly[0], poly[1]);
      p.drawLine(poly[poly.size() - 3], poly[poly.size() - 2]);
      QVector<QRect> bars;
      bars.reserve(static_cast<int>(spans.size()));
      for (const TTraceSpan& s : spans) bars.append(QRect(s.X - w / 2, s.Top - w / 2, w, s.Bottom - s.Top + w));
      FillBars(p, bars, colour, r);
    }
    p.restore();
  }

  if (pane.Variable) {
    p.setPen(Qt::black);
    BoxedText(p, pane.Left + 1, pane.Top + 1, QString::fromUtf8(pane.Variable->Name), GraphColour(GraphNameBackground));
  }
}
