#include "history/History.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>


// ---------------------------------------------------------------------------------------------
// TVarHist

namespace {
constexpr uint32_t kBlockHeaderLength = 128;
constexpr uint32_t kHistoryMagic = 12360;
constexpr size_t kRecordBytes = 6;

}  // namespace

TVarHist::TVarHist(int32_t sensorId) : SensorId(sensorId) {}

TVarHist::Block* TVarHist::NewBlock(int32_t capacity) {
  void* memory = ::operator new(BlockBytes(capacity));
  Block* block = new (memory) Block;
  const size_t strides = static_cast<size_t>((capacity + Stride - 1) / Stride);
  block->Capacity = capacity;
  block->Times = block->Strides() + strides;
  block->Raws = reinterpret_cast<uint16_t*>(block->Times + capacity);
  return block;
}

void TVarHist::FreeBlock(Block* block) {
  if (!block) return;
  delete[] block->Unwrapped.load(std::memory_order_relaxed);
  block->~Block();
  ::operator delete(block);
}

size_t TVarHist::BlockBytes(int32_t capacity) {
  const auto n = static_cast<size_t>(capacity);
  return sizeof(Block) + (n + Stride - 1) / Stride * sizeof(uint32_t) + n * (sizeof(uint32_t) + sizeof(uint16_t));
}

TVarHist::~TVarHist() {
  for (int32_t b = 0; b < blocks_; ++b) FreeBlock(BlockAt(b));
  for (int32_t p = 0; p * PageBlocks < blocks_; ++p) delete PageAt(p);
  if (retired_)
    for (Block* b : *retired_) FreeBlock(b);
}

void TVarHist::AddBlock() {
  int32_t b = blocks_;
  int32_t p = b / PageBlocks;
  if (p >= MaxPages) throw std::bad_alloc();
  const int64_t start = static_cast<int64_t>(b) * BlockSamples;
  const int32_t capacity = expected_ > start ? static_cast<int32_t>(std::min<int64_t>(BlockSamples, expected_ - start))
                                             : BlockSamples;
  if (b > 0) {
    if (p >= InlinePages && !morePages_) {
      morePages_.reset(new Page*[MaxPages - InlinePages]());
      morePageFirst_.reset(new TTicks[MaxPages - InlinePages]());
    }
    Page*& page = p < InlinePages ? inlinePages_[p] : morePages_[p - InlinePages];
    if (!page) {
      page = new Page;
      // The first page arrives with the second block and takes over the first.
      if (p == 0) {
        page->Blocks[0] = first_;
        page->FirstTimes[0] = inlinePageFirst_[0];
      }
    }
    page->Blocks[b % PageBlocks] = NewBlock(capacity);
  } else {
    first_ = NewBlock(capacity);
  }
  blocks_ = b + 1;
}

TVarHist::Block* TVarHist::GrowBlock(int32_t b) {
  Block* old = BlockAt(b);
  Block* grown = NewBlock(BlockSamples);
  const auto n = static_cast<size_t>(old->Capacity);
  std::memcpy(grown->Times, old->Times, n * sizeof(uint32_t));
  std::memcpy(grown->Raws, old->Raws, n * sizeof(uint16_t));
  std::memcpy(grown->Strides(), old->Strides(), (n + Stride - 1) / Stride * sizeof(uint32_t));
  grown->LargestStep = old->LargestStep;
  grown->Offset = old->Offset;
  if (const TTicks* u = old->Unwrapped.load(std::memory_order_relaxed)) {
    auto* copy = new TTicks[BlockSamples];
    std::memcpy(copy, u, n * sizeof(TTicks));
    grown->Unwrapped.store(copy, std::memory_order_release);
  }
  if (b == 0) first_ = grown;
  if (b > 0 || PageAt(0)) PageAt(b / PageBlocks)->Blocks[b % PageBlocks] = grown;
  if (!retired_) retired_ = std::make_unique<std::vector<Block*>>();
  retired_->push_back(old);
  return grown;
}

void TVarHist::NoteBlockStart(Page* page, int32_t b, TTicks time) {
  if (page) page->FirstTimes[b % PageBlocks] = time;
  if (b % PageBlocks == 0) {
    int32_t p = b / PageBlocks;
    (p < InlinePages ? inlinePageFirst_[p] : morePageFirst_[p - InlinePages]) = time;
  }
}

void TVarHist::EnsureCapacity(int32_t n) {
  if (n <= Capacity()) return;
  int64_t want = (static_cast<int64_t>(n) / BlockSamples) * BlockSamples + BlockSamples;
  capacity_.store(static_cast<int32_t>(std::min<int64_t>(want, 0x7FFFFFFF)), std::memory_order_relaxed);
}

void TVarHist::Append(uint32_t time, uint16_t raw) {
  int32_t n = count_.load(std::memory_order_relaxed);
  if (n == capacity_.load(std::memory_order_relaxed)) capacity_.store(n + BlockSamples, std::memory_order_relaxed);
  int32_t b = n / BlockSamples;
  int32_t k = n - b * BlockSamples;
  if (b == blocks_) AddBlock();
  Page* page = PageAt(b / PageBlocks);
  Block* block = BlockAt(b);
  if (k == block->Capacity) block = GrowBlock(b);
  block->Times[k] = time;
  block->Raws[k] = raw;
  if (k % Stride == 0) block->Strides()[k / Stride] = time;
  NoteTicks(page, b, block, k, unwrap_.Next(time));
  count_.store(n + 1, std::memory_order_release);
}

TTicks* TVarHist::MakeIrregular(Block* block, int32_t k) {
  auto* u = new TTicks[static_cast<size_t>(block->Capacity)];
  for (int32_t j = 0; j < k; ++j) u[j] = block->Offset + block->Times[j];
  block->LargestStep = Irregular;
  block->Unwrapped.store(u, std::memory_order_release);
  return u;
}

void TVarHist::NoteTicks(Page* page, int32_t b, Block* block, int32_t k, TTicks t) {
  TTicks* u = block->Unwrapped.load(std::memory_order_relaxed);
  if (k == 0) {
    block->Offset = unwrap_.Epoch();
    NoteBlockStart(page, b, t);
    if (unwrap_.Raised()) u = MakeIrregular(block, 0);
  } else if (!u) {
    if (unwrap_.Raised() || unwrap_.Epoch() != block->Offset)
      u = MakeIrregular(block, k);
    else
      block->LargestStep = std::max(block->LargestStep, block->Times[k] - block->Times[k - 1]);
  }
  if (u) u[k] = t;
}

void TVarHist::AppendRecords(const unsigned char* p, int32_t n) {
  int32_t count = count_.load(std::memory_order_relaxed);
  while (n > 0) {
    int32_t b = count / BlockSamples;
    int32_t k = count - b * BlockSamples;
    if (b == blocks_) AddBlock();
    Page* page = PageAt(b / PageBlocks);
    Block* block = BlockAt(b);
    if (k == block->Capacity) block = GrowBlock(b);
    int32_t take = std::min(n, block->Capacity - k);
    for (int32_t j = k; j < k + take; ++j, p += 6) {
      block->Times[j] = GetU32(p);
      block->Raws[j] = static_cast<uint16_t>(p[4] | p[5] << 8);
    }
    for (int32_t j = (k + Stride - 1) / Stride * Stride; j < k + take; j += Stride) block->Strides()[j / Stride] = block->Times[j];
    // The first new time by the rule; then the steps among the new times and from the block's
    // sample before them, looked through while they are still in the cache. Where none falls in
    // a plain block, the rest are its offset plus their ticks; else each goes by the rule.
    NoteTicks(page, b, block, k, unwrap_.Next(block->Times[k]));
    const uint32_t step = take > 1 ? LargestStep(block->Times + k, take) : 0;
    if (step != Irregular && !block->Unwrapped.load(std::memory_order_relaxed)) {
      block->LargestStep = std::max(block->LargestStep, step);
      if (take > 1) unwrap_.Next(block->Times[k + take - 1]);
    } else {
      for (int32_t j = k + 1; j < k + take; ++j) NoteTicks(page, b, block, j, unwrap_.Next(block->Times[j]));
    }
    count += take;
    n -= take;
  }
  while (count > capacity_.load(std::memory_order_relaxed))
    capacity_.store(capacity_.load(std::memory_order_relaxed) + BlockSamples, std::memory_order_relaxed);
  count_.store(count, std::memory_order_release);
}

namespace {
// The last index in [0, n) whose value is <= key, or 0 when there is none; values in order. The
// loop runs a fixed number of times for a given n and compiles to conditional moves, so random
// keys cost no mispredicted branches.
template <typename Key, typename Get>
int32_t LastNotAfter(int32_t n, Key key, Get value) {
  int32_t base = 0;
  while (n > 1) {
    int32_t half = n / 2;
    base = value(base + half) <= key ? base + half : base;
    n -= half;
  }
  return base;
}
}  // namespace

// Same result for samples in time order: find the page, then the block by its first time, then
// the stride, then the sample.
int32_t TVarHist::IndexAtSorted(TTicks key, int32_t count) const {
  int32_t nblocks = (count + BlockSamples - 1) / BlockSamples;
  int32_t p = LastNotAfter((nblocks + PageBlocks - 1) / PageBlocks, key, [this](int32_t i) { return PageFirstTime(i); });
  // A history of one block has no page yet (the appender may be making it): only its block is read.
  const int32_t inPage = std::min(PageBlocks, nblocks - p * PageBlocks);
  int32_t b = 0;
  if (inPage > 1) {
    const Page* page = PageAt(p);
    b = LastNotAfter(inPage, key, [page](int32_t i) { return page->FirstTimes[i]; });
  }
  const Block* block = BlockAt(p * PageBlocks + b);
  int32_t base = (p * PageBlocks + b) * BlockSamples;
  int32_t n = std::min(BlockSamples, count - base);
  if (const TTicks* u = block->Unwrapped.load(std::memory_order_acquire)) {
    return base + LastNotAfter(n, key, [u](int32_t i) { return u[i]; });
  }
  // In a plain block, by the stored times against the key less the block's offset (before the
  // block only for its first block, where the first sample is the answer anyway).
  const auto stored = static_cast<uint32_t>(std::clamp<TTicks>(key - block->Offset, 0, UINT32_MAX));
  int32_t first = LastNotAfter((n + Stride - 1) / Stride, stored, [block](int32_t i) { return block->Strides()[i]; }) * Stride;
  int32_t last = std::min(first + Stride, n);
  int32_t k = first;
  for (int32_t j = first; j < last; ++j) k += block->Times[j] <= stored;
  int32_t idx = base + k - 1;
  return idx < 0 ? 0 : idx;
}

uint32_t TVarHist::LargestStep(const uint32_t* times, int32_t n) {
  // Eight neighbours' steps at a time in two vectors. Plain SSE2 compares signed numbers only: the
  // steps and times are compared with their top bits flipped, which orders them as unsigned.
  using TFour = int32_t __attribute__((vector_size(16)));
  const TFour flip = {INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN};
  TFour largest0 = flip, largest1 = flip, falls = {};
  int32_t k = 0;
  for (; k + 9 <= n; k += 8) {
    TFour v0, w0, v1, w1;
    std::memcpy(&v0, times + k, sizeof v0);
    std::memcpy(&w0, times + k + 1, sizeof w0);
    std::memcpy(&v1, times + k + 4, sizeof v1);
    std::memcpy(&w1, times + k + 5, sizeof w1);
    const TFour step0 = (w0 - v0) ^ flip, step1 = (w1 - v1) ^ flip;
    largest0 = largest0 > step0 ? largest0 : step0;
    largest1 = largest1 > step1 ? largest1 : step1;
    falls |= ((w0 ^ flip) < (v0 ^ flip)) | ((w1 ^ flip) < (v1 ^ flip));
  }
  if (falls[0] | falls[1] | falls[2] | falls[3]) return Irregular;
  const TFour largest = largest0 > largest1 ? largest0 : largest1;
  uint32_t step = 0;
  for (int i = 0; i < 4; ++i) step = std::max(step, static_cast<uint32_t>(largest[i] ^ INT32_MIN));
  for (++k; k < n; ++k) step = std::max(step, Step(times[k - 1], times[k]));
  return step;
}

uint32_t TVarHist::LargestStepAt(int32_t i, int32_t count) const {
  const Block* block = BlockOf(i);
  const int32_t start = i - i % BlockSamples;
  if (count - start >= BlockSamples) return block->LargestStep;
  const TSpan span = SpanAt(i, count);
  return span.Plain() ? LargestStep(span.Times, span.Length) : Irregular;
}

int32_t TVarHist::IndexAt(TTicks key) const {
  int32_t count = Count();
  if (count == 0) return -1;
  // Players and graphs ask for times close to the previous lookup: try its neighbourhood first,
  // within the hint's block.
  int32_t hint = lastIndex_.load(std::memory_order_relaxed);
  if (hint >= 0 && hint < count) {
    const Block* block = BlockOf(hint);
    int32_t base = hint - hint % BlockSamples;
    int32_t k = hint - base;
    int32_t inBlock = std::min(BlockSamples, count - base);
    if (block->TicksAt(k) <= key) {
      int32_t end = std::min(inBlock, k + 9);
      int32_t j = k + 1;
      while (j < end && block->TicksAt(j) <= key) ++j;
      if (j < end || base + j == count) return base + j - 1;  // the sample after is later than the key
    } else if (k > 0 && block->TicksAt(k - 1) <= key) {
      return hint - 1;
    }
  }
  return IndexAtSorted(key, count);
}

std::optional<TSample> TVarHist::SampleAt(double t) {
  int32_t i = IndexAtSeconds(t);
  lastIndex_.store(i, std::memory_order_relaxed);
  if (i < 0) return std::nullopt;
  return TSample{TicksOf(i), RawOf(i)};
}


size_t TVarHist::AllocatedBytes() const {
  size_t pages = static_cast<size_t>((blocks_ + PageBlocks - 1) / PageBlocks);
  size_t bytes = sizeof(*this) + (blocks_ > 1 ? pages * sizeof(Page) : 0);
  for (int32_t b = 0; b < blocks_; ++b) bytes += BlockBytes(BlockAt(b)->Capacity);
  if (morePages_) bytes += (sizeof(Page*) + sizeof(TTicks)) * (MaxPages - InlinePages);
  for (int32_t b = 0; b < blocks_; ++b)
    if (BlockAt(b)->Unwrapped.load(std::memory_order_relaxed)) bytes += sizeof(TTicks) * static_cast<size_t>(BlockAt(b)->Capacity);
  return bytes;
}

void TVarHist::CopyRecords(int32_t from, int32_t to, unsigned char* out) const {
  while (from < to) {
    const Block* block = BlockOf(from);
    const int32_t k0 = from % BlockSamples;
    const int32_t n = std::min(BlockSamples - k0, to - from);
    for (int32_t k = k0; k < k0 + n; ++k, out += kRecordBytes) {
      PutU32(out, block->Times[k]);
      out[4] = static_cast<unsigned char>(block->Raws[k]);
      out[5] = static_cast<unsigned char>(block->Raws[k] >> 8);
    }
    from += n;
  }
}

bool TVarHist::WriteTo(TBinFile& file) const {
  int32_t count = Count();
  unsigned char header[kBlockHeaderLength] = {};
  PutU32(header, kBlockHeaderLength);
  PutU32(header + 4, kHistoryMagic);
  PutU32(header + 8, static_cast<uint32_t>(count));
  PutU32(header + 12, static_cast<uint32_t>(SensorId));
  if (file.WriteBytes(header, sizeof header) != sizeof header) return false;

  // Records go out in batches of up to 64 blocks (about half a megabyte) a write.
  constexpr size_t kBatch = static_cast<size_t>(BlockSamples) * kRecordBytes * 64;
  std::vector<unsigned char> buf(std::min(kBatch, static_cast<size_t>(count) * kRecordBytes));
  size_t used = 0;
  for (int32_t base = 0; base < count; base += BlockSamples) {
    const Block* block = BlockOf(base);
    int32_t n = std::min(BlockSamples, count - base);
    unsigned char* p = buf.data() + used;
    for (int32_t k = 0; k < n; ++k, p += kRecordBytes) {
      PutU32(p, block->Times[k]);
      p[4] = static_cast<unsigned char>(block->Raws[k]);
      p[5] = static_cast<unsigned char>(block->Raws[k] >> 8);
    }
    used += static_cast<size_t>(n) * kRecordBytes;
    if (used + static_cast<size_t>(BlockSamples) * kRecordBytes > buf.size() || base + BlockSamples >= count) {
      if (file.WriteBytes(buf.data(), used) != used) return false;
      used = 0;
    }
  }
  return true;
}

bool TVarHist::ReadFrom(TBinFile& file) {
  unsigned char header[kBlockHeaderLength];
  if (file.ReadBytes(header, sizeof header) != sizeof header) return false;
  if (GetU32(header) != kBlockHeaderLength) throw THistoryError("history size incorrect");
  if (GetU32(header + 4) != kHistoryMagic)
    throw THistoryError("history magic number incorrect");
  auto count = static_cast<int32_t>(GetU32(header + 8));
  SensorId = static_cast<int32_t>(GetU32(header + 12));
  // A negative count cannot describe samples; a count beyond the file's remaining bytes means
  // the file ends inside the records. Memory is only ever taken for bytes actually present.
  if (count < 0) throw THistoryError("history size incorrect");
  // The capacity a reader that reserved room for the whole count up front would end with.
  int64_t target = Capacity();
  if (count > target) target = (static_cast<int64_t>(count) / BlockSamples) * BlockSamples + BlockSamples;

  // Up to 64 blocks' worth of records a read, decoded straight into the blocks. The buffer never
  // exceeds what the count promises, and samples take memory only once they have been read.
  constexpr int32_t kChunk = BlockSamples * 64;
  // The last block takes only the samples that are announced; memory still comes only as they
  // are read.
  expected_ = static_cast<int64_t>(count_.load(std::memory_order_relaxed)) + count;
  struct TForget {
    int64_t& expected;
    ~TForget() { expected = 0; }
  } forget{expected_};
  std::vector<unsigned char> buf(static_cast<size_t>(std::min(count, kChunk)) * kRecordBytes);
  for (int32_t base = 0; base < count; base += kChunk) {
    int32_t n = std::min(kChunk, count - base);
    size_t bytes = static_cast<size_t>(n) * kRecordBytes;
    size_t got = file.ReadBytes(buf.data(), bytes);
    AppendRecords(buf.data(), static_cast<int32_t>(got / kRecordBytes));
    if (got != bytes) throw THistoryError("file truncated");
  }
  if (target > Capacity()) capacity_.store(static_cast<int32_t>(target), std::memory_order_relaxed);
  return true;
}
