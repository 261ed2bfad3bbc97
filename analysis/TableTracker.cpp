#include "analysis/TableTracker.h"

#include "history/HistorySet.h"
#include "history/SampleFeed.h"
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

void TTableTracker::FollowLive(const TSampleFeed* feed) {
  if (source_ == TTableSource::Live && feed == feed_) return;
  source_ = TTableSource::Live;
  recording_ = nullptr;
  feed_ = feed;
  Restart();
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
    for (uint32_t id : {spec_.Z, spec_.X, spec_.Y}) live_.push_back({sensors_.FindDisplay(id)});
    for (const TCondition& c : spec_.Filters) live_.push_back({sensors_.FindDisplay(c.VarId)});
    fed_ = feed_ ? feed_->End() : 0;
    liveClock_ = {};
    liveIndex_ = 0;
    lostLive_ = 0;
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
    TTableFiller filler(table_);
    walker_->Walk([&](const TObservation& o) { Take(filler, o); });
  } else if (source_ == TTableSource::Live) {
    TakeLive();
  }
  return taken_ != before;
}

double TTableTracker::TLiveChannel::Value() const {
  // The live wiring's conversion of the value read; a sensor that reads more than its own value
  // (the gear, ...) gives its latest.
  return Var->ValueFollowsRaw() ? Var->Convert(Var->Unit, Raw) : Var->GetValue(Var->Unit);
}

// Every value read since the last call, in order: each one held as its sensor's latest, and each
// of Z's an observation.
void TTableTracker::TakeLive() {
  if (!feed_) return;
  entries_.clear();
  fed_ = feed_->Take(fed_, entries_, lostLive_);
  if (entries_.empty()) return;
  // The channels' sources as the link wires them now.
  std::vector<uint32_t>& ids = liveIds_;
  ids.clear();
  for (const TLiveChannel& c : live_) {
    TRawVar* source = c.Var ? c.Var->Source.load() : nullptr;
    ids.push_back(source ? source->Id.load() : UINT32_MAX);
  }
  TTableFiller filler(table_);
  for (const TSampleFeed::TEntry& e : entries_) {
    TTicks t = liveClock_.Next(e.Ticks);
    if (liveClock_.Raised()) {
      // The link's clock started again (a new connection): what was held is from before it.
      liveClock_ = {};
      t = liveClock_.Next(e.Ticks);
      for (TLiveChannel& c : live_) c.Seen = false;
    }
    for (size_t k = 0; k < live_.size(); ++k)
      if (ids[k] == e.Id) live_[k] = {live_[k].Var, true, t, e.Raw};
    if (ids[0] == e.Id) ObserveLive(filler, t);
  }
}

void TTableTracker::ObserveLive(TTableFiller& filler, TTicks t) {
  TObservation o;
  o.Index = liveIndex_++;
  o.Ticks = t;
  const TTicks maxAge = TicksFromMs(spec_.MaxAgeMs);
  for (size_t k = 1; k < live_.size(); ++k) {
    const TLiveChannel& c = live_[k];
    if (!c.Var || !c.Seen)
      o.Fate = TObservationFate::NoSample;
    else if (t - c.At > maxAge && o.Fate == TObservationFate::Observed)
      o.Fate = TObservationFate::TooOld;
  }
  for (size_t c = 0; c < spec_.Filters.size() && o.Fate == TObservationFate::Observed; ++c)
    if (!spec_.Filters[c].Holds(live_[3 + c].Value())) o.Fate = TObservationFate::Filtered;
  if (o.Fate == TObservationFate::Observed) {
    o.X = live_[1].Value();
    o.Y = live_[2].Value();
    o.Z = live_[0].Value();
    o.Cell = table_.CellOf(o.X, o.Y);
  }
  Take(filler, o);
}

int TTableTracker::CellAt(TTicks ticks) {
  TObservation o;
  if (!probe_ || !probe_->At(ticks, o) || o.Fate != TObservationFate::Observed) return -1;
  return o.Cell;
}

std::optional<TTicks> TTableTracker::NextStretch(int cell, std::optional<TTicks> after) {
  if (source_ != TTableSource::Recording || cell < 0) return std::nullopt;
  TObservationWalker walker(sensors_, *recording_, spec_);
  std::optional<TTicks> first, next;
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
