#include "analysis/ColourScale.h"

#include <algorithm>
#include <cmath>

#include "base/IniFile.h"
#include "vars/SensorList.h"
#include "vars/Units.h"

namespace {
// The hues of the scale: rich blue, target green, lean red; the colours between go round the hue
// circle (through cyan on the rich side, yellow and orange on the lean side), never through grey.
constexpr double kRichHue = 215, kTargetHue = 120, kLeanHue = 0;
constexpr double kSaturation = 0.62, kValue = 0.9;

// Hue in degrees, saturation and value 0 .. 1: channel n is v - v s max(0, min(k, 4 - k, 1)) with
// k = (n + hue / 60) mod 6; red is n = 5, green 3, blue 1.
uint32_t FromHsv(double hue, double saturation, double value) {
  auto channel = [&](double n) {
    const double k = std::fmod(n + hue / 60, 6);
    const double v = value - value * saturation * std::clamp(std::min(k, 4 - k), 0.0, 1.0);
    return static_cast<uint32_t>(std::lround(v * 255));
  };
  return 0xFF000000u | channel(5) << 16 | channel(3) << 8 | channel(1);
}

constexpr uint32_t kO2A = 1000, kO2B = 1001;
}  // namespace

double TColourScale::Position(double value) const {
  if (!std::isfinite(value) || !(Span > 0)) return 0;
  return std::clamp((value - Target) / Span, -1.0, 1.0);
}

uint32_t TColourScale::ColourOf(double value) const {
  const double p = Position(value);
  // Below the target is rich where higher is lean.
  const bool richSide = (p < 0) == HigherIsLean;
  return FromHsv(kTargetHue + ((richSide ? kRichHue : kLeanHue) - kTargetHue) * std::fabs(p), kSaturation, kValue);
}

TColourScale DefaultColourScale(const TDisplayVar& z) {
  TColourScale s;
  switch (z.Unit) {
    case UNIT_LAMBDA: s.Target = 1.0; break;
    case UNIT_AFR: s.Target = 14.7; break;
    default:
      if (z.Id == kO2A || z.Id == kO2B) {
        s.Target = 0.45;
        s.Span = 0.4;
        s.HigherIsLean = false;
        return s;
      }
      s.Mixture = false;
      s.Target = (z.RangeMin + z.RangeMax) / 2;
      s.Span = (z.RangeMax - z.RangeMin) / 2;
      if (!(s.Span > 0)) s.Span = 1;
      return s;
  }
  s.Span = s.Target * 0.15;
  return s;
}

TColourScale ColourScaleFor(const TDisplayVar& z, const std::string& target, const std::string& span) {
  TColourScale s = DefaultColourScale(z);
  double v = 0;
  if (ParseDouble(target, v) && std::isfinite(v)) s.Target = v;
  if (ParseDouble(span, v) && std::isfinite(v) && v > 0) s.Span = v;
  return s;
}

uint32_t TextColourOn(uint32_t background) {
  const double r = (background >> 16) & 0xFF, g = (background >> 8) & 0xFF, b = background & 0xFF;
  return 0.299 * r + 0.587 * g + 0.114 * b < 140 ? 0xFFFFFFFFu : 0xFF000000u;
}
