// The chart in use, without drawing: zoom and pan windows, the mouse, the wheel, the two cursors'
// values and statistics against the history, the time axis's boxes, the copied table and the
// page's menu and hint.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "TestSupport.h"
#include "rules/GraphCursors.h"
#include "rules/GraphModel.h"
#include "rules/GraphMouse.h"
#include "rules/GraphPage.h"
#include "rules/TraceSummary.h"
#include "vars/Formatters.h"
#include "vars/GraphSelection.h"

namespace {

constexpr uint32_t kRevs = 1008, kSpeed = 1126, kBrakes = 1014;

// A chart 842 pixels wide (800 of plot from x = 36) showing start .. end of a recording of
// maxTime seconds.
TGraphModel Window(double start, double end, double maxTime) {
  TGraphMetrics metrics;
  metrics.ZeroWidth = 6;
  metrics.ZeroHeight = 13;
  metrics.MarginTextWidth = 36;
  metrics.SpacingTextHeight = 13;
  metrics.TimeTextWidths = {30, 30, 30};
  metrics.TextWidth = [](const std::string& text) { return 6 * static_cast<int>(text.size()); };
  TGraphModel m(nullptr, metrics, TGraphSurface::Screen);
  m.Width = 842;
  m.Height = 400;
  m.StartTime = start;
  m.EndTime = end;
  m.TimeSpan = end - start;
  m.MaxTime = maxTime;
  m.PlotWidth = 800;
  m.PixelsPerSecond = 800 / (end - start);
  m.TopMargin = 4;
  m.NextPaneTop = 300;
  return m;
}

void ExpectWindow(const TTimeWindow& w, double start, double end, const std::string& what) {
  EXPECT_NEAR(w.Start, start, 1e-9) << what;
  EXPECT_NEAR(w.End, end, 1e-9) << what;
}

}  // namespace

TEST(GraphWindows, FitZoomPanAndSpanStayInsideTheRecording) {
  ExpectWindow(FitWindow(-5, 15, 100), 0, 20, "before the start: moved in");
  ExpectWindow(FitWindow(90, 110, 100), 80, 100, "past the end: moved in");
  ExpectWindow(FitWindow(-10, 200, 100), 0, 100, "wider than the recording: all of it");
  ExpectWindow(FitWindow(5, 15, 0), 5, 15, "no recording: unchanged");
  // The time under the pointer keeps its place.
  ExpectWindow(ZoomAroundWindow(0, 100, 25, 0.8, 100), 5, 85, "zoom in around 25 s");
  ExpectWindow(ZoomAroundWindow(10, 20, 20, 1.25, 100), 7.5, 20, "zoom out around the right edge");
  ExpectWindow(ZoomAroundWindow(0, 80, 40, 1.5, 100), 0, 100, "out beyond the recording");
  ExpectWindow(ZoomAroundWindow(10, 10.01, 10.005, 0.5, 100), 10, 10.01, "never below 10 ms");
  ExpectWindow(PanWindow(10, 20, 5, 100), 15, 25, "pan on");
  ExpectWindow(PanWindow(10, 20, -15, 100), 0, 10, "pan back to the start");
  ExpectWindow(SpanWindow(30, 12, 100), 12, 30, "a drag to the left");
  ExpectWindow(SpanWindow(50, 50.002, 100), 49.996, 50.006, "a drag of less than 10 ms");
}

TEST(GraphMouse, ClicksDragsAndDoubleClicks) {
  using K = TGraphMouseAction::TKind;
  const TGraphModel m = Window(0, 80, 100);  // 10 pixels a second
  struct TStep {
    char what;  // p press, s shift-press, m move, r release, d double-click
    int x, y;
  };
  const struct {
    const char* name;
    std::vector<TStep> steps;
    K kind;
    double time;
    TTimeWindow window;
    bool band;  // a band shown before the last step
  } rows[] = {
      {"click", {{'p', 436, 50}, {'r', 436, 50}}, K::SetCursor, 40, {}, false},
      {"a wobble under 4 pixels is a click", {{'p', 236, 50}, {'m', 239, 52}, {'r', 239, 52}}, K::SetCursor, 20, {}, false},
      {"drag right zooms", {{'p', 236, 50}, {'m', 300, 90}, {'r', 436, 90}}, K::Zoom, 0, {20, 40}, true},
      {"drag left zooms", {{'p', 436, 50}, {'m', 300, 20}, {'r', 236, 20}}, K::Zoom, 0, {20, 40}, true},
      {"an upright drag is a click", {{'p', 236, 50}, {'m', 238, 150}, {'r', 238, 150}}, K::SetCursor, 20, {}, true},
      {"shift-click sets the reference", {{'s', 336, 50}}, K::SetReference, 30, {}, false},
      {"a drag off the plot stops at its edge", {{'p', 736, 50}, {'m', 900, 50}, {'r', 900, 50}}, K::Zoom, 0, {70, 80}, true},
      {"the cursor's line is dragged", {{'p', 534, 50}, {'m', 600, 50}}, K::SetCursor, 56.4, {}, false},
      {"and dropped", {{'p', 534, 50}, {'m', 560, 50}, {'r', 600, 50}}, K::SetCursor, 56.4, {}, false},
      {"the reference's line is dragged", {{'p', 135, 50}, {'m', 200, 50}, {'r', 236, 50}}, K::SetReference, 20, {}, false},
      {"a click on the reference's line moves the cursor", {{'p', 135, 50}, {'r', 135, 50}}, K::SetCursor, 9.9, {}, false},
      {"double-click", {{'d', 300, 50}}, K::ShowFullLength, 0, {}, false},
  };
  for (const auto& row : rows) {
    TGraphMouse mouse;
    TGraphMouseAction last;
    bool band = false;
    for (const TStep& s : row.steps) {
      band = mouse.Band().has_value();
      switch (s.what) {
        case 'p': last = mouse.Press(m, s.x, s.y, false, 50, 10); break;  // cursor at x 536, reference at 136
        case 's': last = mouse.Press(m, s.x, s.y, true, 50, std::nullopt); break;
        case 'm': last = mouse.Move(m, s.x, s.y); break;
        case 'r': last = mouse.Release(m, s.x, s.y); break;
        default: last = mouse.DoubleClick(); break;
      }
    }
    EXPECT_EQ(last.Kind, row.kind) << row.name;
    EXPECT_NEAR(last.Time, row.time, 1e-9) << row.name;
    EXPECT_EQ(last.Window, row.window) << row.name;
    EXPECT_EQ(band, row.band) << row.name;
    EXPECT_FALSE(mouse.Band().has_value()) << row.name;  // released or never shown
  }
}

TEST(GraphMouse, TheBandFollowsTheDragUntilTheViewChanges) {
  const TGraphModel m = Window(0, 80, 100);
  TGraphMouse mouse;
  mouse.Press(m, 300, 200, false, 0, std::nullopt);
  EXPECT_FALSE(mouse.Band());
  mouse.Move(m, 100, 40);
  EXPECT_EQ(mouse.Band(), (TDragBand{100, 40, 300, 200}));
  mouse.Cancel();
  EXPECT_FALSE(mouse.Band());
  EXPECT_EQ(mouse.Release(m, 100, 40).Kind, TGraphMouseAction::TKind::None);
}

TEST(GraphMouse, TheWheelZoomsAroundThePointerAndPansSideways) {
  const TGraphModel m = Window(20, 60, 100);  // 20 pixels a second, 40 s at x 436
  const struct {
    const char* name;
    int x, y;
    bool shift;
    TTimeWindow window;
  } rows[] = {
      {"a notch away zooms in", 0, 120, false, {24, 56}},
      {"a notch back zooms out", 0, -120, false, {15, 65}},
      {"half a notch of a touchpad", 0, 60, false, {40 - 20 * std::sqrt(0.8), 40 + 20 * std::sqrt(0.8)}},
      {"shift pans back in time", 0, 120, true, {16, 56}},
      {"shift pans on", 0, -240, true, {28, 68}},
      {"sideways pans", -120, 10, false, {24, 64}},
      {"no turn", 0, 0, false, {20, 60}},
  };
  for (const auto& row : rows) {
    const TTimeWindow w = WheelWindow(m, row.x, row.y, row.shift, 436);
    ExpectWindow(w, row.window.Start, row.window.End, row.name);
  }
  // Zooming in around the pointer at 25 s keeps 25 s under it.
  const TTimeWindow in = WheelWindow(m, 0, 120, false, 136);
  EXPECT_NEAR((25 - in.Start) / (in.End - in.Start), (25 - 20) / 40.0, 1e-12);
}

// ---------------------------------------------------------------------------------------------

namespace {

class GraphCursorTest : public CatalogueTest {
 protected:
  void SetUp() override {
    CatalogueTest::SetUp();
    rec_ = new TRecording(*sensors_->RawVars);
    rec_->CreateHistories();
    rec_->LengthMs = 20000;
    SetCurrentRecording(core_, rec_);
  }
  void TearDown() override {
    SetCurrentRecording(core_, nullptr);
    delete rec_;
    CatalogueTest::TearDown();
  }
  TVarHist& HistoryOf(uint32_t displayId) { return *sensors_->FindDisplay(displayId)->History(); }

  TRecording* rec_ = nullptr;
};

}  // namespace

TEST_F(GraphCursorTest, ValuesAtBothCursorsAndTheStatisticsBetweenThemMatchTheHistory) {
  // A launch: the revs climb from 1000 to 7000 over four seconds at 50 samples a second, drop at
  // a shift and climb again.
  TVarHist& h = HistoryOf(kRevs);
  TDisplayVar* revs = sensors_->FindDisplay(kRevs);
  for (int i = 0; i < 1000; ++i) {
    const double t = i * 0.02;
    const double rpm = t < 4 ? 1000 + 1500 * t : 4700 + 400 * (t - 4);
    h.Append(static_cast<uint32_t>(i * 2000), static_cast<uint16_t>(std::lround(1875000.0 / rpm)));  // period ticks
  }
  TTraceSummary summary(*revs, h, revs->Unit);
  const std::string unit = UnitText(revs->Unit, *core_.Settings);
  auto valueText = [&](double t) { return FormatValue(revs->Unit, revs->GetValueAtIndex(revs->Unit, h.IndexAtSeconds(t))); };
  const struct {
    double cursor, reference;
  } rows[] = {{3.99, 4.01}, {4.01, 3.99}, {12.345, 0.5}, {0.5, 12.345}, {19.999, 0}, {7, 7}};
  for (const auto& row : rows) {
    const TCursorReadout r = CursorReadout(*revs, summary, row.cursor, row.reference);
    EXPECT_EQ(r.Name, "Revs");
    EXPECT_EQ(r.Unit, unit);
    EXPECT_EQ(r.AtCursor, valueText(row.cursor));
    EXPECT_EQ(r.AtReference, valueText(row.reference));
    // Every sample from the one in force at the earlier cursor to the one in force at the later.
    const int32_t a = h.IndexAtSeconds(std::min(row.cursor, row.reference)), b = h.IndexAtSeconds(std::max(row.cursor, row.reference));
    double lo = 1e300, hi = -1e300, sum = 0;
    for (int32_t k = a; k <= b; ++k) {
      const double v = revs->GetValueAtIndex(revs->Unit, k);
      lo = std::min(lo, v);
      hi = std::max(hi, v);
      sum += v;
    }
    EXPECT_EQ(r.Lowest, FormatValue(revs->Unit, lo)) << row.cursor << " " << row.reference;
    EXPECT_EQ(r.Highest, FormatValue(revs->Unit, hi)) << row.cursor << " " << row.reference;
    EXPECT_EQ(r.Mean, FormatValue(revs->Unit, sum / (b - a + 1))) << row.cursor << " " << row.reference;
    const double delta = revs->GetValueAtIndex(revs->Unit, h.IndexAtSeconds(row.cursor)) -
                         revs->GetValueAtIndex(revs->Unit, h.IndexAtSeconds(row.reference));
    std::string d = FormatValue(revs->Unit, delta);
    if (d == "-0") d = "0";
    if (delta >= 0.5) d = "+" + d;
    EXPECT_EQ(r.Delta, d) << row.cursor << " " << row.reference;
    EXPECT_EQ(r.Text(), r.AtCursor + " " + unit + "  \u0394 " + r.Delta + "  min " + r.Lowest + "  max " + r.Highest +
                            "  mean " + r.Mean);
  }
  // The shift's drop, read in two clicks.
  const TCursorReadout shift = CursorReadout(*revs, summary, 4.01, 3.99);
  EXPECT_EQ(shift.Delta.front(), '-');
  // Without a reference: the value and its unit only.
  const TCursorReadout plain = CursorReadout(*revs, summary, 2, std::nullopt);
  EXPECT_EQ(plain.Text(), valueText(2) + " " + unit);
  EXPECT_TRUE(plain.Delta.empty());
  EXPECT_EQ(CursorDeltaText(4.01, 3.99), "\u0394 0:00:00.020s");
  EXPECT_EQ(CursorTimeText(4.01), "0:00:04.010s");  // not 4.009: to the nearest millisecond
  EXPECT_EQ(CursorTimeText(3723.4564), "1:02:03.456s");
}

TEST_F(GraphCursorTest, OnOffSensorsGiveTheShareOnAndEmptySensorsNothing) {
  TVarHist& h = HistoryOf(kBrakes);
  TDisplayVar* brakes = sensors_->FindDisplay(kBrakes);
  for (int i = 0; i < 10; ++i) h.Append(static_cast<uint32_t>(i * 100000), i >= 6 ? 0xFF : 0);
  TTraceSummary summary(*brakes, h, brakes->Unit);
  ASSERT_EQ(brakes->Unit, UNIT_ONOFF);
  const double first = brakes->GetValueAtIndex(brakes->Unit, 0), last = brakes->GetValueAtIndex(brakes->Unit, 9);
  ASSERT_NE(first, last);
  const TCursorReadout r = CursorReadout(*brakes, summary, 9, 0);
  EXPECT_EQ(r.AtCursor, FormatValue(UNIT_ONOFF, last));  // "on" or "off"
  EXPECT_EQ(r.Lowest, "off");
  EXPECT_EQ(r.Highest, "on");
  EXPECT_EQ(r.Mean, last == 1 ? "0.40" : "0.60");  // the share of samples on
  EXPECT_EQ(r.Delta, last == 1 ? "+1.00" : "-1.00");
  TDisplayVar* speed = sensors_->FindDisplay(kSpeed);
  TTraceSummary none(*speed, *speed->History(), speed->Unit);
  EXPECT_EQ(CursorReadout(*speed, none, 1, 0).Text(), "");
}

TEST_F(GraphCursorTest, TheCopiedTableHoldsTimesAndEveryPanesValues) {
  TCursorReadout revs{"Revs", "rpm", "6500", "3000", "+3500", "2900", "6600", "4800"};
  TCursorReadout empty{"Speed", "km/h", "", "", "", "", "", ""};
  EXPECT_EQ(CursorTable({revs, empty}, 12.5, 7.25),
            "Sensor\tUnit\tAt reference\tAt cursor\t\u0394\tMin\tMax\tMean\n"
            "Time\ts\t7.250\t12.500\t5.250\t\t\t\n"
            "Revs\trpm\t3000\t6500\t+3500\t2900\t6600\t4800\n");
  EXPECT_EQ(CursorTable({revs}, 12.5, std::nullopt), "Sensor\tUnit\tAt cursor\nTime\ts\t12.500\nRevs\trpm\t6500\n");
}

TEST(GraphCursorAxis, BoxesStayInsideApartAndClearOfTheCaption) {
  const int captionWidth = 48;  // "Time (s)"
  const struct {
    const char* name;
    double start, end, cursor;
    std::optional<double> reference;
    bool cursorShown, referenceShown, captionShown;
  } rows[] = {
      {"alone near the left end", 0, 80, 0.1, std::nullopt, true, false, true},
      {"alone at the right end", 0, 80, 80, std::nullopt, true, false, true},
      {"in the middle, over the caption", 0, 80, 40.5, std::nullopt, true, false, false},
      {"both, far apart", 0, 80, 70, 50, true, true, true},
      {"both, a pixel apart", 0, 80, 10, 10.1, true, true, true},
      {"both at the right end", 0, 80, 80, 79.9, true, true, true},
      {"the reference outside the window", 20, 40, 30, 5, true, false, false},
      {"the cursor outside the window", 20, 40, 50, 35, false, true, true},
  };
  for (const auto& row : rows) {
    const TGraphModel m = Window(row.start, row.end, 100);
    const TCursorAxis a = CursorAxis(m, row.cursor, row.reference, captionWidth, 2);
    EXPECT_EQ(a.Y, m.Height - 13) << row.name;  // the caption row, below the time labels
    EXPECT_EQ(a.Cursor.Shown, row.cursorShown) << row.name;
    EXPECT_EQ(a.Reference.Shown, row.referenceShown) << row.name;
    EXPECT_EQ(a.Delta.Shown, row.reference.has_value()) << row.name;
    EXPECT_EQ(a.CaptionShown, row.captionShown) << row.name;
    std::vector<TAxisBox> boxes;
    for (const TAxisBox& b : {a.Cursor, a.Reference, a.Delta})
      if (b.Shown) boxes.push_back(b);
    for (size_t i = 0; i < boxes.size(); ++i) {
      EXPECT_GE(boxes[i].X, 0) << row.name;
      EXPECT_LE(boxes[i].X + boxes[i].Width, m.Width) << row.name;
      EXPECT_EQ(boxes[i].Width, 6 * static_cast<int>(boxes[i].Text.size()) + 4) << row.name;
      for (size_t j = i + 1; j < boxes.size(); ++j)
        EXPECT_TRUE(boxes[i].X + boxes[i].Width <= boxes[j].X || boxes[j].X + boxes[j].Width <= boxes[i].X)
            << row.name << ": " << boxes[i].Text << " / " << boxes[j].Text;
    }
    if (row.cursorShown) {
      EXPECT_EQ(a.Cursor.Text, CursorTimeText(row.cursor));
    }
    if (row.reference) {
      EXPECT_EQ(a.Delta.Text, CursorDeltaText(row.cursor, *row.reference));
    }
  }
  // Far apart, the time between sits between the two cursors.
  const TCursorAxis apart = CursorAxis(Window(0, 80, 100), 70, 50, captionWidth, 2);
  EXPECT_GT(apart.Delta.X, apart.Reference.X + apart.Reference.Width);
  EXPECT_LT(apart.Delta.X + apart.Delta.Width, apart.Cursor.X);
}

TEST(GraphPage, ThePaneMenuAndItsEnabling) {
  TPaneMenuInputs in;
  in.HasRecording = true;
  in.HasSelection = true;
  in.SensorName = "Revs";
  std::vector<std::string> captions;
  for (const TPaneMenuItem& item : GraphPaneMenu(in))
    captions.push_back(item.Command != TCommand::Count ? FindCommandInfo(item.Command)->Caption : item.Caption);
  EXPECT_EQ(captions, (std::vector<std::string>{"Zoom &In", "Zoom &Out", "Show &Full Length", "&Add Sensors...",
                                                "&Remove Sensors...", "Remove Revs", "Set Reference Cursor Here",
                                                "Clear Reference Cursor", "Copy Values", "Colour"}));
  auto enabled = [](const TPaneMenuInputs& i, TPaneCommand c) {
    for (const TPaneMenuItem& item : GraphPaneMenu(i))
      if (item.PaneCommand == c) return item.Enabled;
    return false;
  };
  EXPECT_FALSE(enabled(in, TPaneCommand::ClearReference));
  in.HasReference = true;
  EXPECT_TRUE(enabled(in, TPaneCommand::ClearReference));
  in.SensorName.clear();  // below the panes
  EXPECT_FALSE(enabled(in, TPaneCommand::RemoveSensor));
  EXPECT_FALSE(enabled(in, TPaneCommand::Colour));
  in.HasRecording = false;
  EXPECT_FALSE(enabled(in, TPaneCommand::SetReference));
  EXPECT_FALSE(enabled(in, TPaneCommand::CopyValues));
  EXPECT_EQ(PaneColourChoices().size(), 10u);
  EXPECT_EQ(DefaultColourCaption(0xFFFF00), "Default (Yellow)");
}

TEST(GraphPage, TheEmptyPageSaysHowToGraphAndHowToRecord) {
  const auto both = GraphPageHint(false, 0);
  const std::string text = [&] {
    std::string t;
    for (const auto& l : both) t += l + "\n";
    return t;
  }();
  for (const char* must : {"Ctrl+1 to Ctrl+9", "Graph > Add Sensors...", "F9", "Ctrl+O"})
    EXPECT_NE(text.find(must), std::string::npos) << must;
  EXPECT_EQ(GraphPageHint(false, 3).size(), 3u);  // how to record only
  EXPECT_EQ(GraphPageHint(true, 0).size(), 3u);   // how to graph only
  EXPECT_TRUE(GraphPageHint(true, 1).empty());
}
