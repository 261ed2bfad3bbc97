#include "widgets/LEDDisplay.h"

#include <QMouseEvent>
#include <QPainter>

TLEDDisplay::TLEDDisplay(QWidget* parent, const QString& name) : TDisplayControl(parent, name) {
  SetColor(palette().color(QPalette::Button));
  ledOutlineColor_ = palette().color(QPalette::ButtonText);
  resize(100, 100);
}

void TLEDDisplay::SetLEDColor(const QColor& c) {
  if (!Assign(ledColor_, c)) return;
  PropertyChanged();
}

void TLEDDisplay::SetLEDOutlineColor(const QColor& c) {
  if (!Assign(ledOutlineColor_, c)) return;
  PropertyChanged();
}

void TLEDDisplay::SetLEDSize(int v) {
  if (!Assign(ledSize_, v)) return;
  PropertyChanged();
}

void TLEDDisplay::SetValue(bool on) {
  if (on == value_) return;
  value_ = on;
  VariablePartChanged(rect());
}

void TLEDDisplay::CalcComponentSizes() {
  const QSize text = Caption().isEmpty() ? QSize(0, 0) : TextExtent(font(), Caption());
  captionRect_.setSize(text);
  const int m = Margin();
  if (CaptionAlign() == alClient)
    componentRect_.setSize(QSize(text.width() + 4 * m, text.height() + 4 * m));
  else
    componentRect_.setSize(QSize(2 * ledSize_, 2 * ledSize_));
}

void TLEDDisplay::CalcComponentPositions() {
  const int cw = width(), ch = height(), m = Margin();
  QRect& cap = captionRect_;
  QRect& lamp = componentRect_;
  switch (CaptionAlign()) {
    case alTop:
      cap.moveTo((cw - cap.width()) / 2, m);
      lamp.moveTo(cw / 2 - ledSize_, cap.y() + cap.height() + m);
      break;
    case alBottom:
      lamp.moveTo(cw / 2 - ledSize_, m);
      cap.moveTo((cw - cap.width()) / 2, lamp.y() + lamp.height() + m);
      break;
    case alLeft:
      cap.moveTo(m, (ch - cap.height()) / 2);
      lamp.moveTo(cap.x() + cap.width() + m, ch / 2 - ledSize_);
      break;
    case alRight:
      lamp.moveTo(m, ch / 2 - ledSize_);
      cap.moveTo(lamp.x() + lamp.width() + m, (ch - cap.height()) / 2);
      break;
    case alClient:
      cap.moveTo((cw - cap.width()) / 2, (ch - cap.height()) / 2);
      break;
    case alNone: break;
  }
}

void TLEDDisplay::PaintVariablePart(QPainter& canvas) {
  canvas.setBrush(value_ ? ledColor_ : Color());
  canvas.setPen(QPen(ledOutlineColor_, 1.0));
  if (CaptionAlign() == alClient) {
    const int a = Margin() + BorderWidth();
    const QRectF box(a + 0.5, a + 0.5, width() - 2 * a - 1, height() - 2 * a - 1);
    // Corner ellipses of (width - 2a) / 2 by (height - a) / 2.
    const double rx = (width() - 2 * a) / 2 / 2.0, ry = (height() - a) / 2 / 2.0;
    if (box.width() > 0 && box.height() > 0) canvas.drawRoundedRect(box, rx, ry);
  } else {
    const QRectF lamp = QRectF(componentRect_).adjusted(0.5, 0.5, -0.5, -0.5);
    if (lamp.width() > 0 && lamp.height() > 0) canvas.drawEllipse(lamp);
  }
  if (!Caption().isEmpty()) {
    canvas.setPen(FontColour());
    canvas.drawText(captionRect_, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, Caption());
  }
}

void TLEDDisplay::mouseReleaseEvent(QMouseEvent* event) {
  TDisplayControl::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    if (OnClick) OnClick(this);
    emit clicked();
  }
}
