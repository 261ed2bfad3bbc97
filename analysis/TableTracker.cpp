#include "analysis/TableTracker.h"

#include "history/HistorySet.h"
#include "vars/SensorList.h"

TTableTracker::TTableTracker(const TSensorList& sensors) : sensors_(sensors), table_(spec_.XEdges, spec_.YEdges) {}

TTableTracker::~TTableTracker() = default;

void TTableTracker::SetSpec(const TTableSpec& spec) {
  spec_ = spec;
  Restart();
}

void TTableTracker::FollowRecording(const THistorySet* recording) {
  const TTableSource source = recording ? TTableSource::Recording : TTableSource::None;
  if (source == source_ && recording == recording_) return;
  source_ = source;
  recording_ = recording;
  Restart();
}

void TTableTracker::FollowLive() {
  if (source_ == TTableSource::Live) return;
  source_ = TTableSource::Live;
  recording_ = nullptr;
  Restart();
}

TTableTracker::TLiveChannel TTableTracker::Channel(uint32_t id) const {
  TDisplayVar* var = sensors_.FindDisplay(id);
  TRawVar* source = var ? var->Source.load() : nullptr;
  return {source ? var : nullptr, source ? source->LastUpdate.load() : 0};
}

void TTableTracker::Restart() {
  table_ = TTable(spec_.XEdges, spec_.YEdges);
  points_.clear();
  newestCell_ = -1;
  taken_ = 0;
  walker_.reset();
  probe_.reset();
  live_.clear();
  if (source_ == TTableSource::Recording) {
    walker_ = std::make_unique<TObservationWalker>(sensors_, *recording_, spec_);
    probe_ = std::make_unique<TObservationWalker>(sensors_, *recording_, spec_);
  } else if (source_ == TTableSource::Live) {
    live_.push_back(Channel(spec_.Z));
    live_.push_back(Channel(spec_.X));
    live_.push_back(Channel(spec_.Y));
    for (const TCondition& c : spec_.Filters) live_.push_back(Channel(c.VarId));
    lastZUpdate_ = live_.front().StartUpdate;
    liveIndex_ = 0;
  }
}

void TTableTracker::Take(TTableFiller& filler, const TObservation& o) {
  ++taken_;
  newestCell_ = filler.Add(o);
  if (newestCell_ >= 0) points_.push_back({static_cast<float>(o.X), static_cast<float>(o.Y), static_cast<float>(o.Z)});
}

bool TTableTracker::Update() {
  const int64_t before = taken_;
  if (walker_) {
    points_.reserve(points_.size() + static_cast<size_t>(walker_->Unwalked()));
    TTableFiller filler(table_);
    walker_->Walk([&](const TObservation& o) { Take(filler, o); });
  } else if (source_ == TTableSource::Live) {
    SampleLive();
  }
  return taken_ != before;
}

// One observation when Z's source has a new value: the others' latest values, their age measured
// from their own last update to Z's.
void TTableTracker::SampleLive() {
  for (const TLiveChannel& c : live_)
    if (!c.Var) return;
  const uint32_t t = live_[0].Var->Source.load()->LastUpdate;
  if (t == lastZUpdate_) return;
  lastZUpdate_ = t;
  TObservation o;
  o.Index = liveIndex_++;
  o.Ticks = t;
  const uint64_t maxAge = MaxAgeTicks(spec_.MaxAgeMs);
  for (size_t k = 1; k < live_.size(); ++k) {
    TLiveChannel& c = live_[k];
    const uint32_t at = c.Var->Source.load()->LastUpdate;
    c.Seen = c.Seen || at != c.StartUpdate;
    if (!c.Seen)
      o.Fate = TObservationFate::NoSample;
    else if (at < t && t - at > maxAge && o.Fate == TObservationFate::Observed)
      o.Fate = TObservationFate::TooOld;
  }
  for (size_t c = 0; c < spec_.Filters.size() && o.Fate == TObservationFate::Observed; ++c) {
    TDisplayVar* v = live_[3 + c].Var;
    if (!spec_.Filters[c].Holds(v->GetValue(v->Unit))) o.Fate = TObservationFate::Filtered;
  }
  if (o.Fate == TObservationFate::Observed) {
    o.X = live_[1].Var->GetValue(live_[1].Var->Unit);
    o.Y = live_[2].Var->GetValue(live_[2].Var->Unit);
    o.Z = live_[0].Var->GetValue(live_[0].Var->Unit);
    o.Cell = table_.CellOf(o.X, o.Y);
  }
  TTableFiller filler(table_);
  Take(filler, o);
}

int TTableTracker::CellAt(uint32_t ticks) {
  TObservation o;
  if (!probe_ || !probe_->At(ticks, o) || o.Fate != TObservationFate::Observed) return -1;
  return o.Cell;
}

std::optional<uint32_t> TTableTracker::NextStretch(int cell, std::optional<uint32_t> after) {
  if (source_ != TTableSource::Recording || cell < 0) return std::nullopt;
  TObservationWalker walker(sensors_, *recording_, spec_);
  std::optional<uint32_t> first, next;
  int previous = -1;
  walker.Walk([&](const TObservation& o) {
    const int c = o.Fate == TObservationFate::Observed ? o.Cell : -1;
    if (c == cell && previous != cell) {
      if (!first) first = o.Ticks;
      if (!next && after && o.Ticks > *after) next = o.Ticks;
    }
    previous = c;
  });
  return next && after ? next : first;
}
