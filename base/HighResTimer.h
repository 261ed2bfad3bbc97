#pragma once
// Elapsed time on the monotonic clock, in seconds, 10-microsecond ticks or milliseconds.
#include <cstdint>
#include <ctime>

class THighResTimer {
 public:
  THighResTimer() { Reset(); }
  void Reset() { start_ = Now(); }
  double ElapsedSeconds() const { return static_cast<double>(Now() - start_) / kFrequency; }
  // Callers keep the low 32 bits: ticks wrap after about 11.9 hours.
  int64_t ElapsedTicks() const { return (Now() - start_) * 100000 / kFrequency; }
  int64_t ElapsedMs() const { return (Now() - start_) * 1000 / kFrequency; }

 private:
  static constexpr int64_t kFrequency = 1000000000;  // the counter counts nanoseconds
  static int64_t Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * kFrequency + ts.tv_nsec;
  }
  int64_t start_ = 0;
};
