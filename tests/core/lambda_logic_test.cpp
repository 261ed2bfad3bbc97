// The lambda conversion dialog's rules: presets, cell texts and edits, the key filter and the
// check that the table rises.
#include <gtest/gtest.h>

#include "rules/LambdaLogic.h"
#include "vars/Settings.h"

namespace {

TEST(LambdaLogic, PresetsFillTheTableAndCustomLeavesIt) {
  TSettings s;
  ApplyLambdaPreset(s, lpMotec);
  EXPECT_EQ(s.QuickSelect, 1);
  EXPECT_EQ(s.LambdaVolts(1), 4.5);
  EXPECT_EQ(s.LambdaValue(1), 1.5);
  for (int i = 2; i < 12; ++i) EXPECT_EQ(s.LambdaVolts(i) + s.LambdaValue(i), 0.0) << i;
  EXPECT_NEAR(s.LambdaFromVolts(2.0), 0.9444444, 1e-6);
  EXPECT_EQ(s.LambdaFromVolts(4.6), 0.0);
  s.SetLambdaPair(5, 2.2, 0.77);
  ApplyLambdaPreset(s, lpCustom);
  EXPECT_EQ(s.LambdaVolts(5), 2.2);
  EXPECT_EQ(s.QuickSelect, 1);
  ApplyLambdaPreset(s, lpHoriba);
  EXPECT_EQ(s.QuickSelect, 2);
  EXPECT_EQ(s.LambdaVolts(10), 5.0);
  EXPECT_EQ(s.LambdaValue(10), 1.6);
  EXPECT_EQ(s.LambdaVolts(11) + s.LambdaValue(11), 0.0);
  EXPECT_DOUBLE_EQ(s.LambdaFromVolts(2.25), 1.05);
  EXPECT_STREQ(LambdaPresetName(2), "Horiba Lambda Checker LD-01");
}

TEST(LambdaLogic, CellsShowTwoDecimalsInLambdaOrAirFuel) {
  TSettings s;
  EXPECT_EQ(LambdaCellText(s, 3, 0), "1.50");
  EXPECT_EQ(LambdaCellText(s, 3, 1), "0.90");
  s.LambdaUnit = 1;
  EXPECT_EQ(LambdaCellText(s, 4, 1), "14.70");
  EXPECT_EQ(LambdaCellText(s, 11, 1), "0.00");
}

TEST(LambdaLogic, EditingACellStoresItAndSwitchesToCustom) {
  struct Case {
    int unit, column;
    const char* text;
    double volts, lambda;
  };
  // Pair 2 starts at 1.0 V -> 0.8.
  const Case cases[] = {
      {0, 0, "1.25", 1.25, 0.8}, {0, 1, "0.85", 1.0, 0.85}, {0, 1, "", 1.0, 0.0},   {0, 0, "+2", 2.0, 0.8},
      {0, 0, ".", 0.0, 0.8},     {0, 0, "1..2", 0.0, 0.8},  {1, 1, "14.7", 1.0, 1.0}, {1, 0, "14.7", 14.7, 0.8},
  };
  for (const Case& c : cases) {
    TSettings s;
    s.LambdaUnit = static_cast<int8_t>(c.unit);
    EditLambdaCell(s, 2, c.column, c.text);
    EXPECT_NEAR(s.LambdaVolts(2), c.volts, 1e-12) << c.text;
    EXPECT_NEAR(s.LambdaValue(2), c.lambda, 1e-12) << c.text;
    EXPECT_EQ(s.QuickSelect, lpCustom) << c.text;
  }
  // Even a value equal to the preset's makes it Custom.
  TSettings s;
  EditLambdaCell(s, 0, 0, "0.00");
  EXPECT_EQ(s.QuickSelect, lpCustom);
  EXPECT_EQ(s.LambdaVolts(0), 0.0);
}

TEST(LambdaLogic, TheGridTakesDigitsPointPlusEnterAndEscOnly) {
  for (char32_t ch : {U'0', U'5', U'9', U'.', U'+', char32_t(13), char32_t(27)}) EXPECT_TRUE(LambdaKeyAccepted(ch));
  for (char32_t ch : {U'-', char32_t(8), U'a', U'e', U',', U' ', U'\u00B0'}) EXPECT_FALSE(LambdaKeyAccepted(ch));
}

TEST(LambdaLogic, ATableThatDoesNotRiseIsFoundAtItsFirstBadRow) {
  TSettings s;
  EXPECT_FALSE(CheckLambdaTable(s).has_value());  // spare (0, 0) rows at the end are fine
  ApplyLambdaPreset(s, lpMotec);
  EXPECT_FALSE(CheckLambdaTable(s).has_value());
  ApplyLambdaPreset(s, lpHoriba);
  s.SetLambdaPair(4, 1.5, 1.0);  // equal to row 4's voltage
  auto p = CheckLambdaTable(s);
  ASSERT_TRUE(p.has_value());
  EXPECT_EQ(p->Pair, 4);
  EXPECT_NE(p->Message.find("Row 5 (1.50 V) must have a higher voltage than row 4 (1.50 V)"), std::string::npos)
      << p->Message;
  // A spare row in the middle of used rows.
  ApplyLambdaPreset(s, lpHoriba);
  s.SetLambdaPair(6, 0, 0);
  p = CheckLambdaTable(s);
  ASSERT_TRUE(p.has_value());
  EXPECT_EQ(p->Pair, 6);
  // A table with only its first row.
  for (int i = 1; i < 12; ++i) s.SetLambdaPair(i, 0, 0);
  EXPECT_FALSE(CheckLambdaTable(s).has_value());
}

}  // namespace
