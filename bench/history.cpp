// History append and time lookup on 10 million samples.
#include <benchmark/benchmark.h>

#include <memory>
#include <algorithm>
#include <random>
#include <vector>

#include "history/History.h"

namespace {
constexpr int32_t kSamples = 10'000'000;

// Seconds per operation, shown by the benchmark library in a fitting unit.
benchmark::Counter PerOperation(double operations) {
  return benchmark::Counter(operations, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// A history of kSamples samples, one every `spacing` ticks.
void Fill(TVarHist& h, uint32_t spacing) {
  for (int32_t i = 0; i < kSamples; ++i) h.Append(static_cast<uint32_t>(i) * spacing, static_cast<uint16_t>(i));
}

// Random lookup times over the first `seconds` of a history.
std::vector<double> RandomTimes(double seconds) {
  std::mt19937 rng(42);
  std::uniform_real_distribution<double> dist(0.0, seconds);
  std::vector<double> keys(1 << 16);
  for (double& k : keys) k = dist(rng);
  return keys;
}

void BM_HistoryAppend(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto h = std::make_unique<TVarHist>(1);
    state.ResumeTiming();
    Fill(*h, 11);
    benchmark::DoNotOptimize(h->Count());
    state.PauseTiming();
    state.counters["bytes_per_sample"] = static_cast<double>(h->AllocatedBytes()) / h->Count();
    h.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
  state.counters["ns_per_append"] = PerOperation(static_cast<double>(state.iterations()) * kSamples);
}
BENCHMARK(BM_HistoryAppend)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_HistoryIndexAt(benchmark::State& state) {
  TVarHist h(1);
  Fill(h, 11);
  std::vector<double> keys = RandomTimes(kSamples * 11 * 0.00001);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(h.IndexAtSeconds(keys[i++ & (keys.size() - 1)]));
  }
  state.counters["ns_per_lookup"] = PerOperation(static_cast<double>(state.iterations()));
}
BENCHMARK(BM_HistoryIndexAt);

// The graph's pattern: one lookup per pixel column, left to right, over a 10 s window.
void BM_HistoryIndexAtSweep(benchmark::State& state) {
  TVarHist h(1);
  Fill(h, 11);
  const double length = kSamples * 11 * 0.00001;
  double start = 0;
  int column = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(h.IndexAtSeconds(start + column * (10.0 / 1000)));
    if (++column == 1000) {
      column = 0;
      start += 10;
      if (start > length - 10) start = 0;
    }
  }
  state.counters["ns_per_lookup"] = PerOperation(static_cast<double>(state.iterations()));
}
BENCHMARK(BM_HistoryIndexAtSweep);

// The player's pattern: SampleAt at a time a little later than the last one (100 Hz passes over a
// variable sampled at 250 Hz).
void BM_HistorySampleAtPlayback(benchmark::State& state) {
  TVarHist h(1);
  Fill(h, 400);
  const double length = (kSamples - 1) * 400.0 * 0.00001;
  double t = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(h.SampleAt(t));
    t += 0.01;
    if (t > length) t = 0;
  }
  state.counters["ns_per_lookup"] = PerOperation(static_cast<double>(state.iterations()));
}
BENCHMARK(BM_HistorySampleAtPlayback);

// Baseline: the same lookups with std::upper_bound on one flat array of 10 million times.
void BM_FlatArrayUpperBound(benchmark::State& state) {
  std::vector<uint32_t> times(kSamples);
  for (int32_t i = 0; i < kSamples; ++i) times[static_cast<size_t>(i)] = static_cast<uint32_t>(i) * 11;
  std::vector<double> keys = RandomTimes(kSamples * 11 * 0.00001);
  size_t i = 0;
  for (auto _ : state) {
    auto key = static_cast<uint32_t>(static_cast<int64_t>(keys[i++ & (keys.size() - 1)] * 100000));
    auto it = std::upper_bound(times.begin(), times.end(), key);
    benchmark::DoNotOptimize(it == times.begin() ? 0 : (it - times.begin()) - 1);
  }
  state.counters["ns_per_lookup"] = PerOperation(static_cast<double>(state.iterations()));
}
BENCHMARK(BM_FlatArrayUpperBound);
}  // namespace

BENCHMARK_MAIN();
