// The strip chart's layout, time axis, traces and window rules, without drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <climits>
#include <map>
#include <random>

#include "TestSupport.h"
#include "rules/GraphListLogic.h"
#include "rules/GraphModel.h"
#include "rules/TraceSummary.h"
#include "vars/GraphSelection.h"
#include "vars/Conversions.h"
#include "vars/Formatters.h"

namespace {

constexpr uint32_t kRevs = 1008, kTps = 1002;

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
    selection_ = std::make_unique<TGraphSelection>(*sensors_->DisplayVars);
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
  // A chart of the TPS alone, width x 300, laid out over the recording, with its summary.
  struct TTpsChart {
    TGraphModel Model;
    TDisplayVar* Tps;
    TTraceSummary Summary;
    const TGraphlet& Pane() const { return Model.Panes[0]; }
    TTrace Trace() { return Model.Trace(Pane(), Pane().OwnTrace(), &Summary); }
  };
  TTpsChart TpsChart(int width = 842, double start = 0, double end = 0) {
    selection_->AddId(kTps);
    TGraphModel g = Model(width, 300);
    g.StartTime = start;
    g.EndTime = end;
    g.Layout(rec_);
    TDisplayVar* tps = sensors_->FindDisplay(kTps);
    return {g, tps, TTraceSummary(*tps, HistoryOf(kTps), tps->Unit)};
  }

  std::unique_ptr<TGraphSelection> selection_;
  TRecording* rec_ = nullptr;
};

}  // namespace

TEST(GraphColours, NineColoursThreeTimesThenBlackAndTheirFills) {
  EXPECT_EQ(GraphPaneColour(0), 0xFF0000u);
  EXPECT_EQ(GraphPaneColour(8), 0xFFFF00u);
  EXPECT_EQ(GraphPaneColour(9), 0xFF0000u);
  EXPECT_EQ(GraphPaneColour(26), 0xFFFF00u);
  for (int i = 27; i <= 30; ++i) EXPECT_EQ(GraphPaneColour(i), 0u) << i;
  EXPECT_EQ(LightenedColour(0x800080), 0xFFAFFFu);
  EXPECT_EQ(LightenedColour(0x000000), 0xAFAFAFu);
  // Only a colour that vanishes on white gets a dark edge: of the nine, the yellow.
  for (int i = 0; i < 9; ++i) EXPECT_EQ(TraceEdgeColour(GraphPaneColour(i)).has_value(), i == 8) << i;
  EXPECT_EQ(TraceEdgeColour(0xFFFF00), 0x727200u);
  EXPECT_TRUE(TraceEdgeColour(0xC0FFFF).has_value());
}

TEST_F(GraphTest, AChosenColourReplacesThePanesOwn) {
  Record(10);
  selection_->AddId(kRevs);
  selection_->AddId(kTps);
  selection_->SetColour(kTps, 0x00AA00);
  TGraphModel g = Model(842, 300);
  g.Layout(rec_);
  EXPECT_EQ(g.Panes[0].Colour, 0xFF0000u);
  EXPECT_EQ(g.Panes[1].Colour, 0x00AA00u);
  EXPECT_EQ(g.Panes[1].OwnTrace().Colour, 0x00AA00u);
  EXPECT_TRUE(g.Panes[1].OwnTrace().Fill);  // TPS fills under its line
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

TEST_F(GraphTest, CrowdedLabelsAreThinnedToAnEvenStep) {
  Record(10);
  TDisplayVar* tps = sensors_->FindDisplay(kTps);
  selection_->AddId(kTps);
  const struct {
    double max, tick;
    int height;
    std::vector<std::string> labels;  // of every grid line, empty where left out
  } rows[] = {
      {1, 0.25, 60, {"0.00", "0.25", "0.50", "0.75", "1.00"}},            // 15 pixels apart: all
      {1, 0.25, 30, {"0.00", "", "0.50", "", "1.00"}},                    // 7.5: every second
      {1, 0.1, 30, {"0.00", "", "", "", "", "", "", "", "0.80", "", ""}},  // 3: every eighth
      {4, 1, 20, {"0", "", "", "", "4"}},                                 // 5: every fourth
      {1, 0.5, 12, {"0.00", "", ""}},                                     // one label at most
  };
  for (const auto& row : rows) {
    tps->RangeMin = 0;
    tps->RangeMax = row.max;
    tps->Tick = row.tick;
    TGraphModel g = Model(842, row.height + 4 + 13 + 13);
    g.Layout(rec_);
    ASSERT_EQ(g.Panes[0].Height, row.height);
    EXPECT_EQ(g.Panes[0].Tick, row.tick);  // never doubled up to a maximum of 4
    std::vector<std::string> labels;
    int last = 1 << 20;
    for (const TGridLine& line : g.ValueGrid(g.Panes[0])) {
      labels.push_back(line.Label);
      if (line.Label.empty()) continue;
      EXPECT_GE(last - line.Pos, 13);  // shown labels never overlap
      last = line.Pos;
    }
    EXPECT_EQ(labels, row.labels) << row.max << " " << row.tick << " " << row.height;
  }
}

TEST_F(GraphTest, TimeLabelsAtTheEndsStayInsideAndApart) {
  Record(100);
  TGraphModel g = Model(36 + 600 + 6, 300, 30);
  auto width = [](const std::string& text) { return 6 * static_cast<int>(text.size()); };
  g.Metrics.TextWidth = width;
  const struct {
    double start, end;
    std::string first, last;
  } rows[] = {
      {0, 100, " 0", " 1:30"},      // "0" moved right, clear of the value labels
      {0.5, 90.2, " 5", " 1:25"},   // " 1:30", moved in at the right, would touch " 1:25"
  };
  for (const auto& row : rows) {
    g.StartTime = row.start;
    g.EndTime = row.end;
    g.LayoutTimeAxis(rec_);
    const auto labels = g.TimeLabels();
    ASSERT_GE(labels.size(), 2u);
    EXPECT_EQ(labels.front().Text, row.first);
    EXPECT_EQ(labels.back().Text, row.last);
    EXPECT_GE(labels.front().X, g.LeftMargin);
    for (size_t i = 0; i < labels.size(); ++i) {
      EXPECT_LE(labels[i].X + width(labels[i].Text), g.Width) << row.end;
      if (i > 0) {
        EXPECT_LT(labels[i - 1].X + width(labels[i - 1].Text), labels[i].X) << row.end;
      }
    }
  }
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
  EXPECT_TRUE(g.Trace(g.Panes[0], g.Panes[0].OwnTrace(), nullptr).Points.empty());
  EXPECT_FALSE(g.GridTimes().empty());  // the time grid only
}

TEST_F(GraphTest, TheLineJoinsItsSamplesToTheEdgesAndNoFurther) {
  Record(10);
  TVarHist& h = HistoryOf(kTps);
  for (int i = 0; i < 10; ++i) h.Append(static_cast<uint32_t>(50000 + i * 100000), static_cast<uint16_t>(30 + i * 20));
  TTpsChart c = TpsChart();
  TGraphModel& g = c.Model;
  const TGraphlet& p = c.Pane();
  auto pointOf = [&](int k) {
    return TTracePoint{PixelOf(p.Left + (h.TimeOf(k) - g.StartTime) * g.PixelsPerSecond), p.ValueToY(c.Tps->GetValueAtIndex(c.Tps->Unit, k))};
  };
  const struct {
    double start, end;
    int first, last;  // the samples the line runs from and to
  } rows[] = {
      {0, 10, 0, 9},  // begins at the first sample, half a second in: nothing is drawn before it
      {2, 8, 1, 8},   // from the sample in force at 2 s to the first after 8 s, beyond both edges
      {3.5, 6.5, 3, 6},
  };
  for (const auto& row : rows) {
    g.StartTime = row.start;
    g.EndTime = row.end;
    g.LayoutTimeAxis(rec_);
    const TTrace t = c.Trace();
    EXPECT_FALSE(t.Columns);
    ASSERT_EQ(t.Points.size(), static_cast<size_t>(row.last - row.first + 1)) << row.start;
    for (int k = row.first; k <= row.last; ++k) EXPECT_EQ(t.Points[static_cast<size_t>(k - row.first)], pointOf(k));
    for (const TTracePoint& pt : t.Points) EXPECT_NE(pt.Y, p.Bottom());  // never down to the bottom
  }
}

TEST_F(GraphTest, AnEmptyHistoryDrawsNoLine) {
  Record(10);
  selection_->AddId(kTps);
  TGraphModel g = Model(842, 300);
  g.Layout(rec_);
  ASSERT_NE(g.Panes[0].History, nullptr);
  EXPECT_TRUE(g.Trace(g.Panes[0], g.Panes[0].OwnTrace(), nullptr).Points.empty());
}

TEST_F(GraphTest, AOneSampleSpikeAmongMillionsShowsAtFullLength) {
  constexpr int32_t n = 3'000'000, spike = 1'234'567;
  Record(n / 100.0);
  TVarHist& h = HistoryOf(kTps);
  for (int32_t i = 0; i < n; ++i) h.Append(static_cast<uint32_t>(i) * 1000, i == spike ? 230 : 40);
  TTpsChart c = TpsChart();
  TGraphModel& g = c.Model;
  const TGraphlet& p = c.Pane();
  const TTrace t = c.Trace();
  ASSERT_TRUE(t.Columns);
  ASSERT_LE(t.Points.size(), static_cast<size_t>(2 * p.Width));
  const int spikeY = p.ValueToY(c.Tps->Convert(c.Tps->Unit, 230));
  const int spikeX = static_cast<int>(p.Left + h.TimeOf(spike) * g.PixelsPerSecond);
  const int flatY = p.ValueToY(c.Tps->Convert(c.Tps->Unit, 40));
  int spikes = 0;
  for (const auto& pt : t.Points) {
    if (pt.Y == spikeY) {
      ++spikes;
      EXPECT_LE(std::abs(pt.X - spikeX), 1);  // within its column's neighbours
    } else {
      EXPECT_EQ(pt.Y, flatY) << pt.X;  // every other column flat, also at either edge
    }
  }
  EXPECT_EQ(spikes, 1);
  EXPECT_EQ(t.Points.front().X, p.Left);
  EXPECT_EQ(t.Points.back().X, p.Left + p.Width - 1);
}

TEST_F(GraphTest, AWideViewPlacesEveryValueWithinAColumnOfItsTime) {
  // A slow sawtooth at 100 samples a second for about three hours: columns of many samples.
  constexpr int32_t n = 1'000'000;
  Record(n / 100.0);
  TVarHist& h = HistoryOf(kTps);
  for (int32_t i = 0; i < n; ++i) h.Append(static_cast<uint32_t>(i) * 1000, static_cast<uint16_t>(20 + i / 3000 % 200));
  TTpsChart c = TpsChart();
  TGraphModel& g = c.Model;
  const TGraphlet& p = c.Pane();
  for (double start : {0.0, 1234.5}) {
    g.StartTime = start;
    g.EndTime = start + 8000;
    g.LayoutTimeAxis(rec_);
    const TTrace t = c.Trace();
    ASSERT_TRUE(t.Columns);
    // The values of the samples in each column, from every sample.
    std::vector<std::pair<int, int>> truth(static_cast<size_t>(p.Width), {INT_MAX, INT_MIN});
    for (int32_t i = 0; i < n; ++i) {
      const int column = PixelOf((h.TimeOf(i) - g.StartTime) * g.PixelsPerSecond);
      if (column < 0 || column >= p.Width) continue;
      const int y = p.ValueToY(c.Tps->GetValueAtIndex(c.Tps->Unit, i));
      auto& [top, bottom] = truth[static_cast<size_t>(column)];
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
    for (const TTracePoint& pt : t.Points) {
      const int column = pt.X - p.Left;
      bool found = false;
      for (int d = -1; d <= 1 && !found; ++d) {
        const auto& [top, bottom] = truth[static_cast<size_t>(std::clamp(column + d, 0, p.Width - 1))];
        found = top <= pt.Y && pt.Y <= bottom;
      }
      EXPECT_TRUE(found) << "column " << column << " y " << pt.Y << " from " << start;
    }
  }
}

TEST_F(GraphTest, ANarrowViewOfManySamplesTakesEachColumnsExtremesExactly) {
  Record(100);
  TVarHist& h = HistoryOf(kTps);
  std::mt19937 rnd(3);
  for (int32_t i = 0; i < 10'000; ++i) h.Append(static_cast<uint32_t>(i) * 1000, static_cast<uint16_t>(rnd() % 250));
  TTpsChart c = TpsChart(36 + 800 + 6, 10.005, 34.005);  // 2400 samples over 800 columns
  TGraphModel& g = c.Model;
  const TGraphlet& p = c.Pane();
  const TTrace t = c.Trace();
  ASSERT_TRUE(t.Columns);
  std::map<int, std::pair<int, int>> truth;  // column x: highest and lowest point
  for (int32_t i = h.IndexAtSeconds(10.005); i <= h.IndexAtSeconds(34.005) + 1; ++i) {
    const int x = PixelOf(p.Left + (h.TimeOf(i) - g.StartTime) * g.PixelsPerSecond);
    const int y = p.ValueToY(c.Tps->GetValueAtIndex(c.Tps->Unit, i));
    auto [it, added] = truth.try_emplace(x, y, y);
    it->second = {std::min(it->second.first, y), std::max(it->second.second, y)};
  }
  std::map<int, std::pair<int, int>> drawn;
  for (const TTracePoint& pt : t.Points) {
    auto [it, added] = drawn.try_emplace(pt.X, pt.Y, pt.Y);
    it->second = {std::min(it->second.first, pt.Y), std::max(it->second.second, pt.Y)};
  }
  EXPECT_EQ(drawn, truth);
}

// 12.5 hours of one sample a second, past the tick counter's wrap: the full view starts with the
// run's start and draws the sample right after the wrap at its true time, not at the start.
TEST_F(GraphTest, AFullViewPastTheTickCountersWrapDrawsEachSampleAtItsTrueTime) {
  constexpr int32_t n = 45000;
  const int64_t wrap = int64_t{1} << 32;
  Record(n);
  TVarHist& h = HistoryOf(kTps);
  int32_t afterWrap = -1;
  for (int32_t i = 0; i < n; ++i) {
    const int64_t t = int64_t{i} * 100000 + 7;
    if (t >= wrap && afterWrap < 0) afterWrap = i;
    h.Append(static_cast<uint32_t>(t), i < 300 ? 230 : i == afterWrap ? 120 : 40);
  }
  TTpsChart c = TpsChart();
  TGraphModel& g = c.Model;
  const TGraphlet& p = c.Pane();
  const TTrace t = c.Trace();
  ASSERT_TRUE(t.Columns);
  EXPECT_EQ(t.Points.front().X, p.Left);
  EXPECT_EQ(t.Points.front().Y, p.ValueToY(c.Tps->Convert(c.Tps->Unit, 230)));
  const int spikeY = p.ValueToY(c.Tps->Convert(c.Tps->Unit, 120));
  const int spikeX = static_cast<int>(p.Left + h.TimeOf(afterWrap) * g.PixelsPerSecond);
  ASSERT_GT(spikeX, p.Left + p.Width * 9 / 10);
  int spikes = 0;
  for (const auto& pt : t.Points)
    if (pt.Y == spikeY) {
      ++spikes;
      EXPECT_LE(std::abs(pt.X - spikeX), 1);
    }
  EXPECT_EQ(spikes, 1);
  EXPECT_EQ(t.Points.back().X, p.Left + p.Width - 1);
}

// Drawing the gear of a recording (its summary reads every sample from the first) leaves the
// dashboard's live gear, held between the ratio bands, as it was.
TEST_F(GraphTest, DrawingTheGearLeavesTheLiveGearAsItWas) {
  auto* gear = static_cast<TGearVar*>(sensors_->Gear);
  gear->SetDefaultRange();
  ecu_->SpeedConstant = 10000.0;
  const uint16_t speedRaw = 60;
  const double kmh = SpeedRawToKmh(speedRaw, gear->SpeedConstantIn(THistorySet()));
  uint16_t inFourth = 0, between = 0, inSecond = 0;
  for (uint16_t raw = 1; raw < 60000; ++raw) {
    const int band = gear->BandOf(kmh, PeriodToRpm(raw));
    if (band == 4 && !inFourth) inFourth = raw;
    if (band == 0 && inFourth && !between) between = raw;
    if (band == 2 && !inSecond) inSecond = raw;
  }
  ASSERT_TRUE(inFourth && between && inSecond);
  Record(100);
  TVarHist& speed = HistoryOf(gear->Id);
  TVarHist& revs = HistoryOf(kRevs);
  for (uint32_t i = 0; i < 5000; ++i) {
    revs.Append(i * 2000, inSecond);
    speed.Append(i * 2000 + 1000, speedRaw);
  }
  sensors_->RawSpeed->RawValue = speedRaw;
  sensors_->RawRevs->RawValue = inFourth;
  ASSERT_EQ(gear->GetValue(gear->Unit), 4);
  sensors_->RawRevs->RawValue = between;
  ASSERT_EQ(gear->GetValue(gear->Unit), 4);
  selection_->AddId(gear->Id);
  TGraphModel g = Model(842, 300);
  g.Layout(rec_);
  TTraceSummary summary(*gear, speed, gear->Unit);
  const TTrace t = g.Trace(g.Panes[0], g.Panes[0].OwnTrace(), &summary);
  ASSERT_FALSE(t.Points.empty());
  EXPECT_EQ(summary.ValueAt(0), 2);
  EXPECT_EQ(gear->GetValue(gear->Unit), 4);
}

TEST_F(GraphTest, TimesThatGoBackwardsStillDrawAndEnd) {
  Record(50);
  TVarHist& h = HistoryOf(kTps);
  // The tick counter wrapped: times climb, fall back to zero and climb again.
  for (int32_t i = 0; i < 200'000; ++i) h.Append(static_cast<uint32_t>((i % 120'000) * 40), static_cast<uint16_t>(i % 250));
  TTpsChart c = TpsChart();
  TGraphModel& g = c.Model;
  const TTrace t = g.Trace(g.Panes[0], g.Panes[0].OwnTrace(), &c.Summary);
  EXPECT_GE(t.Points.size(), 2u);
  EXPECT_LE(t.Points.size(), 200'004u);
  const TTraceSummary::TStats s = c.Summary.Stats(0, 200'000);
  EXPECT_EQ(s.Hi, c.Tps->Convert(c.Tps->Unit, 249));
}

TEST_F(GraphTest, SummaryStatisticsMatchEverySampleAsTheHistoryGrows) {
  Record(10);
  TVarHist& h = HistoryOf(kTps);
  TDisplayVar* tps = sensors_->FindDisplay(kTps);
  TTraceSummary summary(*tps, h, tps->Unit);
  std::mt19937 rnd(7);
  uint32_t t = 0;
  for (int round = 0; round < 4; ++round) {
    // Uneven gaps, a pause of a minute in the third round.
    for (int i = 0; i < 20'000; ++i) h.Append(t += 10 + rnd() % 40 + (round == 2 && i == 500 ? 6'000'000 : 0), static_cast<uint16_t>(rnd() % 256));
    summary.Extend();
    for (int q = 0; q < 300; ++q) {
      const int32_t a = static_cast<int32_t>(rnd() % static_cast<uint32_t>(h.Count()));
      const int32_t b = a + 1 + static_cast<int32_t>(rnd() % static_cast<uint32_t>(h.Count() - a));
      const TTraceSummary::TStats s = summary.Stats(a, b);
      double lo = 1e300, hi = -1e300, sum = 0;
      for (int32_t k = a; k < b; ++k) {
        const double v = tps->GetValueAtIndex(tps->Unit, k);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        sum += v;
      }
      ASSERT_EQ(s.Count, b - a);
      ASSERT_NEAR(s.Lo, lo, 1e-4) << a << ".." << b;
      ASSERT_NEAR(s.Hi, hi, 1e-4) << a << ".." << b;
      ASSERT_NEAR(s.Mean(), sum / (b - a), 1e-6) << a << ".." << b;
    }
  }
  EXPECT_GT(summary.Summarised(), 79'000);  // all but the newest two
  // About four samples a bucket, also across the pause: the summary stays below half the samples'
  // own 6 bytes each.
  EXPECT_LT(summary.MemoryBytes(), static_cast<size_t>(h.Count()) * 3);
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

TEST(GraphLabels, ValueTextsAndPixels) {
  EXPECT_EQ(ValueLabelText(2000, 500), "2000");
  EXPECT_EQ(ValueLabelText(-0.5, 1), "0");
  EXPECT_EQ(ValueLabelText(0.25, 0.25), "0.25");
  EXPECT_EQ(PixelOf(std::nan("")), 0);
  EXPECT_EQ(PixelOf(1e300), 10000000);
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

TEST(GraphTraceDrawing, ColumnStrokesJoinNeighboursAndBridgeGaps) {
  // Two columns side by side, a gap of three columns, two more side by side.
  const std::vector<TTracePoint> pts = {{10, 40}, {10, 60}, {11, 80}, {11, 70}, {15, 50}, {16, 55}};
  const TTraceStrokes s = ColumnStrokes(pts);
  EXPECT_EQ(s.Spans, (std::vector<TTraceSpan>{{10, 40, 60}, {11, 60, 80}, {15, 50, 50}, {16, 50, 55}}));
  ASSERT_EQ(s.Lines.size(), 1u);  // across the gap, from the last point before it
  EXPECT_EQ(s.Lines[0].first, (TTracePoint{11, 70}));
  EXPECT_EQ(s.Lines[0].second, (TTracePoint{15, 50}));
  EXPECT_TRUE(ColumnStrokes({}).Spans.empty());
}

TEST(GraphTraceDrawing, FillTopsFollowTheLineAndStopWhereItStops) {
  // A line from (12, 50) to (16, 90) and on to (18, 60): nothing under columns it does not reach.
  const std::vector<TTracePoint> pts = {{12, 50}, {16, 90}, {18, 60}};
  const auto tops = FillTops(pts, 10, 10, 100);
  EXPECT_EQ(tops, (std::vector<int>{100, 100, 50, 60, 70, 80, 90, 75, 60, 100}));
  EXPECT_EQ(FillTops({{5, 20}, {30, 20}}, 10, 3, 100), (std::vector<int>{20, 20, 20}));  // across
  EXPECT_EQ(FillTops({}, 10, 3, 100), (std::vector<int>{100, 100, 100}));
}
