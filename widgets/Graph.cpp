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

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
QColor Rgb(uint32_t rgb) { return QColor(static_cast<int>(rgb >> 16 & 0xFF), static_cast<int>(rgb >> 8 & 0xFF), static_cast<int>(rgb & 0xFF)); }

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

// Text whose top-left corner is at (x, y), on a filled box of its own size.
void BoxedText(QPainter& p, int x, int y, const QString& text, const QColor& background) {
  const QFontMetrics fm = p.fontMetrics();
  p.fillRect(QRect(x, y, fm.horizontalAdvance(text), fm.height()), background);
  p.drawText(x, y + fm.ascent(), text);
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
    fill = Rgb(LightenedColour(pane.Colour));
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
    const QColor colour = Rgb(pane.Colour);
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
    BoxedText(p, pane.Left + 1, pane.Top + 1, QString::fromUtf8(pane.Variable->Name), Rgb(GraphNameBackground));
  }
}

// ---------------------------------------------------------------------------------------------

TGraphControl::TGraphControl(QWidget* parent, TVarRefList& selection, TCoreContext& core)
    : QWidget(parent), core_(core), graph_(&selection, font(), nullptr, TGraphSurface::Screen) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setCursor(Qt::CrossCursor);
  setMouseTracking(false);
}

TGraphControl::~TGraphControl() = default;

const TRecording* TGraphControl::Current() const { return CurrentRecordingOf(core_); }

bool TGraphControl::SizeDiffers() const {
  return graph_.Model.Width != width() || graph_.Model.Height != height() || buffer_.isNull() ||
         buffer_.devicePixelRatio() != devicePixelRatioF();
}

void TGraphControl::ResizeGraph() {
  const qreal dpr = devicePixelRatioF();
  const QSize pixels(std::max(1, qRound(width() * dpr)), std::max(1, qRound(height() * dpr)));
  if (buffer_.size() != pixels || buffer_.devicePixelRatio() != dpr) {
    buffer_ = QImage(pixels, QImage::Format_RGB32);
    buffer_.setDevicePixelRatio(dpr);
  }
  graph_.Model.Width = width();
  graph_.Model.Height = height();
  if (graph_.Model.Selection) graph_.Layout(Current());
  RepaintBuffer();
}

void TGraphControl::Rebuild() {
  graph_.Layout(Current());
  RepaintBuffer();
}

void TGraphControl::RepaintBuffer() {
  dirty_ = true;
  update();
}

void TGraphControl::PaintBuffer() {
  if (buffer_.isNull()) ResizeGraph();
  dirty_ = false;
  QPainter p(&buffer_);
  graph_.PaintAll(p);
}

const QImage& TGraphControl::Buffer() {
  if (dirty_ || SizeDiffers()) {
    if (SizeDiffers()) ResizeGraph();
    PaintBuffer();
  }
  return buffer_;
}

void TGraphControl::RecordingChanged() {
  InvalidateTraces();
  if (const TRecording* r = Current()) {
    SetStartTime(0);
    graph_.Model.EndTime = r->LengthSeconds();
  }
  Rebuild();
}

void TGraphControl::InvalidateTraces() { graph_.Traces().Clear(); }

void TGraphControl::SetStartTime(double t) { SetWindow(t, graph_.Model.EndTime); }

void TGraphControl::SetEndTime(double t) { SetWindow(graph_.Model.StartTime, t); }

void TGraphControl::SetWindow(double start, double end) {
  TGraphModel& m = graph_.Model;
  bool changed = false;
  if (start != m.StartTime) {
    m.StartTime = std::max(start, 0.0);
    changed = true;
  }
  if (end != m.EndTime) {
    const TRecording* r = Current();
    m.EndTime = r ? std::min(end, r->LengthSeconds()) : end;
    changed = true;
  }
  if (!changed) return;
  m.TimeSpan = m.EndTime - m.StartTime;
  ResizeGraph();
}

void TGraphControl::SetPosition(double t) {
  if (t == position_) return;
  TGraphModel& m = graph_.Model;
  const TCursorMove move = MoveCursor(t, m.MaxTime, m.StartTime, m.EndTime, m.TimeSpan);
  position_ = move.Position;
  if (move.WindowMoved) {
    m.StartTime = move.Start;
    m.EndTime = move.End;
    RepaintBuffer();
  }
  update();
}

void TGraphControl::paintEvent(QPaintEvent*) {
  if (SizeDiffers()) ResizeGraph();
  if (dirty_) PaintBuffer();
  QPainter p(this);
  p.drawImage(0, 0, buffer_);
  DrawCursor(p);
  if (rectShown_) {
    p.setPen(QPen(Qt::red, 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(Rectangle());
  }
}

void TGraphControl::DrawCursor(QPainter& p) {
  const TGraphModel& m = graph_.Model;
  if (!(m.StartTime <= position_ && position_ <= m.EndTime)) return;
  const int x = m.TimeToX(position_);
  p.setPen(QPen(QColor(0, 0, 255), 1));
  p.drawLine(x, m.TopMargin, x, m.NextPaneTop);
  DrawCursorValues(p);
}

bool TGraphControl::CursorInside() const {
  const TGraphModel& m = graph_.Model;
  return Current() && m.StartTime <= position_ && position_ <= m.EndTime;
}

std::vector<std::string> TGraphControl::CursorValueTexts() const {
  const TGraphModel& m = graph_.Model;
  std::vector<std::string> texts(static_cast<size_t>(m.PaneCount));
  if (!CursorInside()) return texts;
  for (int i = 0; i < m.PaneCount; ++i) {
    const TGraphlet& pane = m.Panes[static_cast<size_t>(i)];
    if (pane.Variable && pane.History && pane.Width > 0) texts[static_cast<size_t>(i)] = CursorValueText(*pane.Variable, position_);
  }
  return texts;
}

std::string TGraphControl::CursorTimeText() const { return CursorInside() ? ::CursorTimeText(position_) : std::string(); }

void TGraphControl::DrawCursorValues(QPainter& p) {
  const TGraphModel& m = graph_.Model;
  if (!CursorInside()) return;
  p.setFont(graph_.LabelFont);
  const QFontMetrics fm = p.fontMetrics();
  const std::vector<std::string> texts = CursorValueTexts();
  for (int i = 0; i < m.PaneCount; ++i) {
    const TGraphlet& pane = m.Panes[static_cast<size_t>(i)];
    const QString value = Q(texts[static_cast<size_t>(i)]);
    if (value.isEmpty()) continue;
    const int x = pane.Left + 1 + fm.horizontalAdvance(QString::fromUtf8(pane.Variable->Name)) + fm.horizontalAdvance(QStringLiteral("  "));
    p.setPen(Rgb(pane.Colour == 0xFFFF00 ? 0x808000 : pane.Colour));
    BoxedText(p, x, pane.Top + 1, value, Qt::white);
  }
  const QString time = Q(CursorTimeText());
  const int w = fm.horizontalAdvance(time);
  const int x = std::clamp(m.TimeToX(position_) - w / 2, 0, std::max(0, m.Width - w));
  const int y = m.Height - 2 * m.TextHeight;
  p.fillRect(QRect(x - 2, y, w + 4, fm.height()), Qt::white);
  p.setPen(QColor(0, 0, 255));
  p.drawRect(QRect(x - 2, y, w + 3, fm.height() - 1));
  p.drawText(x, y + fm.ascent(), time);
}

void TGraphControl::mousePressEvent(QMouseEvent* e) {
  rectShown_ = false;
  dragging_ = true;
  pressPoint_ = currentPoint_ = e->position().toPoint();
  update();
}

void TGraphControl::mouseMoveEvent(QMouseEvent* e) {
  if (!dragging_) return;
  currentPoint_ = e->position().toPoint();
  rectShown_ = true;
  update();
}

void TGraphControl::mouseReleaseEvent(QMouseEvent* e) {
  if (!dragging_) return;
  currentPoint_ = e->position().toPoint();
  dragging_ = false;
  update();
}

// ---------------------------------------------------------------------------------------------

TGraphPrint::TGraphPrint(QPrinter& printer, const TVarRefList& selection, TCoreContext& core)
    : core_(core), graph_(&selection, QFont(), &printer, TGraphSurface::Printer) {
  const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
  graph_.Model.Width = page.width();
  graph_.Model.Height = page.height();
  graph_.Layout(Current());
}

const TRecording* TGraphPrint::Current() const { return CurrentRecordingOf(core_); }

void TGraphPrint::SetStartTime(double t) {
  TGraphModel& m = graph_.Model;
  m.StartTime = std::max(t, 0.0);
  m.TimeSpan = m.EndTime - m.StartTime;
}

void TGraphPrint::SetEndTime(double t) {
  TGraphModel& m = graph_.Model;
  const TRecording* r = Current();
  m.EndTime = r ? std::min(t, r->LengthSeconds()) : t;
  m.TimeSpan = m.EndTime - m.StartTime;
}

void TGraphPrint::Print(QPainter& p) {
  const TRecording* r = Current();
  graph_.Model.LayoutTimeAxis(r);
  graph_.PaintAll(p);
  p.setFont(graph_.LabelFont);
  p.setPen(Qt::black);
  const QString title = QStringLiteral("Revscope - ") + QString::fromUtf8(r ? r->Description : "");
  const int x = (graph_.Model.Width - p.fontMetrics().horizontalAdvance(title)) / 2;
  BoxedText(p, x, 0, title, Qt::white);
}
