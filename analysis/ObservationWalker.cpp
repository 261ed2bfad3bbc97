#include "analysis/ObservationWalker.h"

#include <algorithm>
#include <cstring>

#include "history/HistorySet.h"
#include "vars/SensorList.h"

// ---------------------------------------------------------------------------------------------
// TSensorTrack

TSensorTrack::TSensorTrack(TDisplayVar& var, const TVarHist* history, const TAxisEdges* axis, int scale)
    : var_(var), axis_(axis), scale_(scale), unit_(var.Unit), byRaw_(var.ValueFollowsRaw()), cursor_(history) {}

void TSensorTrack::Extend(uint16_t raw) {
  // Up to the largest raw value seen, and at least 256 entries: a one-byte sensor needs no more.
  const size_t from = values_.size();
  values_.resize(std::min<size_t>(65536, std::max<size_t>({raw + size_t{1}, 2 * from, 256})));
  cells_.resize(values_.size());
  for (size_t r = from; r < values_.size(); ++r) {
    values_[r] = var_.ConvertRecorded(unit_, static_cast<int32_t>(r));
    cells_[r] = Placed(axis_ ? axis_->CellOf(values_[r]) : -1);
  }
}

void TSensorTrack::Cover(const uint16_t* raws, int32_t n) {
  // The bits of every raw value ORed eight at a time in a vector: no raw value is larger than
  // them, so only when they reach past the tables is the largest one looked for.
  using TEight = uint16_t __attribute__((vector_size(16)));
  TEight bits8 = {};
  int32_t k = 0;
  for (; k + 8 <= n; k += 8) {
    TEight v;
    std::memcpy(&v, raws + k, sizeof v);
    bits8 |= v;
  }
  uint16_t bits = 0;
  for (int j = 0; j < 8; ++j) bits |= bits8[j];
  for (; k < n; ++k) bits |= raws[k];
  if (bits < values_.size()) return;
  Extend(n ? *std::max_element(raws, raws + n) : 0);
}

TSensorTrack::TRun TSensorTrack::RunAtCursor() {
  if (values_.empty()) Extend(0);  // tables to point at
  TRun run;
  const int32_t i = cursor_.Index();
  if (i < 0) return run;
  run.Base = i - i % TVarHist::BlockSamples;
  const TVarHist::TSpan span = History()->SpanAt(run.Base, Count());
  run.Times = span.Times;
  run.Raws = span.Raws;
  run.End = span.Length;
  run.Next = i - run.Base + 1;
  run.Offset = span.Offset;
  run.Plain = span.Plain();
  Cover(run.Raws, run.End);
  return run;
}

void TSensorTrack::SetCursor(const TRun& run) { cursor_.MoveTo(run.Next == 0 ? -1 : run.Base + run.Next - 1); }

TSensorTrack::TRun TSensorTrack::BlockFrom(int32_t first, TTicks t) {
  if (first >= Count()) return {};
  const TVarHist::TSpan span = History()->SpanAt(first, Count());
  if (span.TicksAt(0) > t) return {};
  Cover(span.Raws, span.Length);
  return {span.Times, span.Raws, 1, span.Length, first, span.Offset, span.Plain()};
}

double TSensorTrack::ValueAt(int32_t i) {
  if (byRaw_) return ValueOfRaw(History()->RawOf(i));
  return var_.GetValueAtIndex(unit_, i, state_);
}

// ---------------------------------------------------------------------------------------------
// TObservationWalker

namespace {
// The track of a display sensor over its source's history in the recording, which may have none
// (then the sensor never has a sample to hold); false for a sensor the catalogue does not know.
bool Open(std::optional<TSensorTrack>& track, const TSensorList& sensors, const THistorySet& recording, uint32_t id,
          const TAxisEdges* axis = nullptr, int scale = 1) {
  TDisplayVar* var = sensors.FindDisplay(id);
  if (!var) return false;
  track.emplace(*var, var->HistoryIn(recording), axis, scale);
  return true;
}
}  // namespace

TObservationWalker::TObservationWalker(const TSensorList& sensors, const THistorySet& recording, const TTableSpec& spec)
    : spec_(spec), maxAgeTicks_(TicksFromMs(spec.MaxAgeMs)), columns_(spec.XEdges.Cells()) {
  // Without a sensor of the catalogue's nothing is walked: then Z stays unopened.
  if (!Open(x_, sensors, recording, spec_.X, &spec_.XEdges) || !Open(y_, sensors, recording, spec_.Y, &spec_.YEdges, columns_))
    return;
  for (const TCondition& c : spec_.Filters) {
    std::optional<TSensorTrack> f;
    if (!Open(f, sensors, recording, c.VarId)) return;
    filters_.push_back(std::move(*f));
  }
  if (Open(z_, sensors, recording, spec_.Z) && !z_->History()) z_.reset();
}

TObservationWalker::~TObservationWalker() = default;

void TObservationWalker::Refresh() {
  // Z's count first: every sample the others took up to Z's newest time is published by then.
  z_->Refresh();
  x_->Refresh();
  y_->Refresh();
  for (TSensorTrack& f : filters_) f.Refresh();
}

bool TObservationWalker::At(TTicks ticks, TObservation& out) {
  if (!z_) return false;
  Refresh();
  const int32_t i = z_->Hold(ticks);
  if (i < 0) return false;
  out.Index = i;
  out.Ticks = z_->HeldTicks();
  Observe(out, z_->RawAt(i));
  return true;
}
