// What the tables cost, measured side by side in one run over a 12.5-hour recording of all 39 raw
// variables (35 million samples, about 900 000 of the lambda sensor):
//   - the table of lambda by revs across and MAP down against one pass that reads every lambda
//     sample (its time and raw value) and sums the values: goal at most 3 times;
//   - the scatter plot of all its samples binned and drawn at 1920 x 1080 offscreen: goal at most
//     100 ms (shown beside the pass);
//   - live filling while recording: the user-interface thread's share of a core with the Tables
//     page shown and refreshed every 50 ms (as the main window refreshes while recording) against
//     the same refreshes without the page, while a thread appends samples at the line's pace:
//     goal at most 2 % of a core more; the same connected without recording, every value taken
//     from the link's feed; the longest single refresh of the page after 12.5 hours: goal at most
//     8 ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "QtBenchMain.h"
#include "BenchSupport.h"
#include "GuiBenchSupport.h"
#include "analysis/Table.h"
#include "analysis/TableTracker.h"
#include "widgets/ScatterPlot.h"
#include "windows/TablesPage.h"

namespace {

// Past the 32-bit tick counter's wrap at 11.93 hours.
constexpr double kLongSeconds = 12.5 * 3600;
constexpr double kSamplesPerSecond = 820;  // all variables together, about the line's pace
constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kRounds = 7;
constexpr double kLiveSeconds = 4.0;  // each of the live rounds
constexpr int kRefreshMs = 50;

constexpr double kGoalTableRatio = 3.0;
constexpr double kGoalScatterMs = 100.0;
constexpr double kGoalLiveShare = 0.02;
constexpr double kGoalLongestRefreshMs = 8.0;

// The raw value variable `id` has at sample k of its history: revs sweeping 1000..7000 rpm, MAP
// with the load, lambda richer under load, the rest drifting.
uint16_t RawAt(int32_t id, int64_t k) {
  const double t = k / 21.0;  // about 21 samples a second each
  const double phase = std::fmod(t, 40) / 40;
  const double rpm = 1000 + 6000 * (phase < 0.5 ? 2 * phase : 2 - 2 * phase);
  const double bar = 0.25 + 0.7 * std::fabs(std::sin(t * 0.37)) * (rpm / 7000);
  switch (id) {
    case 1: return static_cast<uint16_t>(1875000 / rpm);
    case 9: return static_cast<uint16_t>((bar + 0.045) / 0.367 * 51.2);
    case 2: return static_cast<uint16_t>((0.54 - 0.3 * (bar - 0.2) / 0.8 + 0.02 * std::sin(t * 3.1)) / 0.2 * 51.2);
    default: return static_cast<uint16_t>(100 + k % 97);
  }
}

struct TWorld {
  TBenchEnv env{"tables"};
  std::unique_ptr<TRecording> rec;
  TTableSpec spec;

  TWorld() {
    env.sensors.SetDefaultRanges();
    rec = std::make_unique<TRecording>(*env.sensors.RawVars);
    rec->CreateHistories();
    const auto total = static_cast<int64_t>(kLongSeconds * kSamplesPerSecond);
    const int n = rec->HistoryCount();
    for (int64_t i = 0; i < total; ++i) {
      TVarHist* h = rec->History(static_cast<int>(i % n));
      h->Append(static_cast<uint32_t>(static_cast<int64_t>(static_cast<double>(i) * (100000.0 / kSamplesPerSecond))),
                RawAt(h->SensorId, i / n));
    }
    rec->LengthMs = static_cast<uint32_t>(kLongSeconds * 1000);
    SetCurrentRecording(env.sensors.Context, rec.get());
    spec.XEdges = DefaultEdges(env.sensors, spec.X);
    spec.YEdges = DefaultEdges(env.sensors, spec.Y);
  }
  ~TWorld() { SetCurrentRecording(env.sensors.Context, nullptr); }
};

TWorld& World() {
  static TWorld w;
  return w;
}

struct TFigures {
  int64_t samples = 0, zSamples = 0, counted = 0;
  double passMs = 0, tableMs = 0, trackerMs = 0;
  double binMs = 0, drawMs = 0;
  double liveWithout = 0, liveWith = 0, feedWith = 0, longestRefreshMs = 0;
  int liveObservations = 0;
};
TFigures fig;

// Thread time of f in milliseconds: what it costs this thread, whatever else the machine runs.
template <typename F>
double CpuMs(F&& f) {
  const double t0 = ThisThreadCpuSeconds();
  f();
  return (ThisThreadCpuSeconds() - t0) * 1000;
}

void BM_Table(benchmark::State& state) {
  TWorld& w = World();
  const TVarHist* z = w.rec->HistoryFor(*w.env.sensors.FindRaw(2));
  // The pass converts through a table by raw value as the table does.
  std::vector<double> value(256);
  for (int r = 0; r < 256; ++r)
    value[static_cast<size_t>(r)] = w.env.sensors.Lambda->Convert(w.env.sensors.Lambda->Unit, r);
  for (auto _ : state) {
    std::vector<double> pass, table, tracker;
    double sum = 0;
    for (int round = 0; round < kRounds; ++round) {
      pass.push_back(CpuMs([&] {
        uint64_t ticks = 0;
        const int32_t n = z->Count();
        for (int32_t i = 0; i < n; ++i) {
          ticks += z->StoredTicksOf(i);
          sum += value[z->RawOf(i) & 0xFF];
        }
        benchmark::DoNotOptimize(ticks);
      }));
      table.push_back(CpuMs([&] { fig.counted = BuildTable(w.env.sensors, *w.rec, w.spec).Counts().Counted; }));
      tracker.push_back(CpuMs([&] {
        TTableTracker t(w.env.sensors);
        t.SetSpec(w.spec);
        t.FollowRecording(w.rec.get());
        t.Update();
      }));
    }
    benchmark::DoNotOptimize(sum);
    fig.passMs = Median(pass);
    fig.tableMs = Median(table);
    fig.trackerMs = Median(tracker);
    fig.zSamples = z->Count();
    fig.samples = static_cast<int64_t>(kLongSeconds * kSamplesPerSecond);
    state.SetIterationTime(fig.tableMs / 1000);
  }
  state.counters["pass_ms"] = fig.passMs;
  state.counters["table_ms"] = fig.tableMs;
  state.counters["table_with_points_ms"] = fig.trackerMs;
}
BENCHMARK(BM_Table)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_Scatter(benchmark::State& state) {
  TWorld& w = World();
  TTableTracker tracker(w.env.sensors);
  tracker.SetSpec(w.spec);
  tracker.FollowRecording(w.rec.get());
  tracker.Update();
  TTableNames names{"Revs", "rpm", "MAP", "bar", "Lambda", "L", UNIT_LAMBDA};
  TScatterPlot plot;
  plot.resize(kWidth, kHeight);
  plot.SetScale(DefaultColourScale(*w.env.sensors.Lambda));
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    std::vector<double> bins, draws;
    for (int round = 0; round < kRounds; ++round) {
      // Every observation binned anew (as a new recording or a new size does), then the picture.
      bins.push_back(CpuMs([&] { plot.SetPoints(&tracker.Points(), w.spec.XEdges, w.spec.YEdges, names); }));
      draws.push_back(CpuMs([&] {
        QPainter p(&image);
        plot.Draw(p);
      }));
    }
    fig.binMs = Median(bins);
    fig.drawMs = Median(draws);
    state.SetIterationTime((fig.binMs + fig.drawMs) / 1000);
  }
  state.counters["bin_ms"] = fig.binMs;
  state.counters["draw_ms"] = fig.drawMs;
}
BENCHMARK(BM_Scatter)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// A run being recorded: a thread appends every raw variable in turn at the line's pace, after
// 12.5 hours already recorded (so the run goes on past the tick counter's wrap), while the
// user-interface thread refreshes every 50 ms, with the Tables page refreshed too or not. The
// same while connected without recording, the page taking every value from the link's feed. The
// longest single refresh of the page is kept (the first, which walks the 12.5 hours, apart).
void BM_LiveFilling(benchmark::State& state) {
  TBenchEnv env("tables-live");
  env.sensors.SetDefaultRanges();
  auto rec = std::make_unique<TRecording>(*env.sensors.RawVars);
  rec->CreateHistories();
  const int n = rec->HistoryCount();
  const auto before = static_cast<int64_t>(kLongSeconds * kSamplesPerSecond);
  for (int64_t i = 0; i < before; ++i) {
    TVarHist* h = rec->History(static_cast<int>(i % n));
    h->Append(static_cast<uint32_t>(static_cast<int64_t>(static_cast<double>(i) * (100000.0 / kSamplesPerSecond))),
              RawAt(h->SensorId, i / n));
  }
  SetCurrentRecording(env.sensors.Context, rec.get());
  TTablesPage page(*env.config, env.sensors);
  page.resize(1280, 760);
  page.show();
  TSampleFeed feed;
  std::atomic<bool> stop{false};
  std::thread poll([&] {
    const double start = Now();
    for (int64_t i = 0; !stop; ++i) {
      while (!stop && Now() - start < i / kSamplesPerSecond)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
      TVarHist* h = rec->History(static_cast<int>((before + i) % n));
      const auto ticks = static_cast<uint32_t>(static_cast<int64_t>((kLongSeconds + Now() - start) * 100000));
      const uint16_t raw = RawAt(h->SensorId, (before + i) / n);
      h->Append(ticks, raw);
      feed.Push(static_cast<uint32_t>(h->SensorId), ticks, raw);
    }
  });
  TTablesPageState s;
  s.Connected = true;
  s.Current = rec.get();
  s.Feed = &feed;
  double longest = 0;
  auto run = [&](bool withPage, bool recording) {
    s.Recording = recording;
    if (withPage) page.Refresh(s, true);  // the source taken up whole
    QTimer refresh;
    refresh.setTimerType(Qt::PreciseTimer);
    QObject::connect(&refresh, &QTimer::timeout, [&] {
      if (!withPage) return;
      const double t0 = ThisThreadCpuSeconds();
      page.Refresh(s);
      longest = std::max(longest, (ThisThreadCpuSeconds() - t0) * 1000);
    });
    refresh.start(kRefreshMs);
    const double cpu0 = ThisThreadCpuSeconds(), wall0 = Now();
    RunEventLoop(kLiveSeconds);
    return (ThisThreadCpuSeconds() - cpu0) / (Now() - wall0);
  };
  for (auto _ : state) {
    std::vector<double> without, with, liveWith;
    for (int round = 0; round < 2; ++round) {
      without.push_back(run(false, true));
      with.push_back(run(true, true));
      liveWith.push_back(run(true, false));
    }
    fig.liveWithout = *std::min_element(without.begin(), without.end());
    fig.liveWith = *std::min_element(with.begin(), with.end());
    fig.feedWith = *std::min_element(liveWith.begin(), liveWith.end());
    fig.liveObservations = static_cast<int>(page.Model().Tracker().Table().Counts().Samples);
    fig.longestRefreshMs = longest;
    state.SetIterationTime(kLiveSeconds * 6);
  }
  stop = true;
  poll.join();
  SetCurrentRecording(env.sensors.Context, nullptr);
  state.counters["ui_share_without"] = fig.liveWithout;
  state.counters["ui_share_with"] = fig.liveWith;
  state.counters["ui_share_live"] = fig.feedWith;
  state.counters["longest_refresh_ms"] = fig.longestRefreshMs;
}
BENCHMARK(BM_LiveFilling)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

const char* Verdict(bool met) { return met ? "met" : "MISSED"; }

void PrintSummary() {
  const TFigures& f = fig;
  std::printf(
      "\nTables over a %.1f-hour recording of 39 variables (%lld samples, %lld of lambda, %lld in cells),"
      " medians of %d rounds of thread time:\n",
      kLongSeconds / 3600, static_cast<long long>(f.samples), static_cast<long long>(f.zSamples),
      static_cast<long long>(f.counted), kRounds);
  std::printf("  table / one pass reading and summing the lambda samples: %.2f / %.2f ms = %.2f (goal <= %.0f)  %s\n",
              f.tableMs, f.passMs, f.tableMs / f.passMs, kGoalTableRatio,
              Verdict(f.tableMs <= kGoalTableRatio * f.passMs));
  std::printf("  table with the scatter plot's points (as the page takes it): %.2f ms = %.2f passes\n", f.trackerMs,
              f.trackerMs / f.passMs);
  std::printf(
      "  scatter plot at %dx%d, every sample binned and drawn: %.1f + %.1f = %.1f ms (goal <= %.0f; %.1f passes)  %s\n",
      kWidth, kHeight, f.binMs, f.drawMs, f.binMs + f.drawMs, kGoalScatterMs, (f.binMs + f.drawMs) / f.passMs,
      Verdict(f.binMs + f.drawMs <= kGoalScatterMs));
  std::printf(
      "  live filling while recording (%d observations): user-interface thread %.2f %% of a core with the page,"
      " %.2f %% without = %+.2f %% (goal <= +%.0f %%)  %s\n",
      f.liveObservations, f.liveWith * 100, f.liveWithout * 100, (f.liveWith - f.liveWithout) * 100,
      kGoalLiveShare * 100, Verdict(f.liveWith - f.liveWithout <= kGoalLiveShare));
  std::printf(
      "  live filling while connected without recording, every value from the link's feed: %.2f %% of a core"
      " = %+.2f %% (goal <= +%.0f %%)  %s\n",
      f.feedWith * 100, (f.feedWith - f.liveWithout) * 100, kGoalLiveShare * 100,
      Verdict(f.feedWith - f.liveWithout <= kGoalLiveShare));
  std::printf("  longest single refresh of the page after 12.5 hours: %.2f ms (goal <= %.0f ms)  %s\n",
              f.longestRefreshMs, kGoalLongestRefreshMs, Verdict(f.longestRefreshMs <= kGoalLongestRefreshMs));
}

}  // namespace

int main(int argc, char** argv) { return RunQtBenchmarks(argc, argv, PrintSummary); }
