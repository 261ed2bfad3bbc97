#include "widgets/Graph.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QPolygon>
#include <QtMath>

#include <algorithm>
#include <cstring>
#include <array>
#include <memory>
#include <optional>

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

QString QText(const std::string& s) { return QString::fromStdString(s); }

namespace {

// An image with 32-bit pixels and no transform beyond its pixel ratio: bars can be written
// straight into its pixels.
QImage* DirectPixels(QPainter& p) {
  QImage* image = p.device()->devType() == QInternal::Image ? static_cast<QImage*>(p.device()) : nullptr;
  const QTransform& t = p.deviceTransform();
  const bool direct = image && !t.isRotating() && t.dx() == 0 && t.dy() == 0 && t.m11() == t.m22() &&
                      (image->format() == QImage::Format_RGB32 || image->format() == QImage::Format_ARGB32_Premultiplied);
  return direct ? image : nullptr;
}

// Solid bars clipped to a rectangle. On an image they are written straight into the pixels:
// thousands of one-pixel-wide bars cost the painter far more in calls than in pixels.
void FillBars(QPainter& p, const QVector<QRect>& bars, const QColor& colour, const QRect& clip) {
  QImage* image = DirectPixels(p);
  const QTransform& t = p.deviceTransform();
  if (!image) {
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

TTileText::TTileText(const QFont& font, const QColor& ground) : font_(font), ground_(ground) {}

const QImage& TTileText::Tile(QChar c) {
  auto it = tiles_.find(c.unicode());
  if (it != tiles_.end()) return it->second;
  const QFontMetricsF fm(font_);
  QImage tile(std::max(1, qRound(fm.horizontalAdvance(c) * dpr_)), qCeil(fm.height() * dpr_), QImage::Format_RGB32);
  tile.setDevicePixelRatio(dpr_);
  tile.fill(ground_);
  QPainter p(&tile);
  p.setFont(font_);
  p.setPen(Qt::black);
  p.drawText(QPointF(0, fm.ascent()), QString(c));
  return tiles_.emplace(c.unicode(), std::move(tile)).first->second;
}

QImage TTileText::Render(const QString& text, qreal dpr, int maxWidth) {
  if (dpr != dpr_) {
    tiles_.clear();
    dpr_ = dpr;
  }
  const int limit = qFloor(std::max(0, maxWidth) * dpr);
  std::vector<const QImage*> tiles;
  int width = 0;
  for (const QChar c : text) {
    const QImage& t = Tile(c);
    if (width + t.width() > limit) {
      // Cut short: as many characters as leave room for the ellipsis.
      const QImage& dots = Tile(QChar(0x2026));
      while (!tiles.empty() && width + dots.width() > limit) {
        width -= tiles.back()->width();
        tiles.pop_back();
      }
      if (width + dots.width() <= limit) {
        tiles.push_back(&dots);
        width += dots.width();
      }
      break;
    }
    tiles.push_back(&t);
    width += t.width();
  }
  const int height = qCeil(QFontMetricsF(font_).height() * dpr);
  QImage image(std::max(1, width), height, QImage::Format_RGB32);
  image.setDevicePixelRatio(dpr);
  image.fill(ground_);
  // Row by row from each tile, the lines' addresses taken once (the image is not shared, so
  // writing needs no copy of it).
  uchar* const bits = image.bits();
  const qsizetype line = image.bytesPerLine();
  int x = 0;
  for (const QImage* t : tiles) {
    const uchar* from = t->constBits();
    const qsizetype tileLine = t->bytesPerLine();
    const int w = t->width(), rows = std::min(height, t->height());
    for (int y = 0; y < rows; ++y) std::memcpy(bits + y * line + x * 4, from + y * tileLine, static_cast<size_t>(w) * 4);
    x += w;
  }
  return image;
}

TGraphMetrics MeasureGraphFont(const QFont& font, const QPaintDevice* device) {
  const QFontMetrics fm = device ? QFontMetrics(font, device) : QFontMetrics(font);
  TGraphMetrics m;
  m.ZeroWidth = fm.horizontalAdvance(QStringLiteral("0"));
  m.ZeroHeight = fm.height();
  m.MarginTextWidth = fm.horizontalAdvance(QStringLiteral("012345"));
  m.SpacingTextHeight = fm.height();
  m.TimeTextWidths = {fm.horizontalAdvance(QStringLiteral("0:00x")), fm.horizontalAdvance(QStringLiteral("12:00x")),
                      fm.horizontalAdvance(QStringLiteral("123:00x"))};
  // Character by character from a table: the texts measured on every cursor move (values, times)
  // are not laid out each time. Pairs that the font kerns may differ by a pixel.
  auto ascii = std::make_shared<std::array<int, 128>>();
  for (int c = 0; c < 128; ++c) (*ascii)[static_cast<size_t>(c)] = fm.horizontalAdvance(QChar(c));
  m.TextWidth = [fm, ascii](const std::string& text) {
    int w = 0;
    for (const QChar c : QString::fromStdString(text)) w += c.unicode() < 128 ? (*ascii)[c.unicode()] : fm.horizontalAdvance(c);
    return w;
  };
  return m;
}

// ---------------------------------------------------------------------------------------------

TGraph::TGraph(const TGraphSelection* selection, const QFont& font, const QPaintDevice* device, TGraphSurface surface)
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
  for (const TTextPlace& label : m.TimeLabels()) BoxedText(p, label.X, label.Y, QText(label.Text), Background);
  const TTextPlace caption = m.AxisCaption(p.fontMetrics().horizontalAdvance(QText(m.AxisCaptionText)));
  p.drawText(caption.X, caption.Y + p.fontMetrics().ascent(), QText(caption.Text));
  for (int i = 0; i < m.PaneCount; ++i) {
    const TGraphlet& pane = m.Panes[static_cast<size_t>(i)];
    if (pane.Width != 0) PaintGraphlet(p, pane);
  }
}

void TGraph::PaintGraphlet(QPainter& p, const TGraphlet& pane) {
  const QRect r(pane.Left, pane.Top, pane.Width, pane.Height);
  p.fillRect(r, Qt::white);
  // The lines under the pane's own (laps, another run), then its own.
  const std::vector<TPaneLine> under = LinesUnder ? LinesUnder(pane) : std::vector<TPaneLine>();
  std::vector<std::pair<TGraphTrace, TTrace>> traces;
  if (OwnTraces && pane.History && pane.Variable) {
    const TGraphTrace own = pane.OwnTrace();
    traces.emplace_back(own, Model.Trace(pane, own, &traces_.For(*own.Variable, *own.History, own.Variable->Unit)));
  }
  QColor border = Qt::white;
  for (const auto& [trace, points] : traces)
    if (trace.Fill && !points.Points.empty()) {
      PaintFill(p, pane, trace, points);
      border = GraphColour(LightenedColour(trace.Colour));
    }
  p.save();
  p.setClipRect(r);
  p.setBrush(Qt::NoBrush);
  p.setPen(border);
  p.drawRect(r.adjusted(0, 0, -1, -1));
  p.setPen(Qt::black);
  for (double t : Model.GridTimes()) {
    const int x = Model.TimeToX(t);
    p.drawLine(x, pane.Top, x, pane.Bottom() - 1);
  }
  const std::vector<TGridLine> grid = Model.ValueGrid(pane);
  for (const TGridLine& line : grid) p.drawLine(pane.Left, line.Pos, pane.Left + pane.Width - 1, line.Pos);
  p.restore();

  const bool titled = !pane.Title.empty();
  if (pane.Variable || titled) {
    p.setPen(Qt::black);
    const QFontMetrics fm = p.fontMetrics();
    for (const TGridLine& line : grid) {
      if (line.Label.empty()) continue;
      const QString text = QText(line.Label);
      BoxedText(p, pane.Left - fm.horizontalAdvance(text), line.Pos - Model.TextHeight / 2, text, Background);
    }
    const TCoreContext* core = pane.Variable && pane.Variable->Owner ? pane.Variable->Owner->Context : nullptr;
    if (core || titled) {
      p.save();
      p.setFont(RotatedFont);
      const QString unit = QText(core ? UnitText(pane.Variable->Unit, *core->Settings) : pane.TitleUnit);
      // Upward from the pane's middle; left out where it would reach into the pane above.
      if (p.fontMetrics().horizontalAdvance(unit) <= pane.Height / 2 + Model.PaneGap / 2) {
        p.translate(0, pane.Top + pane.Height / 2);
        p.rotate(-90);
        p.drawText(0, p.fontMetrics().ascent(), unit);
      }
      p.restore();
    }
  }

  for (const TPaneLine& line : under) PaintLine(p, pane, line.Colour, line.Width, line.Points, line.Edge);
  for (const auto& [trace, points] : traces) PaintLine(p, pane, trace.Colour, Model.TracePenWidth, points);

  if (pane.Variable || titled) {
    p.setPen(Qt::black);
    BoxedText(p, pane.Left + 1, pane.Top + 1, QString::fromUtf8(titled ? pane.Title.c_str() : pane.Variable->Name),
              GraphColour(GraphNameBackground));
  }
}

void TGraph::PaintFill(QPainter& p, const TGraphlet& pane, const TGraphTrace& trace, const TTrace& points) {
  const QColor colour = GraphColour(LightenedColour(trace.Colour));
  const QRect r(pane.Left, pane.Top, pane.Width, pane.Height);
  if (!DirectPixels(p)) {
    // On paper: one outline, closed along the bottom, so that no seams show between columns.
    QPolygon outline;
    for (const TTracePoint& pt : points.Points) outline << QPoint(pt.X, pt.Y);
    outline << QPoint(points.Points.back().X, pane.Bottom()) << QPoint(points.Points.front().X, pane.Bottom());
    p.save();
    p.setClipRect(r);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(outline);
    p.restore();
    return;
  }
  // Column by column, from the line down to the bottom: the area of the closed outline without
  // the cost of filling an outline of thousands of edges.
  const std::vector<int> tops = FillTops(points.Points, pane.Left, pane.Width, pane.Bottom());
  QVector<QRect> bars;
  bars.reserve(pane.Width);
  for (int c = 0; c < pane.Width; ++c) {
    const int top = tops[static_cast<size_t>(c)];
    if (top < pane.Bottom()) bars.append(QRect(pane.Left + c, top, 1, pane.Bottom() - top));
  }
  FillBars(p, bars, colour, r);
}

void TGraph::PaintLine(QPainter& p, const TGraphlet& pane, uint32_t colour, int width, const TTrace& points, bool withEdge) {
  if (points.Points.empty()) return;
  const QRect r(pane.Left, pane.Top, pane.Width, pane.Height);
  const int w = width;
  const std::optional<uint32_t> edgeOf = TraceEdgeColour(colour);
  const bool edge = withEdge && edgeOf.has_value();
  const QColor edgeColour = GraphColour(edgeOf.value_or(colour));
  p.save();
  p.setClipRect(r);
  // Without antialiasing, segment by segment: the rasterizer draws each line on its own, where one
  // outline of many overlapping strokes would cost it many times more.
  auto strokeLines = [&](const QVector<QLine>& lines, const QColor& colour, int width) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    if (lines.isEmpty())
      p.drawPoint(points.Points[0].X, points.Points[0].Y);  // a single sample
    else
      p.drawLines(lines);
  };
  QVector<QLine> lines;
  if (!points.Columns) {
    lines.reserve(static_cast<int>(points.Points.size()));
    for (size_t i = 0; i + 1 < points.Points.size(); ++i)
      lines.append(QLine(points.Points[i].X, points.Points[i].Y, points.Points[i + 1].X, points.Points[i + 1].Y));
    if (edge) strokeLines(lines, edgeColour, w + 2);
    strokeLines(lines, GraphColour(colour), w);
  } else {
    // Pixel columns: one upright bar each, the pen's width wide; slanted lines across columns
    // without samples.
    const TTraceStrokes strokes = ColumnStrokes(points.Points);
    for (const auto& [a, b] : strokes.Lines) lines.append(QLine(a.X, a.Y, b.X, b.Y));
    auto bars = [&](int width) {
      QVector<QRect> out;
      out.reserve(static_cast<int>(strokes.Spans.size()));
      for (const TTraceSpan& s : strokes.Spans) out.append(QRect(s.X - width / 2, s.Top - width / 2, width, s.Bottom - s.Top + width));
      return out;
    };
    if (edge) {
      FillBars(p, bars(w + 2), edgeColour, r);
      if (!lines.isEmpty()) strokeLines(lines, edgeColour, w + 2);
    }
    FillBars(p, bars(w), GraphColour(colour), r);
    if (!lines.isEmpty()) strokeLines(lines, GraphColour(colour), w);
  }
  p.restore();
}
