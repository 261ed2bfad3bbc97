#include "analysis/LapOverlay.h"

#include <algorithm>
#include <cmath>

#include "recording/Recording.h"
#include "rules/LapRows.h"
#include "vars/SensorList.h"

namespace {
// How far towards white the other laps' lines go, in turns.
constexpr double kShades[] = {0.45, 0.62, 0.75};

// The first of 1, 2 and 5 times a power of ten that is at least wanted.
double NiceStep(double wanted) {
  const double decade = std::pow(10.0, std::floor(std::log10(wanted)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * decade >= wanted * (1 - 1e-9)) return m * decade;
  return 10 * decade;
}
}  // namespace

TLapOverlay::TLapOverlay(const TRecording& recording, const TVarHist* speed, double speedConstant)
    : laps_(RecordingLaps(recording)), visible_(laps_.size(), true) {
  reference_ = static_cast<size_t>(std::max(FastestLap(laps_), 0));
  if (speed && speed->Count() > 0) track_.emplace(*speed, speedConstant);
}

namespace {
const TVarHist* SpeedHistory(const TRecording& recording, const TSensorList& sensors) {
  return sensors.Speed ? sensors.Speed->HistoryIn(recording) : nullptr;
}
}  // namespace

bool HasLapSignals(const TRecording& recording) {
  const TVarHist* signals = recording.HistoryById(LapSignalVarId);
  return signals && signals->Count() > 0;
}

bool HasRoadSpeed(const TRecording& recording, const TSensorList& sensors) {
  const TVarHist* speed = SpeedHistory(recording, sensors);
  return speed && speed->Count() > 0;
}

TLapOverlay TLapOverlay::Of(const TRecording& recording, const TSensorList& sensors) {
  const TVarHist* speed = SpeedHistory(recording, sensors);
  return TLapOverlay(recording, speed, sensors.Speed ? sensors.Speed->SpeedConstantIn(recording) : 0.0);
}

void TLapOverlay::SetAxis(TLapAxis axis) { axis_ = axis == TLapAxis::Distance && !track_ ? TLapAxis::Time : axis; }

void TLapOverlay::SetVisible(size_t lap, bool visible) {
  if (lap < visible_.size()) visible_[lap] = visible;
}

std::vector<size_t> TLapOverlay::DrawOrder() const {
  std::vector<size_t> order;
  for (size_t i = 0; i < laps_.size(); ++i)
    if (visible_[i] && i != reference_) order.push_back(i);
  if (Visible(reference_)) order.push_back(reference_);
  return order;
}

std::vector<size_t> TLapOverlay::ReadoutOrder() const {
  std::vector<size_t> order = DrawOrder();
  if (!order.empty() && order.back() == reference_) std::rotate(order.begin(), order.end() - 1, order.end());
  return order;
}

double TLapOverlay::LapLength(size_t lap) const {
  const TLap& l = laps_.at(lap);
  if (axis_ == TLapAxis::Distance && track_) return track_->At(l.End()) - track_->At(l.Start);
  return l.Seconds;
}

double TLapOverlay::Length() const {
  double longest = 0;
  const bool any = std::find(visible_.begin(), visible_.end(), true) != visible_.end();
  for (size_t i = 0; i < laps_.size(); ++i)
    if (visible_[i] || !any) longest = std::max(longest, LapLength(i));
  return std::max(longest, 0.001);
}

uint32_t TLapOverlay::LapColour(uint32_t paneColour, size_t lap) const {
  if (lap == reference_) return paneColour;
  return TowardsWhite(paneColour, kShades[lap % std::size(kShades)]);
}

std::vector<TLapLegendRow> TLapOverlay::Legend(uint32_t paneColour) const {
  std::vector<TLapLegendRow> rows;
  for (size_t i = 0; i < laps_.size(); ++i) {
    const TLap& lap = laps_[i];
    TLapLegendRow row;
    row.Lap = i;
    row.Reference = i == reference_;
    row.Visible = visible_[i];
    row.Colour = LapColour(paneColour, i);
    row.Text = "Lap " + std::to_string(lap.Number) + "  " + FormatLapTime(lap.Seconds) + " s";
    if (row.Reference)
      row.Text += "  fastest";
    else
      row.Text += "  +" + FormatLapTime(std::round(lap.Delta * 100000) / 100000);
    rows.push_back(std::move(row));
  }
  return rows;
}

const std::vector<TPlacedValue>& TLapOverlay::Trace(const TVarHist& history, uint64_t key, size_t lap,
                                                     const std::function<double(int32_t)>& value) {
  auto [it, added] = traces_.try_emplace({key, lap, axis_});
  if (added) {
    const std::vector<TLapPoint> points = LapTrace(history, laps_.at(lap), axis_, track_ ? &*track_ : nullptr);
    it->second.reserve(points.size());
    for (const TLapPoint& p : points) it->second.push_back({p.X, value(p.Index)});
  }
  return it->second;
}

const std::vector<TPlacedValue>& TLapOverlay::Delta(size_t lap) {
  static const std::vector<TPlacedValue> none;
  if (axis_ != TLapAxis::Distance || !track_) return none;
  auto [it, added] = deltas_.try_emplace(lap);
  if (added)
    for (const TDeltaPoint& p : DeltaTime(*track_, laps_.at(lap), laps_.at(reference_))) it->second.push_back({p.Metres, p.Seconds});
  return it->second;
}

TLapOverlay::TDeltaRange TLapOverlay::DeltaRange() {
  double lo = 0, hi = 0;
  for (size_t lap : DrawOrder())
    for (const TPlacedValue& v : Delta(lap)) {
      lo = std::min(lo, v.Value);
      hi = std::max(hi, v.Value);
    }
  TDeltaRange r;
  if (hi - lo < 1e-9) return r;
  r.Tick = NiceStep((hi - lo) / 6);
  r.Minimum = std::floor(lo / r.Tick) * r.Tick;
  r.Maximum = std::ceil(hi / r.Tick) * r.Tick;
  return r;
}

void TLapOverlay::ForgetTraces() {
  traces_.clear();
  deltas_.clear();
}

std::optional<double> TLapOverlay::ToAxis(double t) const {
  for (const TLap& lap : laps_)
    if (lap.Start <= t && t <= lap.End()) {
      if (axis_ == TLapAxis::Distance && track_) return track_->At(t) - track_->At(lap.Start);
      return t - lap.Start;
    }
  return std::nullopt;
}

double TLapOverlay::FromAxis(double x) const {
  if (laps_.empty()) return x;
  const TLap& ref = laps_[reference_];
  if (axis_ == TLapAxis::Distance && track_)
    return std::min(track_->TimeAt(track_->At(ref.Start) + x, ref.Start), ref.End());
  return ref.Start + std::clamp(x, 0.0, ref.Seconds);
}

std::optional<double> PlacedValueAt(const std::vector<TPlacedValue>& values, double x, double length) {
  if (values.empty() || x < values.front().X || x > length) return std::nullopt;
  const auto after = std::upper_bound(values.begin(), values.end(), x, [](double v, const TPlacedValue& p) { return v < p.X; });
  return std::prev(after)->Value;
}

std::string LapReadoutText(const std::vector<std::pair<int, std::string>>& lapValues, const std::string& unit) {
  std::string text;
  for (const auto& [lap, value] : lapValues) {
    if (!text.empty()) text += "  ";
    text += "L" + std::to_string(lap) + " " + value;
  }
  if (!text.empty() && !unit.empty()) text += " " + unit;
  return text;
}

namespace {
int Pad(const TGraphModel& m) { return std::max(2, m.Metrics.ZeroWidth / 2); }
}  // namespace

int LapLegendWidth(const TGraphModel& m, const std::vector<TLapLegendRow>& rows) {
  int text = m.TextWidth(LapLegendTitle);
  for (const TLapLegendRow& row : rows) text = std::max(text, m.TextWidth(row.Text));
  const int pad = Pad(m);
  // Padding, check box, gap, swatch, gap, text, padding.
  return pad + m.TextHeight + pad + 2 * m.Metrics.ZeroWidth + pad + text + pad;
}

TLapLegendLayout LayLapLegend(const TGraphModel& m, const std::vector<TLapLegendRow>& rows) {
  TLapLegendLayout l;
  const int pad = Pad(m);
  l.RowHeight = m.TextHeight + 2;
  l.CheckSize = std::max(6, m.TextHeight - 4);
  l.SwatchWidth = 2 * m.Metrics.ZeroWidth;
  l.Width = LapLegendWidth(m, rows);
  l.X = m.Width - l.Width - std::max(1, m.Metrics.ZeroWidth / 2);
  l.Y = m.TopMargin;
  l.TitleX = l.X + pad;
  int y = l.Y + pad + l.RowHeight;  // below the title
  for (const TLapLegendRow& row : rows) {
    TLegendRowPlace place;
    place.Lap = row.Lap;
    place.Top = y;
    place.CheckX = l.X + pad + (m.TextHeight - l.CheckSize) / 2;
    place.SwatchX = l.X + pad + m.TextHeight + pad;
    place.TextX = place.SwatchX + l.SwatchWidth + pad;
    l.Rows.push_back(place);
    y += l.RowHeight;
  }
  l.Height = y + pad - l.Y;
  return l;
}

std::optional<size_t> LapLegendHit(const TLapLegendLayout& legend, int x, int y) {
  if (x < legend.X || x >= legend.X + legend.Width) return std::nullopt;
  for (const TLegendRowPlace& row : legend.Rows)
    if (y >= row.Top && y < row.Top + legend.RowHeight) return row.Lap;
  return std::nullopt;
}
