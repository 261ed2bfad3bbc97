#include "rules/ProgramIcon.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr TIconColour kDial{20, 28, 40}, kRim{40, 40, 40}, kTick{235, 235, 235}, kRed{230, 40, 40},
    kNeedle{255, 160, 0}, kHub{200, 200, 200};

// A point at a dial angle (degrees counterclockwise from three o'clock) and distance from the centre.
void OnDial(double cx, double cy, double degrees, double distance, double& x, double& y) {
  const double a = degrees * kPi / 180.0;
  x = cx + std::cos(a) * distance;
  y = cy - std::sin(a) * distance;
}

// Two decimals at most, without trailing zeros ("128", "117.76", "153.6").
std::string Number(double v) {
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
  std::string t = ec == std::errc() ? std::string(buf, end) : "0";
  t.erase(t.find_last_not_of('0') + 1);
  if (t.back() == '.') t.pop_back();
  return t;
}

std::string Hex(TIconColour c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.R & 0xFF, c.G & 0xFF, c.B & 0xFF);
  return buf;
}

std::string Circle(const TIconCircle& c) {
  std::string t = "  <circle cx=\"" + Number(c.X) + "\" cy=\"" + Number(c.Y) + "\" r=\"" + Number(c.Radius) +
                  "\" fill=\"" + Hex(c.Fill) + "\"";
  if (c.StrokeWidth > 0) t += " stroke=\"" + Hex(c.Stroke) + "\" stroke-width=\"" + Number(c.StrokeWidth) + "\"";
  return t + "/>\n";
}

}  // namespace

TProgramIcon ProgramIconShapes(double size) {
  TProgramIcon icon;
  const double c = size / 2, r = size * 0.46;
  icon.Face = {c, c, r, kDial, size * 0.05, kRim};
  for (int i = 0; i <= 9; ++i) {
    TIconStroke tick;
    OnDial(c, c, 225.0 - i * 30.0, r * 0.68, tick.X1, tick.Y1);
    OnDial(c, c, 225.0 - i * 30.0, r * 0.84, tick.X2, tick.Y2);
    tick.Width = size * 0.04;
    tick.Colour = i >= 7 ? kRed : kTick;
    icon.Strokes.push_back(tick);
  }
  TIconStroke needle{c, c, 0, 0, size * 0.06, kNeedle};
  OnDial(c, c, 225.0 - 6.2 * 30.0, r * 0.78, needle.X2, needle.Y2);
  icon.Strokes.push_back(needle);
  icon.Hub = {c, c, size * 0.07, kHub, 0, {}};
  return icon;
}

std::string ProgramIconSvg() {
  const TProgramIcon icon = ProgramIconShapes(256);
  std::string t = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n";
  t += Circle(icon.Face);
  for (const TIconStroke& s : icon.Strokes)
    t += "  <line x1=\"" + Number(s.X1) + "\" y1=\"" + Number(s.Y1) + "\" x2=\"" + Number(s.X2) + "\" y2=\"" +
         Number(s.Y2) + "\" stroke=\"" + Hex(s.Colour) + "\" stroke-width=\"" + Number(s.Width) +
         "\" stroke-linecap=\"round\"/>\n";
  t += Circle(icon.Hub);
  return t + "</svg>\n";
}
