#pragma once
// Every sample the poll thread reads, in the order it reads them, for a reader on another thread
// that takes each one also while nothing is recorded (the live table): a ring of the newest 65535
// samples, about a minute at the line's pace.
//
// Threads: the poll thread pushes; one reader (the user-interface thread) takes. Neither waits for
// the other: a reader that falls more than a ring behind loses the oldest samples, and is told.
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class TSampleFeed {
 public:
  struct TEntry {
    uint32_t Ticks;  // as the poll thread stamps them (32 bits, wrapping)
    uint16_t Raw;
    uint16_t Id;  // the raw variable's id
  };
  static constexpr uint64_t kSize = uint64_t{1} << 16;

  TSampleFeed() : slots_(new std::atomic<uint64_t>[kSize]) {}

  // Poll thread. Ids above 16 bits are not fed.
  void Push(uint32_t id, uint32_t ticks, uint16_t raw) {
    if (id > UINT16_MAX) return;
    const uint64_t n = end_.load(std::memory_order_relaxed);
    slots_[n % kSize].store(uint64_t{ticks} | uint64_t{raw} << 32 | uint64_t{id} << 48, std::memory_order_release);
    end_.store(n + 1, std::memory_order_release);
  }
  // The position after the newest sample: a reader starting there takes only what comes after.
  uint64_t End() const { return end_.load(std::memory_order_acquire); }
  // Appends the samples from position `from` to the newest to out and returns the position after
  // them; lost counts the samples overwritten before they could be taken.
  uint64_t Take(uint64_t from, std::vector<TEntry>& out, uint64_t& lost) const;

 private:
  std::unique_ptr<std::atomic<uint64_t>[]> slots_;
  std::atomic<uint64_t> end_{0};
};
