#pragma once
// The laps of a recording and what lays them over each other: every sample of the raw variable
// "Lap" (a lap signal) ends a lap, lap 1 running from the start of the recording to the first
// signal and lap k from signal k - 1 to signal k; the time after the last signal is no lap. The
// fastest lap is the reference the others are measured against.
#include <cstdint>
#include <string>
#include <vector>

#include "history/Ticks.h"

class TDistanceTrack;
class TRecording;
class TVarHist;

struct TLap {
  int Number = 0;           // 1-based
  TTicks StartTicks = 0;  // unwrapped ticks of 10 microseconds from the recording's start
  TTicks EndTicks = 0;
  double Start = 0;    // seconds from the recording's start
  double Seconds = 0;  // the lap time
  double Delta = 0;    // the lap time less the fastest lap's (0 for the fastest)
  double End() const { return Start + Seconds; }
};

// The raw variable whose samples are the lap signals.
constexpr int32_t LapSignalVarId = 158;

// The laps the signals at these ticks (as stored, in order) mark; the times are unwrapped as a
// history's are (history/Ticks.h).
std::vector<TLap> LapsFromSignals(const std::vector<uint32_t>& signalTicks);
// The laps of a recording, from its history of lap signals (none without one).
std::vector<TLap> RecordingLaps(const TRecording& recording);
// The index of the fastest lap (the first of equal ones); -1 without laps.
int FastestLap(const std::vector<TLap>& laps);
// "Lap,Start (s),Time (s),Delta (s)", then one line per lap, times with three decimals, LF ended.
std::string LapTable(const std::vector<TLap>& laps);

// Where a sample lies along a lap: seconds or metres since the lap's start.
enum class TLapAxis { Time, Distance };
struct TLapPoint {
  double X = 0;
  int32_t Index = 0;  // the sample's index in its history
};
// The samples of a history that lie in a lap, placed along it: the one in force at the lap's
// start at 0, then each sample after the start up to the lap's end, at its time since the start
// or the distance travelled since the start (track: the recording's road speed).
std::vector<TLapPoint> LapTrace(const TVarHist& history, const TLap& lap, TLapAxis axis,
                                const TDistanceTrack* track = nullptr);

struct TDeltaPoint {
  double Metres = 0;   // since the lap's start
  double Seconds = 0;  // time lost (positive) or gained (negative) on the reference lap so far
};
// The time a lap has lost or gained on the reference lap along the way: at the lap's start, at
// each road-speed sample inside the lap and at its end, as far as the reference lap reaches, the
// lap's time since its start less the time the reference lap took to the same distance.
std::vector<TDeltaPoint> DeltaTime(const TDistanceTrack& track, const TLap& lap, const TLap& reference);
