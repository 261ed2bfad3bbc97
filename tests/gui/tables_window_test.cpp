// The Tables page in the main window against the simulated ECU: it fills from the latest values
// while connected, from the run while recording, shows the saved run afterwards and moves the
// play position on a click; and the Settings dialog learns the gear ratios of the current
// recording.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>

#include "../core/TableRecordings.h"
#include "CoreSupport.h"
#include "GuiSupport.h"
#include "ProgramSupport.h"
#include "analysis/GearLearning.h"
#include "analysis/Table.h"
#include "recording/PlayThread.h"
#include "widgets/ScatterPlot.h"
#include "widgets/TableGrid.h"
#include "windows/SettingsForm.h"
#include "windows/TablesPage.h"

namespace {

class TablesWindow : public ProgramTest {
 protected:
  std::unique_ptr<TMainForm> Shown() {
    auto form = MakeWindow();
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->activateWindow();
    return form;
  }
};

TEST_F(TablesWindow, FillsLiveWhileConnectedFromTheRunWhileRecordingAndShowsTheRunAfterwards) {
  auto form = Shown();
  QTest::keyClick(form.get(), Qt::Key_F7);
  ASSERT_EQ(form->Pages()->currentIndex(), TMainForm::tsTables);
  TTablesPage* page = form->TablesView();
  const TTableTracker& tracker = page->Model().Tracker();
  auto status = [&] { return page->StatusLine()->text(); };

  QTest::keyClick(form.get(), Qt::Key_F10);
  ASSERT_TRUE(WaitFor([&] { return form->State().LinkState == TLinkState::Connected; }));
  ASSERT_TRUE(WaitFor([&] { return tracker.Table().Counts().Counted > 3; }, 10000)) << status().toStdString();
  EXPECT_TRUE(status().startsWith("Live values (connected, not recording): ")) << status().toStdString();
  EXPECT_GE(page->Grid()->CursorCell(), 0);

  // In the smallest window the choices keep clear of each other and the grid and plot keep room.
  form->resize(MinWindowWidth, MinWindowHeight);
  ProcessEvents();
  QList<QWidget*> controls;
  for (QWidget* w : page->findChildren<QWidget*>())
    if (w->parentWidget() != page && w->parentWidget() && w->parentWidget()->parentWidget() == page &&
        !qobject_cast<QSplitterHandle*>(w))
      controls << w;
  for (int i = 0; i < controls.size(); ++i)
    for (int j = i + 1; j < controls.size(); ++j)
      EXPECT_FALSE(QRect(controls[i]->mapTo(page, QPoint(0, 0)), controls[i]->size())
                       .intersects(QRect(controls[j]->mapTo(page, QPoint(0, 0)), controls[j]->size())))
          << controls[i]->objectName().toStdString() << " / " << controls[j]->objectName().toStdString();
  EXPECT_LE(page->width(), MinWindowWidth);
  EXPECT_GE(page->Grid()->width(), 160);
  EXPECT_GE(page->Scatter()->height(), 120);
  for (qreal dpr : {1.0, 2.0}) SaveArtifact(RenderWidget(*form, dpr), QString("tables_window_smallest@%1x").arg(dpr));
  form->resize(1024, 700);

  QTest::keyClick(form.get(), Qt::Key_F9);
  TRecording* rec = program_->CurrentRecording();
  ASSERT_NE(rec, nullptr);
  ASSERT_TRUE(WaitFor([&] { return tracker.Recording() == rec && tracker.Table().Counts().Counted > 10; }, 10000));
  EXPECT_TRUE(status().startsWith("Recording #1: ")) << status().toStdString();
  QTest::keyClick(form.get(), Qt::Key_F9);
  QTest::keyClick(form.get(), Qt::Key_F10);
  ASSERT_TRUE(WaitFor([&] { return form->State().LinkState == TLinkState::Disconnected; }));
  form->UpdateDisplays();
  QTest::qWait(300);
  form->UpdateDisplays();
  // Every sample of the run, as a table built afresh has them.
  const TTable whole = BuildTable(program_->Sensors, *rec, tracker.Spec());
  EXPECT_EQ(tracker.Table().Counts(), whole.Counts());

  // A click on a cell with samples sends the play position to its first stretch.
  int cell = -1;
  for (int c = 0; c < whole.Columns() * whole.Rows() && cell < 0; ++c)
    if (whole.Cell(c % whole.Columns(), c / whole.Columns()).Count >= page->Model().Choices().MinCount) cell = c;
  ASSERT_GE(cell, 0);
  const TBox b = page->Grid()->Layout().CellBox(cell % whole.Columns(), cell / whole.Columns());
  QTest::mouseClick(page->Grid(), Qt::LeftButton, {}, QPoint(b.Left + b.Width / 2, b.Top + b.Height / 2));
  const double at = program_->PlayThread->CurrentTime();
  EXPECT_GT(at, 0);
  EXPECT_EQ(page->Grid()->CursorCell(), cell);
}

TEST_F(TablesWindow, LearnFromRecordingPutsTheRatiosOfTheCurrentRecordingIntoTheSettings) {
  TDrive drive;
  drive.Noise = 0.01;
  ASSERT_TRUE(SaveHistories(File("drive.rec"), drive.Histories()));
  program_->Config.GearRatios[5] = drive.Final;
  program_->Config.TyreRollingCircumference = drive.Circumference;
  auto form = Shown();
  ASSERT_TRUE(form->OpenRecentFile(File("drive.rec")));

  QString offered;
  WhenModal<TSettingsForm>([&](TSettingsForm* settings) {
    settings->SelectPage(spDrivetrain);
    QPushButton* learn = settings->Button("btnLearnGears");
    EXPECT_TRUE(learn->isEnabled());
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      offered = box->text();
      for (QAbstractButton* b : box->buttons())
        if (b->text() == "&Use These Ratios") return b->click();
      box->reject();  // a warning instead of the ratios: the checks below fail rather than wait
    });
    learn->click();
    settings->Button("btnOk")->click();
  });
  form->Action(TCommand::actFileSettings)->trigger();
  EXPECT_TRUE(offered.contains("1st gear: 3.2")) << offered.toStdString();
  EXPECT_TRUE(offered.contains("% of the steady samples"));
  for (int g = 0; g < 5; ++g)
    EXPECT_NEAR(program_->Config.GearRatios[g], drive.Ratios[g], drive.Ratios[g] * 0.01) << "gear " << g + 1;
  EXPECT_EQ(program_->Config.GearRatios[5], drive.Final);
}

TEST(LearnGearsButton, IsOffWithoutARecordingSaysWhyNothingWasLearnedAndCancelKeepsTheRatios) {
  TSettings settings;
  settings.MachinePath = "/nonexistent/Settings.ini";
  TSettingsForm form(settings, nullptr, {});
  form.SelectPage(spDrivetrain);
  QPushButton* learn = form.Button("btnLearnGears");
  EXPECT_EQ(learn->text(), "Learn from recording");
  EXPECT_FALSE(learn->isEnabled());

  std::vector<std::pair<double, double>> asked;
  TGearLearning found;
  // Second to fifth only, as from a run that never held first gear steady.
  found.Gears = {{2.0471, 10, 0.2}, {1.4172, 63, 0.3}, {1.1041, 17, 0.1}, {0.8703, 182, 0.4}};
  found.SteadySamples = 272;
  form.SetLearnGears([&](double finalDrive, double circumference) {
    asked.push_back({finalDrive, circumference});
    return found;
  });
  EXPECT_TRUE(learn->isEnabled());
  QString offered;
  // Answers the next message box with the button of that caption (none: its only button).
  auto answer = [&offered](const QString& button) {
    WhenModal<QMessageBox>([&offered, button](QMessageBox* box) {
      offered = box->text();
      for (QAbstractButton* b : box->buttons())
        if (b->text() == button || (button.isEmpty() && box->buttons().size() == 1)) return b->click();
      box->reject();
    });
  };
  answer("&Cancel");
  learn->click();
  EXPECT_EQ(offered,
            "The recording's steady driving gives these ratios:\n\n2nd gear: 2.047 (20 % of the steady samples)\n"
            "3rd gear: 1.417 (30 % of the steady samples)\n4th gear: 1.104 (10 % of the steady samples)\n"
            "5th gear: 0.870 (40 % of the steady samples)\n\nUse them as the gear ratios?");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], (std::pair<double, double>{4.133, 1.856}));
  EXPECT_EQ(form.Edit(TSettingsField::Ratio2nd)->text(), "2.052");
  answer("&Use These Ratios");
  learn->click();
  EXPECT_EQ(form.Edit(TSettingsField::Ratio1st)->text(), "3.25");  // not found: kept
  EXPECT_EQ(form.Edit(TSettingsField::Ratio2nd)->text(), "2.0471");
  EXPECT_EQ(form.Edit(TSettingsField::Ratio5th)->text(), "0.8703");

  found = {};
  found.Problem = "too little steady driving: 3 steady samples above 15 km/h, at least 20 are needed";
  answer("");
  learn->click();
  EXPECT_EQ(offered,
            "No gear ratios were learned: too little steady driving: 3 steady samples above 15 km/h, at least "
            "20 are needed.");
  EXPECT_EQ(form.Edit(TSettingsField::Ratio2nd)->text(), "2.0471");
}

}  // namespace
