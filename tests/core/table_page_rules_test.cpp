// The Tables page's rules without its widgets: the grid's and the scatter plot's layout, ticks and
// texts; the page model's choices, source and clicks; which gears learned ratios are.
#include <cmath>

#include "TableRecordings.h"
#include "TestSupport.h"
#include "analysis/GearLearning.h"
#include "analysis/TablesPageModel.h"
#include "rules/SettingsLogic.h"
#include "rules/TableLayout.h"

namespace {

TGridMetrics Metrics() {
  TGridMetrics m;
  m.LineHeight = 16;
  m.XLabelWidth = 30;
  m.YLabelWidth = 24;
  m.FontPx = 13;
  m.CellTextWidth = 26;
  m.CellTextHeight = 16;
  return m;
}

TEST(TableGridLayout, CellsFillTheRestWithTheHighestRowOnTop) {
  const TGridLayout g = LayoutGrid(600, 400, 15, 10, Metrics());
  ASSERT_EQ(g.ColumnEdges.size(), 16u);
  ASSERT_EQ(g.RowEdges.size(), 11u);
  EXPECT_EQ(g.ColumnEdges.front(), g.Cells.Left);
  EXPECT_EQ(g.ColumnEdges.back(), g.Cells.Right());
  EXPECT_EQ(g.RowEdges.back(), g.Cells.Bottom());
  EXPECT_LE(g.Cells.Right(), 600);
  EXPECT_LE(g.Cells.Bottom(), 400);
  EXPECT_GE(g.Cells.Left, g.RowLabelsLeft + g.RowLabelsWidth);
  EXPECT_GE(g.Cells.Top, g.ColumnLabelsTop + 16);
  // Row 0 (the lowest Y) at the bottom; every cell found again at its middle.
  EXPECT_EQ(g.CellBox(0, 0).Bottom(), g.Cells.Bottom());
  EXPECT_EQ(g.CellBox(0, 9).Top, g.Cells.Top);
  for (int c = 0; c < 15; ++c)
    for (int r = 0; r < 10; ++r) {
      const TBox b = g.CellBox(c, r);
      int column = -1, row = -1;
      ASSERT_TRUE(g.CellAt(b.Left + b.Width / 2, b.Top + b.Height / 2, column, row));
      EXPECT_EQ(column, c);
      EXPECT_EQ(row, r);
    }
  int column = 0, row = 0;
  EXPECT_FALSE(g.CellAt(g.Cells.Left - 1, g.Cells.Top + 5, column, row));
  EXPECT_EQ(g.ColumnLabelStride, 1);
  EXPECT_EQ(g.CellFontPx, 13);
}

TEST(TableGridLayout, NarrowCellsThinTheLabelsAndShrinkOrDropTheirText) {
  const struct {
    int width, height;
    int columnStride, fontPx;
  } cases[] = {
      {600, 400, 1, 13},  // roomy
      {420, 400, 2, 10},  // 22 px columns: every other label, the text a little smaller
      {300, 400, 3, 0},   // 14 px columns: every third label, no text
      {600, 150, 1, 0},   // 9 px rows: no text
  };
  for (const auto& c : cases) {
    const TGridLayout g = LayoutGrid(c.width, c.height, 15, 10, Metrics());
    EXPECT_EQ(g.ColumnLabelStride, c.columnStride) << c.width << "x" << c.height;
    EXPECT_EQ(g.CellFontPx, c.fontPx) << c.width << "x" << c.height;
    EXPECT_TRUE(g.CellFontPx == 0 || g.CellFontPx >= MinCellFontPx);
  }
  EXPECT_GT(LayoutGrid(600, 150, 15, 10, Metrics()).RowLabelStride, 1);
}

TEST(ScatterLayout, ThePlotLeavesRoomForItsLabelsAndTheColourBar) {
  TScatterMetrics m;
  m.LineHeight = 16;
  m.YTickWidth = 30;
  m.BarLabelWidth = 70;
  const TScatterLayout s = LayoutScatter(500, 400, m);
  EXPECT_GE(s.Plot.Left, 16 + 30);
  EXPECT_LE(s.Bar.Right() + 70, 500);
  EXPECT_GT(s.Bar.Left, s.Plot.Right());
  EXPECT_EQ(s.Bar.Top, s.Plot.Top);
  EXPECT_EQ(s.Bar.Height, s.Plot.Height);
  EXPECT_LE(s.XTitle.Bottom(), 400);
  EXPECT_GT(s.XTitle.Top, s.Plot.Bottom());
}

TEST(ScatterLayout, TicksFallOnRoundValuesAtLeastTheirSpacingApart) {
  const double step = TickStep(7500, 600, 64);
  EXPECT_EQ(step, 1000);
  const std::vector<TTick> ticks = AxisTicks(500, 8000, 600, step);
  ASSERT_EQ(ticks.size(), 8u);
  EXPECT_EQ(ticks.front().Value, 1000);
  EXPECT_EQ(ticks.front().Pixel, 40);
  EXPECT_EQ(ticks.back().Value, 8000);
  EXPECT_EQ(ticks.back().Pixel, 600);
  EXPECT_EQ(TickStep(2, 300, 32), 0.25);
  EXPECT_EQ(AxisTicks(0, 2, 300, 0.25).size(), 9u);
  EXPECT_TRUE(AxisTicks(1, 1, 300, 0.25).empty());
  EXPECT_EQ(TickText(0.25, 0.25), "0.25");
  EXPECT_EQ(TickText(2, 0.5), "2.0");
  EXPECT_EQ(TickText(1e-17, 0.1), "0.0");
  EXPECT_EQ(TickText(4000, 1000), "4000");
}

TEST(TableTexts, TipsAndCountsSayWhatACellAndTheTableHold) {
  TCellTip tip{"Revs", "2000", "2500", "rpm", "MAP", "0.4", "0.6", "bar", "Lambda", "L", 12, "0.98", "0.91", "1.05"};
  EXPECT_EQ(CellTipText(tip),
            "Revs 2000 to 2500 rpm\nMAP 0.4 to 0.6 bar\n12 samples of Lambda\nmean 0.98, min 0.91, max 1.05 L");
  tip.Count = 1;
  tip.Min = tip.Max = "";
  EXPECT_EQ(CellTipText(tip), "Revs 2000 to 2500 rpm\nMAP 0.4 to 0.6 bar\n1 sample of Lambda\nmean 0.98 L");
  tip.Count = 0;
  tip.XUnit = "";
  EXPECT_EQ(CellTipText(tip), "Revs 2000 to 2500\nMAP 0.4 to 0.6 bar\n0 samples of Lambda");
  EXPECT_EQ(SampleCountsText(12, 20, "Lambda", 1, 2, 3, 2),
            "12 of 20 samples of Lambda in cells; 1 outside the edges, 2 too old, 3 without a sample, 2 filtered out");
  EXPECT_EQ(AxisTitle("Revs", "rpm"), "Revs (rpm)");
  EXPECT_EQ(AxisTitle("Gear", ""), "Gear");
}

// ---------------------------------------------------------------------------------------------

class TablesModel : public CatalogueTest {};

TEST_F(TablesModel, TheSourceFollowsTheLinkAndTheRecording) {
  const struct {
    bool connected, recording, hasRecording;
    TTableSource source;
  } table[] = {
      {false, false, false, TTableSource::None},   {false, false, true, TTableSource::Recording},
      {true, false, false, TTableSource::Live},    {true, false, true, TTableSource::Live},
      {true, true, true, TTableSource::Recording}, {false, true, true, TTableSource::Recording},
  };
  for (const auto& row : table)
    EXPECT_EQ(ChooseTableSource(row.connected, row.recording, row.hasRecording), row.source)
        << row.connected << row.recording << row.hasRecording;
}

TEST_F(TablesModel, ChoicesAreStoredAndANewSensorTakesItsDefaultEdges) {
  TTablesPageModel model(*config_, *sensors_);
  EXPECT_EQ(model.EdgesText(TTableAxis::X), "500:8000:500");
  EXPECT_EQ(model.EdgesText(TTableAxis::Y), "0:2:0.2");
  std::string why;
  ASSERT_TRUE(model.SetEdges(TTableAxis::Y, "0,0.5,1", &why));
  EXPECT_EQ(config_->TableYEdges, "0,0.5,1");
  // Writing the sensor's default edges keeps them following the sensor.
  ASSERT_TRUE(model.SetEdges(TTableAxis::Y, "0:2:0.2", &why));
  EXPECT_EQ(config_->TableYEdges, "");
  ecu_->SetMapIs3Bar(1);
  model.Reload();
  EXPECT_EQ(model.EdgesText(TTableAxis::Y), "0:3:0.3");
  EXPECT_EQ(model.Tracker().Spec().YEdges.Last(), 3.0);

  EXPECT_FALSE(model.SetEdges(TTableAxis::X, "5,4", &why));
  EXPECT_EQ(why, "the edges do not rise: 4 follows 5");
  model.SetSensor(TTableAxis::X, 1002);  // TPS
  EXPECT_EQ(config_->TableX, 1002);
  EXPECT_EQ(model.EdgesText(TTableAxis::X), "0:100:10");
  model.SetSensor(TTableAxis::Z, 1000);  // O2 A volts: its scale is the narrow band's
  EXPECT_EQ(model.Scale().Target, 0.45);
  EXPECT_EQ(model.TargetText(), "0.45");
  EXPECT_FALSE(model.SetSpan("0", &why));
  EXPECT_EQ(why, "'0' is not a number above 0");
  EXPECT_TRUE(model.SetSpan("0.2", &why));
  EXPECT_EQ(model.Scale().Span, 0.2);
  EXPECT_EQ(model.Names().ZName, "O2 Sensor A");
  EXPECT_EQ(model.Names().XUnit, "%");
}

TEST_F(TablesModel, ClicksGoFromStretchToStretchAndStartOverOnAnotherCell) {
  // Revs 500 rpm (A), 1000 (B), 500 again; error byte 10 as Y.
  auto* rec = new TRecording(*sensors_->RawVars);
  AddHistories(*rec, {{1, {{0, 3750}, {20000, 1875}, {40000, 3750}}},
                      {40, {{0, 10}}},
                      {2, {{100, 1}, {10000, 2}, {20100, 3}, {40100, 4}, {45000, 5}}}});
  recordings_.Add(rec);
  SetCurrentRecording(core_, rec);
  TTablesPageModel model(*config_, *sensors_);
  std::string why;
  ASSERT_TRUE(model.SetEdges(TTableAxis::X, "500:1500:500", &why));
  model.SetSensor(TTableAxis::Y, 1040);
  ASSERT_TRUE(model.SetEdges(TTableAxis::Y, "10:20:10", &why));
  model.SetMaxAge(1000);
  model.Follow(TTableSource::Recording, rec);
  model.Tracker().Update();
  EXPECT_EQ(model.Click(0), 0.001);
  EXPECT_EQ(model.Click(0), 0.401);
  EXPECT_EQ(model.Click(0), 0.001);
  EXPECT_EQ(model.Click(1), 0.201);
  EXPECT_EQ(model.Click(0), 0.001);  // another cell clicked in between: from the start
  model.Follow(TTableSource::Live, nullptr);
  EXPECT_EQ(model.Click(0), std::nullopt);
}

TEST(GearMatching, FewerRatiosThanGearsAreTheNearestGearsInOrder) {
  const double set[5] = {3.25, 2.052, 1.416, 1.103, 0.87};
  auto gears = [](std::vector<double> ratios) {
    std::vector<TLearnedGear> g;
    for (double r : ratios) g.push_back({r, 10, 0.1});
    return g;
  };
  EXPECT_EQ(MatchGears(gears({3.2, 2.0, 1.4, 1.1, 0.9}), set), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(MatchGears(gears({2.047, 1.417, 1.104, 0.87}), set), (std::vector<int>{2, 3, 4, 5}));
  EXPECT_EQ(MatchGears(gears({3.3, 1.1}), set), (std::vector<int>{1, 4}));
  EXPECT_EQ(MatchGears(gears({}), set), (std::vector<int>{}));
  EXPECT_EQ(LearnedGearsText(gears({1.1}), {4}), "4th gear: 1.100 (10 % of the steady samples)\n");

  TSettingsValues v = DefaultSettingsValues();
  ApplyLearnedRatios(v, {{2, 2.04713}, {5, 0.87026}, {6, 9.0}});
  EXPECT_EQ(v[TSettingsField::Ratio1st], 3.25);
  EXPECT_EQ(v[TSettingsField::Ratio2nd], 2.0471);
  EXPECT_EQ(v[TSettingsField::Ratio5th], 0.8703);
  EXPECT_EQ(v[TSettingsField::RatioFinal], 4.133);
}

}  // namespace
