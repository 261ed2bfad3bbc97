#include "analysis/Laps.h"

#include "analysis/DecimalText.h"
#include "analysis/DistanceTrack.h"
#include "recording/Recording.h"

std::vector<TLap> LapsFromSignals(const std::vector<uint32_t>& signalTicks) {
  std::vector<TLap> laps;
  laps.reserve(signalTicks.size());
  TTickUnwrapper unwrap;
  TTicks previous = 0;
  for (uint32_t stored : signalTicks) {
    const TTicks signal = unwrap.Next(stored);
    TLap lap;
    lap.Number = static_cast<int>(laps.size()) + 1;
    lap.StartTicks = previous;
    lap.EndTicks = signal;
    lap.Start = SecondsOfTicks(previous);
    lap.Seconds = SecondsOfTicks(signal - previous);
    laps.push_back(lap);
    previous = signal;
  }
  if (int fastest = FastestLap(laps); fastest >= 0)
    for (TLap& lap : laps) lap.Delta = lap.Seconds - laps[static_cast<size_t>(fastest)].Seconds;
  return laps;
}

std::vector<TLap> RecordingLaps(const TRecording& recording) {
  const TVarHist* signals = recording.HistoryById(LapSignalVarId);
  std::vector<uint32_t> ticks(signals ? static_cast<size_t>(signals->Count()) : 0);
  for (size_t i = 0; i < ticks.size(); ++i) ticks[i] = signals->StoredTicksOf(static_cast<int32_t>(i));
  return LapsFromSignals(ticks);
}

int FastestLap(const std::vector<TLap>& laps) {
  int fastest = -1;
  for (size_t i = 0; i < laps.size(); ++i)
    if (fastest < 0 || laps[i].Seconds < laps[static_cast<size_t>(fastest)].Seconds) fastest = static_cast<int>(i);
  return fastest;
}

std::string LapTable(const std::vector<TLap>& laps) {
  std::string text = "Lap,Start (s),Time (s),Delta (s)\n";
  char buf[3 * MaxFixedChars + 16];
  for (const TLap& lap : laps) {
    char* p = buf;
    for (double seconds : {lap.Start, lap.Seconds, lap.Delta}) {
      *p++ = ',';
      p = WriteFixed(p, seconds, 3);
    }
    text += std::to_string(lap.Number);
    text.append(buf, p);
    text += '\n';
  }
  return text;
}

std::vector<TLapPoint> LapTrace(const TVarHist& history, const TLap& lap, TLapAxis axis, const TDistanceTrack* track) {
  const int32_t n = history.Count();
  // The first sample after the lap's start.
  int32_t lo = 0, hi = n;
  while (lo < hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    if (history.TicksOf(mid) <= lap.StartTicks)
      lo = mid + 1;
    else
      hi = mid;
  }
  const bool byDistance = axis == TLapAxis::Distance && track;
  const double startMetres = byDistance ? track->At(lap.Start) : 0;
  std::vector<TLapPoint> points;
  if (lo > 0) points.push_back({0, lo - 1});
  for (int32_t i = lo; i < n && history.TicksOf(i) <= lap.EndTicks; ++i) {
    const double since = SecondsOfTicks(history.TicksOf(i) - lap.StartTicks);
    points.push_back({byDistance ? track->At(lap.Start + since) - startMetres : since, i});
  }
  return points;
}

std::vector<TDeltaPoint> DeltaTime(const TDistanceTrack& track, const TLap& lap, const TLap& reference) {
  const double lapFrom = track.At(lap.Start), referenceFrom = track.At(reference.Start);
  const double referenceLength = track.At(reference.End()) - referenceFrom;
  std::vector<TDeltaPoint> points;
  auto add = [&](double t) {
    const double metres = track.At(t) - lapFrom;
    // Laps of one length differ in the last digits of their sums.
    if (metres > referenceLength + 1e-6) return false;
    const double referenceTime = track.TimeAt(referenceFrom + metres, reference.Start) - reference.Start;
    points.push_back({metres, (t - lap.Start) - referenceTime});
    return true;
  };
  add(lap.Start);
  for (size_t i = track.FirstSampleAfter(lap.Start); i < track.Samples() && track.SampleTime(i) < lap.End(); ++i)
    if (!add(track.SampleTime(i))) return points;
  add(lap.End());
  return points;
}
