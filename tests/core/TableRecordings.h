#pragma once
// Recordings for the table and gear-learning suites: crafted histories, random ones for the
// brute-force comparisons, and a drive through the gears with known ratios.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "recording/Recording.h"
#include "vars/EcuType.h"
#include "vars/SensorList.h"

using TSamples = std::vector<std::pair<uint32_t, uint16_t>>;

// A history's times as readers must see them, worked out here from the stored 32-bit times: the
// counter went round where a time falls from 2^31 or more to below 2^31 (2^32 added from there
// on); any other fall is out of order and takes the time before it.
inline std::vector<int64_t> ExpectedTimes(const TVarHist& h) {
  std::vector<int64_t> times;
  int64_t turns = 0;
  for (int32_t i = 0; i < h.Count(); ++i) {
    const uint32_t stored = h.StoredTicksOf(i);
    if (i > 0 && h.StoredTicksOf(i - 1) >= 0x80000000u && stored < 0x80000000u) turns += int64_t{1} << 32;
    const int64_t t = turns + stored;
    times.push_back(i > 0 && t < times.back() ? times.back() : t);
  }
  return times;
}

// Adds one history per raw variable id with its samples (ticks, raw) in order.
inline void AddHistories(TRecording& rec, const std::map<int32_t, TSamples>& histories) {
  for (const auto& [id, samples] : histories) {
    auto* h = new TVarHist(id);
    for (const auto& [t, raw] : samples) h->Append(t, raw);
    rec.AddHistory(h);
  }
}

// Saves a recording of the given histories under its own catalogue; model 4 is the any-ECU family
// (road speed in hundredths of km/h). False when it could not be saved.
inline bool SaveHistories(const std::string& path, const std::map<int32_t, TSamples>& histories, uint8_t model = 4,
                          const std::string& description = "Test run") {
  TCoreContext core;
  TECUType ecu;
  ecu.SetModel(model);
  core.EcuType = &ecu;
  TSensorList sensors(&core);
  sensors.BuildVariables();
  sensors.ApplyEcuType(ecu.Family);
  TRecording rec(*sensors.RawVars);
  rec.SetDescription(description);
  AddHistories(rec, histories);
  for (const TVarHist* h : rec)
    if (h->Count() > 0) rec.LengthMs = std::max<uint32_t>(rec.LengthMs, h->TicksOf(h->Count() - 1) / 100);
  return rec.SaveToFile(path);
}

// Samples at random intervals of 1..step ticks with, now and then, a gap of gap ticks; raw values
// uniform in lo..hi.
inline TSamples RandomSamples(std::mt19937& rng, int n, uint32_t step, uint32_t gap, uint16_t lo, uint16_t hi) {
  TSamples s;
  uint32_t t = std::uniform_int_distribution<uint32_t>(0, step)(rng);
  std::uniform_int_distribution<uint32_t> dt(1, step);
  std::uniform_int_distribution<int> gaps(0, 40);
  std::uniform_int_distribution<int> raw(lo, hi);
  for (int i = 0; i < n; ++i) {
    s.push_back({t, static_cast<uint16_t>(raw(rng))});
    t += dt(rng) + (gaps(rng) == 0 ? gap : 0);
  }
  return s;
}

// A drive through five gears with known ratios, sampled as the poll loop would: revs (raw 1) and
// speed (raw 161, hundredths of km/h as the any-ECU family reports it) at 20 Hz each, 25 ms apart,
// and the clutch switch (User Flags, raw 46, bit 2) at 10 Hz. In each gear the car cruises at three
// speeds for `cruiseSeconds` each, accelerating in between, and shifts with the clutch pressed.
// noise: the revs' and speed's relative scatter (uniform, +-noise).
struct TDrive {
  double Ratios[5] = {3.230, 2.105, 1.458, 1.107, 0.848};
  double Final = 4.4;
  double Circumference = 1.856;
  double CruiseSeconds = 8;
  double Noise = 0;
  // Also coast for this long at 60 km/h with the clutch pressed and the engine idling.
  double CoastSeconds = 0;
  uint32_t Seed = 7;
  // The run drives from this gear (1 .. 5) up to fifth.
  int FirstGear = 1;

  std::map<int32_t, TSamples> Histories() const {
    std::map<int32_t, TSamples> h;
    std::mt19937 rng(Seed);
    std::uniform_real_distribution<double> jitter(-Noise, Noise);
    double t = 0;
    auto rpmFor = [&](int gear, double kmh) { return kmh / 3.6 / Circumference * 60 * Ratios[gear] * Final; };
    // One 50 ms step: revs, then speed 25 ms later, the clutch every other step.
    auto step = [&](double kmh, double rpm, bool clutch) {
      const auto ticks = static_cast<uint32_t>(std::lround(t * 100000));
      const double r = rpm * (1 + jitter(rng));
      h[1].push_back({ticks, static_cast<uint16_t>(std::lround(1875000.0 / r))});
      h[161].push_back({ticks + 2500, static_cast<uint16_t>(std::lround(kmh * (1 + jitter(rng)) * 100))});
      if (std::lround(t * 20) % 2 == 0) h[46].push_back({ticks + 1000, static_cast<uint16_t>(clutch ? 4 : 0)});
      t += 0.05;
    };
    double kmh = 20;
    for (int gear = FirstGear - 1; gear < 5; ++gear) {
      // Speeds that put the engine between 2500 and 5000 rpm in this gear.
      const double low = 2500 / rpmFor(gear, 1), high = 5000 / rpmFor(gear, 1);
      for (int k = 0; k < 3; ++k) {
        const double target = std::max(low + (high - low) * k / 2.0, 18.0);
        while (kmh < target - 0.01) {  // accelerating at 2 m/s^2
          kmh = std::min(target, kmh + 2 * 3.6 * 0.05);
          step(kmh, rpmFor(gear, kmh), false);
        }
        kmh = target;
        for (double s = 0; s < CruiseSeconds; s += 0.05) step(kmh, rpmFor(gear, kmh), false);
      }
      // The shift: clutch pressed, revs falling to the next gear's for 0.4 s.
      if (gear < 4)
        for (int s = 0; s < 8; ++s)
          step(kmh, rpmFor(gear, kmh) - (rpmFor(gear, kmh) - rpmFor(gear + 1, kmh)) * s / 8, true);
    }
    for (double s = 0; s < CoastSeconds; s += 0.05) step(60, 900, true);
    return h;
  }
};
