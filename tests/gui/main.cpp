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
  // Journals of the runs the tests record go to a folder of the suite's own, never the user's.
  const QString state = QDir::tempPath() + "/revscope-gui-state-" + QString::number(QCoreApplication::applicationPid());
  qputenv("XDG_STATE_HOME", state.toLocal8Bit());
  struct TRemove {
    QString path;
    ~TRemove() { QDir(path).removeRecursively(); }
  } remove{state};
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
