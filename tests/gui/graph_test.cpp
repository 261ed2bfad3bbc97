// The strip chart drawn offscreen: panes, traces, cursor, a spike in a long recording, the
// printout and the graph list dialog.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <cmath>
#include <filesystem>

#include "CoreSupport.h"
#include "GraphSupport.h"
#include "GuiSupport.h"
#include "windows/GraphListForm.h"
#include "widgets/GraphControl.h"
#include "widgets/GraphPrint.h"
#include "vars/Formatters.h"

namespace {

constexpr uint32_t kRevs = 1008, kTps = 1002;

TEST_F(GraphControlTest, PanesTracesAndTheCursorAtEveryScale) {
  Record(60, 20);
  for (int count : {1, 6, 18, 33}) {
    Select(count);
    TGraphControl g(nullptr, selection_, t_.core);
    g.resize(1280, 760);
    g.RecordingChanged();
    g.SetPosition(30);
    for (qreal dpr : {1.0, 2.0}) {
      const QImage shot = RenderWidget(g, dpr);
      SaveArtifact(shot, QString("graph_1min_%1sensors@%2x").arg(count).arg(dpr));
      const TGraphModel& m = g.Graph().Model;
      ASSERT_EQ(m.PaneCount, std::min(count, 31));
      const int x = m.TimeToX(30);
      const QRect cursor(x, m.TopMargin + 2, 1, m.NextPaneTop - m.TopMargin - 4);
      EXPECT_GT(CountNear(shot, cursor, QColor(0, 0, 255), 40), cursor.height() / 2) << count;
      // The first pane's trace is red; with 33 sensors the last panes draw in black.
      const TGraphlet& first = m.Panes[0];
      EXPECT_GT(CountNear(shot, QRect(first.Left, first.Top, first.Width, first.Height), QColor(255, 0, 0), 40), 20);
      if (count == 33) {
        const TGraphlet& last = m.Panes[30];
        EXPECT_EQ(last.Colour, 0u);
        EXPECT_GT(CountNear(shot, QRect(last.Left + 4, last.Top, last.Width - 8, last.Height), QColor(0, 0, 0), 40), 20);
      }
    }
  }
}

TEST_F(GraphControlTest, ASpikeInAnElevenHourRecordingShowsAtFullLength) {
  RecordSpike(11 * 3600.0, 5, 23456.0);
  selection_.AddId(kTps);
  auto chart = Chart(1280, 400);
  TGraphControl& g = *chart;
  const QImage shot = Shots(g, "graph_11h_spike");
  const TGraphModel& m = g.Graph().Model;
  const TGraphlet& p = m.Panes[0];
  ASSERT_EQ(m.EndTime, 11 * 3600.0);
  const int x = m.TimeToX(23456.0);
  // The spike goes past the top of the pane, in the trace's colour, at its column only.
  TDisplayVar* tps = t_.sensors.FindDisplay(kTps);
  ASSERT_LT(p.ValueToY(tps->Convert(tps->Unit, 250)), p.Top);
  const int top = p.Top + 1;
  EXPECT_GT(CountNear(shot, QRect(x - 1, top, 3, 4), QColor(255, 0, 0), 60), 0);
  EXPECT_EQ(CountNear(shot, QRect(p.Left + 200, top, x - p.Left - 210, 4), QColor(255, 0, 0), 60), 0);  // right of the name
}

TEST_F(GraphControlTest, ZoomedInToSingleSamples) {
  Record(60, 20);
  Select(6);
  TGraphControl g(nullptr, selection_, t_.core);
  g.resize(900, 600);
  g.RecordingChanged();
  g.SetWindow(10, 10.5);  // ten samples across the plot
  g.SetPosition(10.25);
  for (qreal dpr : {1.0, 2.0}) SaveArtifact(RenderWidget(g, dpr), QString("graph_single_samples@%1x").arg(dpr));
  const TGraphModel& m = g.Graph().Model;
  EXPECT_DOUBLE_EQ(m.TimeSpan, 0.5);
  // Each sample of the first pane is a point of its trace.
  TTraceSummary& s = g.Graph().Traces().For(*m.Panes[0].Variable, *m.Panes[0].History, m.Panes[0].Variable->Unit);
  EXPECT_EQ(m.Trace(m.Panes[0], m.Panes[0].OwnTrace(), &s).Points.size(), 11u);
}

TEST_F(GraphControlTest, TheCursorShowsEachSensorsValueAndTheTime) {
  Record(60, 20);
  selection_.AddId(kRevs);
  selection_.AddId(kTps);
  selection_.AddId(99999);  // resolves to nothing: a white pane with no value
  TGraphControl g(nullptr, selection_, t_.core);
  g.resize(900, 500);
  g.RecordingChanged();
  g.SetPosition(12.34);
  const auto texts = g.CursorValueTexts();
  ASSERT_EQ(texts.size(), 3u);
  TDisplayVar* revs = t_.sensors.FindDisplay(kRevs);
  TVarHist* h = revs->History();
  const double v = revs->Convert(revs->Unit, h->RawOf(h->IndexAtSeconds(12.34)));
  EXPECT_EQ(texts[0], FormatValue(revs->Unit, v) + " " + UnitText(revs->Unit, *t_.core.Settings));
  EXPECT_FALSE(texts[1].empty());
  EXPECT_TRUE(texts[2].empty());
  EXPECT_EQ(g.CursorTimeText(), ::CursorTimeText(12.34));
  const QImage shot = RenderWidget(g, 1.0);
  SaveArtifact(shot, "graph_cursor_values");
  const TGraphlet& white = g.Graph().Model.Panes[2];
  EXPECT_EQ(CountNear(shot, QRect(white.Left + 2, white.Top + 2, 40, white.Height - 4), QColor(192, 192, 192), 4), 0);
  // Zoomed away from the cursor, nothing is shown.
  g.SetWindow(30, 40);
  EXPECT_TRUE(g.CursorValueTexts()[0].empty());
  EXPECT_EQ(g.CursorTimeText(), "");
}

TEST_F(GraphControlTest, TheWindowFollowsTheCursorAndClampsItsEnds) {
  Record(60, 2);
  Select(2);
  TGraphControl g(nullptr, selection_, t_.core);
  g.resize(800, 400);
  g.RecordingChanged();
  g.SetWindow(20, 30);
  g.SetPosition(-3);
  EXPECT_EQ(g.Position(), 0);
  EXPECT_EQ(g.StartTime(), 0);
  EXPECT_EQ(g.EndTime(), 10);
  g.SetPosition(100);
  EXPECT_EQ(g.Position(), 60);
  EXPECT_EQ(g.EndTime(), 60);
  EXPECT_EQ(g.StartTime(), 50);
  g.SetEndTime(90);  // never past the recording
  EXPECT_EQ(g.EndTime(), 60);
  SetCurrentRecording(t_.core, nullptr);
  g.RecordingChanged();
  g.SetEndTime(30);
  EXPECT_EQ(g.EndTime(), 0);  // the layout resets it without a recording
  EXPECT_EQ(g.StartTime(), 0);
}

TEST_F(GraphControlTest, ThePrintoutIsOnePageWithTheTitleAndTraces) {
  Record(60, 20);
  selection_.Clear();
  selection_.AddId(kTps);  // the first pane, red
  selection_.AddId(kRevs);
  QTemporaryDir tmp;
  const std::string dir = tmp.path().toStdString();
  const std::string pdf = dir + "/graph.pdf";
  {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    QPainter p;
    ASSERT_TRUE(p.begin(&printer));
    TGraphPrint page(printer, selection_, t_.core);
    page.SetStartTime(5);
    page.SetEndTime(95);
    EXPECT_EQ(page.Graph().Model.EndTime, 60);
    EXPECT_EQ(page.Graph().Model.TracePenWidth, 4 * printer.resolution() / 300);
    EXPECT_EQ(page.Graph().Model.TopMargin, 5 * page.Graph().Model.TextHeight);
    page.Print(p);
    ASSERT_TRUE(p.end());
  }
  ASSERT_GT(std::filesystem::file_size(pdf), 1000u);
  if (QStandardPaths::findExecutable("pdftoppm").isEmpty()) GTEST_SKIP() << "pdftoppm is not installed";
  QProcess::execute("pdftoppm", {"-r", "60", "-png", QString::fromStdString(pdf), QString::fromStdString(dir + "/page")});
  int pages = 0;
  QImage image;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.path().extension() == ".png") {
      ++pages;
      image.load(QString::fromStdString(e.path().string()));
    }
  EXPECT_EQ(pages, 1);
  ASSERT_FALSE(image.isNull());
  SaveArtifact(image, "graph_printout");
  EXPECT_GT(CountNear(image, image.rect(), QColor(255, 0, 0), 60), 50);  // the first pane's trace
  EXPECT_GT(CountNear(image, QRect(0, 0, image.width(), image.height() / 40), QColor(0, 0, 0), 100), 10);  // title
}

// ---------------------------------------------------------------------------------------------

TEST_F(GraphControlTest, GraphListOkAppliesTheSelectionCancelKeepsTheTarget) {
  TVarRefList target(*t_.sensors.DisplayVars);
  target.AddId(kRevs);
  {
    TGraphListForm form(nullptr, target, *t_.sensors.DisplayVars, true);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QListWidget* list = form.List();
    EXPECT_EQ(list->count(), t_.sensors.DisplayVars->Count());
    EXPECT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(list->selectedItems()[0]->text(), QString::fromUtf8(t_.sensors.FindDisplay(kRevs)->Name));
    SaveArtifact(RenderWidget(form, 1.0), "graph_list_dialog@1x");
    SaveArtifact(RenderWidget(form, 2.0), "graph_list_dialog@2x");
    list->clearSelection();
    list->findItems(QString::fromUtf8(t_.sensors.FindDisplay(kTps)->Name), Qt::MatchExactly)[0]->setSelected(true);
    QTest::mouseClick(form.CancelButton(), Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Rejected);
  }
  EXPECT_EQ(target.Count(), 1);
  EXPECT_TRUE(target.ContainsId(kRevs));
  {
    TGraphListForm form(nullptr, target, *t_.sensors.DisplayVars, true);
    QListWidget* list = form.List();
    list->clearSelection();
    list->findItems(QString::fromUtf8(t_.sensors.FindDisplay(kTps)->Name), Qt::MatchExactly)[0]->setSelected(true);
    QTest::mouseClick(form.OkButton(), Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Accepted);
  }
  EXPECT_EQ(target.Count(), 1);
  EXPECT_TRUE(target.ContainsId(kTps));
}

TEST_F(GraphControlTest, GraphListDoubleClickTakesOnlyThatItem) {
  TVarRefList target(*t_.sensors.DisplayVars);
  TGraphListForm form(nullptr, target, *t_.sensors.DisplayVars, true);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  QListWidget* list = form.List();
  for (int i = 0; i < 3; ++i) list->item(i)->setSelected(true);
  const QRect r = list->visualItemRect(list->item(4));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, r.center());
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, r.center());
  EXPECT_EQ(form.result(), QDialog::Accepted);
  ASSERT_EQ(target.Count(), 1);
  EXPECT_EQ(QString::fromUtf8(t_.sensors.DisplayVars->FindById(target.IdAt(0))->Name), list->item(4)->text());
}

}  // namespace
