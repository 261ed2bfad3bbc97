// Sample histories: lookup by time, growth, the file block, hostile input and concurrent readers.
#include <atomic>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "base/HighResTimer.h"
#include "history/History.h"
#include "base/ObjList.h"

namespace {

// The last sample at or before key (or the first when every one is later), by a plain search over
// unwrapped times worked out by the test itself.
int32_t ReferenceIndexAt(const std::vector<int64_t>& times, int64_t key) {
  if (times.empty()) return -1;
  int32_t found = 0;
  for (size_t i = 0; i < times.size(); ++i)
    if (times[i] <= key) found = static_cast<int32_t>(i);
  return found;
}

std::string BlockHeader(uint32_t length, uint32_t magic, int32_t count, int32_t id) {
  std::string h(128, '\0');
  auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) h[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put(0, length);
  put(4, magic);
  put(8, static_cast<uint32_t>(count));
  put(12, static_cast<uint32_t>(id));
  return h;
}

class History : public ::testing::Test {
 protected:
  TTempDir dir_;
};

TEST_F(History, EmptyHistory) {
  TVarHist h(4);
  EXPECT_EQ(h.Count(), 0);
  EXPECT_EQ(h.IndexAtSeconds(1.0), -1);
  EXPECT_FALSE(h.SampleAt(1.0).has_value());
  EXPECT_EQ(h.LastIndex(), -1);
  EXPECT_EQ(h.MemorySize(), 32);
  EXPECT_EQ(h.Capacity(), 1350);

  TBinFile f;
  ASSERT_TRUE(f.CreateNew(dir_.File("empty.bin")));
  ASSERT_TRUE(h.WriteTo(f));
  f.Close();
  EXPECT_EQ(ReadFileBytes(dir_.File("empty.bin")), BlockHeader(128, 12360, 0, 4));
}

TEST_F(History, LookupByTime) {
  TVarHist h(1);
  // Times 100, 200, 200, 200, 300 ticks.
  for (uint32_t t : {100u, 200u, 200u, 200u, 300u}) h.Append(t, static_cast<uint16_t>(t));
  EXPECT_EQ(h.IndexAtSeconds(0.0), 0);        // before the first sample: the first sample
  EXPECT_EQ(h.IndexAtSeconds(0.00099), 0);    // key 99
  EXPECT_EQ(h.IndexAtSeconds(0.001), 0);      // exactly the first
  EXPECT_EQ(h.IndexAtSeconds(0.002), 3);      // the last of three equal times
  EXPECT_EQ(h.IndexAtSeconds(0.0025), 3);
  EXPECT_EQ(h.IndexAtSeconds(0.003), 4);
  EXPECT_EQ(h.IndexAtSeconds(100.0), 4);      // after the last
  auto s = h.SampleAt(0.0021);
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(s->Raw, 200);
  EXPECT_EQ(h.LastIndex(), 3);
}

TEST_F(History, KeyIsTruncatedNotRounded) {
  TVarHist h(1);
  h.Append(1, 10);
  h.Append(2, 20);
  EXPECT_EQ(h.IndexAtSeconds(0.000015), 0);  // key 1
  EXPECT_EQ(h.IndexAtSeconds(0.00002), 1);
}

TEST_F(History, TimesAndRawValues) {
  TVarHist h(1);
  h.Append(123456, 0xBEEF);
  EXPECT_DOUBLE_EQ(h.TimeOf(0), 1.23456);
  EXPECT_EQ(h.RawOf(0), 0xBEEF);
  EXPECT_EQ(h.TicksOf(0), 123456);
  EXPECT_EQ(h.MemorySize(), 32 + 14);
}

TEST_F(History, GrowsByBlocksAndKeepsSamples) {
  TVarHist h(1);
  for (uint32_t i = 0; i < 1350; ++i) h.Append(i, static_cast<uint16_t>(i));
  EXPECT_EQ(h.Capacity(), 1350);
  h.Append(1350, 1350);
  EXPECT_EQ(h.Capacity(), 2700);
  for (int32_t i = 0; i <= 1350; ++i) {
    ASSERT_EQ(h.TicksOf(i), i);
    ASSERT_EQ(h.RawOf(i), static_cast<uint16_t>(i));
  }
}

TEST_F(History, EnsureCapacity) {
  TVarHist h(1);
  h.EnsureCapacity(1350);
  EXPECT_EQ(h.Capacity(), 1350);
  h.EnsureCapacity(1351);
  EXPECT_EQ(h.Capacity(), 2700);
  h.EnsureCapacity(2700);
  EXPECT_EQ(h.Capacity(), 2700);
  h.EnsureCapacity(2701);
  EXPECT_EQ(h.Capacity(), 4050);
}

TEST_F(History, MatchesTheSearchOnSortedTimesWithTies) {
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    TVarHist h(1);
    std::vector<int64_t> times;
    uint32_t t = rng() % 50;
    int n = static_cast<int>(rng() % 6000);
    for (int i = 0; i < n; ++i) {
      t += rng() % 4;  // many equal neighbours
      times.push_back(t);
      h.Append(t, 0);
    }
    for (int q = 0; q < 300; ++q) {
      const int64_t key = rng() % (t + 100);
      ASSERT_EQ(h.IndexAt(key), ReferenceIndexAt(times, key)) << "n=" << n << " key=" << key;
      // A lookup close to the last one takes the short way; the answer must not change.
      h.SampleAt(SecondsOfTicks(key));
      for (int d : {-3, -1, 0, 1, 2, 5, 9, 40}) {
        if (key + d < 0) continue;
        ASSERT_EQ(h.IndexAt(key + d), ReferenceIndexAt(times, key + d)) << "n=" << n << " key=" << key + d;
      }
    }
  }
}

// Samples 7 ticks apart whose counter wraps past zero: each sample's time goes on rising past
// 2^32, appended one by one or read back from a file, with the wrap between two blocks or in one.
TEST_F(History, TimesRiseOnAfterTheTickCounterWraps) {
  for (int wrapAt : {TVarHist::BlockSamples, 2000, 5000}) {
    TVarHist h(1);
    std::vector<int64_t> times;
    const int64_t first = int64_t{0xFFFFFFFF} - int64_t{wrapAt - 1} * 7;
    for (int i = 0; i < 9000; ++i) {
      times.push_back(first + 7 * i);
      h.Append(static_cast<uint32_t>(first + 7 * i), static_cast<uint16_t>(i));
    }
    ASSERT_LT(h.StoredTicksOf(wrapAt), h.StoredTicksOf(wrapAt - 1));
    const std::unique_ptr<TVarHist> back = ReadBack(h, dir_.File("wrap" + std::to_string(wrapAt) + ".bin"));
    ASSERT_TRUE(back);
    for (const TVarHist* read : {&h, back.get()}) {
      for (int32_t i = 0; i < 9000; ++i) ASSERT_EQ(read->TicksOf(i), times[static_cast<size_t>(i)]) << wrapAt << " " << i;
      std::mt19937 rng(4);
      for (int q = 0; q < 2000; ++q) {
        const int64_t key = first - 10 + static_cast<int64_t>(rng() % (9000 * 7 + 20));
        ASSERT_EQ(read->IndexAt(key), ReferenceIndexAt(times, key)) << wrapAt << " " << key;
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Steps between neighbouring times

// Steps are compared several neighbours at a time: the largest is found at every place, among the
// first, the middle and the last times alike; equal times are a step of 0 and a fall is Falls.
TEST(HistorySteps, TheLargestStepAndAFallAreFoundAnywhere) {
  for (int32_t n = 0; n <= 21; ++n) {
    std::vector<uint32_t> times(static_cast<size_t>(n));
    for (int32_t k = 0; k < n; ++k) times[static_cast<size_t>(k)] = 10 + static_cast<uint32_t>(k / 2) * 3;
    EXPECT_EQ(TVarHist::LargestStep(times.data(), n), n > 2 ? 3u : 0u) << n;
    for (int32_t k = 1; k < n; ++k) {
      std::vector<uint32_t> wide = times, fall = times;
      for (size_t j = static_cast<size_t>(k); j < wide.size(); ++j) wide[j] += 100;
      EXPECT_EQ(TVarHist::LargestStep(wide.data(), n), 100u + (times[static_cast<size_t>(k)] - times[static_cast<size_t>(k) - 1]))
          << n << " at " << k;
      fall[static_cast<size_t>(k)] = 9;
      EXPECT_EQ(TVarHist::LargestStep(fall.data(), n), TVarHist::Irregular) << n << " falling at " << k;
    }
  }
}

// A block that holds all its samples answers with the figure kept while they arrived, one by one
// or read from a file alike; the block still filling is looked through from the sample asked for.
TEST_F(History, ABlockKeepsItsLargestStepOnceFull) {
  TVarHist h(1);
  const int32_t n = TVarHist::BlockSamples;
  uint32_t t = 0;
  for (int32_t i = 0; i < 2 * n + 10; ++i) {
    t += i == 700 ? 900 : i == n + 3 ? 0 : 5;
    h.Append(i == 2 * n + 4 ? t - 20 : t, 0);
  }
  EXPECT_EQ(h.LargestStepAt(0, h.Count()), 900u);
  EXPECT_EQ(h.LargestStepAt(800, h.Count()), 900u);  // the block's, not just from 800 on
  EXPECT_EQ(h.LargestStepAt(n, h.Count()), 5u);
  // A block where a time fell is not plain, wherever it is asked.
  EXPECT_EQ(h.LargestStepAt(2 * n, h.Count()), TVarHist::Irregular);
  EXPECT_EQ(h.LargestStepAt(2 * n + 4, h.Count()), TVarHist::Irregular);
  // Only the samples published at count are looked at in a block still filling.
  EXPECT_EQ(h.LargestStepAt(0, 600), 5u);

  TBinFile out;
  ASSERT_TRUE(out.CreateNew(dir_.File("h.bin")));
  ASSERT_TRUE(h.WriteTo(out));
  out.Close();
  TVarHist back(0);
  TBinFile in;
  ASSERT_TRUE(in.OpenExisting(dir_.File("h.bin")));
  ASSERT_TRUE(back.ReadFrom(in));
  for (int32_t i : {0, 800, n, 2 * n, 2 * n + 4}) EXPECT_EQ(back.LargestStepAt(i, back.Count()), h.LargestStepAt(i, h.Count())) << i;
  // The short last block of a file grows to a whole one as samples arrive, keeping its figure.
  for (int32_t i = 0; i < n; ++i) back.Append(t += 7, 0);
  EXPECT_EQ(back.LargestStepAt(2 * n, back.Count()), TVarHist::Irregular);
  EXPECT_EQ(back.LargestStepAt(3 * n, back.Count()), 7u);
}

// ---------------------------------------------------------------------------------------------
// File blocks

TEST_F(History, BlockRoundTripIsByteExact) {
  TVarHist h(161);
  for (uint32_t i = 0; i < 3000; ++i) h.Append(i * 37 + 0x01020304, static_cast<uint16_t>(i * 11));
  TBinFile out;
  ASSERT_TRUE(out.CreateNew(dir_.File("h.bin")));
  ASSERT_TRUE(h.WriteTo(out));
  out.Close();
  std::string bytes = ReadFileBytes(dir_.File("h.bin"));
  ASSERT_EQ(bytes.size(), 128u + 3000u * 6u);
  EXPECT_EQ(bytes.substr(0, 128), BlockHeader(128, 12360, 3000, 161));
  // Sample 1: time 0x01020304 + 37 = 0x01020329, raw 11, little-endian.
  EXPECT_EQ(bytes.substr(128 + 6, 6), std::string("\x29\x03\x02\x01\x0B\x00", 6));

  TVarHist back(0);
  TBinFile in;
  ASSERT_TRUE(in.OpenExisting(dir_.File("h.bin")));
  ASSERT_TRUE(back.ReadFrom(in));
  EXPECT_EQ(back.SensorId, 161);
  ASSERT_EQ(back.Count(), 3000);
  for (int32_t i = 0; i < 3000; ++i) {
    ASSERT_EQ(back.TicksOf(i), h.TicksOf(i));
    ASSERT_EQ(back.RawOf(i), h.RawOf(i));
  }
  EXPECT_EQ(back.Capacity(), 4050);
}

struct ReadCase {
  std::string bytes;
  bool result;
  const char* error;  // nullptr: no error
};

void ExpectRead(const std::string& path, const ReadCase& c, TVarHist& h) {
  WriteFileBytes(path, c.bytes);
  TBinFile f;
  ASSERT_TRUE(f.OpenExisting(path));
  if (c.error) {
    try {
      h.ReadFrom(f);
      FAIL() << "expected: " << c.error;
    } catch (const THistoryError& e) {
      EXPECT_STREQ(e.what(), c.error);
    }
  } else {
    EXPECT_EQ(h.ReadFrom(f), c.result);
  }
}

TEST_F(History, ShortBlockHeaderIsAPlainFalse) {
  TVarHist h(0);
  ExpectRead(dir_.File("short"), {std::string(100, '\0'), false, nullptr}, h);
}

TEST_F(History, WrongLengthIsCheckedBeforeTheMagic) {
  TVarHist h(0);
  ExpectRead(dir_.File("len"), {BlockHeader(64, 12360, 0, 1), false, "history size incorrect"},
             h);
  ExpectRead(dir_.File("both"), {BlockHeader(64, 0, 0, 1), false, "history size incorrect"},
             h);
  ExpectRead(dir_.File("magic"),
             {BlockHeader(128, 12361, 0, 1), false, "history magic number incorrect"}, h);
}

TEST_F(History, TruncatedRecords) {
  TVarHist h(0);
  std::string bytes = BlockHeader(128, 12360, 3, 1) + std::string(6 * 2 + 4, '\x01');
  ExpectRead(dir_.File("trunc"), {bytes, false, "file truncated"}, h);
}

TEST_F(History, CountsFixCapacityLikeEnsureCapacity) {
  for (auto [count, capacity] : {std::pair{1351, 2700}, std::pair{2700, 4050}, std::pair{1, 1350}, std::pair{0, 1350}}) {
    TVarHist h(0);
    std::string bytes = BlockHeader(128, 12360, count, 5) + std::string(static_cast<size_t>(count) * 6, '\0');
    ExpectRead(dir_.File("cap"), {bytes, true, nullptr}, h);
    EXPECT_EQ(h.Count(), count);
    EXPECT_EQ(h.Capacity(), capacity) << count;
  }
}

TEST_F(History, HostileCountsFailWithoutTakingMemory) {
  {
    TVarHist h(0);
    // Two billion samples promised, twelve bytes present.
    std::string bytes = BlockHeader(128, 12360, 2000000000, 5) + std::string(12, '\0');
    ExpectRead(dir_.File("huge"), {bytes, false, "file truncated"}, h);
    EXPECT_LE(h.AllocatedBytes(), 64u * 1024u);
  }
  {
    TVarHist h(0);
    ExpectRead(dir_.File("neg"),
               {BlockHeader(128, 12360, -5, 5), false, "history size incorrect"}, h);
  }
}

TEST_F(History, MemoryFollowsTheSamplesActuallyHeld) {
  TVarHist empty(1);
  EXPECT_EQ(empty.Capacity(), 1350);
  EXPECT_LT(empty.AllocatedBytes(), 512u);  // a recording may hold thousands of unused histories
  TVarHist one(1);
  one.Append(1, 1);
  EXPECT_LT(one.AllocatedBytes(), 12u * 1024u);
  one.EnsureCapacity(1'000'000);  // capacity is bookkeeping; memory comes with the samples
  EXPECT_EQ(one.Capacity(), 1'000'350);
  EXPECT_LT(one.AllocatedBytes(), 12u * 1024u);
  TVarHist big(1);
  for (uint32_t i = 0; i < 2'000'000; ++i) big.Append(i, 0);
  EXPECT_LT(static_cast<double>(big.AllocatedBytes()) / big.Count(), 6.5);
}

// ---------------------------------------------------------------------------------------------
// Files

TEST_F(History, BinFileBasics) {
  TStringFile f;
  EXPECT_FALSE(f.Close());
  EXPECT_FALSE(f.OpenExisting(dir_.File("missing")));
  EXPECT_FALSE(f.CreateNew(dir_.File("no/such/folder/x")));
  ASSERT_TRUE(f.CreateNew(dir_.File("t.txt")));
  EXPECT_EQ(f.WriteLine("abc"), 5u);
  EXPECT_TRUE(f.Close());
  EXPECT_FALSE(f.Close());
  EXPECT_EQ(ReadFileBytes(dir_.File("t.txt")), "abc\r\n");
  ASSERT_TRUE(f.CreateNew(dir_.File("t.txt")));  // truncates
  EXPECT_TRUE(f.Close());
  EXPECT_EQ(ReadFileBytes(dir_.File("t.txt")), "");
  TBinFile r;
  ASSERT_TRUE(r.OpenExisting(dir_.File("t.txt")));
  char c;
  EXPECT_EQ(r.ReadBytes(&c, 1), 0u);
  EXPECT_EQ(r.WriteBytes("x", 1), 0u);  // read only
}

// ---------------------------------------------------------------------------------------------
// One appender, several readers

TEST_F(History, ReadersSeeOnlyCompleteSamplesWhileAppending) {
  constexpr int32_t kSamples = 2'000'000;
  TVarHist h(1);
  std::atomic<bool> done{false};
  std::atomic<int64_t> checked{0};
  std::atomic<bool> bad{false};
  auto reader = [&](int seed) {
    std::mt19937 rng(static_cast<unsigned>(seed));
    while (!done.load(std::memory_order_acquire)) {
      int32_t n = h.Count();
      if (n == 0) continue;
      int32_t i = static_cast<int32_t>(rng() % static_cast<uint32_t>(n));
      if (h.TicksOf(i) != static_cast<uint32_t>(i) * 3 || h.RawOf(i) != static_cast<uint16_t>(i ^ 0x5A5A)) bad = true;
      int32_t found = h.IndexAtSeconds(i * 3 * 0.00001 + 0.000001);
      if (found < i) bad = true;  // later samples may have arrived meanwhile, never fewer
      // A whole block's kept figure, or the filling one looked through (none to step with one sample).
      const uint32_t step = h.LargestStepAt(i, n);
      if (step != 3 && !(step == 0 && i + 1 == n)) bad = true;
      checked.fetch_add(1, std::memory_order_relaxed);
    }
  };
  std::vector<std::thread> readers;
  for (int r = 0; r < 3; ++r) readers.emplace_back(reader, r);
  for (int32_t i = 0; i < kSamples; ++i) h.Append(static_cast<uint32_t>(i) * 3, static_cast<uint16_t>(i ^ 0x5A5A));
  done.store(true, std::memory_order_release);
  for (auto& t : readers) t.join();
  EXPECT_FALSE(bad.load());
  EXPECT_GT(checked.load(), 0);
  EXPECT_EQ(h.Count(), kSamples);
  EXPECT_EQ(h.IndexAtSeconds(kSamples * 3 * 0.00001), kSamples - 1);
}

}  // namespace

namespace {

TEST(HighResTimer, UnitsAgree) {
  THighResTimer t;
  int64_t ticks0 = t.ElapsedTicks();
  EXPECT_GE(ticks0, 0);
  struct timespec pause {0, 3'000'000};
  nanosleep(&pause, nullptr);
  double s = t.ElapsedSeconds();
  int64_t ms = t.ElapsedMs();
  int64_t ticks = t.ElapsedTicks();
  EXPECT_GE(s, 0.003);
  EXPECT_GE(ms, 3);
  EXPECT_GE(ticks, 300);
  EXPECT_LE(ms, t.ElapsedMs());
  EXPECT_NEAR(ticks / 100.0, static_cast<double>(t.ElapsedMs()), 50.0);  // 10-us ticks vs ms
  t.Reset();
  EXPECT_LT(t.ElapsedMs(), ms + 1);
}

struct Counted {
  explicit Counted(int* alive) : alive_(alive) { ++*alive_; }
  ~Counted() { --*alive_; }
  int* alive_;
};

TEST(ObjList, OwningListsDestroyTheirItems) {
  int alive = 0;
  {
    TObjList<Counted> owning(true);
    owning.Add(new Counted(&alive));
    owning.Add(new Counted(&alive));
    EXPECT_EQ(alive, 2);
    Counted* first = owning.Items(0);
    owning.Remove(first);  // taken out, not destroyed
    EXPECT_EQ(alive, 2);
    delete first;
    owning.Clear();
    EXPECT_EQ(alive, 0);
    owning.Add(new Counted(&alive));
  }
  EXPECT_EQ(alive, 0);
  Counted kept(&alive);
  {
    TObjList<Counted> borrowing;
    borrowing.Add(&kept);
    EXPECT_THROW(borrowing.Items(1), std::out_of_range);
  }
  EXPECT_EQ(alive, 1);
}

}  // namespace
