// The main window's page control: six pages, the laps page hidden, F1..F6 select pages.
#include <gtest/gtest.h>

#include <QTabWidget>
#include <QTest>

#include "app/Fmain.h"

namespace {

TEST(MainWindow, TitleAndPages) {
  TMainForm form;
  EXPECT_EQ(form.windowTitle(), "Revscope");
  QTabWidget* pages = form.Pages();
  ASSERT_EQ(pages->count(), 6);
  const char* captions[] = {"F1 Dash", "F2 Sensors", "F3 Graphs", "F4 Error Codes", "F5 Recordings", "F6 Laps"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(pages->tabText(i), captions[i]);
  EXPECT_FALSE(form.IsPageVisible(TMainForm::tsLaps));
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(form.IsPageVisible(static_cast<TMainForm::Page>(i)));
  EXPECT_EQ(pages->currentIndex(), TMainForm::tsECU);
}

TEST(MainWindow, FunctionKeysSelectPages) {
  TMainForm form;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.activateWindow();
  QTabWidget* pages = form.Pages();
  for (int i : {3, 1, 4, 2, 0}) {
    QTest::keyClick(&form, static_cast<Qt::Key>(Qt::Key_F1 + i));
    EXPECT_EQ(pages->currentIndex(), i) << "F" << i + 1;
  }
  // F6 selects the laps page although its tab stays hidden.
  QTest::keyClick(&form, Qt::Key_F6);
  EXPECT_EQ(pages->currentIndex(), TMainForm::tsLaps);
  EXPECT_TRUE(form.PageWidget(TMainForm::tsLaps)->isVisible());
  EXPECT_FALSE(form.IsPageVisible(TMainForm::tsLaps));
  QTest::keyClick(&form, Qt::Key_F2);
  EXPECT_EQ(pages->currentIndex(), TMainForm::tsSensors);
  EXPECT_FALSE(form.PageWidget(TMainForm::tsLaps)->isVisible());
}

}  // namespace
