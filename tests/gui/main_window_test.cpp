// The main window's page control: six pages, the laps page hidden, F1..F6 select pages.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTest>
#include <memory>

#include "windows/MainForm.h"
#include "program/Program.h"
#include "windows/QtMessageTarget.h"
#include "ecu/PollThreadRS.h"
#include "recording/PlayThread.h"

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

// The window is the threads' message target while it lives; destroying it while both threads post
// leaves them posting nowhere, never to the freed target.
TEST(MainWindow, DestroyedWhileBothThreadsPost) {
  TCoreContext core;
  TSensorList sensors(&core);
  sensors.BuildVariables();
  TECUType ecu;
  core.EcuType = &ecu;
  TRecordingList recordings;
  core.Recordings = &recordings;
  auto* rec = new TRecording(*sensors.RawVars);
  rec->CreateHistories();
  for (uint32_t i = 0; i < 6000; ++i) rec->History(0)->Append(i * 1000, static_cast<uint16_t>(i));
  rec->LengthMs = 60000;
  recordings.Add(rec);
  SetCurrentRecording(core, rec);

  TPollThreadRS poll(core);
  TPlayThreadRS play(core);
  poll.Port()->SetDevice(std::make_shared<TSimDevice>());
  PollThread = &poll;
  PlayThread = &play;
  poll.PollThread_OpenSerialPort();
  poll.PollThread_Connect();
  play.Play();

  for (int round = 0; round < 10; ++round) {
    auto form = std::make_unique<TMainForm>();
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
  PollThread = nullptr;
  PlayThread = nullptr;
}

}  // namespace
