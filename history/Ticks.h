#pragma once
// Time as readers see it. A sample's time is stored, in files and by the poll thread, as a 32-bit
// count of 10 us ticks since the recording started, which wraps after 2^32 ticks (11.93 hours).
// In memory every reader sees it unwrapped, as TTicks: 64 bits that never fall along a history.
//
// The one rule (TTickUnwrapper), applied to each history's samples in order:
//   - a wrap is a fall from at least 2^31 to below 2^31 between neighbouring samples: the counter
//     went round, and 2^32 ticks are added from that sample on;
//   - any other fall is out of order (a damaged or crafted file): the sample keeps its place and
//     its time is raised to its predecessor's, so times along a history never fall.
//
// Ticks, milliseconds and seconds convert only through the named functions below, in 64 bits.
#include <cmath>
#include <cstdint>

using TTicks = int64_t;

constexpr TTicks kTicksPerSecond = 100000;
constexpr TTicks kTicksPerMs = 100;
// Later than any sample; earlier than any sample.
constexpr TTicks kNeverTicks = INT64_MAX;
constexpr TTicks kBeforeTicks = INT64_MIN;

constexpr TTicks TicksFromMs(int64_t ms) { return ms * kTicksPerMs; }
// Whole milliseconds at or before the ticks; and the first whole millisecond at or after them.
constexpr int64_t MsFloorOfTicks(TTicks t) { return t >= 0 ? t / kTicksPerMs : -((-t + kTicksPerMs - 1) / kTicksPerMs); }
constexpr int64_t MsCeilOfTicks(TTicks t) { return -MsFloorOfTicks(-t); }
// Seconds of ticks, as the exports and the graph have always computed them (ticks x 0.00001).
constexpr double SecondsOfTicks(TTicks t) { return static_cast<double>(t) * 0.00001; }
namespace ticks_detail {
// A whole number of ticks as TTicks, within +-2^62; a NaN counts as 0.
inline TTicks Clamped(double x) {
  constexpr double kLimit = 4611686018427387904.0;  // 2^62
  if (std::isnan(x)) return 0;
  return static_cast<TTicks>(x < -kLimit ? -kLimit : x > kLimit ? kLimit : x);
}
}  // namespace ticks_detail
// A time in seconds as ticks: the last tick at or before it, or the first at or after it. A time
// within 10 ns of a tick counts as on it, so seconds made from ticks (SecondsOfTicks) come back
// as the same ticks.
namespace ticks_detail {
inline TTicks OnOrBeside(double seconds, bool after) {
  const double x = seconds * static_cast<double>(kTicksPerSecond);
  const double nearest = std::nearbyint(x);
  return Clamped(std::fabs(x - nearest) <= 1e-3 ? nearest : after ? std::ceil(x) : std::floor(x));
}
}  // namespace ticks_detail
inline TTicks TicksAtOrBefore(double seconds) { return ticks_detail::OnOrBeside(seconds, false); }
inline TTicks TicksAtOrAfter(double seconds) { return ticks_detail::OnOrBeside(seconds, true); }
// The tick nearest a time in seconds (halves away from zero).
inline TTicks NearestTicks(double seconds) { return ticks_detail::Clamped(std::round(seconds * kTicksPerSecond)); }

// Turns a history's stored 32-bit times, fed in order, into unwrapped ticks by the rule above.
class TTickUnwrapper {
 public:
  static constexpr uint32_t kHalf = 0x80000000u;
  static constexpr TTicks kTurn = TTicks{1} << 32;

  // The unwrapped time of the next stored time.
  TTicks Next(uint32_t stored) {
    if (any_ && lastStored_ >= kHalf && stored < kHalf) epoch_ += kTurn;
    TTicks t = epoch_ + stored;
    raised_ = any_ && t < last_;
    if (raised_) t = last_;
    any_ = true;
    lastStored_ = stored;
    last_ = t;
    return t;
  }
  // What the last Next found: the ticks the counter's turns add, and whether the time was raised.
  TTicks Epoch() const { return epoch_; }
  bool Raised() const { return raised_; }
  TTicks Last() const { return last_; }

 private:
  bool any_ = false;
  bool raised_ = false;
  uint32_t lastStored_ = 0;
  TTicks epoch_ = 0;
  TTicks last_ = 0;
};
