#include "widgets/GraphControl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>

#include <algorithm>

#include "recording/Recording.h"
#include "vars/SensorList.h"

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
    const QString value = QString::fromStdString(texts[static_cast<size_t>(i)]);
    if (value.isEmpty()) continue;
    const int x = pane.Left + 1 + fm.horizontalAdvance(QString::fromUtf8(pane.Variable->Name)) + fm.horizontalAdvance(QStringLiteral("  "));
    p.setPen(GraphColour(pane.Colour == 0xFFFF00 ? 0x808000 : pane.Colour));
    BoxedText(p, x, pane.Top + 1, value, Qt::white);
  }
  const QString time = QString::fromStdString(CursorTimeText());
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
