// Entry point of the widget suite: one offscreen QApplication for every test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLocale>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QLocale::setDefault(QLocale::c());
  QApplication app(argc, argv);
  QDir().mkpath(QStringLiteral(REVSCOPE_ARTIFACTS));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
