#pragma once
// The settings as values: units, vehicle, polling, serial line, lambda table and the rest. The
// variables, the recordings and the link read them through the core context; the settings object
// of the program (TConfig) derives from this and adds where each value is stored. Fields that the
// settings dialog changes while a worker thread reads them are relaxed atomics.
#include <cstdint>
#include <string>

#include "base/Relaxed.h"

struct TSettings {
  TSettings();
  virtual ~TSettings() = default;

  static constexpr int LambdaPairs = 12;

  // Per-machine values.
  Relaxed<int8_t> SpeedUnit{0};        // 0 mph, 1 km/h
  Relaxed<int8_t> TemperatureUnit{0};  // 0 Fahrenheit, 1 Celsius
  Relaxed<int8_t> PowerUnit{0};
  Relaxed<int8_t> TorqueUnit{0};
  Relaxed<int8_t> LambdaUnit{0};  // 0 lambda, 1 air:fuel ratio
  Relaxed<bool> PollSensorsQuickly{true};
  Relaxed<int32_t> UIUpdateDelayPlaying{10};
  Relaxed<int32_t> UIUpdateDelayRecording{50};
  Relaxed<int8_t> ComPort{0};  // 0..7 = COM1..COM8
  // A device path, or "sim" for the simulated ECU, chosen instead of ComPort's device; empty when
  // ComPort decides. User-interface thread only.
  std::string PortDevice;
  Relaxed<int32_t> ErrorTolerance{5};
  Relaxed<int32_t> RegistryBaseIgnitionAdvance{14};
  Relaxed<int8_t> QuickSelect{2};
  // The per-machine file; it also maps COM1..COM8 to devices.
  std::string MachinePath;

  double LambdaVolts(int i) const { return lambda_[i][0]; }
  double LambdaValue(int i) const { return lambda_[i][1]; }
  void SetLambdaPair(int i, double volts, double lambda);
  double LambdaFromVolts(double volts) const;

  // Values kept in the program's INI file.
  std::string IniPath;
  Relaxed<int32_t> GraphTimespan{10};
  std::string FileDir;  // user-interface thread only
  Relaxed<int32_t> SettingsPage{0};
  Relaxed<bool> SimulateECU{false};
  Relaxed<bool> OuputDebugInfo{false};
  Relaxed<int32_t> ComReadTimeout{100};
  Relaxed<int32_t> UpdateUIThreadPriority{0};
  Relaxed<int32_t> PollThreadPriority{0};
  Relaxed<int32_t> ProcessPriority{0};
  Relaxed<bool> UseDSRForRecording{false};
  Relaxed<bool> UseCDForLap{false};
  Relaxed<bool> AutoSaveRecordings{false};
  Relaxed<bool> AutoCloseRecordings{false};
  Relaxed<bool> MapIs3Bar{false};
  Relaxed<int32_t> GearRatioQuickSelectIndex{0};
  Relaxed<double> GearRatios[6] = {3.25, 2.052, 1.416, 1.103, 0.87, 4.133};  // 1st..5th, Final
  Relaxed<int32_t> BaseIgnitionAdvance{14};
  Relaxed<int32_t> WheelDiameter{14};
  Relaxed<int32_t> TyreWidth{195};
  Relaxed<int32_t> TyreAspectRatio{60};
  Relaxed<int32_t> TyrePressure{30};
  Relaxed<double> TyreRollingDiameter{0.59};
  Relaxed<double> TyreRollingCircumference{1.856};
  Relaxed<bool> UseCalculatedTyreDiameter{false};
  Relaxed<double> BaroSeaLevelPressure{1013.0};
  Relaxed<int32_t> StartofRedline{8000};
  Relaxed<int32_t> MaximumRevs{9500};
  // The export dialog's last choices (user-interface thread only): 0 one CSV file, 1 one .tdf
  // file per sensor; the CSV rows' rate, or a row at every sample, and the ages; the .tdf files
  // asked for one by one or all put into one folder.
  Relaxed<int32_t> ExportFormat{0};
  Relaxed<double> ExportRateHz{20.0};
  Relaxed<bool> ExportEverySample{false};
  Relaxed<bool> ExportAge{false};
  Relaxed<bool> ExportTdfIntoFolder{false};
  // The Tables page's choices (analysis/TableSpec): display variable ids, the edges as written
  // (empty: the sensor's default), filter conditions by id, the statistic, the oldest held value,
  // the fewest samples a cell shows, the colour scale's target and reach (empty: automatic).
  // User-interface thread only.
  Relaxed<int32_t> TableX{1008}, TableY{1007}, TableZ{1131};
  std::string TableXEdges, TableYEdges, TableFilters;
  Relaxed<int32_t> TableStat{0}, TableMaxAgeMs{250}, TableMinCount{3};
  std::string TableTarget, TableSpan;
  // Printer orientation, kept only where a printer exists (the GUI sets HasPrinter).
  bool HasPrinter = false;
  Relaxed<int32_t> PrinterOrientation{0};

  // Gauge ranges: {Fahrenheit, Celsius} pairs, fixed.
  struct TRangePair {
    int F, C;
    int Pick(int8_t temperatureUnit) const { return temperatureUnit ? C : F; }
  };
  static constexpr TRangePair WaterTempMin{60, 20}, WaterTempMax{240, 120}, WaterTempMajorTick{20, 20},
      WaterTempMinorTick{10, 10}, WaterTempBand1{200, 90}, WaterTempBand2{220, 110};
  static constexpr TRangePair AirTempMin{0, 0}, AirTempMax{160, 80}, AirTempMajorTick{40, 20},
      AirTempMinorTick{20, 10}, AirTempBand1{120, 60}, AirTempBand2{140, 70};

 private:
  Relaxed<double> lambda_[LambdaPairs][2];
};
