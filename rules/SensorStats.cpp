#include "rules/SensorStats.h"

#include <cstdio>

#include "vars/SensorList.h"

std::string ReadRateText(double perSecond) {
  char buf[32];
  if (perSecond < 0.05) return "0";
  std::snprintf(buf, sizeof buf, perSecond < 9.95 ? "%.1f" : "%.0f", perSecond);
  return buf;
}

void TSensorStats::Reset() {
  sensors_ = nullptr;
  base_.clear();
  snapshots_.clear();
  ranges_.clear();
}

void TSensorStats::Sample(const TSensorList& sensors, int64_t nowMs) {
  const TVarList& raws = *sensors.RawVars;
  TSnapshot now{nowMs, std::vector<uint32_t>(static_cast<size_t>(raws.Count()))};
  for (int i = 0; i < raws.Count(); ++i)
    now.Reads[static_cast<size_t>(i)] = static_cast<const TRawVar*>(raws.Items(i))->ReadCount;
  if (sensors_ != &sensors || base_.size() != now.Reads.size()) {
    Reset();
    sensors_ = &sensors;
    base_ = now.Reads;
  }
  for (TVar* item : *sensors.DisplayVars) {
    auto* var = static_cast<TDisplayVar*>(item);
    const TRawVar* source = var->Source;
    const int index = source ? raws.IndexOf(source) : -1;
    if (index < 0 || now.Reads[static_cast<size_t>(index)] == base_[static_cast<size_t>(index)]) continue;
    const double v = var->GetValue(var->Unit);
    auto [it, added] = ranges_.try_emplace(var, TRange{var->Unit, v, v});
    TRange& r = it->second;
    if (!added && r.Unit != var->Unit) r = {var->Unit, v, v};
    if (v < r.Low) r.Low = v;
    if (v > r.High) r.High = v;
  }
  snapshots_.push_back(std::move(now));
  // The oldest snapshot kept is the last one at least a window old.
  while (snapshots_.size() > 2 && nowMs - snapshots_[1].Ms >= RateWindowMs) snapshots_.pop_front();
}

TSensorStats::TCells TSensorStats::CellsOf(const TDisplayVar& var) const {
  TCells cells;
  if (!sensors_ || snapshots_.empty()) return cells;
  if (auto it = ranges_.find(&var); it != ranges_.end()) {
    cells.Lowest = FormatValue(var.Unit, it->second.Low);
    cells.Highest = FormatValue(var.Unit, it->second.High);
  }
  const TRawVar* source = var.Source;
  const int index = source ? sensors_->RawVars->IndexOf(source) : -1;
  const TSnapshot& first = snapshots_.front();
  const TSnapshot& last = snapshots_.back();
  const int64_t span = last.Ms - first.Ms;
  if (index < 0 || span < FirstRateMs) return cells;
  const auto i = static_cast<size_t>(index);
  const uint32_t reads = last.Reads[i] - first.Reads[i];
  cells.Rate = ReadRateText(reads * 1000.0 / static_cast<double>(span));
  cells.Stale = reads == 0 && source->PollEnabled != 0 && source->Supported != 0;
  return cells;
}
