#pragma once
// Shared by the benchmark programs: clocks, and the catalogue with default settings kept in a
// scratch folder, as the program has them.
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "recording/RecordingList.h"
#include "vars/Config.h"
#include "vars/EcuType.h"
#include "vars/SensorList.h"

// The middle one of the figures of several rounds.
inline double Median(std::vector<double> v) {
  std::nth_element(v.begin(), v.begin() + static_cast<ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

inline double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

inline double ThisThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

inline double ThreadCpuSeconds(pthread_t thread) {
  clockid_t clock;
  if (pthread_getcpuclockid(thread, &clock) != 0) return 0;
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// The catalogue, default settings (in a scratch folder named after the benchmark) and an ECU type.
struct TBenchEnv {
  explicit TBenchEnv(const std::string& name) {
    dir = std::filesystem::temp_directory_path() / ("revscope-bench-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    config = std::make_unique<TConfig>((dir / "Revscope.ini").string(), dir.string());
    config->MachinePath = (dir / "Settings.ini").string();
    sensors.Context.Settings = config.get();
    sensors.Context.EcuType = &ecu;
    sensors.Context.Recordings = &recordings;
    sensors.BuildVariables();
  }
  ~TBenchEnv() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  TBenchEnv(const TBenchEnv&) = delete;
  TBenchEnv& operator=(const TBenchEnv&) = delete;

  std::filesystem::path dir;
  std::unique_ptr<TConfig> config;
  TECUType ecu;
  TRecordingList recordings;
  TSensorList sensors;
};
