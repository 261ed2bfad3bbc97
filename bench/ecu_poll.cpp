// The poll loop against the simulated ECU: exchanges per second at the line's limit, processor time
// per exchange, the cost of an open but idle port, the loop waiting for what is due against going
// on without a pause, and system calls per exchange on a terminal.
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "BenchSupport.h"
#include "vars/Config.h"
#include "ecu/SimEcu.h"
#include "ecu/PollThreadRS.h"
#include "vars/EcuType.h"
#include "vars/SensorList.h"

namespace {

using namespace std::chrono_literals;

constexpr double kBaud = 19200.0;
// Every exchange is one request byte out and one reply byte back, 10 bits each.
constexpr double kLineLimit = kBaud / 20.0;

// The catalogue, default settings and an ECU type, as the program has them.
struct TEnv : TBenchEnv {
  TEnv() : TBenchEnv("poll") {}
  // Only the one-byte variables, or the whole table.
  void Select(bool oneByteOnly) {
    for (int i = 0; i < sensors.RawVars->Count(); ++i) {
      TRawVar* v = sensors.Raw(i);
      v->PollEnabled = (!oneByteOnly || v->ReadMode == 0) ? 1 : 0;
    }
  }
};

// Stands in for the main window: on every refresh request it refreshes (3 ms) and asks for the
// next one UIUpdateDelayRecording (50 ms) later, from a thread of its own.
class TWindowLike : public TMessageTarget {
 public:
  void Attach(TPollThread* poll) {
    poll_ = poll;
    thread_ = std::thread([this] { Run(); });
  }
  ~TWindowLike() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
  }
  void Post(uint32_t message) override {
    if (message == WM_POLL_CONNECTED) connected_ = true;
    if (message != WM_UPDATE_UI) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      pending_ = true;
    }
    cv_.notify_all();
  }
  std::atomic<bool> connected_{false};

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      cv_.wait(lock, [&] { return stop_ || pending_; });
      if (stop_) return;
      pending_ = false;
      // A refresh of the displays takes a few milliseconds before the window asks for the next.
      lock.unlock();
      std::this_thread::sleep_for(3ms);
      if (poll_) poll_->DelayUIUpdate(50);
      lock.lock();
    }
  }
  TPollThread* poll_ = nullptr;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool pending_ = false, stop_ = false;
  std::thread thread_;
};

bool WaitFor(const std::function<bool()>& pred) {
  for (int i = 0; i < 5000 && !pred(); ++i) std::this_thread::sleep_for(1ms);
  return pred();
}

// The poll thread on the simulated ECU at 19200 baud without reply latency, connected; with
// window set, a window asks for refreshes as the program's does.
struct TPacedLink {
  TPacedLink(TEnv& env, bool withWindow) : poll(env.sensors.Context, false, &window) {
    sim->SetByteTiming(static_cast<int>(kBaud));
    sim->SetReplyLatencyUs(0);
    if (withWindow) window.Attach(&poll);
    poll.Port()->SetDevice(sim);
    poll.PollThread_OpenSerialPort();
    poll.PollThread_Connect();
  }
  bool Connected() {
    return WaitFor([&] { return window.connected_.load(); });
  }
  std::shared_ptr<TSimDevice> sim = std::make_shared<TSimDevice>(2);
  TWindowLike window;
  TPollThreadRS poll;
};

// Exchanges per second against the simulated device at 19200 baud with no reply latency:
// range(0) 0 = one-byte variables only, 1 = the whole table; range(1) 1 = with a window asking for
// refreshes as the program's does.
void BM_PollLineRate(benchmark::State& state) {
  TEnv env;
  env.Select(state.range(0) == 0);
  TPacedLink link(env, state.range(1) != 0);
  if (!link.Connected()) {
    state.SkipWithError("no connection");
    return;
  }
  TSimDevice* sim = link.sim.get();
  TPollThreadRS& poll = link.poll;
  std::this_thread::sleep_for(300ms);
  double rate = 0, cpuPerExchange = 0, awakePerExchange = 0;
  for (auto _ : state) {
    const uint64_t r0 = sim->Requests();
    const uint64_t awake0 = sim->AwakeWaitNs();
    const double cpu0 = ThreadCpuSeconds(poll.NativeHandle());
    const double t0 = Now();
    std::this_thread::sleep_for(3s);
    const double elapsed = Now() - t0;
    const double exchanges = static_cast<double>(sim->Requests() - r0);
    rate = exchanges / elapsed;
    cpuPerExchange = (ThreadCpuSeconds(poll.NativeHandle()) - cpu0) / exchanges;
    awakePerExchange = static_cast<double>(sim->AwakeWaitNs() - awake0) * 1e-9 / exchanges;
    state.SetIterationTime(elapsed);
  }
  state.counters["exchanges_per_s"] = rate;
  state.counters["line_limit_per_s"] = kLineLimit;
  state.counters["ratio_to_limit"] = rate / kLineLimit;
  // The thread's processor time, and the part of it the simulated line spends awake waiting for
  // a byte (a stand-in for the receiver hardware, not the poll loop's own work).
  state.counters["cpu_us_per_exchange"] = cpuPerExchange * 1e6;
  state.counters["line_wait_us_per_exchange"] = awakePerExchange * 1e6;
  state.counters["loop_cpu_us_per_exchange"] = (cpuPerExchange - awakePerExchange) * 1e6;
  state.counters["errors_per_s"] = poll.ErrorsPerSecond.load();
}
BENCHMARK(BM_PollLineRate)
    ->ArgNames({"whole_table", "window"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Processor time of the thread while the port is open but nothing is polled, and while idle.
void BM_IdleCost(benchmark::State& state) {
  TEnv env;
  auto sim = std::make_shared<TSimDevice>(2);
  TPollThreadRS poll(env.sensors.Context);
  poll.Port()->SetDevice(sim);
  if (state.range(0)) {
    poll.PollThread_OpenSerialPort();
    WaitFor([&] { return poll.Port()->IsOpen(); });
  }
  double share = 0;
  for (auto _ : state) {
    const double cpu0 = ThreadCpuSeconds(poll.NativeHandle());
    const double t0 = Now();
    std::this_thread::sleep_for(1s);
    const double elapsed = Now() - t0;
    share = (ThreadCpuSeconds(poll.NativeHandle()) - cpu0) / elapsed;
    state.SetIterationTime(elapsed);
  }
  state.counters["cpu_percent"] = share * 100.0;
  state.counters["requests"] = static_cast<double>(sim->Requests());
}
BENCHMARK(BM_IdleCost)->ArgName("port_open")->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The loop when nothing is due, waiting (as it does) against going on from pass to pass without a
// pause (as it once did), in alternating rounds of one run on one connected thread at 19200 baud:
// the thread's processor time with every log box unticked and with every sensor on its own rate
// (PollSensorsQuickly off), and the exchange rate with the default table (PollSensorsQuickly on,
// every sensor ticked) and with the rates.
void BM_PollWhenNothingIsDue(benchmark::State& state) {
  TEnv env;
  TPacedLink link(env, true);
  if (!link.Connected()) {
    state.SkipWithError("no connection");
    return;
  }
  TSimDevice* sim = link.sim.get();
  TPollThreadRS& poll = link.poll;
  enum TCase { Unticked, Rates, DefaultTable, Cases };
  auto select = [&](TCase c) {
    for (int i = 0; i < env.sensors.RawVars->Count(); ++i) env.sensors.Raw(i)->PollEnabled = c == Unticked ? 0 : 1;
    env.config->PollSensorsQuickly = c == DefaultTable;
  };
  double cpu[Cases][2] = {}, exchanges[Cases][2] = {}, seconds[Cases][2] = {};
  for (auto _ : state) {
    const double start = Now();
    for (int round = 0; round < 4; ++round)
      for (int c = 0; c < Cases; ++c)
        for (int waiting = 0; waiting < 2; ++waiting) {
          select(static_cast<TCase>(c));
          poll.WaitWhenIdle = waiting != 0;
          std::this_thread::sleep_for(100ms);  // settles
          const uint64_t r0 = sim->Requests();
          const double cpu0 = ThreadCpuSeconds(poll.NativeHandle());
          const double t0 = Now();
          std::this_thread::sleep_for(500ms);
          cpu[c][waiting] += ThreadCpuSeconds(poll.NativeHandle()) - cpu0;
          exchanges[c][waiting] += static_cast<double>(sim->Requests() - r0);
          seconds[c][waiting] += Now() - t0;
        }
    state.SetIterationTime(Now() - start);
  }
  auto share = [&](TCase c, int waiting) { return cpu[c][waiting] / seconds[c][waiting] * 100.0; };
  auto rate = [&](TCase c, int waiting) { return exchanges[c][waiting] / seconds[c][waiting]; };
  state.counters["unticked_cpu_percent_waiting"] = share(Unticked, 1);
  state.counters["unticked_cpu_percent_spinning"] = share(Unticked, 0);
  state.counters["unticked_cpu_ratio_waiting_to_spinning"] = share(Unticked, 1) / share(Unticked, 0);
  state.counters["rates_cpu_percent_waiting"] = share(Rates, 1);
  state.counters["rates_cpu_percent_spinning"] = share(Rates, 0);
  state.counters["rates_cpu_ratio_waiting_to_spinning"] = share(Rates, 1) / share(Rates, 0);
  state.counters["rates_exchanges_ratio_waiting_to_spinning"] = rate(Rates, 1) / rate(Rates, 0);
  state.counters["default_exchanges_per_s_waiting"] = rate(DefaultTable, 1);
  state.counters["default_exchanges_per_s_spinning"] = rate(DefaultTable, 0);
  state.counters["default_exchanges_ratio_waiting_to_spinning"] = rate(DefaultTable, 1) / rate(DefaultTable, 0);
}
BENCHMARK(BM_PollWhenNothingIsDue)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// A terminal device (a pseudo-terminal with the simulator on the other side): system calls of the
// device per exchange in steady state for a one-byte variable, and the exchange rate.
void BM_TerminalExchangeCost(benchmark::State& state) {
  TEnv env;
  for (int i = 0; i < env.sensors.RawVars->Count(); ++i) env.sensors.Raw(i)->PollEnabled = 0;
  env.sensors.RawMAP->PollEnabled = 1;
  TPtySimulator sim(2);
  if (!sim.Create()) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  sim.Start();
  TWindowLike window;
  TPollThreadRS poll(env.sensors.Context, false, &window);
  window.Attach(&poll);
  poll.Port()->SetDevicePath(sim.SlavePath());
  poll.PollThread_OpenSerialPort();
  poll.PollThread_Connect();
  if (!WaitFor([&] { return window.connected_.load(); })) {
    state.SkipWithError("no connection");
    return;
  }
  std::this_thread::sleep_for(200ms);
  auto device = std::dynamic_pointer_cast<TTermiosDevice>(poll.Port()->Device());
  double perExchange = 0, rate = 0, cpu = 0;
  for (auto _ : state) {
    const uint64_t calls0 = device->SystemCalls();
    const uint64_t r0 = sim.Requests();
    const double cpu0 = ThreadCpuSeconds(poll.NativeHandle());
    const double t0 = Now();
    std::this_thread::sleep_for(1s);
    const double elapsed = Now() - t0;
    const double exchanges = static_cast<double>(sim.Requests() - r0);
    perExchange = static_cast<double>(device->SystemCalls() - calls0) / exchanges;
    rate = exchanges / elapsed;
    cpu = (ThreadCpuSeconds(poll.NativeHandle()) - cpu0) / exchanges;
    state.SetIterationTime(elapsed);
  }
  poll.Stop();
  sim.Stop();
  state.counters["syscalls_per_exchange"] = perExchange;
  state.counters["exchanges_per_s"] = rate;
  state.counters["cpu_us_per_exchange"] = cpu * 1e6;
}
BENCHMARK(BM_TerminalExchangeCost)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
