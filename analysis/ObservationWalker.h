#pragma once
// The observations of a table: every sample of Z's source is one, at its sample time t. X, Y and
// the filter sensors take their latest sample at or before t (sample and hold); the observation is
// skipped when one of them has no such sample or when that sample is older than the maximum age,
// and it is filtered out when a condition does not hold.
//
// The walker reads a recording's histories while the poll thread may still append to them: each
// call takes the counts published at that moment (Z's first, so every sample of the others up to
// Z's newest time is there) and goes on from where the last call stopped; the poll thread never
// waits for it. A sensor computed from more than its own sample (gear, duty cycle, ...) is read
// through the catalogue, so the recording must be the context's current one for those.
#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/TableSpec.h"

class TDisplayVar;
class THistorySet;
class TVarHist;

enum class TObservationFate : uint8_t {
  Observed,  // X, Y and Z hold values and every condition holds
  NoSample,  // X, Y or a filter sensor has no sample at or before t
  TooOld,    // ... or that sample is older than the maximum age
  Filtered,  // a condition does not hold
};

struct TObservation {
  int32_t Index = 0;   // the sample of Z
  uint32_t Ticks = 0;  // its time, 10 us ticks since the recording started
  TObservationFate Fate = TObservationFate::Observed;
  double X = 0, Y = 0, Z = 0;  // when observed
};

// One display sensor over one history: the value of a sample, and the latest sample at or before a
// time, found by a cursor that moves forward with the times asked for.
class TSensorTrack {
 public:
  TSensorTrack(TDisplayVar& var, const TVarHist* history);

  const TVarHist* History() const { return history_; }
  // Takes the count the history has published now.
  void Refresh();
  int32_t Count() const { return count_; }
  // The latest sample at or before ticks among those published at the last Refresh; -1 for none.
  // Its time is then HeldTicks(). Cheapest for times that rise from call to call; a time far
  // back is found by bisection.
  int32_t Hold(uint32_t ticks);
  uint32_t HeldTicks() const { return heldTicks_; }
  // The value of the sample the cursor holds.
  double HeldValue() { return ValueAt(cursor_); }
  double ValueAt(int32_t i);
  uint16_t RawAt(int32_t i) const;
  uint32_t TicksAt(int32_t i) const;
  // The value of a raw sample (sensors whose value is their own sample's conversion).
  double ValueOfRaw(int32_t i, uint16_t raw);

 private:
  void LoadSpan(int32_t i);

  TDisplayVar& var_;
  const TVarHist* history_;
  uint8_t unit_;
  bool byRaw_;
  std::vector<double> byRawTable_;  // converted values by raw value (NaN: not yet)
  int32_t count_ = 0;
  int32_t cursor_ = -1;
  uint32_t heldTicks_ = 0;
  // Samples spanStart_ .. spanStart_ + spanLength_ - 1, side by side.
  const uint32_t* spanTimes_ = nullptr;
  const uint16_t* spanRaws_ = nullptr;
  int32_t spanStart_ = 0, spanLength_ = 0;
};

class TObservationWalker {
 public:
  // Over the recording's histories of the spec's sensors (unknown sensors and missing histories
  // give nothing to walk).
  TObservationWalker(const TSensorList& sensors, const THistorySet& recording, const TTableSpec& spec);
  ~TObservationWalker();

  // Up to max observations of the Z samples published since the last call, in order; returns how
  // many were written to out (0: none new).
  int Next(TObservation* out, int max);
  // Z samples walked so far.
  int32_t Walked() const { return next_; }
  bool CanWalk() const { return z_ != nullptr; }
  // The observation of the latest sample of Z at or before ticks (among those published); false
  // when Z has none. Independent of Next.
  bool At(uint32_t ticks, TObservation& out);

 private:
  TTableSpec spec_;
  std::unique_ptr<TSensorTrack> z_;
  // X, Y, then one per condition.
  std::vector<std::unique_ptr<TSensorTrack>> held_;
  // Fills in the observation of Z sample o.Index at o.Ticks.
  void Observe(TObservation& o, uint16_t zRaw);

  int32_t next_ = 0;
};
