// The digital readout: picture formats, font fitting, layout, overflow colour and repaints.
#include <gtest/gtest.h>

#include <QEvent>
#include <QPaintEvent>

#include <limits>

#include "GuiSupport.h"
#include "widgets/ValueDisplay.h"

namespace {

QString Fmt(const char* format, double v) { return TValueDisplay::FormatValue(QString::fromLatin1(format), v); }

struct Readout : ::testing::Test {
  TValueDisplay v{nullptr, QStringLiteral("Speed")};
  void SetUp() override {
    v.SetFont(BoldArial(25));
    v.SetValueFont(BoldArial(29));
    v.SetValueFormat(QStringLiteral("##0.0"));
    v.SetUnit(QStringLiteral("kph"));
    v.SetUnitSize(65);
    v.SetValueMax(300);
    v.resize(140, 100);
  }
};

}  // namespace

TEST(PictureFormat, DashboardFormats) {
  EXPECT_EQ(Fmt("##0", 87.4), "87");
  EXPECT_EQ(Fmt("##0", 87.5), "88");
  EXPECT_EQ(Fmt("##0", 0), "0");
  EXPECT_EQ(Fmt("##0", -42.6), "-43");
  EXPECT_EQ(Fmt("##0.0", 123.456), "123.5");
  EXPECT_EQ(Fmt("##0.0", 0.04), "0.0");
  EXPECT_EQ(Fmt("##0.0", 1234.5), "1234.5");  // more digits than placeholders are all shown
  EXPECT_EQ(Fmt("##0.00", 3.14159), "3.14");
  EXPECT_EQ(Fmt("##0.00", 0.125), "0.13");     // halves round away from zero
  EXPECT_EQ(Fmt("##0.00", -0.125), "-0.13");
  EXPECT_EQ(Fmt("#0.0", 99.95), "100.0");
  EXPECT_EQ(Fmt("#0.0", 5), "5.0");
  EXPECT_EQ(Fmt("0.00", 4.999), "5.00");
  EXPECT_EQ(Fmt("0.00", 0.456), "0.46");
  EXPECT_EQ(Fmt("0.00", 1.005), "1.01");
  EXPECT_EQ(Fmt("###0", 1013.25), "1013");
  EXPECT_EQ(Fmt("####0", 19999), "19999");
  EXPECT_EQ(Fmt("####0", 6400.5), "6401");
  EXPECT_EQ(Fmt("#", 3), "3");
  EXPECT_EQ(Fmt("#", 12), "12");
}

TEST(PictureFormat, OptionalDigitsAndSigns) {
  EXPECT_EQ(Fmt("#", 0), "");       // zero has no significant digit
  EXPECT_EQ(Fmt("#", 0.4), "");
  EXPECT_EQ(Fmt("#", 0.5), "1");
  EXPECT_EQ(Fmt("#.00", 0.5), ".50");
  EXPECT_EQ(Fmt("000", 7), "007");
  EXPECT_EQ(Fmt("##0.0", -0.04), "0.0");  // no sign on a value that rounds to zero
  EXPECT_EQ(Fmt("##0.0", -3.25), "-3.3");
  EXPECT_EQ(Fmt("0.000", 0.0123), "0.012");
  EXPECT_EQ(Fmt("0.00", 0.0999), "0.10");
  EXPECT_EQ(Fmt("0.0 V", 2.25), "2.3 V");
  EXPECT_EQ(Fmt("##0", std::numeric_limits<double>::quiet_NaN()), "");
}

TEST_F(Readout, InnerRectangleFollowsTheBorder) {
  v.SetBorderStyle(dbsNone);
  EXPECT_EQ(v.InnerRect(), QRect(0, 0, 140, 100));
  v.SetBorderStyle(dbsRaised);
  EXPECT_EQ(v.InnerRect(), QRect(2, 2, 136, 96));
  v.SetBorderStyle(dbsSingle);
  EXPECT_EQ(v.InnerRect(), QRect(1, 1, 139, 99));
  v.SetBorderStyle(dbsSunken);
  EXPECT_EQ(v.InnerRect(), QRect(1, 1, 139, 99));
}

TEST_F(Readout, CaptionFontIsTheLargestThatFits) {
  const QRect in = v.InnerRect();
  const int m = v.Margin();
  const int size = v.Font().pixelSize();
  auto fits = [&](int px) {
    QFont f = v.Font();
    f.setPixelSize(px);
    const QSize e = TextExtent(f, QStringLiteral("Speed"));
    return e.width() < in.width() - 2 * m && e.height() < 0.4 * in.height();
  };
  EXPECT_TRUE(fits(size));
  EXPECT_FALSE(fits(size + 1));
  EXPECT_EQ(v.CaptionPos().y(), in.y() + m);
  // A cap on the size wins.
  v.SetCaptionMaxSize(12);
  EXPECT_EQ(v.Font().pixelSize(), 12);
}

TEST_F(Readout, DigitsFitBesideTheUnit) {
  const QRect in = v.InnerRect();
  const int m = v.Margin();
  const QSize unit = TextExtent(v.UnitFont(), QStringLiteral("kph"));
  EXPECT_EQ(v.UnitFont().pixelSize(), v.Font().pixelSize() * 65 / 100);
  const int unitBox = unit.width() + 2 * m;
  const int valueTop = v.ValueBox().y();
  EXPECT_EQ(valueTop, v.CaptionPos().y() + TextExtent(v.Font(), QStringLiteral("Speed")).height() + m);
  auto fits = [&](int px) {
    QFont f = v.ValueFont();
    f.setPixelSize(px);
    const QSize e = TextExtent(f, QStringLiteral("000.0"));
    return e.width() < in.width() - 4 * m - unitBox && e.height() < in.height() - valueTop - 2 * m;
  };
  const int size = v.ValueFont().pixelSize();
  EXPECT_TRUE(fits(size));
  EXPECT_FALSE(fits(size + 1));
  // The unit stands on the box's bottom line, to its right.
  EXPECT_EQ(v.UnitPos().y() + unit.height(), v.ValueBox().bottom() + 1);
  EXPECT_GE(v.UnitPos().x(), v.ValueBox().right() + 1);
  EXPECT_LE(v.UnitPos().x() + unit.width(), in.right() + 1);
  // Everything lies inside the control.
  EXPECT_TRUE(v.rect().contains(v.ValueBox()));
}

TEST_F(Readout, OverflowIsClampedAndColoured) {
  v.SetValueFormat(QStringLiteral("##0.0"));
  v.SetValueMax(300);
  v.SetValue(123.456);
  EXPECT_EQ(v.ShownText(), "123.5");
  EXPECT_EQ(v.ShownColour(), QColor(0, 255, 0));
  QImage img = RenderWidget(v, 2.0);
  EXPECT_GT(CountNear(img, v.ValueBox(), QColor(0, 255, 0), 6), 20);
  EXPECT_EQ(CountNear(img, v.ValueBox(), QColor(255, 0, 0), 60), 0);

  v.SetValueMax(100);
  EXPECT_DOUBLE_EQ(v.Value(), 123.456);  // stored as given
  EXPECT_EQ(v.ShownText(), "100.0");
  EXPECT_EQ(v.ShownColour(), QColor(255, 0, 0));
  img = RenderWidget(v, 2.0);
  SaveArtifact(img, QStringLiteral("readout_overflow"));
  EXPECT_GT(CountNear(img, v.ValueBox(), QColor(255, 0, 0), 6), 20);
  EXPECT_EQ(CountNear(img, v.ValueBox(), QColor(0, 255, 0), 60), 0);

  v.SetValue(-7);
  EXPECT_EQ(v.ShownText(), "0.0");
  EXPECT_EQ(v.ShownColour(), QColor(255, 0, 0));
  v.SetOverflowColour(QColor(255, 128, 0));
  EXPECT_EQ(v.ShownColour(), QColor(255, 128, 0));
}

TEST_F(Readout, DigitsFollowTheFittedFont) {
  v.SetValue(123.4);
  v.resize(60, 40);
  RenderWidget(v, 2.0);  // digit images made for the small size
  v.resize(400, 300);
  const QImage img = RenderWidget(v, 2.0);
  // The digits' ink spans most of the box's height (the small digits would not).
  const QRect box = v.ValueBox();
  int inkRows = 0;
  for (int y = box.top(); y <= box.bottom(); ++y)
    if (CountNear(img, QRect(box.left(), y, box.width(), 1), QColor(0, 255, 0), 60) > 0) ++inkRows;
  EXPECT_GT(inkRows, box.height() / 2);
}

TEST_F(Readout, ValueBoxIsBlackWithASilverOutline) {
  const QImage img = RenderWidget(v);
  const QRect box = v.ValueBox();
  EXPECT_TRUE(Near(PixelAt(img, box.x(), box.y() + box.height() / 2), QColor(192, 192, 192), 2));
  EXPECT_TRUE(Near(PixelAt(img, box.right(), box.y() + box.height() / 2), QColor(192, 192, 192), 2));
  EXPECT_TRUE(Near(PixelAt(img, box.x() + 1.5, box.y() + 1.5), Qt::black, 2));
  // Sunken border: shadow on the top and left, highlight on the bottom and right.
  EXPECT_EQ(PixelAt(img, 0, 50).rgb(), v.palette().color(QPalette::Dark).rgb());
  EXPECT_EQ(PixelAt(img, 70, 0).rgb(), v.palette().color(QPalette::Dark).rgb());
  EXPECT_EQ(PixelAt(img, 139, 50).rgb(), v.palette().color(QPalette::Light).rgb());
  EXPECT_EQ(PixelAt(img, 70, 99).rgb(), v.palette().color(QPalette::Light).rgb());
}

TEST_F(Readout, DigitsStayInsideTheBoxAtEverySize) {
  for (QSize s : {QSize(40, 40), QSize(68, 39), QSize(140, 100), QSize(600, 300)}) {
    v.resize(s);
    v.SetValue(288.8);
    const QImage img = RenderWidget(v, 2.0);
    const QRect box = v.ValueBox();
    EXPECT_GT(CountNear(img, box, QColor(0, 255, 0), 60), 0) << s.width();
    // No digit pixels outside the box.
    EXPECT_EQ(CountNear(img, v.rect(), QColor(0, 255, 0), 60), CountNear(img, box, QColor(0, 255, 0), 60));
  }
}

TEST_F(Readout, ValueChangeRepaintsOnlyTheDigits) {
  v.show();
  ProcessEvents();
  struct Spy : QObject {
    QVector<QRect> rects;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) rects.push_back(static_cast<QPaintEvent*>(e)->rect());
      return false;
    }
  } spy;
  v.installEventFilter(&spy);
  const int builds = v.StaticLayerBuilds();
  v.SetValue(42);
  ProcessEvents();
  ASSERT_EQ(spy.rects.size(), 1);
  EXPECT_EQ(spy.rects[0], v.ValueBox());
  EXPECT_EQ(v.StaticLayerBuilds(), builds);
  // The same text again draws nothing.
  v.SetValue(42.01);
  ProcessEvents();
  EXPECT_EQ(spy.rects.size(), 1);
  // A property change redraws the whole control.
  v.SetUnit(QStringLiteral("mph"));
  ProcessEvents();
  ASSERT_EQ(spy.rects.size(), 2);
  EXPECT_EQ(spy.rects[1], v.rect());
  EXPECT_EQ(v.StaticLayerBuilds(), builds + 1);
  v.hide();
}

TEST_F(Readout, WithoutCaptionTheDigitsStartAtTheTop) {
  v.SetCaption(QString());
  v.SetBorderStyle(dbsNone);
  EXPECT_EQ(v.ValueBox().y(), v.Margin());
  // The unit keeps the caption font's size ratio.
  EXPECT_EQ(v.UnitFont().pixelSize(), 25 * 65 / 100);
}

TEST_F(Readout, FormatWithLiteralTextIsDrawnToo) {
  v.SetValueFormat(QStringLiteral("0.0 V"));
  v.SetValue(2.25);
  EXPECT_EQ(v.ShownText(), "2.3 V");
  const QImage img = RenderWidget(v, 2.0);
  EXPECT_GT(CountNear(img, v.ValueBox(), QColor(0, 255, 0), 6), 20);
}

TEST_F(Readout, EmptyFormatHasNoBox) {
  v.SetValueFormat(QString());
  EXPECT_EQ(v.ValueBox().width(), 0);
  RenderWidget(v);
}
