#include "widgets/RepeatButton.h"

#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QTimer>

TRepeatButton::TRepeatButton(QWidget* parent) : QToolButton(parent) {
  setAutoRaise(true);
  setFocusPolicy(Qt::NoFocus);
}

void TRepeatButton::SetTimeBtnState(TTimeBtnState s) {
  timeBtnState_ = s;
  update();
}

void TRepeatButton::mousePressEvent(QMouseEvent* event) {
  QToolButton::mousePressEvent(event);
  if (!(timeBtnState_ & tbAllowTimer) || !isDown()) return;
  if (!timer_) {
    timer_ = new QTimer(this);
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &TRepeatButton::TimerExpired);
  }
  timer_->start(initialRepeatDelay_);
}

void TRepeatButton::TimerExpired() {
  if (!timer_) return;
  if (timer_->interval() != repeatDelay_) timer_->setInterval(repeatDelay_);
  if (!isDown()) return;
  try {
    emit clicked(isChecked());
  } catch (...) {
    timer_->stop();
    throw;
  }
}

void TRepeatButton::mouseReleaseEvent(QMouseEvent* event) {
  QToolButton::mouseReleaseEvent(event);
  if (timer_) timer_->stop();
}

void TRepeatButton::paintEvent(QPaintEvent* event) {
  QToolButton::paintEvent(event);
  if (!(timeBtnState_ & tbFocusRect)) return;
  QStylePainter p(this);
  QStyleOptionFocusRect focus;
  focus.initFrom(this);
  focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_HasFocus;
  focus.rect = rect().adjusted(3, 3, -3, -3);
  if (isDown()) focus.rect.translate(1, 1);
  p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
}
