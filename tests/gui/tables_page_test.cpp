// The Tables page: the grid and the scatter plot over a recording, the choices and their
// refusals, hovering, clicking for the cursor, copying and saving, live filling, screenshots.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSplitter>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "CoreSupport.h"
#include "GuiSupport.h"
#include "analysis/Table.h"
#include "vars/Config.h"
#include "widgets/ScatterPlot.h"
#include "widgets/TableGrid.h"
#include "windows/TablesPage.h"

namespace {

using TSamples = std::vector<std::pair<uint32_t, uint16_t>>;

uint16_t RevsRaw(double rpm) { return static_cast<uint16_t>(std::lround(1875000.0 / rpm)); }
uint16_t MapRaw(double bar) { return static_cast<uint16_t>(std::lround((bar + 0.045) / 0.367 * 51.2)); }
// Through the default lambda table: 0.6 + 0.2 per volt.
uint16_t LambdaRaw(double lambda) { return static_cast<uint16_t>(std::lround((lambda - 0.6) / 0.2 * 51.2)); }

// A drive of `seconds`: revs sweeping 1000..7000, the load with them, the mixture rich under
// load and lean when light; revs, MAP and the lambda sensor every 50 ms, 10 ms apart.
std::vector<std::pair<int32_t, TSamples>> Drive(double seconds, double from = 0) {
  TSamples revs, map, o2;
  for (double t = from; t < from + seconds; t += 0.05) {
    const double phase = std::fmod(t, 40) / 40;
    const double rpm = 1000 + 6000 * (phase < 0.5 ? 2 * phase : 2 - 2 * phase);
    const double bar = 0.25 + 0.7 * std::fabs(std::sin(t * 0.37)) * (rpm / 7000);
    const double lambda = 1.14 - 0.3 * (bar - 0.2) / 0.8 + 0.02 * std::sin(t * 3.1);
    const auto ticks = static_cast<uint32_t>(std::lround(t * 100000));
    revs.push_back({ticks, RevsRaw(rpm)});
    map.push_back({ticks + 1000, MapRaw(bar)});
    o2.push_back({ticks + 2000, LambdaRaw(lambda)});
  }
  return {{1, revs}, {9, map}, {2, o2}};
}

class TablesPage : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.MachinePath = "/nonexistent/Settings.ini";
    t_.core.Settings = &settings_;
    t_.sensors.SetDefaultRanges();
  }
  std::unique_ptr<TTablesPage> Page(int width = 1000, int height = 600) {
    auto page = std::make_unique<TTablesPage>(settings_, t_.sensors);
    page->resize(width, height);
    page->show();
    ProcessEvents();
    return page;
  }
  TTablesPageState Playing(TRecording* r, double position = 0) {
    TTablesPageState s;
    s.Current = r;
    s.Position = position;
    return s;
  }
  TSettings settings_;
  TGuiCore t_;
};

TEST_F(TablesPage, ShowsTheCurrentRecordingsTableAndLooksRightAtBothPixelRatios) {
  TRecording* rec = t_.Add("Track day", 600000, Drive(600));
  SetCurrentRecording(t_.core, rec);
  auto page = Page();
  page->Refresh(Playing(rec, 125.3), true);
  ProcessEvents();
  TTableGrid* grid = page->Grid();
  const TTable* table = &page->Model().Tracker().Table();
  ASSERT_EQ(table->Columns(), 15);
  ASSERT_EQ(table->Rows(), 10);
  EXPECT_GT(table->Counts().Counted, 10000);
  EXPECT_TRUE(page->StatusLine()->text().startsWith("Track day: ")) << page->StatusLine()->text().toStdString();
  EXPECT_GT(grid->Layout().CellFontPx, 0) << "cell texts readable at this size";
  // Each shown cell in its colour, the others blank; the cursor's cell framed.
  const int shown = 1 * 15 + 4, empty = 9 * 15 + 14;  // 0.2 bar at 2500 rpm; 1.8 bar at 7500 rpm
  EXPECT_EQ(grid->CellText(shown), "1.09");
  EXPECT_EQ(grid->CellText(empty), "");
  EXPECT_GE(grid->CursorCell(), 0);
  for (qreal dpr : {1.0, 2.0}) {
    const QImage shot = RenderWidget(*page, dpr);
    SaveArtifact(shot, QString("tables_page@%1x").arg(dpr));
    for (int cell : {shown, empty}) {
      const TBox b = grid->Layout().CellBox(cell % 15, cell / 15);
      const QPoint at = grid->mapTo(page.get(), QPoint(b.Left + 3, b.Top + 3));
      EXPECT_TRUE(Near(PixelAt(shot, at.x(), at.y()), grid->CellColour(cell))) << cell << " at " << dpr;
    }
  }
  // As small as the main window gets.
  page->resize(630, 380);
  ProcessEvents();
  for (qreal dpr : {1.0, 2.0}) SaveArtifact(RenderWidget(*page, dpr), QString("tables_page_small@%1x").arg(dpr));
}

TEST_F(TablesPage, ChoicesChangeTheTableAreKeptInTheSettingsAndBadOnesAreSaid) {
  TRecording* rec = t_.Add("Track day", 120000, Drive(120));
  SetCurrentRecording(t_.core, rec);
  auto page = Page();
  page->Refresh(Playing(rec), true);
  auto choose = [](QComboBox* box, const QString& name) {
    const int i = box->findText(name);
    ASSERT_GE(i, 0) << name.toStdString();
    box->setCurrentIndex(i);
    emit box->activated(i);
  };
  auto type = [](QLineEdit* edit, const QString& text) {
    edit->setText(text);
    emit edit->editingFinished();
  };
  const QString status = page->StatusLine()->text();

  // Another sensor across takes its own edges.
  choose(page->SensorBox(TTableAxis::X), "Injector Duration");
  EXPECT_EQ(settings_.TableX, 1010);
  EXPECT_EQ(page->EdgesEdit(TTableAxis::X)->text(), QString::fromStdString(DefaultEdgesText(*t_.sensors.InjDuration)));
  // The recording has no injector samples: nothing to hold.
  EXPECT_TRUE(page->StatusLine()->text().startsWith("Track day: 0 of ")) << page->StatusLine()->text().toStdString();
  EXPECT_TRUE(page->StatusLine()->text().contains(" without a sample"));
  choose(page->SensorBox(TTableAxis::X), "Revs");
  EXPECT_EQ(page->EdgesEdit(TTableAxis::X)->text(), "500:8000:500");
  EXPECT_EQ(page->StatusLine()->text(), status);

  // Edges that do not parse are said, in red, and change nothing; good ones are kept as written.
  type(page->EdgesEdit(TTableAxis::X), "0:8000:0");
  EXPECT_EQ(page->StatusLine()->text(), "X edges: the step is zero");
  EXPECT_TRUE(page->StatusLine()->styleSheet().contains("color"));
  EXPECT_EQ(page->Model().Tracker().Table().Columns(), 15);
  type(page->EdgesEdit(TTableAxis::X), "1000, 3000,5000,7000");
  EXPECT_EQ(page->Model().Tracker().Table().Columns(), 3);
  EXPECT_EQ(settings_.TableXEdges, "1000, 3000,5000,7000");
  EXPECT_TRUE(page->StatusLine()->styleSheet().isEmpty());

  // Filters, the statistic, the fewest samples, the oldest held value, the colours' target.
  type(page->FiltersEdit(), "Revs ~ 3000");
  EXPECT_TRUE(page->StatusLine()->text().startsWith("Filters: 'Revs ~ 3000' is not NAME OP VALUE"));
  type(page->FiltersEdit(), "revs >= 4000");
  EXPECT_EQ(page->FiltersEdit()->text(), "Revs >= 4000");
  EXPECT_EQ(settings_.TableFilters, "1008 >= 4000");
  EXPECT_GT(page->Model().Tracker().Table().Counts().Filtered, 500);
  page->StatBox()->setCurrentIndex(3);
  emit page->StatBox()->activated(3);
  EXPECT_EQ(settings_.TableStat, 3);
  const int busy = 0 * 3 + 2;  // 5000..7000 rpm at 0.2 bar
  EXPECT_EQ(page->Grid()->CellText(busy).toUInt(), page->Model().Tracker().Table().Cell(2, 0).Count);
  page->MinCountBox()->setValue(100000);
  EXPECT_EQ(page->Grid()->CellText(busy), "");
  EXPECT_EQ(settings_.TableMinCount, 100000);
  page->MaxAgeBox()->setValue(5);
  emit page->MaxAgeBox()->editingFinished();
  EXPECT_EQ(settings_.TableMaxAgeMs, 5);
  EXPECT_GT(page->Model().Tracker().Table().Counts().TooOld, 1000);  // the revs are 20 ms older than lambda
  type(page->TargetEdit(), "fast");
  EXPECT_EQ(page->StatusLine()->text(), "Target: 'fast' is not a number");
  type(page->TargetEdit(), "1.09");
  EXPECT_EQ(settings_.TableTarget, "1.09");
  EXPECT_EQ(page->Model().Scale().Target, 1.09);

  // A page made anew shows the choices kept.
  auto again = Page();
  EXPECT_EQ(again->EdgesEdit(TTableAxis::X)->text(), "1000, 3000,5000,7000");
  EXPECT_EQ(again->FiltersEdit()->text(), "Revs >= 4000");
  EXPECT_EQ(again->StatBox()->currentText(), "Sample count");
  EXPECT_EQ(again->MaxAgeBox()->value(), 5);
  EXPECT_EQ(again->TargetEdit()->text(), "1.09");
  EXPECT_EQ(again->SpanEdit()->text(), "");
  EXPECT_EQ(again->SpanEdit()->placeholderText(), "0.15");
}

TEST_F(TablesPage, AStoredMaximumAgeBeyondTheBoxIsTheAgeShownAndUsed) {
  settings_.TableMaxAgeMs = 9000000;
  auto page = Page();
  EXPECT_EQ(page->MaxAgeBox()->maximum(), static_cast<int>(PageMaxAgeMs));
  EXPECT_EQ(page->MaxAgeBox()->value(), static_cast<int>(PageMaxAgeMs));
  EXPECT_EQ(page->Model().Choices().Spec.MaxAgeMs, PageMaxAgeMs);
}

TEST_F(TablesPage, HoveringShowsACellsSamplesAndClicksVisitItsStretches) {
  TRecording* rec = t_.Add("Track day", 120000, Drive(120));
  SetCurrentRecording(t_.core, rec);
  auto page = Page();
  page->Refresh(Playing(rec), true);
  TTableGrid* grid = page->Grid();
  const int cell = 1 * 15 + 4;  // 2500..3000 rpm, 0.2..0.4 bar
  const TCellStats& stats = page->Model().Tracker().Table().Cell(4, 1);
  ASSERT_GT(stats.Count, 3u);
  const QString tip = grid->CellTip(cell);
  EXPECT_TRUE(tip.startsWith("Revs 2500 to 3000 rpm\nMAP 0.2 to 0.4 bar\n" + QString::number(stats.Count) +
                             " samples of Lambda\nmean "))
      << tip.toStdString();
  EXPECT_TRUE(tip.endsWith(" L"));
  EXPECT_TRUE(tip.contains(", min ") && tip.contains(", max "));

  const TBox b = grid->Layout().CellBox(4, 1);
  const QPoint centre(b.Left + b.Width / 2, b.Top + b.Height / 2);
  EXPECT_EQ(grid->CellAt(centre), cell);
  QTest::mouseMove(grid, centre);
  ProcessEvents();

  QSignalSpy seeks(page.get(), &TTablesPage::SeekRequested);
  for (int k = 0; k < 3; ++k) QTest::mouseClick(grid, Qt::LeftButton, {}, centre);
  ASSERT_EQ(seeks.size(), 3);
  const double first = seeks[0][0].toDouble(), second = seeks[1][0].toDouble(), third = seeks[2][0].toDouble();
  EXPECT_GT(second, first + 1);  // the next stretch, not the next sample
  EXPECT_GT(third, second);
  // After a seek the cursor's frame is on the cell.
  page->Refresh(Playing(rec, first), true);
  EXPECT_EQ(grid->CursorCell(), cell);
  // While recording the cursor stays where the recording goes on.
  TTablesPageState recording = Playing(rec);
  recording.Recording = true;
  page->Refresh(recording, true);
  QTest::mouseClick(grid, Qt::LeftButton, {}, centre);
  EXPECT_EQ(seeks.size(), 3);
  EXPECT_TRUE(page->StatusLine()->text().contains("once the recording has stopped"));
}

TEST_F(TablesPage, CopyAndSaveGiveTheTableAsText) {
  TRecording* rec = t_.Add("Track day", 60000, Drive(60));
  SetCurrentRecording(t_.core, rec);
  auto page = Page();
  page->Refresh(Playing(rec), true);
  QTest::mouseClick(page->CopyButton(), Qt::LeftButton);
  const QString copied = QApplication::clipboard()->text();
  EXPECT_TRUE(copied.startsWith("MAP \\ Revs\t500\t1000\t")) << copied.toStdString();
  EXPECT_EQ(copied.count('\n'), 11);
  EXPECT_EQ(copied.toStdString(), page->TableText('\t'));
  EXPECT_TRUE(page->StatusLine()->text().startsWith("Copied the table (15 x 10 cells)"));

  const std::string dir = (std::filesystem::temp_directory_path() / "revscope-tables-page").string();
  std::filesystem::create_directories(dir);
  page->ChooseSavePath = [&] { return dir + "/table.csv"; };
  std::vector<std::string> messages;
  page->ShowMessage = [&](const std::string& m) { messages.push_back(m); };
  QTest::mouseClick(page->SaveButton(), Qt::LeftButton);
  std::ifstream in(dir + "/table.csv");
  const std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(saved, page->TableText(','));
  EXPECT_EQ(saved.substr(0, 17), "MAP \\ Revs,500,10");
  EXPECT_EQ(settings_.FileDir, dir);
  EXPECT_TRUE(messages.empty());
  page->ChooseSavePath = [&] { return dir + "/no/such/folder/table.csv"; };
  QTest::mouseClick(page->SaveButton(), Qt::LeftButton);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].find("Could not save the table to '" + dir + "/no/such/folder/table.csv' - "), 0u)
      << messages[0];
  page->ChooseSavePath = [] { return std::string(); };  // cancelled
  QTest::mouseClick(page->SaveButton(), Qt::LeftButton);
  EXPECT_EQ(messages.size(), 1u);
  std::filesystem::remove_all(dir);
}

TEST_F(TablesPage, FillsAsTheRecordingGrowsAndFromTheLatestValuesWhileConnected) {
  TRecording* rec = t_.Add("Recording #1", 0, {{1, {}}, {9, {}}, {2, {}}});
  SetCurrentRecording(t_.core, rec);
  auto page = Page();
  TTablesPageState s = Playing(rec);
  s.Connected = s.Recording = true;
  page->Refresh(s, true);
  EXPECT_TRUE(page->StatusLine()->text().startsWith("Recording #1: 0 of 0 samples"));
  int64_t before = 0;
  for (double from = 0; from < 30; from += 10) {
    for (const auto& [id, samples] : Drive(10, from))
      for (const auto& [t, raw] : samples) rec->HistoryById(id)->Append(t, raw);
    page->Refresh(s, true);
    const TTableCounts c = page->Model().Tracker().Table().Counts();
    EXPECT_EQ(c.Samples, static_cast<int64_t>((from + 10) * 20));
    EXPECT_GT(c.Counted, before);
    before = c.Counted;
    // The newest sample's cell is the cursor's.
    EXPECT_EQ(page->Grid()->CursorCell(), page->Model().Tracker().NewestCell());
    EXPECT_EQ(page->Scatter()->Bins().Columns() > 0, true);
  }
  int dots = 0;
  for (int bin = 0; bin < page->Scatter()->Bins().Columns() * page->Scatter()->Bins().Rows(); ++bin)
    dots += static_cast<int>(page->Scatter()->Bins().Count(bin));
  EXPECT_EQ(dots, before);

  // Connected without recording: every value the link reads.
  TSampleFeed feed;
  s.Recording = false;
  s.Feed = &feed;
  page->Refresh(s, true);
  EXPECT_EQ(page->Model().Tracker().Source(), TTableSource::Live);
  EXPECT_TRUE(page->StatusLine()->text().startsWith("Live values (connected, not recording): 0 of 0 samples"));
  TRawVar* revs = t_.sensors.FindRaw(1);
  TRawVar* map = t_.sensors.FindRaw(9);
  TRawVar* o2 = t_.sensors.FindRaw(2);
  feed.Push(revs->Id, 500, RevsRaw(3100));
  feed.Push(map->Id, 600, MapRaw(0.5));
  feed.Push(o2->Id, 700, LambdaRaw(0.95));
  page->Refresh(s, true);
  EXPECT_EQ(page->Model().Tracker().Table().Counts().Counted, 1);
  EXPECT_EQ(page->Grid()->CursorCell(), 2 * 15 + 5);
  // Disconnected: the recording's table again.
  s.Connected = false;
  page->Refresh(s, true);
  EXPECT_EQ(page->Model().Tracker().Table().Counts().Counted, before);
}

// Connected without recording and the page hidden, 10 s of the link reading the lambda sensor at
// 20 Hz are all in the table, taken in by the window's refreshes.
TEST_F(TablesPage, AHiddenPageTakesEveryLiveSample) {
  auto page = Page();
  page->hide();
  TSampleFeed feed;
  TTablesPageState s;
  s.Connected = true;
  s.Feed = &feed;
  page->Refresh(s);
  ASSERT_EQ(page->Model().Tracker().Source(), TTableSource::Live);
  for (uint32_t k = 0; k < 200; ++k) {
    feed.Push(1, k * 5000, RevsRaw(3100));
    feed.Push(9, k * 5000 + 1000, MapRaw(0.5));
    feed.Push(2, k * 5000 + 2000, LambdaRaw(0.95));
  }
  const TTableTracker& tracker = page->Model().Tracker();
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        page->Refresh(s);
        return tracker.Table().Counts().Samples == 200;
      },
      10000));
  EXPECT_FALSE(page->isVisible());
  EXPECT_EQ(tracker.Table().Counts().Counted, 200);
}

TEST_F(TablesPage, TheScatterPlotDrawsEachDotInItsColourAndTellsWhatLiesThere) {
  // One observation only: 3000 rpm, 0.5 bar, lambda 0.9.
  TRecording* rec =
      t_.Add("One", 1000, {{1, {{0, RevsRaw(3000)}}}, {9, {{0, MapRaw(0.5)}}}, {2, {{10, LambdaRaw(0.9)}}}});
  SetCurrentRecording(t_.core, rec);
  auto page = Page();
  page->Refresh(Playing(rec), true);
  TScatterPlot* plot = page->Scatter();
  const TScatterBins& bins = plot->Bins();
  const TScatterPoint& p = page->Model().Tracker().Points().at(0);
  const int bin = bins.BinOf(p.X, p.Y);
  ASSERT_GE(bin, 0);
  EXPECT_EQ(bins.Count(bin), 1u);
  const TScatterLayout& l = plot->Layout();
  const QPoint dot(l.Plot.Left + (bin % bins.Columns()) * ScatterDot + 1,
                   l.Plot.Top + (bin / bins.Columns()) * ScatterDot + 1);
  const QString tip = plot->TipAt(dot);
  EXPECT_TRUE(tip.contains("1 sample of Lambda\nmean 0.9")) << tip.toStdString();
  EXPECT_TRUE(plot->TipAt(QPoint(1, 1)).isEmpty());
  const QColor expected = QColor::fromRgba(page->Model().Scale().ColourOf(p.Z));
  for (qreal dpr : {1.0, 2.0}) {
    const QImage shot = RenderWidget(*plot, dpr);
    EXPECT_TRUE(Near(PixelAt(shot, dot.x(), dot.y()), expected, 2)) << dpr;
    // The colour bar: rich at the bottom, lean at the top.
    EXPECT_TRUE(Near(PixelAt(shot, l.Bar.Left + l.Bar.Width / 2, l.Bar.Bottom() - 2),
                     QColor::fromRgba(page->Model().Scale().ColourOf(0.85)), 12));
    EXPECT_TRUE(Near(PixelAt(shot, l.Bar.Left + l.Bar.Width / 2, l.Bar.Top + 2),
                     QColor::fromRgba(page->Model().Scale().ColourOf(1.15)), 12));
    SaveArtifact(shot, QString("tables_scatter_one@%1x").arg(dpr));
  }
}

TEST_F(TablesPage, AnEndedRunIsTakenInWholeForSensorsThatReadLaterSamples) {
  // Acceleration across: its value reads the speed two samples on, which the newest samples of a
  // run in progress do not have yet. Speed (hundredths of km/h, as the any-ECU family reports it)
  // rises 2 km/h a second; MAP down, lambda in the cells.
  t_.ecu.SetFamily(FAMILY_ANY);
  t_.sensors.ApplyEcuType(FAMILY_ANY);
  TRecording* rec = t_.Add("Recording #1", 0, {{161, {}}, {9, {}}, {2, {}}});
  SetCurrentRecording(t_.core, rec);
  auto page = Page();
  page->Model().SetSensor(TTableAxis::X, 1113);
  std::string why;
  ASSERT_TRUE(page->Model().SetEdges(TTableAxis::X, "-1,0.001,1", &why));
  page->Model().SetMinCount(1);
  TTablesPageState s = Playing(rec);
  s.Connected = s.Recording = true;
  uint32_t t = 0;
  for (int chunk = 0; chunk < 5; ++chunk) {
    for (int k = 0; k < 20; ++k, t += 5000) {
      rec->HistoryById(161)->Append(t, static_cast<uint16_t>(2000 + t / 500));
      rec->HistoryById(9)->Append(t + 1000, MapRaw(0.5));
      rec->HistoryById(2)->Append(t + 2000, LambdaRaw(1.0));
    }
    page->Refresh(s, true);
  }
  const TTable whole = BuildTable(t_.sensors, *rec, page->Model().Tracker().Spec());
  // While it ran, the newest samples of each refresh seemed to have no acceleration; at the end
  // of the whole run only the last ones have none.
  EXPECT_EQ(whole.Cell(0, 2).Count, 2u);
  EXPECT_GT(page->Model().Tracker().Table().Cell(0, 2).Count, 2u);
  s.Connected = s.Recording = false;
  page->Refresh(s, true);
  EXPECT_EQ(page->Model().Tracker().Table().Counts(), whole.Counts());
  for (int cx = 0; cx < 2; ++cx) EXPECT_EQ(page->Model().Tracker().Table().Cell(cx, 2).Count, whole.Cell(cx, 2).Count);
}

}  // namespace
