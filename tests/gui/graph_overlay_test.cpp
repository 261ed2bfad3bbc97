// The Graph menu's laps laid over each other and the compared run, through the real menu actions
// in the main window: enabling, the legend's clicks, the Δ time pane, the values at the cursor,
// the shift, the load error and the compared run going with either recording; screenshots.
#include <gtest/gtest.h>

#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "CoreSupport.h"
#include "GuiSupport.h"
#include "ProgramSupport.h"
#include "analysis/LapOverlay.h"
#include "vars/EcuType.h"
#include "widgets/GraphControl.h"
#include "windows/FileDialogs.h"
#include "windows/GraphOverlayMenu.h"

namespace {

using C = TOverlayCommand;

class GraphOverlay : public ProgramTest {
 protected:
  // A run of any ECU (speed raw = km/h x 100) with a sample every second: revs 1000 + 10 x the
  // second, the road speed speedOf(second), and lap signals at the given seconds.
  void WriteRun(const std::string& path, const char* description, int seconds, const std::vector<int>& lapEnds,
                const std::function<double(int)>& speedOf) {
    TRecording rec(*program_->Sensors.RawVars);
    rec.CreateHistories();
    rec.EcuModel = 4;
    rec.EcuFamily = FAMILY_ANY;
    TVarHist* revs = rec.HistoryFor(*program_->Sensors.RawRevs);
    TVarHist* speed = rec.HistoryById(static_cast<int32_t>(program_->Sensors.RawSpeed->IdIn(FAMILY_ANY)));
    ASSERT_NE(speed, nullptr);
    for (int s = 0; s <= seconds; ++s) {
      const auto t = static_cast<uint32_t>(s) * 100000u;
      revs->Append(t, static_cast<uint16_t>(1875000 / (1000 + 40 * (s % 60))));
      speed->Append(t, static_cast<uint16_t>(speedOf(s) * 100));
    }
    TVarHist* laps = rec.HistoryById(LapSignalVarId);
    for (size_t i = 0; i < lapEnds.size(); ++i) laps->Append(static_cast<uint32_t>(lapEnds[i]) * 100000u, static_cast<uint16_t>(i + 1));
    rec.LengthMs = static_cast<uint32_t>(seconds) * 1000u;
    rec.SetDescription(description);
    ASSERT_TRUE(rec.SaveToFile(path));
  }
  std::unique_ptr<TMainForm> Open(const std::string& path) {
    auto form = MakeWindow();
    form->resize(1100, 700);
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->activateWindow();
    EXPECT_TRUE(form->OpenRecentFile(path));
    QTest::keyClick(form.get(), Qt::Key_F3);
    EXPECT_EQ(form->Pages()->currentIndex(), TMainForm::tsGraphs);
    program_->GraphSensors.Clear();
    program_->GraphSensors.AddId(1008);  // revs
    program_->GraphSensors.AddId(1126);  // speed
    form->GraphView()->Rebuild();
    return form;
  }
  static QAction* Act(TMainForm& form, C c) { return form.GraphOverlayMenu()->Action(c); }
  // Answers the Compare With dialog with a file.
  static void AnswerCompare(const std::string& path) {
    WhenModal<QFileDialog>([path](QFileDialog* d) {
      EXPECT_EQ(d->objectName(), CompareDialogName);
      QTest::qWait(50);
      d->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(path));
      d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->click();
    });
  }
  // A click on the chart at x, halfway down the first pane.
  static void ClickAt(TGraphControl& g, int x, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    g.Buffer();  // laid out at its size
    const TGraphlet& pane = g.Graph().Model.Panes[0];
    QTest::mouseClick(&g, Qt::LeftButton, mods, QPoint(x, pane.Top + pane.Height / 2));
  }
  static QImage Shots(QWidget& w, const QString& name) {
    SaveArtifact(RenderWidget(w, 2.0), name + "@2x");
    const QImage shot = RenderWidget(w, 1.0);
    SaveArtifact(shot, name + "@1x");
    return shot;
  }
  // Three laps: 0..60 s at 100 km/h, 60..125 s slower through a corner, 125..183 s faster.
  std::string LapRun() {
    const std::string path = File("laps.rec");
    WriteRun(path, "Track day", 200, {60, 125, 183}, [](int s) { return s >= 80 && s < 100 ? 70.0 : s >= 125 ? 103.0 : 100.0; });
    return path;
  }
};

TEST_F(GraphOverlay, LapsLieOverEachOtherByTimeAndTheLegendShowsAndHidesThem) {
  const std::string plain = File("plain.rec");
  WriteRun(plain, "No laps", 30, {}, [](int) { return 50.0; });
  auto form = Open(plain);
  EXPECT_FALSE(Act(*form, C::OverlayLaps)->isEnabled());  // greyed without laps
  EXPECT_TRUE(Act(*form, C::CompareWith)->isEnabled());
  ASSERT_TRUE(form->OpenRecentFile(LapRun()));
  EXPECT_TRUE(Act(*form, C::OverlayLaps)->isEnabled());
  EXPECT_TRUE(Act(*form, C::LapAxisDistance)->isEnabled());
  EXPECT_TRUE(Act(*form, C::LapAxisTime)->isChecked());

  Act(*form, C::OverlayLaps)->trigger();
  TGraphControl& g = *form->GraphView();
  ASSERT_TRUE(g.Overlaying());
  EXPECT_TRUE(Act(*form, C::OverlayLaps)->isChecked());
  const TGraphModel& m = g.Graph().Model;
  EXPECT_EQ(m.AxisCaptionText, "Lap time (s)");
  EXPECT_DOUBLE_EQ(m.MaxTime, 65);  // the longest lap
  EXPECT_EQ(m.StartTime, 0);
  // The cursor 30 s into the laps: each lap's revs there, the fastest (lap 3) first.
  g.Buffer();
  ClickAt(g, m.TimeToX(30));
  EXPECT_NEAR(g.Position(), 30, 0.2);
  std::string revs = g.CursorValueTexts()[0];
  EXPECT_EQ(revs.rfind("L3 ", 0), 0u) << revs;
  EXPECT_NE(revs.find("  L1 "), std::string::npos) << revs;
  EXPECT_NE(revs.find("  L2 "), std::string::npos) << revs;
  EXPECT_NE(revs.find(" rpm"), std::string::npos) << revs;
  Shots(g, "graph-overlay-time");

  // A click on lap 2's legend row hides it; again shows it.
  const TLapLegendLayout& legend = g.Legend();
  ASSERT_EQ(legend.Rows.size(), 3u);
  QTest::mouseClick(&g, Qt::LeftButton, {}, QPoint(legend.Rows[1].TextX + 4, legend.Rows[1].Top + legend.RowHeight / 2));
  EXPECT_FALSE(g.Overlay()->Visible(1));
  EXPECT_EQ(g.CursorValueTexts()[0].find("L2 "), std::string::npos);
  EXPECT_DOUBLE_EQ(m.MaxTime, 60);  // the longest lap shown
  QTest::mouseClick(&g, Qt::LeftButton, {}, QPoint(legend.Rows[1].CheckX + 1, legend.Rows[1].Top + legend.RowHeight / 2));
  EXPECT_TRUE(g.Overlay()->Visible(1));

  // Off again: the recording's own time axis.
  Act(*form, C::OverlayLaps)->trigger();
  EXPECT_FALSE(g.Overlaying());
  EXPECT_EQ(m.AxisCaptionText, "Time (s)");
  EXPECT_DOUBLE_EQ(m.MaxTime, 200);
  EXPECT_EQ(m.PaneCount, 2);
}

TEST_F(GraphOverlay, ByDistanceTheDeltaTimePaneShowsTimeLostOnTheFastestLap) {
  auto form = Open(LapRun());
  Act(*form, C::LapAxisDistance)->trigger();  // chosen first, used when the laps show
  Act(*form, C::OverlayLaps)->trigger();
  TGraphControl& g = *form->GraphView();
  ASSERT_TRUE(g.Overlaying());
  EXPECT_TRUE(Act(*form, C::LapAxisDistance)->isChecked());
  const TGraphModel& m = g.Graph().Model;
  EXPECT_EQ(m.AxisCaptionText, "Distance (m)");
  ASSERT_EQ(m.PaneCount, 3);
  const TGraphlet& delta = m.Panes[2];
  EXPECT_EQ(delta.Title, "\xCE\x94 time");
  EXPECT_LE(delta.Minimum, 0);
  // Lap 2 lost its time in the slow corner: at 1500 m it is seconds behind lap 3.
  g.Buffer();
  ClickAt(g, m.TimeToX(1500));
  const std::string text = g.CursorValueTexts()[2];
  EXPECT_EQ(text.rfind("L1 ", 0), 0u) << text;
  EXPECT_NE(text.find("  L2 +"), std::string::npos) << text;
  EXPECT_NE(text.find(" s"), std::string::npos) << text;
  const double lost = std::stod(text.substr(text.find("L2 +") + 4));
  EXPECT_GT(lost, 3);
  EXPECT_GT(delta.Maximum, lost);
  Shots(g, "graph-overlay-distance");
  // Turning the laps off takes the pane away.
  Act(*form, C::LapAxisTime)->trigger();
  EXPECT_EQ(m.PaneCount, 2);
}

// Laps laid over each other by distance stay so when another recording with laps becomes current.
TEST_F(GraphOverlay, AnotherRecordingsLapsKeepTheChosenAxis) {
  auto form = Open(LapRun());
  const std::string other = File("other.rec");
  WriteRun(other, "Second session", 150, {70, 140}, [](int) { return 90.0; });
  Act(*form, C::LapAxisDistance)->trigger();
  Act(*form, C::OverlayLaps)->trigger();
  ASSERT_TRUE(form->OpenRecentFile(other));
  TGraphControl& g = *form->GraphView();
  ASSERT_TRUE(g.Overlaying());
  EXPECT_TRUE(Act(*form, C::LapAxisDistance)->isChecked());
  EXPECT_EQ(g.Graph().Model.AxisCaptionText, "Distance (m)");
}

TEST_F(GraphOverlay, AComparedRunLiesUnderThisOneShiftsToTheCursorAndGoesWithEitherRecording) {
  const std::string other = File("other.rec");
  WriteRun(other, "Last week", 150, {}, [](int s) { return s < 20 ? 0.0 : 90.0; });
  const std::string bad = File("bad.rec");
  WriteFileBytes(bad, "not a recording");
  auto form = Open(LapRun());
  TGraphControl& g = *form->GraphView();
  Act(*form, C::OverlayLaps)->trigger();
  EXPECT_FALSE(Act(*form, C::AlignReference)->isEnabled());

  // A file that is no recording: the message names it, nothing is compared.
  AnswerCompare(bad);
  Act(*form, C::CompareWith)->trigger();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].rfind("Could not compare with 'bad.rec':\n", 0), 0u) << messages_[0];
  EXPECT_FALSE(g.Comparing());
  EXPECT_TRUE(g.Overlaying());

  AnswerCompare(other);
  Act(*form, C::CompareWith)->trigger();
  ASSERT_TRUE(g.Comparing());
  EXPECT_FALSE(g.Overlaying());  // one or the other
  EXPECT_TRUE(Act(*form, C::CompareWith)->isChecked());
  EXPECT_EQ(g.Compare()->Caption(), "Compared with: Last week");
  const TGraphModel& m = g.Graph().Model;
  g.Buffer();
  ClickAt(g, m.TimeToX(50));
  std::string speed = g.CursorValueTexts()[1];
  EXPECT_NE(speed.find("  ref "), std::string::npos) << speed;

  // Ctrl+click marks the compared run's point (its own 20 s, where it starts moving); Align puts
  // it under the cursor.
  ClickAt(g, m.TimeToX(20), Qt::ControlModifier);
  ASSERT_TRUE(g.Compare()->Point());
  EXPECT_NEAR(*g.Compare()->Point(), 20, 0.5);
  EXPECT_NEAR(g.Position(), 50, 0.2);  // the cursor stayed
  Act(*form, C::AlignReference)->trigger();
  EXPECT_NEAR(g.Compare()->ReferenceTime(g.Position()), *g.Compare()->Point(), 1e-9);
  EXPECT_TRUE(Act(*form, C::ResetAlignment)->isEnabled());
  speed = g.CursorValueTexts()[1];
  EXPECT_NE(speed.find("ref 0"), std::string::npos) << speed;  // standing at its point
  Shots(g, "graph-compare");
  Act(*form, C::ResetAlignment)->trigger();
  EXPECT_FALSE(g.Compare()->Shifted());

  // Chosen again, the command removes it.
  Act(*form, C::CompareWith)->trigger();
  EXPECT_FALSE(g.Comparing());
  EXPECT_FALSE(Act(*form, C::CompareWith)->isChecked());

  // Closing the current recording removes it too.
  AnswerCompare(other);
  Act(*form, C::CompareWith)->trigger();
  ASSERT_TRUE(g.Comparing());
  answer_ = TCloseAnswer::No;
  form->Action(TCommand::actFileClose)->trigger();
  EXPECT_FALSE(g.Comparing());
  EXPECT_FALSE(Act(*form, C::CompareWith)->isEnabled());
}

}  // namespace
