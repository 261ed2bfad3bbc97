// The journal's cost to a recording run: the poll rate while recording with the journal against
// the same run without it, measured side by side in one run (rounds alternate so that drift of
// the machine falls on both), on the simulated 19200-baud line and on an unpaced line where the
// poll loop runs as fast as the processor lets it. Also what the journal writes: bytes and system
// calls a second, samples per write.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "BenchSupport.h"
#include "vars/Config.h"
#include "ecu/SimEcu.h"
#include "ecu/PollThreadRS.h"
#include "recording/Journal.h"
#include "vars/EcuType.h"
#include "vars/SensorList.h"

namespace {

using namespace std::chrono_literals;

class TConnected : public TMessageTarget {
 public:
  void Post(uint32_t message) override {
    if (message == WM_POLL_CONNECTED) connected = true;
  }
  std::atomic<bool> connected{false};
};

// range(0): 1 = the simulated line at 19200 baud, 0 = unpaced.
void BM_PollRateWithJournal(benchmark::State& state) {
  TBenchEnv env("journal");
  auto sim = std::make_shared<TSimDevice>(2);
  if (state.range(0)) sim->SetByteTiming(19200);
  sim->SetReplyLatencyUs(0);
  TConnected target;
  TPollThreadRS poll(env.sensors.Context, false, &target);
  poll.Port()->SetDevice(sim);
  poll.PollThread_OpenSerialPort();
  poll.PollThread_Connect();
  for (int i = 0; i < 5000 && !target.connected; ++i) std::this_thread::sleep_for(1ms);
  if (!target.connected) {
    state.SkipWithError("no connection");
    return;
  }
  double exchanges[2] = {0, 0}, seconds[2] = {0, 0};
  double bytes = 0, writes = 0, samples = 0;
  for (auto _ : state) {
    const double start = Now();
    // off, on, off, on ...: each round a new run of its own.
    for (int round = 0; round < 8; ++round) {
      const int journaled = round % 2;
      auto rec = std::make_unique<TRecording>(*env.sensors.RawVars);
      rec->CreateHistories();
      std::unique_ptr<TJournal> journal;
      if (journaled) {
        journal = std::make_unique<TJournal>(*rec, (env.dir / "state").string());
        if (!journal->Start()) {
          state.SkipWithError("journal not started");
          return;
        }
      }
      poll.Record(rec.get());
      std::this_thread::sleep_for(200ms);  // the run settles
      const uint64_t r0 = sim->Requests();
      const uint64_t w0 = journal ? journal->WriteCalls() : 0, s0 = journal ? journal->SamplesWritten() : 0;
      const double t0 = Now();
      std::this_thread::sleep_for(2s);
      exchanges[journaled] += static_cast<double>(sim->Requests() - r0);
      seconds[journaled] += Now() - t0;
      if (journal) {
        // What the writer did within the measured time (the flush at the end of a run aside).
        writes += static_cast<double>(journal->WriteCalls() - w0);
        samples += static_cast<double>(journal->SamplesWritten() - s0);
      }
      poll.StopRecording();
      env.recordings.Release(rec.get());
      if (journal) {
        journal->Finish();
        bytes += static_cast<double>(std::filesystem::file_size(journal->Path()));
        journal->Remove();
      }
    }
    state.SetIterationTime(Now() - start);
  }
  const double without = exchanges[0] / seconds[0], with = exchanges[1] / seconds[1];
  state.counters["polls_per_s_without"] = without;
  state.counters["polls_per_s_with"] = with;
  state.counters["ratio_with_to_without"] = with / without;
  state.counters["journal_bytes_per_s"] = bytes / seconds[1];  // the whole file, over the measured time
  state.counters["journal_writes_per_s"] = writes / seconds[1];
  state.counters["samples_per_write"] = writes > 0 ? samples / writes : 0;
}
BENCHMARK(BM_PollRateWithJournal)
    ->ArgName("paced_19200")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
