#include "widgets/GraphControl.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>

#include "recording/Recording.h"
#include "rules/GraphPage.h"
#include "vars/Units.h"
#include "vars/GraphSelection.h"
#include "vars/SensorList.h"

namespace {
constexpr int kBoxPadding = 2;
}

TGraphControl::TGraphControl(QWidget* parent, TGraphSelection& selection, TCoreContext& core)
    : QWidget(parent),
      core_(core),
      selection_(selection),
      graph_(&selection, font(), nullptr, TGraphSurface::Screen),
      readoutText_(graph_.LabelFont, GraphColour(GraphNameBackground)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setCursor(Qt::CrossCursor);
  // Without a button held, the pointer shows where a cursor's line can be taken hold of.
  setMouseTracking(true);
  baseRightMargin_ = graph_.Model.RightMargin;
  graph_.LinesUnder = [this](const TGraphlet& pane) { return LinesUnder(pane); };
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
  overlayValid_ = false;
  nameWidths_.clear();
  readoutTexts_.clear();
  update();
}

void TGraphControl::PaintBuffer() {
  if (buffer_.isNull()) ResizeGraph();
  dirty_ = false;
  QPainter p(&buffer_);
  graph_.PaintAll(p);
  if (overlay_) legend_ = LayLapLegend(graph_.Model, overlay_->Legend(0));
  DrawOverlayParts(p);
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
  reference_.reset();
  // A compared run lies under the recording it was chosen for; laps are those of the current one.
  const bool hadCompare = Comparing(), hadOverlay = Overlaying();
  if (compared_ && Current() != comparedWith_) {
    compared_.reset();
    compare_.reset();
  }
  overlay_.reset();
  if (hadOverlay && Current() && HasLapSignals(*Current()) && core_.Sensors) MakeOverlay(*Current());
  if (hadOverlay || hadCompare) {
    graph_.Model.StartTime = graph_.Model.EndTime = 0;
    ApplyOverlay();
  }
  if (hadCompare != Comparing() || hadOverlay != Overlaying()) emit OverlayChanged();
  if (Overlaying()) return;
  if (const TRecording* r = Current()) {
    SetStartTime(0);
    graph_.Model.EndTime = r->LengthSeconds();
  }
  Rebuild();
}

void TGraphControl::InvalidateTraces() {
  graph_.Traces().Clear();
  if (overlay_) overlay_->ForgetTraces();
}

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
    m.EndTime = r ? std::min(end, m.AxisLength.value_or(r->LengthSeconds())) : end;
    changed = true;
  }
  if (!changed) return;
  m.TimeSpan = m.EndTime - m.StartTime;
  DropBand();
  ResizeGraph();
}

void TGraphControl::SetPosition(double t) {
  // Laid over each other, the cursor is the place in its lap of the time played.
  if (overlay_) t = overlay_->ToAxis(t).value_or(position_);
  if (t == position_) return;
  TGraphModel& m = graph_.Model;
  const TCursorMove move = MoveCursor(t, m.MaxTime, m.StartTime, m.EndTime, m.TimeSpan);
  position_ = move.Position;
  if (move.WindowMoved) {
    m.StartTime = move.Start;
    m.EndTime = move.End;
    DropBand();
    RepaintBuffer();
    return;
  }
  CursorsChanged();
}

void TGraphControl::SetReference(double t) {
  if (!Current() || overlay_) return;
  reference_ = std::clamp(t, 0.0, std::max(0.0, MaxTime()));
  CursorsChanged();
}

void TGraphControl::ClearReference() {
  if (!reference_) return;
  reference_.reset();
  CursorsChanged();
}

bool TGraphControl::CursorInside() const {
  const TGraphModel& m = graph_.Model;
  return Current() && m.StartTime <= position_ && position_ <= m.EndTime;
}

// ---------------------------------------------------------------------------------------------
// What is drawn over the image

void TGraphControl::CursorsChanged() {
  if (!overlayValid_) {
    update();
    return;
  }
  const std::vector<QRect> boxes = readoutBoxes_, lines = lineRects_;
  const std::vector<std::string> texts = readoutTexts_;
  ComputeOverlay();
  // A line that stayed where it was (the reference's, while the cursor moves) is left alone.
  changedRects_.clear();
  for (const QRect& r : lines)
    if (std::find(lineRects_.begin(), lineRects_.end(), r) == lineRects_.end()) changedRects_.push_back(r);
  for (const QRect& r : lineRects_)
    if (std::find(lines.begin(), lines.end(), r) == lines.end()) changedRects_.push_back(r);
  changedRects_.push_back(axisRow_);
  // A pane whose values read the same keeps its box as it is.
  for (size_t i = 0; i < readoutBoxes_.size(); ++i)
    if (i >= boxes.size() || boxes[i] != readoutBoxes_[i] || texts[i] != readoutTexts_[i]) {
      const QRect box = i < boxes.size() ? boxes[i].united(readoutBoxes_[i]) : readoutBoxes_[i];
      if (!box.isEmpty()) changedRects_.push_back(box);
    }
  changed_ = QRegion();
  for (const QRect& r : changedRects_) changed_ += r;
  update(changed_);
}

void TGraphControl::ComputeOverlay() {
  if (SizeDiffers()) ResizeGraph();
  const TGraphModel& m = graph_.Model;
  const QFontMetrics fm(graph_.LabelFont);
  // The pictures of values that read as before are kept.
  std::vector<std::string> texts = std::move(readoutTexts_);
  std::vector<QImage> images = std::move(readoutImages_);
  readouts_.assign(static_cast<size_t>(m.PaneCount), {});
  readoutTexts_.assign(static_cast<size_t>(m.PaneCount), {});
  readoutImages_.assign(static_cast<size_t>(m.PaneCount), {});
  readoutBoxes_.assign(static_cast<size_t>(m.PaneCount), {});
  lineRects_.clear();
  axis_ = {};
  axisRow_ = {};
  overlayValid_ = true;
  if (!Current()) return;
  const bool inside = CursorInside();
  if (nameWidths_.size() != static_cast<size_t>(m.PaneCount)) {
    nameWidths_.assign(static_cast<size_t>(m.PaneCount), 0);
    for (int i = 0; i < m.PaneCount; ++i)
      if (const TDisplayVar* v = m.Panes[static_cast<size_t>(i)].Variable)
        nameWidths_[static_cast<size_t>(i)] = fm.horizontalAdvance(QString::fromUtf8(v->Name));
  }
  for (int i = 0; i < m.PaneCount; ++i) {
    const TGraphlet& pane = m.Panes[static_cast<size_t>(i)];
    if ((!pane.Variable && pane.Title.empty()) || pane.Width <= 2) continue;
    TCursorReadout& r = readouts_[static_cast<size_t>(i)];
    const bool overlaid = overlay_ || compare_;
    if (inside && pane.History && !overlaid)
      r = CursorReadout(*pane.Variable, graph_.Traces().For(*pane.Variable, *pane.History, pane.Variable->Unit), position_,
                        reference_);
    // The values after the name, on the same silver ground: the name itself is in the image.
    std::string& text = readoutTexts_[static_cast<size_t>(i)];
    text = !overlaid ? r.Text() : inside ? OverlayReadout(pane) : std::string();
    if (text.empty()) continue;
    text.insert(0, "  ");
    // Right where the name's box in the image ends.
    const int left = pane.Left + 1 + (pane.Variable ? nameWidths_[static_cast<size_t>(i)] : fm.horizontalAdvance(QText(pane.Title)));
    QImage& image = readoutImages_[static_cast<size_t>(i)];
    const int room = pane.Left + pane.Width - 1 - left;
    if (static_cast<size_t>(i) < texts.size() && texts[static_cast<size_t>(i)] == text)
      image = std::move(images[static_cast<size_t>(i)]);
    else
      image = readoutText_.Render(QText(text), devicePixelRatioF(), room);
    const QSize size = image.deviceIndependentSize().toSize();
    if (room > 0) readoutBoxes_[static_cast<size_t>(i)] = QRect(QPoint(left, pane.Top + 1), size);
  }
  auto lineRect = [&](double t) { return QRect(m.TimeToX(t) - 1, m.TopMargin, 3, m.NextPaneTop - m.TopMargin + 1); };
  if (inside) lineRects_.push_back(lineRect(position_));
  if (reference_ && m.StartTime <= *reference_ && *reference_ <= m.EndTime) lineRects_.push_back(lineRect(*reference_));
  axis_ = CursorAxis(m, position_, reference_, fm.horizontalAdvance(QText(m.AxisCaptionText)), kBoxPadding);
  axisRow_ = QRect(0, axis_.Y, m.Width, fm.height());
}

void TGraphControl::DrawOverlay(QPainter& p, const QRegion& region) {
  if (!overlayValid_) ComputeOverlay();
  const TGraphModel& m = graph_.Model;
  p.setFont(graph_.LabelFont);
  const QFontMetrics fm = p.fontMetrics();
  if (reference_ && m.StartTime <= *reference_ && *reference_ <= m.EndTime) {
    const int x = m.TimeToX(*reference_);
    p.setPen(QPen(GraphColour(GraphReferenceColour), 1, Qt::DashLine));
    p.drawLine(x, m.TopMargin, x, m.NextPaneTop);
  }
  if (CursorInside()) {
    const int x = m.TimeToX(position_);
    p.setPen(QPen(GraphColour(GraphCursorColour), 1));
    p.drawLine(x, m.TopMargin, x, m.NextPaneTop);
  }
  p.setPen(Qt::black);
  for (int i = 0; i < m.PaneCount; ++i) {
    const QRect& box = readoutBoxes_[static_cast<size_t>(i)];
    if (!box.isEmpty() && region.intersects(box)) p.drawImage(box.topLeft(), readoutImages_[static_cast<size_t>(i)]);
  }
  if (!axis_.CaptionShown) {
    const int w = fm.horizontalAdvance(QText(m.AxisCaptionText));
    const TTextPlace caption = m.AxisCaption(w);
    p.fillRect(QRect(caption.X, caption.Y, w, fm.height()), graph_.Background);
  }
  auto drawBox = [&](const TAxisBox& b, uint32_t colour) {
    if (!b.Shown) return;
    const QRect r(b.X, axis_.Y, b.Width, fm.height());
    p.fillRect(r, Qt::white);
    p.setPen(GraphColour(colour));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.drawText(b.X + kBoxPadding, axis_.Y + fm.ascent(), QText(b.Text));
  };
  drawBox(axis_.Reference, GraphReferenceColour);
  drawBox(axis_.Delta, 0x000000);
  drawBox(axis_.Cursor, GraphCursorColour);
}

void TGraphControl::DrawHint(QPainter& p) {
  const std::vector<std::string> lines = GraphPageHint(Current() != nullptr, selection_.Count());
  if (lines.empty()) return;
  p.setFont(graph_.LabelFont);
  const QFontMetrics fm = p.fontMetrics();
  int w = 0;
  for (const std::string& line : lines) w = std::max(w, fm.horizontalAdvance(QText(line)));
  const int pad = fm.height();
  const int h = fm.height() * static_cast<int>(lines.size());
  QRect box(0, 0, w + 2 * pad, h + 2 * pad);
  box.moveCenter(rect().center());
  box.moveLeft(std::max(0, box.left()));
  box.moveTop(std::max(0, box.top()));
  p.fillRect(box, Qt::white);
  p.setPen(QColor(160, 160, 160));
  p.drawRect(box.adjusted(0, 0, -1, -1));
  p.setPen(QColor(40, 40, 40));
  int y = box.top() + pad;
  for (const std::string& line : lines) {
    p.drawText(box.left() + pad, y + fm.ascent(), QText(line));
    y += fm.height();
  }
}

const std::vector<TCursorReadout>& TGraphControl::Readouts() {
  if (!overlayValid_) ComputeOverlay();
  return readouts_;
}

std::vector<std::string> TGraphControl::CursorValueTexts() {
  if (!overlayValid_) ComputeOverlay();
  std::vector<std::string> texts;
  for (const std::string& t : readoutTexts_) texts.push_back(t.size() > 2 ? t.substr(2) : std::string());
  return texts;
}

const TCursorAxis& TGraphControl::Axis() {
  if (!overlayValid_) ComputeOverlay();
  return axis_;
}

std::string TGraphControl::ValuesTable() {
  // Every pane's values, also with the cursor outside the window.
  const TGraphModel& m = graph_.Model;
  if (overlay_ || compare_) {
    // Laps or two runs: each pane's text as shown.
    std::string table = std::string(CursorAxisText(m.AxisUnit, position_)) + "\n";
    const std::vector<std::string> texts = CursorValueTexts();
    for (int i = 0; i < m.PaneCount; ++i) {
      const TGraphlet& pane = m.Panes[static_cast<size_t>(i)];
      if (!texts[static_cast<size_t>(i)].empty())
        table += (pane.Variable ? std::string(pane.Variable->Name) : pane.Title) + "\t" + texts[static_cast<size_t>(i)] + "\n";
    }
    return table;
  }
  std::vector<TCursorReadout> rows;
  if (Current())
    for (int i = 0; i < m.PaneCount; ++i) {
      const TGraphlet& pane = m.Panes[static_cast<size_t>(i)];
      if (pane.Variable && pane.History)
        rows.push_back(CursorReadout(*pane.Variable, graph_.Traces().For(*pane.Variable, *pane.History, pane.Variable->Unit),
                                     position_, reference_));
    }
  return CursorTable(rows, position_, reference_);
}

void TGraphControl::CopyValues() { QGuiApplication::clipboard()->setText(QText(ValuesTable())); }

void TGraphControl::DropBand() {
  mouse_.Cancel();
  SetBand(std::nullopt);
}

void TGraphControl::SetBand(const std::optional<TDragBand>& band) {
  const QRect now = band ? QRect(QPoint(band->Left, band->Top), QPoint(band->Right, band->Bottom)) : QRect();
  if (now == band_) return;
  QRegion old(band_.adjusted(-1, -1, 1, 1));
  update(old.united(now.adjusted(-1, -1, 1, 1)));
  band_ = now;
}

void TGraphControl::paintEvent(QPaintEvent* e) {
  if (SizeDiffers()) ResizeGraph();
  if (dirty_) PaintBuffer();
  QPainter p(this);
  // Only what changed: a cursor move repaints its lines, the values and the axis's row.
  const qreal dpr = buffer_.devicePixelRatio();
  // In strips of fewer than 96 rows: Qt hands a taller copy to its worker threads, and waking
  // them costs far more than copying a cursor's thin line.
  auto copy = [&](const QRect& r) {
    for (int y = r.top(); y <= r.bottom(); y += 95) {
      const QRect strip(r.left(), y, r.width(), std::min(95, r.bottom() + 1 - y));
      p.drawImage(strip.topLeft(), buffer_,
                  QRect(qRound(strip.x() * dpr), qRound(strip.y() * dpr), qRound(strip.width() * dpr), qRound(strip.height() * dpr)));
    }
  };
  // After a cursor move, its few rectangles rather than the many a region cuts them into.
  if (e->region() == changed_)
    for (const QRect& r : changedRects_) copy(r);
  else
    for (const QRect& r : e->region()) copy(r);
  DrawOverlay(p, e->region());
  if (!band_.isNull()) {
    p.setPen(QPen(Qt::red, 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(band_);
  }
  DrawHint(p);
}

// ---------------------------------------------------------------------------------------------
// Mouse

void TGraphControl::Carry(const TGraphMouseAction& a) {
  using K = TGraphMouseAction::TKind;
  switch (a.Kind) {
    case K::None: break;
    case K::SetCursor:
      if (overlay_) {
        // A place along the laps: the player goes there on the reference lap.
        position_ = a.Time;
        CursorsChanged();
        emit CursorPicked(overlay_->FromAxis(a.Time));
        break;
      }
      SetPosition(a.Time);
      emit CursorPicked(a.Time);
      break;
    case K::SetReference: SetReference(a.Time); break;
    case K::Zoom: SetWindow(a.Window.Start, a.Window.End); break;
    case K::ShowFullLength: SetWindow(0, MaxTime()); break;
  }
}

void TGraphControl::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !Current()) return;
  const QPoint pt = e->position().toPoint();
  if (overlay_)
    if (const std::optional<size_t> lap = LapLegendHit(legend_, pt.x(), pt.y())) {
      ToggleLap(*lap);
      return;
    }
  if (compare_ && (e->modifiers() & Qt::ControlModifier)) {
    SetComparePoint(graph_.Model.XToTime(pt.x()));
    return;
  }
  Carry(mouse_.Press(graph_.Model, pt.x(), pt.y(), e->modifiers() & Qt::ShiftModifier, position_, reference_));
}

void TGraphControl::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pt = e->position().toPoint();
  if (!(e->buttons() & Qt::LeftButton)) {
    const TGraphModel& m = graph_.Model;
    auto near = [&](double t) { return OnCursorLine(m, pt.x(), t); };
    const bool grip = Current() && (near(position_) || (reference_ && near(*reference_)));
    setCursor(grip ? Qt::SizeHorCursor : Qt::CrossCursor);
    return;
  }
  Carry(mouse_.Move(graph_.Model, pt.x(), pt.y()));
  SetBand(mouse_.Band());
}

void TGraphControl::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  const QPoint pt = e->position().toPoint();
  Carry(mouse_.Release(graph_.Model, pt.x(), pt.y()));
  SetBand(std::nullopt);
}

void TGraphControl::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && Current()) Carry(mouse_.DoubleClick());
}

void TGraphControl::wheelEvent(QWheelEvent* e) {
  e->accept();
  if (!Current()) return;
  const TTimeWindow w = WheelWindow(graph_.Model, e->angleDelta().x(), e->angleDelta().y(),
                                    e->modifiers() & Qt::ShiftModifier, qRound(e->position().x()));
  SetWindow(w.Start, w.End);
}

void TGraphControl::contextMenuEvent(QContextMenuEvent* e) {
  menuTime_ = graph_.Model.XToTime(e->pos().x());
  emit PaneMenuRequested(graph_.Model.PaneAt(e->pos().y()), e->globalPos());
}

// ---------------------------------------------------------------------------------------------
// Laps laid over each other, another run laid under

bool TGraphControl::SetOverlay(bool on) {
  const TRecording* r = Current();
  if (on == Overlaying()) return true;
  if (on && (!r || !core_.Sensors || !HasLapSignals(*r))) return false;
  TGraphModel& m = graph_.Model;
  reference_.reset();
  if (on) {
    compared_.reset();
    compare_.reset();
    MakeOverlay(*r);
    position_ = overlay_->ToAxis(position_).value_or(0);
  } else {
    position_ = overlay_->FromAxis(position_);
    overlay_.reset();
  }
  // The whole length of the new axis.
  m.StartTime = m.EndTime = 0;
  ApplyOverlay();
  if (!on && r) {
    m.EndTime = r->LengthSeconds();
    Rebuild();
  }
  emit OverlayChanged();
  return true;
}

void TGraphControl::MakeOverlay(const TRecording& r) {
  overlay_ = TLapOverlay::Of(r, *core_.Sensors);
  overlay_->SetAxis(lapAxis_);
}

void TGraphControl::SetLapAxis(TLapAxis axis) {
  if (axis == lapAxis_) return;
  lapAxis_ = axis;
  if (overlay_) {
    const double t = overlay_->FromAxis(position_);
    overlay_->SetAxis(axis);
    lapAxis_ = overlay_->Axis();
    position_ = overlay_->ToAxis(t).value_or(0);
    graph_.Model.StartTime = graph_.Model.EndTime = 0;
    ApplyOverlay();
  }
  emit OverlayChanged();
}

void TGraphControl::ToggleLap(size_t lap) {
  if (!overlay_) return;
  overlay_->Toggle(lap);
  // The axis keeps its window unless the longest lap shown got shorter than it.
  TGraphModel& m = graph_.Model;
  const double length = overlay_->Length();
  if (m.EndTime > length) m.EndTime = length;
  if (m.StartTime >= m.EndTime) m.StartTime = 0;
  ApplyOverlay();
}

void TGraphControl::SetCompared(std::unique_ptr<TRecording> reference) {
  if (!reference || !Current()) return;
  if (overlay_) {
    // Back to the recording's whole length.
    position_ = overlay_->FromAxis(position_);
    overlay_.reset();
    graph_.Model.StartTime = 0;
    graph_.Model.EndTime = Current()->LengthSeconds();
  }
  compare_.emplace(reference->Description);
  compared_ = std::move(reference);
  comparedWith_ = Current();
  ApplyOverlay();
  emit OverlayChanged();
}

void TGraphControl::ClearCompared() {
  if (!compared_) return;
  compared_.reset();
  compare_.reset();
  comparedWith_ = nullptr;
  ApplyOverlay();
  emit OverlayChanged();
}

void TGraphControl::SetComparePoint(double t) {
  if (!compare_) return;
  compare_->SetPoint(compare_->ReferenceTime(t));
  RepaintBuffer();
  emit OverlayChanged();
}

void TGraphControl::AlignCompared() {
  if (!compare_) return;
  compare_->AlignAt(position_);
  RepaintBuffer();
  emit OverlayChanged();
}

void TGraphControl::ResetCompared() {
  if (!compare_) return;
  compare_->Reset();
  RepaintBuffer();
  emit OverlayChanged();
}

void TGraphControl::ApplyOverlay() {
  TGraphModel& m = graph_.Model;
  legend_ = {};
  m.RightMargin = baseRightMargin_;
  m.AxisUnit = TGraphAxisUnit::Seconds;
  m.AxisCaptionText = GraphAxisCaption;
  m.AxisLength.reset();
  m.ExtraPane = {};
  graph_.OwnTraces = !overlay_;
  if (overlay_) {
    m.AxisUnit = overlay_->AxisUnit();
    m.AxisCaptionText = overlay_->AxisCaption();
    m.AxisLength = overlay_->Length();
    m.RightMargin = baseRightMargin_ + LapLegendWidth(m, overlay_->Legend(0)) + m.Metrics.ZeroWidth;
    if (overlay_->Axis() == TLapAxis::Distance) {
      const TLapOverlay::TDeltaRange range = overlay_->DeltaRange();
      m.ExtraPane.Title = DeltaTimePaneTitle;
      m.ExtraPane.TitleUnit = "s";
      m.ExtraPane.Minimum = range.Minimum;
      m.ExtraPane.Maximum = range.Maximum;
      m.ExtraPane.Tick = range.Tick;
      m.ExtraPane.Colour = DeltaTimeColour;
    }
  }
  DropBand();
  Rebuild();
  if (overlay_) legend_ = LayLapLegend(m, overlay_->Legend(0));
}

const std::vector<TPlacedValue>& TGraphControl::LapTrace(const TGraphlet& pane, size_t lap) {
  TDisplayVar& var = *pane.Variable;
  TTraceSummary& summary = graph_.Traces().For(var, *pane.History, var.Unit);
  const uint64_t key = uint64_t{var.Id} << 8 | var.Unit;
  return overlay_->Trace(*pane.History, key, lap, [&summary](int32_t k) { return summary.ValueAt(k); });
}

namespace {
// The compared run's history of a pane's sensor; none where it has none, or where the sensor's
// value reads other histories than its own (those would come from the current recording).
const TVarHist* ComparedHistory(const TRecording& compared, const TGraphlet& pane) {
  if (!pane.Variable || !pane.Variable->ValueFollowsRaw()) return nullptr;
  const TRawVar* source = pane.Variable->RecordedSource();
  const TVarHist* h = source ? compared.HistoryById(static_cast<int32_t>(source->IdIn(compared.EcuFamily))) : nullptr;
  return h && h->Count() > 0 ? h : nullptr;
}
}  // namespace

std::vector<TPaneLine> TGraphControl::LinesUnder(const TGraphlet& pane) {
  std::vector<TPaneLine> lines;
  const TGraphModel& m = graph_.Model;
  if (overlay_ && !pane.Title.empty()) {
    // The zero line, then the time each lap lost or gained on the reference.
    const int y = pane.ValueToY(0);
    lines.push_back({TTrace{{{pane.Left, y}, {pane.Left + pane.Width, y}}, false}, 0x000000, 1});
    for (size_t lap : overlay_->DrawOrder())
      if (lap != overlay_->Reference())
        lines.push_back({m.PlacedTrace(pane, overlay_->Delta(lap)), overlay_->LapColour(pane.Colour, lap),
                         overlay_->LapPenWidth(m.TracePenWidth, lap)});
  } else if (overlay_ && pane.Variable && pane.History) {
    for (size_t lap : overlay_->DrawOrder())
      lines.push_back({m.PlacedTrace(pane, LapTrace(pane, lap)), overlay_->LapColour(pane.Colour, lap),
                       overlay_->LapPenWidth(m.TracePenWidth, lap), lap == overlay_->Reference()});
  } else if (compare_) {
    if (const TVarHist* h = ComparedHistory(*compared_, pane)) {
      const TGraphTrace trace{pane.Variable, h, ComparedColour(pane.Colour), false, compare_->Offset()};
      lines.push_back({m.Trace(pane, trace, &graph_.Traces().For(*pane.Variable, *h, pane.Variable->Unit)), trace.Colour,
                       m.TracePenWidth});
    }
  }
  return lines;
}

std::string TGraphControl::OverlayReadout(const TGraphlet& pane) {
  if (overlay_) {
    std::vector<std::pair<int, std::string>> values;
    for (size_t lap : overlay_->ReadoutOrder()) {
      const int number = overlay_->Laps()[lap].Number;
      const double length = overlay_->LapLength(lap);
      if (!pane.Title.empty()) {
        if (lap == overlay_->Reference()) continue;
        if (const std::optional<double> v = PlacedValueAt(overlay_->Delta(lap), position_, length)) {
          char buf[32];
          std::snprintf(buf, sizeof buf, "%+.3f", *v);
          values.emplace_back(number, buf);
        }
      } else if (pane.History) {
        if (const std::optional<double> v = PlacedValueAt(LapTrace(pane, lap), position_, length))
          values.emplace_back(number, SensorValueText(pane.Variable->Unit, *v));
      }
    }
    const std::string unit = pane.Variable ? UnitText(pane.Variable->Unit, *core_.Settings) : pane.TitleUnit;
    return LapReadoutText(values, unit);
  }
  if (!compare_ || !pane.Variable || !pane.History) return {};
  TDisplayVar& var = *pane.Variable;
  const std::string value = HistoryValueText(var, graph_.Traces().For(var, *pane.History, var.Unit), *pane.History, position_);
  std::string reference;
  const double t = compare_->ReferenceTime(position_);
  if (const TVarHist* h = ComparedHistory(*compared_, pane); h && t >= 0 && t <= compared_->LengthSeconds())
    reference = HistoryValueText(var, graph_.Traces().For(var, *h, var.Unit), *h, t);
  return CompareReadoutText(value, reference, UnitText(var.Unit, *core_.Settings));
}

void TGraphControl::DrawOverlayParts(QPainter& p) {
  const TGraphModel& m = graph_.Model;
  p.setFont(graph_.LabelFont);
  const QFontMetrics fm = p.fontMetrics();
  if (compare_ && Current()) {
    // Where the compared run's chosen point lies, and its name in the caption row's left end.
    if (const std::optional<double> point = compare_->Point()) {
      const double t = *point - compare_->Offset();
      if (m.StartTime <= t && t <= m.EndTime) {
        p.setPen(QPen(QColor(110, 110, 110), 1, Qt::DotLine));
        p.drawLine(m.TimeToX(t), m.TopMargin, m.TimeToX(t), m.NextPaneTop);
      }
    }
    // Its name at the top right of the first pane, on the names' ground.
    if (m.PaneCount > 0) {
      const TGraphlet& first = m.Panes[0];
      const QString caption = QText(compare_->Caption());
      p.setPen(Qt::black);
      BoxedText(p, std::max(first.Left + 1, first.Left + first.Width - 1 - fm.horizontalAdvance(caption)), first.Top + 1, caption,
                GraphColour(GraphNameBackground));
    }
  }
  if (!overlay_ || legend_.Rows.empty()) return;
  const uint32_t colour = m.PaneCount > 0 ? m.Panes[0].Colour : 0;
  const std::vector<TLapLegendRow> rows = overlay_->Legend(colour);
  p.fillRect(QRect(legend_.X, legend_.Y, legend_.Width, legend_.Height), Qt::white);
  p.setPen(QColor(160, 160, 160));
  p.drawRect(QRect(legend_.X, legend_.Y, legend_.Width - 1, legend_.Height - 1));
  p.setPen(Qt::black);
  p.drawText(legend_.TitleX, legend_.Rows.front().Top - legend_.RowHeight + fm.ascent(), QText(LapLegendTitle));
  for (size_t i = 0; i < rows.size() && i < legend_.Rows.size(); ++i) {
    const TLegendRowPlace& place = legend_.Rows[i];
    const int middle = place.Top + legend_.RowHeight / 2;
    const QRect box(place.CheckX, middle - legend_.CheckSize / 2, legend_.CheckSize, legend_.CheckSize);
    p.setPen(QColor(90, 90, 90));
    p.setBrush(Qt::white);
    p.drawRect(box.adjusted(0, 0, -1, -1));
    p.setBrush(Qt::NoBrush);
    if (rows[i].Visible) {
      p.setPen(QPen(Qt::black, 2));
      p.drawLine(box.left() + 2, box.center().y(), box.center().x() - 1, box.bottom() - 2);
      p.drawLine(box.center().x() - 1, box.bottom() - 2, box.right() - 2, box.top() + 2);
    }
    p.setPen(QPen(GraphColour(rows[i].Colour), overlay_->LapPenWidth(m.TracePenWidth, rows[i].Lap), Qt::SolidLine, Qt::FlatCap));
    p.drawLine(place.SwatchX, middle, place.SwatchX + legend_.SwatchWidth, middle);
    p.setPen(rows[i].Visible ? Qt::black : QColor(140, 140, 140));
    p.drawText(place.TextX, place.Top + 1 + fm.ascent(), QText(rows[i].Text));
  }
}
