// The chart in use, offscreen: a click, a drag, the wheel and a double-click; the reference cursor
// with the values and statistics at both cursors and the copied table; a trace's edges on screen
// and on paper; the yellow's edge; the values on the name's silver ground; the time box in the
// caption row; the pane menu; the empty page.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <filesystem>
#include <map>

#include "GraphSupport.h"
#include "GuiSupport.h"
#include "history/History.h"
#include "rules/GraphPage.h"
#include "widgets/GraphControl.h"
#include "widgets/GraphPrint.h"
#include "windows/GraphPaneMenu.h"

namespace {

constexpr uint32_t kRevs = 1008, kTps = 1002;

void MoveHeld(QWidget& w, QPoint at, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QMouseEvent move(QEvent::MouseMove, QPointF(at), w.mapToGlobal(QPointF(at)), Qt::NoButton, Qt::LeftButton, mods);
  QApplication::sendEvent(&w, &move);
}

void Wheel(QWidget& w, QPoint at, QPoint angle, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QWheelEvent e(QPointF(at), w.mapToGlobal(QPointF(at)), QPoint(), angle, Qt::NoButton, mods, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&w, &e);
}

// The trace colour's pixels in the pane's first and last two columns, below y.
int EdgePixels(const QImage& shot, const TGraphlet& p, int below, const QColor& colour) {
  const QRect left(p.Left, below, 2, p.Bottom() - below - 1), right(p.Left + p.Width - 2, below, 2, p.Bottom() - below - 1);
  return CountNear(shot, left, colour, 30) + CountNear(shot, right, colour, 30);
}

class GraphMouseTest : public GraphControlTest {
 protected:
  // A chart of two panes over a minute: Revs in blue (so that red is the band's alone), TPS.
  std::unique_ptr<TGraphControl> TwoPanes() {
    Record(60, 20);
    selection_.AddId(kRevs);
    selection_.AddId(kTps);
    selection_.SetColour(kRevs, 0x0000FF);
    auto g = Chart(900, 400);
    RenderWidget(*g, 1.0);  // laid out and drawn once
    return g;
  }
};

}  // namespace

TEST_F(GraphMouseTest, AClickPutsTheCursorThereAndAShiftClickTheReference) {
  auto g = TwoPanes();
  const TGraphModel& m = g->Graph().Model;
  QSignalSpy picked(g.get(), &TGraphControl::CursorPicked);
  const int x = m.TimeToX(30);
  QTest::mouseClick(g.get(), Qt::LeftButton, {}, QPoint(x, 100));
  EXPECT_NEAR(g->Position(), 30, 1 / m.PixelsPerSecond);
  ASSERT_EQ(picked.size(), 1);
  EXPECT_EQ(picked[0][0].toDouble(), g->Position());
  QTest::mouseClick(g.get(), Qt::LeftButton, Qt::ShiftModifier, QPoint(m.TimeToX(12), 100));
  ASSERT_TRUE(g->Reference());
  EXPECT_NEAR(*g->Reference(), 12, 1 / m.PixelsPerSecond);
  EXPECT_EQ(picked.size(), 1);  // the play position stays
  // Taken by its line, the cursor follows the pointer.
  QTest::mousePress(g.get(), Qt::LeftButton, {}, QPoint(x + 2, 100));
  MoveHeld(*g, QPoint(m.TimeToX(45), 100));
  EXPECT_NEAR(g->Position(), 45, 1 / m.PixelsPerSecond);
  QTest::mouseRelease(g.get(), Qt::LeftButton, {}, QPoint(m.TimeToX(45), 100));
  EXPECT_FALSE(g->RectangleShown());
  EXPECT_DOUBLE_EQ(g->EndTime(), 60);  // no zoom
}

TEST_F(GraphMouseTest, ADragZoomsToItsSpanAndTheBandGoes) {
  auto g = TwoPanes();
  const TGraphModel& m = g->Graph().Model;
  const QPoint from(m.TimeToX(10), 60), to(m.TimeToX(25), 200);
  QTest::mousePress(g.get(), Qt::LeftButton, {}, from);
  MoveHeld(*g, to);
  ASSERT_TRUE(g->RectangleShown());
  const QImage during = Shots(*g, "graph_drag_band");
  const QRect band(from, to);
  EXPECT_GT(CountNear(during, QRect(band.left(), band.top(), band.width(), 1), QColor(255, 0, 0), 40), band.width() / 4);
  QTest::mouseRelease(g.get(), Qt::LeftButton, {}, to);
  EXPECT_NEAR(g->StartTime(), 10, 0.1);
  EXPECT_NEAR(g->EndTime(), 25, 0.1);
  EXPECT_FALSE(g->RectangleShown());
  const QImage after = RenderWidget(*g, 1.0);
  EXPECT_EQ(CountNear(after, QRect(band.left(), band.top(), band.width(), 1), QColor(255, 0, 0), 40), 0);
  // Under four pixels it is a click: the cursor moves, the window stays.
  QTest::mousePress(g.get(), Qt::LeftButton, {}, QPoint(400, 60));
  MoveHeld(*g, QPoint(403, 62));
  QTest::mouseRelease(g.get(), Qt::LeftButton, {}, QPoint(403, 62));
  EXPECT_NEAR(g->StartTime(), 10, 0.1);
  EXPECT_NEAR(g->Position(), g->Graph().Model.XToTime(400), 1e-9);
}

TEST_F(GraphMouseTest, TheWheelZoomsAroundThePointerAndPansWithShiftOrSideways) {
  auto g = TwoPanes();
  const TGraphModel& m = g->Graph().Model;
  const int x = m.TimeToX(15);  // a quarter in
  Wheel(*g, QPoint(x, 100), QPoint(0, 120));
  EXPECT_NEAR(g->EndTime() - g->StartTime(), 48, 1e-9);
  EXPECT_NEAR(g->Graph().Model.XToTime(x), 15, 0.05);  // the time under the pointer stays there
  const double start = g->StartTime();
  Wheel(*g, QPoint(x, 100), QPoint(0, -120), Qt::ShiftModifier);
  EXPECT_NEAR(g->StartTime(), start + 4.8, 1e-9);  // a tenth of the span on
  Wheel(*g, QPoint(x, 100), QPoint(120, 0));
  EXPECT_NEAR(g->StartTime(), start, 1e-9);  // and back, sideways
}

TEST_F(GraphMouseTest, ADoubleClickShowsTheFullLength) {
  auto g = TwoPanes();
  g->SetWindow(20, 30);
  QTest::mouseDClick(g.get(), Qt::LeftButton, {}, QPoint(300, 100));
  EXPECT_DOUBLE_EQ(g->StartTime(), 0);
  EXPECT_DOUBLE_EQ(g->EndTime(), 60);
}

TEST_F(GraphMouseTest, TwoCursorsShowTheValuesStatisticsAndTimesFromTheHistory) {
  // The revs climb steadily: from 12 s to 40 s every value between the two cursors counts.
  Record(60, 20, kRevs, [](double t) { return static_cast<int>(1875000 / (1000 + 100 * t)); });
  selection_.AddId(kRevs);
  selection_.AddId(kTps);
  auto chart = Chart(1100, 420);
  TGraphControl& g = *chart;
  g.SetPosition(40);
  g.SetReference(12);
  TDisplayVar* revs = t_.sensors.FindDisplay(kRevs);
  const TVarHist& h = *revs->History();
  double lo = 1e300, hi = -1e300, sum = 0;
  const int32_t a = h.IndexAtSeconds(12), b = h.IndexAtSeconds(40);
  for (int32_t k = a; k <= b; ++k) {
    const double v = revs->GetValueAtIndex(revs->Unit, k);
    lo = std::min(lo, v);
    hi = std::max(hi, v);
    sum += v;
  }
  const TCursorReadout& r = g.Readouts()[0];
  EXPECT_EQ(r.Lowest, FormatValue(revs->Unit, lo));
  EXPECT_EQ(r.Highest, FormatValue(revs->Unit, hi));
  EXPECT_EQ(r.Mean, FormatValue(revs->Unit, sum / (b - a + 1)));
  EXPECT_EQ(r.AtCursor, FormatValue(revs->Unit, revs->GetValueAtIndex(revs->Unit, b)));
  EXPECT_EQ(r.AtReference, FormatValue(revs->Unit, revs->GetValueAtIndex(revs->Unit, a)));
  EXPECT_EQ(r.Delta.front(), '+');
  const TCursorAxis& axis = g.Axis();
  EXPECT_TRUE(axis.Cursor.Shown && axis.Reference.Shown && axis.Delta.Shown);
  EXPECT_EQ(axis.Delta.Text, CursorDeltaText(40, 12));

  const QImage shot = Shots(g, "graph_two_cursors");
  const TGraphModel& m = g.Graph().Model;
  // The reference's dashed green line, the cursor's blue one.
  const QRect refLine(m.TimeToX(12), m.TopMargin, 1, m.NextPaneTop - m.TopMargin);
  EXPECT_GT(CountNear(shot, refLine, QColor(0, 128, 0), 30), refLine.height() / 4);
  // The three boxes in the caption row, apart; the time labels' row above them keeps its labels.
  for (const TAxisBox& box : {axis.Cursor, axis.Reference, axis.Delta})
    EXPECT_GT(CountNear(shot, QRect(box.X, axis.Y, box.Width, 1), QColor(255, 255, 255), 8) +
                  CountNear(shot, QRect(box.X, axis.Y, box.Width, 1), QColor(0, 0, 255), 8) +
                  CountNear(shot, QRect(box.X, axis.Y, box.Width, 1), QColor(0, 128, 0), 8) +
                  CountNear(shot, QRect(box.X, axis.Y, box.Width, 1), QColor(0, 0, 0), 8),
              box.Width * 3 / 4)
        << box.Text;
  EXPECT_EQ(axis.Y, m.Height - m.TextHeight);

  g.CopyValues();
  const QString copied = QGuiApplication::clipboard()->text();
  EXPECT_EQ(copied.toStdString(), g.ValuesTable());
  EXPECT_TRUE(copied.startsWith("Sensor\tUnit\tAt reference\tAt cursor\t"));
  EXPECT_TRUE(copied.contains(QString::fromStdString("\nRevs\t" + r.Unit + "\t" + r.AtReference + "\t" + r.AtCursor)));
  g.ClearReference();
  EXPECT_FALSE(g.Axis().Delta.Shown);
  EXPECT_EQ(g.Readouts()[0].Text(), r.AtCursor + " " + r.Unit);
}

TEST_F(GraphMouseTest, TheValuesSitOnTheNamesSilverGroundNeverOverTheTrace) {
  // The revs run along the top of their pane, right through the name's row.
  Record(60, 20, kRevs, [](double) { return 1875000 / 8400; });
  selection_.AddId(kRevs);
  auto chart = Chart(700, 200);
  TGraphControl& g = *chart;
  g.SetPosition(20);
  g.SetReference(5);
  const QImage shot = Shots(g, "graph_values_on_silver");
  const TGraphlet& p = g.Graph().Model.Panes[0];
  const int w = g.Graph().Model.TextWidth(std::string("Revs  ") + g.Readouts()[0].Text());
  const QRect box(p.Left + 1, p.Top + 1, w - 4, g.Graph().Model.TextHeight);
  EXPECT_GT(CountNear(shot, QRect(p.Left + w + 10, p.Top + 1, 50, box.height()), QColor(255, 0, 0), 40), 20);  // the trace
  EXPECT_EQ(CountNear(shot, box, QColor(255, 0, 0), 40), 0);  // none of it under the values
  EXPECT_GT(CountNear(shot, box, QColor(192, 192, 192), 4), box.width() * box.height() / 2);
}

TEST_F(GraphMouseTest, TheCursorsTimeBoxIsInTheCaptionRowAndInsideAtBothEnds) {
  auto g = TwoPanes();
  const TGraphModel& m = g->Graph().Model;
  for (double t : {0.02, 59.98}) {
    g->SetPosition(t);
    const QImage shot = RenderWidget(*g, 2.0);
    SaveArtifact(shot, QString("graph_time_box_%1@2x").arg(t < 1 ? "left" : "right"));
    const TAxisBox box = g->Axis().Cursor;
    ASSERT_TRUE(box.Shown);
    EXPECT_GE(box.X, 0);
    EXPECT_LE(box.X + box.Width, m.Width);
    // Its blue frame is in the bottom row; the labels' row above has no blue beside the line.
    EXPECT_GT(CountNear(shot, QRect(box.X, m.Height - m.TextHeight, box.Width, 1), QColor(0, 0, 255), 40), box.Width / 2);
    const int x = m.TimeToX(t);
    const QRect labels(0, m.Height - 2 * m.TextHeight + 1, m.Width, m.TextHeight - 2);
    EXPECT_EQ(CountNear(shot, labels, QColor(0, 0, 255), 40),
              CountNear(shot, QRect(x - 1, labels.top(), 3, labels.height()), QColor(0, 0, 255), 40));
  }
}

TEST_F(GraphMouseTest, TheYellowTraceHasADarkEdgeTheOthersNone) {
  Record(60, 20);
  Select(8);
  selection_.AddId(kTps);  // the ninth, with its line inside its range
  auto chart = Chart(900, 700);
  TGraphControl& g = *chart;
  const QImage shot = Shots(g, "graph_nine_colours");
  auto paneRect = [&](int i) {
    const TGraphlet& p = g.Graph().Model.Panes[static_cast<size_t>(i)];
    return QRect(p.Left + 1, p.Top + 16, p.Width - 2, p.Height - 17);
  };
  ASSERT_EQ(g.Graph().Model.Panes[8].Colour, 0xFFFF00u);
  EXPECT_GT(CountNear(shot, paneRect(8), QColor(255, 255, 0), 10), 100);
  EXPECT_GT(CountNear(shot, paneRect(8), QColor(114, 114, 0), 10), 100);  // the edge along it
  EXPECT_EQ(CountNear(shot, paneRect(0), QColor(114, 0, 0), 10), 0);      // the red has none
}

TEST_F(GraphMouseTest, ATraceEndsAtItsSamplesOnScreenAndOnPaper) {
  // TPS (filled) held at the middle of its range: nothing of the line may run down either edge.
  Record(60, 20, kTps, [](double) { return 128; });
  selection_.AddId(kTps);
  selection_.AddId(kRevs);
  auto chart = Chart(900, 400);
  TGraphControl& g = *chart;
  const QColor red(255, 0, 0), fill(255, 175, 175);
  for (auto [start, end] : {std::pair{0.0, 60.0}, std::pair{20.0, 40.0}}) {
    g.SetWindow(start, end);
    const QImage shot = Shots(g, QString("graph_edges_%1s").arg(end - start));
    const TGraphlet& p = g.Graph().Model.Panes[0];
    TDisplayVar* tps = t_.sensors.FindDisplay(kTps);
    const int lineY = p.ValueToY(tps->Convert(tps->Unit, 128));
    ASSERT_GT(lineY, p.Top + 10);
    EXPECT_GT(CountNear(shot, QRect(p.Left, lineY - 2, p.Width, 5), red, 30), p.Width);  // the line across
    EXPECT_EQ(EdgePixels(shot, p, lineY + 3, red), 0) << start;                        // and no edge down
    EXPECT_GT(CountNear(shot, QRect(p.Left, p.Bottom() - 3, p.Width, 2), fill, 10), p.Width);  // filled to the bottom
  }

  // On paper: the page rendered by pdftoppm.
  QTemporaryDir tmp;
  const std::string pdf = tmp.path().toStdString() + "/edges.pdf";
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdf));
  TGraphlet pane;
  {
    QPainter painter;
    ASSERT_TRUE(painter.begin(&printer));
    TGraphPrint page(printer, selection_, t_.core);
    page.SetStartTime(0);
    page.SetEndTime(60);
    page.Print(painter);
    pane = page.Graph().Model.Panes[0];
    ASSERT_TRUE(painter.end());
  }
  if (QStandardPaths::findExecutable("pdftoppm").isEmpty()) GTEST_SKIP() << "pdftoppm is not installed";
  const int dpi = 150;
  QProcess::execute("pdftoppm", {"-r", QString::number(dpi), "-singlefile", "-png", QString::fromStdString(pdf),
                                 tmp.path() + "/edges"});
  QImage page(tmp.path() + "/edges.png");
  ASSERT_FALSE(page.isNull());
  SaveArtifact(page, "graph_edges_printout");
  // The page's pixels are the printer's scaled down; the printable area starts at the margins.
  const double k = static_cast<double>(dpi) / printer.resolution();
  const QRect paper = printer.pageLayout().paintRectPixels(printer.resolution());
  auto toPage = [&](int x, int y) { return QPoint(qRound((paper.left() + x) * k), qRound((paper.top() + y) * k)); };
  TDisplayVar* tps = t_.sensors.FindDisplay(kTps);
  const QPoint topLeft = toPage(pane.Left, pane.Top), bottomRight = toPage(pane.Left + pane.Width, pane.Bottom());
  const int lineY = toPage(0, pane.ValueToY(tps->Convert(tps->Unit, 128))).y();
  TGraphlet scaled;
  scaled.Left = topLeft.x();
  scaled.Width = bottomRight.x() - topLeft.x();
  scaled.Top = topLeft.y();
  scaled.Height = bottomRight.y() - topLeft.y() - 1;
  EXPECT_GT(CountNear(page, QRect(scaled.Left, lineY - 2, scaled.Width, 5), red, 60), scaled.Width);
  EXPECT_EQ(EdgePixels(page, scaled, lineY + 4, red), 0);
}

TEST_F(GraphMouseTest, ThePaneMenuRemovesItsSensorAndSetsItsColour) {
  auto g = TwoPanes();
  std::map<TCommand, QAction*> actions;
  QWidget owner;
  auto action = [&](TCommand c) {
    if (!actions[c]) actions[c] = new QAction(QString::fromUtf8(FindCommandInfo(c)->Caption), &owner);
    return actions[c];
  };
  int edited = 0;
  selection_.ClearColour(kRevs);
  g->Rebuild();
  {
    TGraphPaneMenu menu(nullptr, *g, selection_, 0, action, [&] {
      ++edited;
      g->Rebuild();
    });
    QStringList captions;
    for (QAction* a : menu.actions())
      if (!a->isSeparator()) captions << a->text();
    EXPECT_EQ(captions, (QStringList{"Zoom &In", "Zoom &Out", "Show &Full Length", "&Add Sensors...", "&Remove Sensors...",
                                     "Remove Revs", "Set Reference Cursor Here\tShift+Click", "Clear Reference Cursor\tEsc",
                                     "Copy Values\tCtrl+C", "Colour"}));
    menu.adjustSize();
    Shots(menu, "graph_pane_menu");
    ASSERT_NE(menu.ColourMenu(), nullptr);
    QAction* teal = nullptr;
    QAction* byDefault = nullptr;
    for (QAction* a : menu.ColourMenu()->actions()) {
      if (a->text() == "Teal") teal = a;
      if (a->text() == "Default (Red)") byDefault = a;
    }
    ASSERT_TRUE(teal && byDefault);
    EXPECT_TRUE(byDefault->isChecked());
    teal->trigger();
    EXPECT_EQ(selection_.Colour(kRevs), 0x008080u);
    EXPECT_EQ(g->Graph().Model.Panes[0].Colour, 0x008080u);
    byDefault->trigger();
    EXPECT_EQ(selection_.Colour(kRevs), std::nullopt);
    EXPECT_EQ(g->Graph().Model.Panes[0].Colour, 0xFF0000u);
  }
  TGraphPaneMenu menu(nullptr, *g, selection_, 0, action, [&] { ++edited; });
  for (QAction* a : menu.actions())
    if (a->text() == "Remove Revs") a->trigger();
  EXPECT_FALSE(selection_.ContainsId(kRevs));
  EXPECT_EQ(edited, 3);
}

TEST_F(GraphMouseTest, TheEmptyPageSaysHowToGraphAndHowToRecord) {
  auto chart = Chart(900, 400);
  TGraphControl& g = *chart;
  for (qreal dpr : {1.0, 2.0}) {
    const QImage shot = RenderWidget(g, dpr);
    SaveArtifact(shot, QString("graph_empty_page@%1x").arg(dpr));
    // A white box in the middle with dark lines of text in it.
    const QRect middle(300, 150, 300, 100);
    EXPECT_GT(CountNear(shot, middle, QColor(255, 255, 255), 4), 300 * 100 / 2);
    EXPECT_GT(CountNear(shot, QRect(50, 100, 800, 200), QColor(40, 40, 40), 60), 300);
  }
  // With a recording but still no sensor, only how to graph one.
  Record(10, 2);
  g.RecordingChanged();
  const QImage shot = Shots(g, "graph_no_sensors");
  EXPECT_GT(CountNear(shot, QRect(50, 100, 800, 200), QColor(40, 40, 40), 60), 200);
}
