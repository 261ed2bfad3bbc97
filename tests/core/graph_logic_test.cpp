// The strip chart's layout, time axis, traces and window rules, without drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "TestSupport.h"
#include "rules/GraphListLogic.h"
#include "rules/GraphModel.h"
#include "rules/TraceSummary.h"
#include "vars/Formatters.h"

namespace {

TGraphMetrics Metrics(int labelWidth = 30) {
  TGraphMetrics m;
  m.ZeroWidth = 6;
  m.ZeroHeight = 13;
  m.MarginTextWidth = 36;
  m.SpacingTextHeight = 13;
  m.TimeTextWidths = {labelWidth, labelWidth, labelWidth};
  return m;
}

class GraphTest : public CatalogueTest {
 protected:
  void SetUp() override {
    CatalogueTest::SetUp();
    selection_ = std::make_unique<TVarRefList>(*sensors_->DisplayVars);
  }
  void TearDown() override {
    SetCurrentRecording(core_, nullptr);
    delete rec_;
    CatalogueTest::TearDown();
  }
  // A current recording of the given length with empty histories for every raw variable.
  TRecording* Record(double seconds) {
    rec_ = new TRecording(*sensors_->RawVars);
    rec_->CreateHistories();
    rec_->LengthMs = static_cast<uint32_t>(seconds * 1000);
    SetCurrentRecording(core_, rec_);
    return rec_;
  }
  TVarHist& HistoryOf(uint32_t displayId) { return *sensors_->FindDisplay(displayId)->History(); }
  TGraphModel Model(int width, int height, int labelWidth = 30) {
    TGraphModel g(selection_.get(), Metrics(labelWidth), TGraphSurface::Screen);
    g.Width = width;
    g.Height = height;
    return g;
  }

  std::unique_ptr<TVarRefList> selection_;
  TRecording* rec_ = nullptr;
};

constexpr uint32_t kRevs = 1008, kTps = 1002;

}  // namespace

TEST(GraphColours, NineColoursThreeTimesThenBlackAndTheirFills) {
  EXPECT_EQ(GraphPaneColour(0), 0xFF0000u);
  EXPECT_EQ(GraphPaneColour(8), 0xFFFF00u);
  EXPECT_EQ(GraphPaneColour(9), 0xFF0000u);
  EXPECT_EQ(GraphPaneColour(26), 0xFFFF00u);
  for (int i = 27; i <= 30; ++i) EXPECT_EQ(GraphPaneColour(i), 0u) << i;
  EXPECT_EQ(LightenedColour(0x800080), 0xFFAFFFu);
  EXPECT_EQ(LightenedColour(0x000000), 0xAFAFAFu);
}

TEST(GraphTimeAxis, TimeStepChoice) {
  struct Row {
    double labelWidth, pps, step;
  } rows[] = {
      {45, 800.0 / 1500, 120},  // s = 84.4
      {30, 800.0 / 9, 1},       // s = 0.34
      {10, 10, 1},              // s = 1 exactly
      {11, 10, 5},              // just over one second
      {50, 10, 10},             // s = 5 gives the next step
      {299, 1, 300},            // s = 299
      {300, 1, 600},            // s = 300
      {599, 1, 600},
      {700, 1, 1800},  // longer stretches keep labels apart
      {50, 0, 7200},     // no pixels: as at 0.01 pixels a second
      {500, 0.01, 43200},  // the widest step
  };
  for (const Row& r : rows) EXPECT_EQ(ChooseTimeStep(r.labelWidth, r.pps), r.step) << r.labelWidth << " " << r.pps;
  EXPECT_EQ(TimeMeasureIndex(599.9), 0);
  EXPECT_EQ(TimeMeasureIndex(600), 1);
  EXPECT_EQ(TimeMeasureIndex(5999), 1);
  EXPECT_EQ(TimeMeasureIndex(6000), 2);
}

TEST_F(GraphTest, A1500SecondWindowInAn800PixelPlotHasTwoMinuteLabels) {
  Record(2000);
  TGraphModel g = Model(800 + 36 + 6, 400, 45);
  g.EndTime = 1500;
  g.Layout(rec_);
  EXPECT_EQ(g.PlotWidth, 800);
  EXPECT_EQ(g.TimeStep, 120);
  const auto labels = g.TimeLabels();
  ASSERT_EQ(labels.size(), 13u);  // 0, 2:00 ... 24:00
  EXPECT_EQ(labels[1].Text, " 2:00");
  EXPECT_EQ(labels[2].Text, " 4:00");
  EXPECT_EQ(g.TimeToX(120), 100);
  EXPECT_EQ(labels[1].X, 77);  // 100 - 45 / 2, truncated
  EXPECT_EQ(labels[1].Y, 400 - 26);
  EXPECT_EQ(g.AxisCaption(40).X, (842 - 40) / 2);
}

TEST_F(GraphTest, ANineSecondWindowLabelsEverySecond) {
  Record(9);
  TGraphModel g = Model(842, 400, 30);
  g.Layout(rec_);
  EXPECT_EQ(g.EndTime, 9);  // an end of 0 becomes the recording's length
  EXPECT_EQ(g.TimeStep, 1);
  const auto labels = g.TimeLabels();
  ASSERT_EQ(labels.size(), 9u);
  EXPECT_EQ(labels.front().Text, " 0");
  EXPECT_EQ(labels.back().Text, " 8");
  EXPECT_EQ(g.TimeToX(4.5), 36 + 400);
}

TEST_F(GraphTest, WithoutARecordingTheWindowIsEmpty) {
  TGraphModel g = Model(842, 400);
  g.StartTime = 5;
  g.EndTime = 30;
  g.Layout(nullptr);
  EXPECT_EQ(g.StartTime, 0);
  EXPECT_EQ(g.EndTime, 0);
  EXPECT_EQ(g.PixelsPerSecond, 0);
  EXPECT_TRUE(g.GridTimes().empty());
}

TEST_F(GraphTest, ThirtyThreeSensorsDrawThirtyOnePanesSizedForThirtyThree) {
  Record(60);
  for (int i = 0; i < 33; ++i) selection_->AddId(sensors_->Display(i)->Id);
  TGraphModel g = Model(842, 800);
  g.Layout(rec_);
  EXPECT_EQ(g.PaneCount, 31);
  const int available = 800 - 4 - 13 - 13 * 33;
  EXPECT_EQ(g.Panes[0].Height, available / 33);
  EXPECT_EQ(g.Panes[0].Top, 4);
  EXPECT_EQ(g.Panes[30].Top, 4 + 30 * (available / 33 + 13));
  EXPECT_EQ(g.NextPaneTop, 4 + 31 * (available / 33 + 13));
  EXPECT_LT(g.NextPaneTop, 800 - 13 - 2 * 13);  // blank space below the last pane
  EXPECT_EQ(g.Panes[27].Colour, 0u);
  EXPECT_EQ(g.Panes[30].Colour, 0u);
  EXPECT_EQ(g.Panes[10].Colour, 0x0000FFu);
}

TEST_F(GraphTest, TheTickDoublesUntilLabelsHaveRoom) {
  Record(10);
  TDisplayVar* revs = sensors_->FindDisplay(kRevs);
  revs->RangeMin = 0;
  revs->RangeMax = 8000;
  revs->Tick = 500;
  selection_->AddId(kRevs);
  TGraphModel g = Model(842, 100 + 4 + 13 + 13);
  g.Layout(rec_);
  ASSERT_EQ(g.Panes[0].Height, 100);
  EXPECT_EQ(g.Panes[0].Tick, 2000);
  std::vector<std::string> labels;
  for (const TGridLine& l : g.ValueGrid(g.Panes[0])) labels.push_back(l.Label);
  EXPECT_EQ(labels, (std::vector<std::string>{"0", "2000", "4000", "6000", "8000"}));
  EXPECT_EQ(g.ValueGrid(g.Panes[0])[1].Pos, 100 + 4 - 25);
}

TEST_F(GraphTest, ASmallRangeKeepsItsTickButCrowdedLabelsStayApart) {
  Record(10);
  TDisplayVar* tps = sensors_->FindDisplay(kTps);
  tps->RangeMin = 0;
  tps->RangeMax = 1;
  tps->Tick = 0.25;
  selection_->AddId(kTps);
  TGraphModel g = Model(842, 30 + 4 + 13 + 13);
  g.Layout(rec_);
  EXPECT_EQ(g.Panes[0].Tick, 0.25);
  const auto grid = g.ValueGrid(g.Panes[0]);
  ASSERT_EQ(grid.size(), 5u);  // every grid line is drawn
  EXPECT_EQ(grid[0].Label, "0.00");
  int shown = 0, last = 1 << 20;
  for (const auto& line : grid)
    if (!line.Label.empty()) {
      EXPECT_GE(last - line.Pos, 13);
      last = line.Pos;
      ++shown;
    }
  EXPECT_EQ(shown, 3);  // 30 pixels: 0.00, 0.50, 1.00
}

TEST_F(GraphTest, ATinyControlKeepsThePreviousPanes) {
  Record(10);
  selection_->AddId(kRevs);
  TGraphModel g = Model(842, 300);
  g.Layout(rec_);
  const TGraphlet before = g.Panes[0];
  g.Height = 20;
  g.Layout(rec_);
  EXPECT_EQ(g.Panes[0].Top, before.Top);
  EXPECT_EQ(g.Panes[0].Height, before.Height);
}

TEST_F(GraphTest, AnUnknownIdGivesAnEmptyPane) {
  Record(10);
  selection_->AddId(99999);
  TGraphModel g = Model(842, 300);
  g.Layout(rec_);
  ASSERT_EQ(g.PaneCount, 1);
  EXPECT_EQ(g.Panes[0].Variable, nullptr);
  EXPECT_EQ(g.Panes[0].History, nullptr);
  EXPECT_TRUE(g.ValueGrid(g.Panes[0]).empty());
  EXPECT_TRUE(g.TracePoints(g.Panes[0], nullptr).empty());
  EXPECT_FALSE(g.GridTimes().empty());  // the time grid only
}

TEST_F(GraphTest, FewSamplesArePlottedExactlyBetweenTheBottomCorners) {
  Record(10);
  TVarHist& h = HistoryOf(kTps);
  for (int i = 0; i < 10; ++i) h.Append(static_cast<uint32_t>(i * 100000), static_cast<uint16_t>(i * 20));
  selection_->AddId(kTps);
  TGraphModel g = Model(842, 300);
  g.Layout(rec_);
  const TGraphlet& p = g.Panes[0];
  TDisplayVar* tps = sensors_->FindDisplay(kTps);
  TTraceSummary summary(*tps, h, tps->Unit);
  const auto pts = g.TracePoints(p, &summary);
  ASSERT_EQ(pts.size(), 1u + 10u + 2u);
  EXPECT_EQ(pts.front(), (TTracePoint{p.Left, p.Bottom()}));
  EXPECT_EQ(pts[pts.size() - 2], (TTracePoint{p.Left + p.Width, p.Bottom()}));
  EXPECT_EQ(pts.back(), (TTracePoint{p.Left, p.Bottom()}));
  const double v = tps->GetValueAtIndex(tps->Unit, 3);
  EXPECT_EQ(pts[4], (TTracePoint{static_cast<int>(p.Left + 3.0 * g.PixelsPerSecond),
                                 static_cast<int>(p.Bottom() - (v - p.Minimum) * p.PixelsPerUnit)}));
}

TEST_F(GraphTest, AnEmptyHistoryDrawsNoLine) {
  Record(10);
  selection_->AddId(kTps);
  TGraphModel g = Model(842, 300);
  g.Layout(rec_);
  ASSERT_NE(g.Panes[0].History, nullptr);
  EXPECT_TRUE(g.TracePoints(g.Panes[0], nullptr).empty());
}

TEST_F(GraphTest, AOneSampleSpikeAmongMillionsShowsAtFullLength) {
  constexpr int32_t n = 3'000'000, spike = 1'234'567;
  Record(n / 100.0);
  TVarHist& h = HistoryOf(kTps);
  for (int32_t i = 0; i < n; ++i) h.Append(static_cast<uint32_t>(i) * 1000, i == spike ? 230 : 40);
  selection_->AddId(kTps);
  TGraphModel g = Model(842, 300);
  g.Layout(rec_);
  const TGraphlet& p = g.Panes[0];
  TDisplayVar* tps = sensors_->FindDisplay(kTps);
  TTraceSummary summary(*tps, h, tps->Unit);
  const auto pts = g.TracePoints(p, &summary);
  const int spikeY = p.ValueToY(tps->Convert(tps->Unit, 230));
  const int spikeX = static_cast<int>(p.Left + h.TimeOf(spike) * g.PixelsPerSecond);
  ASSERT_LE(pts.size(), static_cast<size_t>(2 * p.Width + 8));
  auto at = std::find(pts.begin(), pts.end(), TTracePoint{spikeX, spikeY});
  EXPECT_NE(at, pts.end()) << "spike at x " << spikeX;
  // Every other column stays flat.
  const int flatY = p.ValueToY(tps->Convert(tps->Unit, 40));
  for (const auto& pt : pts) {
    if (pt.X != spikeX && pt.Y != p.Bottom()) {
      EXPECT_EQ(pt.Y, flatY) << pt.X;
    }
  }
}

TEST_F(GraphTest, TimesThatGoBackwardsStillDrawAndEnd) {
  Record(50);
  TVarHist& h = HistoryOf(kTps);
  // The tick counter wrapped: times climb, fall back to zero and climb again.
  for (int32_t i = 0; i < 200'000; ++i) h.Append(static_cast<uint32_t>((i % 120'000) * 40), static_cast<uint16_t>(i % 250));
  selection_->AddId(kTps);
  TGraphModel g = Model(842, 300);
  g.Layout(rec_);
  TDisplayVar* tps = sensors_->FindDisplay(kTps);
  TTraceSummary summary(*tps, h, tps->Unit);
  const auto pts = g.TracePoints(g.Panes[0], &summary);
  EXPECT_GE(pts.size(), 3u);
  EXPECT_LE(pts.size(), 200'004u);
}

TEST_F(GraphTest, SummaryExtremesMatchEverySampleAsTheHistoryGrows) {
  Record(10);
  TVarHist& h = HistoryOf(kTps);
  TDisplayVar* tps = sensors_->FindDisplay(kTps);
  TTraceSummary summary(*tps, h, tps->Unit);
  std::mt19937 rnd(7);
  uint32_t t = 0;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 20'000; ++i) h.Append(t += 10, static_cast<uint16_t>(rnd() % 256));
    summary.Extend();
    for (int q = 0; q < 200; ++q) {
      const int32_t a = static_cast<int32_t>(rnd() % static_cast<uint32_t>(h.Count()));
      const int32_t b = a + 1 + static_cast<int32_t>(rnd() % static_cast<uint32_t>(h.Count() - a));
      double lo = 0, hi = 0;
      summary.MinMax(a, b, lo, hi);
      double elo = 1e300, ehi = -1e300;
      for (int32_t k = a; k < b; ++k) {
        elo = std::min(elo, tps->GetValueAtIndex(tps->Unit, k));
        ehi = std::max(ehi, tps->GetValueAtIndex(tps->Unit, k));
      }
      ASSERT_NEAR(lo, elo, 1e-4) << a << ".." << b;
      ASSERT_NEAR(hi, ehi, 1e-4) << a << ".." << b;
    }
  }
  EXPECT_GT(summary.Summarised(), 59'000);
}

TEST(GraphWindow, ZoomKeepsThePositionInside) {
  TTimeWindow in = ZoomInWindow(10, 20);
  EXPECT_DOUBLE_EQ(in.Start, 2);
  EXPECT_DOUBLE_EQ(in.End, 18);
  TTimeWindow out = ZoomOutWindow(10, 20);  // would start before 0
  EXPECT_DOUBLE_EQ(out.Start, 0);
  EXPECT_DOUBLE_EQ(out.End, 24);
  out = ZoomOutWindow(30, 20);
  EXPECT_DOUBLE_EQ(out.Start, 18);
  EXPECT_DOUBLE_EQ(out.End, 42);
}

TEST(GraphWindow, TheCursorIsClampedAndTheWindowJumpsToKeepIt) {
  TCursorMove m = MoveCursor(-3, 60, 10, 20, 10);
  EXPECT_EQ(m.Position, 0);
  EXPECT_TRUE(m.WindowMoved);
  EXPECT_EQ(m.Start, 0);
  EXPECT_EQ(m.End, 10);
  m = MoveCursor(75, 60, 10, 20, 10);
  EXPECT_EQ(m.Position, 60);
  EXPECT_EQ(m.End, 60);
  EXPECT_EQ(m.Start, 50);
  m = MoveCursor(15, 60, 10, 20, 10);
  EXPECT_FALSE(m.WindowMoved);
  EXPECT_EQ(m.Start, 10);
  EXPECT_EQ(MoveCursor(std::nan(""), 60, 0, 10, 10).Position, 0);
}

TEST(GraphLabels, ValueAndCursorTexts) {
  EXPECT_EQ(ValueLabelText(2000, 500), "2000");
  EXPECT_EQ(ValueLabelText(-0.5, 1), "0");
  EXPECT_EQ(ValueLabelText(0.25, 0.25), "0.25");
  EXPECT_EQ(CursorTimeText(83.5), FormatSeconds(83.5));
  EXPECT_EQ(PixelOf(std::nan("")), 0);
  EXPECT_EQ(PixelOf(1e300), 10000000);
}

TEST_F(GraphTest, TheCursorValueIsTheSampleInForceWithItsUnit) {
  Record(10);
  TVarHist& h = HistoryOf(kTps);
  h.Append(0, 10);
  h.Append(200000, 200);
  TDisplayVar* tps = sensors_->FindDisplay(kTps);
  const std::string unit = UnitText(tps->Unit, *core_.Settings);
  EXPECT_EQ(CursorValueText(*tps, 1.5), FormatValue(tps->Unit, tps->Convert(tps->Unit, 10)) + " " + unit);
  EXPECT_EQ(CursorValueText(*tps, 2.5), FormatValue(tps->Unit, tps->Convert(tps->Unit, 200)) + " " + unit);
  EXPECT_EQ(CursorValueText(*sensors_->FindDisplay(kRevs), 1), "");  // no samples
}

TEST_F(GraphTest, GraphListSortsByNameAndAppliesOnlyOnOk) {
  TVarRefList target(*sensors_->DisplayVars);
  target.AddId(kRevs);
  TGraphListLogic list(target, *sensors_->DisplayVars);
  const auto& items = list.Items();
  ASSERT_EQ(static_cast<int>(items.size()), sensors_->DisplayVars->Count());
  for (size_t i = 1; i < items.size(); ++i) {
    std::string a = items[i - 1].Name, b = items[i].Name;
    std::transform(a.begin(), a.end(), a.begin(), ::tolower);
    std::transform(b.begin(), b.end(), b.begin(), ::tolower);
    EXPECT_LE(a, b);
  }
  int revs = -1, tps = -1;
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].Id == kRevs) revs = static_cast<int>(i);
    if (items[i].Id == kTps) tps = static_cast<int>(i);
  }
  EXPECT_TRUE(items[static_cast<size_t>(revs)].Selected);
  EXPECT_EQ(list.Current(), 0);
  list.SetSelected(revs, false);
  list.SetSelected(tps, true);
  EXPECT_TRUE(target.ContainsId(kRevs));  // nothing changes before OK
  list.Accept();
  EXPECT_FALSE(target.ContainsId(kRevs));
  EXPECT_TRUE(target.ContainsId(kTps));
}

TEST_F(GraphTest, GraphListDoubleClickTogglesOnlyThatItem) {
  TVarRefList target(*sensors_->DisplayVars);
  TGraphListLogic list(target, *sensors_->DisplayVars);
  for (int i = 0; i < 3; ++i) list.SetSelected(i, true);
  list.Toggle(5);
  ASSERT_EQ(target.Count(), 1);
  EXPECT_EQ(target.IdAt(0), list.Items()[5].Id);
  list.Toggle(5);
  EXPECT_EQ(target.Count(), 0);
}

TEST_F(GraphTest, GraphListOfAnEmptySourceChangesNothing) {
  TVarRefList target(*sensors_->DisplayVars);
  target.AddId(kTps);
  TVarRefList empty(*sensors_->DisplayVars);
  TGraphListLogic list(target, empty);
  EXPECT_TRUE(list.Items().empty());
  EXPECT_EQ(list.Current(), -1);
  list.Accept();
  EXPECT_EQ(target.Count(), 1);
}

TEST(GraphTraceDrawing, ColumnSpansJoinEachColumnToThePrevious) {
  // Bottom corner, two columns of extremes, bottom corners.
  const std::vector<TTracePoint> pts = {{10, 100}, {10, 40}, {10, 60}, {11, 80}, {11, 70}, {12, 50}, {200, 100}, {10, 100}};
  const auto spans = ColumnSpans(pts);
  ASSERT_EQ(spans.size(), 3u);
  EXPECT_EQ(spans[0], (TTraceSpan{10, 40, 100, 40}));  // from the bottom corner up
  EXPECT_EQ(spans[1], (TTraceSpan{11, 60, 80, 70}));   // joined to 60, the previous column's last
  EXPECT_EQ(spans[2], (TTraceSpan{12, 50, 70, 50}));
  EXPECT_TRUE(ColumnSpans({{0, 0}, {5, 5}, {0, 0}}).empty());
}

TEST(GraphTraceDrawing, FillTopsFollowTheLineAcrossEachColumn) {
  // From the bottom-left corner up to (12, 50), across to (16, 90), to the bottom-right corner.
  const std::vector<TTracePoint> pts = {{10, 100}, {12, 50}, {16, 90}, {20, 100}, {10, 100}};
  const auto tops = FillTops(pts, 10, 10, 100);
  ASSERT_EQ(tops.size(), 10u);
  EXPECT_EQ(tops[0], 100);
  EXPECT_EQ(tops[1], 75);
  EXPECT_EQ(tops[2], 50);
  EXPECT_EQ(tops[4], 70);
  EXPECT_EQ(tops[6], 90);
  EXPECT_EQ(tops[9], 98);  // the last segment back down to the corner
  EXPECT_EQ(FillTops({}, 10, 3, 100), (std::vector<int>{100, 100, 100}));
}
