// Gauge repaint costs, offscreen: a value change on a dial and on a readout (the region the
// control invalidates, and the whole control), and a full rebuild of the static layer.
// Each figure is also given as a ratio to the 0.5 ms budget of one repaint.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRegion>

#include <chrono>
#include <memory>

#include "QtBenchMain.h"
#include "widgets/LEDDisplay.h"
#include "widgets/Meter270Display.h"
#include "widgets/ValueDisplay.h"
#include "widgets/VertMeterDisplay.h"

namespace {

constexpr double kBudgetMs = 0.5;

struct Dial : TMeter270Display {
  using TMeter270Display::VariablePartRect;
};
struct Bar : TVertMeterDisplay {
  using TVertMeterDisplay::VariablePartRect;
};

QFont BoldArial(int pixels) {
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(pixels);
  f.setBold(true);
  return f;
}

std::unique_ptr<Dial> MakeDial(int size) {
  auto d = std::make_unique<Dial>();
  d->SetCaption(QString());
  d->SetBorderStyle(dbsNone);
  d->SetArcWidth(3);
  d->SetLabelDivider(1000);
  d->SetNeedleBaseRadius(18);
  d->SetValueFont(BoldArial(19));
  d->resize(size, size);
  return d;
}

std::unique_ptr<TValueDisplay> MakeReadout(int w, int h) {
  auto v = std::make_unique<TValueDisplay>(nullptr, QStringLiteral("Speed"));
  v->SetFont(BoldArial(25));
  v->SetValueFont(BoldArial(29));
  v->SetValueFormat(QStringLiteral("##0.0"));
  v->SetUnit(QStringLiteral("kph"));
  v->SetUnitSize(65);
  v->SetValueMax(300);
  v->resize(w, h);
  return v;
}

QImage Target(const QWidget& w, qreal dpr) {
  QImage img(w.size() * dpr, QImage::Format_ARGB32_Premultiplied);
  img.setDevicePixelRatio(dpr);
  img.fill(Qt::white);
  return img;
}

// Runs body once per iteration and reports the mean time per call and its ratio to the budget.
template <class F>
void Measure(benchmark::State& state, F&& body) {
  int64_t n = 0;
  const auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    body();
    ++n;
  }
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  if (n > 0) {
    state.counters["ms_per_op"] = ms / double(n);
    state.counters["ratio_to_0.5ms"] = ms / double(n) / kBudgetMs;
  }
}

// A value change on a 300 x 300 dial, repainting the region the control invalidates (old and new
// needle), as the window system does.
void BM_DialValueChange_Region(benchmark::State& state) {
  const qreal dpr = state.range(0);
  auto d = MakeDial(300);
  QImage img = Target(*d, dpr);
  d->render(&img);  // build the static layer
  double v = 0;
  Measure(state, [&] {
    const QRect before = d->VariablePartRect();
    v = v >= 9000 ? 0 : v + 137;
    d->SetValue(v);
    d->render(&img, QPoint(), QRegion(before.united(d->VariablePartRect())));
  });
}
BENCHMARK(BM_DialValueChange_Region)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// The same, repainting the whole 300 x 300 control.
void BM_DialValueChange_Whole(benchmark::State& state) {
  const qreal dpr = state.range(0);
  auto d = MakeDial(300);
  QImage img = Target(*d, dpr);
  d->render(&img);
  double v = 0;
  Measure(state, [&] {
    v = v >= 9000 ? 0 : v + 137;
    d->SetValue(v);
    d->render(&img);
  });
}
BENCHMARK(BM_DialValueChange_Whole)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// A value change on a readout: only the digits' box is repainted.
void BM_ReadoutValueChange_Region(benchmark::State& state) {
  const qreal dpr = state.range(0);
  auto r = MakeReadout(300, 300);
  QImage img = Target(*r, dpr);
  r->render(&img);
  double v = 0;
  Measure(state, [&] {
    v = v >= 290 ? 0 : v + 1.3;
    r->SetValue(v);
    r->render(&img, QPoint(), QRegion(r->ValueBox()));
  });
}
BENCHMARK(BM_ReadoutValueChange_Region)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_ReadoutValueChange_Whole(benchmark::State& state) {
  const qreal dpr = state.range(0);
  auto r = MakeReadout(300, 300);
  QImage img = Target(*r, dpr);
  r->render(&img);
  double v = 0;
  Measure(state, [&] {
    v = v >= 290 ? 0 : v + 1.3;
    r->SetValue(v);
    r->render(&img);
  });
}
BENCHMARK(BM_ReadoutValueChange_Whole)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// A bar meter's pointer (68 x 300, the dashboard's column).
void BM_BarValueChange_Region(benchmark::State& state) {
  Bar b;
  b.SetValueFont(BoldArial(16));
  b.SetPointerSize(17);
  b.resize(68, 300);
  QImage img = Target(b, 1);
  b.render(&img);
  double v = 0;
  Measure(state, [&] {
    const QRect before = b.VariablePartRect();
    v = v >= 100 ? 0 : v + 3.7;
    b.SetValue(v);
    b.render(&img, QPoint(), QRegion(before.united(b.VariablePartRect())));
  });
}
BENCHMARK(BM_BarValueChange_Region)->Unit(benchmark::kMicrosecond);

// Full rebuild of the dial's static layer (arc, ticks, labels, hub) at 300 x 300.
void BM_DialStaticLayer(benchmark::State& state) {
  auto d = MakeDial(300);
  Measure(state, [&] { d->RedrawStatic(); });
}
BENCHMARK(BM_DialStaticLayer)->Unit(benchmark::kMicrosecond);

// Rebuild plus one paint at pixel ratio 2 (a property change on a high-density screen).
void BM_DialStaticLayerAndPaint_Ratio2(benchmark::State& state) {
  auto d = MakeDial(300);
  QImage img = Target(*d, 2);
  bool flip = false;
  Measure(state, [&] {
    flip = !flip;
    d->SetNeedleBaseRadius(flip ? 18 : 17);  // any property change drops the cached layer
    d->render(&img);
  });
}
BENCHMARK(BM_DialStaticLayerAndPaint_Ratio2)->Unit(benchmark::kMicrosecond);

// A readout's fitting and static layer after a property change (the font search runs again).
void BM_ReadoutRelayoutAndPaint(benchmark::State& state) {
  auto r = MakeReadout(300, 300);
  QImage img = Target(*r, 1);
  bool flip = false;
  Measure(state, [&] {
    flip = !flip;
    r->SetUnit(flip ? QStringLiteral("mph") : QStringLiteral("kph"));
    r->render(&img);
  });
}
BENCHMARK(BM_ReadoutRelayoutAndPaint)->Unit(benchmark::kMicrosecond);

void BM_LampToggle(benchmark::State& state) {
  TLEDDisplay l(nullptr, QStringLiteral("Brake"));
  l.resize(60, 40);
  QImage img = Target(l, 1);
  l.render(&img);
  bool on = false;
  Measure(state, [&] {
    on = !on;
    l.SetValue(on);
    l.render(&img);
  });
}
BENCHMARK(BM_LampToggle)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) { return RunQtBenchmarks(argc, argv); }
