#pragma once
// The observations of a table: every sample of Z's source is one, at its sample time t. X, Y and
// the filter sensors take their latest sample at or before t (sample and hold); the observation is
// skipped when one of them has no such sample or when that sample is older than the maximum age,
// and it is filtered out when a condition does not hold.
//
// The walker reads a recording's histories while the poll thread may still append to them: each
// walk takes the counts published at that moment (Z's first, so every sample of the others up to
// Z's newest time is there) and goes on from where the last walk stopped; the poll thread never
// waits for it. A sensor computed from more than its own sample (gear, duty cycle, ...) is read
// through the catalogue, so the recording must be the context's current one for those.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "analysis/TableSpec.h"
#include "history/HistoryCursor.h"
#include "vars/SensorList.h"

class THistorySet;

enum class TObservationFate : uint8_t {
  Observed,  // X, Y and Z hold values and every condition holds
  NoSample,  // X, Y or a filter sensor has no sample at or before t
  TooOld,    // ... or that sample is older than the maximum age
  Filtered,  // a condition does not hold
};

struct TObservation {
  int32_t Index = 0;  // the sample of Z
  TTicks Ticks = 0;   // its time, unwrapped ticks of 10 us since the recording started
  TObservationFate Fate = TObservationFate::Observed;
  int Cell = -1;               // when observed: cy x columns + cx, or -1 with X or Y outside the edges
  double X = 0, Y = 0, Z = 0;  // when observed
};

// One display sensor over one history: the value of a sample, the cell of an axis it falls in, and
// the latest sample at or before a time, held by a history cursor.
class TSensorTrack {
 public:
  // axis: the edges whose cells HeldCell gives, each multiplied by scale (1 across, the columns
  // down, so a table's cell is the sum of its X and Y cells); none for a sensor on no axis.
  TSensorTrack(TDisplayVar& var, const TVarHist* history, const TAxisEdges* axis = nullptr, int scale = 1);

  // The cell of a value outside the edges: so far below zero that the sum of two cells is
  // negative whenever one of them is outside.
  static constexpr int32_t kOutside = -(1 << 30);

  const TVarHist* History() const { return cursor_.History(); }
  // Takes the count the history has published now.
  void Refresh() { cursor_.Refresh(); }
  int32_t Count() const { return cursor_.Count(); }

  // The latest sample at or before t among those published at the last Refresh; -1 for none.
  int32_t Hold(TTicks t) { return cursor_.HoldAt(t); }
  TTicks HeldTicks() const { return cursor_.Ticks(); }
  double HeldValue() { return byRaw_ ? ValueOfRaw(cursor_.Raw()) : ValueAt(cursor_.Index()); }
  // The axis cell of the held sample, scaled; kOutside outside.
  int32_t HeldCell() {
    if (!byRaw_) return Placed(axis_->CellOf(ValueAt(cursor_.Index())));
    const uint16_t raw = cursor_.Raw();
    if (raw >= cells_.size()) Extend(raw);
    return cells_[raw];
  }
  THistoryCursor& Cursor() { return cursor_; }

  // The value alone gives the sample's value (and cell): then these tables by raw value serve.
  bool ByRaw() const { return byRaw_; }
  // Converts every raw value among raws[0 .. n - 1] ahead: the tables by raw value below then
  // hold them.
  void Cover(const uint16_t* raws, int32_t n);
  // The value and the axis cell (scaled) by raw value; valid until the next Cover or Extend.
  const double* Values() const { return values_.data(); }
  const int32_t* Cells() const { return cells_.data(); }

  // A track's place in a plain walk, with the samples of one block as plain arrays: sample Next
  // of the block is the next, Next - 1 the held one (none while Next is 0). Base is the block's
  // first index, End its published length. Sample k is at Offset + Times[k] where Plain.
  struct TRun {
    const uint32_t* Times = nullptr;
    const uint16_t* Raws = nullptr;
    int32_t Next = 0, End = 0, Base = 0;
    TTicks Offset = 0;
    bool Plain = true;
  };
  // The run at the cursor: the held sample in its block (covered).
  TRun RunAtCursor();
  // The cursor at a run.
  void SetCursor(const TRun& run);
  // The run of the block starting at sample `first` when there is one and its first sample is at
  // or before t (then holding that sample; covered); else one without Times.
  [[gnu::noinline]] TRun BlockFrom(int32_t first, TTicks t);
  // Whether no two neighbours in a run's block lie more than gap apart.
  bool Close(const TRun& run, uint64_t gap) const {
    const uint32_t step = run.Times ? History()->LargestStepAt(run.Base, Count()) : 0;
    return step != TVarHist::Irregular && step <= gap;
  }

  double ValueAt(int32_t i);
  uint16_t RawAt(int32_t i) const { return History()->RawOf(i); }
  // The value of sample i whose raw value is raw.
  double ValueOf(int32_t i, uint16_t raw) { return byRaw_ ? ValueOfRaw(raw) : ValueAt(i); }

 private:
  int32_t Placed(int cell) const { return cell < 0 ? kOutside : cell * scale_; }
  double ValueOfRaw(uint16_t raw) {
    if (raw >= values_.size()) Extend(raw);
    return values_[raw];
  }
  // Converts the raw values up to raw (at least), once each.
  void Extend(uint16_t raw);

  TDisplayVar& var_;
  const TAxisEdges* axis_;
  int32_t scale_;
  uint8_t unit_;
  bool byRaw_;                  // the value is the conversion of the sample alone
  std::vector<double> values_;  // by raw value, up to the largest seen yet
  std::vector<int32_t> cells_;  // the axis cell (scaled) by raw value, as far as values_
  THistoryCursor cursor_;
  TDisplayVar::TReadState state_;  // for values that follow from the samples before
};

class TObservationWalker {
 public:
  // Over the recording's histories of the table's sensors. Without a history of Z (or with a sensor
  // the catalogue does not know) there is nothing to walk; X, Y or a filter sensor without one
  // leaves every sample of Z without a sample to hold.
  TObservationWalker(const TSensorList& sensors, const THistorySet& recording, const TTableSpec& spec);
  ~TObservationWalker();
  TObservationWalker(const TObservationWalker&) = delete;
  TObservationWalker& operator=(const TObservationWalker&) = delete;

  // Calls each(const TObservation&) for every sample of Z published since the last walk, in order.
  // Without WithXY an observation's X and Y are not filled in (its cell is).
  template <bool WithXY = true, typename F>
  void Walk(F&& each);
  // The same walk as Walk<false> for a caller that only files observations in cells: calls
  // cells.Add(int32_t cell, double z) with the cell (cy x columns + cx) of an observation in one,
  // else with -1 - its fate (so -1: observed outside the edges; then z is meaningless). Cells is
  // copied for the walk and back, so it should be small.
  template <typename S>
  void WalkCells(S& cells);
  // Z samples published but not walked yet.
  int32_t Unwalked() const { return z_ ? z_->History()->Count() - next_ : 0; }
  // The observation of the latest sample of Z at or before ticks (among those published); false
  // when Z has none. Independent of Walk.
  bool At(TTicks ticks, TObservation& out);

 private:
  void Refresh();
  // An observation's code for WalkCells.
  static int32_t CellCode(const TObservation& o) {
    return o.Fate == TObservationFate::Observed ? o.Cell : -1 - static_cast<int32_t>(o.Fate);
  }
  // The plain walk serves when no filter is set and X, Y and Z take their values from their raw
  // values alone: cells and values through tables by raw value, X and Y held by an index into
  // their block, times compared as stored. It needs the blocks of Z, X and Y it reads to be plain
  // and on one offset (the tick counter's turns): where they are not (around a wrap of the
  // counter, or where a time fell), it stops and leaves the rest of Z's block to the general walk
  // (slowUntil_).
  bool Plain() const { return filters_.empty() && x_->ByRaw() && y_->ByRaw() && z_->ByRaw(); }
  // The general walk of Z samples next_ .. end - 1, every sensor held by its history cursor.
  template <bool WithXY, typename F>
  void WalkGeneral(int32_t end, F& each);
  // Calls each(o) for Z samples from next_ on and returns each (so a small `each` taken by value
  // keeps its fields in registers). ToCells: each is a cells object as WalkCells takes, called
  // with the codes WalkCells gives.
  template <bool WithXY, bool ToCells = false, typename F>
  F WalkPlain(F each);
  // Fills in the observation of Z sample o.Index at o.Ticks, X, Y and the filters held by their
  // cursors.
  template <bool WithXY = true>
  void Observe(TObservation& o, uint16_t zRaw) {
    o.Fate = TObservationFate::Observed;
    Hold(*x_, o);
    Hold(*y_, o);
    for (TSensorTrack& f : filters_) Hold(f, o);
    if (o.Fate != TObservationFate::Observed) return;
    for (size_t c = 0; c < filters_.size(); ++c)
      if (!spec_.Filters[c].Holds(filters_[c].HeldValue())) {
        o.Fate = TObservationFate::Filtered;
        return;
      }
    o.Cell = std::max(x_->HeldCell() + y_->HeldCell(), -1);
    if (WithXY) {
      o.X = x_->HeldValue();
      o.Y = y_->HeldValue();
    }
    o.Z = z_->ValueOf(o.Index, zRaw);
  }
  void Hold(TSensorTrack& track, TObservation& o) const {
    if (track.Hold(o.Ticks) < 0)
      o.Fate = TObservationFate::NoSample;
    else if (o.Ticks - track.HeldTicks() > maxAgeTicks_ && o.Fate == TObservationFate::Observed)
      o.Fate = TObservationFate::TooOld;
  }

  TTableSpec spec_;
  TTicks maxAgeTicks_;
  int columns_;
  std::optional<TSensorTrack> z_, x_, y_;
  std::vector<TSensorTrack> filters_;  // one per condition
  int32_t next_ = 0;
  int32_t slowUntil_ = 0;  // Z samples before this go the general walk
};

template <bool WithXY, typename F>
void TObservationWalker::WalkGeneral(int32_t end, F& each) {
  TObservation o;
  while (next_ < end) {
    const TVarHist::TSpan span = z_->History()->SpanAt(next_, end);
    for (int32_t k = 0; k < span.Length; ++k) {
      o.Index = next_ + k;
      o.Ticks = span.TicksAt(k);
      Observe<WithXY>(o, span.Raws[k]);
      each(static_cast<const TObservation&>(o));
    }
    next_ += span.Length;
  }
}

template <bool WithXY, typename F>
void TObservationWalker::Walk(F&& each) {
  if (!z_) return;
  Refresh();
  const int32_t count = z_->Count();
  if (!Plain()) {
    WalkGeneral<WithXY>(count, each);
    return;
  }
  const auto call = [&each](const TObservation& o) { each(o); };
  while (next_ < count) {
    if (next_ < slowUntil_) {
      WalkGeneral<WithXY>(std::min(slowUntil_, count), each);
      continue;
    }
    WalkPlain<WithXY>(call);
  }
}

template <typename S>
void TObservationWalker::WalkCells(S& cells) {
  if (!z_) return;
  Refresh();
  const auto file = [&cells](const TObservation& o) { cells.Add(CellCode(o), o.Z); };
  const int32_t count = z_->Count();
  if (!Plain()) {
    WalkGeneral<false>(count, file);
    return;
  }
  while (next_ < count) {
    if (next_ < slowUntil_) {
      WalkGeneral<false>(std::min(slowUntil_, count), file);
      continue;
    }
    // The walk files into a copy of its own, passed by value, so its figures can stay in registers.
    cells = WalkPlain<false, true>(std::move(cells));
  }
}

template <bool WithXY, bool ToCells, typename F>
F TObservationWalker::WalkPlain(F each) {
  const int32_t count = z_->Count();
  // X and Y held at the first time, then walked on by index into their blocks.
  const TTicks first = z_->History()->TicksOf(next_);
  x_->Hold(first);
  y_->Hold(first);
  TSensorTrack::TRun xr = x_->RunAtCursor(), yr = y_->RunAtCursor();
  // Each run's offset, or -1 (no offset) for a block that is not plain.
  TTicks xOffset = xr.Plain ? xr.Offset : -1, yOffset = yr.Plain ? yr.Offset : -1;
  const uint32_t* xTimes = xr.Times;
  const uint16_t* xRaws = xr.Raws;
  // Indices as wide as pointers, so the loop does not widen them for each use.
  ptrdiff_t xNext = xr.Next, xEnd = xr.End;
  int32_t xBase = xr.Base;
  const uint32_t* yTimes = yr.Times;
  const uint16_t* yRaws = yr.Raws;
  ptrdiff_t yNext = yr.Next, yEnd = yr.End;
  int32_t yBase = yr.Base;
  const int32_t* xCells = x_->Cells();
  const int32_t* yCells = y_->Cells();
  const double* xValues = x_->Values();
  const double* yValues = y_->Values();
  const uint64_t maxAge = static_cast<uint64_t>(maxAgeTicks_);
  // Whether no two neighbours in the present blocks of X and Y lie further apart than maxAge + 1.
  const uint64_t gapLimit = maxAge + 1;
  bool xYoung = x_->Close(xr, gapLimit);
  bool yYoung = y_->Close(yr, gapLimit);
  TObservation o;
  // Set where a block of Z, X or Y is not plain on Z's offset: the rest of Z's block then goes
  // the general walk.
  bool foreign = false;
  TTicks zOffset = 0;
  // The time before which X and Y hold a sample of their present block without reaching its
  // last one: below it, holding needs no look at the next block.
  const auto limitOf = [](const uint32_t* times, ptrdiff_t next, ptrdiff_t end) {
    return next < end ? times[end - 1] : 0;
  };
  // A track held at t, on into its next blocks where they have a sample at or before t.
  const auto hold = [&](TSensorTrack& track, const uint32_t*& times, const uint16_t*& raws, ptrdiff_t& next,
                        ptrdiff_t& end, int32_t& base, TTicks& offset, const int32_t*& cells, const double*& values,
                        bool& young, uint32_t t) __attribute__((always_inline)) {
    for (;;) {
      if (next == end) {
        const TSensorTrack::TRun run = track.BlockFrom(base + static_cast<int32_t>(end), zOffset + t);
        if (!run.Times) break;
        if (!run.Plain || run.Offset != zOffset) {
          foreign = true;
          break;
        }
        times = run.Times, raws = run.Raws, next = run.Next, end = run.End, base = run.Base, offset = run.Offset;
        cells = track.Cells(), values = track.Values();
        young = track.Close(run, gapLimit);
        continue;
      }
      if (times[next] > t) break;
      ++next;
    }
  };
  while (next_ < count && !foreign) {
    const TVarHist::TSpan span = z_->History()->SpanAt(next_, count);
    zOffset = span.Offset;
    if (!span.Plain() || (xTimes && xOffset != zOffset) || (yTimes && yOffset != zOffset)) {
      foreign = true;
      break;
    }
    z_->Cover(span.Raws, span.Length);
    const double* zValues = z_->Values();
    const uint32_t* zTimes = span.Times;
    const uint16_t* zRaws = span.Raws;
    const ptrdiff_t length = span.Length;
    // Z sample k at t, X and Y holding a sample each.
    const auto observe = [&](ptrdiff_t k, uint32_t t) __attribute__((always_inline)) {
      const uint16_t xRaw = xRaws[xNext - 1], yRaw = yRaws[yNext - 1], zRaw = zRaws[k];
      const TObservationFate fate = (t - xTimes[xNext - 1] > maxAge) | (t - yTimes[yNext - 1] > maxAge)
                                        ? TObservationFate::TooOld
                                        : TObservationFate::Observed;
      if constexpr (ToCells) {
        // Observed or not, the cell's figures are looked up (they are there for every sample
        // held): the code then takes one or the other without a branch.
        const int32_t cell = std::max(xCells[xRaw] + yCells[yRaw], -1);
        each.Add(fate == TObservationFate::Observed ? cell : -1 - static_cast<int32_t>(fate), zValues[zRaw]);
      } else {
        o.Index = next_ + static_cast<int32_t>(k);
        o.Ticks = zOffset + t;
        o.Fate = fate;
        if (fate == TObservationFate::Observed) {
          o.Cell = std::max(xCells[xRaw] + yCells[yRaw], -1);
          if (WithXY) {
            o.X = xValues[xRaw];
            o.Y = yValues[yRaw];
          }
          o.Z = zValues[zRaw];
        }
        each(static_cast<const TObservation&>(o));
      }
    };
    ptrdiff_t k = 0;
    while (k < length) {
      // One sample the long way: on into the next blocks of X and Y where they have one.
      const uint32_t t = zTimes[k];
      hold(*x_, xTimes, xRaws, xNext, xEnd, xBase, xOffset, xCells, xValues, xYoung, t);
      hold(*y_, yTimes, yRaws, yNext, yEnd, yBase, yOffset, yCells, yValues, yYoung, t);
      if (foreign) [[unlikely]]
        break;
      const uint32_t limit = std::min(limitOf(xTimes, xNext, xEnd), limitOf(yTimes, yNext, yEnd));
      if (xNext == 0 || yNext == 0) [[unlikely]] {
        // X or Y holds none: no index before the held one to read.
        const TObservationFate fate = TObservationFate::NoSample;
        if constexpr (ToCells) {
          each.Add(-1 - static_cast<int32_t>(fate), 0.0);
        } else {
          o.Index = next_ + static_cast<int32_t>(k);
          o.Ticks = zOffset + t;
          o.Fate = fate;
          each(static_cast<const TObservation&>(o));
        }
      } else {
        observe(k, t);
      }
      // Then the samples before the limit, found before they are walked: there X and Y hold a
      // sample each and do not reach the last of their block (the limit is 0 for a track
      // without one).
      ++k;
      const ptrdiff_t stop = std::lower_bound(zTimes + k, zTimes + length, limit) - zTimes;
      if (stop <= k) continue;
      if constexpr (ToCells) {
        // A piece at a time, first the samples' codes and then their filing: each loop alone
        // keeps its figures in registers, which both at once do not.
        constexpr ptrdiff_t kPiece = 128;
        int32_t codes[kPiece];
        // Where no two neighbours in the blocks of X and Y lie further apart than the maximum
        // age and one tick, no sample they hold is too old: the ages need no look.
        const bool young = xYoung && yYoung;
        while (k < stop) {
          const ptrdiff_t n = std::min(stop - k, kPiece);
          const auto code = [&](auto aged) __attribute__((always_inline)) {
            for (ptrdiff_t i = 0; i < n; ++i) {
              const uint32_t tk = zTimes[k + i];
              while (xTimes[xNext] <= tk) ++xNext;
              while (yTimes[yNext] <= tk) ++yNext;
              const int32_t cell = std::max(xCells[xRaws[xNext - 1]] + yCells[yRaws[yNext - 1]], -1);
              if constexpr (decltype(aged)::value) {
                const bool old = (tk - xTimes[xNext - 1] > maxAge) | (tk - yTimes[yNext - 1] > maxAge);
                codes[i] = old ? -1 - static_cast<int32_t>(TObservationFate::TooOld) : cell;
              } else {
                codes[i] = cell;
              }
            }
          };
          if (young)
            code(std::false_type{});
          else
            code(std::true_type{});
          for (ptrdiff_t i = 0; i < n; ++i) each.Add(codes[i], zValues[zRaws[k + i]]);
          k += n;
        }
        continue;
      }
      // No call in this loop, so the caller's figures stay in registers.
      for (; k < stop; ++k) {
        const uint32_t tk = zTimes[k];
        while (xTimes[xNext] <= tk) ++xNext;
        while (yTimes[yNext] <= tk) ++yNext;
        observe(k, tk);
      }
    }
    next_ += static_cast<int32_t>(k);
  }
  if (foreign) slowUntil_ = std::min(count, next_ - next_ % TVarHist::BlockSamples + TVarHist::BlockSamples);
  x_->SetCursor({xTimes, xRaws, static_cast<int32_t>(xNext), static_cast<int32_t>(xEnd), xBase});
  y_->SetCursor({yTimes, yRaws, static_cast<int32_t>(yNext), static_cast<int32_t>(yEnd), yBase});
  return each;
}
