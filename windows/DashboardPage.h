#pragma once
// The dashboard page: seven columns of gauges (water, air, the rev counter with speed and rpm
// thresholds, throttle, pressure, the gauge panel and the lights), laid out in proportion to the
// window. Which variable drives which gauge, and every number of the layout, come from
// rules/Dashboard; the page only creates the controls and copies values into them.
#include <QWidget>

#include <array>
#include <initializer_list>

#include "rules/Dashboard.h"

class QGroupBox;
class TValueDisplay;
class TVertMeterDisplay;
class TMeter270Display;
class TLEDDisplay;
class TErrorCodes;
class TSensorList;
struct TSettings;

class TDashboardPage : public QWidget {
  Q_OBJECT
 public:
  // codes: where the error bytes go (the program's fault codes).
  explicit TDashboardPage(TErrorCodes& codes, QWidget* parent = nullptr);

  // The side columns' width as the main window computes it from its client width (at least 68);
  // 0 lets the page compute it from its own width.
  void SetColumnWidth(int c);
  int ColumnWidth() const;

  // Pushes the current values into the gauges, feeds the error list and returns whether the
  // "Errors" button is to be enabled (ErrorsButtonState tells the same).
  bool UpdateDashboard(const TSensorList& sensors);
  // Every gauge to 0 and every light off; the error list emptied and the "Errors" button disabled.
  // Unit texts and the grown pressure scale stay.
  void ClearDashboard();
  // Units, the temperature ranges and bands, the rev counter's red line and maximum, and the
  // Lambda variable's unit.
  void ApplyDisplaySettings(const TSettings& settings, TSensorList& sensors);

  bool ErrorsEnabled() const { return errorsEnabled_; }

  QWidget* Gauge(TGaugeId id) const { return gauges_[id]; }
  // The gauge as its kind, or none when it is of another kind.
  TValueDisplay* Readout(TGaugeId id) const;
  TVertMeterDisplay* Bar(TGaugeId id) const;
  TMeter270Display* Dial(TGaugeId id = gcRevs) const;
  TLEDDisplay* Light(TGaugeId id) const;
  // The value a gauge holds (a light: 1 on, 0 off).
  double GaugeValue(TGaugeId id) const;
  // The group box of a column or small group; none for the plain panels.
  QGroupBox* Group(TDashGroup group) const;
  // The speed panel below the rev counter.
  QWidget* SpeedPanel() const { return speedPanel_; }

 signals:
  // After every update and clear: whether the "Errors" button is to be enabled.
  void ErrorsButtonState(bool enabled);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateGauge(const TGaugeDesign& d);
  QWidget* Container(const TGaugeDesign& d) const;
  void SetGaugeValue(TGaugeId id, double v);
  void SetErrorsEnabled(bool on);
  void Relayout();
  // Stacks the readouts of a column group from the top; the bar takes the rest.
  void LayoutColumn(QGroupBox* group, std::initializer_list<TGaugeId> readouts, TGaugeId bar);
  void LayoutLamps(QGroupBox* group, TDashGroup which, int lampHeight);

  std::array<QWidget*, GaugeCount> gauges_{};
  QGroupBox* water_ = nullptr;
  QGroupBox* air_ = nullptr;
  QGroupBox* throttle_ = nullptr;
  QGroupBox* map_ = nullptr;
  QGroupBox* vtec_ = nullptr;
  QGroupBox* inputs_ = nullptr;
  QGroupBox* outputs_ = nullptr;
  QWidget* middle_ = nullptr;
  QWidget* speedPanel_ = nullptr;
  QWidget* gaugePanel_ = nullptr;
  QWidget* lightsPanel_ = nullptr;
  int columnWidth_ = 0;
  bool errorsEnabled_ = false;
  TErrorCodes& errorCodes_;
};
