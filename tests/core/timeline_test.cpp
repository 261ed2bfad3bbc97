// One timeline: stored times unwrapped past the tick counter's wrap and raised where they fall,
// the same through every way a history is read (times, spans, lookups, the history cursor, a
// file read back), and the live feed of the values the link reads.
#include <random>
#include <vector>

#include "TableRecordings.h"
#include "TestSupport.h"
#include "base/BinFile.h"
#include "history/History.h"
#include "history/HistoryCursor.h"
#include "history/SampleFeed.h"
#include "history/Ticks.h"

namespace {

constexpr uint32_t kHalf = 0x80000000u;
constexpr int64_t kTurn = int64_t{1} << 32;

TEST(TickRule, AWrapIsAFallFromTheUpperHalfBelowItAndAnyOtherFallIsRaised) {
  struct TCase {
    std::vector<uint32_t> stored;
    std::vector<int64_t> unwrapped;
  };
  const TCase cases[] = {
      {{0xFFFFFFF0u, 5, 10}, {0xFFFFFFF0, kTurn + 5, kTurn + 10}},
      {{kHalf, kHalf - 1}, {kHalf, kTurn + kHalf - 1}},            // from 2^31 to just below: a wrap
      {{kHalf - 1, 5, 6}, {kHalf - 1, kHalf - 1, kHalf - 1}},      // a fall within the lower half
      {{1000, 999, 1001}, {1000, 1000, 1001}},                     // one tick back
      {{0xF0000000u, 0xE0000000u, 7}, {0xF0000000, 0xF0000000, kTurn + 7}},
      {{0xFFFFFFFFu, 0, 0xFFFFFFFFu, 0}, {0xFFFFFFFF, kTurn, kTurn + 0xFFFFFFFF, 2 * kTurn}},
  };
  for (const TCase& c : cases) {
    TTickUnwrapper unwrap;
    std::vector<int64_t> got;
    for (uint32_t t : c.stored) got.push_back(unwrap.Next(t));
    EXPECT_EQ(got, c.unwrapped) << c.stored.size() << " starting " << c.stored[0];
  }
}

TEST(TickRule, SecondsMadeFromTicksComeBackAsTheSameTicks) {
  for (int64_t t : {int64_t{0}, int64_t{29}, int64_t{5801445}, kTurn - 1, kTurn + 3, int64_t{2} * kTurn + 12345}) {
    EXPECT_EQ(TicksAtOrBefore(SecondsOfTicks(t)), t);
    EXPECT_EQ(TicksAtOrAfter(SecondsOfTicks(t)), t);
  }
  EXPECT_EQ(TicksAtOrBefore(0.000015), 1);
  EXPECT_EQ(TicksAtOrAfter(0.000015), 2);
  // A day of milliseconds needs more than 32 bits of ticks.
  EXPECT_EQ(TicksFromMs(86400000), int64_t{8640000000});
  EXPECT_EQ(TicksAtOrBefore(1e300), int64_t{1} << 62);
}

// Stored times that rise, wrap, fall by a tick or by much, stand still, and jump: the history's
// times equal those worked out independently, whether appended one by one or read from a file.
std::vector<uint32_t> MixedTimes(std::mt19937& rng, int n) {
  std::vector<uint32_t> times;
  uint32_t t = rng() % 1000;
  for (int i = 0; i < n; ++i) {
    const unsigned kind = rng() % 400;
    if (kind == 0)
      t = 0xFFFFFFFFu - rng() % 3000;  // about to wrap
    else if (kind == 1)
      t -= 1;
    else if (kind == 2)
      t -= rng() % 5000;
    else
      t += rng() % 40;
    times.push_back(t);
  }
  return times;
}

class Timeline : public ::testing::Test {
 protected:
  TTempDir dir_;
};

TEST_F(Timeline, EveryWayOfReadingAHistoryGivesTheSameTimes) {
  std::mt19937 rng(11);
  for (int round = 0; round < 6; ++round) {
    const std::vector<uint32_t> stored = MixedTimes(rng, 1000 + static_cast<int>(rng() % 6000));
    TVarHist h(1);
    for (size_t i = 0; i < stored.size(); ++i) h.Append(stored[i], static_cast<uint16_t>(i));
    const std::unique_ptr<TVarHist> back = ReadBack(h, dir_.File("mixed.bin"));
    ASSERT_TRUE(back);
    const std::vector<int64_t> expected = ExpectedTimes(h);
    const auto n = static_cast<int32_t>(stored.size());
    for (const TVarHist* read : {&h, back.get()}) {
      std::vector<int64_t> each;
      read->ForEachSample(0, n, [&](TTicks t, uint16_t) { each.push_back(t); });
      ASSERT_EQ(each, expected) << round;
      for (int32_t i = 0; i < n; ++i) {
        ASSERT_EQ(read->TicksOf(i), expected[static_cast<size_t>(i)]) << round << " " << i;
        ASSERT_EQ(read->StoredTicksOf(i), stored[static_cast<size_t>(i)]);
      }
      // A block's figure is a step between its times only where they are its offset plus ticks.
      for (int32_t b = 0; b < n; b += TVarHist::BlockSamples) {
        const TVarHist::TSpan span = read->SpanAt(b, n);
        if (!span.Plain()) {
          EXPECT_EQ(read->LargestStepAt(b, n), TVarHist::Irregular);
          continue;
        }
        for (int32_t k = 1; k < span.Length; ++k) ASSERT_LE(span.Times[k - 1], span.Times[k]);
      }
      // Lookups and a cursor moved both ways find the last sample at or before a time.
      THistoryCursor cursor(read);
      for (int q = 0; q < 400; ++q) {
        const int64_t key = expected.front() - 5 + static_cast<int64_t>(rng() % static_cast<uint64_t>(expected.back() - expected.front() + 10));
        int32_t want = -1;
        for (int32_t i = 0; i < n; ++i)
          if (expected[static_cast<size_t>(i)] <= key) want = i;
        ASSERT_EQ(read->IndexAt(key), std::max(want, 0)) << key;
        ASSERT_EQ(cursor.HoldAt(key), want) << key;
        if (want >= 0) {
          ASSERT_EQ(cursor.Ticks(), expected[static_cast<size_t>(want)]);
        }
      }
    }
  }
}

TEST(HistoryCursor, StepsAndHoldsOverSamplesPublishedLater) {
  TVarHist h(1);
  THistoryCursor cursor(&h);
  EXPECT_FALSE(cursor.Step());
  EXPECT_EQ(cursor.HoldAt(100), -1);
  for (uint32_t t = 10; t <= 30000; t += 10) h.Append(t, static_cast<uint16_t>(t / 10));
  EXPECT_EQ(cursor.HoldAt(100), -1);  // not refreshed: none yet
  cursor.Refresh();
  EXPECT_EQ(cursor.HoldAt(5), -1);
  EXPECT_EQ(cursor.NextTicks(), 10);
  EXPECT_EQ(cursor.HoldAt(25), 1);
  EXPECT_EQ(cursor.Raw(), 2);
  EXPECT_EQ(cursor.HoldAt(20000), 1999);  // far on: by bisection
  EXPECT_EQ(cursor.HoldAt(15), 0);        // back
  int32_t steps = 0;
  while (cursor.Step()) ++steps;
  EXPECT_EQ(steps, 2999);
  EXPECT_EQ(cursor.Ticks(), 30000);
  EXPECT_EQ(cursor.NextTicks(), kNeverTicks);
  h.Append(30010, 7);
  cursor.Refresh();
  ASSERT_TRUE(cursor.Step());
  EXPECT_EQ(cursor.Raw(), 7);
  ASSERT_TRUE(cursor.Back());
  EXPECT_EQ(cursor.Ticks(), 30000);
}

TEST(SampleFeed, AReaderTakesEverySampleInOrderAndIsToldOfThoseItMissed) {
  TSampleFeed feed;
  for (uint32_t i = 0; i < 10; ++i) feed.Push(1, i, static_cast<uint16_t>(i));
  std::vector<TSampleFeed::TEntry> out;
  uint64_t lost = 0;
  uint64_t at = feed.Take(0, out, lost);
  ASSERT_EQ(out.size(), 10u);
  EXPECT_EQ(out[9].Ticks, 9u);
  EXPECT_EQ(lost, 0u);
  // More than the ring holds before the next look: the oldest are gone, and counted.
  const uint64_t more = TSampleFeed::kSize + 5;
  for (uint64_t i = 0; i < more; ++i) feed.Push(2, static_cast<uint32_t>(100 + i), 0);
  out.clear();
  at = feed.Take(at, out, lost);
  EXPECT_EQ(at, 10 + more);
  EXPECT_EQ(out.size() + lost, more);
  EXPECT_EQ(out.back().Ticks, 100 + more - 1);
  EXPECT_EQ(out.front().Ticks, 100 + lost);
  feed.Push(70000, 1, 1);  // an id beyond 16 bits is not fed
  EXPECT_EQ(feed.End(), at);
}

}  // namespace
