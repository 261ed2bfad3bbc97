#include "vars/Formatters.h"

#include <cmath>
#include <cstdio>


namespace {
// Truncation toward zero; values outside the integer range (and NaN) give 0.
int TruncInt(double x) {
  if (!(x > -2147483649.0 && x < 2147483648.0)) return 0;
  return static_cast<int>(x);
}

struct THms {
  int h, m, s;
  double rest;  // seconds within the current second
};

THms SplitSeconds(double t) {
  THms r{};
  r.h = TruncInt(t * (1.0 / 3600));
  double left = t - r.h * 3600.0;
  r.m = TruncInt(left * (1.0 / 60));
  left -= r.m * 60.0;
  r.s = TruncInt(left);
  r.rest = left - r.s;
  return r;
}
}  // namespace

std::string FormatMilliseconds(uint32_t ms) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%u:%02u:%02u.%03us", ms / 3600000, (ms % 3600000) / 60000, (ms % 60000) / 1000,
                ms % 1000);
  return buf;
}

std::string FormatWholeSeconds(uint32_t ms) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%u:%02u:%02u", ms / 3600000, (ms % 3600000) / 60000, (ms % 60000) / 1000);
  return buf;
}

std::string FormatSeconds(double t) {
  THms x = SplitSeconds(t);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d:%02d:%02d.%03ds", x.h, x.m, x.s, TruncInt(x.rest * 1000));
  return buf;
}

uint32_t PositionMilliseconds(double t) {
  const double ms = std::round(t * 1000);
  if (!(ms > 0)) return 0;
  if (ms >= 4294967295.0) return 4294967295u;
  return static_cast<uint32_t>(ms);
}

std::string PositionText(double t) { return FormatMilliseconds(PositionMilliseconds(t)); }

std::string FormatAxisTime(double t) {
  THms x = SplitSeconds(t);
  char buf[48];
  if (x.h > 0)
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d", x.h, x.m, x.s);
  else if (x.m > 0)
    std::snprintf(buf, sizeof buf, "%2d:%02d", x.m, x.s);
  else
    std::snprintf(buf, sizeof buf, "%2d", x.s);
  return buf;
}

std::string RecordingLengthText(uint32_t lengthMs) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%01u:%02us", lengthMs / 60000, (lengthMs % 60000) / 1000);
  return buf;
}

std::string RecordingSizeText(int64_t memorySize) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lldk", static_cast<long long>((memorySize - 1024) / 1024 + 1));
  return buf;
}
