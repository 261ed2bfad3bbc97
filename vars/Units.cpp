#include "vars/Units.h"

#include <cstdio>

#include "vars/Settings.h"

namespace {
std::string UnitTextWithDegree(uint8_t unit, const TSettings& settings, const char* degree) {
  switch (unit) {
    case 0: return "";
    case 1: return "V";
    case 2: return std::string(degree) + (settings.TemperatureUnit != 0 ? "C" : "F");
    case 3: return "%";
    case 4: return "rpm";
    case 5: return degree;
    case 6: return settings.SpeedUnit != 0 ? "kph" : "mph";
    case 7: return "ms";
    case 8: return "bar";
    case 9: return "mbar";
    case 10: return "\"";
    case 11: return "";
    case 12: return "%";
    case 13: return "";
    case 14: return "";
    case 15: return "";
    case 16: return "";
    case 17: return "rpm";
    case 18: return "g";
    case 19: return "m";
    case 20: return "ft";
    case 21: return "L";
    case 22: return "A/F";
    default: return "?";
  }
}

std::string Printf(const char* fmt, double v) {
  char buf[400];
  std::snprintf(buf, sizeof buf, fmt, v);
  return buf;
}
std::string PrintfLong(const char* fmt, long v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, v);
  return buf;
}
// Truncation toward zero into a 32-bit integer: a value shown never rounds up.
long TruncLong(double v) {
  if (!(v > -2147483649.0 && v < 2147483648.0)) return 0;
  return static_cast<long>(static_cast<int32_t>(v));
}
}  // namespace

std::string UnitText(uint8_t unit, const TSettings& settings) { return UnitTextWithDegree(unit, settings, "\xC2\xB0"); }
std::string UnitText8Bit(uint8_t unit, const TSettings& settings) {
  return UnitTextWithDegree(unit, settings, "\xB0");
}

std::string FormatValue(uint8_t unit, double value) {
  switch (unit) {
    case 0: return "";
    case 1:
    case 2:
    case 5:
    case 7:
    case 8:
    case 10:
    case 18: return Printf("%1.3f", value);
    case 3: return Printf("%1.2f", value);
    case 4:
    case 6:
    case 9:
    case 11:
    case 17:
    case 19:
    case 20: return Printf("%1.0f", value);
    case 12: return Printf("%1.1f", value);
    case 13: return value == 1.0 ? "on" : "off";
    case 14: return PrintfLong("0x%02lX", TruncLong(value) & 0xFFFF);
    case 15: return PrintfLong("0x%04lX", TruncLong(value) & 0xFFFF);
    case 16: return PrintfLong("%ld", TruncLong(value));
    case 21: return Printf("%01.02f", value);
    case 22: return Printf("%01.01f", value);
    default: return "";
  }
}
