// The whole-number field: bases, range clamps and the key-by-key refusal of invalid texts.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>

#include <climits>

#include "GuiSupport.h"
#include "widgets/NumberEdit.h"

TEST(NumberEdit, StartsAsHexZero) {
  TNumberEdit e;
  EXPECT_EQ(e.NumBase(), ebHex);
  EXPECT_EQ(e.Value(), 0);
  EXPECT_EQ(e.text(), "0");
  EXPECT_FALSE(e.Validate());
  EXPECT_TRUE(e.AutoSelect());
}

TEST(NumberEdit, SwitchingTheBaseRerendersTheValue) {
  TNumberEdit e;
  e.SetValue(255);
  EXPECT_EQ(e.text(), "FF");
  e.SetNumBase(ebBin);
  EXPECT_EQ(e.text(), "11111111");
  e.SetNumBase(ebDec);
  EXPECT_EQ(e.text(), "255");
  e.SetNumBase(ebOct);
  EXPECT_EQ(e.text(), "377");
  EXPECT_EQ(e.Value(), 255);
}

TEST(NumberEdit, TextToValueInEachBase) {
  TNumberEdit e;
  EXPECT_EQ(e.BaseStrToInt(""), 0);
  EXPECT_EQ(e.BaseStrToInt("1A"), 26);
  EXPECT_EQ(e.BaseStrToInt("7FFFFFFF"), INT_MAX);
  EXPECT_EQ(e.BaseStrToInt("FFFFFFFFFF"), INT_MAX);  // saturates instead of wrapping
  e.SetNumBase(ebDec);
  EXPECT_EQ(e.BaseStrToInt("0042"), 42);
  EXPECT_EQ(e.BaseStrToInt("99999999999"), INT_MAX);
  e.SetNumBase(ebOct);
  EXPECT_EQ(e.BaseStrToInt("17"), 15);
  e.SetNumBase(ebBin);
  EXPECT_EQ(e.BaseStrToInt("101"), 5);
  EXPECT_EQ(e.IntToBaseStr(0), "0");
  EXPECT_EQ(e.IntToBaseStr(6), "110");
}

TEST(NumberEdit, SyntaxAcceptsOnlyDigitsOfTheBase) {
  TNumberEdit e;
  EXPECT_TRUE(e.SyntaxOk("0123456789ABCDEF"));
  EXPECT_TRUE(e.SyntaxOk(""));
  EXPECT_FALSE(e.SyntaxOk("abc"));  // capitals only
  EXPECT_FALSE(e.SyntaxOk("G"));
  EXPECT_FALSE(e.SyntaxOk("1 2"));
  e.SetNumBase(ebDec);
  EXPECT_FALSE(e.SyntaxOk("12A"));
  e.SetNumBase(ebOct);
  EXPECT_FALSE(e.SyntaxOk("8"));
  EXPECT_TRUE(e.SyntaxOk("777"));
  e.SetNumBase(ebBin);
  EXPECT_FALSE(e.SyntaxOk("102"));
  EXPECT_TRUE(e.IsValidChar('F'));
  EXPECT_FALSE(e.IsValidChar('G'));
  EXPECT_FALSE(e.IsValidChar('f'));
}

TEST(NumberEdit, SyntaxChecksTheRangeWhenValidating) {
  TNumberEdit e;
  e.SetNumBase(ebDec);
  e.SetMaxValue(200);
  e.SetMinValue(10);
  EXPECT_TRUE(e.SyntaxOk("5"));  // validation still off
  e.SetValidate(true);
  EXPECT_FALSE(e.SyntaxOk("5"));
  EXPECT_FALSE(e.SyntaxOk(""));
  EXPECT_TRUE(e.SyntaxOk("10"));
  EXPECT_TRUE(e.SyntaxOk("200"));
  EXPECT_FALSE(e.SyntaxOk("201"));
}

TEST(NumberEdit, TypedLettersAreUpperCasedInHex) {
  TNumberEdit e;
  e.setText("");
  Type(e, "a");
  EXPECT_EQ(e.text(), "A");
  Type(e, "g");
  EXPECT_EQ(e.text(), "A");
  Type(e, "1f");
  EXPECT_EQ(e.text(), "A1F");
}

TEST(NumberEdit, LettersAreRefusedInDecimal) {
  TNumberEdit e;
  e.SetNumBase(ebDec);
  e.setText("");
  Type(e, "A");
  Type(e, "a");
  EXPECT_EQ(e.text(), "");
  Type(e, "7");
  EXPECT_EQ(e.text(), "7");
}

TEST(NumberEdit, TypingReplacesTheSelection) {
  TNumberEdit e;
  e.SetNumBase(ebDec);
  e.setText("12345");
  e.setSelection(1, 3);
  Type(e, "9");
  EXPECT_EQ(e.text(), "195");
}

TEST(NumberEdit, RangeRefusesKeysAndClampsValues) {
  TNumberEdit e;
  e.SetNumBase(ebDec);
  e.SetMaxValue(200);
  e.SetMinValue(10);
  e.SetValidate(true);
  e.setText("");
  Type(e, "5");
  EXPECT_EQ(e.text(), "");  // 5 is below 10
  e.SetValue(500);
  EXPECT_EQ(e.text(), "200");
  e.SetValue(-3);
  EXPECT_EQ(e.text(), "10");
  e.setCursorPosition(2);
  Type(e, "0");
  EXPECT_EQ(e.text(), "100");
  Type(e, "0");
  EXPECT_EQ(e.text(), "100");  // 1000 is above 200
}

TEST(NumberEdit, NegativeValuesBecomeZero) {
  TNumberEdit e;
  e.SetNumBase(ebDec);
  e.SetValue(-3);
  EXPECT_EQ(e.text(), "0");
  EXPECT_EQ(e.CheckValue(-1), 0);
}

TEST(NumberEdit, RangeSettersReclampTheText) {
  TNumberEdit e;
  e.SetNumBase(ebDec);
  e.SetValue(150);
  e.SetMaxValue(100);
  EXPECT_EQ(e.text(), "150");  // not validating yet
  e.SetValidate(true);
  EXPECT_EQ(e.text(), "100");
  e.SetMaxValue(300);
  EXPECT_EQ(e.text(), "100");
  e.SetMinValue(120);
  EXPECT_EQ(e.text(), "120");
  e.SetMaxValue(110);  // a minimum above the maximum: the maximum is applied last
  EXPECT_EQ(e.text(), "110");
  e.SetMinValue(-5);
  EXPECT_EQ(e.MinValue(), 0);
  e.SetMaxValue(-5);
  EXPECT_EQ(e.MaxValue(), 0);
  EXPECT_EQ(e.text(), "0");
}

TEST(NumberEdit, BackspaceAndDeleteAreChecked) {
  TNumberEdit e;
  e.SetNumBase(ebDec);
  e.SetMaxValue(999);
  e.SetMinValue(10);
  e.SetValidate(true);
  e.setText("123");
  e.setCursorPosition(3);
  Key(e, Qt::Key_Backspace);
  EXPECT_EQ(e.text(), "12");
  Key(e, Qt::Key_Backspace);
  EXPECT_EQ(e.text(), "12");  // 1 is below 10
  e.setCursorPosition(0);
  Key(e, Qt::Key_Delete);
  EXPECT_EQ(e.text(), "12");  // 2 is below 10
  e.selectAll();
  Key(e, Qt::Key_Delete);
  EXPECT_EQ(e.text(), "12");  // empty is 0
  e.SetValidate(false);
  e.setText("123");
  e.setSelection(1, 1);
  Key(e, Qt::Key_Delete);
  EXPECT_EQ(e.text(), "13");
  e.setCursorPosition(0);
  Key(e, Qt::Key_Backspace);  // nothing before the caret
  EXPECT_EQ(e.text(), "13");
}

TEST(NumberEdit, CutAndPasteAreChecked) {
  QClipboard* clip = QGuiApplication::clipboard();
  TNumberEdit e;
  e.setText("AB");
  e.selectAll();
  Key(e, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(e.text(), "");
  EXPECT_EQ(clip->text(), "AB");
  clip->setText("1f");
  Key(e, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(e.text(), "");  // lower case is not a digit
  clip->setText("1F");
  Key(e, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(e.text(), "1F");
  clip->clear();
  Key(e, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(e.text(), "1F");
  clip->setText("C");
  e.setCursorPosition(1);
  Key(e, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(e.text(), "1CF");

  e.SetNumBase(ebDec);  // 463
  e.SetMaxValue(500);
  e.SetValidate(true);
  clip->setText("9");
  e.setCursorPosition(3);
  Key(e, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(e.text(), "463");  // 4639 is above 500
  e.setSelection(0, 1);
  Key(e, Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(e.text(), "63");
  EXPECT_EQ(clip->text(), "4");
}

TEST(NumberEdit, CopyIsAllowedAndOtherControlKeysAreNot) {
  QClipboard* clip = QGuiApplication::clipboard();
  TNumberEdit e;
  e.SetNumBase(ebDec);
  e.setText("1234");
  e.selectAll();
  clip->clear();
  Key(e, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(clip->text(), "1234");
  clip->clear();
  Key(e, Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_EQ(clip->text(), "1234");
  e.setCursorPosition(4);
  Type(e, "5");
  EXPECT_EQ(e.text(), "12345");
  Key(e, Qt::Key_Z, Qt::ControlModifier);  // no undo
  EXPECT_EQ(e.text(), "12345");
  Key(e, Qt::Key_Backspace, Qt::ControlModifier);
  EXPECT_EQ(e.text(), "12345");
}

TEST(NumberEdit, EditsThatBypassTheKeysAreCheckedToo) {
  QClipboard* clip = QGuiApplication::clipboard();
  TNumberEdit e;
  e.SetNumBase(ebDec);
  e.setText("12");
  e.setCursorPosition(2);
  clip->setText("x1");
  e.paste();  // the context menu's paste
  EXPECT_EQ(e.text(), "12");
  e.insert("3");
  EXPECT_EQ(e.text(), "123");
  e.insert("-");
  EXPECT_EQ(e.text(), "123");
}

TEST(NumberEdit, LeavingNormalisesTheText) {
  TNumberEdit e;
  e.SetNumBase(ebDec);
  e.setText("007");
  Focus(e, QEvent::FocusOut, Qt::PopupFocusReason);  // a menu opening is not leaving
  EXPECT_EQ(e.text(), "007");
  Focus(e, QEvent::FocusOut, Qt::TabFocusReason);
  EXPECT_EQ(e.text(), "7");
  e.setText("");
  Focus(e, QEvent::FocusOut, Qt::MouseFocusReason);
  EXPECT_EQ(e.text(), "0");
}

TEST(NumberEdit, AutoSelectOnlyWhenNotEnteredByMouse) {
  TNumberEdit e;
  e.SetNumBase(ebDec);
  e.setText("123");
  Focus(e, QEvent::FocusIn, Qt::TabFocusReason);
  EXPECT_EQ(e.selectedText(), "123");
  e.deselect();
  Focus(e, QEvent::FocusIn, Qt::OtherFocusReason);
  EXPECT_EQ(e.selectedText(), "123");
  e.deselect();
  Focus(e, QEvent::FocusIn, Qt::MouseFocusReason);
  EXPECT_EQ(e.selectedText(), "");
  e.SetAutoSelect(false);
  Focus(e, QEvent::FocusIn, Qt::TabFocusReason);
  EXPECT_EQ(e.selectedText(), "");
}

TEST(NumberEdit, ReturnIsLeftToTheDialog) {
  TNumberEdit e;
  int returns = 0;
  QObject::connect(&e, &QLineEdit::returnPressed, [&] { ++returns; });
  QKeyEvent ev(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
  QCoreApplication::sendEvent(&e, &ev);
  EXPECT_EQ(returns, 1);
  EXPECT_FALSE(ev.isAccepted());
  EXPECT_EQ(e.text(), "0");
}

TEST(NumberEdit, ReadOnlyFieldIgnoresTyping) {
  TNumberEdit e;
  e.SetNumBase(ebDec);
  e.setReadOnly(true);
  Type(e, "5");
  EXPECT_EQ(e.text(), "0");
}
