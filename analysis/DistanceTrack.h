#pragma once
// The distance a recording's car has travelled since the recording's start, integrated from the
// road speed's samples: between two samples the speed changes evenly (the trapezoid rule); before
// the first sample nothing has been travelled, after the last the last speed holds.
#include <cstddef>
#include <cstdint>
#include <vector>

class TVarHist;

class TDistanceTrack {
 public:
  // speed: the road speed's raw samples, converted to km/h with the ECU type's speed constant.
  TDistanceTrack(const TVarHist& speed, double speedConstant);

  // Metres travelled from the recording's start to t seconds.
  double At(double t) const;
  // The first time (seconds), not before notBefore, at which the distance reaches metres;
  // infinity when the car stands still after its last sample and never gets there.
  double TimeAt(double metres, double notBefore = 0) const;

  size_t Samples() const { return times_.size(); }
  double SampleTime(size_t i) const { return times_[i]; }
  // The first sample later than t (Samples() when there is none).
  size_t FirstSampleAfter(double t) const;

 private:
  std::vector<double> times_;   // seconds
  std::vector<double> speeds_;  // metres a second
  std::vector<double> metres_;  // travelled up to the sample
};
