// The main window's page control: seven pages, the laps page hidden, F1..F7 select pages.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include "windows/MainForm.h"
#include "program/Program.h"
#include "windows/QtMessageTarget.h"
#include "ecu/PollThreadRS.h"
#include "recording/PlayThread.h"
#include "ecu/ComPort.h"

namespace {

// A program without threads whose settings live in a scratch folder.
class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "revscope-mainwindow-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    program_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  TProgram& Program(bool threads = false) {
    TProgramOptions options;
    options.StartThreads = threads;
    options.IniPath = dir_ + "/Revscope.ini";
    options.MachinePath = dir_ + "/Settings.ini";
    program_ = std::make_unique<TProgram>(std::vector<std::string>{}, options);
    return *program_;
  }
  std::string dir_;
  std::unique_ptr<TProgram> program_;
};

TEST_F(MainWindow, TitleAndPages) {
  TMainForm form(Program());
  EXPECT_EQ(form.windowTitle(), "Revscope");
  QTabWidget* pages = form.Pages();
  ASSERT_EQ(pages->count(), 7);
  const char* captions[] = {"F1 Dash", "F2 Sensors", "F3 Graphs", "F4 Error Codes", "F5 Recordings", "F6 Laps", "F7 Tables"};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(pages->tabText(i), captions[i]);
  EXPECT_FALSE(form.IsPageVisible(TMainForm::tsLaps));
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(form.IsPageVisible(static_cast<TMainForm::Page>(i)));
  EXPECT_TRUE(form.IsPageVisible(TMainForm::tsTables));
  EXPECT_EQ(pages->currentIndex(), TMainForm::tsECU);
}

TEST_F(MainWindow, FunctionKeysSelectPages) {
  TMainForm form(Program());
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.activateWindow();
  QTabWidget* pages = form.Pages();
  for (int i : {3, 1, 4, 2, 0}) {
    QTest::keyClick(&form, static_cast<Qt::Key>(Qt::Key_F1 + i));
    EXPECT_EQ(pages->currentIndex(), i) << "F" << i + 1;
  }
  // F6 selects the laps page and shows its tab, marked, while it is on show.
  QTest::keyClick(&form, Qt::Key_F6);
  EXPECT_EQ(pages->currentIndex(), TMainForm::tsLaps);
  EXPECT_TRUE(form.PageWidget(TMainForm::tsLaps)->isVisible());
  EXPECT_TRUE(form.IsPageVisible(TMainForm::tsLaps));
  EXPECT_EQ(pages->tabBar()->currentIndex(), TMainForm::tsLaps);
  EXPECT_TRUE(pages->tabBar()->tabRect(TMainForm::tsLaps).isValid());
  QTest::keyClick(&form, Qt::Key_F2);
  EXPECT_EQ(pages->currentIndex(), TMainForm::tsSensors);
  EXPECT_FALSE(form.PageWidget(TMainForm::tsLaps)->isVisible());
  EXPECT_FALSE(form.IsPageVisible(TMainForm::tsLaps));
  // F7, the next key after the laps page's, selects the tables page.
  QTest::keyClick(&form, Qt::Key_F7);
  EXPECT_EQ(pages->currentIndex(), TMainForm::tsTables);
}

// The window is the threads' message target while it lives; destroying it while both threads post
// leaves them posting nowhere, never to the freed target.
TEST_F(MainWindow, DestroyedWhileBothThreadsPost) {
  TProgram& program = Program(true);
  auto* rec = new TRecording(*program.Sensors.RawVars);
  rec->CreateHistories();
  for (uint32_t i = 0; i < 6000; ++i) rec->History(0)->Append(i * 1000, static_cast<uint16_t>(i));
  rec->LengthMs = 60000;
  program.Recordings.Add(rec);
  SetCurrentRecording(program.Core, rec);

  TPollThreadRS& poll = *program.PollThread;
  TPlayThreadRS& play = *program.PlayThread;
  poll.Port()->SetDevice(std::make_shared<TSimDevice>());
  poll.PollThread_OpenSerialPort();
  poll.PollThread_Connect();

  for (int round = 0; round < 10; ++round) {
    auto form = std::make_unique<TMainForm>(program);
    play.Play();  // the window's first refresh stops the player
    EXPECT_EQ(poll.MessageTarget(), form->MessageTarget());
    EXPECT_EQ(play.MessageTarget(), form->MessageTarget());
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 40) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    form.reset();
    EXPECT_EQ(poll.MessageTarget(), nullptr);
    EXPECT_EQ(play.MessageTarget(), nullptr);
    QCoreApplication::processEvents();
  }
  EXPECT_TRUE(play.IsPlaying());
  play.Stop();
  poll.PollThread_Disconnect();
}

}  // namespace
