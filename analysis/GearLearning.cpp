#include "analysis/GearLearning.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "analysis/ObservationWalker.h"
#include "history/History.h"
#include "history/HistorySet.h"
#include "vars/Conversions.h"
#include "vars/SensorList.h"

namespace {

constexpr uint32_t kClutchId = 1060;
constexpr double kBin = 0.005;      // histogram bins of half a percent
constexpr int kSmooth = 4;          // smoothed over two percent either side
constexpr double kMember = 0.05;    // a ratio within 5 % belongs to a gear
constexpr double kSeparate = 0.10;  // gears lie at least 10 % apart
constexpr double kMinShare = 0.02;
constexpr int64_t kMinMembers = 5;

// The sorted logarithms within +-width of centre.
std::pair<size_t, size_t> Around(const std::vector<double>& logs, double centre, double width) {
  const auto a = std::lower_bound(logs.begin(), logs.end(), centre - width);
  const auto b = std::upper_bound(logs.begin(), logs.end(), centre + width);
  return {static_cast<size_t>(a - logs.begin()), static_cast<size_t>(b - logs.begin())};
}

double Median(const std::vector<double>& sorted, size_t a, size_t b) {
  const size_t n = b - a, mid = a + n / 2;
  return n % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
}

std::unique_ptr<TSensorTrack> TrackOf(TDisplayVar* var, const THistorySet& recording) {
  const TVarHist* h = var ? var->HistoryIn(recording) : nullptr;
  if (!h) return nullptr;
  auto track = std::make_unique<TSensorTrack>(*var, h);
  track->Refresh();
  return track->Count() > 0 ? std::move(track) : nullptr;
}

bool Near(double now, double before, double share, double floor) {
  return std::fabs(now - before) <= std::max(share * std::fabs(now), floor);
}

}  // namespace

std::vector<TLearnedGear> GroupRatios(std::vector<double> ratios, int maxGears) {
  std::vector<double> logs;
  for (double r : ratios)
    if (std::isfinite(r) && r > 0) logs.push_back(std::log(r));
  const size_t n = logs.size();
  if (n == 0 || maxGears < 1) return {};
  std::sort(logs.begin(), logs.end());
  const double lo = logs.front() - kSmooth * kBin;
  const auto bins = static_cast<size_t>((logs.back() + kSmooth * kBin - lo) / kBin) + 1;
  std::vector<double> histogram(bins, 0.0), smooth(bins, 0.0);
  for (double l : logs) histogram[std::min(bins - 1, static_cast<size_t>((l - lo) / kBin))] += 1;
  for (size_t i = 0; i < bins; ++i)
    for (int d = -kSmooth; d <= kSmooth; ++d) {
      const auto j = static_cast<ptrdiff_t>(i) + d;
      if (j >= 0 && j < static_cast<ptrdiff_t>(bins))
        smooth[i] += histogram[static_cast<size_t>(j)] * (kSmooth + 1 - std::abs(d));
    }

  const auto needed =
      std::max<int64_t>(kMinMembers, static_cast<int64_t>(std::ceil(kMinShare * static_cast<double>(n))));
  std::vector<double> centres;
  while (static_cast<int>(centres.size()) < maxGears) {
    const auto peak = static_cast<size_t>(std::max_element(smooth.begin(), smooth.end()) - smooth.begin());
    if (smooth[peak] <= 0) break;
    double centre = lo + (static_cast<double>(peak) + 0.5) * kBin;
    // Centred on its members' median, and taken when enough ratios gather there.
    auto [a, b] = Around(logs, centre, kMember);
    if (b > a) {
      centre = Median(logs, a, b);
      std::tie(a, b) = Around(logs, centre, kMember);
    }
    if (static_cast<int64_t>(b - a) >= needed) centres.push_back(centre);
    const auto reach = static_cast<ptrdiff_t>(kSeparate / kBin);
    for (ptrdiff_t j = static_cast<ptrdiff_t>(peak) - reach; j <= static_cast<ptrdiff_t>(peak) + reach; ++j)
      if (j >= 0 && j < static_cast<ptrdiff_t>(bins)) smooth[static_cast<size_t>(j)] = 0;
  }

  std::vector<TLearnedGear> gears;
  for (double centre : centres) {
    // Each ratio belongs to the nearest gear only.
    std::vector<double> members;
    for (double l : logs) {
      if (std::fabs(l - centre) > kMember) continue;
      const bool nearest = std::all_of(centres.begin(), centres.end(),
                                       [&](double other) { return std::fabs(l - other) >= std::fabs(l - centre); });
      if (nearest) members.push_back(l);
    }
    if (members.empty()) continue;
    TLearnedGear g;
    g.Ratio = std::exp(Median(members, 0, members.size()));
    g.Samples = static_cast<int64_t>(members.size());
    g.Share = static_cast<double>(members.size()) / static_cast<double>(n);
    gears.push_back(g);
  }
  std::sort(gears.begin(), gears.end(), [](const TLearnedGear& x, const TLearnedGear& y) { return x.Ratio > y.Ratio; });
  return gears;
}

TGearLearning LearnGears(const TSensorList& sensors, const THistorySet& recording, const TGearLearnSettings& s) {
  TGearLearning out;
  if (!(s.FinalDrive > 0) || !(s.Circumference > 0)) {
    out.Problem = "the final drive ratio and the tyre circumference must be set";
    return out;
  }
  const std::unique_ptr<TSensorTrack> speed = TrackOf(sensors.Speed, recording);
  const std::unique_ptr<TSensorTrack> speedBefore = TrackOf(sensors.Speed, recording);
  const std::unique_ptr<TSensorTrack> revs = TrackOf(sensors.Revs, recording);
  const std::unique_ptr<TSensorTrack> revsBefore = TrackOf(sensors.Revs, recording);
  const std::unique_ptr<TSensorTrack> clutch = TrackOf(sensors.FindDisplay(kClutchId), recording);
  if (!speed || !revs) {
    out.Problem = std::string("the recording has no ") + (!speed ? "Speed" : "Revs") + " samples";
    return out;
  }
  const double k = sensors.Speed->SpeedConstantIn(recording);
  const TTicks window = NearestTicks(s.WindowSeconds);
  const TTicks maxAge = TicksFromMs(s.MaxAgeMs);
  // Revolutions of the engine per revolution of the wheels at 1 km/h, through the final drive.
  const double perKmh = 1000.0 / 60.0 / s.Circumference * s.FinalDrive;
  auto revsAt = [&](TSensorTrack& track, TTicks t, double& rpm) {
    const int32_t j = track.Hold(t);
    if (j < 0 || t - track.HeldTicks() > maxAge) return false;
    rpm = track.HeldValue();
    return true;
  };
  auto pressed = [&](TTicks t) {
    if (!clutch) return false;
    const int32_t j = clutch->Hold(t);
    return j >= 0 && clutch->HeldValue() != 0;
  };

  std::vector<double> ratios;
  // Each speed sample at time t against the samples in force half a window earlier.
  THistoryCursor samples(speed->History(), speed->Count());
  while (samples.Step()) {
    const TTicks t = samples.Ticks();
    if (t < window) continue;
    const double kmh = SpeedRawToKmh(samples.Raw(), k);
    double rpm = 0, rpmBefore = 0;
    if (kmh <= s.MinKmh || !revsAt(*revs, t, rpm) || rpm <= 0) continue;
    const int32_t jb = speedBefore->Hold(t - window);
    if (jb < 0 || !revsAt(*revsBefore, t - window, rpmBefore)) continue;
    const double kmhBefore = SpeedRawToKmh(speedBefore->RawAt(jb), k);
    if (kmhBefore <= s.MinKmh || !Near(kmh, kmhBefore, s.MaxChange, s.MinKmhChange) ||
        !Near(rpm, rpmBefore, s.MaxChange, s.MinRpmChange))
      continue;
    if (pressed(t - window) || pressed(t)) continue;
    ratios.push_back(rpm / (kmh * perKmh));
  }
  out.SteadySamples = static_cast<int64_t>(ratios.size());
  if (out.SteadySamples < MinSteadySamples) {
    char buf[200];
    std::snprintf(buf, sizeof buf,
                  "too little steady driving: %lld steady samples above %g km/h, at least %lld are needed",
                  static_cast<long long>(out.SteadySamples), s.MinKmh, static_cast<long long>(MinSteadySamples));
    out.Problem = buf;
    return out;
  }
  out.Gears = GroupRatios(std::move(ratios), s.MaxGears);
  if (out.Gears.empty()) out.Problem = "the steady driving gathers at no ratio (no gear was held long enough)";
  return out;
}

std::string GearsText(const std::vector<TLearnedGear>& gears, const std::vector<int>& numbers) {
  std::string text = "Gear,Ratio,Samples\n";
  char buf[96];
  for (size_t g = 0; g < gears.size() && g < numbers.size(); ++g) {
    std::snprintf(buf, sizeof buf, "%d,%.3f,%lld\n", numbers[g], gears[g].Ratio, static_cast<long long>(gears[g].Samples));
    text += buf;
  }
  return text;
}

std::vector<int> MatchGears(const std::vector<TLearnedGear>& gears, const double (&current)[5]) {
  const int n = static_cast<int>(std::min<size_t>(gears.size(), 5));
  std::vector<int> best(static_cast<size_t>(n)), pick(static_cast<size_t>(n));
  double bestCost = INFINITY;
  // Every rising choice of n gears out of five, the nearest in logarithms kept.
  auto search = [&](auto&& self, int k, int from, double cost) -> void {
    if (k == n) {
      if (cost < bestCost) {
        bestCost = cost;
        best = pick;
      }
      return;
    }
    for (int g = from; g <= 5 - (n - k); ++g) {
      pick[static_cast<size_t>(k)] = g + 1;
      const double c = current[g] > 0 ? std::fabs(std::log(gears[static_cast<size_t>(k)].Ratio / current[g])) : 0;
      self(self, k + 1, g + 1, cost + c);
    }
  };
  search(search, 0, 0, 0.0);
  return best;
}

std::string LearnedGearsText(const std::vector<TLearnedGear>& gears, const std::vector<int>& numbers) {
  static const char* const kOrdinals[6] = {"", "1st", "2nd", "3rd", "4th", "5th"};
  std::string text;
  char buf[160];
  for (size_t i = 0; i < gears.size() && i < numbers.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%s gear: %.3f (%.0f %% of the steady samples)\n", kOrdinals[numbers[i]],
                  gears[i].Ratio, gears[i].Share * 100);
    text += buf;
  }
  return text;
}
