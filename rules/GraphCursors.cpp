#include "rules/GraphCursors.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "history/History.h"
#include "rules/TraceSummary.h"
#include "vars/Formatters.h"
#include "vars/SensorList.h"

namespace {
constexpr const char* kDelta = "\xCE\x94";  // Δ
constexpr int kBoxGap = 2;

std::string Fixed(double v, const char* format) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, v);
  return buf;
}

// A difference or a mean: also the bit and whole-number units take two decimals, a positive
// difference its sign, and a difference that rounds to zero none.
std::string DerivedText(uint8_t unit, double v, bool sign) {
  const bool plain = unit == UNIT_NONE || unit == UNIT_ONOFF || unit == UNIT_HEX8 || unit == UNIT_HEX16 || unit == UNIT_INTEGER;
  std::string text = plain ? Fixed(v, "%1.2f") : FormatValue(unit, v);
  if (!text.empty() && text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  if (sign && v > 0 && !text.empty() && text.find_first_not_of("0.") != std::string::npos) text.insert(0, "+");
  return text;
}

bool Overlap(const TAxisBox& a, const TAxisBox& b) {
  return a.Shown && b.Shown && a.X < b.X + b.Width + kBoxGap && b.X < a.X + a.Width + kBoxGap;
}
}  // namespace

std::string TCursorReadout::Text() const {
  if (AtCursor.empty()) return {};
  std::string text = AtCursor;
  if (!Unit.empty()) text += " " + Unit;
  if (!AtReference.empty())
    text += std::string("  ") + kDelta + " " + Delta + "  min " + Lowest + "  max " + Highest + "  mean " + Mean;
  return text;
}

TCursorReadout CursorReadout(TDisplayVar& var, TTraceSummary& summary, double cursor, std::optional<double> reference) {
  TCursorReadout r;
  r.Name = var.Name;
  const TCoreContext* core = var.Owner ? var.Owner->Context : nullptr;
  if (core && core->Settings) r.Unit = UnitText(var.Unit, *core->Settings);
  const TVarHist* h = var.History();
  if (!h || h->Count() == 0) return r;
  summary.Extend();
  const int32_t at = std::max(h->IndexAtSeconds(cursor), 0);
  const double v = summary.ValueAt(at);
  r.AtCursor = SensorValueText(var.Unit, v);
  if (!reference) return r;
  const int32_t ref = std::max(h->IndexAtSeconds(*reference), 0);
  const double vr = summary.ValueAt(ref);
  r.AtReference = SensorValueText(var.Unit, vr);
  r.Delta = DerivedText(var.Unit, v - vr, true);
  const TTraceSummary::TStats s = summary.Stats(std::min(at, ref), std::max(at, ref) + 1);
  r.Lowest = SensorValueText(var.Unit, s.Lo);
  r.Highest = SensorValueText(var.Unit, s.Hi);
  r.Mean = DerivedText(var.Unit, s.Mean(), false);
  return r;
}

std::string SensorValueText(uint8_t unit, double v) {
  if (unit == UNIT_NONE) return Fixed(v, "%1.2f");
  return FormatValue(unit, v);
}

std::string HistoryValueText(TDisplayVar& var, TTraceSummary& summary, const TVarHist& history, double t) {
  if (history.Count() == 0) return {};
  summary.Extend();
  return SensorValueText(var.Unit, summary.ValueAt(std::max(history.IndexAtSeconds(t), 0)));
}

std::string CursorAxisText(TGraphAxisUnit unit, double x) {
  return unit == TGraphAxisUnit::Seconds ? CursorTimeText(x) : Fixed(x, "%.1f m");
}

// The toolbar's rule, so the cursor's box and the toolbar say the same (4.01 s, held as
// 4.00999..., reads 4.010).
std::string CursorTimeText(double t) { return PositionText(t); }

std::string CursorDeltaText(double cursor, double reference) {
  return std::string(kDelta) + " " + CursorTimeText(std::abs(cursor - reference));
}

TCursorAxis CursorAxis(const TGraphModel& m, double cursor, std::optional<double> reference, int captionWidth, int padding) {
  TCursorAxis a;
  a.Y = m.Height - m.TextHeight;
  auto inside = [&](double t) { return m.PixelsPerSecond > 0 && m.StartTime <= t && t <= m.EndTime; };
  auto box = [&](std::string text) {
    TAxisBox b;
    b.Shown = true;
    b.Width = m.TextWidth(text) + 2 * padding;
    b.Text = std::move(text);
    return b;
  };
  auto centredOn = [&](TAxisBox b, int x) {
    b.X = std::clamp(x - b.Width / 2, 0, std::max(0, m.Width - b.Width));
    return b;
  };
  if (inside(cursor)) a.Cursor = centredOn(box(CursorAxisText(m.AxisUnit, cursor)), m.TimeToX(cursor));
  if (reference) {
    if (inside(*reference)) a.Reference = centredOn(box(CursorAxisText(m.AxisUnit, *reference)), m.TimeToX(*reference));
    if (Overlap(a.Cursor, a.Reference)) {
      // Apart by half the overlap each, then back inside the surface.
      TAxisBox& l = a.Cursor.X <= a.Reference.X ? a.Cursor : a.Reference;
      TAxisBox& r = &l == &a.Cursor ? a.Reference : a.Cursor;
      const int o = l.X + l.Width + kBoxGap - r.X;
      l.X -= o / 2;
      r.X += o - o / 2;
      if (l.X < 0) {
        r.X -= l.X;
        l.X = 0;
      }
      if (r.X + r.Width > m.Width) {
        l.X = std::max(0, l.X - (r.X + r.Width - m.Width));
        r.X = m.Width - r.Width;
      }
    }
    // The time between: between the two cursors, else beside the boxes.
    auto clampedX = [&](double t) { return m.TimeToX(std::clamp(t, m.StartTime, std::max(m.StartTime, m.EndTime))); };
    const TAxisBox delta = box(CursorDeltaText(cursor, *reference));
    const TAxisBox between = centredOn(delta, (clampedX(cursor) + clampedX(*reference)) / 2);
    std::vector<TAxisBox> candidates = {between};
    const TAxisBox* boxes[] = {&a.Cursor, &a.Reference};
    int right = -1, left = m.Width;
    for (const TAxisBox* b : boxes)
      if (b->Shown) {
        right = std::max(right, b->X + b->Width);
        left = std::min(left, b->X);
      }
    if (right >= 0) {
      TAxisBox after = delta, before = delta;
      after.X = right + kBoxGap;
      before.X = left - kBoxGap - delta.Width;
      candidates.push_back(after);
      candidates.push_back(before);
    }
    a.Delta = between;
    for (const TAxisBox& c : candidates)
      if (c.X >= 0 && c.X + c.Width <= m.Width && !Overlap(c, a.Cursor) && !Overlap(c, a.Reference)) {
        a.Delta = c;
        break;
      }
  }
  TAxisBox caption;
  caption.Shown = true;
  caption.X = (m.Width - captionWidth) / 2;
  caption.Width = captionWidth;
  a.CaptionShown = !Overlap(caption, a.Cursor) && !Overlap(caption, a.Reference) && !Overlap(caption, a.Delta);
  return a;
}

std::string CursorTable(const std::vector<TCursorReadout>& rows, double cursor, std::optional<double> reference) {
  std::string out;
  if (!reference) {
    out = "Sensor\tUnit\tAt cursor\nTime\ts\t" + Fixed(cursor, "%.3f") + "\n";
    for (const TCursorReadout& r : rows)
      if (!r.AtCursor.empty()) out += r.Name + "\t" + r.Unit + "\t" + r.AtCursor + "\n";
    return out;
  }
  out = std::string("Sensor\tUnit\tAt reference\tAt cursor\t") + kDelta + "\tMin\tMax\tMean\n";
  out += "Time\ts\t" + Fixed(*reference, "%.3f") + "\t" + Fixed(cursor, "%.3f") + "\t" +
         Fixed(cursor - *reference, "%.3f") + "\t\t\t\n";
  for (const TCursorReadout& r : rows)
    if (!r.AtCursor.empty())
      out += r.Name + "\t" + r.Unit + "\t" + r.AtReference + "\t" + r.AtCursor + "\t" + r.Delta + "\t" + r.Lowest +
             "\t" + r.Highest + "\t" + r.Mean + "\n";
  return out;
}
