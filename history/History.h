#pragma once
// One variable's sample history.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/BinFile.h"
#include "base/Endian.h"
#include "history/Ticks.h"

// Raised for a corrupt history block while reading a recording; what() is the reason alone
// ("history magic number incorrect", "file truncated"), which the loader puts in its message.
class THistoryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TSample {
  TTicks Time;  // unwrapped ticks of 10 us since the recording started
  uint16_t Raw;
};

// One variable's samples. Storage grows in blocks of 1350 samples that never move once allocated,
// so other threads may read the samples below Count() while one thread appends.
//
// Threads: one thread appends (the poll thread while recording, or the loader); any thread may
// read the samples below the count it loaded from Count(), never waiting for the appender.
//
// Times are stored as the file has them (32-bit ticks, see history/Ticks.h) and read as unwrapped
// TTicks (TicksOf, SpanAt, IndexAt), which never fall along the history. A block is plain when
// its samples' unwrapped times are its Offset plus the stored ticks (the usual case); a block where
// the counter wraps or a time falls also keeps every sample's unwrapped time beside the stored ones.
class TVarHist {
 public:
  static constexpr int32_t BlockSamples = 1350;

  explicit TVarHist(int32_t sensorId);
  virtual ~TVarHist();
  TVarHist(const TVarHist&) = delete;
  TVarHist& operator=(const TVarHist&) = delete;

  int32_t SensorId;

  // Number of samples published to readers.
  int32_t Count() const { return count_.load(std::memory_order_acquire); }
  int32_t Capacity() const { return capacity_.load(std::memory_order_relaxed); }
  int32_t LastIndex() const { return lastIndex_.load(std::memory_order_relaxed); }

  // One writer only.
  void Append(uint32_t time, uint16_t raw);
  // Appends n records of 6 bytes (time, raw; little-endian) and publishes them at once.
  void AppendRecords(const unsigned char* records, int32_t n);
  void EnsureCapacity(int32_t n);

  // The unwrapped time of sample i; the time as stored (in the file) alone.
  TTicks TicksOf(int32_t i) const { return BlockOf(i)->TicksAt(i % BlockSamples); }
  uint32_t StoredTicksOf(int32_t i) const { return BlockOf(i)->Times[static_cast<size_t>(i % BlockSamples)]; }
  double TimeOf(int32_t i) const { return SecondsOfTicks(TicksOf(i)); }
  uint16_t RawOf(int32_t i) const { return BlockOf(i)->Raws[static_cast<size_t>(i % BlockSamples)]; }
  // f(ticks, raw) for samples from .. to - 1 (below the count) in order, a block at a time: a
  // pass over many samples without looking each one's block up.
  template <typename F>
  void ForEachSample(int32_t from, int32_t to, F&& f) const {
    while (from < to) {
      const TSpan span = SpanAt(from, to);
      for (int32_t k = 0; k < span.Length; ++k) f(span.TicksAt(k), span.Raws[k]);
      from += span.Length;
    }
  }

  // Samples i .. i + Length - 1 lie side by side in one block (Length reaches at most the block's
  // end and count): a reader walking many samples reads them without a lookup per sample. In a
  // plain span (Unwrapped null) sample k is at Offset + Times[k] and the stored times rise; else
  // at Unwrapped[k].
  struct TSpan {
    const uint32_t* Times;
    const uint16_t* Raws;
    int32_t Length;
    TTicks Offset;
    const TTicks* Unwrapped;
    bool Plain() const { return Unwrapped == nullptr; }
    TTicks TicksAt(int32_t k) const { return Unwrapped ? Unwrapped[k] : Offset + Times[k]; }
  };
  TSpan SpanAt(int32_t i, int32_t count) const {
    const Block* b = BlockOf(i);
    const int32_t k = i % BlockSamples;
    const int32_t end = count - (i - k) < BlockSamples ? count - (i - k) : BlockSamples;
    const TTicks* unwrapped = b->Unwrapped.load(std::memory_order_acquire);
    return {b->Times + k, b->Raws + k, end - k, b->Offset, unwrapped ? unwrapped + k : nullptr};
  }

  // The largest step from one stored time to the next among times[0 .. n - 1]; Irregular where a
  // time is below the one before it.
  static constexpr uint32_t Irregular = UINT32_MAX;
  static uint32_t LargestStep(const uint32_t* times, int32_t n);
  // The largest step between neighbouring times from index i to the end of its block (no further
  // than count), or Irregular where that block is not plain: a block that holds all its samples
  // keeps its figure for the whole of it (which may be larger), so only the block still filling
  // is looked through.
  uint32_t LargestStepAt(int32_t i, int32_t count) const;

  // Index of the last sample at or before t (unwrapped ticks), or 0 when every sample is later;
  // -1 when empty.
  int32_t IndexAt(TTicks t) const;
  // The same among the first count samples (at most the count published).
  int32_t IndexAt(TTicks t, int32_t count) const { return count > 0 ? IndexAtSorted(t, count) : -1; }
  int32_t IndexAtSeconds(double t) const { return IndexAt(TicksAtOrBefore(t)); }
  // Seconds are not ticks: asked by seconds, a lookup names them.
  int32_t IndexAt(double t) const = delete;
  std::optional<TSample> SampleAt(double t);
  int64_t MemorySize() const { return 32 + 14 * static_cast<int64_t>(Count()); }

  bool WriteTo(TBinFile& file) const;
  // Samples [from, to) as 6-byte records (time, raw; little-endian) into out, block by block.
  void CopyRecords(int32_t from, int32_t to, unsigned char* out) const;
  // False when the block header is short; throws THistoryError for a corrupt block.
  bool ReadFrom(TBinFile& file);

  // Bytes of memory held for the samples and their directory.
  size_t AllocatedBytes() const;

 private:
  // Every 16th time of a block again, side by side: a lookup reads a few cache lines of these
  // and then one line of Times instead of bisecting all 1350 times.
  static constexpr int32_t Stride = 16;
  static constexpr int32_t StrideEntries = (BlockSamples + Stride - 1) / Stride;
  // A block's strides, times and raw values follow it in one allocation. Blocks made while
  // samples arrive one by one hold 1350; the last block of a history read whole from a file holds
  // just its samples, so a file of many short histories takes memory in proportion to its size.
  struct Block {
    uint32_t* Times;
    uint16_t* Raws;
    int32_t Capacity;
    // The largest step between neighbouring times so far (Irregular once the block is not plain).
    // The appender writes it; readers take it only once all 1350 samples are published.
    uint32_t LargestStep = 0;
    // A plain block's samples are at Offset + Times[k] (Offset: the counter's turns so far).
    TTicks Offset = 0;
    // Every sample's unwrapped time, once the block is not plain (Capacity entries); the appender
    // publishes it before the count that first needs it.
    std::atomic<TTicks*> Unwrapped{nullptr};
    TTicks TicksAt(int32_t k) const {
      const TTicks* u = Unwrapped.load(std::memory_order_acquire);
      return u ? u[k] : Offset + Times[k];
    }
    // Every 16th time, first, next to the times they lead to.
    uint32_t* Strides() { return reinterpret_cast<uint32_t*>(this + 1); }
    const uint32_t* Strides() const { return reinterpret_cast<const uint32_t*>(this + 1); }
  };
  // The step from a time to the next one; Irregular when it is below.
  static uint32_t Step(uint32_t from, uint32_t to) { return to >= from ? to - from : Irregular; }
  // Keeps every unwrapped time of a block from now on: those of its first k samples from its
  // offset.
  static TTicks* MakeIrregular(Block* block, int32_t k);

  static Block* NewBlock(int32_t capacity);
  static void FreeBlock(Block* block);
  static size_t BlockBytes(int32_t capacity);
  // Blocks are reached through pages of 128 block pointers. The first pages sit in the history
  // itself; a table for more pages is allocated only for histories of over 1.3 million samples.
  // Nothing is allocated until the first sample arrives.
  static constexpr int32_t PageBlocks = 128;
  static constexpr int32_t InlinePages = 8;
  static constexpr int32_t MaxPages = (0x7FFFFFFF / BlockSamples) / PageBlocks + 1;
  struct Page {
    Block* Blocks[PageBlocks] = {};
    TTicks FirstTimes[PageBlocks] = {};  // unwrapped time of each block's first sample
  };

  Page* PageAt(int32_t p) const { return p < InlinePages ? inlinePages_[p] : morePages_[p - InlinePages]; }
  // The time of each page's first sample, kept beside the page pointers so that a lookup finds
  // the page without visiting pages that lie all over memory.
  TTicks PageFirstTime(int32_t p) const {
    return p < InlinePages ? inlinePageFirst_[p] : morePageFirst_[p - InlinePages];
  }
  // Block 0 is held here: a history of one block needs no page.
  Block* BlockAt(int32_t b) const { return b == 0 ? first_ : PageAt(b / PageBlocks)->Blocks[b % PageBlocks]; }
  const Block* BlockOf(int32_t i) const { return BlockAt(i / BlockSamples); }
  // A new last block for samples from index blocks_ x 1350 on: the whole 1350, or fewer when a
  // file read says how many will come.
  void AddBlock();
  // A short block that must take more samples is replaced by a whole one (the old one stays until
  // the history goes, for a reader that still holds it).
  Block* GrowBlock(int32_t b);
  void NoteBlockStart(Page* page, int32_t b, TTicks time);
  // The block's sample k, just stored, at unwrapped time t as unwrap_ found it.
  void NoteTicks(Page* page, int32_t b, Block* block, int32_t k, TTicks t);
  int32_t IndexAtSorted(TTicks key, int32_t count) const;

  std::atomic<int32_t> count_{0};
  std::atomic<int32_t> capacity_{BlockSamples};  // grows by 1350 as samples arrive
  std::atomic<int32_t> lastIndex_{0};
  // Appender's own state.
  int32_t blocks_ = 0;  // blocks allocated
  int64_t expected_ = 0;  // samples a file read announced; sizes the last block
  Block* first_ = nullptr;
  std::unique_ptr<std::vector<Block*>> retired_;
  TTickUnwrapper unwrap_;
  Page* inlinePages_[InlinePages] = {};
  TTicks inlinePageFirst_[InlinePages] = {};
  std::unique_ptr<Page*[]> morePages_;
  std::unique_ptr<TTicks[]> morePageFirst_;
};
