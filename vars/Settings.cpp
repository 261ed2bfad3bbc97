#include "vars/Settings.h"

#include "base/Paths.h"

namespace {
// A wideband meter's usual 0-5 V output for lambda 0.6-1.6.
const double kDefaultLambda[TSettings::LambdaPairs][2] = {
    {0.0, 0.6}, {0.5, 0.7}, {1.0, 0.8}, {1.5, 0.9}, {2.0, 1.0}, {2.5, 1.1},
    {3.0, 1.2}, {3.5, 1.3}, {4.0, 1.4}, {4.5, 1.5}, {5.0, 1.6}, {0.0, 0.0},
};
}  // namespace

TSettings::TSettings() : MachinePath(MachineSettingsPath()) {
  for (int i = 0; i < LambdaPairs; ++i) {
    lambda_[i][0] = kDefaultLambda[i][0];
    lambda_[i][1] = kDefaultLambda[i][1];
  }
}

void TSettings::SetLambdaPair(int i, double volts, double lambda) {
  if (i < 0 || i >= LambdaPairs) return;
  lambda_[i][0] = volts;
  lambda_[i][1] = lambda;
}

double TSettings::LambdaFromVolts(double x) const {
  int i = 0;
  while (i < LambdaPairs && !(LambdaVolts(i) > x)) ++i;
  if (i == LambdaPairs) return LambdaValue(LambdaPairs - 1);
  if (i == 0) return LambdaValue(0);
  double v0 = LambdaVolts(i - 1), v1 = LambdaVolts(i);
  double l0 = LambdaValue(i - 1), l1 = LambdaValue(i);
  return l0 + (l1 - l0) * (1 - (v1 - x) / (v1 - v0));
}
