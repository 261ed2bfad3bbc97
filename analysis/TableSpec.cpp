#include "analysis/TableSpec.h"

#include <algorithm>

#include "vars/SensorList.h"
#include "vars/Settings.h"

namespace {
constexpr const char* kWords[TableStatCount] = {"mean", "min", "max", "count"};
constexpr const char* kCaptions[TableStatCount] = {"Mean", "Minimum", "Maximum", "Sample count"};

uint32_t KnownOr(const TSensorList& sensors, int32_t id, uint32_t fallback) {
  return id > 0 && sensors.FindDisplay(static_cast<uint32_t>(id)) ? static_cast<uint32_t>(id) : fallback;
}

// The stored edges, or the sensor's default ones (and then no text of the user's).
TAxisEdges EdgesOr(std::string& text, const TSensorList& sensors, uint32_t varId) {
  TAxisEdges edges;
  if (!text.empty() && ParseAxisEdges(text, edges)) return edges;
  text.clear();
  return DefaultEdges(sensors, varId);
}
}  // namespace

const char* StatWord(TTableStat stat) { return kWords[static_cast<int>(stat)]; }
const char* StatCaption(TTableStat stat) { return kCaptions[static_cast<int>(stat)]; }

bool ParseStat(const std::string& word, TTableStat& stat) {
  for (int i = 0; i < TableStatCount; ++i)
    if (word == kWords[i]) {
      stat = static_cast<TTableStat>(i);
      return true;
    }
  return false;
}

TAxisEdges DefaultEdges(const TSensorList& sensors, uint32_t varId) {
  TAxisEdges edges;
  if (!ParseAxisEdges(EdgesTextOf({}, sensors, varId), edges)) ParseAxisEdges("0:10:1", edges);
  return edges;
}

std::string EdgesTextOf(const std::string& userText, const TSensorList& sensors, uint32_t varId) {
  if (!userText.empty()) return userText;
  TDisplayVar* var = sensors.FindDisplay(varId);
  return var ? DefaultEdgesText(*var) : "0:10:1";
}

TTableChoices LoadTableChoices(const TSettings& s, const TSensorList& sensors) {
  TTableChoices c;
  TTableSpec& spec = c.Spec;
  spec.X = KnownOr(sensors, s.TableX, DefaultTableX);
  spec.Y = KnownOr(sensors, s.TableY, DefaultTableY);
  spec.Z = KnownOr(sensors, s.TableZ, DefaultTableZ);
  c.XEdgesText = s.TableXEdges;
  c.YEdgesText = s.TableYEdges;
  spec.XEdges = EdgesOr(c.XEdgesText, sensors, spec.X);
  spec.YEdges = EdgesOr(c.YEdgesText, sensors, spec.Y);
  spec.Filters = LoadConditions(s.TableFilters, sensors);
  spec.MaxAgeMs = s.TableMaxAgeMs >= 0 ? std::min(static_cast<uint32_t>(s.TableMaxAgeMs.load()), PageMaxAgeMs)
                                       : DefaultMaxAgeMs;
  c.Stat =
      s.TableStat >= 0 && s.TableStat < TableStatCount ? static_cast<TTableStat>(s.TableStat.load()) : TTableStat::Mean;
  c.MinCount = s.TableMinCount >= 0 ? static_cast<uint32_t>(s.TableMinCount.load()) : DefaultMinCount;
  c.Target = s.TableTarget;
  c.Span = s.TableSpan;
  return c;
}

void StoreTableChoices(const TTableChoices& c, TSettings& s) {
  s.TableX = static_cast<int32_t>(c.Spec.X);
  s.TableY = static_cast<int32_t>(c.Spec.Y);
  s.TableZ = static_cast<int32_t>(c.Spec.Z);
  s.TableXEdges = c.XEdgesText;
  s.TableYEdges = c.YEdgesText;
  s.TableFilters = StoredConditions(c.Spec.Filters);
  s.TableMaxAgeMs = static_cast<int32_t>(c.Spec.MaxAgeMs);
  s.TableStat = static_cast<int32_t>(c.Stat);
  s.TableMinCount = static_cast<int32_t>(c.MinCount);
  s.TableTarget = c.Target;
  s.TableSpan = c.Span;
}
