// The main window driven as a person would: connect to the simulated ECU, record, stop with
// auto-save, reopen, play back, use the keys, drop files, close with unsaved recordings.
#include <gtest/gtest.h>

#include <QLabel>
#include <QGuiApplication>
#include <QPrinter>
#include <QScreen>
#include <QMenu>
#include <QSlider>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QTest>
#include <QToolButton>
#include <filesystem>

#include "GuiSupport.h"
#include "windows/DashboardPage.h"
#include "windows/ErrorList.h"
#include "windows/SensorListView.h"
#include "widgets/LEDDisplay.h"
#include "widgets/LapDisplay.h"
#include "widgets/Meter270Display.h"
#include "ProgramSupport.h"
#include "base/IniFile.h"
#include "ecu/PollThreadRS.h"
#include "recording/PlayThread.h"

namespace {

QString Panel(const TMainForm& form, TStatusPanel p) { return form.StatusPanel(p)->text(); }

class MainWindowFlow : public ProgramTest {
 protected:
  void Show(TMainForm& form) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
  }
  bool Connected(const TMainForm& form) {
    return WaitFor([&] { return form.State().LinkState == TLinkState::Connected; });
  }
};

TEST_F(MainWindowFlow, ConnectRecordAndStopWithAutoSave) {
  program_->Config.AutoSaveRecordings = true;
  WriteFileBytes(File("r1.rec"), "taken");
  auto form = MakeWindow();
  Show(*form);
  QTest::keyClick(form.get(), Qt::Key_F10);
  EXPECT_EQ(Panel(*form, TStatusPanel::ConnectionStatus), "Connecting");
  ASSERT_TRUE(Connected(*form));
  EXPECT_EQ(form->Action(TCommand::actECUConnect)->text(), "&Disconnect");
  ASSERT_TRUE(WaitFor([&] { return Panel(*form, TStatusPanel::DatalogSpeed).endsWith(" vars/s") &&
                                   !Panel(*form, TStatusPanel::DatalogSpeed).startsWith("0 "); }));
  EXPECT_EQ(Panel(*form, TStatusPanel::ConnectionStatus), "Connected");
  // The panel is drawn yellow, a pixel inside its frame.
  QLabel* status = form->StatusPanel(TStatusPanel::ConnectionStatus);
  EXPECT_TRUE(Near(status->grab().toImage().pixelColor(4, status->height() / 2), QColor(255, 255, 0)));

  QTest::keyClick(form.get(), Qt::Key_F9);
  EXPECT_EQ(Panel(*form, TStatusPanel::ConnectionStatus), "Recording");
  EXPECT_TRUE(Near(status->grab().toImage().pixelColor(4, status->height() / 2), QColor(255, 0, 0)));
  TRecording* rec = program_->CurrentRecording();
  ASSERT_NE(rec, nullptr);
  EXPECT_STREQ(rec->Description, "Recording #1");
  ASSERT_TRUE(WaitFor([&] { return rec->LengthMs > 300; }));
  QTest::keyClick(form.get(), Qt::Key_F9);
  // r1.rec was taken: the run is saved as r2.rec and stays open.
  EXPECT_EQ(rec->FileName, File("r2.rec"));
  EXPECT_FALSE(rec->Modified);
  EXPECT_TRUE(std::filesystem::file_size(File("r2.rec")) > 652);
  EXPECT_EQ(form->Action(TCommand::actECURecord)->text(), "&Start Recording");
  ASSERT_EQ(form->RecordingsMenu()->actions().size(), 1);
  EXPECT_EQ(form->RecordingsMenu()->actions()[0]->text(), QString::fromStdString("&0 " + File("r2.rec")));
  EXPECT_EQ(form->windowTitle(), QString::fromStdString("Revscope - " + File("r2.rec")));

  QTest::keyClick(form.get(), Qt::Key_F10);
  EXPECT_TRUE(WaitFor([&] { return form->State().LinkState == TLinkState::Disconnected; }));
  EXPECT_EQ(Panel(*form, TStatusPanel::ConnectionStatus), "");
}

TEST_F(MainWindowFlow, APortThatCannotBeOpenedEndsInConnectionError) {
  program_->PollThread->Port()->SetDevice(nullptr);
  program_->PollThread->Port()->SetDevicePath("/dev/revscope-no-such-port");
  auto form = MakeWindow();
  Show(*form);
  QTest::keyClick(form.get(), Qt::Key_F10);
  ASSERT_TRUE(WaitFor([&] { return form->State().LinkState == TLinkState::ConnectionError; }));
  EXPECT_EQ(Panel(*form, TStatusPanel::ConnectionStatus), "Connection error");
}

TEST_F(MainWindowFlow, AFailedAutoSaveSaysSoAndKeepsTheRunModified) {
  program_->Config.AutoSaveRecordings = true;
  program_->Config.FileDir = File("no-such-folder");
  auto form = MakeWindow();
  Show(*form);
  QTest::keyClick(form.get(), Qt::Key_F9);
  ASSERT_TRUE(WaitFor([&] { return form->State().RecordState == TRecordState::Recording; }));
  QTest::keyClick(form.get(), Qt::Key_F9);
  EXPECT_EQ(messages_, std::vector<std::string>{"Could not save recording '" + File("no-such-folder/r1.rec") +
                                                "' - cannot create a temporary file: No such file or directory"});
  ASSERT_NE(program_->CurrentRecording(), nullptr);
  EXPECT_TRUE(program_->CurrentRecording()->Modified);
  EXPECT_EQ(program_->CurrentRecording()->FileName, "");
}

TEST_F(MainWindowFlow, CablePulledWhileRecordingKeepsTheRunModified) {
  program_->PollThread->ErrorTolerance = 0;
  auto form = MakeWindow();
  Show(*form);
  QTest::keyClick(form.get(), Qt::Key_F9);  // records as soon as the link is up
  ASSERT_TRUE(WaitFor([&] { return form->State().RecordState == TRecordState::Recording; }));
  TRecording* rec = program_->CurrentRecording();
  sim_->Unplug();
  ASSERT_TRUE(WaitFor([&] { return form->State().LinkState == TLinkState::ConnectionError; }));
  EXPECT_EQ(Panel(*form, TStatusPanel::ConnectionStatus), "Connection error");
  EXPECT_EQ(form->State().RecordState, TRecordState::NotRecording);
  EXPECT_EQ(program_->CurrentRecording(), rec);
  EXPECT_TRUE(rec->Modified);
  // The close query offers it.
  answer_ = TCloseAnswer::Cancel;
  EXPECT_FALSE(form->close());
  EXPECT_EQ(asked_, 1);
}

TEST_F(MainWindowFlow, TheDsrSwitchStartsAndStopsRecording) {
  program_->Config.UseDSRForRecording = true;
  auto form = MakeWindow();
  Show(*form);
  // With the setting on, the window brings the link up by itself.
  ASSERT_TRUE(Connected(*form));
  EXPECT_EQ(program_->Recordings.Count(), 0);
  sim_->SetDSR(true);
  ASSERT_TRUE(WaitFor([&] { return form->State().RecordState == TRecordState::Recording; }));
  sim_->SetDSR(false);
  ASSERT_TRUE(WaitFor([&] { return form->State().RecordState == TRecordState::NotRecording; }));
  EXPECT_EQ(program_->Recordings.Count(), 1);
  EXPECT_EQ(form->State().LinkState, TLinkState::Connected);
}

TEST_F(MainWindowFlow, ReopenPlayToTheEndAndSeekWithTheKeys) {
  WriteRecording(File("two.rec"), 2);
  program_->RecentFiles.Add(File("two.rec"));
  auto form = MakeWindow();
  Show(*form);
  ASSERT_EQ(form->ReopenMenu()->actions().size(), 1);
  form->ReopenMenu()->actions()[0]->trigger();
  ASSERT_NE(program_->CurrentRecording(), nullptr);
  EXPECT_EQ(form->PositionTrackBar()->maximum(), 2000);
  EXPECT_EQ(Panel(*form, TStatusPanel::RecordingLength), "0:00:02.000s");
  EXPECT_EQ(Panel(*form, TStatusPanel::RecordingSize), "1k");

  // Keys act when the tab strip has the focus.
  form->Pages()->tabBar()->setFocus();
  QTest::keyClick(form->Pages()->tabBar(), Qt::Key_Right);
  EXPECT_DOUBLE_EQ(program_->PlayThread->CurrentTime(), 1.0);
  QTest::keyClick(form->Pages()->tabBar(), Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_NEAR(program_->PlayThread->CurrentTime(), 0.99, 1e-9);
  EXPECT_EQ(form->PositionTrackBar()->value(), 990);
  EXPECT_EQ(Panel(*form, TStatusPanel::PlayPosition), "0:00:00.990s");

  QTest::keyClick(form.get(), Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(form->Action(TCommand::actPlayPlay)->text(), "&Stop");
  ASSERT_TRUE(WaitFor([&] { return !program_->PlayThread->IsPlaying(); }, 8000));
  ASSERT_TRUE(WaitFor([&] { return form->Action(TCommand::actPlayPlay)->text() == "&Play"; }));
  EXPECT_DOUBLE_EQ(program_->PlayThread->CurrentTime(), 2.0);
  EXPECT_EQ(form->PositionTrackBar()->value(), 2000);
}

TEST_F(MainWindowFlow, StoredFaultsAreListedAndClearedOnTheEcu) {
  auto form = MakeWindow();
  Show(*form);
  QTest::keyClick(form.get(), Qt::Key_F10);
  ASSERT_TRUE(Connected(*form));
  // The simulated ECU keeps stored codes: the button lights and the page lists them.
  ASSERT_TRUE(WaitFor([&] { return form->ErrorsButton()->isEnabled(); }));
  EXPECT_GT(form->ErrorListView()->ListView()->topLevelItemCount(), 0);
  QTest::keyClick(form.get(), Qt::Key_E, Qt::ControlModifier);
  // Once the ECU has been polled again, nothing is stored any more.
  ASSERT_TRUE(WaitFor([&] { return form->ErrorListView()->ListView()->topLevelItemCount() == 0; }));
  EXPECT_FALSE(form->ErrorsButton()->isEnabled());
}

TEST_F(MainWindowFlow, TheLapsTabShowsForARecordingWithLaps) {
  {
    TRecording rec(*program_->Sensors.RawVars);
    rec.CreateHistories();
    TVarHist* laps = rec.HistoryById(158);
    ASSERT_NE(laps, nullptr);
    laps->Append(6000000, 1);  // one lap signal at 60 s
    laps->Append(12150000, 2);
    rec.LengthMs = 130000;
    ASSERT_TRUE(rec.SaveToFile(File("laps.rec")));
  }
  WriteRecording(File("nolaps.rec"), 2);
  auto form = MakeWindow();
  EXPECT_FALSE(form->IsPageVisible(TMainForm::tsLaps));
  ASSERT_TRUE(form->OpenRecentFile(File("laps.rec")));
  EXPECT_TRUE(form->IsPageVisible(TMainForm::tsLaps));
  EXPECT_EQ(form->LapView()->LapCount(), 2);
  ASSERT_TRUE(form->OpenRecentFile(File("nolaps.rec")));
  EXPECT_FALSE(form->IsPageVisible(TMainForm::tsLaps));
}

TEST_F(MainWindowFlow, FunctionKeysAndTheErrorsButtonSelectPages) {
  auto form = MakeWindow();
  Show(*form);
  for (int i : {3, 1, 4, 2, 0, 5}) {
    QTest::keyClick(form.get(), static_cast<Qt::Key>(Qt::Key_F1 + i));
    EXPECT_EQ(form->Pages()->currentIndex(), i);
  }
  EXPECT_TRUE(form->IsPageVisible(TMainForm::tsLaps));
  form->ErrorsButton()->setEnabled(true);
  QTest::mouseClick(form->ErrorsButton(), Qt::LeftButton);
  EXPECT_EQ(form->Pages()->currentIndex(), TMainForm::tsErrorCodes);
  EXPECT_FALSE(form->IsPageVisible(TMainForm::tsLaps));
}

TEST_F(MainWindowFlow, CorruptAndDroppedFiles) {
  WriteFileBytes(File("bad.rec"), "0123456789");
  WriteRecording(File("good.rec"), 3);
  auto form = MakeWindow();
  Show(*form);
  EXPECT_FALSE(form->OpenRecentFile(File("bad.rec")));
  ASSERT_FALSE(messages_.empty());
  EXPECT_EQ(messages_[0], "Could not load '" + File("bad.rec") + "' - recording header magic number incorrect");
  EXPECT_EQ(program_->Recordings.Count(), 0);
  EXPECT_EQ(form->windowTitle(), "Revscope");

  form->OnDropFiles({QString::fromStdString(File("good.rec"))});
  ASSERT_EQ(program_->Recordings.Count(), 1);
  EXPECT_EQ(program_->CurrentRecording()->FileName, File("good.rec"));
  EXPECT_EQ(program_->RecentFiles.Files.at(0), File("good.rec"));
}

// Failures name the file and the reason, one message each; successes leave a note in the status
// bar.
TEST_F(MainWindowFlow, FailuresSayWhyAndSuccessesLeaveANote) {
  std::string headerOnly(652, '\0');
  for (auto [offset, value] : {std::pair{0, 652}, std::pair{4, 12370}, std::pair{8, 35}})
    for (int b = 0; b < 4; ++b) headerOnly[static_cast<size_t>(offset + b)] = static_cast<char>(value >> (8 * b));
  WriteFileBytes(File("header.rec"), headerOnly);
  WriteRecording(File("run.rec"), 3);
  auto form = MakeWindow();
  Show(*form);
  openPath_ = File("missing.rec");
  form->Action(TCommand::actFileOpen)->trigger();
  openPath_ = File("header.rec");
  form->Action(TCommand::actFileOpen)->trigger();
  EXPECT_EQ(messages_, (std::vector<std::string>{
                           "Could not load '" + File("missing.rec") + "' - No such file or directory",
                           "Could not load '" + File("header.rec") + "' - invalid sensor history: the file ends after "
                                                                      "the recording header; histories 1 to 35 of 35 are missing"}));

  ASSERT_TRUE(form->OpenRecentFile(File("run.rec")));
  savePath_ = File("copy.rec");
  form->Action(TCommand::actFileSaveAs)->trigger();
  EXPECT_EQ(form->statusBar()->currentMessage(), "Saved copy.rec, 0:00:03");
  form->OpenRecentFile(File("header.rec"));
  ASSERT_TRUE(form->OpenRecentFile(File("copy.rec")));
  EXPECT_EQ(form->statusBar()->currentMessage(), "copy.rec is already open");
  EXPECT_EQ(program_->CurrentRecording()->FileName, File("copy.rec"));
  EXPECT_EQ(messages_.size(), 2u);
}

// A run on the built-in simulator says so beside the connection status.
TEST_F(MainWindowFlow, TheSimulatorShowsBesideTheLink) {
  {
    auto form = MakeWindow();
    EXPECT_FALSE(form->SimulatedPanel()->isVisible());
  }
  program_->PollThread->Port()->SetDevice(nullptr);
  program_->PollThread->Port()->SetDevicePath(SimulatedDevicePath());
  auto form = MakeWindow();
  form->resize(900, 600);
  Show(*form);
  EXPECT_TRUE(form->SimulatedPanel()->isVisible());
  auto* panel = qobject_cast<QLabel*>(form->findChild<QLabel*>("SimulatedPanel"));
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->text(), "Simulated ECU");
  EXPECT_GE(panel->width(), panel->sizeHint().width());
  QTest::keyClick(form.get(), Qt::Key_F10);
  ASSERT_TRUE(Connected(*form));
  for (qreal dpr : {1.0, 2.0}) SaveArtifact(RenderWidget(*form, dpr), QString("main_window_simulated@%1x").arg(dpr));
}

TEST_F(MainWindowFlow, PrintsTheWindowToAPdfFile) {
  WriteRecording(File("run.rec"), 1);
  auto form = MakeWindow();
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(File("window.pdf")));
  EXPECT_FALSE(form->PrintWindow(printer));  // nothing to print without a recording
  ASSERT_TRUE(form->OpenRecentFile(File("run.rec")));
  ASSERT_TRUE(form->PrintWindow(printer));
  EXPECT_EQ(printer.docName(), "Revscope - Saved run");
  EXPECT_GT(std::filesystem::file_size(File("window.pdf")), 1000u);
}

TEST_F(MainWindowFlow, CloseQueryAnswers) {
  auto add = [this] {
    auto* r = new TRecording(*program_->Sensors.RawVars);
    r->Modified = true;
    program_->Recordings.Add(r);
    return r;
  };
  add();
  add();
  auto form = MakeWindow();
  Show(*form);
  answer_ = TCloseAnswer::Cancel;
  EXPECT_FALSE(form->close());
  EXPECT_EQ(program_->Recordings.Count(), 2);
  // Yes: each unsaved recording gets its own save dialog, asked once.
  answer_ = TCloseAnswer::Yes;
  int dialogs = 0;
  form->Prompts.ChooseSavePath = [&](TRecording&) { return File("saved" + std::to_string(++dialogs) + ".rec"); };
  asked_ = 0;
  EXPECT_TRUE(form->close());
  EXPECT_EQ(asked_, 1);
  EXPECT_EQ(dialogs, 2);
  EXPECT_TRUE(std::filesystem::exists(File("saved2.rec")));
}

TEST_F(MainWindowFlow, NoClosesWithoutAnyDialog) {
  auto* r = new TRecording(*program_->Sensors.RawVars);
  r->Modified = true;
  program_->Recordings.Add(r);
  auto form = MakeWindow();
  Show(*form);
  answer_ = TCloseAnswer::No;
  int dialogs = 0;
  form->Prompts.ChooseSavePath = [&](TRecording&) { return ++dialogs, std::string(); };
  EXPECT_TRUE(form->close());
  EXPECT_EQ(dialogs, 0);
}

TEST_F(MainWindowFlow, PlacementComesBackAtTheNextStart) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  {
    // The first start: most of the screen, centred.
    auto form = MakeWindow();
    EXPECT_EQ(form->width(), std::max(640, static_cast<int>(screen.width() * 0.8)));
    EXPECT_NEAR(form->geometry().center().x(), screen.center().x(), 1);
    EXPECT_GT(form->geometry().top(), screen.top());
    form->setGeometry(screen.left() + 40, screen.top() + 50, 660, 470);
  }
  TIniFile ini(program_->Config.IniPath);
  EXPECT_EQ(ini.ReadInteger("MainForm", "Width", 0), 660);
  EXPECT_EQ(ini.ReadInteger("MainForm", "WindowState", -1), 0);
  auto again = MakeWindow();
  EXPECT_EQ(again->geometry(), QRect(screen.left() + 40, screen.top() + 50, 660, 470));
  // Smaller than the minimum snaps back.
  again->resize(300, 200);
  EXPECT_EQ(again->width(), 640);
  EXPECT_EQ(again->height(), 458);
}

// The dashboard of the live window at its smallest, a laptop's and a full HD size, at both pixel
// ratios: the speed cluster grows with the window, every caption shows whole and the rev figures
// stay clear of the dial's needle, hub and labels.
TEST_F(MainWindowFlow, DashboardAtThreeWindowSizes) {
  auto form = MakeWindow();
  Show(*form);
  QTest::keyClick(form.get(), Qt::Key_F10);
  ASSERT_TRUE(Connected(*form));
  ASSERT_TRUE(WaitFor([&] { return form->Dashboard()->GaugeValue(gcRevs) > 0; }));
  TDashboardPage& dash = *form->Dashboard();
  for (QSize size : {QSize(640, 458), QSize(1280, 800), QSize(1920, 1080)}) {
    form->resize(size);
    ProcessEvents();
    const QString name = QString("dashboard_%1x%2").arg(size.width()).arg(size.height());
    for (qreal dpr : {1.0, 2.0}) SaveArtifact(RenderWidget(*form, dpr), QString("%1@%2x").arg(name).arg(dpr));
    // Every light's caption and lamp lie inside it.
    for (int g = 0; g < GaugeCount; ++g)
      if (TLEDDisplay* l = dash.Light(TGaugeId(g)); l && l->isVisible()) {
        EXPECT_TRUE(l->rect().contains(l->CaptionRect())) << name.toStdString() << " " << GaugeDesign(TGaugeId(g)).Name;
        EXPECT_TRUE(l->rect().contains(l->ComponentRect())) << name.toStdString() << " " << GaugeDesign(TGaugeId(g)).Name;
      }
    // The speed cluster takes most of the panel below the dial.
    const QRect cluster = dash.Gauge(gcSpeed)->geometry() | dash.Gauge(gcShiftLightrpm)->geometry() |
                          dash.Gauge(gcOverallrpm)->geometry() | dash.Gauge(gcGear)->geometry();
    EXPECT_GE(cluster.width() * 10, dash.SpeedPanel()->width() * 8) << name.toStdString();
    EXPECT_GE(cluster.height() * 10, dash.SpeedPanel()->height() * 8) << name.toStdString();
    // The rev figures lie below the needle whatever the revs, inside the dial.
    const TMeter270Display& dial = *dash.Dial();
    const QRectF figures = dash.Gauge(gcRevsFigures)->geometry();
    const QPointF c = dial.Centre();
    for (double v = dial.ValueMin(); v <= dial.ValueMax(); v += 100) {
      const QPointF tip = c + TMeter270Display::GetArcPosF(dial.AngleOf(v), dial.Radius());
      for (double t = 0; t <= 1.0; t += 0.01)
        EXPECT_FALSE(figures.contains(c + (tip - c) * t)) << name.toStdString() << " " << v;
    }
    EXPECT_TRUE(dial.rect().contains(figures.toRect())) << name.toStdString();
  }
}

// The sensors page of a live link on a full HD window: the columns use the width, and a logged
// sensor shows its lowest and highest value and how often it is read.
TEST_F(MainWindowFlow, SensorsPageShowsTheLinksStatistics) {
  auto form = MakeWindow();
  form->resize(1920, 1080);
  Show(*form);
  form->SelectPage(TMainForm::tsSensors);
  QTest::keyClick(form.get(), Qt::Key_F10);
  ASSERT_TRUE(Connected(*form));
  TSensorListView& list = *form->SensorListView();
  QTreeWidgetItem* revs = list.RowForId(1008);
  ASSERT_TRUE(WaitFor([&] { return !revs->text(scReads).isEmpty() && revs->text(scReads) != "0"; }, 8000));
  EXPECT_FALSE(revs->text(scLowest).isEmpty());
  EXPECT_FALSE(revs->text(scHighest).isEmpty());
  EXPECT_GT(revs->text(scReads).toDouble(), 1.0);
  int sum = 0;
  for (int c = 0; c < list.columnCount(); ++c) sum += list.columnWidth(c);
  EXPECT_EQ(sum, list.viewport()->width());
  for (qreal dpr : {1.0, 2.0}) SaveArtifact(RenderWidget(*form, dpr), QString("sensors_page_1920x1080@%1x").arg(dpr));
}

// Every page of the live window at 1280 x 800, at both pixel ratios, for looking at.
TEST_F(MainWindowFlow, ScreenshotsOfEveryPage) {
  WriteRecording(File("run.rec"), 5);
  auto form = MakeWindow();
  form->resize(1280, 800);
  Show(*form);
  ASSERT_TRUE(form->OpenRecentFile(File("run.rec")));
  QTest::keyClick(form.get(), Qt::Key_F10);
  ASSERT_TRUE(Connected(*form));
  // Every sensor polled at least once and the statistics of a whole second in.
  ASSERT_TRUE(WaitFor([&] { return !Panel(*form, TStatusPanel::DatalogSpeed).startsWith("0 "); }));
  EXPECT_GT(form->Dashboard()->GaugeValue(gcRevs), 0);
  for (int page = 0; page < TMainForm::PageCount; ++page) {
    form->SelectPage(static_cast<TMainForm::Page>(page));
    ProcessEvents();
    for (qreal dpr : {1.0, 2.0}) {
      const QImage shot = RenderWidget(*form, dpr);
      EXPECT_EQ(shot.width(), static_cast<int>(1280 * dpr));
      SaveArtifact(shot, QString("main_window_page%1@%2x").arg(page + 1).arg(dpr));
    }
  }
}

}  // namespace
