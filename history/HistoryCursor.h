#pragma once
// A reader's place in one history, moved by unwrapped time (history/Ticks.h): it holds the
// latest sample at or before the time last asked (sample and hold) among the samples published
// when it last took the count. Forward it steps sample by sample through the block it is in, so a
// pass in time order costs a comparison a sample; a time before the held sample, or far after it,
// is found by bisection.
//
// Threads: a cursor belongs to one reader; the history's appender may go on meanwhile, and the
// cursor sees the new samples after the next Refresh.
#include <cstdint>

#include "history/History.h"

class THistoryCursor {
 public:
  THistoryCursor() = default;
  // Over the samples published now (none without a history).
  explicit THistoryCursor(const TVarHist* history) : history_(history) { Refresh(); }
  // Over the first count samples.
  THistoryCursor(const TVarHist* history, int32_t count) : history_(history) { Limit(count); }

  const TVarHist* History() const { return history_; }
  int32_t Count() const { return count_; }
  // Takes the count published now.
  void Refresh() {
    const int32_t count = history_ ? history_->Count() : 0;
    if (count != count_) Limit(count);
  }

  // The sample held: its index (-1 before the first), unwrapped time and raw value.
  int32_t Index() const { return index_; }
  bool Holds() const { return index_ >= 0; }
  TTicks Ticks() const { return ticks_; }
  uint16_t Raw() const { return raw_; }
  // The time of the sample after the held one; kNeverTicks when there is none.
  TTicks NextTicks() const { return next_; }

  // Onto the next sample; false, staying, when there is none.
  bool Step() {
    if (next_ == kNeverTicks) return false;
    ++index_;
    int32_t k = index_ - spanStart_;
    ticks_ = next_;
    raw_ = span_.Raws[k];
    if (index_ + 1 >= count_) {
      next_ = kNeverTicks;
      return true;
    }
    if (++k >= span_.Length) {
      spanStart_ = index_ + 1;
      span_ = history_->SpanAt(spanStart_, count_);
      k = 0;
    }
    next_ = span_.TicksAt(k);
    return true;
  }
  // Onto the sample before; false, staying, before the first.
  bool Back() {
    if (index_ < 0) return false;
    MoveTo(index_ - 1);
    return true;
  }
  // Holds the latest sample at or before t; its index, or -1 when every sample is later.
  int32_t HoldAt(TTicks t) {
    if (index_ >= 0 && ticks_ > t) {
      Seek(t);
    } else {
      // A few steps on, then by bisection.
      for (int steps = 0; next_ <= t; ++steps) {
        if (steps == kStepsBeforeSeek) {
          Seek(t);
          break;
        }
        Step();
      }
    }
    return index_;
  }
  // Onto sample i (-1: before the first); i below the count.
  void MoveTo(int32_t i);

  // For a reader with a fast path of its own: the samples from the one after the held one to the
  // end of its block (Length 0 at the end), the first of them at index SpanStart().
  const TVarHist::TSpan& Span() const { return span_; }
  int32_t SpanStart() const { return spanStart_; }

 private:
  static constexpr int kStepsBeforeSeek = 32;
  void Limit(int32_t count);
  void Seek(TTicks t);

  const TVarHist* history_ = nullptr;
  int32_t count_ = 0;
  int32_t index_ = -1;
  TTicks ticks_ = 0;
  uint16_t raw_ = 0;
  TTicks next_ = kNeverTicks;
  // The samples from spanStart_ on in one block; sample index_ + 1 (the next) is among them.
  TVarHist::TSpan span_{nullptr, nullptr, 0, 0, nullptr};
  int32_t spanStart_ = 0;
};
