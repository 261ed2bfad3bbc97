#pragma once
// The settings: a per-machine part (units, polling, serial line, lambda table) and the program's
// INI file (everything else, the per-variable poll rates and flags, the graph selection).
#include <cstdint>
#include <string>

#include "vars/Relaxed.h"

class TSensorList;
class TVarRefList;
class TIniFile;

// Where the per-machine settings live: $XDG_CONFIG_HOME/Torvane/Settings.ini, else
// ~/.config/Torvane/Settings.ini.
std::string MachineSettingsPath();
// $XDG_CONFIG_HOME, else ~/.config.
std::string UserConfigDir();

class TMachineConfig {
 public:
  TMachineConfig();
  virtual ~TMachineConfig() = default;

  static constexpr int LambdaPairs = 12;

  Relaxed<int8_t> SpeedUnit{0};        // 0 mph, 1 km/h
  Relaxed<int8_t> TemperatureUnit{0};  // 0 Fahrenheit, 1 Celsius
  Relaxed<int8_t> PowerUnit{0};
  Relaxed<int8_t> TorqueUnit{0};
  Relaxed<int8_t> LambdaUnit{0};  // 0 lambda, 1 air:fuel ratio
  Relaxed<bool> PollSensorsQuickly{true};
  Relaxed<int32_t> UIUpdateDelayPlaying{10};
  Relaxed<int32_t> UIUpdateDelayRecording{50};
  Relaxed<int8_t> ComPort{0};  // 0..7 = COM1..COM8
  Relaxed<int32_t> ErrorTolerance{5};
  Relaxed<int32_t> RegistryBaseIgnitionAdvance{14};
  Relaxed<int8_t> QuickSelect{2};

  double LambdaVolts(int i) const { return lambda_[i][0]; }
  double LambdaValue(int i) const { return lambda_[i][1]; }
  void SetLambdaPair(int i, double volts, double lambda);
  double LambdaFromVolts(double volts) const;

  // The per-machine file (MachineSettingsPath() unless set otherwise).
  std::string MachinePath;
  // Loads the per-machine part; a missing file leaves the defaults.
  void LoadMachine();
  // Writes every per-machine value; false with a reason when the file cannot be written.
  bool SaveMachine(std::string* errorText = nullptr) const;
  void LoadMachine(const TIniFile& store);
  void SaveMachine(TIniFile& store) const;

 private:
  Relaxed<double> lambda_[LambdaPairs][2];
};

class TConfig : public TMachineConfig {
 public:
  // iniPath: the INI file; programDir: the default for FileDir.
  TConfig(const std::string& iniPath, const std::string& programDir);

  std::string IniPath;
  Relaxed<int32_t> GraphTimespan{10};
  std::string FileDir;
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

  // Per-machine part, then the INI file (with the poll rates and flags of every raw variable and
  // the graph selection).
  void Load(TSensorList* sensors, TVarRefList* graph);
  // Per-machine part, then the INI file; false with the reasons when something was not written.
  bool Save(const TSensorList* sensors, const TVarRefList* graph, std::string* errorText = nullptr) const;

  void LoadIni(const TIniFile& ini, TSensorList* sensors, TVarRefList* graph);
  void SaveIni(TIniFile& ini, const TSensorList* sensors, const TVarRefList* graph) const;
};

// The one settings object (none before start-up and after shutdown).
extern TConfig* Config;
