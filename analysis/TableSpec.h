#pragma once
// What a table is made of: the sensors across (X), down (Y) and in the cells (Z), the cell edges of
// both axes, the filter conditions and how old a held value may be; the statistic a cell shows;
// and how the settings keep these choices.
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/AxisEdges.h"
#include "analysis/Condition.h"

class TSensorList;
struct TSettings;

enum class TTableStat : uint8_t { Mean, Min, Max, Count };
constexpr int TableStatCount = 4;
// "mean", "min", "max", "count": the tool's words.
const char* StatWord(TTableStat stat);
bool ParseStat(const std::string& word, TTableStat& stat);
// "Mean", "Minimum", "Maximum", "Sample count": the page's captions.
const char* StatCaption(TTableStat stat);

// The display variables a new table starts with: revs across, MAP down, lambda in the cells.
constexpr uint32_t DefaultTableX = 1008;
constexpr uint32_t DefaultTableY = 1007;
constexpr uint32_t DefaultTableZ = 1131;
constexpr uint32_t DefaultMaxAgeMs = 250;
// The Tables page's maximum age goes from 0 to this (ten minutes); a stored one beyond it is
// taken as this, so the page shows the age it uses.
constexpr uint32_t PageMaxAgeMs = 600000;
constexpr uint32_t DefaultMinCount = 3;

struct TTableSpec {
  uint32_t X = DefaultTableX, Y = DefaultTableY, Z = DefaultTableZ;  // display variable ids
  TAxisEdges XEdges, YEdges;
  std::vector<TCondition> Filters;  // all must hold
  uint32_t MaxAgeMs = DefaultMaxAgeMs;

  bool operator==(const TTableSpec&) const = default;
};

// The page's choices as the settings keep them (section "Tables" of the program's INI file).
struct TTableChoices {
  TTableSpec Spec;
  // The edges as the user wrote them; empty: the sensor's default edges.
  std::string XEdgesText, YEdgesText;
  TTableStat Stat = TTableStat::Mean;
  uint32_t MinCount = DefaultMinCount;
  // The colour scale's middle and reach; empty: the defaults for Z (ColourScale.h).
  std::string Target, Span;
};

// The choices the settings hold; what no longer names a sensor or does not parse falls back to
// its default (edges to the sensor's default edges, and their text to empty).
TTableChoices LoadTableChoices(const TSettings& settings, const TSensorList& sensors);
void StoreTableChoices(const TTableChoices& choices, TSettings& settings);
// The edges a sensor starts with on an axis (DefaultEdgesText), parsed.
TAxisEdges DefaultEdges(const TSensorList& sensors, uint32_t varId);
// The text an axis's edges edit shows: the user's, or the sensor's default.
std::string EdgesTextOf(const std::string& userText, const TSensorList& sensors, uint32_t varId);
