// What the hidden game costs a recording: the main window records from the simulated ECU at the
// pace of a 19200-baud line while the game window runs at 60 frames a second (offscreen, keys
// pressed by a timer so the ship flies and fires). Stretches without and with the game alternate
// in one run, so a drift of the machine's load evens out; the goal is a poll rate with the game of
// at least 0.95 of the rate without it.
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <time.h>

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "QtBenchMain.h"
#include "game/GameForm.h"
#include "windows/MainForm.h"
#include "GuiBenchSupport.h"

namespace {

constexpr double kGoalPollRatio = 0.95;
constexpr int kBaud = 19200;
constexpr int kRounds = 3;
constexpr double kStretchSeconds = 4.0;

// Counts the game's painted frames.
class TFrameCounter : public QObject {
 public:
  int frames = 0;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++frames;
    return QObject::eventFilter(o, e);
  }
};

struct TStretch {
  double exchangesPerSecond = 0, uiBusy = 0, framesPerSecond = 0;
};

TStretch Measure(const TSimDevice& sim, TFrameCounter* counter) {
  const uint64_t r0 = sim.Requests();
  const double t0 = Now(), cpu0 = ThisThreadCpuSeconds();
  const int f0 = counter ? counter->frames : 0;
  RunEventLoop(kStretchSeconds);
  const double elapsed = Now() - t0;
  TStretch s;
  s.exchangesPerSecond = static_cast<double>(sim.Requests() - r0) / elapsed;
  s.uiBusy = (ThisThreadCpuSeconds() - cpu0) / elapsed;
  s.framesPerSecond = counter ? (counter->frames - f0) / elapsed : 0;
  return s;
}

struct TResults {
  bool valid = false;
  TStretch without, with;
  double ratio = 0;
  uint64_t samplesRecorded = 0;
} results;

void SendKey(QWidget& w, QEvent::Type type, int key) {
  QKeyEvent e(type, key, Qt::NoModifier);
  QCoreApplication::sendEvent(&w, &e);
}

void BM_GameWhileRecording(benchmark::State& state) {
  TBenchProgram bench("game", kBaud);
  if (bench.dir.empty()) {
    state.SkipWithError("no scratch folder");
    return;
  }
  TProgram& program = *bench.program;
  const double t0 = Now();
  for (auto _ : state) {
    TMainForm form(program);
    form.Prompts.Ask = [](const std::string&) { return TCloseAnswer::No; };
    form.Prompts.ShowMessage = [](const std::string& m) { std::fprintf(stderr, "window: %s\n", m.c_str()); };
    form.resize(1280, 800);
    form.show();
    RunEventLoop(0.3);
    form.Action(TCommand::actECUConnect)->trigger();
    if (!WaitFor([&] { return form.State().LinkState == TLinkState::Connected; })) {
      state.SkipWithError("the window did not connect");
      return;
    }
    form.Action(TCommand::actECURecord)->trigger();
    if (!WaitFor([&] { return form.State().RecordState == TRecordState::Recording; })) {
      state.SkipWithError("the window did not record");
      return;
    }
    RunEventLoop(1.0);

    TStretch without, with;
    for (int round = 0; round < kRounds; ++round) {
      const TStretch a = Measure(*bench.sim, nullptr);
      // The game, as the About box opens it: its own window, the system's sound device.
      auto game = std::make_unique<TGameForm>(bench.dir + "/Revscope.ini", 1000 + round, nullptr, &form);
      game->Game().MutableWorld().Lives = 1000;
      TFrameCounter counter;
      game->installEventFilter(&counter);
      game->resize(1024, 768);
      game->show();
      // Someone playing: thrust on and off, turning, firing.
      QTimer keys;
      int tick = 0;
      QObject::connect(&keys, &QTimer::timeout, [&] {
        ++tick;
        SendKey(*game, tick % 2 ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_Space);
        SendKey(*game, tick % 6 < 3 ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_Up);
        SendKey(*game, tick % 10 < 4 ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_Left);
      });
      keys.start(80);
      RunEventLoop(0.5);
      const TStretch b = Measure(*bench.sim, &counter);
      keys.stop();
      game.reset();
      RunEventLoop(0.5);
      without.exchangesPerSecond += a.exchangesPerSecond / kRounds;
      without.uiBusy += a.uiBusy / kRounds;
      with.exchangesPerSecond += b.exchangesPerSecond / kRounds;
      with.uiBusy += b.uiBusy / kRounds;
      with.framesPerSecond += b.framesPerSecond / kRounds;
    }
    TRecording* rec = program.CurrentRecording();
    results.samplesRecorded = 0;
    if (rec)
      for (int i = 0; i < program.Sensors.RawVars->Count(); ++i)
        if (TVarHist* h = rec->HistoryFor(*program.Sensors.Raw(i))) results.samplesRecorded += h->Count();
    form.Action(TCommand::actECURecord)->trigger();
    form.Action(TCommand::actECUConnect)->trigger();
    WaitFor([&] { return form.State().LinkState == TLinkState::Disconnected && !program.PollThread->Polling(); });
    results.without = without;
    results.with = with;
    results.ratio = without.exchangesPerSecond > 0 ? with.exchangesPerSecond / without.exchangesPerSecond : 0;
    results.valid = true;
    state.SetIterationTime(Now() - t0);
  }
  // Goal: at least 0.95 (line exchanges per second with the game open over those without).
  state.counters["poll_rate_ratio"] = results.ratio;
  state.counters["exchanges_per_s_game"] = results.with.exchangesPerSecond;
  state.counters["exchanges_per_s_no_game"] = results.without.exchangesPerSecond;
  state.counters["game_frames_per_s"] = results.with.framesPerSecond;
  state.counters["ui_busy_share_game"] = results.with.uiBusy;
  state.counters["ui_busy_share_no_game"] = results.without.uiBusy;
}
BENCHMARK(BM_GameWhileRecording)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// One frame of the game in play (rules step and painting into an image of the window's size).
void BM_GameFrame(benchmark::State& state) {
  TGameForm game("", 7, nullptr);
  game.resize(static_cast<int>(state.range(0)), static_cast<int>(state.range(0)) * 3 / 4);
  game.Game().MutableWorld().Lives = 1000;
  game.Game().MutableWorld().Ship.Shielded = 1e9;
  QImage image(game.size(), QImage::Format_ARGB32_Premultiplied);
  int tick = 0;
  for (auto _ : state) {
    ++tick;
    SendKey(game, tick % 10 == 0 ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_Space);
    SendKey(game, tick % 40 < 20 ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_Up);
    game.Advance(1);
    game.render(&image);
  }
}
BENCHMARK(BM_GameFrame)->Arg(800)->Arg(1024)->Unit(benchmark::kMicrosecond);

void PrintSummary() {
  const TResults& r = results;
  if (!r.valid) return;
  std::printf("\nRecording from the simulated ECU at %d baud, main window offscreen, %d rounds of %.0f s each:\n",
              kBaud, kRounds, kStretchSeconds);
  std::printf("  poll rate, game open / not: %.0f / %.0f exchanges/s = %.3f (goal >= %.2f)  %s\n",
              r.with.exchangesPerSecond, r.without.exchangesPerSecond, r.ratio, kGoalPollRatio,
              r.ratio >= kGoalPollRatio ? "met" : "MISSED");
  std::printf("  game: %.1f frames/s; UI thread busy %.1f %% of a core with it, %.1f %% without\n",
              r.with.framesPerSecond, r.with.uiBusy * 100, r.without.uiBusy * 100);
  std::printf("  samples recorded meanwhile: %llu\n", static_cast<unsigned long long>(r.samplesRecorded));
}

}  // namespace

int main(int argc, char** argv) { return RunQtBenchmarks(argc, argv, PrintSummary); }
