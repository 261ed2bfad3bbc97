// Renders the gauges as the dashboard configures them, at small, design and large sizes and at
// pixel ratios 1 and 2, into PNG artefacts, and checks that every picture has content.
#include <gtest/gtest.h>

#include <QFont>

#include "GuiSupport.h"
#include "display/Tleddisplay.h"
#include "display/Tmeter270display.h"
#include "display/Tvaluedisplay.h"
#include "display/Tvertmeterdisplay.h"

namespace {

QFont BoldArial(int pixels) {
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(pixels);
  f.setBold(true);
  return f;
}

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

void WaterBar(TVertMeterDisplay& b) {
  b.SetCaption(QString());
  b.SetBorderStyle(dbsNone);
  b.SetValueFont(BoldArial(16));
  b.SetValueMin(20);
  b.SetValueMax(120);
  b.TickMajor().SetIncrement(20);
  b.TickMinor().SetIncrement(10);
  b.ValueColour().SetRange1From(20);
  b.ValueColour().SetRange1To(90);
  b.ValueColour().SetRange2From(90);
  b.ValueColour().SetRange2To(110);
  b.ValueColour().SetRange3From(110);
  b.ValueColour().SetRange3To(120);
  b.SetPointerSize(17);
}

void Shoot(QWidget& w, const QString& name) {
  for (qreal dpr : {1.0, 2.0}) {
    const QImage img = RenderWidget(w, dpr);
    SaveArtifact(img, QStringLiteral("%1@%2x").arg(name).arg(int(dpr)));
    // Something besides the background was drawn.
    const QColor bg = img.pixelColor(0, 0);
    int other = 0;
    for (int y = 0; y < img.height(); y += 2)
      for (int x = 0; x < img.width(); x += 2)
        if (!Near(img.pixelColor(x, y), bg, 40)) ++other;
    EXPECT_GT(other, 0) << name.toStdString();
  }
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
    Shoot(d, QStringLiteral("dial_%1x%2").arg(c.w).arg(c.h));
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
    Shoot(b, QStringLiteral("bar_%1x%2").arg(c.w).arg(c.h));
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
      Shoot(l, QStringLiteral("led_%1_%2").arg(QLatin1String(names[i]), on ? QStringLiteral("on") : QStringLiteral("off")));
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
    Shoot(v, QStringLiteral("value_%1").arg(QLatin1String(c.name)));
  }
}
