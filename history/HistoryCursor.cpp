#include "history/HistoryCursor.h"

void THistoryCursor::MoveTo(int32_t i) {
  index_ = i;
  if (i >= 0) {
    ticks_ = history_->TicksOf(i);
    raw_ = history_->RawOf(i);
  }
  if (i + 1 >= count_) {
    spanStart_ = count_;
    span_ = {nullptr, nullptr, 0, 0, nullptr};
    next_ = kNeverTicks;
    return;
  }
  spanStart_ = i + 1;
  span_ = history_->SpanAt(spanStart_, count_);
  next_ = span_.TicksAt(0);
}

void THistoryCursor::Limit(int32_t count) {
  const bool atEnd = next_ == kNeverTicks;
  count_ = count;
  // The held sample stays; the next one may be new.
  if (atEnd && index_ + 1 < count_) MoveTo(index_);
}

void THistoryCursor::Seek(TTicks t) {
  int32_t i = history_->IndexAt(t, count_);
  if (i >= 0 && history_->TicksOf(i) > t) i = -1;
  MoveTo(i);
}
