// The dashboard page and the sensor list page over a built catalogue: values into the gauges,
// lights, the "Errors" state, clearing, unit and range settings, the proportional layout with its
// pictures, and the sensor list's check boxes and rate keys.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QHeaderView>
#include <QSignalSpy>

#include <algorithm>
#include <memory>

#include "GuiSupport.h"
#include "windows/DashboardPage.h"
#include "windows/SensorListView.h"
#include "rules/MainLogic.h"
#include "widgets/LEDDisplay.h"
#include "widgets/Meter270Display.h"
#include "widgets/ValueDisplay.h"
#include "widgets/VertMeterDisplay.h"
#include "vars/Conversions.h"
#include "vars/ErrorCodes.h"
#include "vars/EcuType.h"
#include "vars/SensorList.h"

namespace {

class DashboardPage : public ::testing::Test {
 protected:
  void SetUp() override {
    ecu_.SpeedConstant = 228500.0;
    sensors_.Context.EcuType = &ecu_;
    sensors_.BuildVariables();
    sensors_.SetDefaultRanges();
  }
  TSettings& Settings() { return *sensors_.Context.Settings; }
  void Raw(uint32_t displayId, uint16_t raw) {
    static_cast<TRawVar*>(sensors_.FindDisplay(displayId)->Source)->RawValue = raw;
  }
  // An engine pulling hard in third on VTEC, fuel pump running, with the check light on and a
  // stored fault.
  void LiveValues() {
    ecu_.SetFamily(FAMILY_OBD1);
    sensors_.ApplyEcuType(FAMILY_OBD1);
    Settings().TemperatureUnit = 1;
    Settings().SpeedUnit = 1;
    page_.ApplyDisplaySettings(Settings(), sensors_);
    Raw(1008, RpmToPeriod(6350));
    Raw(1126, uint16_t(KmhToSpeedRaw(112.4, ecu_.SpeedConstant)));
    Raw(1003, CelsiusToTempByte(87));
    Raw(1004, CelsiusToTempByte(31));
    Raw(1002, 160);
    Raw(1007, 60);
    Raw(1000, 25);
    Raw(1001, 31);
    Raw(1010, uint16_t(InjMsToRaw(6.4)));
    Raw(1012, IgnDegreesToRaw(21.5));
    Raw(1061, RpmToPeriod(4500));
    Raw(1062, uint16_t(RpmToPackedByte(5500)));
    Raw(1063, uint16_t(RpmToPackedByte(7800)));
    Raw(1064, uint16_t(RpmToPackedByte(8200)));
    Raw(1065, uint16_t(RpmToPackedByte(8400)));
    Raw(1022, 0x04);  // check light and fuel pump
    Raw(1015, 0);     // VTEC pressure
    Raw(1016, 1);     // VTEC spool
    Raw(1040, 0x40);
    page_.UpdateDashboard(sensors_);
  }

  TECUType ecu_;
  TSensorList sensors_;
  TErrorCodes codes_;
  TDashboardPage page_{codes_};
};

}  // namespace

TEST_F(DashboardPage, UpdatePushesEachVariableIntoItsGauges) {
  Raw(1008, RpmToPeriod(6000));
  Raw(1002, 128);  // 2.5 V
  Raw(1022, 0x10);
  QSignalSpy errors(&page_, &TDashboardPage::ErrorsButtonState);
  EXPECT_FALSE(page_.UpdateDashboard(sensors_));
  const double rpm = sensors_.Revs->GetValue(UNIT_RPM);
  EXPECT_EQ(page_.GaugeValue(gcRevs), rpm);
  EXPECT_EQ(page_.Readout(gcRevsFigures)->Value(), rpm);
  EXPECT_EQ(page_.Bar(gcTPS)->Value(), 51);
  EXPECT_DOUBLE_EQ(page_.Readout(gcTPSvoltage)->Value(), 2.5);
  EXPECT_TRUE(page_.Light(gcCheckLight)->Value());
  EXPECT_FALSE(page_.Light(gcBrakes)->Value());
  ASSERT_EQ(errors.count(), 1);
  EXPECT_FALSE(errors.at(0).at(0).toBool());

  // A guarded light goes off with its source's poll flag; a stored fault enables "Errors".
  static_cast<TRawVar*>(sensors_.CheckLight->Source)->PollEnabled = 0;
  Raw(1042, 0x01);
  EXPECT_TRUE(page_.UpdateDashboard(sensors_));
  EXPECT_FALSE(page_.Light(gcCheckLight)->Value());
  EXPECT_TRUE(page_.ErrorsEnabled());
  EXPECT_TRUE(errors.last().at(0).toBool());
  EXPECT_FALSE(codes_.ActiveRows().empty());
  Raw(1042, 0);
  Raw(1041, 0x100);
  EXPECT_FALSE(page_.UpdateDashboard(sensors_));
}

TEST_F(DashboardPage, BoostGrowsThePressureScaleAndSwitchesTheInchesUnit) {
  Raw(1007, 200);
  page_.UpdateDashboard(sensors_);
  const double m = sensors_.MAP->GetValue(UNIT_MBAR);
  EXPECT_EQ(page_.Bar(gcMAP)->ValueMax(), GrowMapMaximum(MapBarInitialMaximum, m));
  EXPECT_EQ(page_.Bar(gcMAP)->Value(), m);  // not clamped to the old maximum
  EXPECT_EQ(page_.Readout(gcMAPbar)->Value(), m);
  EXPECT_EQ(page_.Readout(gcMAPinches)->Unit(), "lbs");
  const int grown = page_.Bar(gcMAP)->ValueMax();
  Raw(1007, 40);
  page_.UpdateDashboard(sensors_);
  EXPECT_EQ(page_.Readout(gcMAPinches)->Unit(), "Hg");
  EXPECT_EQ(page_.Bar(gcMAP)->ValueMax(), grown);
}

TEST_F(DashboardPage, ClearZeroesEverythingButKeepsUnitsAndTheGrownScale) {
  LiveValues();
  Raw(1007, 220);
  page_.UpdateDashboard(sensors_);
  ASSERT_TRUE(page_.ErrorsEnabled());
  const int grown = page_.Bar(gcMAP)->ValueMax();
  QSignalSpy errors(&page_, &TDashboardPage::ErrorsButtonState);
  page_.ClearDashboard();
  // Bars hold 0 as their scale allows (the water bar starts at 20 in Celsius).
  for (int g = 0; g < GaugeCount; ++g) {
    const TVertMeterDisplay* bar = page_.Bar(TGaugeId(g));
    EXPECT_EQ(page_.GaugeValue(TGaugeId(g)), bar ? std::max(0, bar->ValueMin()) : 0) << GaugeDesign(TGaugeId(g)).Name;
  }
  EXPECT_FALSE(page_.ErrorsEnabled());
  ASSERT_EQ(errors.count(), 1);
  EXPECT_FALSE(errors.at(0).at(0).toBool());
  EXPECT_TRUE(codes_.ActiveRows().empty());
  EXPECT_EQ(page_.Bar(gcMAP)->ValueMax(), grown);
  EXPECT_EQ(page_.Readout(gcMAPinches)->Unit(), "lbs");
  EXPECT_EQ(page_.Readout(gcSpeed)->Unit(), "kph");
}

TEST_F(DashboardPage, DisplaySettingsInFahrenheitAndCelsius) {
  Settings().TemperatureUnit = 0;
  Settings().LambdaUnit = 1;
  Settings().MaximumRevs = 11000;
  page_.ApplyDisplaySettings(Settings(), sensors_);
  TVertMeterDisplay& water = *page_.Bar(gcTW);
  EXPECT_EQ(water.ValueMin(), 60);
  EXPECT_EQ(water.ValueMax(), 240);
  EXPECT_EQ(water.ValueColour().Range1From(), 60);
  EXPECT_EQ(water.ValueColour().Range1To(), 200);
  EXPECT_EQ(water.ValueColour().Range2To(), 220);
  EXPECT_EQ(water.ValueColour().Range3To(), 240);
  EXPECT_EQ(page_.Bar(gcAirTemp)->TickMajor().Increment(), 40);
  EXPECT_EQ(page_.Readout(gcTWtemp)->Unit(), QString::fromUtf8("\u00b0F"));
  EXPECT_EQ(page_.Readout(gcSpeed)->Unit(), "mph");
  EXPECT_EQ(page_.Dial()->ValueMax(), 11000);
  EXPECT_EQ(sensors_.Lambda->Unit, UNIT_AFR);
  Settings().TemperatureUnit = 1;
  page_.ApplyDisplaySettings(Settings(), sensors_);
  EXPECT_EQ(water.ValueMin(), 20);
  EXPECT_EQ(water.ValueMax(), 120);
  EXPECT_EQ(water.ValueColour().Range1To(), 90);
  EXPECT_EQ(page_.Readout(gcTAtemp)->Unit(), QString::fromUtf8("\u00b0C"));
}

TEST_F(DashboardPage, LayoutFollowsTheColumnWidth) {
  page_.resize(1280, 700);
  EXPECT_EQ(page_.ColumnWidth(), 128);  // from its own width until told
  page_.SetColumnWidth(100);
  EXPECT_EQ(page_.Group(TDashGroup::Water)->geometry(), QRect(0, 0, 100, 700));
  EXPECT_EQ(page_.Group(TDashGroup::Map)->geometry(), QRect(1280 - 300, 0, 100, 700));
  EXPECT_EQ(page_.Bar(gcMAP)->PointerSize(), 25);
  TValueDisplay& water = *page_.Readout(gcTWtemp);
  EXPECT_EQ(water.height(), ReadoutHeight(gcTWtemp, water.width()));
  const TMeter270Display& dial = *page_.Dial();
  EXPECT_EQ(dial.width(), 1280 - 600);
  const TRect f = RevsFiguresRect(dial.Centre().x(), dial.Centre().y(), dial.Radius(), dial.height());
  EXPECT_EQ(page_.Readout(gcRevsFigures)->geometry(), QRect(f.Left, f.Top, f.Width, f.Height));
  EXPECT_TRUE(page_.Bar(gcKnock)->isHidden());
  // Every shown gauge lies inside its parent, and siblings do not overlap.
  for (int g = 0; g < GaugeCount; ++g) {
    QWidget* w = page_.Gauge(TGaugeId(g));
    if (w->isHidden()) continue;
    EXPECT_TRUE(w->parentWidget()->rect().contains(w->geometry())) << GaugeDesign(TGaugeId(g)).Name;
    EXPECT_GT(w->height(), 0) << GaugeDesign(TGaugeId(g)).Name;
    for (int o = g + 1; o < GaugeCount; ++o) {
      QWidget* other = page_.Gauge(TGaugeId(o));
      if (other->isHidden() || other->parentWidget() != w->parentWidget()) continue;
      EXPECT_FALSE(w->geometry().intersects(other->geometry()))
          << GaugeDesign(TGaugeId(g)).Name << " " << GaugeDesign(TGaugeId(o)).Name;
    }
  }
}

TEST_F(DashboardPage, PicturesAtTwoWindowSizes) {
  LiveValues();
  const struct {
    int w, h;
  } sizes[] = {{662, 500}, {1280, 800}};
  for (const auto& s : sizes) {
    page_.resize(s.w, s.h);
    page_.SetColumnWidth(GaugeColumnWidth(s.w));
    for (qreal dpr : {1.0, 2.0}) {
      const QImage img = RenderWidget(page_, dpr);
      SaveArtifact(img, QStringLiteral("dashboard_page_%1x%2@%3x").arg(s.w).arg(s.h).arg(int(dpr)));
      // The figures on the dial show the revs in lime, the check light is lit red.
      const TValueDisplay& figures = *page_.Readout(gcRevsFigures);
      const QRect box = figures.ValueBox().translated(figures.mapTo(&page_, QPoint()));
      EXPECT_GT(CountNear(img, box, QColor(0, 255, 0), 60), 20);
      const TLEDDisplay& check = *page_.Light(gcCheckLight);
      EXPECT_GT(CountNear(img, check.ComponentRect().translated(check.mapTo(&page_, QPoint())), QColor(255, 0, 0)), 10);
    }
  }
}

// ---- sensor list ----------------------------------------------------------------------------

namespace {

class SensorListPage : public ::testing::Test {
 protected:
  void SetUp() override {
    sensors_.BuildVariables();
    list_.SetupSensorList();
    list_.FillSensorList(sensors_);
  }
  TRawVar& SourceOf(uint32_t id) { return *static_cast<TRawVar*>(sensors_.FindDisplay(id)->Source); }
  QString RateCell(uint32_t id) { return list_.RowForId(id)->text(scRate); }
  void Press(uint32_t id, const QString& key) {
    list_.setCurrentItem(list_.RowForId(id));
    Key(list_, 0, Qt::NoModifier, key);
  }

  TSensorList sensors_;
  TSensorListView list_;
};

}  // namespace

TEST_F(SensorListPage, ColumnsAndRows) {
  ASSERT_EQ(list_.columnCount(), 8);
  EXPECT_EQ(list_.headerItem()->text(4), "Update (Hz)");
  EXPECT_EQ(list_.headerItem()->text(scLowest), "Lowest");
  EXPECT_EQ(list_.headerItem()->text(scHighest), "Highest");
  EXPECT_EQ(list_.headerItem()->text(scReads), "Reads/s");
  EXPECT_GE(list_.columnWidth(1), 160);
  // A value cell holds its widest text whole.
  EXPECT_GT(list_.columnWidth(scValue), list_.fontMetrics().horizontalAdvance("-1000.000"));
  EXPECT_FALSE(list_.header()->sectionsClickable());
  EXPECT_EQ(list_.topLevelItemCount(), sensors_.DisplayVars->Count());
  QTreeWidgetItem* water = list_.RowForId(1003);
  ASSERT_NE(water, nullptr);
  EXPECT_EQ(water->text(scSensor), "Water Temp");
  EXPECT_EQ(water->text(scUnits), QString::fromUtf8("\u00b0F"));
  // A second fill creates no rows.
  list_.FillSensorList(sensors_);
  EXPECT_EQ(list_.topLevelItemCount(), sensors_.DisplayVars->Count());
  // The columns take the list's whole width, however wide.
  for (int width : {420, 1900}) {
    list_.resize(width, 400);
    int sum = 0;
    for (int c = 0; c < list_.columnCount(); ++c) sum += list_.columnWidth(c);
    EXPECT_EQ(sum, std::max(list_.viewport()->width(), 595)) << width;
  }
  list_.UpdateSensorValues(sensors_);
  list_.setCurrentItem(water);
  SaveArtifact(RenderWidget(list_), QStringLiteral("sensor_list_page"));
}

TEST_F(SensorListPage, ValuesAreRewrittenOnlyWhenTheirTextChanges) {
  sensors_.RawTW->RawValue = CelsiusToTempByte(80);
  list_.UpdateSensorValues(sensors_);
  EXPECT_EQ(list_.RowForId(1003)->text(scValue).toStdString(), SensorValueText(*sensors_.WaterTemp));
  QSignalSpy changed(&list_, &QTreeWidget::itemChanged);
  list_.UpdateSensorValues(sensors_);
  EXPECT_EQ(changed.count(), 0);
  sensors_.RawTW->RawValue = CelsiusToTempByte(90);
  list_.UpdateSensorValues(sensors_);
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed.at(0).at(0).value<QTreeWidgetItem*>(), list_.RowForId(1003));
}

TEST_F(SensorListPage, CheckBoxSetsTheSourcesPollFlag) {
  ASSERT_EQ(SourceOf(1003).PollEnabled, 1);
  QSignalSpy changed(&list_, &TSensorListView::PollSettingsChanged);
  list_.RowForId(1003)->setCheckState(scLog, Qt::Unchecked);
  EXPECT_EQ(SourceOf(1003).PollEnabled, 0);
  EXPECT_EQ(changed.count(), 1);
  // Refilling shows the flag and does not write it back.
  list_.FillSensorList(sensors_);
  EXPECT_EQ(list_.RowForId(1003)->checkState(scLog), Qt::Unchecked);
  EXPECT_EQ(changed.count(), 1);
}

TEST_F(SensorListPage, RateKeysStepTheSelectedRowsSource) {
  SourceOf(1003).RateHz = -1;
  list_.FillSensorList(sensors_);
  EXPECT_EQ(RateCell(1003), "Max");
  Press(1003, "+");
  EXPECT_EQ(SourceOf(1003).RateHz, 4);
  EXPECT_EQ(RateCell(1003), "4");
  Press(1003, ",");
  Press(1003, "-");
  EXPECT_EQ(RateCell(1003), "0");
  SourceOf(1003).RateHz = 498;
  Press(1003, ".");
  Press(1003, "+");
  EXPECT_EQ(RateCell(1003), "500");
  Press(1003, "x");
  EXPECT_EQ(SourceOf(1003).RateHz, 500);
  // Without a selected row nothing changes.
  list_.clearSelection();
  Key(list_, 0, Qt::NoModifier, "-");
  EXPECT_EQ(SourceOf(1003).RateHz, 500);
}
