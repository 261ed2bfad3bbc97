// The round dial: its geometry, clamps, tick colours, needle position and layer caching.
#include <gtest/gtest.h>

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

#include <cmath>
#include <limits>

#include "GuiSupport.h"
#include "widgets/Meter270Display.h"

namespace {

const QColor kBlue(0, 0, 255);

// A rev counter as the dashboard sets it up, with a blue needle that no other part uses.
struct Dial : ::testing::Test {
  TMeter270Display d{nullptr, QStringLiteral("gcRevs")};
  void SetUp() override {
    d.SetCaption(QString());
    d.SetBorderStyle(dbsNone);
    d.SetArcWidth(3);
    d.SetLabelDivider(1000);
    d.SetNeedleBaseRadius(18);
    d.SetNeedleColour(kBlue);
    d.resize(300, 300);
    d.LayoutNow();
  }
  // Point at a value's angle and a fraction of the radius.
  QPointF PointOf(double value, double fraction) const {
    return d.Centre() + TMeter270Display::GetArcPosF(d.AngleOf(value), d.Radius() * fraction);
  }
};

// Records the rectangles of paint events.
struct PaintSpy : QObject {
  QVector<QRect> rects;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) rects.push_back(static_cast<QPaintEvent*>(e)->rect());
    return false;
  }
};

}  // namespace

TEST(DialGeometry, ArcPositionPointsDownAtZeroAndTurnsClockwise) {
  EXPECT_EQ(TMeter270Display::GetArcPos(0, 100), QPoint(0, 100));
  EXPECT_EQ(TMeter270Display::GetArcPos(90, 100), QPoint(-100, 0));
  EXPECT_EQ(TMeter270Display::GetArcPos(180, 100), QPoint(0, -100));
  EXPECT_EQ(TMeter270Display::GetArcPos(270, 100), QPoint(100, 0));
}

TEST(DialGeometry, ArcPositionTruncatesTowardZero) {
  EXPECT_EQ(TMeter270Display::GetArcPos(45, 10), QPoint(-7, 7));     // -7.07, 7.07
  EXPECT_EQ(TMeter270Display::GetArcPos(60, 10), QPoint(-8, 5));     // -8.66, 5.00
  EXPECT_EQ(TMeter270Display::GetArcPos(300, 10), QPoint(8, 5));     // 8.66, 5.00
  EXPECT_EQ(TMeter270Display::GetArcPos(225, 10), QPoint(7, -7));    // 7.07, -7.07
}

TEST_F(Dial, AngleScalesTheValueAcrossTheSpan) {
  EXPECT_DOUBLE_EQ(d.AngleOf(0), 45.0);
  EXPECT_DOUBLE_EQ(d.AngleOf(9500), 300.0);
  EXPECT_DOUBLE_EQ(d.AngleOf(4750), 172.5);
  // The value itself is scaled, not its distance from the minimum.
  d.SetValueMin(1000);
  EXPECT_DOUBLE_EQ(d.AngleOf(1000), 45.0 + 1000.0 * 255.0 / 8500.0);
}

TEST_F(Dial, ValueIsClampedToTheRange) {
  d.SetValue(12000);
  EXPECT_EQ(d.Value(), 9500);
  d.SetValue(-250);
  EXPECT_EQ(d.Value(), 0);
  d.SetValue(4321.5);
  EXPECT_EQ(d.Value(), 4321.5);
  d.SetValue(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(d.Value(), 0);
}

TEST_F(Dial, NeedleLiesAtTheValuesAngle) {
  for (qreal dpr : {1.0, 2.0})
    for (double v : {0.0, 2500.0, 6000.0, 9500.0}) {
      d.SetValue(v);
      const QImage img = RenderWidget(d, dpr);
      for (double f : {0.45, 0.6, 0.75})
        EXPECT_TRUE(Near(PixelAt(img, PointOf(v, f).x(), PointOf(v, f).y()), kBlue, 40))
            << "value " << v << " at " << f << " r, ratio " << dpr;
      // Nowhere near the opposite side of the scale.
      const double other = v < 4750 ? v + 4000 : v - 4000;
      EXPECT_FALSE(Near(PixelAt(img, PointOf(other, 0.6).x(), PointOf(other, 0.6).y()), kBlue, 80));
    }
}

TEST_F(Dial, NeedleStopsAtTheEndsOfTheScale) {
  d.SetValue(20000);
  QImage img = RenderWidget(d);
  EXPECT_TRUE(Near(PixelAt(img, PointOf(9500, 0.7).x(), PointOf(9500, 0.7).y()), kBlue, 40));
  d.SetValue(-3000);
  img = RenderWidget(d);
  EXPECT_TRUE(Near(PixelAt(img, PointOf(0, 0.7).x(), PointOf(0, 0.7).y()), kBlue, 40));
}

TEST_F(Dial, ArcAndTicksTurnRedAtTheRedLine) {
  d.SetValue(0);
  const QImage img = RenderWidget(d, 2.0);
  const QColor red(255, 0, 0), black(0, 0, 0);
  const double r = d.Radius(), s = d.DrawScale();
  auto at = [&](double v, double radius) {
    const QPointF p = d.Centre() + TMeter270Display::GetArcPosF(d.AngleOf(v), radius);
    return PixelAt(img, p.x(), p.y());
  };
  // The arc, sampled just outside the ticks' outer ends: black well before the red line, red
  // near the end, and turning red within a degree and a half either side of the red line's angle.
  const double redAngle =
      d.AngleStart() + d.ValueRedline() * (d.AngleEnd() - d.AngleStart()) / (d.ValueMax() - d.ValueMin());
  auto arc = [&](double angle) {
    const QPointF p = d.Centre() + TMeter270Display::GetArcPosF(angle, r + 1);
    return PixelAt(img, p.x(), p.y());
  };
  EXPECT_TRUE(Near(at(5100, r), black, 60));
  EXPECT_TRUE(Near(at(9400, r), red, 60));
  EXPECT_TRUE(Near(arc(redAngle - 1.5), black, 60));
  EXPECT_TRUE(Near(arc(redAngle + 1.5), red, 60));
  // Labelled ticks (12 long), a major tick (9) and a minor tick (6), inside the arc.
  EXPECT_TRUE(Near(at(3000, r - 8 * s), black, 60));
  EXPECT_TRUE(Near(at(9000, r - 8 * s), red, 60));
  EXPECT_TRUE(Near(at(8500, r - 6 * s), red, 60));
  EXPECT_TRUE(Near(at(7500, r - 6 * s), black, 60));
  EXPECT_TRUE(Near(at(8250, r - 4 * s), red, 60));
  EXPECT_TRUE(Near(at(7750, r - 4 * s), black, 60));
  // A minor tick's length ends short of a major tick's.
  EXPECT_TRUE(Near(at(7750, r - 7.5 * s), d.Color(), 60));
}

TEST_F(Dial, LabelsSitInsideTheTicks) {
  const QImage img = RenderWidget(d, 2.0);
  const double s = d.DrawScale();
  for (int v : {0, 3000, 5000, 9000}) {
    const QPointF c = PointOf(v, 1.0) + (d.Centre() - PointOf(v, 1.0)) * (24 * s / d.Radius());
    const QRect box(int(c.x()) - 8, int(c.y()) - 8, 16, 16);
    EXPECT_GT(CountNear(img, box, QColor(0, 0, 0), 90), 10) << "label of " << v;
  }
}

TEST_F(Dial, StaticLayerIsKeptAcrossValueChanges) {
  RenderWidget(d);
  const int builds = d.StaticLayerBuilds();
  const int paints = d.VariablePaints();
  for (double v : {1000.0, 2000.0, 7777.0}) {
    d.SetValue(v);
    RenderWidget(d);
  }
  EXPECT_EQ(d.StaticLayerBuilds(), builds);
  EXPECT_EQ(d.VariablePaints(), paints + 3);
  // A second pixel ratio gets its own layer; both stay cached.
  RenderWidget(d, 2.0);
  RenderWidget(d, 1.0);
  RenderWidget(d, 2.0);
  EXPECT_EQ(d.StaticLayerBuilds(), builds + 1);
}

TEST_F(Dial, ScaledPaintingGetsALayerAtItsDensity) {
  RenderWidget(d);
  const int builds = d.StaticLayerBuilds();
  d.SetValue(5000);
  QImage print(900, 900, QImage::Format_ARGB32_Premultiplied);
  print.fill(Qt::white);
  QPainter p(&print);
  p.scale(3, 3);  // as a printer or a zoomed preview paints
  d.render(&p);
  p.end();
  EXPECT_EQ(d.StaticLayerBuilds(), builds + 1);
  const QPointF at = PointOf(5000, 0.6) * 3;
  EXPECT_TRUE(Near(print.pixelColor(at.toPoint()), kBlue, 40));
  SaveArtifact(print, QStringLiteral("dial_scaled_x3"));
}

TEST_F(Dial, PropertyChangeAndResizeRebuildTheStaticLayer) {
  RenderWidget(d);
  int builds = d.StaticLayerBuilds();
  d.SetValueRedline(6000);
  RenderWidget(d);
  EXPECT_EQ(d.StaticLayerBuilds(), ++builds);
  d.resize(200, 170);
  EXPECT_EQ(d.StaticLayerBuilds(), builds);  // not before the next paint
  const QImage img = RenderWidget(d);
  EXPECT_EQ(d.StaticLayerBuilds(), ++builds);
  EXPECT_EQ(img.size(), QSize(200, 170));
  EXPECT_LT(d.Radius(), 100);
}

TEST_F(Dial, ValueChangeRepaintsOnlyAroundTheNeedle) {
  d.show();
  ProcessEvents();
  PaintSpy spy;
  d.installEventFilter(&spy);
  d.SetValue(1000);
  ProcessEvents();
  ASSERT_FALSE(spy.rects.isEmpty());
  const QRect painted = spy.rects.back();
  EXPECT_NE(painted, d.rect());
  // Old and new needle positions are both inside.
  EXPECT_TRUE(painted.contains(PointOf(0, 0.9).toPoint()));
  EXPECT_TRUE(painted.contains(PointOf(1000, 0.9).toPoint()));
  EXPECT_FALSE(painted.contains(PointOf(7000, 0.9).toPoint()));
  // Setting the value it already shows draws nothing.
  spy.rects.clear();
  d.SetValue(1000);
  ProcessEvents();
  EXPECT_TRUE(spy.rects.isEmpty());
  d.hide();
}

TEST_F(Dial, WideControlGetsADialThatFitsItsHeight) {
  d.resize(400, 200);
  d.LayoutNow();
  // The lowest point of the arc (at 45 degrees) stays inside the control.
  EXPECT_LE(PointOf(0, 1.0).y() + d.ArcWidth(), 200);
  EXPECT_DOUBLE_EQ(d.Centre().x(), 200.0);
  // A control taller than wide keeps the width-driven radius.
  d.resize(250, 212);
  d.LayoutNow();
  EXPECT_DOUBLE_EQ(d.Radius(), (250 - 2 * 1 - 2 * 4 - 4) / 2.0);
}

TEST_F(Dial, DegenerateSettingsDrawWithoutHanging) {
  d.SetValueMin(5000);
  d.SetValueMax(5000);
  d.SetValue(7000);
  EXPECT_EQ(d.Value(), 5000);
  RenderWidget(d);
  d.SetValueMax(1000);  // maximum below minimum
  d.SetTickIncrement(0);
  d.SetTickIncrementMajor(-5);
  d.SetLabelDivider(0);
  RenderWidget(d);
  d.SetValueMin(0);
  d.SetValueMax(2000000000);
  d.SetTickIncrement(1);
  d.SetTickIncrementMajor(1);
  d.SetTickIncrementMinor(1);
  RenderWidget(d);
  d.resize(3, 3);
  RenderWidget(d);
  d.resize(0, 0);
  RenderWidget(d);
  SUCCEED();
}
