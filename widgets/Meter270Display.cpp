#include "widgets/Meter270Display.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr double kPi = 3.14159265358979323846;
// No scale draws more ticks than this per kind; a finer setting leaves that kind out.
constexpr int64_t kMaxTicks = 5000;

// Point on the circle in painter coordinates.
QPointF At(QPointF centre, double angle, double radius) {
  return centre + TMeter270Display::GetArcPosF(angle, radius);
}

// Arc from angle a0 to a1 (a0 < a1), in the dial's angle convention.
QPainterPath ArcPath(QPointF centre, double radius, double a0, double a1) {
  QPainterPath path;
  if (a1 <= a0 || radius <= 0) return path;
  const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
  // The painter counts angles counter-clockwise from three o'clock.
  path.arcMoveTo(box, -90.0 - a0);
  path.arcTo(box, -90.0 - a0, -(a1 - a0));
  return path;
}

}  // namespace

TMeter270Display::TMeter270Display(QWidget* parent, const QString& name)
    : TDisplayControl(parent, name) {
  SetValueMax(9500);
}

QPoint TMeter270Display::GetArcPos(double angle, double radius) {
  const double t = -angle * kPi / 180.0;
  return QPoint(int(std::trunc(std::sin(t) * radius)), int(std::trunc(std::cos(t) * radius)));
}

QPointF TMeter270Display::GetArcPosF(double angle, double radius) {
  const double t = -angle * kPi / 180.0;
  return QPointF(std::sin(t) * radius, std::cos(t) * radius);
}

int TMeter270Display::Span() const {
  const int64_t span = int64_t(ValueMax()) - ValueMin();
  return int(std::clamp<int64_t>(span, 1, INT32_MAX));
}

double TMeter270Display::AngleOf(double v) const {
  return angleStart_ + v * (angleEnd_ - angleStart_) / Span();
}

double TMeter270Display::Shown(double v) const {
  const int lo = ValueMin(), hi = ValueMax();
  if (std::isnan(v)) return lo;
  if (v < lo) v = lo;
  if (v > hi) v = hi;
  return v;
}

double TMeter270Display::PenWidth(double nominal) const {
  return std::max(nominal * scale_, std::min(nominal, 1.0));
}

// ---- properties ----------------------------------------------------------------------------

void TMeter270Display::SetValue(double v) {
  const double shown = Shown(v);
  if (shown == value_) return;
  const QRect before = LayoutValid() ? VariablePartRect() : QRect();
  value_ = shown;
  VariablePartChanged(before);
}

void TMeter270Display::SetAngleStart(double v) {
  if (!Assign(angleStart_, v)) return;
  PropertyChanged();
}
void TMeter270Display::SetAngleEnd(double v) {
  if (!Assign(angleEnd_, v)) return;
  PropertyChanged();
}
void TMeter270Display::SetNeedleColour(const QColor& c) {
  if (!Assign(needleColour_, c)) return;
  PropertyChanged();
}
void TMeter270Display::SetValueRedline(int v) {
  if (!Assign(valueRedline_, v)) return;
  PropertyChanged();
}
void TMeter270Display::SetCircleMargin(int v) {
  if (!Assign(circleMargin_, v)) return;
  PropertyChanged();
}
void TMeter270Display::SetArcWidth(int v) {
  if (!Assign(arcWidth_, v)) return;
  PropertyChanged();
}
void TMeter270Display::SetTickWidth(int v) {
  if (!Assign(tickWidth_, v)) return;
  PropertyChanged();
}
void TMeter270Display::SetTickMajorWidth(int v) {
  if (!Assign(tickMajorWidth_, v)) return;
  PropertyChanged();
}
void TMeter270Display::SetTickMinorWidth(int v) {
  if (!Assign(tickMinorWidth_, v)) return;
  PropertyChanged();
}
void TMeter270Display::SetTickIncrement(int v) {
  if (!Assign(tickIncrement_, v)) return;
  PropertyChanged();
}
void TMeter270Display::SetTickIncrementMajor(int v) {
  if (!Assign(tickIncrementMajor_, v)) return;
  PropertyChanged();
}
void TMeter270Display::SetTickIncrementMinor(int v) {
  if (!Assign(tickIncrementMinor_, v)) return;
  PropertyChanged();
}
void TMeter270Display::SetLabelDivider(int v) {
  if (!Assign(labelDivider_, v)) return;
  PropertyChanged();
}
void TMeter270Display::SetNeedleBaseRadius(int v) {
  if (!Assign(needleBaseRadius_, v)) return;
  PropertyChanged();
}

// ---- layout --------------------------------------------------------------------------------

void TMeter270Display::CalcComponentSizes() {
  const int m = Margin();
  const QSize text = Caption().isEmpty() ? QSize(0, 0) : TextExtent(font(), Caption());
  captionRect_.setSize(QSize(text.width() + 2 * m, text.height() + 2 * m));
  componentRect_.setSize(QSize(width() - 2 * m - 2 * circleMargin_, height() - captionRect_.height() - m));
}

void TMeter270Display::CalcComponentPositions() {
  const int m = Margin();
  captionRect_.moveTo((width() - captionRect_.width()) / 2, m);
  componentRect_.moveTo((width() - componentRect_.width()) / 2, captionRect_.height() + circleMargin_);

  const double dialWidth = componentRect_.width();
  cx_ = dialWidth / 2 + componentRect_.x();
  double r = (dialWidth - circleMargin_) / 2;
  // A control wider than it is tall gets a dial that fits its height: find how far below the
  // centre the drawing reaches (the lowest point of the arc, the hub or the needle's tail).
  double lowest = std::max(needleBaseRadius_, 25) / kDesignRadius;
  if (angleEnd_ > angleStart_) {
    for (double a = angleStart_; a < angleEnd_; a += 1.0) lowest = std::max(lowest, std::cos(a * kPi / 180));
    lowest = std::max(lowest, std::cos(angleEnd_ * kPi / 180));
  }
  const double room = height() - m - componentRect_.y() - arcWidth_;
  r = std::min(r, room / (1.0 + lowest));
  r_ = std::max(r, 0.0);
  cy_ = r_ + componentRect_.y();
  scale_ = r_ / kDesignRadius;
}

// ---- drawing -------------------------------------------------------------------------------

void TMeter270Display::DrawCaption(QPainter& canvas) {
  if (Caption().isEmpty()) return;
  canvas.drawText(captionRect_, Qt::AlignCenter, Caption());
}

void TMeter270Display::DrawControl(QPainter& canvas) {
  if (r_ < 2) return;
  const QPointF c(cx_, cy_);
  const double redAngle = valueRedline_ * (angleEnd_ - angleStart_) / Span() + angleStart_;
  const QColor red(255, 0, 0), black(0, 0, 0);

  // Arc, red past the red line.
  {
    QPen pen(black, PenWidth(arcWidth_), Qt::SolidLine, Qt::FlatCap);
    const double split = std::clamp(redAngle, angleStart_, std::max(angleStart_, angleEnd_));
    canvas.setBrush(Qt::NoBrush);
    canvas.setPen(pen);
    canvas.drawPath(ArcPath(c, r_, angleStart_, split));
    pen.setColor(red);
    canvas.setPen(pen);
    canvas.drawPath(ArcPath(c, r_, split, angleEnd_));
  }

  // Ticks and labels.
  QFont labelFont = ValueFont();
  const double labelPixels = QFontInfo(labelFont).pixelSize() * scale_;
  const bool labels = labelPixels >= 6.0;
  if (labels) labelFont.setPixelSize(std::max(1, int(std::lround(labelPixels))));
  canvas.setFont(labelFont);
  const QFontMetricsF fm(labelFont);
  const int divider = labelDivider_ > 0 ? labelDivider_ : 1;
  const qreal dpr = PainterPixelRatio(canvas);
  auto snap = [dpr](double v) { return std::round(v * dpr) / dpr; };

  bool isRed = false;
  auto tick = [&](int64_t v, double length, double width) {
    const double a = AngleOf(double(v));
    canvas.setPen(QPen(isRed ? red : black, PenWidth(width), Qt::SolidLine, Qt::FlatCap));
    canvas.drawLine(At(c, a, r_), At(c, a, r_ - Len(length)));
  };
  const int64_t vMin = ValueMin(), vMax = ValueMax();
  const int64_t inc = tickIncrement_, incMajor = tickIncrementMajor_, incMinor = tickIncrementMinor_;
  const int64_t range = std::max<int64_t>(vMax - vMin, 0);
  const bool doLabelled = inc > 0 && range / inc < kMaxTicks;
  // Ticks closer than 2.5 pixels along the arc would merge; such a kind is left out (only on
  // very small dials).
  const double pixelsPerUnit = r_ * std::fabs(angleEnd_ - angleStart_) * kPi / 180.0 / Span();
  const bool doMajor = doLabelled && incMajor > 0 && range / incMajor < kMaxTicks && incMajor * pixelsPerUnit >= 2.5;
  const bool doMinor = doMajor && incMinor > 0 && range / incMinor < kMaxTicks && incMinor * pixelsPerUnit >= 2.5;
  if (doLabelled) {
    for (int64_t v = vMin; v <= vMax; v += inc) {
      if (v >= valueRedline_) isRed = true;
      tick(v, 12, tickWidth_);
      if (labels) {
        const QString text = QString::number(v / divider);
        const QPointF p = At(c, AngleOf(double(v)), r_ - Len(24));
        const double w = fm.horizontalAdvance(text);
        // Centre the digits (their cap height) on the point.
        const QPointF baseline(snap(p.x() - w / 2), snap(p.y() + fm.capHeight() / 2));
        canvas.setPen(ValueFontColour());
        canvas.drawText(baseline, text);
      }
      if (!doMajor) continue;
      for (int64_t w = v; w <= v + inc && w < vMax; w += incMajor) {
        if (w >= valueRedline_) isRed = true;
        if (w > v) tick(w, 9, tickMajorWidth_);
        if (!doMinor) continue;
        for (int64_t u = w + incMinor; u < w + incMajor && u < vMax; u += incMinor) {
          if (u >= valueRedline_) isRed = true;
          tick(u, 6, tickMinorWidth_);
        }
      }
    }
  }

  // Needle hub.
  const double hub = Len(needleBaseRadius_);
  canvas.setPen(QPen(black, PenWidth(1)));
  canvas.setBrush(Color());
  canvas.drawEllipse(c, hub, hub);
}

void TMeter270Display::NeedlePolygon(double value, QPointF out[4]) const {
  const QPointF c(cx_, cy_);
  const double a = AngleOf(value);
  out[0] = At(c, a - 1, r_ - Len(5));
  out[1] = At(c, a + 1, r_ - Len(5));
  out[2] = At(c, a + 180 - 13, Len(25));
  out[3] = At(c, a + 180 + 13, Len(25));
}

void TMeter270Display::PaintVariablePart(QPainter& canvas) {
  if (r_ < 2) return;
  QPointF needle[4];
  NeedlePolygon(Shown(value_), needle);
  // A fine darker edge (one device pixel) keeps a light needle visible on a light dial.
  QPen edge(needleColour_.darker(170), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  edge.setCosmetic(true);
  canvas.setPen(edge);
  canvas.setBrush(needleColour_);
  canvas.drawPolygon(needle, 4);
  // The hub's cap covers the needle's root.
  const double hub = Len(needleBaseRadius_);
  canvas.setPen(QPen(Qt::black, PenWidth(1)));
  canvas.setBrush(Color());
  canvas.drawEllipse(QPointF(cx_, cy_), hub, hub);
}

QRect TMeter270Display::VariablePartRect() const {
  if (r_ < 2) return QRect();
  QPointF needle[4];
  NeedlePolygon(Shown(value_), needle);
  double x0 = needle[0].x(), x1 = x0, y0 = needle[0].y(), y1 = y0;
  for (const QPointF& p : needle) {
    x0 = std::min(x0, p.x());
    x1 = std::max(x1, p.x());
    y0 = std::min(y0, p.y());
    y1 = std::max(y1, p.y());
  }
  const double hub = Len(needleBaseRadius_) + PenWidth(1);
  x0 = std::min(x0, cx_ - hub);
  x1 = std::max(x1, cx_ + hub);
  y0 = std::min(y0, cy_ - hub);
  y1 = std::max(y1, cy_ + hub);
  return QRectF(QPointF(x0, y0), QPointF(x1, y1)).adjusted(-2, -2, 2, 2).toAlignedRect();
}
