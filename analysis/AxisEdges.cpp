#include "analysis/AxisEdges.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "analysis/TextFields.h"
#include "base/IniFile.h"
#include "rules/TableLayout.h"
#include "vars/SensorList.h"
#include "vars/Units.h"

namespace {

void Fail(std::string* error, const std::string& text) {
  if (error) *error = text;
}

bool Number(const std::string& text, double& v, std::string* error) {
  if (!ParseDouble(text, v) || !std::isfinite(v)) {
    Fail(error, "'" + text + "' is not a number");
    return false;
  }
  return true;
}

// A plain decimal ("-12.50"): its digits as an integer and the number of them after the point.
// False for anything else (an exponent, too many digits).
bool PlainDecimal(const std::string& text, int64_t& mantissa, int& decimals) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t m = 0;
  int digits = 0, after = -1;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && after < 0) {
      after = 0;
      continue;
    }
    if (c < '0' || c > '9') return false;
    if (++digits > 15) return false;
    m = m * 10 + (c - '0');
    if (after >= 0) ++after;
  }
  if (digits == 0) return false;
  mantissa = negative ? -m : m;
  decimals = std::max(after, 0);
  return true;
}

int64_t Pow10(int n) {
  int64_t p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

// START:END:STEP from the decimals as written: every edge is one exact integer divided once.
bool ExactRange(const std::string* parts, std::vector<double>& edges, bool& usable, std::string* error) {
  int64_t m[3];
  int d[3];
  usable = false;
  for (int i = 0; i < 3; ++i)
    if (!PlainDecimal(parts[i], m[i], d[i])) return true;
  const int decimals = std::max({d[0], d[1], d[2]});
  int64_t scaled[3];
  for (int i = 0; i < 3; ++i) {
    const int64_t f = Pow10(decimals - d[i]);
    if (decimals > 15 || std::llabs(m[i]) > INT64_C(4000000000000000) / f) return true;
    scaled[i] = m[i] * f;
  }
  usable = true;
  const auto [start, end, step] = scaled;
  if (step == 0) return Fail(error, "the step is zero"), false;
  if (step < 0) return Fail(error, "the step " + parts[2] + " is negative: edges must rise"), false;
  if (end < start) return Fail(error, "the end " + parts[1] + " is below the start " + parts[0]), false;
  const int64_t cells = (end - start) / step;
  if (cells < 1)
    return Fail(error, "one step of " + parts[2] + " from " + parts[0] + " passes the end " + parts[1]), false;
  if (cells > MaxAxisCells)
    return Fail(error, std::to_string(cells) + " cells are too many (at most " + std::to_string(MaxAxisCells) + ")"),
           false;
  const double unit = static_cast<double>(Pow10(decimals));
  for (int64_t k = 0; k <= cells; ++k) edges.push_back(static_cast<double>(start + k * step) / unit);
  return true;
}

bool Range(const std::string* parts, std::vector<double>& edges, std::string* error) {
  bool usable = false;
  if (!ExactRange(parts, edges, usable, error)) return false;
  if (usable) return true;
  // Numbers with an exponent: start + k x step in floating point.
  double v[3];
  for (int i = 0; i < 3; ++i)
    if (!Number(parts[i], v[i], error)) return false;
  if (v[2] == 0) return Fail(error, "the step is zero"), false;
  if (v[2] < 0) return Fail(error, "the step " + parts[2] + " is negative: edges must rise"), false;
  if (v[1] < v[0]) return Fail(error, "the end " + parts[1] + " is below the start " + parts[0]), false;
  const double cells = std::floor((v[1] - v[0]) / v[2] + 1e-9);
  if (cells < 1)
    return Fail(error, "one step of " + parts[2] + " from " + parts[0] + " passes the end " + parts[1]), false;
  if (cells > MaxAxisCells) return Fail(error, "too many cells (at most " + std::to_string(MaxAxisCells) + ")"), false;
  for (int k = 0; k <= static_cast<int>(cells); ++k) edges.push_back(v[0] + k * v[2]);
  for (size_t k = 1; k < edges.size(); ++k)
    if (!(edges[k] > edges[k - 1])) return Fail(error, "the step " + parts[2] + " is too small for these edges"), false;
  return true;
}

bool List(const std::vector<std::string>& parts, std::vector<double>& edges, std::string* error) {
  for (const std::string& p : parts) {
    double v = 0;
    if (!Number(p, v, error)) return false;
    if (!edges.empty() && !(v > edges.back()))
      return Fail(error, "the edges do not rise: " + p + " follows " + FormatEdge(edges.back())), false;
    edges.push_back(v);
  }
  if (edges.size() < 2) return Fail(error, "at least two edges are needed"), false;
  if (static_cast<int>(edges.size()) - 1 > MaxAxisCells)
    return Fail(error, "too many cells (at most " + std::to_string(MaxAxisCells) + ")"), false;
  return true;
}

// The value with `decimals` decimals, trailing zeros dropped unless kept.
std::string Short(double value, int decimals, bool dropZeros = true) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
  std::string s = buf;
  if (dropZeros && s.find('.') != std::string::npos) {
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') s.pop_back();
  }
  return s == "-0" ? "0" : s;
}

}  // namespace

bool ParseAxisEdges(const std::string& text, TAxisEdges& out, std::string* error) {
  const std::string t = TrimSpaces(text);
  if (t.empty()) return Fail(error, "no edges given"), false;
  std::vector<double> edges;
  bool ok;
  if (t.find(':') != std::string::npos) {
    const std::vector<std::string> parts = SplitFields(t, ':');
    if (parts.size() != 3) return Fail(error, "'" + t + "' is not START:END:STEP"), false;
    ok = Range(parts.data(), edges, error);
  } else {
    ok = List(SplitFields(t, ','), edges, error);
  }
  if (ok) out = TAxisEdges(std::move(edges));
  return ok;
}

std::string FormatEdge(double value) {
  if (value == 0) return "0";
  char buf[400];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  return std::string(buf, res.ptr);
}

std::string EdgesListText(const TAxisEdges& edges) {
  std::string text;
  for (double e : edges.Values()) text += (text.empty() ? "" : ",") + FormatEdge(e);
  return text;
}

std::vector<std::string> EdgeLabels(const TAxisEdges& edges) {
  std::vector<std::string> labels;
  size_t decimals = 0;
  for (double e : edges.Values()) {
    labels.push_back(FormatEdge(e));
    const size_t point = labels.back().find('.');
    if (point != std::string::npos) decimals = std::max(decimals, labels.back().size() - point - 1);
  }
  if (decimals == 0 || decimals > 6) return labels;
  for (size_t i = 0; i < labels.size(); ++i) labels[i] = Short(edges.Values()[i], static_cast<int>(decimals), false);
  return labels;
}

std::string DefaultEdgesText(TDisplayVar& var) {
  const uint8_t unit = var.Unit;
  if (unit == UNIT_RPM) return "500:8000:500";
  if (unit == UNIT_ONOFF) return "0:2:1";
  const bool pressure = unit == UNIT_BAR || unit == UNIT_MBAR;
  // Pressures: from 0 to what the sensor reads at the top of its byte, in ten steps.
  const double lo = pressure ? 0 : var.RangeMin;
  double hi = pressure ? std::max(var.Convert(unit, 0), var.Convert(unit, 255)) : var.RangeMax;
  if (!(hi > lo)) hi = lo + 1;
  double step = RoundStep(hi - lo, 10);
  const bool whole = unit == UNIT_INTEGER || unit == UNIT_HEX8 || unit == UNIT_HEX16;
  if (whole) step = std::max(1.0, std::round(step));
  const double first = std::floor(lo / step + 1e-9) * step;
  const double last = pressure ? 10 * step : std::ceil(hi / step - 1e-9) * step;
  return Short(first, 6) + ":" + Short(last, 6) + ":" + Short(step, 6);
}
