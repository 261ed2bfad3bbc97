#include "rules/LapRows.h"

#include <cstdio>

#include "recording/Recording.h"
#include "vars/SensorList.h"

namespace {
constexpr uint32_t kLapVarId = 1112;
}

const std::array<const char*, 2> LapColumnCaptions = {"Lap", "Time"};
const std::array<int, 2> LapColumnWidths = {50, 75};

std::string FormatLapTime(double seconds) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", seconds);
  return buf;
}

std::vector<TLapRow> LapRowsFromTimes(const std::vector<double>& signalTimes) {
  std::vector<TLapRow> rows;
  rows.reserve(signalTimes.size());
  double previous = 0.0;
  for (size_t i = 0; i < signalTimes.size(); ++i) {
    double lap = signalTimes[i] - previous;
    rows.push_back({static_cast<int>(i) + 1, lap, std::to_string(i + 1), FormatLapTime(lap)});
    previous = signalTimes[i];
  }
  return rows;
}

std::vector<TLapRow> LapRows(const TSensorList& sensors) {
  if (!sensors.Context.Recording.load(std::memory_order_acquire)) return {};
  TDisplayVar* lap = sensors.FindDisplay(kLapVarId);
  if (!lap) return {};
  TVarHist* h = lap->History();
  if (!h) return {};
  // The count is read once: the poll thread may append while the rows are built.
  int32_t n = h->Count();
  std::vector<double> times(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) times[static_cast<size_t>(i)] = h->TimeOf(i);
  return LapRowsFromTimes(times);
}
