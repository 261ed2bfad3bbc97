// The CSV export of a 12.5-hour recording of all 39 raw variables at the line's limit (about 900
// samples a second in all, 38.6 million samples) with the simulated engine's values, every sensor
// with samples (48 columns):
// - every sample (one row per sample time, 38.6 million rows), in values written a second, against
//   a plain loop that writes as many values with std::to_chars into a buffer and writes that out.
//   Goal: at least 0.5 of the loop's rate;
// - 20 rows a second against loading the recording from its file. Goal: at most 2 times the load;
// - peak memory of a process that loads the recording and exports it both ways, against one that
//   only loads it. Goal: at most 64 MB more.
// Both ends write to /dev/null, so the figures are the export's own work. Times are elapsed
// times, as the user waits them, each the middle one of several rounds. The 20 Hz rounds each run
// in a new process, as the command does: the recording is loaded into fresh memory and then
// exported. A second load in that process, into the memory the first one gave back (a recording
// closed and another opened), is quicker; the export against it is reported beside.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "analysis/CsvExport.h"
#include "ecu/SimEcu.h"

extern char** environ;

namespace {

// Past the 32-bit tick counter's wrap at 11.93 hours.
constexpr double kSeconds = 12.5 * 3600.0;
constexpr double kSamplesPerSecond = 900.0;

// Writes everything to /dev/null.
struct TNullSink {
  int fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  ~TNullSink() { ::close(fd); }
  bool Write(const char* data, size_t size) { return ::write(fd, data, size) == static_cast<ssize_t>(size); }
};

std::unique_ptr<TRecording> Load(TBenchEnv& env, const std::string& path) {
  auto rec = std::make_unique<TRecording>(*env.sensors.RawVars);
  if (!rec->LoadFromFile(path)) std::abort();
  return rec;
}

// The table to /dev/null; the values written.
int64_t Export(TBenchEnv& env, TRecording& rec, bool everySample) {
  TCsvOptions options;
  options.Sensors = DefaultCsvSensors(env.sensors, rec);
  options.EverySample = everySample;
  TCsvExport table(rec, options);
  TNullSink sink;
  if (!WriteCsv(table, [&](const char* d, size_t n) { return sink.Write(d, n); }).Ok) std::abort();
  return table.Values();
}

// The recording, saved once into a scratch folder and loaded back. Its values come from the
// simulated ECU's engine (idle, launch, gears, cruise, braking, over and over), as a day's logging
// gives them; or, for the worst case, a new raw value at every sample.
struct TFixture {
  TBenchEnv env;
  std::string path;
  std::unique_ptr<TRecording> rec;

  explicit TFixture(bool engine) : env(engine ? "export-csv" : "export-csv-noise"), path((env.dir / "hours.rec").string()) {
    {
      // An OBD1 unit, as the simulated engine answers, so the histories carry its variable ids.
      env.ecu.SetModel(2);
      env.sensors.ApplyEcuType(env.ecu.Family);
      TRecording made(*env.sensors.RawVars);
      made.CreateHistories();
      made.SetDescription("Twelve and a half hours");
      TSimEcu engineModel(env.ecu.Model);
      const auto total = static_cast<int64_t>(kSeconds * kSamplesPerSecond);
      const int n = made.HistoryCount();
      for (int64_t i = 0; i < total; ++i) {
        const double t = static_cast<double>(i) / kSamplesPerSecond;
        const auto ticks = static_cast<uint32_t>(static_cast<int64_t>(t * 100000.0));
        TVarHist* h = made.History(static_cast<int>(i % n));
        uint16_t raw = static_cast<uint16_t>(i * 7);
        if (engine) {
          engineModel.AdvanceTo(t);
          raw = engineModel.Value(static_cast<uint8_t>(env.sensors.FindRaw(static_cast<uint32_t>(h->SensorId))->RequestCode.load()));
        }
        h->Append(ticks, raw);
      }
      made.LengthMs = static_cast<uint32_t>(kSeconds * 1000);
      if (!made.SaveToFile(path)) std::abort();
    }
    rec = Load(env, path);
  }
};

TFixture& Fixture(bool engine = true) {
  static TFixture engineFixture(true);
  if (engine) return engineFixture;
  static TFixture noiseFixture(false);
  return noiseFixture;
}

// The plain loop: values (numbers of the size the sensors give) written with std::to_chars into
// a 1 MB buffer, comma-separated, 49 to a line, the buffer written out whenever it is full. Its
// elapsed time.
double ToCharsLoop(int64_t values) {
  TNullSink sink;
  std::vector<char> buffer(1 << 20);
  char* p = buffer.data();
  char* const end = buffer.data() + buffer.size() - 64;
  const double start = Now();
  for (int64_t i = 0; i < values; ++i) {
    const double v = static_cast<double>(i % 100003) * 0.37;
    p = std::to_chars(p, end, v, std::chars_format::fixed, 6).ptr;
    *p++ = i % 49 == 48 ? '\n' : ',';
    if (p >= end) {
      sink.Write(buffer.data(), static_cast<size_t>(p - buffer.data()));
      p = buffer.data();
    }
  }
  sink.Write(buffer.data(), static_cast<size_t>(p - buffer.data()));
  return Now() - start;
}

// The elapsed time of work.
template <typename Work>
double Timed(const Work& work) {
  const double start = Now();
  work();
  return Now() - start;
}

constexpr int kRounds = 5;

void BM_EverySampleVsToChars(benchmark::State& state) {
  TFixture& f = Fixture();
  std::vector<double> exportRate, loopRate;
  for (auto _ : state) {
    int64_t values = 0;
    const double t = Timed([&] { values = Export(f.env, *f.rec, true); });
    exportRate.push_back(static_cast<double>(values) / t);
    state.SetIterationTime(t);
    // A quarter as many values: the loop's rate, not its total, is compared.
    const int64_t n = values / 4;
    loopRate.push_back(static_cast<double>(n) / ToCharsLoop(n));
    state.counters["values"] = static_cast<double>(values);
  }
  state.counters["export_values_per_s"] = Median(exportRate);
  state.counters["to_chars_values_per_s"] = Median(loopRate);
  state.counters["export_over_to_chars"] = Median(exportRate) / Median(loopRate);
}
BENCHMARK(BM_EverySampleVsToChars)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(3);

// This program run again as "--child WHAT PATH OUT": the figures it wrote to OUT.
std::vector<double> RunChild(const char* what, const std::string& path) {
  std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  std::string out = Fixture().env.dir / (std::string("child-") + what);
  const char* argv[] = {self.c_str(), "--child", what, path.c_str(), out.c_str(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) std::abort();
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
  std::ifstream in(out);
  std::vector<double> figures;
  for (double x; in >> x;) figures.push_back(x);
  if (figures.empty()) std::abort();
  return figures;
}

// Each round in a new process, as the command runs: the recording loaded into fresh memory, then
// exported at 20 Hz; then loaded again, into the memory the first load gave back.
void TwentyHzVsLoad(benchmark::State& state, bool engine) {
  TFixture& f = Fixture(engine);
  std::vector<double> load, exportTime, reload;
  for (auto _ : state) {
    const std::vector<double> t = RunChild("time", f.path);
    load.push_back(t[0]);
    exportTime.push_back(t[1]);
    reload.push_back(t[2]);
    state.SetIterationTime(t[1]);
  }
  state.counters["load_s"] = Median(load);
  state.counters["export_s"] = Median(exportTime);
  state.counters["reload_s"] = Median(reload);
  state.counters["export_over_load"] = Median(exportTime) / Median(load);
  state.counters["export_over_reload"] = Median(exportTime) / Median(reload);
}
void BM_TwentyHzVsLoad(benchmark::State& state) { TwentyHzVsLoad(state, true); }
BENCHMARK(BM_TwentyHzVsLoad)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kRounds);
// Every sample a new raw value: every field of every row is converted and written anew.
void BM_TwentyHzVsLoad_NewValueEverySample(benchmark::State& state) { TwentyHzVsLoad(state, false); }
BENCHMARK(BM_TwentyHzVsLoad_NewValueEverySample)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kRounds);

// The peak resident memory (VmHWM) of this process in bytes.
double PeakBytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) * 1024;
  return 0;
}

void BM_PeakMemory(benchmark::State& state) {
  TFixture& f = Fixture();
  double loadPeak = 0, exportPeak = 0;
  for (auto _ : state) {
    loadPeak = RunChild("load", f.path)[0];
    exportPeak = RunChild("export", f.path)[0];
    state.SetIterationTime(1);
  }
  state.counters["load_peak_MB"] = loadPeak / 1e6;
  state.counters["export_peak_MB"] = exportPeak / 1e6;
  state.counters["export_extra_MB"] = (exportPeak - loadPeak) / 1e6;
}
BENCHMARK(BM_PeakMemory)->UseManualTime()->Iterations(1);

// The child: "load" and "export" write the peak memory after loading the recording and, for
// "export", exporting it every sample and at 20 Hz. "time" writes the times of a load into fresh
// memory, a 20 Hz export and a second load.
int Child(const std::string& what, const std::string& path, const std::string& out) {
  TBenchEnv env("export-csv-child");
  std::ofstream figures(out);
  if (what == "time") {
    std::unique_ptr<TRecording> rec;
    const double load = Timed([&] { rec = Load(env, path); });
    const double exported = Timed([&] { Export(env, *rec, false); });
    rec.reset();
    const double reload = Timed([&] { rec = Load(env, path); });
    figures << load << ' ' << exported << ' ' << reload << '\n';
    return 0;
  }
  std::unique_ptr<TRecording> rec = Load(env, path);
  if (what == "export") {
    Export(env, *rec, true);
    Export(env, *rec, false);
  }
  figures << PeakBytes() << '\n';
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--child") == 0) return Child(argv[2], argv[3], argv[4]);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
