#include "widgets/Graph.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QPainter>
#include <QPalette>
#include <QPolygon>

#include <algorithm>
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

TGlyphText::TGlyphText(const QFont& font) : font_(font), raw_(QRawFont::fromFont(font)) {}

void TGlyphText::Draw(QPainter& p, int x, int y, const QString& text) {
  QList<quint32> indexes;
  QList<QPointF> positions;
  indexes.reserve(text.size());
  positions.reserve(text.size());
  qreal at = 0;
  for (const QChar c : text) {
    auto it = glyphs_.find(c.unicode());
    if (it == glyphs_.end()) {
      const QList<quint32> g = raw_.glyphIndexesForString(QString(c));
      const quint32 index = g.size() == 1 ? g[0] : 0;
      const qreal advance = index ? raw_.advancesForGlyphIndexes(QList<quint32>{index}).value(0).x() : 0;
      it = glyphs_.emplace(c.unicode(), std::make_pair(index, advance)).first;
    }
    if (it->second.first == 0) {
      // A character the font has no glyph of: laid out the ordinary way, with fallback fonts.
      p.setFont(font_);
      p.drawText(x, y, text);
      return;
    }
    indexes.append(it->second.first);
    positions.append(QPointF(at, 0));
    at += it->second.second;
  }
  QGlyphRun run;
  run.setRawFont(raw_);
  run.setGlyphIndexes(indexes);
  run.setPositions(positions);
  p.drawGlyphRun(QPointF(x, y), run);
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
  const TTextPlace caption = m.AxisCaption(p.fontMetrics().horizontalAdvance(QString::fromUtf8(GraphAxisCaption)));
  p.drawText(caption.X, caption.Y + p.fontMetrics().ascent(), QText(caption.Text));
  for (int i = 0; i < m.PaneCount; ++i) {
    const TGraphlet& pane = m.Panes[static_cast<size_t>(i)];
    if (pane.Width != 0) PaintGraphlet(p, pane);
  }
}

void TGraph::PaintGraphlet(QPainter& p, const TGraphlet& pane) {
  const QRect r(pane.Left, pane.Top, pane.Width, pane.Height);
  p.fillRect(r, Qt::white);
  // The pane's own line; others would join it here.
  std::vector<std::pair<TGraphTrace, TTrace>> traces;
  if (pane.History && pane.Variable) {
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

  if (pane.Variable) {
    p.setPen(Qt::black);
    const QFontMetrics fm = p.fontMetrics();
    for (const TGridLine& line : grid) {
      if (line.Label.empty()) continue;
      const QString text = QText(line.Label);
      BoxedText(p, pane.Left - fm.horizontalAdvance(text), line.Pos - Model.TextHeight / 2, text, Background);
    }
    const TCoreContext* core = pane.Variable->Owner ? pane.Variable->Owner->Context : nullptr;
    if (core) {
      p.save();
      p.setFont(RotatedFont);
      const QString unit = QText(UnitText(pane.Variable->Unit, *core->Settings));
      // Upward from the pane's middle; left out where it would reach into the pane above.
      if (p.fontMetrics().horizontalAdvance(unit) <= pane.Height / 2 + Model.PaneGap / 2) {
        p.translate(0, pane.Top + pane.Height / 2);
        p.rotate(-90);
        p.drawText(0, p.fontMetrics().ascent(), unit);
      }
      p.restore();
    }
  }

  for (const auto& [trace, points] : traces) PaintLine(p, pane, trace, points);

  if (pane.Variable) {
    p.setPen(Qt::black);
    BoxedText(p, pane.Left + 1, pane.Top + 1, QString::fromUtf8(pane.Variable->Name), GraphColour(GraphNameBackground));
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

void TGraph::PaintLine(QPainter& p, const TGraphlet& pane, const TGraphTrace& trace, const TTrace& points) {
  if (points.Points.empty()) return;
  const QRect r(pane.Left, pane.Top, pane.Width, pane.Height);
  const int w = Model.TracePenWidth;
  const std::optional<uint32_t> edge = TraceEdgeColour(trace.Colour);
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
    if (edge) strokeLines(lines, GraphColour(*edge), w + 2);
    strokeLines(lines, GraphColour(trace.Colour), w);
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
      FillBars(p, bars(w + 2), GraphColour(*edge), r);
      if (!lines.isEmpty()) strokeLines(lines, GraphColour(*edge), w + 2);
    }
    FillBars(p, bars(w), GraphColour(trace.Colour), r);
    if (!lines.isEmpty()) strokeLines(lines, GraphColour(trace.Colour), w);
  }
  p.restore();
}
