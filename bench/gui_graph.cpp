// What the strip chart costs, 31 panes at 1920 x 1080 offscreen, measured side by side in one run:
//   - the full-length repaint of a 12.5-hour recording of all 39 raw variables (35 million
//     samples) against the full-length repaint of a one-minute recording at the same pace: goal at
//     most 1.5 times; a one-minute window of each: the same goal;
//   - a wheel zoom step on the long recording (the window scaled around a point, repainted)
//     against the one-minute full view: goal at most 2 times;
//   - the first paint of the long recording, which builds the summaries, against one plain pass
//     that reads every sample of the graphed histories and keeps their minimum and maximum: goal
//     at most 8 times;
//   - the full-length repaint against drawing every sample in the window as one polyline per
//     pane: goal at most 1/20;
//   - dragging the cursor with the reference cursor set (the values and statistics at both
//     worked out, the region they take painted again) against the full-length repaint: goal at
//     most 1/10;
//   - and the milliseconds of each (goal: a full repaint within 33 ms).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "BenchSupport.h"
#include "QtBenchMain.h"
#include "vars/GraphSelection.h"
#include "widgets/GraphControl.h"
#include "widgets/GraphPrint.h"
#include "recording/RecordingList.h"
#include "vars/EcuType.h"
#include "vars/SensorList.h"

namespace {

using Clock = std::chrono::steady_clock;
// Past the 32-bit tick counter's wrap at 11.93 hours.
constexpr double kLongSeconds = 12.5 * 3600;
constexpr double kShortSeconds = 60;
constexpr double kSamplesPerSecond = 820;  // all variables together, about the line's pace
constexpr int kWidth = 1920, kHeight = 1080, kPanes = 31;
constexpr int kPolylineStride = 15;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// A recording of every variable over the given seconds, current in a core of its own, and the
// first kPanes display variables graphed.
struct TWorld {
  TCoreContext core;
  TECUType ecu;
  std::unique_ptr<TSensorList> sensors;
  std::unique_ptr<TRecording> rec;
  std::unique_ptr<TGraphSelection> selection;

  explicit TWorld(double seconds) {
    core.EcuType = &ecu;
    sensors = std::make_unique<TSensorList>(&core);
    sensors->BuildVariables();
    sensors->SetDefaultRanges();
    rec = Make(seconds);
    SetCurrentRecording(core, rec.get());
    selection = std::make_unique<TGraphSelection>(*sensors->DisplayVars);
    for (int i = 0; i < kPanes; ++i) selection->AddId(sensors->Display(i)->Id);
  }
  ~TWorld() { SetCurrentRecording(core, nullptr); }

  // Every variable in turn, the values drifting as an engine's would.
  std::unique_ptr<TRecording> Make(double seconds) {
    auto r = std::make_unique<TRecording>(*sensors->RawVars);
    r->CreateHistories();
    const auto total = static_cast<int64_t>(seconds * kSamplesPerSecond);
    const int n = r->HistoryCount();
    for (int64_t i = 0; i < total; ++i) {
      const auto ticks = static_cast<uint32_t>(static_cast<int64_t>(static_cast<double>(i) * (100000.0 / kSamplesPerSecond)));
      const auto raw = static_cast<uint16_t>(100 + (i / n) % 97 + (i % 13));
      r->History(static_cast<int>(i % n))->Append(ticks, raw);
    }
    r->LengthMs = static_cast<uint32_t>(seconds * 1000);
    return r;
  }
};

struct TFigures {
  double firstLongMs = 0;  // building the summaries of the long recording, with its first paint
  double plainPassMs = 0;  // every sample of the graphed histories read once
  double longFullMs = 0, shortFullMs = 0;
  double longPanMs = 0, shortPanMs = 0;  // a one-minute window
  double longZoomMs = 0;                 // a one-hour window
  double wheelMs = 0;                    // a wheel step on the long recording, from full length
  double polylineMs = 0;                 // every sample of the long recording at full length
  double cursorMs = 0;                   // a cursor drag step with the reference cursor set
  int64_t samples = 0;
  int polylinePanes = 0;
};
TFigures fig;

template <typename F>
double TimeMs(F&& f) {
  const auto t0 = Clock::now();
  f();
  return Ms(Clock::now() - t0);
}

// Every sample of the graphed histories read once, keeping their lowest and highest value.
double PlainPassMs(const TGraphModel& m) {
  const auto t0 = Clock::now();
  int64_t sink = 0;
  for (int i = 0; i < m.PaneCount; ++i) {
    const TVarHist* h = m.Panes[static_cast<size_t>(i)].History;
    if (!h) continue;
    uint16_t lo = 0xFFFF, hi = 0;
    TTicks last = 0;
    for (int32_t k = 0, n = h->Count(); k < n; ++k) {
      const uint16_t raw = h->RawOf(k);
      lo = std::min(lo, raw);
      hi = std::max(hi, raw);
      last = std::max(last, h->TicksOf(k));
    }
    sink += lo + hi + last;
  }
  benchmark::DoNotOptimize(sink);
  return Ms(Clock::now() - t0);
}

// Every sample of the long recording in the window, one polyline per pane: measured on every
// kPolylineStride-th pane (each takes seconds) and counted for all of them.
void TimePolylines(const TGraphModel& m) {
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  const auto t0 = Clock::now();
  {
    QPainter p(&image);
    p.fillRect(image.rect(), Qt::white);
    int timed = 0;
    for (int i = 0; i < m.PaneCount; i += kPolylineStride, ++timed) {
      const TGraphlet& pane = m.Panes[static_cast<size_t>(i)];
      if (!pane.History || !pane.Variable) continue;
      const int32_t n = pane.History->Count();
      QPolygon poly(n);
      for (int32_t k = 0; k < n; ++k)
        poly[k] = QPoint(PixelOf(pane.Left + (pane.History->TimeOf(k) - m.StartTime) * m.PixelsPerSecond),
                         pane.ValueToY(pane.Variable->GetValueAtIndex(pane.Variable->Unit, k)));
      p.setClipRect(pane.Left, pane.Top, pane.Width, pane.Height);
      p.setPen(QPen(Qt::red, m.TracePenWidth));
      p.drawPolyline(poly);
    }
    fig.polylinePanes = timed;
  }
  fig.polylineMs = Ms(Clock::now() - t0) * m.PaneCount / std::max(fig.polylinePanes, 1);
}

void BM_GraphRepaint(benchmark::State& state) {
  TWorld longWorld(kLongSeconds), shortWorld(kShortSeconds);
  TGraphControl g(nullptr, *longWorld.selection, longWorld.core);
  TGraphControl s(nullptr, *shortWorld.selection, shortWorld.core);
  for (TGraphControl* c : {&g, &s}) {
    c->resize(kWidth, kHeight);
    c->RecordingChanged();
  }
  for (auto _ : state) {
    fig.samples = static_cast<int64_t>(kLongSeconds * kSamplesPerSecond);
    // The first paint builds the summaries: three times over, each beside a plain pass.
    std::vector<double> plain, first;
    for (int round = 0; round < 3; ++round) {
      plain.push_back(PlainPassMs(g.Graph().Model));
      g.InvalidateTraces();
      first.push_back(TimeMs([&] { g.PaintBuffer(); }));
    }
    fig.plainPassMs = Median(plain);
    fig.firstLongMs = Median(first);
    s.PaintBuffer();

    // In alternating rounds, so that both recordings meet the same load: the full length of
    // each, a wheel step from the full length of the long one (around points across the chart),
    // a one-minute window of each (panned across the long one) and a one-hour window.
    std::vector<double> longFull, shortFull, wheel, longPan, shortPan, zoom;
    double start = 1000;
    for (int round = 0; round < 15; ++round) {
      g.SetWindow(0, g.MaxTime());
      longFull.push_back(TimeMs([&] { g.PaintBuffer(); }));
      shortFull.push_back(TimeMs([&] { s.PaintBuffer(); }));
      wheel.push_back(TimeMs([&] {
        const TTimeWindow win = WheelWindow(g.Graph().Model, 0, round % 2 == 0 ? 120 : -120, false, 200 + 100 * round);
        g.SetWindow(win.Start, win.End);
        g.PaintBuffer();
      }));
      longPan.push_back(TimeMs([&] {
        g.SetWindow(start, start + 60);
        g.PaintBuffer();
      }));
      shortPan.push_back(TimeMs([&] {
        s.SetWindow(0, 60);
        s.PaintBuffer();
      }));
      zoom.push_back(TimeMs([&] {
        g.SetWindow(start, start + 3600);
        g.PaintBuffer();
      }));
      start += 2677;
    }
    fig.longFullMs = Median(longFull);
    fig.shortFullMs = Median(shortFull);
    fig.wheelMs = Median(wheel);
    fig.longPanMs = Median(longPan);
    fig.shortPanMs = Median(shortPan);
    fig.longZoomMs = Median(zoom);

    // Dragging the cursor across the full length with the reference cursor set: the values and
    // statistics at both cursors, and the region they take painted again from the image.
    g.SetWindow(0, g.MaxTime());
    g.PaintBuffer();
    g.SetReference(kLongSeconds / 3);
    QImage screen(kWidth, kHeight, QImage::Format_RGB32);
    g.render(&screen);
    double pos = 1;
    std::vector<double> drag;
    for (int step = 0; step < 50; ++step)
      drag.push_back(TimeMs([&] {
        g.SetPosition(pos += kLongSeconds / 211);
        g.render(&screen, QPoint(), g.ChangedRegion());
      }));
    fig.cursorMs = Median(drag);
    g.ClearReference();

    TimePolylines(g.Graph().Model);
    state.SetIterationTime(fig.longFullMs / 1000);
  }
  state.counters["first_paint_long_ms"] = fig.firstLongMs;
  state.counters["full_long_ms"] = fig.longFullMs;
  state.counters["full_short_ms"] = fig.shortFullMs;
  state.counters["pan_long_ms"] = fig.longPanMs;
  state.counters["pan_short_ms"] = fig.shortPanMs;
  state.counters["zoom_1h_long_ms"] = fig.longZoomMs;
  state.counters["wheel_step_long_ms"] = fig.wheelMs;
  state.counters["plain_pass_ms"] = fig.plainPassMs;
  state.counters["polyline_every_sample_ms"] = fig.polylineMs;
  state.counters["cursor_move_ms"] = fig.cursorMs;
}
BENCHMARK(BM_GraphRepaint)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

const char* Verdict(bool met) { return met ? "met" : "MISSED"; }

void PrintSummary() {
  const TFigures& f = fig;
  std::printf("\nGraph, %d panes at %dx%d offscreen; %.1f-hour recording of 39 variables (%lld samples)"
              " against a one-minute one:\n",
              kPanes, kWidth, kHeight, kLongSeconds / 3600, static_cast<long long>(f.samples));
  std::printf("  full length repaint, long / short: %.2f / %.2f ms = %.2f (goal <= 1.5)  %s\n", f.longFullMs,
              f.shortFullMs, f.longFullMs / f.shortFullMs, Verdict(f.longFullMs / f.shortFullMs <= 1.5));
  std::printf("  wheel zoom step, long / short full length: %.2f / %.2f ms = %.2f (goal <= 2)  %s\n", f.wheelMs,
              f.shortFullMs, f.wheelMs / f.shortFullMs, Verdict(f.wheelMs / f.shortFullMs <= 2));
  std::printf("  first paint of the long recording (builds the summaries) / a plain pass over its samples:"
              " %.1f / %.1f ms = %.2f (goal <= 8)  %s\n",
              f.firstLongMs, f.plainPassMs, f.firstLongMs / f.plainPassMs, Verdict(f.firstLongMs / f.plainPassMs <= 8));
  std::printf("  one-minute window pan, long / short: %.2f / %.2f ms = %.2f (goal <= 1.5)  %s\n", f.longPanMs,
              f.shortPanMs, f.longPanMs / f.shortPanMs, Verdict(f.longPanMs / f.shortPanMs <= 1.5));
  std::printf("  one-hour window zoom, long: %.2f ms\n", f.longZoomMs);
  std::printf("  full length repaint / every sample as a polyline (%d panes timed, counted for %d): %.2f / %.0f ms"
              " = 1/%.0f (goal <= 1/20)  %s\n",
              f.polylinePanes, kPanes,
              f.longFullMs, f.polylineMs, f.polylineMs / f.longFullMs, Verdict(f.longFullMs * 20 <= f.polylineMs));
  std::printf("  cursor drag step with the reference set / full repaint: %.3f / %.2f ms = 1/%.1f (goal <= 1/10)  %s\n",
              f.cursorMs, f.longFullMs, f.longFullMs / f.cursorMs, Verdict(f.cursorMs * 10 <= f.longFullMs));
  std::printf("  full repaint within 33 ms: %.2f ms  %s\n", f.longFullMs, Verdict(f.longFullMs <= 33));
}

}  // namespace

int main(int argc, char** argv) { return RunQtBenchmarks(argc, argv, PrintSummary); }
