#include "widgets/DisplayControl.h"

#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

int BorderWidthOf(TDisplayBorderStyle style) {
  switch (style) {
    case dbsNone: return 0;
    case dbsSingle:
    case dbsSunken: return 1;
    case dbsRaised: return 2;
  }
  return 0;
}

void PaintBevel(QPainter& canvas, const QRect& r, TDisplayBorderStyle style,
                const QPalette& palette) {
  if (r.width() <= 0 || r.height() <= 0) return;
  canvas.save();
  canvas.setRenderHint(QPainter::Antialiasing, false);
  const int x0 = r.left(), y0 = r.top(), x1 = r.right(), y1 = r.bottom();
  auto hline = [&](int x, int y, int w, const QColor& c) { canvas.fillRect(QRect(x, y, w, 1), c); };
  auto vline = [&](int x, int y, int h, const QColor& c) { canvas.fillRect(QRect(x, y, 1, h), c); };
  const QColor shadow = palette.color(QPalette::Dark);
  const QColor highlight = palette.color(QPalette::Light);
  switch (style) {
    case dbsNone: break;
    case dbsSingle:
      hline(x0, y0, r.width(), Qt::black);
      hline(x0, y1, r.width(), Qt::black);
      vline(x0, y0, r.height(), Qt::black);
      vline(x1, y0, r.height(), Qt::black);
      break;
    case dbsSunken:
      hline(x0, y0, r.width() - 1, shadow);
      vline(x0, y0, r.height() - 1, shadow);
      hline(x0, y1, r.width(), highlight);
      vline(x1, y0, r.height(), highlight);
      break;
    case dbsRaised: {
      const QColor light3d = palette.color(QPalette::Midlight);
      const QColor dark3d = palette.color(QPalette::Shadow);
      hline(x0, y0, r.width() - 1, highlight);
      vline(x0, y0, r.height() - 1, highlight);
      hline(x0 + 1, y0 + 1, r.width() - 3, light3d);
      vline(x0 + 1, y0 + 1, r.height() - 3, light3d);
      hline(x0, y1, r.width(), dark3d);
      vline(x1, y0, r.height(), dark3d);
      hline(x0 + 1, y1 - 1, r.width() - 2, shadow);
      vline(x1 - 1, y0 + 1, r.height() - 2, shadow);
      break;
    }
  }
  canvas.restore();
}

QSize TextExtent(const QFont& font, const QString& text) {
  const QFontMetrics fm(font);
  return QSize(text.isEmpty() ? 0 : fm.horizontalAdvance(text), fm.height());
}

qreal PainterPixelRatio(const QPainter& canvas) {
  // The device transform carries the target's pixel ratio and any scaling on the way there
  // (a printer, a zoomed preview), so the cached layer is made at the density it lands at.
  const QTransform t = canvas.deviceTransform();
  const double scale = std::hypot(t.m11(), t.m12());
  if (!(scale > 0)) return 1.0;
  return std::clamp(std::round(scale * 100) / 100, 0.25, 8.0);
}

// ---- TValueTick / TValueColour -------------------------------------------------------------

void TValueTick::Changed() {
  if (OnChange) OnChange();
}
void TValueTick::SetWidth(int v) {
  width_ = v;
  Changed();
}
void TValueTick::SetHeight(int v) {
  height_ = v;
  Changed();
}
void TValueTick::SetIncrement(int v) {
  increment_ = v;
  Changed();
}

void TValueColour::Changed() {
  if (OnChange) OnChange();
}
void TValueColour::SetEnabled(bool v) {
  enabled_ = v;
  Changed();
}
void TValueColour::SetFrom(int i, int v) {
  from_[i] = v;
  Changed();
}
void TValueColour::SetTo(int i, int v) {
  to_[i] = v;
  Changed();
}
void TValueColour::SetColour(int i, const QColor& c) {
  colour_[i] = c;
  Changed();
}

// ---- TDisplayControl -----------------------------------------------------------------------

TDisplayControl::TDisplayControl(QWidget* parent, const QString& name) : QWidget(parent) {
  setObjectName(name);
  caption_ = name;
  color_ = palette().color(QPalette::Base);
  fontColour_ = palette().color(QPalette::WindowText);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Gauge text is laid out in pixels so that measuring and drawing agree on every device.
  QFont f = font();
  f.setPixelSize(QFontInfo(f).pixelSize());
  QWidget::setFont(f);
  valueFont_ = font();
}

TDisplayControl::~TDisplayControl() = default;

void TDisplayControl::SetColor(const QColor& c) {
  if (!Assign(color_, c)) return;
  PropertyChanged();
}

void TDisplayControl::SetFont(const QFont& f) {
  QFont pf = f;
  if (pf.pixelSize() <= 0) pf.setPixelSize(QFontInfo(f).pixelSize());
  setFont(pf);  // changeEvent rebuilds
}

void TDisplayControl::SetFontColour(const QColor& c) {
  if (!Assign(fontColour_, c)) return;
  PropertyChanged();
}

void TDisplayControl::SetBorderStyle(TDisplayBorderStyle s) {
  if (!Assign(borderStyle_, s)) return;
  PropertyChanged();
}

void TDisplayControl::SetCaption(const QString& s) {
  if (!Assign(caption_, s)) return;
  PropertyChanged();
}

void TDisplayControl::SetCaptionAlign(TAlign a) {
  if (!Assign(captionAlign_, a)) return;
  PropertyChanged();
}

void TDisplayControl::SetMargin(int v) {
  if (!Assign(margin_, v)) return;
  PropertyChanged();
}

void TDisplayControl::SetValueFont(const QFont& f) {
  if (!Assign(valueFont_, f)) return;
  PropertyChanged();
}

void TDisplayControl::SetValueFontColour(const QColor& c) {
  if (!Assign(valueFontColour_, c)) return;
  PropertyChanged();
}

void TDisplayControl::SetValueMin(double v) {
  if (!Assign(valueMin_, v)) return;
  PropertyChanged();
}

void TDisplayControl::SetValueMax(double v) {
  if (!Assign(valueMax_, v)) return;
  PropertyChanged();
}

void TDisplayControl::SetOverflowColour(const QColor& c) {
  if (!Assign(overflowColour_, c)) return;
  PropertyChanged();
}

void TDisplayControl::SetSuspended(bool on) {
  if (suspended_ == on) return;
  suspended_ = on;
  if (!on) PropertyChanged();
}

void TDisplayControl::PropertyChanged() {
  layoutValid_ = false;
  layers_.clear();
  update();
}

void TDisplayControl::VariablePartChanged(const QRect& before) {
  if (suspended_) return;
  if (!LayoutValid()) {
    update();
    return;
  }
  update(before.united(VariablePartRect()));
}

void TDisplayControl::EnsureLayout() const {
  if (LayoutValid()) return;
  // The layout is a cache of the Calc steps for the current properties and size.
  auto* self = const_cast<TDisplayControl*>(this);
  if (layoutSize_ != size()) self->layers_.clear();
  borderWidth_ = BorderWidthOf(borderStyle_);
  layoutSize_ = size();
  self->CalcComponentSizes();
  self->CalcComponentPositions();
  layoutValid_ = true;
}

void TDisplayControl::CalcComponentSizes() {}
void TDisplayControl::CalcComponentPositions() {}
void TDisplayControl::DrawControl(QPainter&) {}
void TDisplayControl::DrawCaption(QPainter&) {}

void TDisplayControl::DrawBackground(QPainter& canvas) { canvas.fillRect(rect(), color_); }

void TDisplayControl::RedrawStatic() {
  if (suspended_) return;
  layoutValid_ = false;
  layers_.clear();
  EnsureLayout();
  const qreal dpr = devicePixelRatio();
  layers_.push_back({dpr, BuildStatic(dpr)});
}

QPixmap TDisplayControl::BuildStatic(qreal dpr) {
  ++staticBuilds_;
  const QSize device(std::max(1, int(std::ceil(width() * dpr))), std::max(1, int(std::ceil(height() * dpr))));
  QPixmap pm(device);
  pm.setDevicePixelRatio(dpr);
  pm.fill(color_);
  QPainter p(&pm);
  p.setFont(font());
  p.setRenderHint(QPainter::TextAntialiasing);
  DrawBackground(p);
  PaintBevel(p, rect(), borderStyle_, palette());
  p.setRenderHint(QPainter::Antialiasing);
  DrawControl(p);
  p.setFont(font());
  p.setPen(fontColour_);
  DrawCaption(p);
  return pm;
}

const QPixmap& TDisplayControl::StaticLayer(qreal dpr) {
  EnsureLayout();
  for (const Layer& l : layers_)
    if (l.dpr == dpr) return l.pixmap;
  // Keep at most two ratios (a window moving between two screens, or a print preview).
  if (layers_.size() >= 2) layers_.erase(layers_.begin());
  layers_.push_back({dpr, BuildStatic(dpr)});
  return layers_.back().pixmap;
}

void TDisplayControl::paintEvent(QPaintEvent* event) {
  if (suspended_) return;
  QPainter p(this);
  const qreal dpr = PainterPixelRatio(p);
  const QPixmap& layer = StaticLayer(dpr);
  // Only the damaged part is copied and drawn over.
  p.setClipRect(event->rect());
  p.drawPixmap(QPointF(0, 0), layer);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setFont(font());
  ++variablePaints_;
  PaintVariablePart(p);
}

void TDisplayControl::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layoutValid_ = false;
  layers_.clear();
}

void TDisplayControl::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
      PropertyChanged();
      break;
    default: break;
  }
}
