#include "rules/LambdaLogic.h"

#include <cstdio>

#include "base/IniFile.h"
#include "vars/Conversions.h"
#include "vars/Settings.h"

namespace {
const char* const kPresetNames[LambdaPresetCount] = {"Custom", "MoTeC PLM", "Horiba Lambda Checker LD-01"};

const double kMotec[2][2] = {{0.0, 0.5}, {4.5, 1.5}};
const double kHoriba[11][2] = {{0.0, 0.6}, {0.5, 0.7}, {1.0, 0.8}, {1.5, 0.9}, {2.0, 1.0}, {2.5, 1.1},
                               {3.0, 1.2}, {3.5, 1.3}, {4.0, 1.4}, {4.5, 1.5}, {5.0, 1.6}};

std::string Fixed2(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%0.2f", v);
  // The decimal point is always '.', whatever the locale says.
  for (char& c : buf)
    if (c == ',') c = '.';
  return buf;
}
}  // namespace

const char* LambdaPresetName(int index) { return index >= 0 && index < LambdaPresetCount ? kPresetNames[index] : ""; }

void ApplyLambdaPreset(TSettings& s, int index) {
  if (index == lpMotec) {
    for (int i = 0; i < TSettings::LambdaPairs; ++i)
      s.SetLambdaPair(i, i < 2 ? kMotec[i][0] : 0.0, i < 2 ? kMotec[i][1] : 0.0);
    s.QuickSelect = lpMotec;
  } else if (index == lpHoriba) {
    for (int i = 0; i < TSettings::LambdaPairs; ++i)
      s.SetLambdaPair(i, i < 11 ? kHoriba[i][0] : 0.0, i < 11 ? kHoriba[i][1] : 0.0);
    s.QuickSelect = lpHoriba;
  }
}

std::string LambdaCellText(const TSettings& s, int pair, int column) {
  if (pair < 0 || pair >= TSettings::LambdaPairs) return {};
  if (column == 0) return Fixed2(s.LambdaVolts(pair));
  const double l = s.LambdaValue(pair);
  return Fixed2(s.LambdaUnit != 0 ? LambdaToAfr(l) : l);
}

double LambdaCellNumber(const std::string& text) {
  std::string t = text;
  if (!t.empty() && t[0] == '+') t.erase(0, 1);
  if (t.empty() || t == ".") return 0.0;
  double v = 0;
  return ParseDouble(t, v) ? v : 0.0;
}

void EditLambdaCell(TSettings& s, int pair, int column, const std::string& text) {
  if (pair < 0 || pair >= TSettings::LambdaPairs) return;
  const double v = LambdaCellNumber(text);
  if (column == 0)
    s.SetLambdaPair(pair, v, s.LambdaValue(pair));
  else
    s.SetLambdaPair(pair, s.LambdaVolts(pair), s.LambdaUnit != 0 ? AfrToLambda(v) : v);
  s.QuickSelect = lpCustom;
}

bool LambdaKeyAccepted(char32_t ch) {
  return (ch >= U'0' && ch <= U'9') || ch == U'.' || ch == U'+' || ch == 13 || ch == 27;
}

std::optional<TLambdaTableProblem> CheckLambdaTable(const TSettings& s) {
  int last = TSettings::LambdaPairs - 1;
  while (last > 0 && s.LambdaVolts(last) == 0 && s.LambdaValue(last) == 0) --last;
  for (int i = 1; i <= last; ++i) {
    if (s.LambdaVolts(i) > s.LambdaVolts(i - 1)) continue;
    TLambdaTableProblem p;
    p.Pair = i;
    p.Message = "Row " + std::to_string(i + 1) + " (" + Fixed2(s.LambdaVolts(i)) + " V) must have a higher voltage than row " +
                std::to_string(i) + " (" + Fixed2(s.LambdaVolts(i - 1)) +
                " V).\n\nThe voltages must rise from row to row; set the rows you do not use to 0 at the end of "
                "the table. Correct the table or choose a preset.";
    return p;
  }
  return std::nullopt;
}
