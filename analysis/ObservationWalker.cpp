#include "analysis/ObservationWalker.h"

#include <cmath>
#include <limits>

#include "history/History.h"
#include "history/HistorySet.h"
#include "vars/SensorList.h"

// ---------------------------------------------------------------------------------------------
// TSensorTrack

TSensorTrack::TSensorTrack(TDisplayVar& var, const TVarHist* history)
    : var_(var), history_(history), unit_(var.Unit), byRaw_(var.ValueFollowsRaw()) {}

void TSensorTrack::Refresh() {
  if (history_) count_ = history_->Count();
  spanLength_ = 0;  // the span may reach further now
}

void TSensorTrack::LoadSpan(int32_t i) {
  const TVarHist::TSpan span = history_->SpanAt(i, count_);
  spanTimes_ = span.Times;
  spanRaws_ = span.Raws;
  spanStart_ = i;
  spanLength_ = span.Length;
}

int32_t TSensorTrack::Hold(uint32_t ticks) {
  if (cursor_ >= 0 && heldTicks_ > ticks) {
    // Back in time: the last sample not after ticks, by bisection (0 when none is).
    int32_t lo = 0, n = cursor_;
    while (n > 1) {
      const int32_t half = n / 2;
      if (history_->TicksOf(lo + half) <= ticks) lo += half;
      n -= half;
    }
    cursor_ = history_->TicksOf(lo) <= ticks ? lo : -1;
    if (cursor_ >= 0) heldTicks_ = history_->TicksOf(cursor_);
  }
  for (;;) {
    const int32_t next = cursor_ + 1;
    if (next >= count_) break;
    if (next < spanStart_ || next >= spanStart_ + spanLength_) LoadSpan(next);
    const uint32_t* t = spanTimes_ + (next - spanStart_);
    if (*t > ticks) break;
    const uint32_t* last = spanTimes_ + spanLength_ - 1;
    while (t < last && t[1] <= ticks) ++t;
    cursor_ = spanStart_ + static_cast<int32_t>(t - spanTimes_);
    heldTicks_ = *t;
    if (t < last) break;  // the next sample is later
  }
  return cursor_;
}

double TSensorTrack::ValueOfRaw(int32_t i, uint16_t raw) {
  if (!byRaw_) return var_.GetValueAtIndex(unit_, i);
  if (raw >= byRawTable_.size()) byRawTable_.resize(raw + size_t{1}, std::numeric_limits<double>::quiet_NaN());
  double& v = byRawTable_[raw];
  if (std::isnan(v)) v = var_.Convert(unit_, raw);
  return v;
}

uint16_t TSensorTrack::RawAt(int32_t i) const {
  const bool inSpan = i >= spanStart_ && i < spanStart_ + spanLength_;
  return inSpan ? spanRaws_[i - spanStart_] : history_->RawOf(i);
}

uint32_t TSensorTrack::TicksAt(int32_t i) const {
  const bool inSpan = i >= spanStart_ && i < spanStart_ + spanLength_;
  return inSpan ? spanTimes_[i - spanStart_] : history_->TicksOf(i);
}

double TSensorTrack::ValueAt(int32_t i) { return ValueOfRaw(i, RawAt(i)); }

// ---------------------------------------------------------------------------------------------
// TObservationWalker

namespace {
std::unique_ptr<TSensorTrack> Track(const TSensorList& sensors, const THistorySet& recording, uint32_t id) {
  TDisplayVar* var = sensors.FindDisplay(id);
  TRawVar* source = var ? var->Source.load() : nullptr;
  return source ? std::make_unique<TSensorTrack>(*var, recording.HistoryFor(*source)) : nullptr;
}
}  // namespace

TObservationWalker::TObservationWalker(const TSensorList& sensors, const THistorySet& recording, const TTableSpec& spec)
    : spec_(spec) {
  std::vector<uint32_t> ids = {spec.X, spec.Y};
  for (const TCondition& c : spec.Filters) ids.push_back(c.VarId);
  for (uint32_t id : ids) {
    held_.push_back(Track(sensors, recording, id));
    if (!held_.back() || !held_.back()->History()) return;  // nothing could ever be observed
  }
  z_ = Track(sensors, recording, spec.Z);
  if (z_ && !z_->History()) z_.reset();
}

TObservationWalker::~TObservationWalker() = default;

int TObservationWalker::Next(TObservation* out, int max) {
  if (!z_) return 0;
  // Z's count first: every sample the others took up to Z's newest time is published by then.
  z_->Refresh();
  for (auto& h : held_) h->Refresh();
  const TVarHist& zh = *z_->History();
  int n = 0;
  while (n < max && next_ < z_->Count()) {
    const TVarHist::TSpan span = zh.SpanAt(next_, z_->Count());
    const int32_t take = std::min<int32_t>(span.Length, max - n);
    for (int32_t k = 0; k < take; ++k, ++n) {
      TObservation& o = out[n];
      o.Index = next_ + k;
      o.Ticks = span.Times[k];
      Observe(o, span.Raws[k]);
    }
    next_ += take;
  }
  return n;
}

void TObservationWalker::Observe(TObservation& o, uint16_t zRaw) {
  const uint32_t maxAge = spec_.MaxAgeMs * 100;
  o.Fate = TObservationFate::Observed;
  for (auto& h : held_) {
    const int32_t j = h->Hold(o.Ticks);
    if (j < 0)
      o.Fate = TObservationFate::NoSample;
    else if (o.Ticks - h->HeldTicks() > maxAge && o.Fate == TObservationFate::Observed)
      o.Fate = TObservationFate::TooOld;
  }
  if (o.Fate != TObservationFate::Observed) return;
  for (size_t c = 0; c < spec_.Filters.size(); ++c)
    if (!spec_.Filters[c].Holds(held_[2 + c]->HeldValue())) {
      o.Fate = TObservationFate::Filtered;
      return;
    }
  o.X = held_[0]->HeldValue();
  o.Y = held_[1]->HeldValue();
  o.Z = z_->ValueOfRaw(o.Index, zRaw);
}

bool TObservationWalker::At(uint32_t ticks, TObservation& out) {
  if (!z_) return false;
  z_->Refresh();
  for (auto& h : held_) h->Refresh();
  const int32_t i = z_->Hold(ticks);
  if (i < 0) return false;
  out.Index = i;
  out.Ticks = z_->HeldTicks();
  Observe(out, z_->RawAt(i));
  return true;
}
