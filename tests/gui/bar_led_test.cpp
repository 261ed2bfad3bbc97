// The vertical bar meter and the lamp: layout, bands, ticks, pointer, repaint rules.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPaintEvent>

#include <cmath>
#include <limits>

#include "GuiSupport.h"
#include "widgets/LEDDisplay.h"
#include "widgets/VertMeterDisplay.h"

namespace {

const QColor kGreen(0, 128, 0), kYellow(255, 255, 0), kRed(255, 0, 0), kLime(0, 255, 0);

struct Bar : ::testing::Test {
  TVertMeterDisplay b{nullptr, QStringLiteral("gcTW")};
  void SetUp() override {
    WaterBar(b);  // the dashboard's water-temperature bar
    b.resize(68, 300);
    b.LayoutNow();
  }
  int BandX() const { return b.BarX() + b.LineWidth() + 1; }
};

}  // namespace

TEST_F(Bar, LayoutFollowsTheLabelHeightAndPointerSize) {
  const int m = b.Margin();
  EXPECT_EQ(b.LabelHeight(), TextExtent(b.ValueFont(), QStringLiteral("120")).height());
  EXPECT_EQ(b.ScaleTop(), m + 2 * m + b.LabelHeight() / 2);
  EXPECT_EQ(b.BarX(), 17 + 2 * m);
  EXPECT_EQ(b.ScaleHeight(), 300 - b.ScaleTop() - m - b.LabelHeight());
}

TEST_F(Bar, PointerPositionRunsFromBottomToTopAndClamps) {
  const int top = b.ScaleTop(), h = b.ScaleHeight();
  EXPECT_EQ(b.GetPointerPos(20), top + h);
  EXPECT_EQ(b.GetPointerPos(120), top);
  EXPECT_EQ(b.GetPointerPos(70), top + h - int(std::trunc(h * 0.5)));
  EXPECT_EQ(b.GetPointerPos(33), top + h - int(std::trunc(h * 13 / 100.0)));
  EXPECT_EQ(b.GetPointerPos(500), top);
  EXPECT_EQ(b.GetPointerPos(-40), top + h);
  EXPECT_EQ(b.GetPointerPos(std::numeric_limits<double>::quiet_NaN()), top + h);
}

TEST_F(Bar, EmptyRangePutsThePointerAtTheBottom) {
  b.SetValueMax(20);
  b.LayoutNow();
  EXPECT_EQ(b.GetPointerPos(20), b.ScaleTop() + b.ScaleHeight());
  EXPECT_EQ(b.GetPointerPos(100), b.ScaleTop() + b.ScaleHeight());
  b.SetValueMax(10);
  b.SetValue(15);
  RenderWidget(b);
  EXPECT_EQ(b.GetPointerPos(15), b.ScaleTop() + b.ScaleHeight());
}

TEST_F(Bar, ValueIsClampedToTheRange) {
  b.SetValue(150);
  EXPECT_EQ(b.Value(), 120);
  b.SetValue(-3);
  EXPECT_EQ(b.Value(), 20);
}

TEST_F(Bar, BandsShowTheirColourAtTheirHeight) {
  for (qreal dpr : {1.0, 2.0}) {
    const QImage img = RenderWidget(b, dpr);
    EXPECT_TRUE(Near(PixelAt(img, BandX(), b.GetPointerPos(55) + 0.5), kGreen, 4));  // between ticks
    EXPECT_TRUE(Near(PixelAt(img, BandX(), b.GetPointerPos(95) + 0.5), kYellow, 4));
    EXPECT_TRUE(Near(PixelAt(img, BandX(), b.GetPointerPos(115) + 0.5), kRed, 4));
  }
}

TEST_F(Bar, BandWithEqualEndsIsNotDrawn) {
  b.ValueColour().SetRange2From(100);
  b.ValueColour().SetRange2To(100);
  b.ValueColour().SetRange1To(80);
  const QImage img = RenderWidget(b);
  EXPECT_TRUE(Near(PixelAt(img, BandX(), b.GetPointerPos(85) + 0.5), b.Color(), 4));
  for (int y = b.GetPointerPos(110); y <= b.GetPointerPos(82); ++y)
    EXPECT_FALSE(Near(PixelAt(img, BandX(), y + 0.5), kYellow, 40)) << y;
}

TEST_F(Bar, MajorTicksAndLabelsNeedAPositiveIncrement) {
  b.TickMajor().SetWidth(12);  // longer than the minor ticks
  const int labelX = b.BarX() + b.LineWidth() + b.TickMajor().Width() + b.Margin();
  const QRect labels(labelX, 0, 68 - labelX, 300);
  QImage img = RenderWidget(b);
  EXPECT_GT(CountNear(img, labels, Qt::black, 100), 50);
  const int withMajor = CountNear(img, QRect(labelX - 2, 0, 2, 300), Qt::black, 10);
  EXPECT_GT(withMajor, 0);
  b.TickMajor().SetIncrement(0);
  img = RenderWidget(b);
  EXPECT_EQ(CountNear(img, labels, Qt::black, 100), 0);
  EXPECT_EQ(CountNear(img, QRect(labelX - 2, 0, 2, 300), Qt::black, 10), 0);
}

TEST_F(Bar, PointerMarksTheValue) {
  for (double v : {20.0, 64.0, 120.0}) {
    b.SetValue(v);
    const QImage img = RenderWidget(b, 2.0);
    const int y = b.GetPointerPos(v);
    EXPECT_TRUE(Near(PixelAt(img, b.BarX() - b.PointerSize() / 2.0, y + 0.5), kLime, 10)) << v;
    EXPECT_FALSE(Near(PixelAt(img, b.BarX() - b.PointerSize() / 2.0, y + b.PointerSize() + 3), kLime, 60)) << v;
  }
}

TEST_F(Bar, ValueChangeKeepsTheStaticLayer) {
  RenderWidget(b);
  const int builds = b.StaticLayerBuilds();
  b.SetValue(77);
  RenderWidget(b);
  EXPECT_EQ(b.StaticLayerBuilds(), builds);
  b.TickMinor().SetIncrement(5);  // an owned property object redraws the scale
  RenderWidget(b);
  EXPECT_EQ(b.StaticLayerBuilds(), builds + 1);
  b.resize(68, 200);
  RenderWidget(b);
  EXPECT_EQ(b.StaticLayerBuilds(), builds + 2);
}

TEST_F(Bar, NarrowControlShrinksOrDropsTheLabels) {
  b.resize(50, 300);
  b.LayoutNow();
  EXPECT_TRUE(b.LabelsShown());
  EXPECT_LT(b.LabelFont().pixelSize(), 16);
  b.resize(36, 300);
  b.LayoutNow();
  EXPECT_FALSE(b.LabelsShown());
  EXPECT_EQ(b.LabelHeight(), 0);
  RenderWidget(b);
}

// ---- lamp ----------------------------------------------------------------------------------

namespace {

struct Lamp : ::testing::Test {
  TLEDDisplay l{nullptr, QStringLiteral("Brake")};
  QSize text;
  void SetUp() override {
    l.resize(90, 50);
    text = TextExtent(l.Font(), QStringLiteral("Brake"));
  }
  QColor Centre(const QImage& img) const {
    const QRect r = l.ComponentRect();
    return PixelAt(img, r.x() + r.width() / 2.0, r.y() + r.height() / 2.0);
  }
};

}  // namespace

TEST_F(Lamp, CreatedWithItsNameAsCaption) {
  TLEDDisplay fresh(nullptr, QStringLiteral("gcBrakes"));
  EXPECT_EQ(fresh.Caption(), QStringLiteral("gcBrakes"));
  EXPECT_EQ(fresh.size(), QSize(100, 100));
  EXPECT_FALSE(fresh.Value());
}

TEST_F(Lamp, PositionsForEveryCaptionSide) {
  const int m = l.Margin(), s = l.LEDSize(), cw = 90, ch = 50;
  l.SetCaptionAlign(alTop);
  l.LayoutNow();
  EXPECT_EQ(l.CaptionRect(), QRect((cw - text.width()) / 2, m, text.width(), text.height()));
  EXPECT_EQ(l.ComponentRect(), QRect(cw / 2 - s, m + text.height() + m, 2 * s, 2 * s));
  l.SetCaptionAlign(alBottom);
  l.LayoutNow();
  EXPECT_EQ(l.ComponentRect().topLeft(), QPoint(cw / 2 - s, m));
  EXPECT_EQ(l.CaptionRect().topLeft(), QPoint((cw - text.width()) / 2, m + 2 * s + m));
  l.SetCaptionAlign(alLeft);
  l.LayoutNow();
  EXPECT_EQ(l.CaptionRect().topLeft(), QPoint(m, (ch - text.height()) / 2));
  EXPECT_EQ(l.ComponentRect().topLeft(), QPoint(m + text.width() + m, ch / 2 - s));
  l.SetCaptionAlign(alRight);
  l.LayoutNow();
  EXPECT_EQ(l.ComponentRect().topLeft(), QPoint(m, ch / 2 - s));
  EXPECT_EQ(l.CaptionRect().topLeft(), QPoint(m + 2 * s + m, (ch - text.height()) / 2));
  l.SetCaptionAlign(alClient);
  l.LayoutNow();
  EXPECT_EQ(l.CaptionRect().topLeft(), QPoint((cw - text.width()) / 2, (ch - text.height()) / 2));
  EXPECT_EQ(l.ComponentRect().size(), QSize(text.width() + 4 * m, text.height() + 4 * m));
  // Without a side the positions stay where they were.
  l.SetCaptionAlign(alNone);
  l.LayoutNow();
  EXPECT_EQ(l.CaptionRect().topLeft(), QPoint((cw - text.width()) / 2, (ch - text.height()) / 2));
}

TEST_F(Lamp, LitInItsColourAndDarkInTheControlColour) {
  for (TAlign a : {alTop, alBottom, alLeft, alRight}) {
    l.SetCaptionAlign(a);
    l.SetValue(false);
    QImage img = RenderWidget(l, 2.0);
    EXPECT_TRUE(Near(Centre(img), l.Color(), 2)) << a;
    l.SetValue(true);
    img = RenderWidget(l, 2.0);
    EXPECT_TRUE(Near(Centre(img), QColor(255, 0, 0), 2)) << a;
    SaveArtifact(img, QStringLiteral("lamp_test_%1").arg(int(a)));
  }
  l.SetCaptionAlign(alClient);
  l.SetLEDColor(QColor(0, 160, 0));
  const QImage img = RenderWidget(l, 2.0);
  // Inside the rounded lamp, left of the caption.
  EXPECT_TRUE(Near(PixelAt(img, 8, 25), QColor(0, 160, 0), 2));
}

TEST_F(Lamp, SettingTheSameValueDoesNotRepaint) {
  l.show();
  ProcessEvents();
  const int paints = l.VariablePaints();
  l.SetValue(false);
  ProcessEvents();
  EXPECT_EQ(l.VariablePaints(), paints);
  l.SetValue(true);
  ProcessEvents();
  EXPECT_EQ(l.VariablePaints(), paints + 1);
  l.SetValue(true);
  ProcessEvents();
  EXPECT_EQ(l.VariablePaints(), paints + 1);
  l.hide();
}

TEST_F(Lamp, ClickReachesTheHandler) {
  int clicks = 0;
  l.OnClick = [&](TLEDDisplay* sender) {
    EXPECT_EQ(sender, &l);
    ++clicks;
  };
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QCoreApplication::sendEvent(&l, &press);
  QCoreApplication::sendEvent(&l, &release);
  EXPECT_EQ(clicks, 1);
}
