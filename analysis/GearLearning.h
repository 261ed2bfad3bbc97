#pragma once
// Gear ratios learned from a run: from the recording's steady driving (above 15 km/h, revs and
// road speed changing little over half a second, the clutch not pressed where the ECU reports it)
// each sample gives the ratio of revs to wheel revolutions through the final drive and the tyre's
// rolling circumference; the ratios are grouped into up to five gears.
#include <cstdint>
#include <string>
#include <vector>

class TSensorList;
class THistorySet;

struct TGearLearnSettings {
  double FinalDrive = 0;
  double Circumference = 0;    // metres
  double MinKmh = 15;          // slower is not steady driving
  double WindowSeconds = 0.5;  // revs and speed compared over this time
  double MaxChange = 0.03;     // the most revs or speed may change in the window, as a share
  double MinKmhChange = 0.5;   // ... or at least this much road speed (its resolution)
  double MinRpmChange = 50;    // ... or this many revs
  uint32_t MaxAgeMs = 250;     // the revs held for a speed sample may be this old
  int MaxGears = 5;
};

struct TLearnedGear {
  double Ratio = 0;
  int64_t Samples = 0;
  double Share = 0;  // of the steady samples, 0 .. 1
};

struct TGearLearning {
  std::vector<TLearnedGear> Gears;  // the highest ratio (first gear) first
  int64_t SteadySamples = 0;
  std::string Problem;  // why no ratios were found; empty when some were
};

// At least this many steady samples are needed to learn anything.
constexpr int64_t MinSteadySamples = 20;

TGearLearning LearnGears(const TSensorList& sensors, const THistorySet& recording, const TGearLearnSettings& settings);

// The grouping alone: up to maxGears ratios around which the given ratios gather (each the median
// of the ratios within 5 % of it), a group needing at least 2 % of the ratios and five of them.
// Sorted from the highest ratio down; Samples and Share as above.
std::vector<TLearnedGear> GroupRatios(std::vector<double> ratios, int maxGears);

// "Gear,Ratio,Samples" and one line per gear, numbered by MatchGears, the ratio with three
// decimals.
std::string GearsText(const std::vector<TLearnedGear>& gears, const std::vector<int>& numbers);

// Which gears (1 .. 5) the learned ratios are, in order, when fewer than five were found: the
// order-keeping choice nearest the ratios set now (a run that never held first gear steady finds
// second to fifth). Five found are first to fifth. The settings dialog and the tool number the
// gears so, each with the ratios it holds (the dialog's edits, the tool's settings).
std::vector<int> MatchGears(const std::vector<TLearnedGear>& gears, const double (&current)[5]);
// The learned ratios as the settings dialog offers them, one line per gear:
// "2nd gear: 2.047 (24 % of the steady samples)".
std::string LearnedGearsText(const std::vector<TLearnedGear>& gears, const std::vector<int>& numbers);
