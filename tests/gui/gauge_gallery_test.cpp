// Renders the gauges as the dashboard configures them, at small, design and large sizes and at
// pixel ratios 1 and 2, into PNG artefacts, and checks in every picture that the needle, pointer,
// lamp or digits show the value they were given.
#include <gtest/gtest.h>

#include <QFont>

#include <algorithm>
#include <functional>
#include <memory>

#include "GuiSupport.h"
#include "widgets/LEDDisplay.h"
#include "widgets/Meter270Display.h"
#include "widgets/ValueDisplay.h"
#include "widgets/VertMeterDisplay.h"

namespace {

const QColor kLime(0, 255, 0);

void RevCounter(TMeter270Display& d) {
  d.SetCaption(QString());
  d.SetBorderStyle(dbsNone);
  d.SetValueMax(9500);
  d.SetValueRedline(8000);
  d.SetArcWidth(3);
  d.SetLabelDivider(1000);
  d.SetNeedleBaseRadius(18);
  d.SetValueFont(BoldArial(19));
}

// Saves the widget's pictures at ratios 1 and 2 and runs the check on each.
void Shoot(QWidget& w, const QString& name, const std::function<void(const QImage&)>& check) {
  for (qreal dpr : {1.0, 2.0}) {
    // The widget's own grab at its ratio, and a render into a high-density image.
    const QImage img = dpr == 1.0 ? w.grab().toImage() : RenderWidget(w, dpr);
    EXPECT_EQ(img.size(), w.size() * dpr);
    SaveArtifact(img, QStringLiteral("%1@%2x").arg(name).arg(int(dpr)));
    SCOPED_TRACE(QStringLiteral("%1 at ratio %2").arg(name).arg(dpr).toStdString());
    check(img);
  }
}

// Pixels in a logical rectangle where green clearly outweighs red and blue: a lime needle or
// digit, anti-aliased edges included, and nothing else the dial or a readout draws.
int GreenInk(const QImage& img, const QRectF& logical) {
  const qreal dpr = img.devicePixelRatio();
  const QRect r = QRectF(logical.topLeft() * dpr, logical.size() * dpr).toAlignedRect() & img.rect();
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      const QColor c = img.pixelColor(x, y);
      if (c.green() - std::max(c.red(), c.blue()) > 80) ++n;
    }
  return n;
}

// The needle's angle for a value: the clamped value scaled from the start to the end angle
// across the range.
double NeedleAngle(const TMeter270Display& d, double v) {
  v = std::clamp(v, double(d.ValueMin()), double(d.ValueMax()));
  return d.AngleStart() + v * (d.AngleEnd() - d.AngleStart()) / std::max(1, d.ValueMax() - d.ValueMin());
}

// Green ink in a small square at an angle, 0.6 of the way from the hub to the arc; offset moves
// the dial (a dial inside a larger picture).
int NeedleInkAt(const QImage& img, const TMeter270Display& d, double angle, QPointF offset = {}) {
  const QPointF p = offset + d.Centre() + TMeter270Display::GetArcPosF(angle, 0.6 * d.Radius());
  const double h = std::max(2.0, 0.04 * d.Radius());
  return GreenInk(img, QRectF(p.x() - h, p.y() - h, 2 * h, 2 * h));
}

}  // namespace

TEST(GaugeGallery, RevCounterAtManySizes) {
  const struct {
    int w, h;
    double v;
  } cases[] = {{40, 40, 3000}, {120, 102, 5200}, {250, 212, 6400}, {300, 300, 8700}, {900, 765, 7350}, {400, 200, 2500}};
  for (const auto& c : cases) {
    TMeter270Display d(nullptr, QStringLiteral("gcRevs"));
    RevCounter(d);
    d.resize(c.w, c.h);
    d.SetValue(c.v);
    Shoot(d, QStringLiteral("dial_%1x%2").arg(c.w).arg(c.h), [&](const QImage& img) {
      const double a = NeedleAngle(d, c.v);
      EXPECT_GT(NeedleInkAt(img, d, a), 0);
      // Not 60 degrees away (towards the farther end of the scale).
      EXPECT_EQ(NeedleInkAt(img, d, a + 60 <= d.AngleEnd() ? a + 60 : a - 60), 0);
    });
  }
}

TEST(GaugeGallery, BarMeterAtManySizes) {
  const struct {
    int w, h;
    double v;
  } cases[] = {{40, 40, 95}, {68, 220, 85}, {68, 400, 101}, {190, 800, 112}};
  for (const auto& c : cases) {
    TVertMeterDisplay b(nullptr, QStringLiteral("gcTW"));
    WaterBar(b);
    b.resize(c.w, c.h);
    b.SetValue(c.v);
    Shoot(b, QStringLiteral("bar_%1x%2").arg(c.w).arg(c.h), [&](const QImage& img) {
      // The pointer's tip row: the value's fraction of the range, up from the scale's bottom.
      const int h = b.ScaleHeight();
      const double f = (c.v - b.ValueMin()) / double(b.ValueMax() - b.ValueMin());
      const int y = b.ScaleTop() + h - int(h * f);
      // Halfway along the triangle it is PointerSize high; nothing lime above or below that.
      const double x = b.BarX() - b.PointerSize() / 2.0;
      const int reach = b.PointerSize() / 2 + 2;
      EXPECT_TRUE(Near(PixelAt(img, x, y + 0.5), kLime, 10));
      EXPECT_EQ(CountNear(img, QRect(int(x), 0, 1, y - reach), kLime, 60), 0);
      EXPECT_EQ(CountNear(img, QRect(int(x), y + reach + 1, 1, b.height()), kLime, 60), 0);
    });
  }
}

TEST(GaugeGallery, LampInEveryAlignment) {
  const TAlign aligns[] = {alTop, alBottom, alLeft, alRight, alClient, alNone};
  const char* names[] = {"top", "bottom", "left", "right", "client", "none"};
  for (int i = 0; i < 6; ++i)
    for (bool on : {false, true}) {
      TLEDDisplay l(nullptr, QStringLiteral("Brake"));
      l.SetCaptionAlign(aligns[i]);
      l.resize(aligns[i] == alLeft || aligns[i] == alRight ? 90 : 60, 40);
      l.SetValue(on);
      // The lamp is its circle, or with the caption in the client area the whole control; the
      // caption may lie across it, so a quarter of its box in the lamp colour counts as lit.
      const QRect lamp = aligns[i] == alClient ? l.rect() : l.ComponentRect();
      Shoot(l, QStringLiteral("led_%1_%2").arg(QLatin1String(names[i]), on ? QStringLiteral("on") : QStringLiteral("off")),
            [&](const QImage& img) {
              const double dpr = img.devicePixelRatio();
              if (on)
                EXPECT_GT(CountNear(img, lamp, l.LEDColor(), 8), lamp.width() * lamp.height() * dpr * dpr / 4);
              else
                EXPECT_EQ(CountNear(img, l.rect(), l.LEDColor(), 60), 0);
            });
    }
}

TEST(GaugeGallery, ValueDisplays) {
  const struct {
    const char* caption;
    const char* format;
    const char* unit;
    int unitSize;
    TDisplayBorderStyle border;
    int w, h;
    double v;
    const char* name;
  } cases[] = {
      {"", "##0", "\u00b0C", 65, dbsNone, 68, 39, 87, "water"},
      {"Speed", "##0.0", "kph", 65, dbsSunken, 140, 100, 123.456, "speed"},
      {"Speed", "##0.0", "kph", 65, dbsSunken, 40, 40, 88.2, "speed_small"},
      {"Gear", "#", "", 65, dbsSunken, 100, 120, 3, "gear"},
      {"Launch", "####0", "rpm", 80, dbsSunken, 120, 75, 4500, "launch"},
      {"Duty cycle", "##0", "%", 65, dbsRaised, 68, 60, 140, "duty_overflow"},
      {"", "####0", "rpm", 65, dbsNone, 100, 42, 6400, "revfigures"},
      {"O2 A", "0.00", "V", 65, dbsSingle, 600, 300, 0.456, "o2_large"},
  };
  for (const auto& c : cases) {
    TValueDisplay v(nullptr, QString::fromUtf8(c.caption));
    QFont f = BoldArial(25);
    v.SetFont(f);
    v.SetValueFont(f);
    v.SetBorderStyle(c.border);
    v.SetValueFormat(QString::fromUtf8(c.format));
    v.SetUnit(QString::fromUtf8(c.unit));
    v.SetUnitSize(c.unitSize);
    v.SetValueMax(std::string(c.name) == "duty_overflow" ? 100 : 20000);
    v.resize(c.w, c.h);
    v.SetValue(c.v);
    const bool over = c.v > v.ValueMax();
    const QColor ink = over ? v.OverflowColour() : v.ValueFontColour();
    const QColor notInk = over ? v.ValueFontColour() : v.OverflowColour();
    Shoot(v, QStringLiteral("value_%1").arg(QLatin1String(c.name)), [&](const QImage& img) {
      EXPECT_GT(CountNear(img, v.ValueBox(), ink, 60), 0);
      EXPECT_EQ(CountNear(img, v.ValueBox(), notInk, 60), 0);
    });
    // Another value in range draws other digits.
    const QImage before = RenderWidget(v);
    v.SetValue(over ? v.ValueMax() - 1 : c.v + 1);
    EXPECT_NE(RenderWidget(v).copy(v.ValueBox()), before.copy(v.ValueBox())) << c.name;
  }
}

namespace {

TValueDisplay* Readout(QWidget* parent, const char* caption, const char* format, const char* unit, int unitSize,
                       int fontPx, double max, QRect at, double value, bool border) {
  auto* v = new TValueDisplay(parent, QString::fromUtf8(caption));
  v->SetFont(BoldArial(fontPx));
  v->SetValueFont(BoldArial(fontPx));
  v->SetValueFormat(QString::fromLatin1(format));
  v->SetUnit(QString::fromUtf8(unit));
  v->SetUnitSize(unitSize);
  v->SetValueMax(max);
  v->SetBorderStyle(border ? dbsSunken : dbsNone);
  v->setGeometry(at);
  v->SetValue(value);
  return v;
}

TLEDDisplay* Lamp(QWidget* parent, const char* caption, QRect at, bool on, QColor colour = QColor(255, 0, 0)) {
  auto* l = new TLEDDisplay(parent, QString::fromUtf8(caption));
  l->SetLEDColor(colour);
  l->setGeometry(at);
  l->SetValue(on);
  return l;
}

TVertMeterDisplay* Meter(QWidget* parent, QRect at, int min, int max, int major, int minor, double value) {
  auto* b = new TVertMeterDisplay(parent, QString());
  b->SetCaption(QString());
  b->SetBorderStyle(dbsNone);
  b->SetValueFont(BoldArial(16));
  b->SetValueMin(min);
  b->SetValueMax(max);
  b->TickMajor().SetIncrement(major);
  b->TickMinor().SetIncrement(minor);
  b->SetPointerSize(at.width() / 4);
  b->setGeometry(at);
  b->SetValue(value);
  return b;
}

}  // namespace

// The gauges arranged as the dashboard's columns, at its design size.
TEST(GaugeGallery, DashboardComposite) {
  QWidget page;
  page.resize(662, 420);
  const int c = 68;
  // Water and air columns.
  Readout(&page, "", "##0", "\u00b0C", 65, 25, 250, QRect(0, 0, c, 39), 87, false);
  TVertMeterDisplay* tw = Meter(&page, QRect(0, 42, c, 370), 20, 120, 20, 10, 87);
  tw->ValueColour().SetRange1From(20);
  tw->ValueColour().SetRange1To(90);
  tw->ValueColour().SetRange2From(90);
  tw->ValueColour().SetRange2To(110);
  tw->ValueColour().SetRange3From(110);
  tw->ValueColour().SetRange3To(120);
  Readout(&page, "", "##0", "\u00b0C", 65, 25, 250, QRect(c, 0, c, 39), 31, false);
  TVertMeterDisplay* air = Meter(&page, QRect(c, 42, c, 370), 0, 80, 20, 10, 31);
  air->ValueColour().SetRange1To(60);
  air->ValueColour().SetRange2From(60);
  air->ValueColour().SetRange2To(70);
  air->ValueColour().SetRange3From(70);
  air->ValueColour().SetRange3To(80);
  // Middle: the dial with its figures, then speed, gear and the rpm thresholds.
  const int mx = 2 * c, mw = 662 - 6 * c;
  auto* revs = new TMeter270Display(&page, QStringLiteral("gcRevs"));
  RevCounter(*revs);
  revs->setGeometry(mx, 0, mw, int(0.85 * mw));
  const double rpm = 6350;
  revs->SetValue(rpm);
  const QRect figuresAt((mw - int(0.4 * mw)) / 2, revs->height() - int(0.2 * revs->height()), int(0.4 * mw),
                        int(0.2 * revs->height()));
  auto* figures = Readout(revs, "", "####0", "rpm", 65, 20, 19999, figuresAt, rpm, false);
  figures->SetColor(revs->Color());
  const int py = revs->height(), ph = 420 - py;
  Readout(&page, "Speed", "##0.0", "kph", 65, 29, 300, QRect(mx, py, std::min(mw / 2, 140), std::min(int(0.4 * ph), 100)),
          112.4, true);
  Lamp(&page, "Rev Limit", QRect(mx + std::min(mw / 2, 140), py, 60, 40), true);
  Readout(&page, "Gear", "#", "", 65, 41, 5, QRect(mx, py + std::min(int(0.4 * ph), 100), std::min(int(0.28 * mw), 100), 120),
          4, true)
      ->SetCaptionMaxSize(12);
  // Throttle, MAP and the gauge panel.
  const int tx = mx + mw;
  Readout(&page, "", "0.00", "V", 65, 25, 5, QRect(tx, 0, c, int(0.55 * c)), 3.12, false);
  Readout(&page, "", "##0", "%", 65, 29, 120, QRect(tx, 40, c, int(0.6 * c)), 67, false);
  auto noBands = [](TVertMeterDisplay* b) {
    for (int i = 0; i < 3; ++i) {
      b->ValueColour().SetFrom(i, 0);
      b->ValueColour().SetTo(i, 0);
    }
  };
  TVertMeterDisplay* tps = Meter(&page, QRect(tx, 84, c, 328), 0, 100, 20, 0, 67);
  tps->TickMajor().SetWidth(8);
  noBands(tps);
  Readout(&page, "", "0.00", "V", 65, 25, 5, QRect(tx + c, 0, c, int(0.55 * c)), 1.71, false);
  Readout(&page, "", "##0.0", "Hg", 65, 17, 40, QRect(tx + c, 40, c, int(0.4 * c)), -18.2, false)->SetValueMin(-50);
  Readout(&page, "", "###0", "mb", 65, 17, 5000, QRect(tx + c, 70, c, int(0.43 * c)), 402, false);
  noBands(Meter(&page, QRect(tx + c, 102, c, 310), 0, 1050, 200, 100, 402));
  const int gx = tx + 2 * c;
  Readout(&page, "O2 A", "0.00", "V", 65, 23, 5, QRect(gx, 0, c, 50), 0.48, true);
  Readout(&page, "O2 B", "0.00", "V", 65, 23, 5, QRect(gx, 52, c, 50), 0.61, true);
  Readout(&page, "Duration", "#0.0", "mS", 65, 21, 99.9, QRect(gx, 104, c, 50), 3.4, true);
  Readout(&page, "Duty cycle", "##0", "%", 65, 29, 100, QRect(gx, 156, c, 50), 23, true);
  Readout(&page, "Advance", "#0.0", "\u00b0", 65, 25, 90, QRect(gx, 208, c, 50), 21.5, true);
  Lamp(&page, "Pressure", QRect(gx, 270, c, 40), true, QColor(0, 200, 0));
  Lamp(&page, "Spool", QRect(gx, 312, c, 40), false);
  const int lx = gx + c;
  const char* lamps[] = {"Brake", "Clutch", "A/C", "Start", "Fuel", "LED", "Purge", "Check", "A/C"};
  for (int i = 0; i < 9; ++i) Lamp(&page, lamps[i], QRect(lx, i * 44, c, 42), i == 4 || i == 7);
  for (qreal dpr : {1.0, 2.0}) SaveArtifact(RenderWidget(page, dpr), QStringLiteral("dashboard@%1x").arg(int(dpr)));
  // The needle at its angle, and in the figures' box on the dial the same digits as a lone
  // readout showing the revs draws; with the figures hidden the box holds no digit ink.
  const QRect figuresBox = figures->ValueBox().translated(figures->mapTo(&page, QPoint()));
  QImage img = RenderWidget(page);
  EXPECT_GT(NeedleInkAt(img, *revs, NeedleAngle(*revs, rpm), revs->pos()), 0);
  EXPECT_GT(CountNear(img, figuresBox, kLime, 60), 20);
  const std::unique_ptr<TValueDisplay> alone(
      Readout(nullptr, "", "####0", "rpm", 65, 20, 19999, QRect(QPoint(), figuresAt.size()), rpm, false));
  alone->SetColor(revs->Color());
  EXPECT_EQ(img.copy(figuresBox), RenderWidget(*alone).copy(alone->ValueBox()));
  figures->hide();
  img = RenderWidget(page);
  EXPECT_EQ(CountNear(img, figuresBox, kLime, 60), 0);
}
