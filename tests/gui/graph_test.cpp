// The strip chart drawn offscreen: panes, traces, cursor, a spike in a long recording, the
// rubber band, the printout and the graph list dialog.
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
#include "GuiSupport.h"
#include "windows/GraphListForm.h"
#include "widgets/GraphControl.h"
#include "widgets/GraphPrint.h"
#include "vars/Formatters.h"

namespace {

constexpr uint32_t kRevs = 1008, kTps = 1002;

// A recording of the given length with every raw variable sampled rateHz times a second along
// a slow wave, and one raw value of 250 for the TPS at spikeAt seconds (none when negative).
class GraphControlTest : public ::testing::Test {
 protected:
  void SetUp() override { t_.sensors.SetDefaultRanges(); }

  TRecording* Record(double seconds, double rateHz, double spikeAt = -1) {
    auto* rec = new TRecording(*t_.sensors.RawVars);
    rec->SetDescription("Test run");
    rec->CreateHistories();
    const auto n = static_cast<int64_t>(seconds * rateHz);
    for (int h = 0; h < rec->HistoryCount(); ++h) {
      TVarHist* hist = rec->History(h);
      const bool tps = hist == rec->HistoryFor(*t_.sensors.FindDisplay(kTps)->Source.load());
      for (int64_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rateHz;
        auto raw = static_cast<uint16_t>(60 + 50 * std::sin(t / 7 + h));
        if (tps && spikeAt >= 0 && std::abs(t - spikeAt) < 0.5 / rateHz) raw = 250;
        hist->Append(static_cast<uint32_t>(t * 100000), raw);
      }
    }
    rec->LengthMs = static_cast<uint32_t>(seconds * 1000);
    t_.recordings.Add(rec);
    SetCurrentRecording(t_.core, rec);
    return rec;
  }
  void Select(int count) {
    selection_.Clear();
    for (int i = 0; i < count; ++i) selection_.AddId(t_.sensors.Display(i)->Id);
  }

  TGuiCore t_;
  TVarRefList selection_{*t_.sensors.DisplayVars};
};

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
  Record(11 * 3600.0, 5, 23456.0);
  selection_.AddId(kTps);
  TGraphControl g(nullptr, selection_, t_.core);
  g.resize(1280, 400);
  g.RecordingChanged();
  const QImage shot = RenderWidget(g, 1.0);
  SaveArtifact(shot, "graph_11h_spike@1x");
  SaveArtifact(RenderWidget(g, 2.0), "graph_11h_spike@2x");
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
  EXPECT_EQ(m.TracePoints(m.Panes[0], &s).size(), 3u + 11u);
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
  const double v = revs->Convert(revs->Unit, h->RawOf(h->IndexAt(12.34)));
  EXPECT_EQ(texts[0], FormatValue(revs->Unit, v) + " " + UnitText(revs->Unit, *t_.core.Settings));
  EXPECT_FALSE(texts[1].empty());
  EXPECT_TRUE(texts[2].empty());
  EXPECT_EQ(g.CursorTimeText(), FormatSeconds(12.34));
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

TEST_F(GraphControlTest, DraggingDrawsTheRubberBand) {
  Record(10, 2);
  Select(1);
  TGraphControl g(nullptr, selection_, t_.core);
  g.resize(600, 300);
  g.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
  QTest::mousePress(&g, Qt::LeftButton, {}, QPoint(100, 80));
  QMouseEvent move(QEvent::MouseMove, QPointF(300, 200), g.mapToGlobal(QPointF(300, 200)), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&g, &move);
  QTest::mouseRelease(&g, Qt::LeftButton, {}, QPoint(300, 200));
  EXPECT_TRUE(g.RectangleShown());
  EXPECT_EQ(g.Rectangle(), QRect(QPoint(100, 80), QPoint(300, 200)));
  const QImage shot = RenderWidget(g, 1.0);
  EXPECT_GT(CountNear(shot, QRect(100, 80, 201, 1), QColor(255, 0, 0), 40), 30);
  QTest::mousePress(&g, Qt::LeftButton, {}, QPoint(50, 50));
  EXPECT_FALSE(g.RectangleShown());
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
