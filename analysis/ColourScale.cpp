#include "analysis/ColourScale.h"

#include <algorithm>
#include <cmath>

#include "base/IniFile.h"
#include "vars/SensorList.h"
#include "vars/Units.h"

namespace {
// Rich, target and lean.
constexpr uint32_t kBelow = 0x2F6FD0, kMiddle = 0x9CD69A, kAbove = 0xE0382E;

uint32_t Mix(uint32_t a, uint32_t b, double f) {
  auto channel = [&](int shift) {
    const double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    return static_cast<uint32_t>(std::lround(ca + (cb - ca) * f)) << shift;
  };
  return 0xFF000000u | channel(16) | channel(8) | channel(0);
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
  return Mix(kMiddle, richSide ? kBelow : kAbove, std::fabs(p));
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
