// One playback pass (ApplyPosition: a lookup in each of 39 histories of a million samples and the
// raw values written into the variables), while playing forward and when seeking at random.
// Goal: under 5 us a pass.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "recording/RecordingList.h"
#include "recording/PlayThread.h"
#include "vars/EcuType.h"
#include "vars/SensorList.h"

namespace {

constexpr int32_t kSamples = 1'000'000;

struct TFixture {
  TECUType ecu;
  TSensorList sensors;
  std::unique_ptr<TRecording> rec;
  std::unique_ptr<TPlayThreadRS> player;
  double length = 0;

  TFixture() {
    sensors.Context.EcuType = &ecu;
    sensors.BuildVariables();
    rec = std::make_unique<TRecording>(*sensors.RawVars);
    rec->CreateHistories();
    // Each sensor at its own pace: 20 to 58 samples a second, so the samples interleave.
    int k = 0;
    for (TVarHist* h : *rec) {
      uint32_t step = 100000 / static_cast<uint32_t>(20 + k++);
      for (int32_t i = 0; i < kSamples; ++i) h->Append(static_cast<uint32_t>(i) * step, static_cast<uint16_t>(i));
    }
    rec->LengthMs = static_cast<uint32_t>(kSamples / 20 * 1000);
    length = rec->LengthSeconds();
    SetCurrentRecording(sensors.Context, rec.get());
    player = std::make_unique<TPlayThreadRS>(sensors.Context);
  }
};

TFixture& Fixture() {
  static TFixture f;
  return f;
}

// Playing: the position moves about a millisecond a pass. A pass is what the loop does each
// time round: clamp and apply under the pass lock (the setter does exactly that).
void BM_ApplyPositionPlaying(benchmark::State& state) {
  TFixture& f = Fixture();
  double t = 0;
  for (auto _ : state) {
    t += 0.001;
    if (t >= f.length) t = 0;
    f.player->SetCurrentTime(t);
  }
  state.counters["histories"] = f.rec->HistoryCount();
}
BENCHMARK(BM_ApplyPositionPlaying);

// Seeking anywhere: every lookup starts cold.
void BM_ApplyPositionSeeking(benchmark::State& state) {
  TFixture& f = Fixture();
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> dist(0.0, f.length);
  std::vector<double> times(1 << 16);
  for (double& t : times) t = dist(rng);
  size_t i = 0;
  for (auto _ : state) f.player->SetCurrentTime(times[i++ & (times.size() - 1)]);
}
BENCHMARK(BM_ApplyPositionSeeking);

}  // namespace

BENCHMARK_MAIN();
