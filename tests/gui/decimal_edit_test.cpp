// The decimal field: validity rules, key-by-key refusal, reading and writing the value.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>

#include "GuiSupport.h"
#include "widgets/DecimalEdit.h"

namespace {

struct Decimal : ::testing::Test {
  TDecimalEdit e;
  void SetUp() override {
    e.SetDecimalPlaces(4);
    e.SetMaxValue(10);
  }
};

}  // namespace

TEST(DecimalEditDefaults, AcceptOnlyZero) {
  TDecimalEdit e;
  EXPECT_EQ(e.text(), "0");
  EXPECT_EQ(e.Value(), 0.0);
  EXPECT_EQ(e.DecimalPlaces(), 2);
  EXPECT_TRUE(e.IsValidFloat("0"));
  EXPECT_TRUE(e.IsValidFloat("0.00"));
  EXPECT_FALSE(e.IsValidFloat("1"));
  EXPECT_FALSE(e.IsValidFloat("-1"));
}

TEST_F(Decimal, ValidityRules) {
  EXPECT_TRUE(e.IsValidFloat("3.1416"));
  EXPECT_FALSE(e.IsValidFloat("3.14159"));  // five decimals
  EXPECT_FALSE(e.IsValidFloat("10.5"));     // above the maximum
  EXPECT_TRUE(e.IsValidFloat("10"));
  EXPECT_FALSE(e.IsValidFloat("-1"));  // below the minimum 0
  EXPECT_TRUE(e.IsValidFloat(""));
  EXPECT_FALSE(e.IsValidFloat("1-"));
  EXPECT_FALSE(e.IsValidFloat("1.2.3"));
  EXPECT_FALSE(e.IsValidFloat("+1"));
  EXPECT_FALSE(e.IsValidFloat("1e1"));
  EXPECT_FALSE(e.IsValidFloat(" 1"));
}

TEST_F(Decimal, LoneMinusNeedsAMinimumNotAboveZero) {
  EXPECT_TRUE(e.IsValidFloat("-"));  // reads as -0, and 0 <= -0
  e.SetMinValue(1);
  EXPECT_FALSE(e.IsValidFloat("-"));
  e.SetMinValue(-5);
  EXPECT_TRUE(e.IsValidFloat("-"));
  EXPECT_TRUE(e.IsValidFloat("-4.5"));
  EXPECT_FALSE(e.IsValidFloat("-5.01"));
}

TEST_F(Decimal, TextWithoutDigitsReadsAsZero) {
  EXPECT_TRUE(e.IsValidFloat("."));
  EXPECT_TRUE(e.IsValidFloat(".5"));
  e.setText(".");
  EXPECT_EQ(e.Value(), 0.0);
  e.SetMinValue(2);
  EXPECT_FALSE(e.IsValidFloat("."));
}

TEST(DecimalEditPlaces, NoDecimalsAllowATrailingPoint) {
  TDecimalEdit e;
  e.SetDecimalPlaces(0);
  e.SetMaxValue(100);
  EXPECT_TRUE(e.IsValidFloat("12."));
  EXPECT_FALSE(e.IsValidFloat("12.5"));
  e.setText("");
  Type(e, "12.5");
  EXPECT_EQ(e.text(), "12.");
}

TEST_F(Decimal, TypingBuildsOnlyValidTexts) {
  e.setText("");
  Type(e, "3.14159");
  EXPECT_EQ(e.text(), "3.1415");
  e.setText("");
  Type(e, "12");
  EXPECT_EQ(e.text(), "1");  // 12 is above 10
  Type(e, "-");
  EXPECT_EQ(e.text(), "1");
  e.setText("");
  Type(e, "-");
  EXPECT_EQ(e.text(), "-");
  Type(e, "1");
  EXPECT_EQ(e.text(), "-");  // -1 is below 0
  e.setText("5");
  e.selectAll();
  Type(e, "7");
  EXPECT_EQ(e.text(), "7");
}

TEST_F(Decimal, ControlCharactersAreRefused) {
  QClipboard* clip = QGuiApplication::clipboard();
  clip->setText("5");
  e.setText("");
  Key(e, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(e.text(), "");
  e.setText("2.5");
  e.selectAll();
  Key(e, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(e.text(), "2.5");
  Key(e, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(clip->text(), "5");  // Ctrl+C is a refused character here
  Key(e, Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_EQ(clip->text(), "2.5");  // Ctrl+Insert copies
}

TEST_F(Decimal, ShiftInsertPastesOnlyValidText) {
  QClipboard* clip = QGuiApplication::clipboard();
  e.setText("");
  clip->setText("abc");
  Key(e, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(e.text(), "");
  clip->setText("7.25");
  Key(e, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(e.text(), "7.25");
  clip->clear();
  Key(e, Qt::Key_Insert, Qt::ShiftModifier);  // nothing to paste: left to the edit
  EXPECT_EQ(e.text(), "7.25");
}

TEST_F(Decimal, BackspaceDeleteAndCutAreChecked) {
  QClipboard* clip = QGuiApplication::clipboard();
  e.SetMinValue(5);
  e.SetMaxValue(100);
  e.setText("10");
  e.setCursorPosition(2);
  Key(e, Qt::Key_Backspace);
  EXPECT_EQ(e.text(), "10");  // 1 is below 5
  e.setCursorPosition(0);
  Key(e, Qt::Key_Delete);
  EXPECT_EQ(e.text(), "10");  // 0 is below 5
  e.setSelection(1, 1);
  Key(e, Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(e.text(), "10");
  e.SetMinValue(0);
  clip->clear();
  e.setSelection(1, 1);
  Key(e, Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(e.text(), "1");
  EXPECT_EQ(clip->text(), "0");
  e.setCursorPosition(1);
  Key(e, Qt::Key_Backspace);
  EXPECT_EQ(e.text(), "");
}

TEST_F(Decimal, EditsThatBypassTheKeysAreCheckedToo) {
  e.setText("5");
  e.setCursorPosition(1);
  e.insert("5");  // 55 is above 10
  EXPECT_EQ(e.text(), "5");
  e.insert(".5");
  EXPECT_EQ(e.text(), "5.5");
}

TEST_F(Decimal, ValueReadsTheText) {
  e.SetMinValue(-10);
  e.setText("-");
  EXPECT_EQ(e.Value(), 0.0);
  EXPECT_EQ(e.text(), "-0");
  e.setText("");
  EXPECT_EQ(e.Value(), 0.0);
  e.setText("2.5");
  EXPECT_EQ(e.Value(), 2.5);
  e.setText("-3.75");
  EXPECT_EQ(e.Value(), -3.75);
  e.setText("12.");
  EXPECT_EQ(e.Value(), 12.0);
}

TEST_F(Decimal, SetValueWritesTheShortestText) {
  e.SetValue(3.25);
  EXPECT_EQ(e.text(), "3.25");
  e.SetValue(0.1 + 0.2);
  EXPECT_EQ(e.text(), "0.3");
  e.SetValue(-2);
  EXPECT_EQ(e.text(), "-2");
  e.SetValue(1e-7);
  EXPECT_EQ(e.text(), "0.0000001");
  e.SetValue(0);
  EXPECT_EQ(e.text(), "0");
  e.SetValue(-0.0);
  EXPECT_EQ(e.text(), "0");
  e.SetValue(1234567.5);
  EXPECT_EQ(e.text(), "1234567.5");
  e.SetValue(1e20);
  EXPECT_EQ(e.text(), "100000000000000000000");
}
