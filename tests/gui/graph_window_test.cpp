// The Graphs page in the main window: the sensor toggles, the graph list dialog, zoom and keys,
// the selection kept in the settings, printing the chart, scrolling while recording, the mouse
// moving the play position, the keys whatever has the focus, the track bar's click and the pane
// menu.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QSlider>
#include <QTimer>
#include <QPushButton>
#include <QPrinter>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QTest>
#include <filesystem>

#include "GuiSupport.h"
#include "ProgramSupport.h"
#include "base/IniFile.h"
#include "windows/GraphListForm.h"
#include "widgets/GraphControl.h"
#include "widgets/GraphPrint.h"
#include "recording/PlayThread.h"
#include "rules/GraphCursors.h"
#include "rules/MainLogic.h"
#include "windows/RecordingsPage.h"
#include "vars/Formatters.h"

namespace {

constexpr uint32_t kRevs = 1008, kTps = 1002, kGear = 1035, kO2A = 1000;

class GraphWindow : public ProgramTest {
 protected:
  std::unique_ptr<TMainForm> Open(int seconds) {
    WriteRecording(File("run.rec"), seconds);
    auto form = MakeWindow();
    form->resize(1280, 800);
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->activateWindow();
    EXPECT_TRUE(form->OpenRecentFile(File("run.rec")));
    QTest::keyClick(form.get(), Qt::Key_F3);
    program_->GraphSensors.Clear();
    return form;
  }
  void TabKey(TMainForm& form, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    form.Pages()->tabBar()->setFocus();
    QTest::keyClick(form.Pages()->tabBar(), key, mods);
  }
  // Picks the sensor named like the display variable id in the dialog and answers OK.
  void AnswerGraphList(TMainForm& form, uint32_t id, QString* caption) {
    form.Prompts.RunGraphList = [this, id, caption](TGraphListForm& dialog) {
      *caption = dialog.windowTitle();
      const QString name = QString::fromUtf8(program_->Sensors.FindDisplay(id)->Name);
      for (QListWidgetItem* item : dialog.List()->findItems(name, Qt::MatchExactly)) item->setSelected(true);
      QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
      return dialog.result() == QDialog::Accepted;
    };
  }
};

TEST_F(GraphWindow, AFirstStartGraphsAUsefulSetAndTheEmptyPageSaysWhatToDo) {
  auto form = MakeWindow();
  ASSERT_EQ(program_->GraphSensors.Count(), 6);  // no stored selection yet
  EXPECT_TRUE(form->Action(TCommand::actGraphRevs)->isChecked());
  EXPECT_TRUE(form->Action(TCommand::actGraphTW)->isChecked());
  EXPECT_TRUE(form->Action(TCommand::actGraphO2A)->isChecked());
  form->resize(1000, 700);
  form->SelectPage(TMainForm::tsGraphs);
  for (qreal dpr : {1.0, 2.0}) SaveArtifact(RenderWidget(*form, dpr), QString("main_window_graph_first_start@%1x").arg(dpr));
}

TEST_F(GraphWindow, SensorTogglesAndTheGraphListDialog) {
  auto form = Open(60);
  ASSERT_EQ(form->Pages()->currentIndex(), TMainForm::tsGraphs);
  TGraphControl* graph = form->GraphView();
  ASSERT_NE(graph, nullptr);
  QTest::keyClick(form.get(), Qt::Key_1, Qt::ControlModifier);
  QTest::keyClick(form.get(), Qt::Key_3, Qt::ShiftModifier);
  QTest::keyClick(form.get(), Qt::Key_1, Qt::AltModifier);
  ASSERT_EQ(program_->GraphSensors.Count(), 3);
  EXPECT_EQ(program_->GraphSensors.IdAt(0), kRevs);
  EXPECT_EQ(program_->GraphSensors.IdAt(1), kGear);
  EXPECT_EQ(program_->GraphSensors.IdAt(2), kO2A);
  EXPECT_TRUE(form->Action(TCommand::actGraphRevs)->isChecked());
  EXPECT_EQ(graph->Graph().Model.PaneCount, 3);
  QTest::keyClick(form.get(), Qt::Key_3, Qt::ShiftModifier);  // off again
  EXPECT_FALSE(program_->GraphSensors.ContainsId(kGear));
  EXPECT_FALSE(form->Action(TCommand::actGraphGear)->isChecked());

  QString caption;
  AnswerGraphList(*form, kTps, &caption);
  form->Action(TCommand::actGraphAddSensors)->trigger();
  EXPECT_EQ(caption, "Select sensors to add");
  EXPECT_EQ(program_->GraphSensors.IdAt(2), kTps);
  EXPECT_EQ(graph->Graph().Model.PaneCount, 3);
  AnswerGraphList(*form, kRevs, &caption);
  form->Action(TCommand::actGraphRemoveSensors)->trigger();
  EXPECT_EQ(caption, "Select sensors to remove");
  EXPECT_FALSE(program_->GraphSensors.ContainsId(kRevs));
  EXPECT_EQ(program_->GraphSensors.Count(), 2);

  // The selection is written to the settings for the next start.
  ASSERT_TRUE(program_->Config.Save(&program_->Sensors, &program_->GraphSensors));
  TIniFile ini(program_->Config.IniPath);
  EXPECT_EQ(ini.ReadInteger("Graph", "Count", -1), 2);
  EXPECT_EQ(ini.ReadInteger("Graph", "Var1", -1), kTps);

  form->Action(TCommand::actGraphRemoveAll)->trigger();
  EXPECT_EQ(program_->GraphSensors.Count(), 0);
  EXPECT_FALSE(form->Action(TCommand::actGraphRemoveSensors)->isEnabled());
  EXPECT_EQ(graph->Graph().Model.PaneCount, 0);
}

TEST_F(GraphWindow, ZoomAndTheKeysMoveTheWindowAndTheCursor) {
  auto form = Open(60);
  TGraphControl* graph = form->GraphView();
  QTest::keyClick(form.get(), Qt::Key_1, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(graph->StartTime(), 0);
  EXPECT_DOUBLE_EQ(graph->EndTime(), 60);
  TabKey(*form, Qt::Key_Up);  // 0.8 of 60 around the cursor at 0
  EXPECT_DOUBLE_EQ(graph->StartTime(), 0);
  EXPECT_DOUBLE_EQ(graph->EndTime(), 24);
  TabKey(*form, Qt::Key_Down);
  EXPECT_DOUBLE_EQ(graph->StartTime(), 0);
  EXPECT_DOUBLE_EQ(graph->EndTime(), 28.8);
  TabKey(*form, Qt::Key_F);
  EXPECT_DOUBLE_EQ(graph->EndTime(), 60);
  QTest::keyClick(form.get(), Qt::Key_Up, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(graph->EndTime(), 24);

  // Page Down moves the cursor by the window's span; the window jumps to keep it at its right edge.
  TabKey(*form, Qt::Key_PageDown);
  EXPECT_DOUBLE_EQ(program_->PlayThread->CurrentTime(), 24);
  EXPECT_DOUBLE_EQ(graph->Position(), 24);
  TabKey(*form, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_DOUBLE_EQ(graph->Position(), 34);
  EXPECT_DOUBLE_EQ(graph->EndTime(), 34);
  EXPECT_DOUBLE_EQ(graph->StartTime(), 10);
  TabKey(*form, Qt::Key_Home);
  EXPECT_DOUBLE_EQ(graph->StartTime(), 0);
  TabKey(*form, Qt::Key_End);
  EXPECT_DOUBLE_EQ(graph->EndTime(), 60);
  for (qreal dpr : {1.0, 2.0}) SaveArtifact(RenderWidget(*form, dpr), QString("main_window_graph@%1x").arg(dpr));
}

// After a seek between two milliseconds and after every way of making a recording current, the
// toolbar and the chart's cursor show one instant: the player's time, written to the nearest
// millisecond by both.
TEST_F(GraphWindow, TheToolbarAndTheCursorShowOneInstantWhateverRecordingIsCurrent) {
  for (const char* name : {"a.rec", "b.rec", "c.rec"}) WriteRecording(File(name), 60);
  auto form = MakeWindow();
  form->resize(1280, 800);
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  ASSERT_TRUE(form->OpenRecentFile(File("a.rec")));
  ASSERT_TRUE(form->OpenRecentFile(File("b.rec")));
  TGraphControl* graph = form->GraphView();
  auto oneInstant = [&](const std::string& how, bool boxShown = true) {
    ProcessEvents();
    const TShownPosition played = ShownPosition(program_->PlayThread->CurrentTime());
    const std::string toolbar = form->StatusPanel(TStatusPanel::PlayPosition)->text().toStdString();
    EXPECT_EQ(toolbar, played.Text) << how;
    EXPECT_EQ(graph->Position(), played.Cursor) << how;
    if (boxShown) {
      EXPECT_EQ(graph->CursorTimeText(), toolbar) << how;
    }
  };
  // A click on the chart at a time whose thousandths end in half a millisecond or more, where
  // cutting and rounding differ.
  auto clickBetweenMilliseconds = [&] {
    form->SelectPage(TMainForm::tsGraphs);
    ProcessEvents();
    const TGraphModel& m = graph->Graph().Model;
    int x = m.TimeToX(20);
    for (double ms = m.XToTime(x) * 1000; ms - std::floor(ms) < 0.5 || ms - std::floor(ms) > 0.9;
         ms = m.XToTime(x) * 1000)
      ++x;
    QTest::mouseClick(graph, Qt::LeftButton, {}, QPoint(x, 60));
    oneInstant("the click");
    EXPECT_GT(graph->Position(), 1);
  };

  clickBetweenMilliseconds();
  form->RecordingsMenu()->actions()[0]->trigger();  // a.rec
  oneInstant("the Recordings menu");
  clickBetweenMilliseconds();
  form->SelectPage(TMainForm::tsRecordings);
  QTreeWidget* list = form->RecordingsView()->ListView();
  const QRect row = list->visualItemRect(list->topLevelItem(1));  // b.rec
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
  ASSERT_EQ(program_->CurrentRecording()->FileName, File("b.rec"));
  form->SelectPage(TMainForm::tsGraphs);
  oneInstant("the recordings page");
  clickBetweenMilliseconds();
  openPath_ = File("c.rec");
  form->Action(TCommand::actFileOpen)->trigger();
  ASSERT_EQ(program_->CurrentRecording()->FileName, File("c.rec"));
  oneInstant("opening a file");
  clickBetweenMilliseconds();
  form->Action(TCommand::actFileClose)->trigger();
  ASSERT_NE(program_->CurrentRecording(), nullptr);
  oneInstant("closing the current recording");
  clickBetweenMilliseconds();
  QTest::keyClick(form.get(), Qt::Key_F9);  // a new recording, as soon as the link is up
  ASSERT_TRUE(WaitFor([&] { return form->State().RecordState == TRecordState::Recording; }));
  oneInstant("a new recording", false);
  QTest::keyClick(form.get(), Qt::Key_F9);
}

TEST_F(GraphWindow, AClickOnTheChartOrTheTrackBarMovesThePlayPosition) {
  auto form = Open(60);
  QTest::keyClick(form.get(), Qt::Key_1, Qt::ControlModifier);
  TGraphControl* graph = form->GraphView();
  ProcessEvents();
  const int x = graph->Graph().Model.TimeToX(42);
  QTest::mouseClick(graph, Qt::LeftButton, {}, QPoint(x, 60));
  EXPECT_NEAR(program_->PlayThread->CurrentTime(), 42, 0.2);
  EXPECT_EQ(form->StatusPanel(TStatusPanel::PlayPosition)->text().toStdString(),
            ShownPosition(program_->PlayThread->CurrentTime()).Text);
  // The track bar goes straight to the clicked place, not a page towards it.
  QSlider* bar = form->PositionTrackBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 4, bar->height() / 2));
  EXPECT_NEAR(program_->PlayThread->CurrentTime(), 15, 4);
  EXPECT_NEAR(graph->Position(), program_->PlayThread->CurrentTime(), 1e-9);
}

TEST_F(GraphWindow, OnTheGraphsPageTheKeysActWhateverHasTheFocus) {
  auto form = Open(60);
  QTest::keyClick(form.get(), Qt::Key_1, Qt::ControlModifier);
  TGraphControl* graph = form->GraphView();
  graph->setFocus();
  program_->PlayThread->SetCurrentTime(10);
  form->UpdateDisplays();
  QTest::keyClick(graph, Qt::Key_Right);
  EXPECT_DOUBLE_EQ(program_->PlayThread->CurrentTime(), 11);
  QTest::keyClick(graph, Qt::Key_R);  // the reference at the cursor
  ASSERT_TRUE(graph->Reference());
  EXPECT_DOUBLE_EQ(*graph->Reference(), 11);
  QTest::keyClick(graph, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(graph->Axis().Delta.Text, CursorDeltaText(21, 11));
  QTest::keyClick(graph, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), graph->ValuesTable());
  for (qreal dpr : {1.0, 2.0}) SaveArtifact(RenderWidget(*form, dpr), QString("main_window_graph_two_cursors@%1x").arg(dpr));
  QTest::keyClick(graph, Qt::Key_Escape);
  EXPECT_FALSE(graph->Reference());
  // On another page those keys are the focused control's own.
  form->SelectPage(TMainForm::tsECU);
  QTest::keyClick(graph, Qt::Key_R);
  EXPECT_FALSE(graph->Reference());
}

TEST_F(GraphWindow, ThePaneMenuRemovesItsSensorAndTheWindowFollows) {
  auto form = Open(60);
  QTest::keyClick(form.get(), Qt::Key_1, Qt::ControlModifier);
  QTest::keyClick(form.get(), Qt::Key_3, Qt::ControlModifier);
  TGraphControl* graph = form->GraphView();
  ProcessEvents();
  const TGraphlet& first = graph->Graph().Model.Panes[0];
  QStringList seen;
  // The menu runs its own loop: answered from a timer once it is up.
  QTimer::singleShot(50, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    for (QAction* a : menu->actions()) seen << a->text();
    for (QAction* a : menu->actions())
      if (a->text() == "Remove Revs") a->trigger();
    menu->close();
  });
  QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(first.Left + 50, first.Top + 20), graph->mapToGlobal(QPoint(first.Left + 50, first.Top + 20)));
  QApplication::sendEvent(graph, &click);
  EXPECT_TRUE(seen.contains("Zoom &In"));
  EXPECT_FALSE(program_->GraphSensors.ContainsId(kRevs));
  EXPECT_FALSE(form->Action(TCommand::actGraphRevs)->isChecked());
  EXPECT_EQ(graph->Graph().Model.PaneCount, 1);
}

TEST_F(GraphWindow, PrintsTheChartFromTheGraphsPage) {
  auto form = Open(30);
  QTest::keyClick(form.get(), Qt::Key_1, Qt::ControlModifier);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(File("graph.pdf")));
  ASSERT_TRUE(form->PrintGraph(printer));
  EXPECT_EQ(printer.docName(), "Revscope - Saved run");
  EXPECT_GT(std::filesystem::file_size(File("graph.pdf")), 1000u);
}

TEST_F(GraphWindow, TheGraphScrollsWithTheRecording) {
  program_->Config.GraphTimespan = 1;
  auto form = MakeWindow();
  form->resize(1280, 800);
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  program_->GraphSensors.Clear();
  program_->GraphSensors.AddId(kRevs);
  form->SelectPage(TMainForm::tsGraphs);
  QTest::keyClick(form.get(), Qt::Key_F9);  // connect and record
  ASSERT_TRUE(WaitFor([&] { return program_->CurrentRecording() && program_->CurrentRecording()->LengthMs > 2000; }, 10000));
  ASSERT_TRUE(WaitFor([&] { return form->GraphView()->EndTime() > 1.9; }));
  TGraphControl* graph = form->GraphView();
  EXPECT_NEAR(graph->EndTime() - graph->StartTime(), 1.0, 1e-9);
  const QImage shot = RenderWidget(*graph, 1.0);
  const TGraphlet& pane = graph->Graph().Model.Panes[0];
  EXPECT_GT(CountNear(shot, QRect(pane.Left, pane.Top, pane.Width, pane.Height), QColor(255, 0, 0), 40), 10);
  QTest::keyClick(form.get(), Qt::Key_F9);
}

}  // namespace
