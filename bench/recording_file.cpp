// Saving and loading an 11-hour recording of all 39 raw variables at the line's limit (about 900
// samples a second in all, 35.6 million samples), each measured side by side with moving the same
// bytes through one plain read or write loop. Goal: both ratios within 2.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "recording/RecordingList.h"
#include "vars/EcuType.h"
#include "vars/SensorList.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kSeconds = 11 * 3600.0;
constexpr double kSamplesPerSecond = 900.0;

struct TFixture {
  TECUType ecu;
  TSensorList sensors;
  std::string dir;
  std::unique_ptr<TRecording> rec;
  std::string path;
  uint64_t bytes = 0;

  TFixture() {
    const char* tmp = std::getenv("TMPDIR");
    dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/revscope-bench-XXXXXX";
    if (!::mkdtemp(dir.data())) std::abort();
    sensors.Context.EcuType = &ecu;
    sensors.BuildVariables();
    rec = std::make_unique<TRecording>(*sensors.RawVars);
    rec->CreateHistories();
    rec->SetDescription("Eleven hours");
    const auto total = static_cast<int64_t>(kSeconds * kSamplesPerSecond);
    const int n = rec->HistoryCount();
    for (int64_t i = 0; i < total; ++i) {
      auto ticks = static_cast<uint32_t>(static_cast<double>(i) * (100000.0 / kSamplesPerSecond));
      rec->History(static_cast<int>(i % n))->Append(ticks, static_cast<uint16_t>(i * 7));
    }
    rec->LengthMs = static_cast<uint32_t>(kSeconds * 1000);
    path = dir + "/eleven-hours.rec";
    if (!rec->SaveToFile(path)) std::abort();
    bytes = std::filesystem::file_size(path);
  }
  ~TFixture() {
    rec.reset();
    std::filesystem::remove_all(dir);
  }
};

TFixture& Fixture() {
  static TFixture f;
  return f;
}

constexpr size_t kChunk = 1 << 20;

// One read loop over the file: into a reused 1 MiB buffer, or into fresh memory of the file's size
// (what a load must end up with: every byte in memory).
double RawRead(const std::string& path, bool wholeFile) {
  auto start = Clock::now();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  uint64_t total = 0;
  if (wholeFile) {
    const auto size = static_cast<size_t>(std::filesystem::file_size(path));
    std::unique_ptr<char[]> buf(new char[size]);
    for (ssize_t r; (r = ::read(fd, buf.get() + total, size - total)) > 0;) total += static_cast<uint64_t>(r);
    benchmark::DoNotOptimize(buf.get());
  } else {
    std::vector<char> buf(kChunk);
    for (ssize_t r; (r = ::read(fd, buf.data(), buf.size())) > 0;) total += static_cast<uint64_t>(r);
  }
  ::close(fd);
  benchmark::DoNotOptimize(total);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double RawWrite(const std::string& path, const std::string& bytes, bool sync) {
  auto start = Clock::now();
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  for (size_t done = 0; done < bytes.size();) {
    ssize_t w = ::write(fd, bytes.data() + done, std::min(kChunk, bytes.size() - done));
    if (w <= 0) std::abort();
    done += static_cast<size_t>(w);
  }
  if (sync) ::fsync(fd);
  ::close(fd);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string FileBytes(const std::string& path) {
  std::string s(std::filesystem::file_size(path), '\0');
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  for (size_t done = 0; done < s.size();) done += static_cast<size_t>(::read(fd, s.data() + done, s.size() - done));
  ::close(fd);
  return s;
}

// Load of the whole recording against one read loop over the same file (all from the page cache).
void BM_LoadVsRead(benchmark::State& state) {
  TFixture& f = Fixture();
  double load = 0, read = 0, readWhole = 0;
  for (auto _ : state) {
    read += RawRead(f.path, false);
    readWhole += RawRead(f.path, true);
    auto start = Clock::now();
    TRecording back(*f.sensors.RawVars);
    if (!back.LoadFromFile(f.path)) std::abort();
    double t = std::chrono::duration<double>(Clock::now() - start).count();
    load += t;
    state.SetIterationTime(t);
  }
  state.counters["MB"] = static_cast<double>(f.bytes) / 1e6;
  state.counters["load_s"] = load / static_cast<double>(state.iterations());
  state.counters["read_s"] = read / static_cast<double>(state.iterations());
  state.counters["read_whole_s"] = readWhole / static_cast<double>(state.iterations());
  state.counters["load_over_read"] = load / read;
  state.counters["load_over_read_whole"] = load / readWhole;
}
BENCHMARK(BM_LoadVsRead)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// The writer itself (header and blocks into an open file) against one write loop of the same
// bytes: the cost of encoding the samples.
void BM_WriteToVsWrite(benchmark::State& state) {
  TFixture& f = Fixture();
  const std::string bytes = FileBytes(f.path);
  const std::string out = f.dir + "/out.rec";
  double save = 0, write = 0;
  for (auto _ : state) {
    write += RawWrite(out, bytes, false);
    auto start = Clock::now();
    TBinFile file;
    if (!file.CreateNew(out) || !f.rec->WriteTo(file)) std::abort();
    file.Close();
    double t = std::chrono::duration<double>(Clock::now() - start).count();
    save += t;
    state.SetIterationTime(t);
  }
  state.counters["save_s"] = save / static_cast<double>(state.iterations());
  state.counters["write_s"] = write / static_cast<double>(state.iterations());
  state.counters["save_over_write"] = save / write;
}
BENCHMARK(BM_WriteToVsWrite)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole save (temporary file, fsync, rename over the old file) against one write loop with
// an fsync: the same bytes made as durable.
void BM_SaveVsWriteSync(benchmark::State& state) {
  TFixture& f = Fixture();
  const std::string bytes = FileBytes(f.path);
  const std::string out = f.dir + "/out.rec";
  double save = 0, write = 0;
  for (auto _ : state) {
    write += RawWrite(out, bytes, true);
    auto start = Clock::now();
    if (!f.rec->SaveToFile(out)) std::abort();
    double t = std::chrono::duration<double>(Clock::now() - start).count();
    save += t;
    state.SetIterationTime(t);
  }
  state.counters["save_s"] = save / static_cast<double>(state.iterations());
  state.counters["write_sync_s"] = write / static_cast<double>(state.iterations());
  state.counters["save_over_write_sync"] = save / write;
}
BENCHMARK(BM_SaveVsWriteSync)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
