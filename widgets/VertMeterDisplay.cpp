#include "widgets/VertMeterDisplay.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {
// No scale draws more ticks than this per kind; a finer setting leaves that kind out.
constexpr int64_t kMaxTicks = 5000;
}  // namespace

TVertMeterDisplay::TVertMeterDisplay(QWidget* parent, const QString& name)
    : TDisplayControl(parent, name) {
  tickMajor_.OnChange = [this] { PropertyChanged(); };
  tickMinor_.OnChange = [this] { PropertyChanged(); };
  valueColour_.OnChange = [this] { PropertyChanged(); };
}

double TVertMeterDisplay::Shown(double v) const {
  const int lo = ValueMin(), hi = ValueMax();
  if (std::isnan(v)) return lo;
  if (v < lo) v = lo;
  if (v > hi) v = hi;
  return v;
}

void TVertMeterDisplay::SetValue(double v) {
  const double shown = Shown(v);
  if (shown == value_) return;
  const QRect before = LayoutValid() ? VariablePartRect() : QRect();
  value_ = shown;
  VariablePartChanged(before);
}

void TVertMeterDisplay::SetLineWidth(int v) {
  if (!Assign(lineWidth_, v)) return;
  PropertyChanged();
}
void TVertMeterDisplay::SetPointerSize(int v) {
  if (!Assign(pointerSize_, v)) return;
  PropertyChanged();
}

int TVertMeterDisplay::GetPointerPos(double x) const {
  EnsureLayout();
  const double v = Shown(x);
  const int bottom = scaleTop_ + scaleHeight_;
  const int lo = ValueMin(), hi = ValueMax();
  if (hi <= lo) return bottom;
  const double fraction = (v - lo) / (double(hi) - double(lo));
  return bottom - int(std::trunc(scaleHeight_ * fraction));
}

void TVertMeterDisplay::CalcComponentSizes() {
  const int m = Margin();
  const QSize text = Caption().isEmpty() ? QSize(0, 0) : TextExtent(font(), Caption());
  captionRect_.setSize(QSize(text.width() + 2 * m, text.height() + 2 * m));
  // Labels that would not fit beside the ticks get a smaller font, down to 6 pixels; below that
  // the scale goes without them.
  labelFont_ = ValueFont();
  if (labelFont_.pixelSize() <= 0) labelFont_.setPixelSize(QFontInfo(labelFont_).pixelSize());
  const int room = width() - (pointerSize_ + 3 * m + lineWidth_ + tickMajor_.Width()) - m;
  auto widest = [&](const QFont& f) {
    return std::max(TextExtent(f, QString::number(ValueMax())).width(), TextExtent(f, QString::number(ValueMin())).width());
  };
  while (labelFont_.pixelSize() > 6 && widest(labelFont_) > room) labelFont_.setPixelSize(labelFont_.pixelSize() - 1);
  labelsShown_ = widest(labelFont_) <= room;
  labelHeight_ = labelsShown_ ? TextExtent(labelFont_, QString::number(ValueMax())).height() : 0;
  span_ = int(std::clamp<int64_t>(int64_t(ValueMax()) - ValueMin(), 1, INT32_MAX));
}

void TVertMeterDisplay::CalcComponentPositions() {
  const int m = Margin();
  captionRect_.moveTo((width() - captionRect_.width()) / 2, m);
  scaleTop_ = m + captionRect_.height() + labelHeight_ / 2;
  const int componentHeight = height() - scaleTop_ - m;
  barX_ = pointerSize_ + 2 * m;
  scaleHeight_ = std::max(componentHeight - labelHeight_, 0);
  componentRect_ = QRect(barX_, scaleTop_, width() - barX_, componentHeight);
}

void TVertMeterDisplay::DrawCaption(QPainter& canvas) {
  if (Caption().isEmpty()) return;
  canvas.drawText(captionRect_, Qt::AlignCenter, Caption());
}

void TVertMeterDisplay::DrawControl(QPainter& canvas) {
  canvas.setRenderHint(QPainter::Antialiasing, false);
  const int m = Margin();
  const int64_t range = std::max<int64_t>(int64_t(ValueMax()) - ValueMin(), 0);
  auto rectangle = [&](int x1, int y1, int x2, int y2, const QColor& c) {
    canvas.fillRect(QRect(QPoint(std::min(x1, x2), std::min(y1, y2)),
                          QPoint(std::max(x1, x2) - 1, std::max(y1, y2) - 1)),
                    c);
  };

  // Colour bands.
  const int bandLeft = barX_ + lineWidth_;
  const int bandRight = bandLeft + tickMajor_.Width() / 2;
  for (int i = 0; i < 3; ++i) {
    if (valueColour_.From(i) == valueColour_.To(i)) continue;
    rectangle(bandLeft, GetPointerPos(valueColour_.From(i)), bandRight, GetPointerPos(valueColour_.To(i)),
              valueColour_.Colour(i));
  }

  // The bar.
  rectangle(barX_, scaleTop_, barX_ + lineWidth_, scaleTop_ + scaleHeight_, Qt::black);

  // Ticks closer together than their own height plus a pixel would merge into a block: such a
  // kind is left out (only on scales too short for it).
  auto fits = [&](const TValueTick& t) {
    return t.Increment() > 0 && range / t.Increment() < kMaxTicks &&
           (range == 0 || double(scaleHeight_) * t.Increment() / double(range) >= t.Height() + 1);
  };

  // Major ticks with their labels; each tick is centred on its value's line.
  if (fits(tickMajor_)) {
    canvas.setFont(labelFont_);
    const QFontMetrics fm(labelFont_);
    const int labelX = barX_ + lineWidth_ + tickMajor_.Width() + m;
    int lastLabelTop = INT32_MAX;
    for (int64_t v = ValueMin(); v <= ValueMax(); v += tickMajor_.Increment()) {
      const int y = GetPointerPos(double(v));
      const int h = tickMajor_.Height();
      rectangle(barX_ + lineWidth_, y - h / 2, barX_ + lineWidth_ + tickMajor_.Width(), y - h / 2 + h, Qt::black);
      // Labels run upwards; one that would overlap the previous is left out.
      const int top = y - labelHeight_ / 2;
      if (labelsShown_ && top + labelHeight_ <= lastLabelTop) {
        const QString text = QString::number(v);
        canvas.setPen(ValueFontColour());
        canvas.drawText(QPoint(labelX, top + fm.ascent()), text);
        lastLabelTop = top;
      }
    }
  }

  // Minor ticks.
  if (tickMinor_.Increment() >= 1 && fits(tickMinor_)) {
    for (int64_t v = ValueMin(); v <= ValueMax(); v += tickMinor_.Increment()) {
      const int y = GetPointerPos(double(v));
      const int h = tickMinor_.Height();
      rectangle(barX_, y - h / 2, barX_ + lineWidth_ + tickMinor_.Width(), y - h / 2 + h, Qt::black);
    }
  }
}

void TVertMeterDisplay::PaintVariablePart(QPainter& canvas) {
  const double y = GetPointerPos(value_) + 0.5;
  const double x = barX_ + 0.5;
  const double p = pointerSize_;
  const QPointF triangle[3] = {{x, y}, {x - p, y - p}, {x - p, y + p}};
  canvas.setPen(QPen(Qt::black, 1.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  canvas.setBrush(QColor(0, 255, 0));
  canvas.drawPolygon(triangle, 3);
}

QRect TVertMeterDisplay::VariablePartRect() const {
  const int y = GetPointerPos(value_);
  // The outline's mitred tip reaches past the bar's edge.
  return QRect(barX_ - pointerSize_ - 2, y - pointerSize_ - 2, pointerSize_ + 6, 2 * pointerSize_ + 5);
}
