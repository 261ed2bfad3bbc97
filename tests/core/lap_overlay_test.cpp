// Laps laid over each other and another run laid under: where the lines go, the legend, the
// Δ time pane, the values at the cursor, the compared run's shift and the commands' enabling.
#include <cmath>

#include "analysis/LapOverlay.h"
#include "history/History.h"
#include "vars/Formatters.h"
#include "recording_support.h"
#include "rules/OverlayCommands.h"
#include "rules/RunCompare.h"
#include "vars/SensorList.h"

namespace {

constexpr double kSpeedConstant = 10000;  // raw 100 is 100 km/h, raw 200 is 50 km/h

// Lap 1: 60 s at 100 km/h. Lap 2: 30 s at 100 km/h, then 50 km/h until 149.5 s. The revs
// sample every second reads 1000 + the second.
class LapOverlay : public RecordingTest {
 protected:
  void SetUp() override {
    RecordingTest::SetUp();
    std::vector<std::pair<uint32_t, uint16_t>> speed, revs;
    for (int s = 0; s <= 150; ++s) {
      speed.push_back({static_cast<uint32_t>(s) * 100000u, static_cast<uint16_t>(s <= 90 ? 100 : 200)});
      revs.push_back({static_cast<uint32_t>(s) * 100000u, static_cast<uint16_t>(1000 + s)});
    }
    rec_.reset(MakeRecording("R", 150000, {{19, speed}, {1, revs}, {LapSignalVarId, {{6000000, 1}, {14950000, 2}}}}));
    overlay_.emplace(*rec_, rec_->HistoryById(19), kSpeedConstant);
  }
  std::vector<TPlacedValue> Revs(size_t lap) {
    return overlay_->Trace(*rec_->HistoryById(1), 1, lap, [this](int32_t k) { return rec_->HistoryById(1)->RawOf(k); });
  }
  std::unique_ptr<TRecording> rec_;
  std::optional<TLapOverlay> overlay_;
};

TEST_F(LapOverlay, EachLapStartsAtZeroWithItsSamplesAtTheirTimeOrDistanceSinceItsStart) {
  ASSERT_EQ(overlay_->Laps().size(), 2u);
  EXPECT_EQ(overlay_->Reference(), 0u);  // 60 s against 89.5 s
  auto lap2 = Revs(1);
  ASSERT_EQ(lap2.size(), 90u);
  EXPECT_EQ(lap2[0].X, 0);
  EXPECT_EQ(lap2[0].Value, 1060);  // the sample at the lap's start
  EXPECT_NEAR(lap2[10].X, 10, 1e-9);
  EXPECT_EQ(lap2[10].Value, 1070);
  EXPECT_DOUBLE_EQ(overlay_->LapLength(1), 89.5);
  EXPECT_DOUBLE_EQ(overlay_->Length(), 89.5);

  overlay_->SetAxis(TLapAxis::Distance);
  EXPECT_EQ(overlay_->AxisUnit(), TGraphAxisUnit::Metres);
  EXPECT_STREQ(overlay_->AxisCaption(), "Distance (m)");
  lap2 = Revs(1);
  EXPECT_EQ(lap2[0].X, 0);
  EXPECT_NEAR(lap2[10].X, 10 * 100 / 3.6, 1e-6);  // 10 s at 100 km/h
  EXPECT_NEAR(overlay_->LapLength(0), 60 * 100 / 3.6, 1e-6);
  // The cursor's place: the recording's time 70 s lies 10 s (278 m) into lap 2, and back on the
  // reference lap.
  EXPECT_NEAR(*overlay_->ToAxis(70), 10 * 100 / 3.6, 1e-6);
  EXPECT_NEAR(overlay_->FromAxis(10 * 100 / 3.6), 10, 1e-6);
  EXPECT_FALSE(overlay_->ToAxis(149.6));  // after the last lap
  overlay_->SetAxis(TLapAxis::Time);
  EXPECT_DOUBLE_EQ(*overlay_->ToAxis(70), 10);
  EXPECT_DOUBLE_EQ(overlay_->FromAxis(10), 10);

  // Without a road speed there is no distance axis.
  TLapOverlay noSpeed(*rec_, nullptr, kSpeedConstant);
  noSpeed.SetAxis(TLapAxis::Distance);
  EXPECT_EQ(noSpeed.Axis(), TLapAxis::Time);
  EXPECT_TRUE(noSpeed.Delta(1).empty());
}

TEST_F(LapOverlay, DeltaTimeIsTheTimeLostOnTheReferenceAlongTheDistance) {
  EXPECT_TRUE(overlay_->Delta(1).empty());  // on the time axis
  overlay_->SetAxis(TLapAxis::Distance);
  const auto& delta = overlay_->Delta(1);
  ASSERT_GE(delta.size(), 3u);
  EXPECT_NEAR(delta.front().Value, 0, 1e-9);
  // Level for the first 30 s at the same speed, then losing: 29.5 s at the end of the lap.
  EXPECT_NEAR(*PlacedValueAt(delta, 20 * 100 / 3.6, 1e9), 0, 1e-6);
  EXPECT_NEAR(delta.back().Value, 29.5, 1e-3);
  const auto range = overlay_->DeltaRange();
  EXPECT_LE(range.Minimum, 0);
  EXPECT_GE(range.Maximum, 29.5);
  EXPECT_LE(range.Maximum, 40);
  const double lines = (range.Maximum - range.Minimum) / range.Tick;
  EXPECT_GE(lines, 4);
  EXPECT_LE(lines, 8);
}

TEST_F(LapOverlay, TheLegendListsEachLapAndShowsOrHidesIt) {
  auto rows = overlay_->Legend(0xFF0000);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Text, "Lap 1  60 s  fastest");
  EXPECT_EQ(rows[1].Text, "Lap 2  89.5 s  +29.5");
  EXPECT_TRUE(rows[0].Reference);
  EXPECT_EQ(rows[0].Colour, 0xFF0000u);  // the reference in the pane's colour, the others lighter
  EXPECT_EQ(rows[1].Colour, TowardsWhite(0xFF0000, 0.62));
  EXPECT_EQ(overlay_->LapPenWidth(2, 0), 3);
  EXPECT_EQ(overlay_->LapPenWidth(2, 1), 2);
  // The reference is drawn last (on top) and read first.
  EXPECT_EQ(overlay_->DrawOrder(), (std::vector<size_t>{1, 0}));
  EXPECT_EQ(overlay_->ReadoutOrder(), (std::vector<size_t>{0, 1}));

  overlay_->Toggle(1);
  EXPECT_FALSE(overlay_->Legend(0)[1].Visible);
  EXPECT_EQ(overlay_->DrawOrder(), std::vector<size_t>{0});
  EXPECT_DOUBLE_EQ(overlay_->Length(), 60);  // the longest lap shown
  overlay_->Toggle(0);
  EXPECT_TRUE(overlay_->DrawOrder().empty());
  EXPECT_DOUBLE_EQ(overlay_->Length(), 89.5);  // none shown: the axis still covers them all
  overlay_->SetVisible(7, true);               // no such lap: nothing happens
}

TEST_F(LapOverlay, TheLegendSitsRightOfThePlotAndAClickOnARowNamesItsLap) {
  TGraphModel m(nullptr, TGraphMetrics{8, 16, 48, 16, {}, {}}, TGraphSurface::Screen);
  m.Width = 800;
  m.Height = 400;
  const auto rows = overlay_->Legend(0);
  const TLapLegendLayout l = LayLapLegend(m, rows);
  EXPECT_EQ(l.Width, LapLegendWidth(m, rows));
  EXPECT_LE(l.X + l.Width, m.Width);
  ASSERT_EQ(l.Rows.size(), 2u);
  EXPECT_EQ(l.Rows[1].Top, l.Rows[0].Top + l.RowHeight);
  EXPECT_GT(l.Rows[0].TextX + m.TextWidth(rows[1].Text), l.Rows[0].SwatchX);
  EXPECT_LE(l.Rows[0].TextX + m.TextWidth(rows[1].Text), l.X + l.Width);
  EXPECT_EQ(LapLegendHit(l, l.X + 2, l.Rows[1].Top + 1), 1u);
  EXPECT_EQ(LapLegendHit(l, l.X + 2, l.Rows[0].Top), 0u);
  EXPECT_FALSE(LapLegendHit(l, l.X + 2, l.Y + 1));  // the title
  EXPECT_FALSE(LapLegendHit(l, l.X - 1, l.Rows[0].Top + 1));
}

TEST_F(LapOverlay, TheChartPlacesLinesAlongAnAxisOfMetresWithTheDeltaPaneBelow) {
  TGraphModel m(nullptr, TGraphMetrics{8, 16, 48, 16, {40, 48, 56}, {}}, TGraphSurface::Screen);
  m.Width = 856;  // an 800-pixel plot
  m.Height = 400;
  m.AxisUnit = TGraphAxisUnit::Metres;
  m.AxisCaptionText = LapDistanceAxisCaption;
  m.AxisLength = 2000;
  m.ExtraPane.Title = DeltaTimePaneTitle;
  m.ExtraPane.Minimum = -10;
  m.ExtraPane.Maximum = 30;
  m.ExtraPane.Tick = 10;
  m.Layout(rec_.get());
  EXPECT_EQ(m.MaxTime, 2000);
  EXPECT_EQ(m.EndTime, 2000);  // the whole axis
  ASSERT_EQ(m.PaneCount, 1);
  const TGraphlet& pane = m.Panes[0];
  EXPECT_EQ(pane.Title, "\xCE\x94 time");
  EXPECT_EQ(pane.Top, m.TopMargin);
  EXPECT_EQ(m.ValueGrid(pane).size(), 5u);  // -10 .. 30: a pane without a sensor has its grid
  // 0.4 pixels a metre: labels every 200 m, as whole metres.
  EXPECT_EQ(m.TimeStep, 200);
  const auto labels = m.TimeLabels();
  ASSERT_GE(labels.size(), 2u);
  EXPECT_EQ(labels[1].Text, "200");
  EXPECT_EQ(m.AxisCaption(80).Text, "Distance (m)");
  EXPECT_EQ(ChooseDistanceStep(40, 0.4), 200);
  EXPECT_EQ(ChooseDistanceStep(40, 100), 1);
  EXPECT_EQ(AxisLabelText(TGraphAxisUnit::Seconds, 65), FormatAxisTime(65));
  // A placed line: x from the metres, the value on the pane's scale; from the one before the
  // window to the first after it.
  m.StartTime = 500;
  m.EndTime = 1500;
  m.Layout(rec_.get());
  const TTrace t = m.PlacedTrace(pane, {{0, 0}, {400, 10}, {1000, 20}, {1600, -10}, {1700, 0}});
  ASSERT_EQ(t.Points.size(), 3u);
  EXPECT_EQ(t.Points[0].X, m.TimeToX(400));
  EXPECT_EQ(t.Points[1], (TTracePoint{m.LeftMargin + 400, pane.ValueToY(20)}));
  EXPECT_EQ(t.Points[2].Y, pane.Bottom());
  EXPECT_FALSE(t.Columns);
  // More values than columns: each column's lowest and highest.
  std::vector<TPlacedValue> dense;
  for (int i = 0; i < 20000; ++i) dense.push_back({i * 0.1, i % 2 ? 30.0 : -10.0});
  const TTrace d = m.PlacedTrace(pane, dense);
  EXPECT_TRUE(d.Columns);
  EXPECT_LE(d.Points.size(), static_cast<size_t>(2 * pane.Width + 4));
  EXPECT_EQ(d.Points[1].Y == pane.Top || d.Points[0].Y == pane.Top, true);
}

TEST_F(LapOverlay, AShiftedRunIsDrawnWithItsPointUnderTheCursor) {
  TGraphModel m(nullptr, TGraphMetrics{8, 16, 48, 16, {40, 48, 56}, {}}, TGraphSurface::Screen);
  m.Width = 206;  // a 150-pixel plot: a pixel a second
  m.Height = 400;
  m.ExtraPane.Title = "t";
  m.ExtraPane.Maximum = 2000;
  m.StartTime = 0;
  m.EndTime = 150;
  m.Layout(rec_.get());
  TDisplayVar& revs = *sensors_->Revs;
  const TVarHist& h = *rec_->HistoryById(1);
  TTraceSummary summary(revs, h, revs.Unit);
  const TGraphlet& pane = m.Panes[0];
  // Shifted so that the run's 20 s meets the cursor at 50 s: its sample at 0 s is drawn at 30 s,
  // nothing before.
  TRunCompare c("Other");
  c.SetPoint(20);
  c.AlignAt(50);
  const TTrace later = m.Trace(pane, {&revs, &h, 0, false, c.Offset()}, &summary);
  ASSERT_FALSE(later.Points.empty());
  EXPECT_EQ(later.Points.front().X, m.TimeToX(30));
  EXPECT_EQ(later.Points[20].X, m.TimeToX(50));
  // Shifted the other way: its 20 s at 0.
  c.AlignAt(0);
  const TTrace earlier = m.Trace(pane, {&revs, &h, 0, false, c.Offset()}, &summary);
  EXPECT_EQ(earlier.Points.front().X, m.TimeToX(0));
  EXPECT_EQ(earlier.Points.front().Y, pane.ValueToY(summary.ValueAt(20)));
}

TEST(LapReadout, EachVisibleLapsValueInForceAtTheCursor) {
  const std::vector<TPlacedValue> lap{{0, 10}, {1, 11}, {2.5, 12}};
  EXPECT_EQ(PlacedValueAt(lap, 0, 3), 10);
  EXPECT_EQ(PlacedValueAt(lap, 2.4, 3), 11);
  EXPECT_EQ(PlacedValueAt(lap, 3, 3), 12);
  EXPECT_FALSE(PlacedValueAt(lap, 3.1, 3));  // beyond the lap's end
  EXPECT_FALSE(PlacedValueAt({}, 0, 3));
  EXPECT_EQ(LapReadoutText({{3, "2450"}, {1, "2300"}}, "rpm"), "L3 2450  L1 2300 rpm");
  EXPECT_EQ(LapReadoutText({}, "rpm"), "");
}

TEST(RunCompare, TheReferencesChosenPointMeetsTheCursor) {
  TRunCompare c("Saturday");
  EXPECT_EQ(c.Caption(), "Compared with: Saturday");
  EXPECT_EQ(c.ReferenceTime(12), 12);  // aligned at the starts
  c.AlignAt(5);  // no point chosen: the reference's start meets the cursor
  EXPECT_EQ(c.ReferenceTime(5), 0);
  c.SetPoint(42.5);
  c.AlignAt(30);
  EXPECT_DOUBLE_EQ(c.ReferenceTime(30), 42.5);
  EXPECT_DOUBLE_EQ(c.ReferenceTime(31), 43.5);
  EXPECT_TRUE(c.Shifted());
  EXPECT_EQ(c.Caption(), "Compared with: Saturday  (shifted -12.500 s)");
  c.Reset();
  EXPECT_FALSE(c.Shifted());
  EXPECT_EQ(c.Point(), 42.5);  // the point stays chosen
  EXPECT_EQ(CompareReadoutText("2450", "2300", "rpm"), "2450 rpm  ref 2300 rpm");
  EXPECT_EQ(CompareReadoutText("2450", "", "rpm"), "2450 rpm  ref \xE2\x80\x93");
  EXPECT_EQ(CompareReadoutText("", "2300", "rpm"), "");
  EXPECT_EQ(ComparedColour(0x0000FF), TowardsWhite(0x0000FF, 0.55));
  EXPECT_EQ(ComparedColour(0x0000FF), 0x8C8CFFu);
}

TEST(OverlayCommands, EnabledAndCheckedAsTheRecordingAndTheChartStand) {
  using C = TOverlayCommand;
  struct Row {
    TOverlayInputs In;
    std::vector<C> Enabled;
    std::vector<C> Checked;
  };
  const Row rows[] = {
      {{}, {}, {C::LapAxisTime}},
      {{true, false, true}, {C::CompareWith}, {C::LapAxisTime}},  // no laps: Overlay Laps greyed
      {{true, true, false}, {C::OverlayLaps, C::LapAxisTime, C::CompareWith}, {C::LapAxisTime}},  // no road speed
      {{true, true, true, true, true},
       {C::OverlayLaps, C::LapAxisTime, C::LapAxisDistance, C::CompareWith},
       {C::OverlayLaps, C::LapAxisDistance}},
      {{true, false, false, false, false, true, false}, {C::CompareWith, C::AlignReference}, {C::LapAxisTime, C::CompareWith}},
      {{true, false, false, false, false, true, true},
       {C::CompareWith, C::AlignReference, C::ResetAlignment},
       {C::LapAxisTime, C::CompareWith}},
  };
  for (const Row& row : rows) {
    const auto s = OverlayCommandStates(row.In);
    for (size_t i = 0; i < OverlayCommandCount; ++i) {
      const C c = static_cast<C>(i);
      const bool enabled = std::find(row.Enabled.begin(), row.Enabled.end(), c) != row.Enabled.end();
      const bool checked = std::find(row.Checked.begin(), row.Checked.end(), c) != row.Checked.end();
      EXPECT_EQ(s[i].Enabled, enabled) << OverlayCommandTable()[i].Caption;
      EXPECT_EQ(s[i].Checked, checked) << OverlayCommandTable()[i].Caption;
    }
  }
}

}  // namespace
