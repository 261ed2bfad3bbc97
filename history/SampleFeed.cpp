#include "history/SampleFeed.h"

#include <algorithm>

uint64_t TSampleFeed::Take(uint64_t from, std::vector<TEntry>& out, uint64_t& lost) const {
  // Positions before `oldest` may already be written over: a slot read after the pusher wrote
  // position n + kSize there shows an end of at least n + kSize, which puts n before the oldest.
  const auto oldest = [](uint64_t end) { return end >= kSize ? end - kSize + 1 : 0; };
  const uint64_t end = End();
  if (from < oldest(end)) {
    lost += oldest(end) - from;
    from = oldest(end);
  }
  const size_t first = out.size();
  for (uint64_t n = from; n < end; ++n) {
    const uint64_t v = slots_[n % kSize].load(std::memory_order_acquire);
    out.push_back({static_cast<uint32_t>(v), static_cast<uint16_t>(v >> 32), static_cast<uint16_t>(v >> 48)});
  }
  // The pusher may have gone round meanwhile: what it may have written over is dropped.
  const uint64_t now = End();
  if (from < oldest(now)) {
    const uint64_t over = std::min(oldest(now) - from, end - from);
    out.erase(out.begin() + static_cast<std::ptrdiff_t>(first), out.begin() + static_cast<std::ptrdiff_t>(first + over));
    lost += over;
  }
  return end;
}
