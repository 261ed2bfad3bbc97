#include "analysis/TablesPageModel.h"

#include <cmath>

#include "base/IniFile.h"
#include "vars/SensorList.h"
#include "vars/Settings.h"
#include "vars/Units.h"

TTableSource ChooseTableSource(bool connected, bool recording, bool hasRecording) {
  if (connected && !recording) return TTableSource::Live;
  return hasRecording ? TTableSource::Recording : TTableSource::None;
}

TTablesPageModel::TTablesPageModel(TSettings& settings, const TSensorList& sensors)
    : settings_(settings), sensors_(sensors), choices_(LoadTableChoices(settings, sensors)), tracker_(sensors) {
  tracker_.SetSpec(choices_.Spec);
}

void TTablesPageModel::Changed() {
  StoreTableChoices(choices_, settings_);
  tracker_.SetSpec(choices_.Spec);
  clickedCell_ = -1;
}

void TTablesPageModel::SetSensor(TTableAxis axis, uint32_t id) {
  if (!sensors_.FindDisplay(id) || Sensor(axis) == id) return;
  TTableSpec& s = choices_.Spec;
  switch (axis) {
    case TTableAxis::X:
      s.X = id;
      choices_.XEdgesText.clear();
      s.XEdges = DefaultEdges(sensors_, id);
      break;
    case TTableAxis::Y:
      s.Y = id;
      choices_.YEdgesText.clear();
      s.YEdges = DefaultEdges(sensors_, id);
      break;
    case TTableAxis::Z: s.Z = id; break;
  }
  Changed();
}

bool TTablesPageModel::SetEdges(TTableAxis axis, const std::string& text, std::string* error) {
  if (axis == TTableAxis::Z) return false;
  TAxisEdges edges;
  if (!ParseAxisEdges(text, edges, error)) return false;
  const bool x = axis == TTableAxis::X;
  (x ? choices_.Spec.XEdges : choices_.Spec.YEdges) = edges;
  // The sensor's own default edges stay its default, so they follow a change of unit or sensor.
  (x ? choices_.XEdgesText : choices_.YEdgesText) = text == EdgesTextOf({}, sensors_, Sensor(axis)) ? "" : text;
  Changed();
  return true;
}

bool TTablesPageModel::SetFilters(const std::string& text, std::string* error) {
  std::vector<TCondition> filters;
  if (!ParseConditions(text, sensors_, filters, error)) return false;
  choices_.Spec.Filters = filters;
  Changed();
  return true;
}

void TTablesPageModel::SetStat(TTableStat stat) {
  choices_.Stat = stat;
  StoreTableChoices(choices_, settings_);
}

void TTablesPageModel::SetMinCount(uint32_t count) {
  choices_.MinCount = count;
  StoreTableChoices(choices_, settings_);
}

void TTablesPageModel::SetMaxAge(uint32_t ms) {
  if (choices_.Spec.MaxAgeMs == ms) return;
  choices_.Spec.MaxAgeMs = ms;
  Changed();
}

namespace {
// An empty text, or a number (a span above 0).
bool ScaleNumber(const std::string& text, bool positive, std::string* error) {
  double v = 0;
  if (text.empty() || (ParseDouble(text, v) && std::isfinite(v) && (!positive || v > 0))) return true;
  if (error) *error = "'" + text + "' is not " + (positive ? "a number above 0" : "a number");
  return false;
}
}  // namespace

bool TTablesPageModel::SetTarget(const std::string& text, std::string* error) {
  if (!ScaleNumber(text, false, error)) return false;
  choices_.Target = text;
  StoreTableChoices(choices_, settings_);
  return true;
}

bool TTablesPageModel::SetSpan(const std::string& text, std::string* error) {
  if (!ScaleNumber(text, true, error)) return false;
  choices_.Span = text;
  StoreTableChoices(choices_, settings_);
  return true;
}

uint32_t TTablesPageModel::Sensor(TTableAxis axis) const {
  switch (axis) {
    case TTableAxis::X: return choices_.Spec.X;
    case TTableAxis::Y: return choices_.Spec.Y;
    case TTableAxis::Z: break;
  }
  return choices_.Spec.Z;
}

std::string TTablesPageModel::EdgesText(TTableAxis axis) const {
  if (axis == TTableAxis::Z) return {};
  return EdgesTextOf(axis == TTableAxis::X ? choices_.XEdgesText : choices_.YEdgesText, sensors_, Sensor(axis));
}

std::string TTablesPageModel::FiltersText() const { return ConditionsText(choices_.Spec.Filters, sensors_); }

TColourScale TTablesPageModel::Scale() const {
  const TDisplayVar* z = sensors_.FindDisplay(choices_.Spec.Z);
  return z ? ColourScaleFor(*z, choices_.Target, choices_.Span) : TColourScale{};
}

std::string TTablesPageModel::TargetText() const { return FormatDouble(Scale().Target); }
std::string TTablesPageModel::SpanText() const { return FormatDouble(Scale().Span); }

TTableNames TTablesPageModel::Names() const {
  TTableNames n;
  auto name = [&](uint32_t id, std::string& text, std::string& unit) {
    const TDisplayVar* v = sensors_.FindDisplay(id);
    text = v ? v->Name : "?";
    unit = v ? UnitText(v->Unit, settings_) : "";
    return v;
  };
  name(choices_.Spec.X, n.XName, n.XUnit);
  name(choices_.Spec.Y, n.YName, n.YUnit);
  if (const TDisplayVar* z = name(choices_.Spec.Z, n.ZName, n.ZUnit)) n.ZUnitCode = z->Unit;
  return n;
}

void TTablesPageModel::Reload() {
  choices_ = LoadTableChoices(settings_, sensors_);
  tracker_.SetSpec(choices_.Spec);
  clickedCell_ = -1;
}

void TTablesPageModel::Follow(TTableSource source, const THistorySet* recording, const TSampleFeed* feed) {
  if (source == TTableSource::Live)
    tracker_.FollowLive(feed);
  else
    tracker_.FollowRecording(source == TTableSource::Recording ? recording : nullptr);
}

std::optional<double> TTablesPageModel::Click(int cell) {
  const std::optional<TTicks> after = cell == clickedCell_ ? clickedAt_ : std::nullopt;
  const std::optional<TTicks> at = tracker_.NextStretch(cell, after);
  clickedCell_ = at ? cell : -1;
  clickedAt_ = at;
  if (!at) return std::nullopt;
  return SecondsOfTicks(*at);
}
